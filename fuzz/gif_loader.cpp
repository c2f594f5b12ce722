// Feeds arbitrary bytes to the GIF codec: the whole-file reader, then (when that works) writing the
// image again and rendering its picture. EInvalidGraphic (GIFException is one) is a clean refusal;
// crashes, hangs, sanitizer reports and any other exception are findings.
#include "gif/GIFImage.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// Frames may legally be as large as the codec's limits, but a fuzzer with a memory cap and a time
// limit would only report those as slow: inputs whose logical screen, as the frames leave it, is
// larger than this are skipped. The walk over the blocks is deliberately loose; it looks for sizes.
constexpr int64_t kMaxFuzzPixels = int64_t(1) << 20;

bool TooLarge(const uint8_t* Data, size_t Size)
{
    auto Word = [&](size_t P) { return P + 1 < Size ? int64_t(Data[P] | (Data[P + 1] << 8)) : 0; };
    // The logical screen (also behind a 4-byte prefix), which frames of no size take and larger
    // frames grow.
    int64_t ScreenW = 0, ScreenH = 0;
    for (size_t Start : {size_t(0), size_t(4)})
        if (Start + 13 <= Size) {
            ScreenW = std::max(ScreenW, Word(Start + 6));
            ScreenH = std::max(ScreenH, Word(Start + 8));
        }
    if (ScreenW * ScreenH > kMaxFuzzPixels)
        return true;
    size_t P = 13;
    if (Size > 10 && (Data[10] & 0x80))
        P += 3u * (2u << (Data[10] & 7));
    auto SkipSubBlocks = [&] {
        while (P < Size && Data[P] != 0)
            P += Data[P] + 1u;
        ++P;
    };
    while (P < Size) {
        const uint8_t B = Data[P];
        if (B == 0x21) {
            const bool GraphicControl = P + 1 < Size && Data[P + 1] == 0xF9;
            P += 2;
            if (GraphicControl)
                P += 6; // read as a fixed block, whatever its size byte says
            else
                SkipSubBlocks();
        } else if (B == 0x2C) {
            int64_t W = Word(P + 5), H = Word(P + 7);
            if (W == 0 || H == 0) {
                W = ScreenW;
                H = ScreenH;
            }
            ScreenW = std::max(ScreenW, Word(P + 1) + W);
            ScreenH = std::max(ScreenH, Word(P + 3) + H);
            if (ScreenW * ScreenH > kMaxFuzzPixels)
                return true;
            const uint8_t Packed = P + 9 < Size ? Data[P + 9] : 0;
            P += 10;
            if (Packed & 0x80)
                P += 3u * (2u << (Packed & 7));
            P += 1;
            SkipSubBlocks();
        } else {
            ++P;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    if (TooLarge(Data, Size))
        return 0;
    TGIFImage Image;
    try {
        TBytesStream In(Data, static_cast<int64_t>(Size));
        Image.LoadFromStream(In);
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    try {
        TMemoryStream Out;
        Image.SaveToStream(Out);
    } catch (const EInvalidGraphic&) {
    }
    try {
        Image.GetBitmap();
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
