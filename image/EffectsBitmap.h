#pragma once
// The editable picture: a TXBitmap that carries the brush state, the strokes, the colour and tone
// effects, the geometric effects and the flood fill, with start, per-step and end progress events.
//
// Every operation works on 24-bit rows reached by row pointers. Masks are TBool2DArray objects
// indexed [X][Y] in picture coordinates, at least as large as the picture; True = left alone.
#include "image/ArrayObjects.h"
#include "image/BitmapUtils.h"
#include "image/PictureTiles.h"
#include "image/XBitmap.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

class TEffectsBitmap;

using TProgressStartEvent = std::function<void(TEffectsBitmap* Sender, int Max)>;
using TProgressEvent = std::function<void(TEffectsBitmap* Sender)>;

// The program-wide pseudo-random generator (spraying draws from it): a linear congruential
// generator, Seed := Seed * 134775813 + 1, so that a given seed always gives the same stream.
class TRandomGenerator {
public:
    explicit TRandomGenerator(uint32_t Seed = 0) : FSeed(Seed) {}
    void SetSeed(uint32_t Seed) { FSeed = Seed; }
    uint32_t Seed() const { return FSeed; }
    // A uniform integer in 0 .. Range - 1 (0 when Range < 1). Every call advances the stream.
    int32_t Next(int32_t Range)
    {
        FSeed = FSeed * 134775813u + 1u;
        return Range < 1 ? 0 : static_cast<int32_t>((uint64_t(FSeed) * uint32_t(Range)) >> 32);
    }

private:
    uint32_t FSeed;
};
// The one generator of the GUI thread.
TRandomGenerator& ProgramRandom();

class TEffectsBitmap : public TXBitmap {
public:
    using TXBitmap::TXBitmap;
    ~TEffectsBitmap() override;

    // ---- Brush state ----------------------------------------------------------------------------
    // Shape of the brush dab; null for a square dab. True items are not painted.
    std::unique_ptr<TPenMaskArray> PenMask;
    // The pen colour as pixel bytes; the colour that colour replacement paints.
    TRGBTriple PenRGB{};
    TRGBTriple ReplaceRGB{};

    // While set, strokes, fills, colour replacement and every caller of SaveUndoTiles save the
    // tiles they are about to change into it first (the running stroke's undo step). Not owned.
    TPictureTiles* UndoTiles = nullptr;
    // Saves the tiles of R into UndoTiles, when set, before R's pixels change.
    void SaveUndoTiles(const TRect& R)
    {
        if (UndoTiles)
            UndoTiles->Save(*this, R);
    }

    // ---- Progress events: OnProgressStart (Max), then OnProgress Max times, then OnProgressEnd.
    TProgressStartEvent OnProgressStart;
    TProgressEvent OnProgressEnd;
    TProgressEvent OnProgress;

    // Canvas pen colour := Colour and PenRGB := its pixel bytes.
    void SetPenColour(TColor Colour);
    void SetReplaceColour(TColor Colour);
    // Null frees PenMask; otherwise PenMask takes the shape of Bitmap (white = not painted).
    void SetPenMask(TBitmap* Bitmap);
    // Fills the whole picture with Colour through the canvas brush.
    void Clear(TColor Colour);

    // ---- Strokes: dabs of the canvas pen width laid along the line; no progress, no repaint.
    void PenLine(int X1, int Y1, int X2, int Y2);
    void ColourReplaceLine(int X1, int Y1, int X2, int Y2, int Tolerance);
    void SmudgeLine(int X1, int Y1, int X2, int Y2, int Strength);
    void SprayLine(int X1, int Y1, int X2, int Y2, int Opacity, int Diffusion);

    // ---- Colour and tone effects ----------------------------------------------------------------
    void ReplaceColour(TColor FromColour, TColor ToColour, int Tolerance);
    void Blur(const TBool2DArray* Mask, double Radius);
    void Brighten(int Percent, const TBool2DArray* Mask);
    void GammaCorrect(const TBool2DArray* Mask, double Gamma);
    void GreyScale(const TBool2DArray* Mask);
    void Negative(const TBool2DArray* Mask);
    void AdjustRGB(int RedPercent, int GreenPercent, int BluePercent, const TBool2DArray* Mask);

    // ---- Geometric effects and flood fill --------------------------------------------------------
    void Mirror();
    void Flip();
    void Rotate(int Angle, TColor BackColour);
    void Resize(int NewWidth, int NewHeight);
    void Resample(int NewWidth, int NewHeight);
    void EnlargeCanvas(int NewWidth, int NewHeight, TColor Colour, bool Centred);
    void FloodFill(int X, int Y, TColor Colour, int Tolerance);

protected:
    // One long operation's progress: fires OnProgressStart (Max) when made, OnProgress per Step and
    // OnProgressEnd when Finish is called or the scope ends normally. A scope left by an exception
    // fires no OnProgressEnd.
    class TProgressScope {
    public:
        TProgressScope(TEffectsBitmap& Bitmap, int Max);
        ~TProgressScope();
        TProgressScope(const TProgressScope&) = delete;
        TProgressScope& operator=(const TProgressScope&) = delete;
        void Step();
        void Finish();
        int Max() const { return FMax; }
        int Steps() const { return FSteps; }

    private:
        TEffectsBitmap& FBitmap;
        int FMax;
        int FSteps = 0;
        bool FFinished = false;
        int FExceptions;
    };

    // Dab geometry of the current pen width and whether the brush shape is used.
    struct TDabShape {
        int Width = 1; // pen width W (at least 1)
        int Half = 0;  // W div 2: the dab covers X - Half .. X + Rest
        int Rest = 0;  // W - Half - 1
        const TPenMaskArray* Mask = nullptr; // the shape, or null for a full square
    };
    TDabShape CurrentDabShape() const;

    // Walks the line from (X1, Y1) to (X2, Y2) and calls Dab (X, Y) for the centre of every dab
    // whose square can touch the picture, in walking order.
    void StrokeLine(int X1, int Y1, int X2, int Y2, const TDabShape& Shape,
                    const std::function<void(int64_t X, int64_t Y)>& Dab);

    // The quarter and half turns of Rotate; steps go to Progress.
    void RotateRightAngle(int Whole, TProgressScope& Progress);

    void Ensure24Bit();
};
