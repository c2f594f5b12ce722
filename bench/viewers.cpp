// The two viewers' hot paths: the picture viewer drawing its piece of a 6000 x 4000 picture (with a
// selection outline and the frame), beside a plain 1:1 copy of the same rectangle by QImage::copy;
// and the clipboard viewer rebuilding its ten tabs from a clipboard of ten 12-megapixel pictures,
// beside the clipboard's own reading of those ten pictures (the part no viewer can avoid); and the
// main window's Copy command on a whole picture with the clipboard viewer shown, until the window has
// taken the clipboard's change and the viewer has painted (no reference tool does this work).
#include "image/PicSelection.h"
#include "shell/CVClipbrd.h"
#include "shell/CbViewer.h"
#include "shell/CVMain.h"
#include "shell/UIServices.h"
#include "globals/CVToolVars.h"
#include "picwin/CVPicChildWn.h"
#include "shell/DockingPanel.h"
#include "shell/Viewer.h"

#include "WidgetBenchMain.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace {

struct TViewerSetup {
    TDockingPanel Site;
    std::unique_ptr<TBitmap> Picture = std::make_unique<TBitmap>(6000, 4000, pf24bit);
    std::unique_ptr<TPictureSelection> Selection;
    std::unique_ptr<TViewerForm> Viewer;

    TViewerSetup()
    {
        for (int y = 0; y < Picture->Height(); ++y) {
            TRGBTriple* row = Picture->Row24(y);
            for (int x = 0; x < Picture->Width(); ++x)
                row[x] = TRGBTriple{uint8_t(x), uint8_t(y), uint8_t(x ^ y)};
        }
        TBitmap piece(400, 300, pf24bit);
        Selection = std::make_unique<TPictureSelection>(Picture.get());
        Selection->SetPicture(&piece, Point(2900, 1900), -1);
        Site.show();
        Viewer = std::make_unique<TViewerForm>(&Site, "", nullptr);
        Viewer->resize(212, 237);
        Viewer->show();
        QCoreApplication::processEvents();
        Viewer->SetPicture(Picture.get());
        Viewer->SetSelection([this] { return Selection.get(); });
        Viewer->SetDisplayFrame(true);
    }
};

TViewerSetup& ViewerSetup()
{
    static TViewerSetup setup;
    return setup;
}

void BM_ViewerRender(benchmark::State& state)
{
    TViewerSetup& s = ViewerSetup();
    int step = 0;
    for (auto _ : state) {
        // A new visible part each time, as when the picture window scrolls.
        const int x = 2800 + (step % 7) * 10, y = 1800 + (step % 5) * 10;
        ++step;
        s.Viewer->SetViewRect(Rect(x, y, x + 1200, y + 800));
        benchmark::DoNotOptimize(s.Viewer->ViewBitmap().Bits());
    }
    state.SetLabel(std::to_string(s.Viewer->ViewBitmap().Width()) + "x" +
                   std::to_string(s.Viewer->ViewBitmap().Height()) + " of 6000x4000");
}

// The same rectangle copied 1:1 by Qt, without outline or frame.
void BM_QImageCopySameRect(benchmark::State& state)
{
    TViewerSetup& s = ViewerSetup();
    const QImage picture = s.Picture->AsQImage();
    const int w = s.Viewer->ViewBitmap().Width(), h = s.Viewer->ViewBitmap().Height();
    int step = 0;
    for (auto _ : state) {
        const int x = 3400 + (step % 7) * 10 - w / 2, y = 2200 + (step % 5) * 10 - h / 2;
        ++step;
        QImage piece = picture.copy(x, y, w, h);
        benchmark::DoNotOptimize(piece.constBits());
    }
}

struct TClipboardSetup {
    TMemorySystemClipboard System;
    TCVClipboard Clipboard{System};
    TDockingPanel Site;
    std::unique_ptr<TCbViewerForm> Form;

    TClipboardSetup()
    {
        // Distinct item ids however fast the copies follow each other.
        TCVClipboardStream::TickCount = [] {
            static uint32_t t = 5000;
            return ++t;
        };
        for (int i = 0; i < 10; ++i) {
            TBitmap b(4000, 3000, pf24bit);
            for (int y = 0; y < b.Height(); ++y)
                std::fill_n(b.Row24(y), b.Width(), TRGBTriple{uint8_t(i * 20), uint8_t(y), 80});
            Clipboard.CopyBitmapNoTag(&b);
        }
        Form = std::make_unique<TCbViewerForm>(&Site, "", nullptr, &Clipboard);
    }
};

TClipboardSetup& ClipboardSetup()
{
    static TClipboardSetup setup;
    return setup;
}

// A rebuild of the ten tabs, the first one's picture read to be shown, as the clipboard's notice
// asks for it: at the first showing (nothing read yet), after one more copy (made outside the time),
// and after a change that brings no new picture (another program's change, a promote).
enum TRefreshCase : int { rcFirstShow, rcAfterCopy, rcNoNewPicture };

void BM_CbViewerRefresh(benchmark::State& state)
{
    TClipboardSetup& s = ClipboardSetup();
    const auto which = TRefreshCase(state.range(0));
    s.Form->RefreshTabs();
    TBitmap b(4000, 3000, pf24bit);
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (which == rcFirstShow)
            s.Form->TabData().Clear();
        if (which == rcAfterCopy) {
            std::fill_n(b.Row24(0), b.Width(), TRGBTriple{uint8_t(++n), 0, 0});
            s.Clipboard.CopyBitmapNoTag(&b);
        }
        state.ResumeTiming();
        s.Form->RefreshTabs();
        benchmark::DoNotOptimize(s.Form->TabData().Count());
    }
    static const char* const names[] = {"first show", "after a copy", "no new picture"};
    state.SetLabel(std::string(names[which]) + ", " + std::to_string(s.Form->TabData().Count()) + " tabs of 4000x3000");
}

// The clipboard reading all its ten pictures, each into a bitmap of its own (what a rebuild that
// read every picture would cost at least).
void BM_ClipboardReadTenItems(benchmark::State& state)
{
    TClipboardSetup& s = ClipboardSetup();
    for (auto _ : state) {
        std::vector<std::unique_ptr<TBitmap>> items;
        s.Clipboard.EnumItems([&](uint32_t, TBitmap& Bitmap, TColor, bool&) {
            items.push_back(std::make_unique<TBitmap>());
            items.back()->TakePixels(Bitmap);
        });
        benchmark::DoNotOptimize(items.data());
    }
}

// The main window over the program's clipboard, the clipboard viewer shown, one picture window.
struct TCopySetup {
    TFakeUIServices UI;
    std::filesystem::path Dir =
        std::filesystem::temp_directory_path() / ("canvello-viewers-bench-" + std::to_string(getpid()));
    std::unique_ptr<TCanvelloMain> Main;
    TPaintSeen Painted;

    TCopySetup()
    {
        std::filesystem::create_directories(Dir);
        InitCVClipboard();
        SetUIServices(&UI);
        Main = std::make_unique<TCanvelloMain>(nullptr, (Dir / "Canvello.rfp").string());
        Main->resize(1280, 800);
        Main->show();
        Main->ShowCbViewer(true);
        Main->CbViewer()->resize(400, 300 + 90);
        Main->CbViewer()->CbItemImage()->installEventFilter(&Painted);
        QCoreApplication::processEvents();
    }
    ~TCopySetup()
    {
        Main.reset();
        SetUIServices(nullptr);
        DoneCVClipboard();
        std::filesystem::remove_all(Dir);
    }
    // A new picture of W x H with a pattern on it, the only picture window.
    TCVPicChildWin* NewPicture(int W, int H)
    {
        for (QMdiSubWindow* w : Main->MdiArea()->subWindowList())
            delete w;
        if (!Main->NewPicture(W, H, clWhite))
            throw std::runtime_error("no new picture");
        TCVPicChildWin* pic = Main->ActivePicChild();
        TEffectsBitmap& picture = pic->Picture();
        for (int y = 0; y < H; ++y) {
            TRGBTriple* row = picture.Row24(y);
            for (int x = 0; x < W; ++x)
                row[x] = TRGBTriple{uint8_t(x), uint8_t(y), uint8_t(x ^ y)};
        }
        QCoreApplication::processEvents();
        return pic;
    }
    // Runs the event loop until the viewer has painted.
    void WaitForViewerPaint()
    {
        QElapsedTimer clock;
        clock.start();
        while (!Painted.Seen) {
            if (clock.elapsed() > 60000)
                throw std::runtime_error("the clipboard viewer did not paint");
            QCoreApplication::processEvents();
        }
    }
};

TCopySetup& CopySetup()
{
    static TCopySetup setup;
    return setup;
}

// Ctrl+C of a whole picture of state.range(0) x (2/3 of it) pixels with the clipboard viewer shown,
// from the command until the viewer has painted: without a selection (the picture goes as it is), or
// with all of it selected as a transparent selection (the picture goes with its transparent colour,
// which the viewer keys out; the copy also records its undo step and puts the selection back). The
// clipboard holds the earlier copies of the run, up to its ten. Run with BENCH_WARM_MB at least three
// times the picture's size in megabytes (BenchMain.h).
void BM_CopyWithCbViewerShown(benchmark::State& state)
{
    TCopySetup& setup = CopySetup();
    const int w = int(state.range(0)), h = w * 2 / 3;
    const bool transparent = state.range(1) != 0;
    CVClipboard->Clear();
    TCVPicChildWin* pic = setup.NewPicture(w, h);
    TransparentSelection = transparent;
    QAction* copy = setup.Main->Action("ActCopyPic");
    for (auto _ : state) {
        state.PauseTiming();
        if (transparent)
            pic->SelectAll();
        QCoreApplication::processEvents();
        setup.Painted.Seen = false;
        WarmFreshMemory();
        state.ResumeTiming();
        copy->trigger();
        setup.WaitForViewerPaint();
    }
    TransparentSelection = false;
    if (!setup.UI.Messages.empty())
        state.SkipWithError(setup.UI.Messages.back().Text.c_str());
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h) + (transparent ? ", transparent selection" : ", no selection") +
                   ", " + std::to_string(setup.Main->CbViewer()->TabData().Count()) + " tabs");
}

// A repaint of the clipboard viewer showing 400 x 300 of a 6000 x 4000 picture, plain or keyed (its
// transparent colour see-through), after the copy (outside the time).
void BM_CbViewerRepaint(benchmark::State& state)
{
    TCopySetup& setup = CopySetup();
    const bool keyed = state.range(0) != 0;
    CVClipboard->Clear();
    TCVPicChildWin* pic = setup.NewPicture(6000, 4000);
    CVClipboard->CopyBitmap(&pic->Picture(), keyed ? TColor(0x000000) : TColor(-1));
    QCoreApplication::processEvents();
    QWidget* image = setup.Main->CbViewer()->CbItemImage();
    const QRect visible = image->visibleRegion().boundingRect();
    for (auto _ : state)
        image->repaint(visible);
    state.SetLabel(std::to_string(visible.width()) + "x" + std::to_string(visible.height()) + " of 6000x4000, " +
                   (keyed ? "keyed" : "plain"));
}

} // namespace

BENCHMARK(BM_ViewerRender)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QImageCopySameRect)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CbViewerRefresh)->DenseRange(rcFirstShow, rcNoNewPicture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClipboardReadTenItems)->Unit(benchmark::kMillisecond);
// 1.5, 24 and 96 megapixels.
BENCHMARK(BM_CopyWithCbViewerShown)
    ->ArgsProduct({{1500, 6000, 12000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_CbViewerRepaint)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    return WidgetBenchMain(argc, argv);
}
