// GIF codec: decoding a large 8-bit GIF, and saving a large 24-bit picture as GIF (octree palette,
// Floyd-Steinberg dithering, LZW).
//
//   bench_gif_codec [benchmark options]          Google Benchmark on generated pictures
//   bench_gif_codec --time OP INPUT [OUTPUT] [REPEAT]
//                                                best wall time of REPEAT runs in milliseconds, for
//                                                scripts/bench-gif.sh; OP is one of
//                                                gif-decode (the codec alone: whole file into frames),
//                                                gif-load (the picture as a picture window opens it:
//                                                decoded, rendered and expanded to 24 bits),
//                                                gif-save (a BMP picture saved as OUTPUT, a GIF)
#include "BenchMain.h"
#include "gif/GIFImage.h"
#include "image/XBitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>

namespace {

// Soft colour waves with a little noise: many colours, reduces and compresses like a photo.
void PaintWaves(TBitmap& Bmp)
{
    uint32_t Seed = 4321;
    for (int Y = 0; Y < Bmp.Height(); ++Y) {
        TRGBTriple* Row = Bmp.Row24(Y);
        for (int X = 0; X < Bmp.Width(); ++X) {
            Seed = Seed * 1664525u + 1013904223u;
            const double Noise = static_cast<double>(Seed >> 28) - 8.0;
            auto Wave = [Noise](double Phase) {
                return static_cast<uint8_t>(std::clamp(128.0 + 110.0 * std::sin(Phase) + Noise, 0.0, 255.0));
            };
            Row[X] = {Wave(X * 0.0021 + Y * 0.0007), Wave(Y * 0.0031 + 1.0), Wave((X + Y) * 0.0013 + 2.0)};
        }
    }
}

void DecodeGIF(const std::string& Input)
{
    TFileStream Stream(Input, fmOpenRead | fmShareDenyWrite);
    TGIFImage GIF;
    GIF.LoadFromStream(Stream);
    benchmark::DoNotOptimize(GIF.Images.GetFrame(0)->Data.data());
}

void LoadPicture(const std::string& Input)
{
    TXBitmap Bmp;
    Bmp.LoadPictureFromFile(Input, false);
    Bmp.SetPixelFormat(pf24bit);
    benchmark::DoNotOptimize(Bmp.Bits());
}

struct TFiles {
    std::filesystem::path Dir;
    std::string Gif;
    TXBitmap Picture; // 6000 x 4000, 24-bit
    TFiles()
    {
        Dir = std::filesystem::temp_directory_path() / ("canvello-gif-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(Dir);
        Gif = (Dir / "photo.gif").string();
        TXBitmap Decodable;
        Decodable.SetSize(4000, 3000);
        PaintWaves(Decodable);
        Decodable.SavePictureToFile(Gif, false);
        Picture.SetSize(6000, 4000);
        PaintWaves(Picture);
    }
    ~TFiles() { std::filesystem::remove_all(Dir); }
};

TFiles& Files()
{
    static TFiles F;
    return F;
}

// Each benchmark takes its input before timing, so that making the files is not timed.
void BM_DecodeGIF4000x3000(benchmark::State& State)
{
    const std::string Input = Files().Gif;
    for (auto _ : State)
        DecodeGIF(Input);
}

void BM_LoadGIFPicture4000x3000(benchmark::State& State)
{
    const std::string Input = Files().Gif;
    for (auto _ : State)
        LoadPicture(Input);
}

void BM_SaveGIF6000x4000(benchmark::State& State)
{
    const std::string Out = (Files().Dir / "out.gif").string();
    TXBitmap& Picture = Files().Picture;
    for (auto _ : State)
        Picture.SavePictureToFile(Out, false);
}

BENCHMARK(BM_DecodeGIF4000x3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadGIFPicture4000x3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveGIF6000x4000)->Unit(benchmark::kMillisecond)->Iterations(2);

// ---- Command-line timing ---------------------------------------------------------------------------
int TimeOperation(int Argc, char** Argv)
{
    if (Argc < 4) {
        std::fprintf(stderr, "usage: %s --time OP INPUT [OUTPUT] [REPEAT]\n", Argv[0]);
        return 2;
    }
    const std::string Op = Argv[2], Input = Argv[3];
    const std::string Output = Argc > 4 ? Argv[4] : "";
    const int Repeat = RepeatArgument(Argc, Argv, 5);

    TXBitmap Source; // the picture a save writes
    if (Op == "gif-save")
        Source.LoadPictureFromFile(Input, false);
    const std::map<std::string, std::function<void()>> Ops = {
        {"gif-decode", [&] { DecodeGIF(Input); }},
        {"gif-load", [&] { LoadPicture(Input); }},
        {"gif-save", [&] { Source.SavePictureToFile(Output, false); }},
    };
    return TimeNamedOperation(Ops, Op, Op == "gif-save" && Output.empty(), Repeat);
}

} // namespace

int main(int Argc, char** Argv)
{
    return BenchMain(Argc, Argv, TimeOperation);
}
