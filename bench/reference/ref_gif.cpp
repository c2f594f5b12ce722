// Times giflib inside this process: "ref_gif load FILE.gif" prints the milliseconds from opening the
// file to its first frame as RGB pixels in memory (what gif2rgb -1 makes, without writing them);
// "ref_gif decode FILE.gif" those from opening the file to all its frames as indices (DGifSlurp).
#include "PixelBuffer.h"

#include <gif_lib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int Argc, char** Argv)
{
    const bool Load = Argc == 3 && std::strcmp(Argv[1], "load") == 0;
    if (Argc != 3 || (!Load && std::strcmp(Argv[1], "decode") != 0)) {
        std::fprintf(stderr, "usage: ref_gif load|decode FILE.gif\n");
        return 2;
    }
    WarmFreshMemory();
    const auto Start = std::chrono::steady_clock::now();
    int Error = 0;
    GifFileType* Gif = DGifOpenFileName(Argv[2], &Error);
    if (!Gif || DGifSlurp(Gif) != GIF_OK || Gif->ImageCount < 1) {
        std::fprintf(stderr, "ref_gif: cannot read %s\n", Argv[2]);
        return 1;
    }
    const SavedImage& Frame = Gif->SavedImages[0];
    const ColorMapObject* Map = Frame.ImageDesc.ColorMap ? Frame.ImageDesc.ColorMap : Gif->SColorMap;
    const size_t Width = size_t(Gif->SWidth), Height = size_t(Gif->SHeight);
    TPixelBuffer Rgb(Load ? Width * Height * 3 : 0);
    const GifImageDesc& D = Frame.ImageDesc;
    if (D.Left != 0 || D.Top != 0 || size_t(D.Width) != Width || size_t(D.Height) != Height)
        std::memset(Rgb.data(), 0, Rgb.size()); // black where the frame does not reach
    for (int Y = 0; Load && Y < D.Height; ++Y) {
        const GifByteType* Row = Frame.RasterBits + size_t(Y) * D.Width;
        unsigned char* Out = Rgb.data() + ((size_t(D.Top) + Y) * Width + D.Left) * 3;
        for (int X = 0; X < D.Width; ++X) {
            const GifColorType& C = Map->Colors[Row[X] < Map->ColorCount ? Row[X] : 0];
            Out[3 * X] = C.Red;
            Out[3 * X + 1] = C.Green;
            Out[3 * X + 2] = C.Blue;
        }
    }
    const std::chrono::duration<double, std::milli> Took = std::chrono::steady_clock::now() - Start;
    DGifCloseFile(Gif, &Error);
    std::printf("%.3f\n", Took.count());
    return 0;
}
