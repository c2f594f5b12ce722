#pragma once
// Options kept with a loaded picture until it is saved again.
#include "platform/Types.h"

// Base of the options a picture keeps from its last load.
class TGraphicLoadOptions {
public:
    virtual ~TGraphicLoadOptions() = default;
};

// Transparency of the first frame of a loaded GIF.
class TGifLoadOptions : public TGraphicLoadOptions {
public:
    bool Transparent = false;
    // Colour of the first frame's transparent colour-table entry; set only when Transparent is true.
    TColor TransparentColour = clBlack;
};
