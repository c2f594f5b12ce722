#pragma once
// Small graphics of a kind other than a bitmap, for the tests of Assign and Draw.
#include "platform/Graphics.h"

// Renders itself as two pixels: lime, blue.
class TRenderedGraphic : public TGraphic {
public:
    int Width() const override { return 2; }
    int Height() const override { return 1; }
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream&) override {}
    void AssignTo(TBitmap& Dest) const override
    {
        Dest.SetSize(2, 1);
        Dest.SetPixelColor(0, 0, clLime);
        Dest.SetPixelColor(1, 0, clBlue);
    }
    const char* ClassName() const override { return "TRenderedGraphic"; }
};

// Cannot render itself into a bitmap.
class TOpaqueGraphic : public TRenderedGraphic {
public:
    void AssignTo(TBitmap& Dest) const override { TGraphic::AssignTo(Dest); }
    const char* ClassName() const override { return "TOpaqueGraphic"; }
};
