// Picture files: BMP and JPEG load and save of a 6000 x 4000 picture, and the scaled fast decode the
// browser uses for thumbnails.
//
//   bench_picture_files [benchmark options]        Google Benchmark on a generated photo-like picture
//   bench_picture_files --time OP INPUT [OUTPUT] [REPEAT]
//                                                   best wall time of REPEAT runs in milliseconds, for
//                                                   scripts/bench-picture-files.sh; OP is one of
//                                                   bmp-load, bmp-save, jpeg-load, jpeg-save, jpeg-thumb
#include "BenchMain.h"
#include "BenchPictures.h"
#include "image/XBitmap.h"
#include "platform/Jpeg.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// The operations timed, each a fresh picture object as the program uses them.
void LoadPicture(const std::string& Input)
{
    TXBitmap Bmp;
    Bmp.LoadPictureFromFile(Input, false);
    benchmark::DoNotOptimize(Bmp.Bits());
}

void LoadThumbnail(const std::string& Input)
{
    TFileStream Stream(Input, fmOpenRead | fmShareDenyWrite);
    TJPEGImage Jpeg;
    Jpeg.LoadFromStream(Stream);
    Jpeg.Scale = jsEighth;
    Jpeg.Performance = jpBestSpeed;
    TBitmap Bmp;
    Jpeg.AssignTo(Bmp);
    benchmark::DoNotOptimize(Bmp.Bits());
}

struct TFiles {
    std::filesystem::path Dir;
    std::string Bmp, Jpeg;
    TXBitmap Picture;
    TFiles()
    {
        Dir = std::filesystem::temp_directory_path() / ("canvello-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(Dir);
        Bmp = (Dir / "photo.bmp").string();
        Jpeg = (Dir / "photo.jpg").string();
        Picture.SetSize(kWidth, kHeight);
        PaintPhotoLike(Picture);
        Picture.SavePictureToFile(Bmp, false);
        Picture.SavePictureToFile(Jpeg, false);
    }
    ~TFiles() { std::filesystem::remove_all(Dir); }
};

TFiles& Files()
{
    static TFiles F;
    return F;
}

// Each benchmark names its input before timing, so that making the files is not timed.
void BM_Load(benchmark::State& State, std::string TFiles::*File)
{
    const std::string Input = Files().*File;
    for (auto _ : State)
        LoadPicture(Input);
}

void BM_Save(benchmark::State& State, const char* Name)
{
    const std::string Out = (Files().Dir / Name).string();
    for (auto _ : State)
        Files().Picture.SavePictureToFile(Out, false);
}

void BM_JpegThumbnailEighthFast(benchmark::State& State)
{
    const std::string Input = Files().Jpeg;
    for (auto _ : State)
        LoadThumbnail(Input);
}

BENCHMARK_CAPTURE(BM_Load, Bmp, &TFiles::Bmp)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Save, Bmp, "out.bmp")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, Jpeg, &TFiles::Jpeg)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Save, Jpeg, "out.jpg")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegThumbnailEighthFast)->Unit(benchmark::kMillisecond);

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
    if (Op == "bmp-save" || Op == "jpeg-save")
        Source.LoadPictureFromFile(Input, false);
    const std::map<std::string, std::function<void()>> Ops = {
        {"bmp-load", [&] { LoadPicture(Input); }},
        {"jpeg-load", [&] { LoadPicture(Input); }},
        {"jpeg-thumb", [&] { LoadThumbnail(Input); }},
        {"bmp-save", [&] { Source.SavePictureToFile(Output, true); }},
        {"jpeg-save", [&] { Source.SavePictureToFile(Output, false); }},
    };
    return TimeNamedOperation(Ops, Op, (Op == "bmp-save" || Op == "jpeg-save") && Output.empty(), Repeat);
}

} // namespace

int main(int Argc, char** Argv)
{
    return BenchMain(Argc, Argv, TimeOperation);
}
