#include "image/EffectsBitmap.h"

TRandomGenerator& ProgramRandom()
{
    static TRandomGenerator generator;
    return generator;
}

TEffectsBitmap::~TEffectsBitmap() = default;

void TEffectsBitmap::SetPenColour(TColor Colour)
{
    Canvas().Pen.Color = Colour;
    PenRGB = ColorToTriple(Colour);
}

void TEffectsBitmap::SetReplaceColour(TColor Colour) { ReplaceRGB = ColorToTriple(Colour); }

void TEffectsBitmap::SetPenMask(TBitmap* Bitmap)
{
    if (!Bitmap) {
        PenMask.reset();
        return;
    }
    if (!PenMask)
        PenMask = std::make_unique<TPenMaskArray>();
    PenMask->LoadFromBitmap(*Bitmap);
}

void TEffectsBitmap::Clear(TColor Colour)
{
    Canvas().Brush.Color = Colour;
    Canvas().Brush.Style = bsSolid;
    Canvas().FillRect(GetBoundsRect());
}

void TEffectsBitmap::Ensure24Bit()
{
    if (PixelFormat() != pf24bit)
        SetPixelFormat(pf24bit);
}

// ---- Progress ----------------------------------------------------------------------------------

TEffectsBitmap::TProgressScope::TProgressScope(TEffectsBitmap& Bitmap, int Max)
    : FBitmap(Bitmap), FMax(Max), FExceptions(std::uncaught_exceptions())
{
    if (FBitmap.OnProgressStart)
        FBitmap.OnProgressStart(&FBitmap, Max);
}

TEffectsBitmap::TProgressScope::~TProgressScope()
{
    // An operation that fails reports no end.
    if (FFinished || std::uncaught_exceptions() > FExceptions)
        return;
    FFinished = true;
    try {
        if (FBitmap.OnProgressEnd)
            FBitmap.OnProgressEnd(&FBitmap);
    } catch (...) {
        // A destructor cannot pass the handler's failure on; operations that care call Finish.
    }
}

void TEffectsBitmap::TProgressScope::Step()
{
    ++FSteps;
    if (FBitmap.OnProgress)
        FBitmap.OnProgress(&FBitmap);
}

void TEffectsBitmap::TProgressScope::Finish()
{
    if (FFinished)
        return;
    FFinished = true;
    if (FBitmap.OnProgressEnd)
        FBitmap.OnProgressEnd(&FBitmap);
}
