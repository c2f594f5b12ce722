// Geometric effects of the editable picture: mirror, flip, rotation by whole degrees, nearest-
// neighbour resize, windowed-sinc resample, canvas enlargement, and the tolerance flood fill.
#include "image/EffectsBitmap.h"
#include "image/EffectsRowsImpl.h"
#include "image/EffectsVectorImpl.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

using namespace effects_impl;

namespace {

// Gives a 24-bit picture the size and pixels of a 24-bit temporary: its rows become the picture's,
// so a large picture is not copied. Source is left empty.
void AdoptPixels(TBitmap& Picture, TBitmap& Source)
{
    Picture.TakePixels(Source);
}

// ---- Rotation ----------------------------------------------------------------------------------

struct TRotation {
    double Sin = 0, Cos = 0;
    int Width = 0, Height = 0; // size of the rotated picture
};

TRotation RotationFor(int Rest, int W, int H)
{
    TRotation r;
    const double a = -Rest * (std::numbers::pi / 180);
    r.Sin = std::sin(a);
    r.Cos = std::cos(a);
    r.Width = int(std::abs(std::nearbyint(H * r.Sin)) + std::abs(std::nearbyint(W * r.Cos)));
    r.Height = int(std::abs(std::nearbyint(W * r.Sin)) + std::abs(std::nearbyint(H * r.Cos)));
    return r;
}

// Fills Dest (R.Width x R.Height) by inverse mapping in doubled coordinates from Source, in tiles
// so that the source pixels of a tile stay in the cache.
void RotateInto(TBitmap& Source, TBitmap& Dest, const TRotation& R, TRGBTriple Back,
                const std::function<void()>& Step)
{
    const int W = Source.Width(), H = Source.Height();
    const int cx = W / 2, cy = H / 2, offX = (R.Width - W) / 2, offY = (R.Height - H) / 2;
    const std::vector<TRGBTriple*> src = RowTable(Source), dst = RowTable(Dest);
    // Per column: dx * cos and dx * sin, the same products the per-pixel formula forms.
    std::vector<double> dxCos(R.Width), dxSin(R.Width);
    for (int x = 0; x < R.Width; ++x) {
        const int dx = 2 * (x - offX - cx) + 1;
        dxCos[x] = dx * R.Cos;
        dxSin[x] = dx * R.Sin;
    }
    constexpr int kBand = 16, kTile = 64;
    // Rows are counted from the bottom up.
    ParallelRows(R.Height, kBand, R.Width, [&](int b, int e) {
        for (int x0 = 0; x0 < R.Width; x0 += kTile) {
            const int x1 = std::min(R.Width, x0 + kTile);
            for (int i = b; i < e; ++i) {
                const int y = R.Height - 1 - i;
                const int dy = 2 * (y - offY - cy) + 1;
                const double dySin = dy * R.Sin, dyCos = dy * R.Cos;
                TRGBTriple* out = dst[y];
                for (int x = x0; x < x1; ++x) {
                    const int sx2 = static_cast<int>(dxCos[x] - dySin);
                    const int sy2 = static_cast<int>(dxSin[x] + dyCos);
                    const int sx = (sx2 - 1) / 2 + cx, sy = (sy2 - 1) / 2 + cy;
                    out[x] = (unsigned(sx) < unsigned(W) && unsigned(sy) < unsigned(H)) ? src[sy][sx] : Back;
                }
            }
        }
    }, Step);
}

// ---- Nearest-neighbour resize --------------------------------------------------------------------

// The source columns of a resize when they form an even progression First, First + Step, ...
// (every reduction by a whole factor, and a copy); Step 0 means they do not.
struct TColumnPattern {
    int First = 0, Step = 0;
};

TColumnPattern ColumnPatternOf(const std::vector<int>& Columns)
{
    const int step = Columns.size() > 1 ? Columns[1] - Columns[0] : 1;
    if (step < 1)
        return {};
    for (size_t x = 1; x < Columns.size(); ++x)
        if (Columns[x] - Columns[x - 1] != step)
            return {};
    return {Columns[0], step};
}

// Pixel To = pixel From through a 4-byte move, which also writes the byte after To and reads the byte
// after From: both must lie in the same row (To's is written again by the next pixel).
inline void MovePixelWide(uint8_t* To, const uint8_t* From)
{
    uint32_t v;
    std::memcpy(&v, From, 4);
    std::memcpy(To, &v, 4);
}

// One destination row of NewWidth pixels from source row From (W pixels) through Columns.
void ResizeRow(const TRGBTriple* From, int W, const std::vector<int>& Columns, const TColumnPattern& Pattern,
               TRGBTriple* To, int NewWidth)
{
    const uint8_t* from = reinterpret_cast<const uint8_t*>(From);
    uint8_t* to = reinterpret_cast<uint8_t*>(To);
    if (Pattern.Step == 1) {
        std::memcpy(to, from + size_t(Pattern.First) * 3, size_t(NewWidth) * 3);
        return;
    }
    const int last = NewWidth - 1;
    if (Pattern.Step > 1) {
        // Every pixel but the last has a sampled neighbour after it in the same row.
        const size_t stride = size_t(Pattern.Step) * 3;
        const uint8_t* s = from + size_t(Pattern.First) * 3;
        for (int x = 0; x < last; ++x, s += stride)
            MovePixelWide(to + 3 * x, s);
    } else {
        for (int x = 0; x < last; ++x) {
            const int c = Columns[x];
            if (c < W - 1)
                MovePixelWide(to + 3 * x, from + size_t(c) * 3);
            else
                To[x] = From[c];
        }
    }
    To[last] = From[Columns[last]];
}

// ---- Resampling -----------------------------------------------------------------------------------

struct TContributor {
    int Pixel;
    float Weight;
};
using TContributorList = std::vector<TContributor>;
using TCListList = std::vector<TContributorList>;

constexpr float kFilterReach = 5;

float Sinc(float X)
{
    if (X == 0)
        return 1;
    X *= std::numbers::pi_v<float>;
    return std::sin(X) / X;
}

// Lanczos window of reach 5.
float ResampleFilter(float X)
{
    if (std::abs(X) >= kFilterReach)
        return 0;
    return Sinc(X) * Sinc(X / kFilterReach);
}

// The contributors of every destination index along an axis of Src source pixels, one Step per
// destination index.
TCListList BuildContributors(int Src, int Dst, const std::function<void()>& Step)
{
    float scale, centreOfOne = 0;
    const bool toOne = Dst == 1 && Src > 1;
    if (Src == 1)
        scale = float(Dst);
    else if (toOne) {
        // (Dst - 1) / (Src - 1) would be 0: all source pixels are averaged around the middle.
        scale = float(Dst) / float(Src);
        centreOfOne = float(Src - 1) / 2;
    } else
        scale = float(Dst - 1) / float(Src - 1);

    TCListList lists(Dst);
    for (int i = 0; i < Dst; ++i) {
        const float centre = toOne ? centreOfOne : float(i) / scale;
        TContributorList& list = lists[i];
        auto add = [&](int j, float weight) {
            if (weight == 0)
                return;
            int pixel = j < 0 ? -j : (j >= Src ? 2 * Src - j - 1 : j);
            pixel = std::clamp(pixel, 0, Src - 1);
            list.push_back({pixel, weight});
        };
        if (scale >= 1) {
            const int left = int(std::floor(centre - kFilterReach)), right = int(std::ceil(centre + kFilterReach));
            for (int j = left; j <= right; ++j)
                add(j, ResampleFilter(centre - float(j)));
        } else {
            const float width = kFilterReach / scale, f = 1 / scale;
            const int left = int(std::floor(centre - width)), right = int(std::ceil(centre + width));
            for (int j = left; j <= right; ++j)
                add(j, ResampleFilter((centre - float(j)) / f) / f);
        }
        if (Step)
            Step();
    }
    return lists;
}

inline uint8_t ClampFloatByte(float V)
{
    if (V > 255)
        return 255;
    if (V < 0)
        return 0;
    return static_cast<uint8_t>(std::nearbyint(V));
}

// ClampFloatByte of each lane of V into Out[0..3]. Clamping first and then rounding in the current
// rounding mode gives the same byte for every finite value.
inline void ClampFloatBytes4(TFloat4 V, uint8_t* Out)
{
#ifdef __SSE2__
    const __m128 c = _mm_min_ps(_mm_max_ps(__m128(V), _mm_setzero_ps()), _mm_set1_ps(255));
    alignas(16) int32_t v[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(v), _mm_cvtps_epi32(c));
    for (int k = 0; k < 4; ++k)
        Out[k] = uint8_t(v[k]);
#else
    for (int k = 0; k < 4; ++k)
        Out[k] = ClampFloatByte(V[k]);
#endif
}

// Horizontal pass: source rows Begin..End-1 into the work rows (DstW pixels each). Four rows go
// together, one lane a row, so every lane of a sum is used and each contributor is read once for
// twelve sums; each lane still adds its terms in the list's order, as a sum for its row alone would.
void ResampleRows(const std::vector<TRGBTriple*>& Src, int SrcW, uint8_t* Work, int DstW, const TCListList& Columns,
                  int Begin, int End)
{
    // quad[3 * x + c]: channel c of pixel x in each of the four rows.
    std::vector<TFloat4> quad(size_t(SrcW) * 3);
    for (int y0 = Begin; y0 < End; y0 += 4) {
        // Past the last row the lanes repeat it and are not written back.
        const int rows = std::min(4, End - y0);
        const TRGBTriple* s[4];
        uint8_t* out[4];
        for (int r = 0; r < 4; ++r) {
            const int y = y0 + std::min(r, rows - 1);
            s[r] = Src[y];
            out[r] = Work + size_t(y) * DstW * 3;
        }
        for (int x = 0; x < SrcW; ++x) {
            TFloat4* q = &quad[3 * size_t(x)];
            q[0] = TFloat4{float(s[0][x].rgbtBlue), float(s[1][x].rgbtBlue), float(s[2][x].rgbtBlue),
                           float(s[3][x].rgbtBlue)};
            q[1] = TFloat4{float(s[0][x].rgbtGreen), float(s[1][x].rgbtGreen), float(s[2][x].rgbtGreen),
                           float(s[3][x].rgbtGreen)};
            q[2] = TFloat4{float(s[0][x].rgbtRed), float(s[1][x].rgbtRed), float(s[2][x].rgbtRed),
                           float(s[3][x].rgbtRed)};
        }
        for (int i = 0; i < DstW; ++i) {
            TFloat4 b = Splat4(0), g = b, r = b;
            for (const TContributor& c : Columns[i]) {
                const TFloat4 w = Splat4(c.Weight);
                const TFloat4* q = &quad[3 * size_t(c.Pixel)];
                b += w * q[0];
                g += w * q[1];
                r += w * q[2];
            }
            uint8_t bytes[3][4];
            ClampFloatBytes4(b, bytes[0]);
            ClampFloatBytes4(g, bytes[1]);
            ClampFloatBytes4(r, bytes[2]);
            for (int k = 0; k < rows; ++k) {
                uint8_t* d = out[k] + 3 * i;
                d[0] = bytes[0][k];
                d[1] = bytes[1][k];
                d[2] = bytes[2][k];
            }
        }
    }
}

// Vertical pass: destination columns Begin..End-1, in strips of a few columns.
void ResampleColumns(const uint8_t* Work, int SrcH, int DstW, const std::vector<TRGBTriple*>& Dst,
                     const TCListList& Rows, int Begin, int End)
{
    constexpr int kStrip = 32;
    std::vector<float> strip(size_t(SrcH) * kStrip * 3), out(kStrip * 3);
    for (int x0 = Begin; x0 < End; x0 += kStrip) {
        const int n = 3 * std::min(kStrip, End - x0);
        for (int y = 0; y < SrcH; ++y) {
            const uint8_t* p = Work + (size_t(y) * DstW + x0) * 3;
            float* d = strip.data() + size_t(y) * n;
            for (int i = 0; i < n; ++i)
                d[i] = p[i];
        }
        for (size_t y = 0; y < Rows.size(); ++y) {
            const TContributorList& list = Rows[y];
            int i = 0;
            for (; i + 8 <= n; i += 8) {
                TFloat4 a0 = Splat4(0), a1 = a0;
                for (const TContributor& c : list) {
                    const float* p = strip.data() + size_t(c.Pixel) * n + i;
                    const TFloat4 w = Splat4(c.Weight);
                    a0 += w * Load4(p);
                    a1 += w * Load4(p + 4);
                }
                Store4(out.data() + i, a0);
                Store4(out.data() + i + 4, a1);
            }
            for (; i < n; ++i) {
                float a = 0;
                for (const TContributor& c : list)
                    a += c.Weight * strip[size_t(c.Pixel) * n + i];
                out[i] = a;
            }
            uint8_t* d = reinterpret_cast<uint8_t*>(Dst[y] + x0);
            int k = 0;
            for (; k + 4 <= n; k += 4)
                ClampFloatBytes4(Load4(out.data() + k), d + k);
            for (; k < n; ++k)
                d[k] = ClampFloatByte(out[k]);
        }
    }
}

// ---- Flood fill ---------------------------------------------------------------------------------

// A span fill: paints the 4-connected area of pixels for which Inside holds, starting with the
// seed's row. Inside must turn false for a pixel once it is painted. Each pending entry is a
// stretch of row Y whose row Y - DY, over Left..Right, is already painted.
template <typename TInside, typename TPaint>
void SpanFill(int W, int H, int X, int Y, TInside Inside, TPaint Paint)
{
    struct TSpan {
        int Y, Left, Right, DY;
    };
    std::vector<TSpan> pending;
    auto push = [&](int y, int l, int r, int dy) {
        if (y >= 0 && y < H)
            pending.push_back({y, l, r, dy});
    };
    int a = X, b = X;
    while (a > 0 && Inside(a - 1, Y))
        --a;
    while (b < W - 1 && Inside(b + 1, Y))
        ++b;
    Paint(Y, a, b);
    push(Y + 1, a, b, 1);
    push(Y - 1, a, b, -1);
    while (!pending.empty()) {
        const TSpan s = pending.back();
        pending.pop_back();
        int x = s.Left;
        while (x <= s.Right) {
            if (!Inside(x, s.Y)) {
                ++x;
                continue;
            }
            a = b = x;
            if (x == s.Left)
                while (a > 0 && Inside(a - 1, s.Y))
                    --a;
            while (b < W - 1 && Inside(b + 1, s.Y))
                ++b;
            Paint(s.Y, a, b);
            push(s.Y + s.DY, a, b, s.DY);
            // Parts reaching past the stretch may touch unpainted pixels of the row behind.
            if (a < s.Left)
                push(s.Y - s.DY, a, s.Left - 1, -s.DY);
            if (b > s.Right)
                push(s.Y - s.DY, s.Right + 1, b, -s.DY);
            x = b + 2;
        }
    }
}

} // namespace

void TEffectsBitmap::Mirror()
{
    Ensure24Bit();
    const int W = Width();
    const std::vector<TRGBTriple*> rows = RowTable(*this);
    TProgressScope progress(*this, Height());
    ParallelRows(Height(), 16, W, [&](int b, int e) {
        for (int y = b; y < e; ++y)
            std::reverse(rows[y], rows[y] + W);
    }, [&] { progress.Step(); });
    progress.Finish();
}

void TEffectsBitmap::Flip()
{
    Ensure24Bit();
    const int H = Height();
    const size_t bytes = size_t(Width()) * 3;
    const std::vector<TRGBTriple*> rows = RowTable(*this);
    TProgressScope progress(*this, H / 2);
    ParallelRows(H / 2, 16, Width(), [&](int b, int e) {
        std::vector<uint8_t> buffer(bytes);
        for (int y = b; y < e; ++y) {
            std::memcpy(buffer.data(), rows[y], bytes);
            std::memcpy(rows[y], rows[H - 1 - y], bytes);
            std::memcpy(rows[H - 1 - y], buffer.data(), bytes);
        }
    }, [&] { progress.Step(); });
    progress.Finish();
}

void TEffectsBitmap::RotateRightAngle(int Whole, TProgressScope& Progress)
{
    const int W = Width(), H = Height();
    const std::vector<TRGBTriple*> rows = RowTable(*this);
    const auto step = [&] { Progress.Step(); };
    if (Whole == 180) {
        ParallelRows(H / 2, 16, W, [&](int b, int e) {
            for (int y = b; y < e; ++y) {
                TRGBTriple* top = rows[y];
                TRGBTriple* bottom = rows[H - 1 - y];
                // Reversing one row onto the other swaps and reverses both.
                for (int x = 0; x < W; ++x)
                    std::swap(top[x], bottom[W - 1 - x]);
            }
        }, step);
        if (H % 2 == 1)
            std::reverse(rows[H / 2], rows[H / 2] + W);
        return;
    }
    TBitmap turned;
    Make24(turned, H, W);
    const std::vector<TRGBTriple*> out = RowTable(turned);
    const bool clockwise = Whole == 90;
    constexpr int kBlock = 32;
    ParallelRows(H, kBlock, W, [&](int b, int e) {
        for (int x0 = 0; x0 < W; x0 += kBlock) {
            const int x1 = std::min(W, x0 + kBlock);
            for (int x = x0; x < x1; ++x) {
                if (clockwise) {
                    TRGBTriple* d = out[x] + (H - 1);
                    for (int y = b; y < e; ++y)
                        d[-y] = rows[y][x];
                } else {
                    TRGBTriple* d = out[W - 1 - x];
                    for (int y = b; y < e; ++y)
                        d[y] = rows[y][x];
                }
            }
        }
    }, step);
    AdoptPixels(*this, turned);
}

void TEffectsBitmap::Rotate(int Angle, TColor BackColour)
{
    if (Angle <= 0)
        return;
    // Whole turns change nothing: 360 and beyond count from the start again.
    Angle %= 360;
    if (Angle == 0)
        return;
    Ensure24Bit();
    const int whole = Angle / 90 * 90, rest = Angle - whole;
    const TRotation first = RotationFor(rest, Width(), Height());
    WrapErrors("Rotate Error. ", [&] {
        int max = rest > 0 ? first.Height : 0;
        if (whole > 0)
            max = whole == 180 ? Height() / 2 + (rest > 0 ? first.Height : 0)
                               : Height() + (rest > 0 ? first.Width : 0);
        // The rotated picture is made before anything changes, so that a lack of memory leaves
        // the picture as it was.
        TBitmap rotated;
        const bool quarter = whole == 90 || whole == 270;
        if (rest > 0)
            Make24(rotated, quarter ? first.Height : first.Width, quarter ? first.Width : first.Height);
        TProgressScope progress(*this, max);
        if (whole > 0)
            RotateRightAngle(whole, progress);
        if (rest > 0) {
            const TRotation second = RotationFor(rest, Width(), Height());
            RotateInto(*this, rotated, second, ColourTriple(BackColour), [&] { progress.Step(); });
            AdoptPixels(*this, rotated);
        }
        progress.Finish();
    });
}

void TEffectsBitmap::Resize(int NewWidth, int NewHeight)
{
    if (NewWidth < 1 || NewHeight < 1)
        return;
    Ensure24Bit();
    const int W = Width(), H = Height();
    // A picture without pixels has nothing to sample.
    if (W == 0 || H == 0)
        return;
    WrapErrors("Resizing Error. ", [&] {
        TBitmap dest;
        Make24(dest, NewWidth, NewHeight);
        const double xs = double(NewWidth) / W, ys = double(NewHeight) / H;
        std::vector<int> columns(NewWidth);
        for (int x = 0; x < NewWidth; ++x)
            columns[x] = std::min(W - 1, static_cast<int>(x / xs));
        const TColumnPattern pattern = ColumnPatternOf(columns);
        const std::vector<TRGBTriple*> src = RowTable(*this), dst = RowTable(dest);
        TProgressScope progress(*this, NewHeight);
        ParallelRows(NewHeight, 16, NewWidth, [&](int b, int e) {
            int previous = -1;
            for (int y = b; y < e; ++y) {
                const int row = std::min(H - 1, static_cast<int>(y / ys));
                if (row == previous) // enlarging: the row above is the same
                    std::memcpy(dst[y], dst[y - 1], size_t(NewWidth) * 3);
                else
                    ResizeRow(src[row], W, columns, pattern, dst[y], NewWidth);
                previous = row;
            }
        }, [&] { progress.Step(); });
        AdoptPixels(*this, dest);
        progress.Finish();
    });
}

void TEffectsBitmap::Resample(int NewWidth, int NewHeight)
{
    const int W = Width(), H = Height();
    if ((NewWidth == W && NewHeight == H) || W == 0 || H == 0)
        return;
    if (NewWidth < 1 || NewHeight < 1)
        return;
    Ensure24Bit();
    WrapErrors("Resampling Error. ", [&] {
        CheckPictureSize(NewWidth, H);
        // Left uninitialised: the horizontal pass writes every byte, on several threads.
        const std::unique_ptr<uint8_t[]> work(new uint8_t[size_t(NewWidth) * H * 3]);
        TBitmap dest;
        Make24(dest, NewWidth, NewHeight);
        const std::vector<TRGBTriple*> src = RowTable(*this), dst = RowTable(dest);
        TProgressScope progress(*this, 2 * NewWidth + NewHeight + H);
        const auto step = [&] { progress.Step(); };

        const TCListList columns = BuildContributors(W, NewWidth, step);
        int64_t perRow = 0;
        for (const TContributorList& l : columns)
            perRow += int64_t(l.size());
        ParallelRows(H, kRowGrain, perRow, [&](int b, int e) {
            ResampleRows(src, W, work.get(), NewWidth, columns, b, e);
        }, step);

        const TCListList rows = BuildContributors(H, NewHeight, step);
        int64_t perColumn = 0;
        for (const TContributorList& l : rows)
            perColumn += int64_t(l.size());
        ParallelRows(NewWidth, 128, perColumn, [&](int b, int e) {
            ResampleColumns(work.get(), H, NewWidth, dst, rows, b, e);
        }, step);

        AdoptPixels(*this, dest);
        progress.Finish();
    });
}

void TEffectsBitmap::EnlargeCanvas(int NewWidth, int NewHeight, TColor Colour, bool Centred)
{
    const int W = Width(), H = Height();
    if (NewWidth == W && NewHeight == H)
        return;
    // A canvas without pixels would lose the whole picture.
    if (NewWidth < 1 || NewHeight < 1)
        return;
    TBitmap canvas;
    Make24(canvas, NewWidth, NewHeight);
    // The picture's pixels as 24-bit rows; other formats are converted in a copy.
    TBitmap converted;
    TBitmap* source = this;
    if (PixelFormat() != pf24bit) {
        converted.Assign(this);
        converted.SetPixelFormat(pf24bit);
        source = &converted;
    }
    TProgressScope progress(*this, 2);
    const TRGBTriple fill = ColourTriple(Colour);
    const std::vector<TRGBTriple*> to = RowTable(canvas), from = RowTable(*source);
    const int dx = Centred ? (NewWidth - W) / 2 : 0, dy = Centred ? (NewHeight - H) / 2 : 0;
    // Columns of the picture that land on the canvas.
    const int x0 = std::max(0, -dx), x1 = std::min(W, NewWidth - dx);
    ParallelRows(NewHeight, 64, NewWidth, [&](int b, int e) {
        for (int y = b; y < e; ++y)
            std::fill(to[y], to[y] + NewWidth, fill);
    }, {});
    progress.Step();
    if (x1 > x0)
        ParallelRows(H, 64, W, [&](int b, int e) {
            for (int y = b; y < e; ++y)
                if (y + dy >= 0 && y + dy < NewHeight)
                    std::memcpy(to[y + dy] + x0 + dx, from[y] + x0, size_t(x1 - x0) * 3);
        }, {});
    if (PixelFormat() == pf24bit)
        AdoptPixels(*this, canvas);
    else
        AssignBitmap(canvas); // back to the picture's own format
    progress.Step();
    progress.Finish();
}

void TEffectsBitmap::FloodFill(int X, int Y, TColor Colour, int Tolerance)
{
    const int W = Width(), H = Height();
    if (X < 0 || Y < 0 || X >= W || Y >= H)
        return;
    Colour = ColorToRGB(Colour);
    const TColor seed = Canvas().Pixels(X, Y);
    if (Tolerance < 1 && Colour == seed)
        return;
    WrapErrors("FloodFill Error. ", [&] {
        if (Tolerance == 0 && PixelFormat() != pf24bit) {
            // The exact-colour fill works in the picture's own format.
            SaveUndoTiles(GetBoundsRect());
            Canvas().Brush.Color = Colour;
            Canvas().Brush.Style = bsSolid;
            Canvas().FloodFill(X, Y, seed, fsSurface);
            return;
        }
        Ensure24Bit();
        const std::vector<TRGBTriple*> rows = RowTable(*this);
        const TRGBTriple s = ColorToTriple(seed), paint = ColorToTriple(Colour);
        if (Tolerance < 0) {
            SaveUndoTiles(Rect(X, Y, X + 1, Y + 1));
            rows[Y][X] = paint; // nothing matches, not even the seed's own colour
            return;
        }
        // Per channel: does a value match the seed's within the tolerance?
        bool near[3][256];
        for (int v = 0; v < 256; ++v) {
            near[0][v] = std::abs(v - s.rgbtBlue) <= Tolerance;
            near[1][v] = std::abs(v - s.rgbtGreen) <= Tolerance;
            near[2][v] = std::abs(v - s.rgbtRed) <= Tolerance;
        }
        const auto matches = [&](const TRGBTriple& p) {
            return near[2][p.rgbtRed] && near[1][p.rgbtGreen] && near[0][p.rgbtBlue];
        };
        const auto inside = [&](int x, int y) { return matches(rows[y][x]); };
        const auto paintWith = [&](TRGBTriple c) {
            return [this, &rows, c](int y, int a, int b) {
                SaveUndoTiles(Rect(a, y, b + 1, y + 1));
                std::fill(rows[y] + a, rows[y] + b + 1, c);
            };
        };
        if (!matches(paint)) {
            // Painted pixels no longer match, so the picture itself records what is done.
            SpanFill(W, H, X, Y, inside, paintWith(paint));
            return;
        }
        // The fill colour matches the seed: paint the area first with a colour that does not,
        // remembering its spans, then give those spans the fill colour.
        const TRGBTriple marker{uint8_t(s.rgbtBlue < 128 ? 255 : 0), uint8_t(s.rgbtGreen < 128 ? 255 : 0),
                                uint8_t(s.rgbtRed < 128 ? 255 : 0)};
        if (matches(marker)) {
            // Every colour matches: the area is the whole picture.
            SaveUndoTiles(GetBoundsRect());
            for (TRGBTriple* row : rows)
                std::fill(row, row + W, paint);
            return;
        }
        struct TPainted {
            int Y, Left, Right;
        };
        std::vector<TPainted> spans;
        const auto mark = paintWith(marker);
        SpanFill(W, H, X, Y, inside, [&](int y, int a, int b) {
            mark(y, a, b);
            spans.push_back({y, a, b});
        });
        const auto fill = paintWith(paint);
        for (const TPainted& p : spans)
            fill(p.Y, p.Left, p.Right);
    });
}
