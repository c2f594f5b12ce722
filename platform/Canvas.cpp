// The canvas: lines, shapes, fills and blits rasterised here with the desktop's conventions; text
// through QPainter on the bitmap's own rows.
//
// Every figure is first turned into sets of pixel spans (pen, pen gaps, interior), so that a pixel
// covered twice by one figure is still changed once: that keeps inverting pen modes exact (drawing a
// rubber band twice restores the picture).
#include "platform/Graphics.h"

#include "platform/PixelRows.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace pixelrows;

namespace {

using i128 = __int128;

int64_t FloorDiv(i128 A, i128 B) // B > 0
{
    i128 q = A / B;
    if (A % B != 0 && A < 0)
        --q;
    return int64_t(q);
}
int64_t CeilDiv(i128 A, i128 B) { return -FloorDiv(-A, B); }

// ---- Span sets ------------------------------------------------------------------------------------

struct TSpan {
    int Y, X0, X1; // pixels X0 .. X1 - 1 of row Y
    friend bool operator<(const TSpan& A, const TSpan& B) { return A.Y != B.Y ? A.Y < B.Y : A.X0 < B.X0; }
};

// Pixels of the bitmap as row spans; Normalize sorts them and merges overlaps.
class TSpanSet {
public:
    TSpanSet(int W, int H) : FW(W), FH(H) {}
    void Add(int64_t Y, int64_t X0, int64_t X1)
    {
        if (Y < 0 || Y >= FH)
            return;
        X0 = std::max<int64_t>(X0, 0);
        X1 = std::min<int64_t>(X1, FW);
        if (X0 >= X1)
            return;
        if (!FSpans.empty() && FSpans.back().Y == Y && FSpans.back().X1 == X0) {
            FSpans.back().X1 = int(X1);
            return;
        }
        FSpans.push_back({int(Y), int(X0), int(X1)});
    }
    void Normalize()
    {
        std::sort(FSpans.begin(), FSpans.end());
        size_t out = 0;
        for (size_t i = 0; i < FSpans.size(); ++i) {
            if (out > 0 && FSpans[out - 1].Y == FSpans[i].Y && FSpans[i].X0 <= FSpans[out - 1].X1)
                FSpans[out - 1].X1 = std::max(FSpans[out - 1].X1, FSpans[i].X1);
            else
                FSpans[out++] = FSpans[i];
        }
        FSpans.resize(out);
    }
    // This set without the pixels of Other (both normalized).
    void Subtract(const TSpanSet& Other)
    {
        std::vector<TSpan> result;
        size_t j = 0;
        const auto& b = Other.FSpans;
        for (TSpan s : FSpans) {
            while (j < b.size() && (b[j].Y < s.Y || (b[j].Y == s.Y && b[j].X1 <= s.X0)))
                ++j;
            for (size_t k = j; k < b.size() && b[k].Y == s.Y && b[k].X0 < s.X1; ++k) {
                if (b[k].X0 > s.X0)
                    result.push_back({s.Y, s.X0, b[k].X0});
                s.X0 = std::max(s.X0, b[k].X1);
                if (s.X0 >= s.X1)
                    break;
            }
            if (s.X0 < s.X1)
                result.push_back(s);
        }
        FSpans.swap(result);
    }
    const std::vector<TSpan>& Spans() const { return FSpans; }
    int Width() const { return FW; }
    int Height() const { return FH; }

private:
    int FW, FH;
    std::vector<TSpan> FSpans;
};

// ---- Writing pixels -------------------------------------------------------------------------------

inline uint32_t PackBGR(TColor C) { return ((C & 0xFF) << 16) | (C & 0xFF00) | ((C >> 16) & 0xFF); }

bool HatchPixel(TBrushStyle Style, int X, int Y)
{
    const bool h = (Y & 7) == 0, v = (X & 7) == 0, f = ((X - Y) & 7) == 0, b = ((X + Y) & 7) == 7;
    switch (Style) {
    case bsHorizontal: return h;
    case bsVertical: return v;
    case bsFDiagonal: return f;
    case bsBDiagonal: return b;
    case bsCross: return h || v;
    case bsDiagCross: return f || b;
    default: return true;
    }
}

class TPixelWriter {
public:
    explicit TPixelWriter(TBitmap& B) : FB(B), FPf(B.PixelFormat()) {}

    // Pixels X0 .. X1 - 1 of row Y (inside the bitmap) combined with colour C by Mode.
    void Span(int Y, int X0, int X1, TColor C, TPenMode Mode)
    {
        const uint32_t p = PackBGR(C);
        uint8_t* row = FB.ScanLine(Y);
        if (FPf == pf24bit) {
            TRGBTriple* px = reinterpret_cast<TRGBTriple*>(row) + X0;
            for (int x = X0; x < X1; ++x, ++px) {
                const uint32_t v = Mode == pmCopy ? p : RasterOp(Mode, p, px->rgbtBlue | (px->rgbtGreen << 8) | (px->rgbtRed << 16));
                *px = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)};
            }
        } else if (FPf == pf32bit) {
            TRGBQuad* px = reinterpret_cast<TRGBQuad*>(row) + X0;
            for (int x = X0; x < X1; ++x, ++px) {
                const uint32_t v = Mode == pmCopy ? p : RasterOp(Mode, p, px->rgbBlue | (px->rgbGreen << 8) | (px->rgbRed << 16));
                *px = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), 255};
            }
        } else {
            if (IsIndexed(FPf) && !FNearest)
                FNearest = std::make_unique<TNearestColor>(FB.Palette());
            for (int x = X0; x < X1; ++x) {
                TRGBQuad q;
                DecodeRow(FPf, FB.Palette(), row, x, 1, &q);
                const uint32_t v = RasterOp(Mode, p, q.rgbBlue | (q.rgbGreen << 8) | (q.rgbRed << 16));
                q = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), 255};
                EncodeRow(FPf, FNearest.get(), &q, x, 1, row);
            }
        }
    }
    // The same with a brush: hatched brushes change only their hatch lines.
    void BrushSpan(int Y, int X0, int X1, const TBrush& Brush, TPenMode Mode)
    {
        const TColor c = ColorToRGB(Brush.Color);
        if (Brush.Style == bsSolid) {
            Span(Y, X0, X1, c, Mode);
            return;
        }
        for (int x = X0; x < X1; ++x)
            if (HatchPixel(Brush.Style, x, Y))
                Span(Y, x, x + 1, c, Mode);
    }
    void Apply(const TSpanSet& Set, TColor C, TPenMode Mode)
    {
        for (const TSpan& s : Set.Spans())
            Span(s.Y, s.X0, s.X1, C, Mode);
    }
    void ApplyBrush(const TSpanSet& Set, const TBrush& Brush, TPenMode Mode)
    {
        for (const TSpan& s : Set.Spans())
            BrushSpan(s.Y, s.X0, s.X1, Brush, Mode);
    }

private:
    TBitmap& FB;
    TPixelFormat FPf;
    std::unique_ptr<TNearestColor> FNearest;
};

// ---- Lines --------------------------------------------------------------------------------------

// Visits the pixels of the line from (X0, Y0) towards (X1, Y1): one per step along the longer axis,
// the other coordinate rounded to the nearest pixel with exact halves going to the smaller value
// (so a line and its reverse light the same pixels). The end pixel is visited only with IncludeEnd.
// Steps whose major coordinate lies outside [Lo, Hi] are skipped; F receives (x, y, step).
template <typename F>
void WalkLine(int64_t X0, int64_t Y0, int64_t X1, int64_t Y1, bool IncludeEnd, int64_t LoX, int64_t HiX,
              int64_t LoY, int64_t HiY, F&& Visit)
{
    const int64_t dx = X1 - X0, dy = Y1 - Y0;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const int64_t n = xMajor ? std::abs(dx) : std::abs(dy);
    if (n == 0) {
        if (IncludeEnd)
            Visit(X0, Y0, int64_t(0));
        return;
    }
    const int64_t major0 = xMajor ? X0 : Y0;
    const int64_t dir = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const int64_t minorDelta = xMajor ? dy : dx;
    const int64_t minor0 = xMajor ? Y0 : X0;
    const int64_t lo = xMajor ? LoX : LoY, hi = xMajor ? HiX : HiY;
    int64_t t0 = dir > 0 ? lo - major0 : major0 - hi;
    int64_t t1 = dir > 0 ? hi - major0 : major0 - lo;
    t0 = std::max<int64_t>(t0, 0);
    t1 = std::min<int64_t>(t1, IncludeEnd ? n : n - 1);
    if (t0 > t1)
        return;
    // minor(t) = minor0 + ceil((2 t d - n) / 2n), kept as quotient and remainder.
    const int64_t den = 2 * n;
    const i128 num0 = i128(2) * t0 * minorDelta - n;
    int64_t q = CeilDiv(num0, den);
    int64_t rem = int64_t(i128(q) * den - num0); // 0 <= rem < den
    for (int64_t t = t0; t <= t1; ++t) {
        const int64_t major = major0 + dir * t, minor = minor0 + q;
        if (xMajor)
            Visit(major, minor, t);
        else
            Visit(minor, major, t);
        rem -= 2 * minorDelta;
        while (rem < 0) {
            rem += den;
            ++q;
        }
        while (rem >= den) {
            rem -= den;
            --q;
        }
    }
}

// Pen patterns of one-pixel styled pens: lengths of alternating on and off runs.
struct TPattern {
    const int* Runs;
    int Count;
    int Period;
};
TPattern PatternOf(TPenStyle Style)
{
    static const int dash[] = {18, 6}, dot[] = {1, 1}, dashDot[] = {9, 6, 3, 6}, dashDotDot[] = {9, 3, 3, 3, 3, 3};
    switch (Style) {
    case psDash: return {dash, 2, 24};
    case psDot: return {dot, 2, 2};
    case psDashDot: return {dashDot, 4, 24};
    case psDashDotDot: return {dashDotDot, 6, 24};
    default: return {nullptr, 0, 0};
    }
}
bool PatternOn(const TPattern& P, int64_t Pos)
{
    int64_t r = Pos % P.Period;
    for (int i = 0; i < P.Count; ++i) {
        if (r < P.Runs[i])
            return (i & 1) == 0;
        r -= P.Runs[i];
    }
    return true;
}

// Builds the pixels a pen covers along a path: On (pen colour) and Gaps (the off pixels of a styled
// pen, drawn in the brush colour when the brush is solid).
class TStroke {
public:
    TStroke(const TPen& Pen, int W, int H) : On(W, H), Gaps(W, H), FWidth(std::max(1, Pen.Width))
    {
        if (FWidth == 1)
            FPattern = PatternOf(Pen.Style);
        // A round dab: the pixels whose centres lie within the pen's radius of the dab's centre.
        for (int b = 0; b < FWidth; ++b) {
            int a0 = FWidth, a1 = -1;
            for (int a = 0; a < FWidth; ++a) {
                const int u = 2 * a - (FWidth - 1), v = 2 * b - (FWidth - 1);
                if (u * u + v * v <= FWidth * FWidth) {
                    a0 = std::min(a0, a);
                    a1 = std::max(a1, a);
                }
            }
            FDab.push_back({a0, a1 + 1});
        }
    }

    // One segment; StylePos runs on along the path. Wide pens also cover the end point.
    void Segment(int64_t X0, int64_t Y0, int64_t X1, int64_t Y1, int64_t& StylePos)
    {
        const int64_t m = FWidth; // margin: dabs reach this far beyond their centre
        const int64_t n = std::max(std::abs(X1 - X0), std::abs(Y1 - Y0));
        WalkLine(X0, Y0, X1, Y1, FWidth > 1, -m, On.Width() + m, -m, On.Height() + m,
                 [&](int64_t x, int64_t y, int64_t t) { Pixel(x, y, StylePos + t); });
        StylePos += n;
    }
    void Pixel(int64_t X, int64_t Y, int64_t StylePos)
    {
        if (FWidth == 1) {
            if (!FPattern.Runs || PatternOn(FPattern, StylePos))
                On.Add(Y, X, X + 1);
            else
                Gaps.Add(Y, X, X + 1);
            return;
        }
        const int64_t left = X - FWidth / 2, top = Y - FWidth / 2;
        for (int b = 0; b < FWidth; ++b)
            On.Add(top + b, left + FDab[size_t(b)].first, left + FDab[size_t(b)].second);
    }
    void Finish()
    {
        On.Normalize();
        Gaps.Normalize();
        Gaps.Subtract(On);
    }
    bool Styled() const { return FPattern.Runs != nullptr; }
    int Width() const { return FWidth; }

    TSpanSet On, Gaps;

private:
    int FWidth;
    TPattern FPattern{nullptr, 0, 0};
    std::vector<std::pair<int, int>> FDab;
};

// Paints a figure: the interior (minus the outline) with the brush, the gaps with the brush colour
// when the brush is solid, the outline with the pen; all through the pen mode.
void RenderFigure(TBitmap& B, const TPen& Pen, const TBrush& Brush, TSpanSet* Fill, TStroke* Stroke)
{
    TPixelWriter writer(B);
    if (Fill) {
        Fill->Normalize();
        if (Stroke) {
            Fill->Subtract(Stroke->On);
            Fill->Subtract(Stroke->Gaps);
        }
        writer.ApplyBrush(*Fill, Brush, Pen.Mode);
    }
    if (Stroke) {
        if (Brush.Style == bsSolid)
            writer.Apply(Stroke->Gaps, ColorToRGB(Brush.Color), Pen.Mode);
        writer.Apply(Stroke->On, ColorToRGB(Pen.Color), Pen.Mode);
    }
}

// ---- Blits ----------------------------------------------------------------------------------------

// Nearest-neighbour copy of SrcRect of Src into DstRect of Dst (a reversed rectangle mirrors),
// clipped to both bitmaps; with Transparent, source pixels of colour Key are left out.
void StretchBlit(TBitmap& Dst, TRect DstRect, const TBitmap& Src, TRect SrcRect, bool Transparent, TColor Key)
{
    if (Dst.Empty() || Src.Empty())
        return;
    bool flipX = false, flipY = false;
    auto order = [](int32_t& a, int32_t& b, bool& flip) {
        if (b < a) {
            std::swap(a, b);
            flip = !flip;
        }
    };
    order(DstRect.Left, DstRect.Right, flipX);
    order(DstRect.Top, DstRect.Bottom, flipY);
    order(SrcRect.Left, SrcRect.Right, flipX);
    order(SrcRect.Top, SrcRect.Bottom, flipY);
    const int64_t dw = int64_t(DstRect.Right) - DstRect.Left, dh = int64_t(DstRect.Bottom) - DstRect.Top;
    const int64_t sw = int64_t(SrcRect.Right) - SrcRect.Left, sh = int64_t(SrcRect.Bottom) - SrcRect.Top;
    if (dw == 0 || dh == 0 || sw == 0 || sh == 0)
        return;
    const int x0 = int(std::max<int64_t>(DstRect.Left, 0)), x1 = int(std::min<int64_t>(DstRect.Right, Dst.Width()));
    const int y0 = int(std::max<int64_t>(DstRect.Top, 0)), y1 = int(std::min<int64_t>(DstRect.Bottom, Dst.Height()));
    if (x0 >= x1 || y0 >= y1)
        return;
    auto source = [](int64_t u, int64_t dn, int64_t sn, int64_t s0, bool flip) {
        const int64_t k = u * sn / dn;
        return s0 + (flip ? sn - 1 - k : k);
    };
    // Source column of every destination column, -1 outside the source.
    std::vector<int> srcX(size_t(x1 - x0));
    int sxMin = Src.Width(), sxMax = -1;
    for (int x = x0; x < x1; ++x) {
        const int64_t sx = source(x - DstRect.Left, dw, sw, SrcRect.Left, flipX);
        const bool inside = sx >= 0 && sx < Src.Width();
        srcX[size_t(x - x0)] = inside ? int(sx) : -1;
        if (inside) {
            sxMin = std::min(sxMin, int(sx));
            sxMax = std::max(sxMax, int(sx));
        }
    }
    if (sxMax < 0)
        return;
    const TPixelFormat sf = Src.PixelFormat(), df = Dst.PixelFormat();
    const bool sameStored = sf == df && (sf == pf24bit || sf == pf32bit);
    const bool straight = !flipX && dw == sw && !Transparent && sameStored;
    const int bytes = sf == pf32bit ? 4 : 3;
    const TColor key = ColorToRGB(Key);
    std::vector<TRGBQuad> srcRow(size_t(sxMax - sxMin + 1)), out(size_t(x1 - x0));
    std::unique_ptr<TNearestColor> nearest;
    if (IsIndexed(df))
        nearest = std::make_unique<TNearestColor>(Dst.Palette());
    int64_t decodedY = -1;
    for (int y = y0; y < y1; ++y) {
        const int64_t sy = source(y - DstRect.Top, dh, sh, SrcRect.Top, flipY);
        if (sy < 0 || sy >= Src.Height())
            continue;
        uint8_t* drow = Dst.ScanLine(y);
        const uint8_t* srow = Src.ScanLine(int(sy));
        if (straight) {
            // Unscaled copy between the same direct formats: whole runs of bytes.
            int x = x0;
            while (x < x1) {
                while (x < x1 && srcX[size_t(x - x0)] < 0)
                    ++x;
                int e = x;
                while (e < x1 && srcX[size_t(e - x0)] >= 0)
                    ++e;
                if (e > x)
                    std::memmove(drow + int64_t(x) * bytes, srow + int64_t(srcX[size_t(x - x0)]) * bytes, size_t(e - x) * bytes);
                x = e;
            }
            continue;
        }
        if (sy != decodedY) {
            DecodeRow(sf, Src.Palette(), srow, sxMin, sxMax - sxMin + 1, srcRow.data());
            decodedY = sy;
        }
        // Runs of destination pixels that take a source pixel are encoded together.
        int x = x0;
        while (x < x1) {
            auto takes = [&](int c) {
                const int s = srcX[size_t(c - x0)];
                return s >= 0 && !(Transparent && QuadColor(srcRow[size_t(s - sxMin)]) == key);
            };
            while (x < x1 && !takes(x))
                ++x;
            int e = x;
            for (; e < x1 && takes(e); ++e)
                out[size_t(e - x0)] = srcRow[size_t(srcX[size_t(e - x0)] - sxMin)];
            if (e > x)
                EncodeRow(df, nearest.get(), out.data() + (x - x0), x, e - x, drow);
            x = e;
        }
    }
}

// ---- Ellipses -----------------------------------------------------------------------------------

// The filled ellipse of the box [L, R) x [T, B): pixel (x, y) belongs to it when its centre lies in
// the ellipse touching the box's sides. Row returns the first and last column of row Y (First >
// Last for an empty row).
struct TEllipse {
    int64_t L, T, R, B;
    void Row(int64_t Y, int64_t& First, int64_t& Last) const
    {
        First = 1;
        Last = 0;
        if (Y < T || Y >= B)
            return;
        const i128 bw = R - L, bh = B - T;
        const i128 dy = 2 * Y + 1 - (T + B);
        const i128 rem = bw * bw * bh * bh - dy * dy * bw * bw;
        if (rem < 0)
            return;
        // The largest m with m^2 bh^2 <= rem.
        i128 m = i128(std::sqrt(static_cast<long double>(rem)) / static_cast<long double>(bh));
        while (m > 0 && m * m * bh * bh > rem)
            --m;
        while ((m + 1) * (m + 1) * bh * bh <= rem)
            ++m;
        First = CeilDiv(i128(L + R - 1) - m, 2);
        Last = FloorDiv(i128(L + R - 1) + m, 2);
    }
};

// Boxes are kept within this range so that the exact arithmetic above cannot overflow.
constexpr int64_t kEllipseLimit = int64_t(1) << 29;
int64_t ClampCoord(int64_t V) { return std::clamp(V, -kEllipseLimit, kEllipseLimit); }

// ---- Text -----------------------------------------------------------------------------------------

QFont MakeFont(const TFont& Font)
{
    QFont f(QString::fromStdString(Font.Name));
    f.setPixelSize(std::max(1, MulDiv(std::abs(Font.Size), 96, 72)));
    f.setBold(Font.Style & fsBold);
    f.setItalic(Font.Style & fsItalic);
    f.setUnderline(Font.Style & fsUnderline);
    f.setStrikeOut(Font.Style & fsStrikeOut);
    // Hard-edged glyphs: the picture's own colours only, so colour-keyed transparency stays exact.
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

QColor ToQColor(TColor C)
{
    const TColor c = ColorToRGB(C);
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

} // namespace

// ---- Canvas -------------------------------------------------------------------------------------

TColor TCanvas::Pixels(int X, int Y) const { return FOwner.GetPixel(X, Y); }

void TCanvas::SetPixel(int X, int Y, TColor C) { FOwner.SetPixelColor(X, Y, C); }

void TCanvas::MoveTo(int X, int Y)
{
    PenPos = {X, Y};
    FStylePos = 0;
}

void TCanvas::LineTo(int X, int Y)
{
    if (Pen.Style != psClear && !FOwner.Empty()) {
        TStroke stroke(Pen, FOwner.Width(), FOwner.Height());
        int64_t pos = FStylePos;
        stroke.Segment(PenPos.X, PenPos.Y, X, Y, pos);
        FStylePos = int(pos % 24);
        stroke.Finish();
        RenderFigure(FOwner, Pen, Brush, nullptr, &stroke);
    }
    PenPos = {X, Y};
}

void TCanvas::Polyline(const std::vector<TPoint>& Points)
{
    if (Pen.Style == psClear || FOwner.Empty() || Points.empty())
        return;
    TStroke stroke(Pen, FOwner.Width(), FOwner.Height());
    int64_t pos = 0;
    if (Points.size() == 1 && stroke.Width() > 1)
        stroke.Pixel(Points[0].X, Points[0].Y, 0);
    for (size_t i = 1; i < Points.size(); ++i)
        stroke.Segment(Points[i - 1].X, Points[i - 1].Y, Points[i].X, Points[i].Y, pos);
    stroke.Finish();
    RenderFigure(FOwner, Pen, Brush, nullptr, &stroke);
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2)
{
    int64_t l = std::min(X1, X2), r = std::max(X1, X2), t = std::min(Y1, Y2), b = std::max(Y1, Y2);
    if (FOwner.Empty() || l == r || t == b)
        return;
    std::unique_ptr<TSpanSet> fill;
    if (Brush.Style != bsClear) {
        fill = std::make_unique<TSpanSet>(FOwner.Width(), FOwner.Height());
        for (int64_t y = std::max<int64_t>(t, 0); y < std::min<int64_t>(b, FOwner.Height()); ++y)
            fill->Add(y, l, r);
    }
    std::unique_ptr<TStroke> stroke;
    if (Pen.Style != psClear) {
        stroke = std::make_unique<TStroke>(Pen, FOwner.Width(), FOwner.Height());
        const int w = stroke->Width();
        // The pen runs along the outermost pixels; an inside-frame pen keeps its whole width inside.
        int64_t pl = l, pt = t, pr = r - 1, pb = b - 1;
        if (Pen.Style == psInsideFrame && w > 1) {
            pl += w / 2;
            pt += w / 2;
            pr -= w - 1 - w / 2;
            pb -= w - 1 - w / 2;
            if (pr < pl)
                pl = pr = (l + r - 1) / 2;
            if (pb < pt)
                pt = pb = (t + b - 1) / 2;
        }
        int64_t pos = 0;
        stroke->Segment(pl, pt, pr, pt, pos);
        stroke->Segment(pr, pt, pr, pb, pos);
        stroke->Segment(pr, pb, pl, pb, pos);
        stroke->Segment(pl, pb, pl, pt, pos);
        stroke->Finish();
    }
    RenderFigure(FOwner, Pen, Brush, fill.get(), stroke.get());
}

void TCanvas::FillRect(const TRect& R)
{
    if (Brush.Style == bsClear || FOwner.Empty())
        return;
    TPixelWriter writer(FOwner);
    const int x0 = std::max(R.Left, 0), x1 = std::min(R.Right, FOwner.Width());
    for (int y = std::max(R.Top, 0); y < std::min(R.Bottom, FOwner.Height()); ++y)
        if (x0 < x1)
            writer.BrushSpan(y, x0, x1, Brush, pmCopy);
}

void TCanvas::FrameRect(const TRect& R)
{
    if (Brush.Style == bsClear || FOwner.Empty() || IsRectEmpty(R))
        return;
    TSpanSet frame(FOwner.Width(), FOwner.Height());
    frame.Add(R.Top, R.Left, R.Right);
    frame.Add(int64_t(R.Bottom) - 1, R.Left, R.Right);
    for (int64_t y = std::max(R.Top + 1, 0); y < std::min(R.Bottom - 1, FOwner.Height()); ++y) {
        frame.Add(y, R.Left, int64_t(R.Left) + 1);
        frame.Add(y, int64_t(R.Right) - 1, R.Right);
    }
    frame.Normalize();
    TPixelWriter(FOwner).ApplyBrush(frame, Brush, pmCopy);
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2)
{
    const TEllipse e{ClampCoord(std::min(X1, X2)), ClampCoord(std::min(Y1, Y2)), ClampCoord(std::max(X1, X2)),
                     ClampCoord(std::max(Y1, Y2))};
    if (FOwner.Empty() || e.L == e.R || e.T == e.B)
        return;
    const int64_t W = FOwner.Width(), H = FOwner.Height();
    std::unique_ptr<TSpanSet> fill;
    if (Brush.Style != bsClear) {
        fill = std::make_unique<TSpanSet>(int(W), int(H));
        for (int64_t y = std::max<int64_t>(e.T, 0); y < std::min<int64_t>(e.B, H); ++y) {
            int64_t a, b;
            e.Row(y, a, b);
            fill->Add(y, a, b + 1);
        }
    }
    std::unique_ptr<TStroke> stroke;
    if (Pen.Style != psClear) {
        stroke = std::make_unique<TStroke>(Pen, int(W), int(H));
        const int w = stroke->Width();
        // The outline runs through the boundary pixels of the filled ellipse (those with a 4-neighbour
        // outside it); an inside-frame pen uses the ellipse of the box shrunk by its half width.
        TEllipse path = e;
        if (Pen.Style == psInsideFrame && w > 1) {
            path = {e.L + w / 2, e.T + w / 2, e.R - (w - 1 - w / 2), e.B - (w - 1 - w / 2)};
            if (path.R <= path.L || path.B <= path.T)
                path = {(e.L + e.R - 1) / 2, (e.T + e.B - 1) / 2, (e.L + e.R - 1) / 2 + 1, (e.T + e.B - 1) / 2 + 1};
        }
        const int64_t margin = w;
        std::vector<TPoint> styled; // boundary pixels of a styled pen, ordered later
        const int64_t y0 = std::max(path.T, -margin), y1 = std::min(path.B, H + margin);
        for (int64_t y = y0; y < y1; ++y) {
            int64_t a, b, ua, ub, da, db;
            path.Row(y, a, b);
            if (a > b)
                continue;
            path.Row(y - 1, ua, ub);
            path.Row(y + 1, da, db);
            int64_t ia = std::max({a + 1, ua, da}), ib = std::min({b - 1, ub, db});
            if (ua > ub || da > db)
                ia = b + 1, ib = b; // no interior in the first and last rows
            auto boundary = [&](int64_t from, int64_t to) { // columns from .. to
                from = std::max(from, -margin);
                to = std::min(to, W + margin);
                for (int64_t x = from; x <= to; ++x) {
                    if (stroke->Width() > 1)
                        stroke->Pixel(x, y, 0);
                    else if (stroke->Styled())
                        styled.push_back({int32_t(x), int32_t(y)});
                    else {
                        stroke->On.Add(y, x, to + 1);
                        break;
                    }
                }
            };
            if (ia > ib) {
                boundary(a, b);
            } else {
                boundary(a, ia - 1);
                boundary(ib + 1, b);
            }
        }
        if (!styled.empty()) {
            // A styled pen's pattern runs round the ellipse, clockwise from the right.
            const double cx = (path.L + path.R) / 2.0, cy = (path.T + path.B) / 2.0;
            auto angle = [&](const TPoint& p) { return std::atan2(p.Y + 0.5 - cy, p.X + 0.5 - cx); };
            std::stable_sort(styled.begin(), styled.end(),
                             [&](const TPoint& p, const TPoint& q) { return angle(p) < angle(q); });
            for (size_t i = 0; i < styled.size(); ++i)
                stroke->Pixel(styled[i].X, styled[i].Y, int64_t(i));
        }
        stroke->Finish();
    }
    RenderFigure(FOwner, Pen, Brush, fill.get(), stroke.get());
}

void TCanvas::Polygon(const std::vector<TPoint>& Points)
{
    if (FOwner.Empty() || Points.empty())
        return;
    const int64_t W = FOwner.Width(), H = FOwner.Height();
    std::unique_ptr<TSpanSet> fill;
    if (Brush.Style != bsClear && Points.size() >= 3) {
        // A pixel is inside when its own integer point is, the same point the outline runs through,
        // so fill and outline meet without a gap. An edge through the point counts it on the left,
        // not the right, and a vertex row belongs to the edge below it: the right and bottom
        // boundaries are left out.
        fill = std::make_unique<TSpanSet>(int(W), int(H));
        int64_t minY = Points[0].Y, maxY = Points[0].Y;
        for (const TPoint& p : Points) {
            minY = std::min<int64_t>(minY, p.Y);
            maxY = std::max<int64_t>(maxY, p.Y);
        }
        struct TCrossing {
            int64_t X;
            int Dir;
        };
        std::vector<TCrossing> crossings;
        for (int64_t y = std::max<int64_t>(minY, 0); y < std::min<int64_t>(maxY, H); ++y) {
            crossings.clear();
            for (size_t i = 0; i < Points.size(); ++i) {
                const TPoint& a = Points[i];
                const TPoint& b = Points[(i + 1) % Points.size()];
                if (a.Y == b.Y)
                    continue;
                if (!((a.Y <= y && y < b.Y) || (b.Y <= y && y < a.Y)))
                    continue;
                // First pixel at or right of the crossing.
                i128 num = i128(a.X) * (int64_t(b.Y) - a.Y) + i128(y - a.Y) * (int64_t(b.X) - a.X);
                i128 den = i128(b.Y) - a.Y;
                if (den < 0) {
                    num = -num;
                    den = -den;
                }
                crossings.push_back({CeilDiv(num, den), b.Y > a.Y ? 1 : -1});
            }
            std::sort(crossings.begin(), crossings.end(),
                      [](const TCrossing& p, const TCrossing& q) { return p.X < q.X; });
            int winding = 0;
            for (size_t i = 0; i < crossings.size(); ++i) {
                const bool wasInside = FillMode == fmAlternate ? (i & 1) != 0 : winding != 0;
                winding += crossings[i].Dir;
                if (wasInside && i > 0)
                    fill->Add(y, crossings[i - 1].X, crossings[i].X);
            }
        }
    }
    std::unique_ptr<TStroke> stroke;
    if (Pen.Style != psClear) {
        stroke = std::make_unique<TStroke>(Pen, int(W), int(H));
        int64_t pos = 0;
        if (Points.size() == 1)
            stroke->Pixel(Points[0].X, Points[0].Y, 0);
        for (size_t i = 0; i < Points.size() && Points.size() > 1; ++i) {
            const TPoint& a = Points[i];
            const TPoint& b = Points[(i + 1) % Points.size()];
            stroke->Segment(a.X, a.Y, b.X, b.Y, pos);
        }
        stroke->Finish();
    }
    RenderFigure(FOwner, Pen, Brush, fill.get(), stroke.get());
}

void TCanvas::FloodFill(int X, int Y, TColor Color, TFillStyle FillStyle)
{
    const int W = FOwner.Width(), H = FOwner.Height();
    if (Brush.Style == bsClear || X < 0 || Y < 0 || X >= W || Y >= H)
        return;
    const TColor key = ColorToRGB(Color);
    std::vector<TRGBQuad> row(static_cast<size_t>(W));
    std::vector<uint8_t> matches(size_t(W) * H); // 1: fillable and not yet taken
    for (int y = 0; y < H; ++y) {
        DecodeRow(FOwner.PixelFormat(), FOwner.Palette(), FOwner.ScanLine(y), 0, W, row.data());
        uint8_t* m = matches.data() + size_t(y) * W;
        for (int x = 0; x < W; ++x)
            m[x] = (QuadColor(row[size_t(x)]) == key) == (FillStyle == fsSurface);
    }
    auto at = [&](int x, int y) -> uint8_t& { return matches[size_t(y) * W + x]; };
    if (!at(X, Y))
        return;
    TSpanSet area(W, H);
    std::vector<TPoint> stack{{X, Y}};
    while (!stack.empty()) {
        const TPoint p = stack.back();
        stack.pop_back();
        if (!at(p.X, p.Y))
            continue;
        int l = p.X, r = p.X;
        while (l > 0 && at(l - 1, p.Y))
            --l;
        while (r + 1 < W && at(r + 1, p.Y))
            ++r;
        for (int x = l; x <= r; ++x)
            at(x, p.Y) = 0;
        area.Add(p.Y, l, r + 1);
        for (int ny : {p.Y - 1, p.Y + 1}) {
            if (ny < 0 || ny >= H)
                continue;
            for (int x = l; x <= r; ++x)
                if (at(x, ny) && (x == l || !at(x - 1, ny)))
                    stack.push_back({x, ny});
        }
    }
    area.Normalize();
    TPixelWriter(FOwner).ApplyBrush(area, Brush, pmCopy);
}

void TCanvas::Draw(int X, int Y, const TGraphic& Graphic)
{
    Graphic.Draw(*this, Bounds(X, Y, Graphic.Width(), Graphic.Height()));
}

void TCanvas::StretchDraw(const TRect& Dest, const TGraphic& Graphic) { Graphic.Draw(*this, Dest); }

void TCanvas::CopyRect(const TRect& Dest, const TCanvas& Source, const TRect& SourceRect)
{
    const TBitmap& src = Source.Owner();
    if (&src != &FOwner) {
        StretchBlit(FOwner, Dest, src, SourceRect, false, 0);
        return;
    }
    // Within one bitmap: take the source pixels first, so overlapping rectangles copy correctly.
    TRect clipped;
    const TRect sr = Rect(std::min(SourceRect.Left, SourceRect.Right), std::min(SourceRect.Top, SourceRect.Bottom),
                          std::max(SourceRect.Left, SourceRect.Right), std::max(SourceRect.Top, SourceRect.Bottom));
    if (!IntersectRect(clipped, sr, Rect(0, 0, src.Width(), src.Height())))
        return;
    TBitmap copy;
    copy.SetPixelFormat(src.PixelFormat());
    copy.Palette() = src.Palette();
    copy.SetSize(clipped.Width(), clipped.Height());
    StretchBlit(copy, Rect(0, 0, clipped.Width(), clipped.Height()), src, clipped, false, 0);
    StretchBlit(FOwner, Dest, copy, OffsetRect(SourceRect, -clipped.Left, -clipped.Top), false, 0);
}

void TBitmap::Draw(TCanvas& Canvas, const TRect& Rect) const
{
    TBitmap& dest = Canvas.Owner();
    if (&dest == this) {
        TBitmap copy;
        copy.Assign(this);
        copy.Draw(Canvas, Rect);
        return;
    }
    StretchBlit(dest, Rect, *this, ::Rect(0, 0, FWidth, FHeight), Transparent(), TransparentColor());
}

// Text: QPainter over the rows in place for 24 and 32-bit bitmaps, else over a 24-bit copy whose
// changed pixels are written back. Opaque (with the background in the brush colour) when the brush
// is solid.
static void PaintText(TCanvas& Canvas, const TRect* Clip, const TRect& Background, int X, int Y,
                      const std::string& Text)
{
    TBitmap& bmp = Canvas.Owner();
    if (bmp.Empty())
        return;
    const bool direct = bmp.PixelFormat() == pf24bit || bmp.PixelFormat() == pf32bit;
    TBitmap work;
    if (!direct) {
        work.Assign(&bmp);
        work.SetPixelFormat(pf24bit);
    }
    TBitmap& target = direct ? bmp : work;
    {
        QImage image = target.AsQImage();
        QPainter painter(&image);
        if (Clip)
            painter.setClipRect(QRect(Clip->Left, Clip->Top, Clip->Width(), Clip->Height()));
        if (Canvas.Brush.Style == bsSolid && !IsRectEmpty(Background))
            painter.fillRect(QRect(Background.Left, Background.Top, Background.Width(), Background.Height()),
                             ToQColor(Canvas.Brush.Color));
        const QFont font = MakeFont(Canvas.Font);
        painter.setFont(font);
        painter.setPen(ToQColor(Canvas.Font.Color));
        painter.drawText(QPoint(X, Y + QFontMetrics(font).ascent()), QString::fromStdString(Text));
    }
    if (!direct)
        for (int y = 0; y < bmp.Height(); ++y)
            for (int x = 0; x < bmp.Width(); ++x) {
                const TColor c = work.GetPixel(x, y);
                if (c != bmp.GetPixel(x, y))
                    bmp.SetPixelColor(x, y, c);
            }
}

void TCanvas::TextOut(int X, int Y, const std::string& Text)
{
    const int w = TextWidth(Text);
    PaintText(*this, nullptr, Bounds(X, Y, w, TextHeight(Text)), X, Y, Text);
    PenPos = {X + w, Y};
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const std::string& Text)
{
    if (IsRectEmpty(R))
        return;
    PaintText(*this, &R, R, X, Y, Text);
}

int TCanvas::TextWidth(const std::string& Text) const
{
    return QFontMetrics(MakeFont(Font)).horizontalAdvance(QString::fromStdString(Text));
}

int TCanvas::TextHeight(const std::string&) const { return QFontMetrics(MakeFont(Font)).height(); }
