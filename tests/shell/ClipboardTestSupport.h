#pragma once
// Helpers of the clipboard tests: small pictures that tell themselves apart, a picture comparison,
// and a fixed tick count for the item ids.
#include "shell/CVClipbrdStream.h"

#include <gtest/gtest.h>

#include <memory>

namespace clipboard_test {

// A W x H 24-bit picture filled with Colour, with a marker pixel of another colour at (0, 0) so
// that rows cannot be confused.
inline std::unique_ptr<TBitmap> Picture(int W, int H, TColor Colour)
{
    auto b = std::make_unique<TBitmap>(W, H, pf24bit);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            b->SetPixelColor(x, y, Colour);
    b->SetPixelColor(0, 0, Colour ^ 0xFFFFFF);
    return b;
}

inline ::testing::AssertionResult SamePixels(const TBitmap& A, const TBitmap& B)
{
    if (A.Width() != B.Width() || A.Height() != B.Height())
        return ::testing::AssertionFailure() << "size " << A.Width() << "x" << A.Height() << " vs "
                                             << B.Width() << "x" << B.Height();
    for (int y = 0; y < A.Height(); ++y)
        for (int x = 0; x < A.Width(); ++x)
            if (A.GetPixel(x, y) != B.GetPixel(x, y))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") " << std::hex
                                                     << A.GetPixel(x, y) << " vs " << B.GetPixel(x, y);
    return ::testing::AssertionSuccess();
}

// Makes TCVClipboardStream::TickCount return Now for the life of the scope.
class TFixedTick {
public:
    explicit TFixedTick(uint32_t Start) : FSaved(TCVClipboardStream::TickCount)
    {
        Now = Start;
        TCVClipboardStream::TickCount = [] { return Now; };
    }
    ~TFixedTick() { TCVClipboardStream::TickCount = FSaved; }
    TFixedTick(const TFixedTick&) = delete;
    TFixedTick& operator=(const TFixedTick&) = delete;

    static inline uint32_t Now = 0;

private:
    uint32_t (*FSaved)();
};

} // namespace clipboard_test
