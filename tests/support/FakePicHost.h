#pragma once
// A main window stand-in for picture windows in tests: a fixed client area and no colour panel.
#include "picwin/CVPicChildWn.h"

class TFakeHost : public IPicChildHost {
public:
    int AreaW = 1000, AreaH = 800;
    int HideRGBCalls = 0;
    void GetMaxChildClientSize(int& Width, int& Height) override { Width = AreaW, Height = AreaH; }
    void SetForegroundColour(TColor, bool) override {}
    void SetBackgroundColour(TColor, bool) override {}
    void ShowColourRGB(TColor) override {}
    void HideColourRGB() override { ++HideRGBCalls; }
    bool IsSelectionTool() override { return false; }
    bool QueryAddText() override { return false; }
};
