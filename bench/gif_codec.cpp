// GIF codec: decoding a large 8-bit GIF, and saving a large 24-bit picture as GIF (octree palette,
// Floyd-Steinberg dithering, LZW).
//
//   bench_gif_codec [benchmark options]          Google Benchmark on generated pictures
//   bench_gif_codec --time OP INPUT [OUTPUT] [REPEAT]
//                                                best wall time of REPEAT runs in milliseconds, for
//                                                scripts/bench-gif.sh; OP is one of
//                                                gif-decode (the codec alone: whole file into frames),
//                                                gif-load (the picture: decode and render),
//                                                gif-save (a BMP picture saved as OUTPUT, a GIF)
#include "gif/GIFImage.h"
#include "image/XBitmap.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>

namespace {

// Smooth gradients with a little noise: reduces and compresses like a photo.
void PaintPhotoLike(TBitmap& Bmp)
{
    uint32_t Seed = 4321;
    for (int Y = 0; Y < Bmp.Height(); ++Y) {
        TRGBTriple* Row = Bmp.Row24(Y);
        for (int X = 0; X < Bmp.Width(); ++X) {
            Seed = Seed * 1664525u + 1013904223u;
            const int Noise = static_cast<int>(Seed >> 28) - 8;
            auto Channel = [Noise](int V) { return static_cast<uint8_t>(std::clamp(V + Noise, 0, 255)); };
            Row[X] = {Channel((X * 255) / Bmp.Width()), Channel(((X + Y) * 127) / (Bmp.Width() + Bmp.Height()) + 64),
                      Channel((Y * 255) / Bmp.Height())};
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
        PaintPhotoLike(Decodable);
        Decodable.SavePictureToFile(Gif, false);
        Picture.SetSize(6000, 4000);
        PaintPhotoLike(Picture);
    }
    ~TFiles() { std::filesystem::remove_all(Dir); }
};

TFiles& Files()
{
    static TFiles F;
    return F;
}

void BM_DecodeGIF4000x3000(benchmark::State& State)
{
    for (auto _ : State)
        DecodeGIF(Files().Gif);
}

void BM_LoadGIFPicture4000x3000(benchmark::State& State)
{
    for (auto _ : State)
        LoadPicture(Files().Gif);
}

void BM_SaveGIF6000x4000(benchmark::State& State)
{
    const std::string Out = (Files().Dir / "out.gif").string();
    for (auto _ : State)
        Files().Picture.SavePictureToFile(Out, false);
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
    const int Repeat = Argc > 5 ? std::max(1, std::atoi(Argv[5])) : 5;

    TXBitmap Source; // the picture a save writes
    if (Op == "gif-save")
        Source.LoadPictureFromFile(Input, false);
    const std::map<std::string, std::function<void()>> Ops = {
        {"gif-decode", [&] { DecodeGIF(Input); }},
        {"gif-load", [&] { LoadPicture(Input); }},
        {"gif-save", [&] { Source.SavePictureToFile(Output, false); }},
    };
    const auto It = Ops.find(Op);
    if (It == Ops.end() || (Op == "gif-save" && Output.empty())) {
        std::fprintf(stderr, "unknown operation or missing output: %s\n", Op.c_str());
        return 2;
    }
    double Best = 1e300;
    for (int I = 0; I < Repeat; ++I) {
        const auto Start = std::chrono::steady_clock::now();
        It->second();
        const std::chrono::duration<double, std::milli> Took = std::chrono::steady_clock::now() - Start;
        Best = std::min(Best, Took.count());
    }
    std::printf("%.1f\n", Best);
    return 0;
}

} // namespace

int main(int Argc, char** Argv)
{
    if (Argc > 1 && std::strcmp(Argv[1], "--time") == 0) {
        try {
            return TimeOperation(Argc, Argv);
        } catch (const std::exception& E) {
            std::fprintf(stderr, "%s\n", E.what());
            return 1;
        }
    }
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
