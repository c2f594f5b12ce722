// Colour and tone effects of the editable picture: colour replacement, Gaussian blur, brightness,
// gamma, grey scale, negative and per-channel adjustment. Rows run on several threads; progress
// events stay on the calling thread.
#include "image/EffectsBitmap.h"
#include "image/EffectsRowsImpl.h"
#include "image/EffectsVectorImpl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using namespace effects_impl;

namespace {

// A percentage (-100..100) as a channel step: Trunc(p * 2.55 + 0.5) taken exactly. Steps beyond
// +-255 act like +-255, so larger percentages are cut there rather than overflow.
int PercentToDelta(int Percent)
{
    return static_cast<int>(std::clamp<int64_t>((int64_t(Percent) * 255 + 50) / 100, -255, 255));
}

// One table per channel, indexed by the channel's old value.
struct TChannelTables {
    uint8_t Blue[256], Green[256], Red[256];
};

TChannelTables ShiftTables(int DeltaRed, int DeltaGreen, int DeltaBlue)
{
    TChannelTables t;
    for (int c = 0; c < 256; ++c) {
        t.Red[c] = static_cast<uint8_t>(std::clamp(c + DeltaRed, 0, 255));
        t.Green[c] = static_cast<uint8_t>(std::clamp(c + DeltaGreen, 0, 255));
        t.Blue[c] = static_cast<uint8_t>(std::clamp(c + DeltaBlue, 0, 255));
    }
    return t;
}

TChannelTables SameTables(const uint8_t (&T)[256])
{
    TChannelTables t;
    std::memcpy(t.Red, T, 256);
    std::memcpy(t.Green, T, 256);
    std::memcpy(t.Blue, T, 256);
    return t;
}

// Calls Pixel on every pixel that the mask leaves in, row by row, with one progress step per row.
template <typename F>
void ForEachPixel(TBitmap& B, const TBool2DArray* Mask, const std::function<void()>& Step, F Pixel)
{
    const int W = B.Width();
    const TMaskRows mask(Mask, W, B.Height());
    const std::vector<TRGBTriple*> rows = RowTable(B);
    ParallelRows(B.Height(), kRowGrain, W, [&](int Begin, int End) {
        for (int y = Begin; y < End; ++y) {
            TRGBTriple* row = rows[y];
            const bool* m = mask.Row(y);
            if (!m) {
                for (int x = 0; x < W; ++x)
                    Pixel(row[x]);
            } else {
                for (int x = 0; x < W; ++x)
                    if (!m[x])
                        Pixel(row[x]);
            }
        }
    }, Step);
}

void ApplyTables(TBitmap& B, const TBool2DArray* Mask, const std::function<void()>& Step, const TChannelTables& T)
{
    ForEachPixel(B, Mask, Step, [&T](TRGBTriple& p) {
        p.rgbtBlue = T.Blue[p.rgbtBlue];
        p.rgbtGreen = T.Green[p.rgbtGreen];
        p.rgbtRed = T.Red[p.rgbtRed];
    });
}

// ---- Blur ------------------------------------------------------------------------------------

constexpr int kMaxKernel = 40;
// Added before truncating a blurred channel: the normalised single-precision weights may add up
// to just under 1, which would otherwise darken a flat area by one step at every blur.
constexpr float kBlurEpsilon = 1.0f / 1024.0f;

struct TKernel {
    int N = 1;                       // offsets -N..N are in use
    float W[2 * kMaxKernel + 1] = {}; // weight of offset k at W[k + kMaxKernel]
    float Weight(int K) const { return W[K + kMaxKernel]; }
};

// Gaussian weights for offsets -40..40, normalised, trimmed to the offsets that matter for 8-bit
// output (the dropped tail stays under half of one 255th) and normalised again.
TKernel MakeGaussianKernel(double Radius)
{
    TKernel k;
    for (int i = -kMaxKernel; i <= kMaxKernel; ++i) {
        const double t = i / Radius;
        k.W[i + kMaxKernel] = static_cast<float>(std::exp(-t * t / 2));
    }
    double sum = 0;
    for (float w : k.W)
        sum += w;
    for (float& w : k.W)
        w = static_cast<float>(w / sum);

    double dropped = 0;
    int n = kMaxKernel;
    while (dropped < 1.0 / 510 && n >= 2) {
        dropped += 2 * k.Weight(n);
        --n;
    }
    k.N = n;
    sum = 0;
    for (int i = -n; i <= n; ++i)
        sum += k.Weight(i);
    for (int i = -n; i <= n; ++i)
        k.W[i + kMaxKernel] = static_cast<float>(k.Weight(i) / sum);
    return k;
}

inline uint8_t BlurredByte(float Sum)
{
    const float v = Sum + kBlurEpsilon;
    if (!(v > 0))
        return 0;
    return v >= 255 ? 255 : static_cast<uint8_t>(static_cast<int>(v));
}

// One blurred channel value by the rule for masked neighbours: the sample at clamped position j is
// replaced by the pixel's own when j is masked. Get(j) reads channel values along the line.
template <typename Get>
float MaskedSum(const TKernel& K, int Pos, int Count, const bool* LineMask, ptrdiff_t MaskStride, Get Value)
{
    float sum = 0;
    for (int k = -K.N; k <= K.N; ++k) {
        int j = std::clamp(Pos - k, 0, Count - 1);
        if (LineMask[j * MaskStride])
            j = Pos;
        sum += K.Weight(k) * Value(j);
    }
    return sum;
}

// Number of masked items in each prefix of a line: Prefix[i] counts items 0..i-1.
template <typename IsMasked>
void PrefixCounts(int Count, std::vector<int>& Prefix, IsMasked Masked)
{
    Prefix.resize(size_t(Count) + 1);
    Prefix[0] = 0;
    for (int i = 0; i < Count; ++i)
        Prefix[i + 1] = Prefix[i] + (Masked(i) ? 1 : 0);
}

// True when some masked item lies within N of Pos (clamped to the line).
inline bool MaskNear(const std::vector<int>& Prefix, int Pos, int N, int Count)
{
    const int lo = std::max(0, Pos - N), hi = std::min(Count - 1, Pos + N);
    return Prefix[hi + 1] - Prefix[lo] > 0;
}

// Horizontal pass over rows Begin..End-1, in place.
void BlurRows(const std::vector<TRGBTriple*>& Rows, int W, const TKernel& K, const TMaskRows& Mask, int Begin,
              int End)
{
    if (W == 0)
        return;
    const int N = K.N, taps = 2 * N + 1;
    std::vector<float> padded(size_t(W + 2 * N) * 3), out(size_t(W) * 3), weights(taps);
    std::vector<int> prefix;
    for (int t = 0; t < taps; ++t)
        weights[t] = K.Weight(t - N);
    for (int y = Begin; y < End; ++y) {
        uint8_t* row = reinterpret_cast<uint8_t*>(Rows[y]);
        // The row with N copies of its edge pixels on both sides, as floats.
        for (int i = 0; i < W + 2 * N; ++i) {
            const uint8_t* p = row + 3 * std::clamp(i - N, 0, W - 1);
            padded[3 * i] = p[0];
            padded[3 * i + 1] = p[1];
            padded[3 * i + 2] = p[2];
        }
        // Offset k = -N reads column x + N, that is padded index x + 2N.
        Convolve(padded.data() + 6 * N, -3, weights.data(), taps, out.data(), 3 * W);
        const bool* m = Mask.Row(y);
        if (!m) {
            for (int i = 0; i < 3 * W; ++i)
                row[i] = BlurredByte(out[i]);
            continue;
        }
        PrefixCounts(W, prefix, [m](int i) { return m[i]; });
        // Every output first (sources are the unchanged row), then written back.
        for (int x = 0; x < W; ++x) {
            if (m[x])
                continue;
            if (MaskNear(prefix, x, N, W))
                for (int c = 0; c < 3; ++c)
                    out[3 * x + c] = MaskedSum(K, x, W, m, 1, [&](int j) { return float(row[3 * j + c]); });
        }
        for (int x = 0; x < W; ++x)
            if (!m[x])
                for (int c = 0; c < 3; ++c)
                    row[3 * x + c] = BlurredByte(out[3 * x + c]);
    }
}

// Vertical pass over columns Begin..End-1, in strips of a few columns, in place.
void BlurColumns(const std::vector<TRGBTriple*>& Rows, int H, const TKernel& K, const TMaskRows& Mask, int Begin,
                 int End)
{
    constexpr int kStrip = 32;
    if (H == 0)
        return;
    const int N = K.N, taps = 2 * N + 1;
    std::vector<float> strip(size_t(H + 2 * N) * kStrip * 3), out(kStrip * 3), weights(taps);
    std::vector<int> prefix;
    for (int t = 0; t < taps; ++t)
        weights[t] = K.Weight(t - N);
    for (int x0 = Begin; x0 < End; x0 += kStrip) {
        const int s = std::min(kStrip, End - x0), n = 3 * s;
        // The strip's columns, row after row, with N copies of the edge rows above and below.
        for (int r = 0; r < H + 2 * N; ++r) {
            const uint8_t* p = reinterpret_cast<const uint8_t*>(Rows[std::clamp(r - N, 0, H - 1)] + x0);
            float* d = strip.data() + size_t(r) * n;
            for (int i = 0; i < n; ++i)
                d[i] = p[i];
        }
        for (int y = 0; y < H; ++y) {
            // Offset k = -N reads row y + N, that is strip row y + 2N.
            Convolve(strip.data() + size_t(y + 2 * N) * n, -ptrdiff_t(n), weights.data(), taps, out.data(), n);
            uint8_t* row = reinterpret_cast<uint8_t*>(Rows[y] + x0);
            const bool* m = Mask.Row(y);
            for (int i = 0; i < n; ++i)
                if (!m || !m[x0 + i / 3])
                    row[i] = BlurredByte(out[i]);
        }
        if (Mask.Empty())
            continue;
        // Pixels with a masked pixel within reach follow the masked-neighbour rule.
        for (int i = 0; i < s; ++i) {
            const int x = x0 + i;
            const bool* column = Mask.Row(0) + x;
            const ptrdiff_t stride = Mask.Stride();
            PrefixCounts(H, prefix, [&](int y) { return column[y * stride]; });
            for (int y = 0; y < H; ++y) {
                if (column[y * stride] || !MaskNear(prefix, y, N, H))
                    continue;
                uint8_t* px = reinterpret_cast<uint8_t*>(Rows[y] + x);
                for (int c = 0; c < 3; ++c)
                    px[c] = BlurredByte(MaskedSum(K, y, H, column, stride,
                                                  [&](int j) { return strip[size_t(j + N) * n + 3 * i + c]; }));
            }
        }
    }
}

} // namespace

namespace {

// Saves for undo the tiles of the pixels ReplaceColour is about to change: the span from the first
// to the last matching pixel of every row, found in parallel before anything changes.
void SaveReplacedTiles(TEffectsBitmap& B, TRGBTriple From, int Tolerance)
{
    const int W = B.Width();
    const std::vector<TRGBTriple*> rows = RowTable(B);
    std::vector<int> first(rows.size(), W), last(rows.size(), -1);
    ParallelRows(B.Height(), kRowGrain, W, [&](int Begin, int End) {
        for (int y = Begin; y < End; ++y) {
            const TRGBTriple* row = rows[y];
            int x = 0;
            while (x < W && !TriplesWithinTolerance(Tolerance, row[x], From))
                ++x;
            if (x == W)
                continue;
            first[y] = x;
            int e = W - 1;
            while (!TriplesWithinTolerance(Tolerance, row[e], From))
                --e;
            last[y] = e;
        }
    }, [] {});
    for (int y = 0; y < B.Height(); ++y)
        if (last[y] >= 0)
            B.SaveUndoTiles(Rect(first[y], y, last[y] + 1, y + 1));
}

} // namespace

void TEffectsBitmap::ReplaceColour(TColor FromColour, TColor ToColour, int Tolerance)
{
    Ensure24Bit();
    const TRGBTriple from = ColorToTriple(FromColour), to = ColorToTriple(ToColour);
    if (UndoTiles)
        SaveReplacedTiles(*this, from, Tolerance);
    TProgressScope progress(*this, Height());
    ForEachPixel(*this, nullptr, [&] { progress.Step(); }, [&](TRGBTriple& p) {
        if (TriplesWithinTolerance(Tolerance, p, from))
            p = to;
    });
    progress.Finish();
}

void TEffectsBitmap::Blur(const TBool2DArray* Mask, double Radius)
{
    Ensure24Bit();
    if (!(Radius > 0))
        return;
    const int W = Width(), H = Height();
    const TMaskRows mask(Mask, W, H);
    const TKernel kernel = MakeGaussianKernel(Radius);
    const std::vector<TRGBTriple*> rows = RowTable(*this);
    const int64_t tapWork = 2 * kernel.N + 1;
    TProgressScope progress(*this, W + H);
    const auto step = [&] { progress.Step(); };
    ParallelRows(H, kRowGrain, W * tapWork, [&](int b, int e) { BlurRows(rows, W, kernel, mask, b, e); }, step);
    ParallelRows(W, 256, H * tapWork, [&](int b, int e) { BlurColumns(rows, H, kernel, mask, b, e); }, step);
    progress.Finish();
}

void TEffectsBitmap::Brighten(int Percent, const TBool2DArray* Mask)
{
    if (Percent == 0)
        return;
    CheckMaskCovers(Mask, Width(), Height());
    Ensure24Bit();
    const int d = PercentToDelta(Percent);
    TProgressScope progress(*this, Height());
    ApplyTables(*this, Mask, [&] { progress.Step(); }, ShiftTables(d, d, d));
    progress.Finish();
}

void TEffectsBitmap::GammaCorrect(const TBool2DArray* Mask, double Gamma)
{
    if (Gamma == 1)
        return;
    CheckMaskCovers(Mask, Width(), Height());
    Ensure24Bit();
    uint8_t table[256] = {};
    if (Gamma > 0)
        for (int i = 1; i < 256; ++i) {
            const double v = std::nearbyint(255 * std::exp(std::log(i / 255.0) / Gamma));
            table[i] = v >= 0 && v <= 255 ? static_cast<uint8_t>(v) : 0;
        }
    TProgressScope progress(*this, Height());
    ApplyTables(*this, Mask, [&] { progress.Step(); }, SameTables(table));
    progress.Finish();
}

void TEffectsBitmap::GreyScale(const TBool2DArray* Mask)
{
    CheckMaskCovers(Mask, Width(), Height());
    Ensure24Bit();
    TProgressScope progress(*this, Height());
    ForEachPixel(*this, Mask, [&] { progress.Step(); }, [](TRGBTriple& p) {
        const uint8_t v = static_cast<uint8_t>((p.rgbtBlue + p.rgbtGreen + p.rgbtRed) / 3);
        p = TRGBTriple{v, v, v};
    });
    progress.Finish();
}

void TEffectsBitmap::Negative(const TBool2DArray* Mask)
{
    CheckMaskCovers(Mask, Width(), Height());
    Ensure24Bit();
    TProgressScope progress(*this, Height());
    ForEachPixel(*this, Mask, [&] { progress.Step(); }, [](TRGBTriple& p) {
        p.rgbtBlue = 255 - p.rgbtBlue;
        p.rgbtGreen = 255 - p.rgbtGreen;
        p.rgbtRed = 255 - p.rgbtRed;
    });
    progress.Finish();
}

void TEffectsBitmap::AdjustRGB(int RedPercent, int GreenPercent, int BluePercent, const TBool2DArray* Mask)
{
    CheckMaskCovers(Mask, Width(), Height());
    Ensure24Bit();
    const TChannelTables tables =
        ShiftTables(PercentToDelta(RedPercent), PercentToDelta(GreenPercent), PercentToDelta(BluePercent));
    TProgressScope progress(*this, Height());
    ApplyTables(*this, Mask, [&] { progress.Step(); }, tables);
    progress.Finish();
}
