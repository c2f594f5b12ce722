// Feeds arbitrary bytes to the GIF codec: the whole-file reader, then (when that works) writing the
// image again and rendering its picture. EInvalidGraphic (GIFException is one) is a clean refusal;
// crashes, hangs, sanitizer reports and any other exception are findings.
#include "gif/GIFImage.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Frames may legally be as large as the codec's limits, but a fuzzer with a memory cap and a time
// limit would only report those as slow: inputs whose logical screen, as the frames leave it, is
// larger than this are skipped. The filter walks the blocks exactly as the reader does (the same
// fixed sizes, sub-block chains and stopping points), so that the frames it measures are the
// frames the reader decodes.
constexpr int64_t kMaxFuzzPixels = int64_t(1) << 20;
// Every frame is decoded into its own buffer and encoded again, so thousands of frames of a few
// bytes each, each as large as the screen, are as slow as one huge frame: their areas together are
// capped as well.
constexpr int64_t kMaxFuzzTotalPixels = 4 * kMaxFuzzPixels;

// The bytes of the input as the reader consumes them; reading past the end stops the walk where
// the reader would fail.
struct TCursor {
    const uint8_t* Data;
    size_t Size;
    size_t P = 0;
    bool AtEnd() const { return P >= Size; }
    bool Has(size_t N) const { return P <= Size && Size - P >= N; }
    uint8_t At(size_t Offset) const { return Data[P + Offset]; }
    int64_t Word(size_t Offset) const { return int64_t(At(Offset) | (At(Offset + 1) << 8)); }
    // Sub-blocks up to and with their terminator (a chain cut short ends at the end).
    void SkipSubBlocks()
    {
        while (P < Size) {
            const uint8_t N = Data[P++];
            if (N == 0)
                return;
            P += N;
        }
    }
};

bool IsSignature(const uint8_t* S)
{
    return (S[0] | 0x20) == 'g' && (S[1] | 0x20) == 'i' && (S[2] | 0x20) == 'f';
}

// One extension, the cursor at its introducer. False when the reader fails on it.
bool SkipExtension(TCursor& C)
{
    if (!C.Has(2))
        return false;
    const uint8_t Label = C.At(1);
    C.P += 2;
    switch (Label) {
    case 0x01: // plain text: a fixed 13-byte header whatever its size byte says, then text blocks
        if (!C.Has(13))
            return false;
        C.P += 13;
        C.SkipSubBlocks();
        return true;
    case 0xF9: // graphic control: a fixed 6-byte block (a short one ends the input)
        C.P = C.Has(6) ? C.P + 6 : C.Size;
        return true;
    case 0xFF: { // application: identifier by its size byte (10 or more), then data blocks
        if (!C.Has(1) || C.At(0) < 10)
            return false;
        const size_t N = C.At(0);
        if (!C.Has(1 + N))
            return false;
        const bool Loop = N == 11 && (std::memcmp(C.Data + C.P + 1, "NETSCAPE2.0", 11) == 0 ||
                                      std::memcmp(C.Data + C.P + 1, "ANIMEXTS1.0", 11) == 0);
        C.P += 1 + N;
        if (!Loop) {
            C.SkipSubBlocks();
            return true;
        }
        // The loop extension's blocks: an id, then a loop count (2 bytes) or a buffer size (4
        // bytes) that the block must hold; it must end with its terminator.
        for (;;) {
            if (!C.Has(1))
                return false;
            const uint8_t Block = C.At(0);
            ++C.P;
            if (Block == 0)
                return true;
            if (!C.Has(1))
                return false;
            const int Id = C.At(0) & 7;
            if ((Id == 1 && Block < 3) || (Id == 2 && Block < 5))
                return false;
            C.P += Block;
        }
    }
    default: // comment, or a label the reader skips: data blocks only
        C.SkipSubBlocks();
        return true;
    }
}

bool TooLarge(const uint8_t* Data, size_t Size)
{
    TCursor C{Data, Size};
    // The header, also behind a 4-byte prefix.
    if (!C.Has(6))
        return false;
    if (!IsSignature(Data)) {
        C.P = 4;
        if (!C.Has(6) || !IsSignature(Data + 4))
            return false;
    }
    if (!C.Has(13))
        return false;
    // The logical screen, which frames of no size take and larger frames grow.
    int64_t ScreenW = C.Word(6), ScreenH = C.Word(8);
    if (ScreenW * ScreenH > kMaxFuzzPixels)
        return true;
    const uint8_t Packed = C.At(10);
    C.P += 13;
    if (Packed & 0x80)
        C.P += 3u * (2u << (Packed & 7));
    // Frames: their extensions, then an image descriptor; zero bytes between frames are skipped.
    int64_t TotalPixels = 0;
    while (!C.AtEnd()) {
        const uint8_t B = C.At(0);
        if (B == 0) {
            ++C.P;
        } else if (B == 0x21) {
            if (!SkipExtension(C))
                return false;
        } else if (B == 0x2C) {
            if (!C.Has(10))
                return false;
            int64_t W = C.Word(5), H = C.Word(7);
            if (W == 0 || H == 0) {
                W = ScreenW;
                H = ScreenH;
            }
            ScreenW = std::max(ScreenW, C.Word(1) + W);
            ScreenH = std::max(ScreenH, C.Word(3) + H);
            if (ScreenW * ScreenH > kMaxFuzzPixels)
                return true;
            TotalPixels += W * H;
            if (TotalPixels > kMaxFuzzTotalPixels)
                return true;
            const uint8_t Local = C.At(9);
            C.P += 10;
            if (Local & 0x80)
                C.P += 3u * (2u << (Local & 7));
            if (C.AtEnd())
                return false;
            ++C.P; // the initial code size
            C.SkipSubBlocks();
        } else {
            return false; // the trailer, or a byte that ends the reading
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
