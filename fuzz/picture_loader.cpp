// Feeds arbitrary bytes to the picture loader's stream path (content sniffing, then the BMP or JPEG
// reader), and JPEGs also to the scaled fast decode of thumbnails. Any exception is a clean refusal;
// crashes, hangs and sanitizer reports are findings. GIF content has its own target (gif_loader).
#include "image/XBitmap.h"
#include "platform/Jpeg.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Pictures may legally be as large as the loader's limits, but a fuzzer with a memory cap would only
// report those as out-of-memory: inputs whose header claims more than this are skipped.
constexpr int64_t kMaxFuzzPixels = int64_t(1) << 22;

int32_t Int32At(const uint8_t* P)
{
    return static_cast<int32_t>(P[0] | (P[1] << 8) | (P[2] << 16) | (uint32_t(P[3]) << 24));
}

// Inputs this target leaves alone: GIFs, and pictures larger than the cap.
bool Skipped(const uint8_t* Data, size_t Size)
{
    if (Size >= 3 && std::memcmp(Data, "GIF", 3) == 0)
        return true;
    if (Size >= 26 && Data[0] == 'B' && Data[1] == 'M') {
        const int32_t HeaderSize = Int32At(Data + 14);
        int64_t W, H;
        if (HeaderSize == 12) {
            W = Data[18] | (Data[19] << 8);
            H = Data[20] | (Data[21] << 8);
        } else {
            W = Int32At(Data + 18);
            H = Int32At(Data + 22);
        }
        return std::abs(W) * std::abs(H) > kMaxFuzzPixels;
    }
    int W = 0, H = 0;
    if (Size >= 2 && Data[0] == 0xFF && Data[1] == 0xD8 && TJPEGImage::ReadHeaderSize(Data, Size, W, H))
        return int64_t(W) * H > kMaxFuzzPixels;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    if (Skipped(Data, Size))
        return -1; // not added to the corpus
    TBytesStream Stream(Data, static_cast<int64_t>(Size));
    TXBitmap Bmp;
    try {
        Bmp.LoadPictureFromStream(Stream, false);
    } catch (const Exception&) {
    }
    if (Size >= 2 && Data[0] == 0xFF && Data[1] == 0xD8) {
        try {
            TBytesStream Again(Data, static_cast<int64_t>(Size));
            TJPEGImage Jpeg;
            Jpeg.LoadFromStream(Again);
            Jpeg.Scale = static_cast<TJPEGScale>(1 + Size % 3);
            Jpeg.Performance = jpBestSpeed;
            TBitmap Thumb;
            Jpeg.AssignTo(Thumb);
        } catch (const Exception&) {
        }
    }
    return 0;
}
