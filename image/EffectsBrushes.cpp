// Brush dabs and the strokes that lay them along a line.
#include "image/EffectsBitmap.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The part of a dab centred on (X, Y) that lies inside the picture. Left and Top are the dab's
// unclipped corner, where the brush shape is anchored.
struct TDabRect {
    int64_t Left, Top;
    int X0, X1, Y0, Y1; // inside the picture, both ends included
};

// Clips the dab to B; false when nothing of it is inside. The tiles it reaches are saved for undo
// before the caller paints.
bool ClipDab(TEffectsBitmap& B, int64_t X, int64_t Y, int Half, int Rest, TDabRect& R)
{
    R.Left = X - Half;
    R.Top = Y - Half;
    const int64_t x0 = std::max<int64_t>(R.Left, 0), x1 = std::min<int64_t>(X + Rest, B.Width() - 1);
    const int64_t y0 = std::max<int64_t>(R.Top, 0), y1 = std::min<int64_t>(Y + Rest, B.Height() - 1);
    if (x0 > x1 || y0 > y1)
        return false;
    R.X0 = int(x0), R.X1 = int(x1), R.Y0 = int(y0), R.Y1 = int(y1);
    B.SaveUndoTiles(Rect(R.X0, R.Y0, R.X1 + 1, R.Y1 + 1));
    return true;
}

// Calls Paint (Pixel, X, Y) for each pixel of the clipped dab that the shape does not skip, row by
// row from the top and left to right.
template <typename Paint>
void ForEachDabPixel(TBitmap& B, const TDabRect& R, const TPenMaskArray* Shape, Paint&& Fn)
{
    for (int y = R.Y0; y <= R.Y1; ++y) {
        TRGBTriple* row = B.Row24(y);
        const bool* masked = Shape ? Shape->Row(int(y - R.Top)) : nullptr;
        for (int x = R.X0; x <= R.X1; ++x)
            if (!masked || !masked[x - R.Left])
                Fn(row[x], x, y);
    }
}

} // namespace

TEffectsBitmap::TDabShape TEffectsBitmap::CurrentDabShape() const
{
    TDabShape s;
    s.Width = std::max(1, Canvas().Pen.Width);
    s.Half = s.Width / 2;
    s.Rest = s.Width - s.Half - 1;
    if (PenMask && s.Width <= PenMask->Width && s.Width <= PenMask->Height)
        s.Mask = PenMask.get();
    return s;
}

void TEffectsBitmap::StrokeLine(int X1, int Y1, int X2, int Y2, const TDabShape& Shape,
                                const std::function<void(int64_t X, int64_t Y)>& Dab)
{
    const int64_t step = Trunc(Shape.Width / 10.0 + 0.5) + 1;
    // Along the walking axis only the dabs from Low to High can touch the picture; skipping the
    // others changes nothing and keeps far-away endpoints cheap.
    auto walk = [&](int64_t s, int64_t e, int Size, auto&& Centre) {
        const int64_t low = -int64_t(Shape.Rest), high = int64_t(Size) - 1 + Shape.Half;
        int64_t first = s;
        if (first < low)
            first += (low - first + step - 1) / step * step;
        for (int64_t v = first; v <= e && v <= high; v += step)
            Centre(v);
    };
    const bool steep = std::abs(int64_t(X1) - X2) <= std::abs(int64_t(Y1) - Y2);
    if (steep) {
        int64_t sx = X1, sy = Y1, ex = X2, ey = Y2;
        if (Y1 > Y2)
            std::swap(sx, ex), std::swap(sy, ey);
        const double r = sx != ex ? double(ey - sy) / double(ex - sx) : 0.0;
        walk(sy, ey, Height(), [&](int64_t y) { Dab(r == 0 ? sx : Round(double(y - sy) / r) + sx, y); });
    } else {
        int64_t sx = X1, sy = Y1, ex = X2, ey = Y2;
        if (X1 > X2)
            std::swap(sx, ex), std::swap(sy, ey);
        const double r = double(ey - sy) / double(ex - sx);
        walk(sx, ex, Width(), [&](int64_t x) { Dab(x, Round(double(x - sx) * r) + sy); });
    }
}

void TEffectsBitmap::PenLine(int X1, int Y1, int X2, int Y2)
{
    Ensure24Bit();
    const TDabShape shape = CurrentDabShape();
    const TRGBTriple pen = PenRGB;
    StrokeLine(X1, Y1, X2, Y2, shape, [&](int64_t X, int64_t Y) {
        TDabRect r;
        if (!ClipDab(*this, X, Y, shape.Half, shape.Rest, r))
            return;
        if (!shape.Mask) {
            for (int y = r.Y0; y <= r.Y1; ++y)
                std::fill(Row24(y) + r.X0, Row24(y) + r.X1 + 1, pen);
            return;
        }
        ForEachDabPixel(*this, r, shape.Mask, [&](TRGBTriple& p, int, int) { p = pen; });
    });
}

void TEffectsBitmap::ColourReplaceLine(int X1, int Y1, int X2, int Y2, int Tolerance)
{
    Ensure24Bit();
    const TDabShape shape = CurrentDabShape();
    const TRGBTriple from = PenRGB, to = ReplaceRGB;
    StrokeLine(X1, Y1, X2, Y2, shape, [&](int64_t X, int64_t Y) {
        TDabRect r;
        if (!ClipDab(*this, X, Y, shape.Half, shape.Rest, r))
            return;
        ForEachDabPixel(*this, r, shape.Mask, [&](TRGBTriple& p, int, int) {
            if (TriplesWithinTolerance(Tolerance, p, from))
                p = to;
        });
    });
}

void TEffectsBitmap::SmudgeLine(int X1, int Y1, int X2, int Y2, int Strength)
{
    Ensure24Bit();
    // A strength below 0 would push pixels away from their neighbours and out of range.
    const double s = std::clamp(Strength, 0, 100) / 100.0;
    if (s == 0)
        return;
    const TDabShape shape = CurrentDabShape();
    const int w = Width(), h = Height();
    uint8_t* const bits = Bits();
    const size_t stride = size_t(RowBytes());
    const auto row = [&](int y) { return reinterpret_cast<const TRGBTriple*>(bits + size_t(y) * stride); };
    StrokeLine(X1, Y1, X2, Y2, shape, [&](int64_t X, int64_t Y) {
        TDabRect r;
        if (!ClipDab(*this, X, Y, shape.Half, shape.Rest, r))
            return;
        ForEachDabPixel(*this, r, shape.Mask, [&](TRGBTriple& p, int x, int y) {
            const int xm = std::max(x - 1, 0), xp = std::min(x + 1, w - 1);
            const TRGBTriple* above = row(std::max(y - 1, 0));
            const TRGBTriple* here = row(y);
            const TRGBTriple* below = row(std::min(y + 1, h - 1));
            auto smudge = [&](uint8_t TRGBTriple::*c) {
                const int sum = above[xm].*c + above[x].*c + above[xp].*c + here[xm].*c + here[x].*c +
                                here[xp].*c + below[xm].*c + below[x].*c + below[xp].*c;
                const int v = p.*c;
                p.*c = static_cast<uint8_t>(v - static_cast<int>(double(v - sum / 9) * s));
            };
            smudge(&TRGBTriple::rgbtBlue);
            smudge(&TRGBTriple::rgbtGreen);
            smudge(&TRGBTriple::rgbtRed);
        });
    });
}

void TEffectsBitmap::SprayLine(int X1, int Y1, int X2, int Y2, int Opacity, int Diffusion)
{
    Ensure24Bit();
    const TDabShape shape = CurrentDabShape();
    const TRGBTriple pen = PenRGB;
    // 100 - Opacity chances in one; Opacity 99 and above always paint.
    const int chances = 100 - std::min(Opacity, 100);
    TRandomGenerator& random = ProgramRandom();
    StrokeLine(X1, Y1, X2, Y2, shape, [&](int64_t X, int64_t Y) {
        TDabRect r;
        if (!ClipDab(*this, X, Y, shape.Half, shape.Rest, r))
            return;
        ForEachDabPixel(*this, r, shape.Mask, [&](TRGBTriple& p, int, int) {
            if (random.Next(chances) != 0)
                return;
            const int dr = random.Next(Diffusion), db = random.Next(Diffusion), dg = random.Next(Diffusion);
            p.rgbtRed = static_cast<uint8_t>(std::max(0, pen.rgbtRed - dr));
            p.rgbtBlue = static_cast<uint8_t>(std::max(0, pen.rgbtBlue - db));
            p.rgbtGreen = static_cast<uint8_t>(std::max(0, pen.rgbtGreen - dg));
        });
    });
}
