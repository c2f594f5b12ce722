// The browser's picture database: the first scan of a folder of JPEG photos (every thumbnail made and
// the cache file written) and opening the same folder again from its cache file.
//
//   bench_picture_db [benchmark options]         Google Benchmark on a generated folder of 48 photos
//   bench_picture_db --time scan FOLDER [REPEAT] [THREADS]
//   bench_picture_db --time reopen FOLDER [REPEAT] [THREADS]
//                                                best wall time of REPEAT runs in milliseconds, for
//                                                scripts/bench-picture-db.sh; scan deletes the cache
//                                                file before each run, reopen makes it once first.
//                                                THREADS sets the worker-thread pool (default: one per
//                                                core).
#include "WidgetBenchMain.h"
#include "browser/PicDB.h"
#include "platform/Jpeg.h"

#include <QGuiApplication>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Opens Folder in a database the size of the browser's cell and leaves it again, which writes the
// cache file when anything changed. Returns the number of pictures.
int OpenAndClose(const std::string& Folder)
{
    TPictureDB DB(110, 130, 8, clHighlight, clBlack, clWhite);
    DB.SetFileTypes("bmp,jpg,jpeg,gif");
    DB.SetDirectory(Folder);
    const int N = DB.Count();
    DB.Close(false);
    return N;
}

void RemoveCache(const std::string& Folder)
{
    std::filesystem::remove(std::filesystem::path(Folder) / PicBrowserFileName);
}

// A folder of photo-like JPEG files, each with content of its own.
struct TPhotoFolder {
    std::filesystem::path Dir;
    TPhotoFolder()
    {
        Dir = std::filesystem::temp_directory_path() / ("canvello-picdb-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(Dir);
        TBitmap Bmp(1600, 1200, pf24bit);
        for (int I = 0; I < 48; ++I) {
            uint32_t Seed = 977u * uint32_t(I + 1);
            for (int Y = 0; Y < Bmp.Height(); ++Y) {
                TRGBTriple* Row = Bmp.Row24(Y);
                for (int X = 0; X < Bmp.Width(); ++X) {
                    Seed = Seed * 1664525u + 1013904223u;
                    const int Noise = int(Seed >> 28) - 8;
                    const auto C = [Noise](int V) { return uint8_t(std::clamp(V + Noise, 0, 255)); };
                    Row[X] = {C((X + I * 40) % 256), C((Y + I * 25) % 256), C(((X + Y) / 8 + I * 60) % 256)};
                }
            }
            TJPEGImage Jpeg;
            Jpeg.Assign(Bmp);
            Jpeg.SaveToFile((Dir / ("photo" + std::to_string(I) + ".jpg")).string());
        }
    }
    ~TPhotoFolder() { std::filesystem::remove_all(Dir); }
    std::string Path() const { return Dir.string() + "/"; }
};

TPhotoFolder& Photos()
{
    static TPhotoFolder F;
    return F;
}

void BM_FirstScan(benchmark::State& State)
{
    const std::string Folder = Photos().Path();
    for (auto _ : State) {
        State.PauseTiming();
        RemoveCache(Folder);
        State.ResumeTiming();
        benchmark::DoNotOptimize(OpenAndClose(Folder));
    }
}

void BM_ReopenFromCache(benchmark::State& State)
{
    const std::string Folder = Photos().Path();
    RemoveCache(Folder);
    OpenAndClose(Folder);
    for (auto _ : State)
        benchmark::DoNotOptimize(OpenAndClose(Folder));
}

BENCHMARK(BM_FirstScan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReopenFromCache)->Unit(benchmark::kMillisecond)->UseRealTime();

int TimeOperation(int Argc, char** Argv)
{
    if (Argc < 4) {
        std::fprintf(stderr, "usage: %s --time scan|reopen FOLDER [REPEAT] [THREADS]\n", Argv[0]);
        return 2;
    }
    const std::string Op = Argv[2];
    const std::string Folder = IncludeTrailingPathDelimiter(Argv[3]);
    const int Repeat = RepeatArgument(Argc, Argv, 4);
    if (Argc > 5)
        QThreadPool::globalInstance()->setMaxThreadCount(std::max(1, std::atoi(Argv[5])));
    int Count = 0;
    double Ms = 0;
    if (Op == "scan") {
        // The cache file goes before each run, outside the time.
        Ms = BestMilliseconds(Repeat, [&] { RemoveCache(Folder); }, [&] { Count = OpenAndClose(Folder); });
    } else if (Op == "reopen") {
        RemoveCache(Folder);
        OpenAndClose(Folder);
        Ms = BestMilliseconds(Repeat, [&] { Count = OpenAndClose(Folder); });
    } else {
        std::fprintf(stderr, "unknown operation: %s\n", Op.c_str());
        return 2;
    }
    std::fprintf(stderr, "%d pictures\n", Count);
    std::printf("%.3f\n", Ms);
    return 0;
}

} // namespace

int main(int Argc, char** Argv)
{
    // The cell's text metrics need a GUI application; no display is used.
    return WidgetBenchMain<QGuiApplication>(Argc, Argv, TimeOperation);
}
