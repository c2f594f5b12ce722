// The main window's commands end to end on an offscreen frame:
// - a batch of 1,000 renames from the Browse menu ("Rename pictures" with a template), each file action
//   delivered to every window (two browsers, two picture windows); no reference tool does this work;
// - opening a 6000 x 4000 JPEG the way the Open command does (OpenPictureFile) up to the window shown
//   and painted;
// - saving that window's picture as JPEG and as GIF through the window's own save.
//
//   bench_commands [benchmark options]           Google Benchmark on generated files
//   bench_commands --time OP INPUT [OUTPUT] [REPEAT]
//                                                best wall time of REPEAT runs (default 5) in
//                                                milliseconds, for scripts/bench-commands.sh; OP is
//                                                open (INPUT opened to a shown window), jpeg-save or
//                                                gif-save (INPUT opened before the time, saved to
//                                                OUTPUT), renames (INPUT: a folder to make 1,000
//                                                pictures in)
#include "WidgetBenchMain.h"

#include "BenchPictures.h"
#include "browser/CVBrwsrChildWn.h"
#include "controls/AdvSelectGrid.h"
#include "controls/RFPicPopupMenu.h"
#include "image/XBitmap.h"
#include "shell/CVMain.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QThread>

#include "dialogs/StandardDlg.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kRenames = 1000;

// Runs the event loop until Done holds (a folder loading on worker threads); false after 60 s.
bool WaitUntil(const std::function<bool()>& Done)
{
    QElapsedTimer clock;
    clock.start();
    while (!Done()) {
        if (clock.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

// A frame shown offscreen, with the user-interface services answering every question.
struct TFrame {
    TFakeUIServices UI;
    std::unique_ptr<TCanvelloMain> Main;
    explicit TFrame(const fs::path& Work)
    {
        SetUIServices(&UI);
        Main = std::make_unique<TCanvelloMain>(nullptr, (Work / "Canvello.rfp").string());
        Main->resize(1280, 800);
        Main->show();
        QCoreApplication::processEvents();
    }
    ~TFrame()
    {
        Main.reset();
        SetUIServices(nullptr);
    }
    TCVBrowserChildWn* Browse(const std::string& Folder)
    {
        if (!Main->OpenBrowser(Folder, false))
            throw std::runtime_error("cannot browse " + Folder);
        auto* w = dynamic_cast<TCVBrowserChildWn*>(Main->MdiArea()->subWindowList().back());
        if (!w || !WaitUntil([&] { return w->Directory() == Folder && !w->Loading(); }))
            throw std::runtime_error("the browser did not load " + Folder);
        return w;
    }
    // Opens FileName as the Open command does, until its window is shown and the events its
    // showing posted have run, the paint of its picture among them.
    TCVPicChildWin* Open(const std::string& FileName)
    {
        if (!Main->OpenPictureFile(FileName))
            throw std::runtime_error("cannot open " + FileName + (UI.Messages.empty() ? "" : ": " + UI.Messages.back().Text));
        TCVPicChildWin* pic = Main->ActivePicChild();
        if (!pic || !pic->isVisible())
            throw std::runtime_error("no window shown for " + FileName);
        TPaintSeen painted;
        pic->PictureScrollBox().CanvasControl()->installEventFilter(&painted);
        // A widget's repaint() does not paint a child whose showing is still pending: only the
        // event loop does (no sleep between its turns here, so the time holds no idle wait).
        QElapsedTimer clock;
        clock.start();
        while (!painted.Seen) {
            if (clock.elapsed() > 10000)
                throw std::runtime_error("the picture of " + FileName + " was not painted");
            QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        return pic;
    }
    void CloseAll()
    {
        for (QMdiSubWindow* w : Main->MdiArea()->subWindowList())
            delete w;
        QCoreApplication::processEvents();
        SettleRecentFiles();
    }
    // An open starts the recent-files thumbnail of its file on a thread of its own; the runs timed
    // after it wait until that is done, so no run shares the machine with an earlier one's work.
    void SettleRecentFiles()
    {
        if (!Main->RecentFilesPopupMenu()->WaitForPreviews(30000))
            throw std::runtime_error("the recent-files thumbnails did not finish");
        QCoreApplication::processEvents();
    }
};

// The 1,000 pictures and the windows told of every rename: a browser on them, a browser on another
// folder and two picture windows.
struct TRenameSetup {
    std::string Folder, Other;
    TFrame Frame;
    TCVBrowserChildWn* Browser = nullptr;
    int Round = 0;
    explicit TRenameSetup(const fs::path& Work) : Frame(Work)
    {
        Folder = (Work / "pics").string() + "/";
        Other = (Work / "other").string() + "/";
        fs::create_directories(Folder);
        fs::create_directories(Other);
        TXBitmap bmp;
        bmp.SetSize(32, 24);
        for (int i = 0; i < kRenames; ++i)
            bmp.SavePictureToFile(Folder + "p" + std::to_string(10000 + i) + ".bmp", false);
        bmp.SavePictureToFile(Other + "o.bmp", false);
        Frame.Main->NewPicture(200, 200, clWhite);
        Frame.Main->NewPicture(200, 200, clWhite);
        Frame.Browse(Other);
        Browser = Frame.Browse(Folder);
        Frame.Main->MdiArea()->setActiveSubWindow(Browser);
    }
    // Rename pictures on every file with a template of its own each round; the user's OK included.
    void RenameAll()
    {
        std::string prefix = std::to_string(++Round);
        prefix.insert(0, 1, 'r');
        prefix += '_';
        Frame.UI.OnDialog = [&prefix](QDialog& D) {
            auto* edit = D.findChild<QLineEdit*>();
            auto* dialog = dynamic_cast<TStandardDialog*>(&D);
            if (!edit || !dialog)
                return false;
            edit->setText(QString::fromStdString(prefix + "%d"));
            dialog->OKButton->click();
            return D.result() == QDialog::Accepted;
        };
        Browser->SelectAll();
        Frame.Main->Action("ActBrwsrRenameImages")->trigger();
        if (Browser->Database().GetFileName(0).rfind(prefix, 0) != 0 || !Frame.UI.Messages.empty())
            throw std::runtime_error("the renames were not done");
    }
};

struct TWork {
    fs::path Dir;
    std::string Jpeg;
    TWork()
    {
        Dir = fs::temp_directory_path() / ("canvello-commands-bench-" + std::to_string(getpid()));
        fs::create_directories(Dir);
        Jpeg = (Dir / "photo.jpg").string();
        TXBitmap picture;
        picture.SetSize(6000, 4000);
        PaintPhotoLike(picture);
        picture.SavePictureToFile(Jpeg, false);
    }
    ~TWork() { fs::remove_all(Dir); }
};

TWork& Work()
{
    static TWork W;
    return W;
}

void BM_RenameBatch1000ToEveryWindow(benchmark::State& State)
{
    TRenameSetup setup(Work().Dir / "renames");
    for (auto _ : State)
        setup.RenameAll();
    State.SetItemsProcessed(State.iterations() * kRenames);
}

void BM_OpenJpeg6000x4000ToShownWindow(benchmark::State& State)
{
    TFrame frame(Work().Dir);
    for (auto _ : State) {
        frame.Open(Work().Jpeg);
        State.PauseTiming();
        frame.CloseAll();
        State.ResumeTiming();
    }
}

void BM_SaveFromWindow(benchmark::State& State, const char* Name)
{
    TFrame frame(Work().Dir);
    TCVPicChildWin* pic = frame.Open(Work().Jpeg);
    const std::string out = (Work().Dir / Name).string();
    for (auto _ : State) {
        std::string why;
        if (!pic->SaveToFile(out, &why))
            State.SkipWithError(why.c_str());
    }
}

BENCHMARK(BM_RenameBatch1000ToEveryWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_OpenJpeg6000x4000ToShownWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_SaveFromWindow, Jpeg, "out.jpg")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_SaveFromWindow, Gif, "out.gif")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// One operation timed REPEAT times in this process, the best printed; what it needs is made first.
int TimeOperation(int Argc, char** Argv)
{
    if (Argc < 4) {
        std::fprintf(stderr, "usage: %s --time OP INPUT [OUTPUT] [REPEAT]\n", Argv[0]);
        return 2;
    }
    const std::string op = Argv[2], input = Argv[3], output = Argc > 4 ? Argv[4] : "";
    const int repeat = RepeatArgument(Argc, Argv, 5);
    double best = 0;
    if (op == "renames") {
        TRenameSetup setup(input);
        best = BestMilliseconds(repeat, [&] { setup.RenameAll(); });
    } else if (op == "open") {
        TFrame frame(fs::temp_directory_path());
        best = BestMilliseconds(repeat, [&] { frame.CloseAll(); }, [&] { frame.Open(input); });
    } else if ((op == "jpeg-save" || op == "gif-save") && !output.empty()) {
        TFrame frame(fs::temp_directory_path());
        TCVPicChildWin* pic = frame.Open(input);
        frame.SettleRecentFiles();
        best = BestMilliseconds(repeat, [&] {
            std::string why;
            if (!pic->SaveToFile(output, &why))
                throw std::runtime_error(why);
        });
    } else {
        std::fprintf(stderr, "unknown operation or missing output: %s\n", op.c_str());
        return 2;
    }
    std::printf("%.3f\n", best);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return WidgetBenchMain(argc, argv, TimeOperation);
}
