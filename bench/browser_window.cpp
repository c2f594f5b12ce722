// The browser window on a cached folder of 10,000 pictures: from choosing the folder to its first
// screen of thumbnails painted (the folder listed, every file's date compared with the cache, the
// cache read and laid out, the visible cells decoded and drawn). And on an uncached folder of photos:
// the whole load, with the longest time the window's event loop went without turning meanwhile (a
// 1 ms timer counts the turns). No reference tool does this work, so the times stand alone; the
// thumbnailing itself is set beside vipsthumbnail by bench_picture_db.
//
//   bench_browser_window [benchmark options]
#include "WidgetBenchMain.h"

#include "browser/CVBrwsrChildWn.h"
#include "controls/AdvSelectGrid.h"
#include "platform/Jpeg.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThreadPool>
#include <QTimer>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr int kPictures = 10000;

// A temporary folder of pictures and an empty one beside it, removed at the end.
struct TBenchFolders {
    std::filesystem::path Root;
    std::string Folder, Empty;
    explicit TBenchFolders(const std::string& Name)
    {
        Root = std::filesystem::temp_directory_path() / ("canvello-browser-" + Name + "-" + std::to_string(getpid()));
        Folder = (Root / "pics").string() + "/";
        Empty = (Root / "empty").string() + "/";
        std::filesystem::create_directories(Folder);
        std::filesystem::create_directories(Empty);
    }
    ~TBenchFolders() { std::filesystem::remove_all(Root); }
};

// Pictures of 200 x 150 (thumbnails of 94 x 70, as photos give) and their cache file, made once.
struct TCachedFolder : TBenchFolders {
    TCachedFolder() : TBenchFolders("cached")
    {
        TBitmap Bmp(200, 150, pf24bit);
        for (int I = 0; I < kPictures; ++I) {
            for (int Y = 0; Y < Bmp.Height(); ++Y) {
                TRGBTriple* Row = Bmp.Row24(Y);
                for (int X = 0; X < Bmp.Width(); ++X)
                    Row[X] = {uint8_t(X + I), uint8_t(Y * 2 + I * 7), uint8_t((X ^ Y) + I * 13)};
            }
            TJPEGImage Jpeg;
            Jpeg.Assign(Bmp);
            Jpeg.SaveToFile(Folder + "p" + std::to_string(100000 + I) + ".jpg");
        }
        TBrowserPictureDB DB(110, 130, 8, clHighlight, clBlack, clWhite);
        DB.SetFileTypes(SBrowserFileTypes);
        DB.BeginLoad(Folder);
        DB.FinishLoad();
        DB.CloseFolder(false); // writes the cache
    }
};

// Shows the window and lets its folder tree reach the start folder, which it then loads.
void ShowSettled(TCVBrowserChildWn& Win, const std::string& Start)
{
    Win.resize(1000, 700);
    Win.show();
    while (Win.Directory() != Start || Win.Loading())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BM_CachedFolderFirstScreen(benchmark::State& State)
{
    static TCachedFolder Cached;
    TCVBrowserChildWn Win(nullptr, Cached.Empty, true, false);
    ShowSettled(Win, Cached.Empty);
    for (auto _ : State) {
        Win.ChangeDirectory(Cached.Folder);
        Win.ThumbnailGrid()->viewport()->repaint();
        State.PauseTiming();
        if (Win.PictureCount() != kPictures || Win.Loading()) {
            State.SkipWithError("the cache was not used");
            break;
        }
        Win.ChangeDirectory(Cached.Empty);
        State.ResumeTiming();
    }
}

BENCHMARK(BM_CachedFolderFirstScreen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

constexpr int kPhotos = 200;

// Photo-sized JPEG files (1600 x 1200) with content of their own.
struct TPhotoFolder : TBenchFolders {
    TPhotoFolder() : TBenchFolders("photos")
    {
        TBitmap Bmp(1600, 1200, pf24bit);
        for (int I = 0; I < kPhotos; ++I) {
            uint32_t Seed = 977u * uint32_t(I + 1);
            for (int Y = 0; Y < Bmp.Height(); ++Y) {
                TRGBTriple* Row = Bmp.Row24(Y);
                for (int X = 0; X < Bmp.Width(); ++X) {
                    Seed = Seed * 1664525u + 1013904223u;
                    const uint8_t Noise = uint8_t(Seed >> 28);
                    Row[X] = {uint8_t((X + I * 40) ^ Noise), uint8_t(Y + I * 25 + Noise), uint8_t((X + Y) / 8 + I * 60)};
                }
            }
            TJPEGImage Jpeg;
            Jpeg.Assign(Bmp);
            Jpeg.SaveToFile(Folder + "photo" + std::to_string(1000 + I) + ".jpg");
        }
    }
};

// Argument: the number of threads making thumbnails.
void BM_UncachedFolderLoad(benchmark::State& State)
{
    static TPhotoFolder Photos;
    TBrowserPictureDB::ThumbnailPool()->setMaxThreadCount(static_cast<int>(State.range(0)));
    TCVBrowserChildWn Win(nullptr, Photos.Empty, true, false);
    ShowSettled(Win, Photos.Empty);
    QElapsedTimer SinceTurn;
    qint64 LongestStall = 0;
    QTimer Ticker;
    Ticker.setInterval(1);
    QObject::connect(&Ticker, &QTimer::timeout, [&] {
        LongestStall = std::max(LongestStall, SinceTurn.restart());
    });
    for (auto _ : State) {
        State.PauseTiming();
        std::filesystem::remove(Photos.Folder + PicBrowserFileName);
        State.ResumeTiming();
        SinceTurn.start();
        Ticker.start();
        Win.ChangeDirectory(Photos.Folder);
        while (Win.Loading())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        Ticker.stop();
        State.PauseTiming();
        if (Win.PictureCount() != kPhotos) {
            State.SkipWithError("pictures missing");
            break;
        }
        Win.ChangeDirectory(Photos.Empty);
        State.ResumeTiming();
    }
    State.counters["pictures/s"] = benchmark::Counter(double(kPhotos) * double(State.iterations()), benchmark::Counter::kIsRate);
    State.counters["longest_stall_ms"] = double(LongestStall);
    TBrowserPictureDB::ThumbnailPool()->setMaxThreadCount(QThread::idealThreadCount());
}

BENCHMARK(BM_UncachedFolderLoad)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int Argc, char** Argv)
{
    return WidgetBenchMain(Argc, Argv);
}
