// Picture files: BMP and JPEG load and save of a 6000 x 4000 picture, and the scaled fast decode the
// browser uses for thumbnails.
//
//   bench_picture_files [benchmark options]        Google Benchmark on a generated photo-like picture
//   bench_picture_files --time OP INPUT [OUTPUT] [REPEAT]
//                                                   best wall time of REPEAT runs in milliseconds, for
//                                                   scripts/bench-picture-files.sh; OP is one of
//                                                   bmp-load, bmp-save, jpeg-load, jpeg-save, jpeg-thumb,
//                                                   raw-write (INPUT's bytes written to OUTPUT and made
//                                                   durable as a save makes them: fsync of the file and
//                                                   its folder), raw-write-cached (the same without the
//                                                   fsyncs)
#include "BenchMain.h"
#include "BenchPictures.h"
#include "image/XBitmap.h"
#include "platform/Jpeg.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

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
    TBitmap Bmp;
    int W = 0, H = 0;
    TJPEGImage::DecodeStream(Stream, Bmp, [](int, int) { return jsEighth; }, W, H);
    benchmark::DoNotOptimize(Bmp.Bits());
}

// Writes Bytes to Output in one go with plain system calls: the least any save of them costs. Durable
// also syncs the file and its folder, as a save does before it reports success.
void RawWrite(const std::vector<char>& Bytes, const std::string& Output, bool Durable)
{
    const int fd = ::open(Output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error(Output + ": " + std::strerror(errno));
    size_t done = 0;
    while (done < Bytes.size()) {
        const ssize_t n = ::write(fd, Bytes.data() + done, Bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            throw std::runtime_error(Output + ": " + std::strerror(errno));
        }
        done += size_t(n);
    }
    if (Durable)
        ::fsync(fd);
    ::close(fd);
    if (Durable) {
        const std::string dir = std::filesystem::path(Output).parent_path().string();
        const int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
}

std::vector<char> ReadWholeFile(const std::string& Input)
{
    std::ifstream in(Input, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + Input);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

    const bool Saves = Op == "bmp-save" || Op == "jpeg-save" || Op == "raw-write" || Op == "raw-write-cached";
    TXBitmap Source; // the picture a save writes
    if (Op == "bmp-save" || Op == "jpeg-save")
        Source.LoadPictureFromFile(Input, false);
    std::vector<char> Bytes; // the file a raw write writes
    if (Op == "raw-write" || Op == "raw-write-cached")
        Bytes = ReadWholeFile(Input);
    const std::map<std::string, std::function<void()>> Ops = {
        {"bmp-load", [&] { LoadPicture(Input); }},
        {"jpeg-load", [&] { LoadPicture(Input); }},
        {"jpeg-thumb", [&] { LoadThumbnail(Input); }},
        {"bmp-save", [&] { Source.SavePictureToFile(Output, true); }},
        {"jpeg-save", [&] { Source.SavePictureToFile(Output, false); }},
        {"raw-write", [&] { RawWrite(Bytes, Output, true); }},
        {"raw-write-cached", [&] { RawWrite(Bytes, Output, false); }},
    };
    return TimeNamedOperation(Ops, Op, Saves && Output.empty(), Repeat);
}

} // namespace

int main(int Argc, char** Argv)
{
    return BenchMain(Argc, Argv, TimeOperation);
}
