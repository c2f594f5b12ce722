#pragma once
// Tiny picture files whose headers claim huge pictures, and a big JPEG written a row at a time, for
// the tests of pictures loaded to be shown small.
#include "platform/Graphics.h"
#include "platform/Jpeg.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace hostile {

inline void Put16(std::vector<uint8_t>& B, size_t At, uint32_t V)
{
    B[At] = uint8_t(V);
    B[At + 1] = uint8_t(V >> 8);
}

inline void Put32(std::vector<uint8_t>& B, size_t At, uint32_t V)
{
    Put16(B, At, V);
    Put16(B, At + 2, V >> 16);
}

// A real 16 x 16 JPEG whose frame header is made to claim W x H (Progressive: several scans).
inline std::vector<uint8_t> JpegClaiming(int W, int H, bool Progressive)
{
    TBitmap Small(16, 16, pf24bit);
    TJPEGImage J;
    J.ProgressiveEncoding = Progressive;
    TMemoryStream S;
    J.SaveBitmapToStream(Small, S);
    std::vector<uint8_t> B = S.Bytes();
    const uint8_t Sof = Progressive ? 0xC2 : 0xC0;
    for (size_t I = 0; I + 9 < B.size(); ++I)
        if (B[I] == 0xFF && B[I + 1] == Sof) {
            // Length (2), precision (1), then height and width, big-endian.
            B[I + 5] = uint8_t(H >> 8);
            B[I + 6] = uint8_t(H);
            B[I + 7] = uint8_t(W >> 8);
            B[I + 8] = uint8_t(W);
            return B;
        }
    ADD_FAILURE() << "no frame header in the encoded JPEG";
    return B;
}

// A GIF of a ScreenW x ScreenH logical screen holding one FrameW x FrameH frame of one pixel's data.
inline std::vector<uint8_t> GifClaiming(int ScreenW, int ScreenH, int FrameW, int FrameH)
{
    std::vector<uint8_t> B = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0x80, 0, 0, // screen, 2 colours
                              0, 0, 0, 255, 255, 255,                                 // colour table
                              0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0,                        // frame at (0, 0)
                              2, 2, 0x44, 0x01, 0,                                    // clear, 0, end
                              0x3B};
    Put16(B, 6, uint32_t(ScreenW));
    Put16(B, 8, uint32_t(ScreenH));
    Put16(B, 24, uint32_t(FrameW));
    Put16(B, 26, uint32_t(FrameH));
    return B;
}

// A BMP of W x H with no pixel data: 8-bit RLE (only the end-of-bitmap code) or plain 24-bit.
inline std::vector<uint8_t> BmpClaiming(int W, int H, bool Rle8)
{
    const uint32_t Palette = Rle8 ? 2 * 4 : 0;
    std::vector<uint8_t> B(14 + 40 + Palette, 0);
    B[0] = 'B';
    B[1] = 'M';
    Put32(B, 10, 14 + 40 + Palette);
    Put32(B, 14, 40);
    Put32(B, 18, uint32_t(W));
    Put32(B, 22, uint32_t(H));
    Put16(B, 26, 1);
    Put16(B, 28, Rle8 ? 8 : 24);
    Put32(B, 30, Rle8 ? 1 : 0); // BI_RLE8 or BI_RGB
    if (Rle8) {
        Put32(B, 46, 2);
        B.insert(B.end(), {0, 1}); // end of bitmap
    }
    Put32(B, 2, uint32_t(B.size()));
    return B;
}

struct TClaim {
    const char* Name;
    std::vector<uint8_t> Bytes;
};

// One of each kind of tiny file that claims a 16384 x 16384 picture.
inline std::vector<TClaim> HugeClaims()
{
    constexpr int N = 16384;
    return {
        {"progressive.jpg", JpegClaiming(N, N, true)},
        {"screen.gif", GifClaiming(N, N, 1, 1)},
        {"frame.gif", GifClaiming(1, 1, N, N)},
        {"rle8.bmp", BmpClaiming(N, N, true)},
        {"plain.bmp", BmpClaiming(N, N, false)},
    };
}

// Writes a W x H baseline JPEG (quality 75, 4:2:0) a row at a time, so that no picture of that size
// is ever held; Pixel gives the colour (as a TColor) at X, Y.
inline void WriteBigJpeg(const std::string& Path, int W, int H, const std::function<TColor(int X, int Y)>& Pixel)
{
    FILE* Out = std::fopen(Path.c_str(), "wb");
    ASSERT_NE(Out, nullptr);
    jpeg_compress_struct Info{};
    jpeg_error_mgr Err{};
    Info.err = jpeg_std_error(&Err);
    jpeg_create_compress(&Info);
    jpeg_stdio_dest(&Info, Out);
    Info.image_width = JDIMENSION(W);
    Info.image_height = JDIMENSION(H);
    Info.input_components = 3;
    Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&Info);
    jpeg_set_quality(&Info, 75, TRUE);
    jpeg_start_compress(&Info, TRUE);
    std::vector<uint8_t> Row(size_t(W) * 3);
    while (Info.next_scanline < Info.image_height) {
        const int Y = int(Info.next_scanline);
        for (int X = 0; X < W; ++X) {
            const TColor C = Pixel(X, Y);
            Row[size_t(X) * 3] = GetRValue(C);
            Row[size_t(X) * 3 + 1] = GetGValue(C);
            Row[size_t(X) * 3 + 2] = GetBValue(C);
        }
        JSAMPROW P = Row.data();
        jpeg_write_scanlines(&Info, &P, 1);
    }
    jpeg_finish_compress(&Info);
    jpeg_destroy_compress(&Info);
    std::fclose(Out);
}

// Forgets the process's peak resident memory, so that PeakResidentBytes tells what follows.
inline void ResetPeakResident()
{
    FILE* F = std::fopen("/proc/self/clear_refs", "w");
    ASSERT_NE(F, nullptr);
    std::fputs("5", F);
    std::fclose(F);
}

// VmHWM of this process in bytes.
inline int64_t PeakResidentBytes()
{
    FILE* F = std::fopen("/proc/self/status", "r");
    if (!F)
        return -1;
    char Line[256];
    int64_t Kb = -1;
    while (std::fgets(Line, sizeof Line, F))
        if (std::sscanf(Line, "VmHWM: %lld kB", reinterpret_cast<long long*>(&Kb)) == 1)
            break;
    std::fclose(F);
    return Kb < 0 ? -1 : Kb * 1024;
}

} // namespace hostile
