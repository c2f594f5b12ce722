#pragma once
// Helpers of the picture-operation tests: random pictures and masks, pixel access, picture
// comparison with the first difference reported, and a recorder of progress events.
#include "image/ArrayObjects.h"
#include "image/BitmapUtils.h"
#include "image/EffectsBitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace effects_test {

using TRng = std::mt19937;

inline TRGBTriple PixelAt(const TBitmap& B, int X, int Y) { return B.Row24(Y)[X]; }
inline void SetPixelAt(TBitmap& B, int X, int Y, TRGBTriple T) { B.Row24(Y)[X] = T; }
inline TRGBTriple Triple(uint8_t R, uint8_t G, uint8_t B) { return TRGBTriple{B, G, R}; }

inline std::string TripleText(const TRGBTriple& T)
{
    std::ostringstream s;
    s << "(r " << int(T.rgbtRed) << ", g " << int(T.rgbtGreen) << ", b " << int(T.rgbtBlue) << ")";
    return s.str();
}

// Every pixel of a 24-bit picture set to Colour.
inline void FillPicture(TBitmap& B, TColor Colour)
{
    const TRGBTriple T = ColorToTriple(Colour);
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            B.Row24(y)[x] = T;
}

// Random pixels. With Levels > 0 each channel takes one of Levels evenly spread values, so that
// equal and nearly equal colours are common (tolerance tests need them).
inline void RandomizePicture(TBitmap& B, TRng& Rng, int Levels = 0)
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> level(0, Levels > 1 ? Levels - 1 : 0);
    auto value = [&]() -> uint8_t {
        if (Levels <= 0)
            return static_cast<uint8_t>(byte(Rng));
        return Levels == 1 ? 0 : static_cast<uint8_t>(level(Rng) * 255 / (Levels - 1));
    };
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x) {
            TRGBTriple& p = B.Row24(y)[x];
            p.rgbtBlue = value();
            p.rgbtGreen = value();
            p.rgbtRed = value();
        }
}

inline std::unique_ptr<TEffectsBitmap> MakePicture(int W, int H, TColor Colour = clWhite)
{
    auto B = std::make_unique<TEffectsBitmap>(W, H, pf24bit);
    FillPicture(*B, Colour);
    return B;
}

inline std::unique_ptr<TEffectsBitmap> RandomPicture(TRng& Rng, int W, int H, int Levels = 0)
{
    auto B = std::make_unique<TEffectsBitmap>(W, H, pf24bit);
    RandomizePicture(*B, Rng, Levels);
    return B;
}

// A W x H mask whose items are True with probability Density.
template <typename TMask = TBool2DArray>
std::unique_ptr<TMask> RandomMask(TRng& Rng, int W, int H, double Density)
{
    auto M = std::make_unique<TMask>();
    M->SetSize(W, H);
    std::bernoulli_distribution masked(Density);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            M->SetItem(x, y, masked(Rng));
    return M;
}

// A copy of a picture's size and pixels (for "before" pictures and literal versions).
inline std::unique_ptr<TEffectsBitmap> ClonePicture(const TBitmap& Source)
{
    auto B = std::make_unique<TEffectsBitmap>();
    B->Assign(&Source);
    return B;
}

// Same size and the same 24-bit pixels; on failure names the first differing pixel.
inline ::testing::AssertionResult SamePixels(const TBitmap& Actual, const TBitmap& Expected)
{
    if (Actual.Width() != Expected.Width() || Actual.Height() != Expected.Height())
        return ::testing::AssertionFailure() << "size " << Actual.Width() << " x " << Actual.Height()
                                             << ", expected " << Expected.Width() << " x " << Expected.Height();
    for (int y = 0; y < Actual.Height(); ++y)
        for (int x = 0; x < Actual.Width(); ++x) {
            const TRGBTriple a = PixelAt(Actual, x, y), e = PixelAt(Expected, x, y);
            if (!(a == e))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << TripleText(a)
                                                     << ", expected " << TripleText(e);
        }
    return ::testing::AssertionSuccess();
}

// Same size and every channel within Tolerance.
inline ::testing::AssertionResult NearPixels(const TBitmap& Actual, const TBitmap& Expected, int Tolerance)
{
    if (Actual.Width() != Expected.Width() || Actual.Height() != Expected.Height())
        return ::testing::AssertionFailure() << "size differs";
    for (int y = 0; y < Actual.Height(); ++y)
        for (int x = 0; x < Actual.Width(); ++x) {
            const TRGBTriple a = PixelAt(Actual, x, y), e = PixelAt(Expected, x, y);
            if (!TriplesWithinTolerance(Tolerance, a, e))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << TripleText(a)
                                                     << ", expected " << TripleText(e) << " within " << Tolerance;
        }
    return ::testing::AssertionSuccess();
}

// The positions whose pixels differ between two pictures of one size.
inline std::vector<TPoint> ChangedPixels(const TBitmap& A, const TBitmap& B)
{
    std::vector<TPoint> out;
    for (int y = 0; y < A.Height(); ++y)
        for (int x = 0; x < A.Width(); ++x)
            if (!(PixelAt(A, x, y) == PixelAt(B, x, y)))
                out.push_back({x, y});
    return out;
}

// Records the progress events of a picture: the order as text ("S5 P P P P P E") and counts.
struct TProgressLog {
    int Starts = 0, Max = -1, Steps = 0, Ends = 0;
    std::string Order;
    void Attach(TEffectsBitmap& B)
    {
        B.OnProgressStart = [this](TEffectsBitmap*, int M) {
            ++Starts;
            Max = M;
            Order += "S" + std::to_string(M) + " ";
        };
        B.OnProgress = [this](TEffectsBitmap*) {
            ++Steps;
            Order += "P ";
        };
        B.OnProgressEnd = [this](TEffectsBitmap*) {
            ++Ends;
            Order += "E ";
        };
    }
    // Start (Max) once, Max steps, one end.
    bool Complete() const { return Starts == 1 && Ends == 1 && Steps == Max; }
    bool Silent() const { return Starts == 0 && Steps == 0 && Ends == 0; }
};

} // namespace effects_test
