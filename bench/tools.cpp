// The picture window's tools on a 6000 x 4000 picture in a 1280 x 800 view, through the window's own
// mouse handlers as the view calls them: one pen segment of a 500-pixel round brush with its partial
// repaint, one spray-can tick, and a fill and a magic-wand press over most of the picture (each with
// its undo step and its repaint). The press, a segment, the release and the undo of a 60-pixel pen
// stroke at 1.5, 24 and 96 megapixels show what a stroke costs as the picture grows, and the memory
// of five undo steps and the peak during a stroke what it holds. The raw flood fill beside
// ImageMagick and libvips is scripts/bench-effects.sh.
#include "WidgetBenchMain.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "image/PicSelection.h"
#include "picwin/CVPicChildWn.h"
#include "picwin/SprayCan.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

namespace {

class TBenchHost : public IPicChildHost {
public:
    void GetMaxChildClientSize(int& Width, int& Height) override { Width = 1280, Height = 800; }
    void SetForegroundColour(TColor, bool) override {}
    void SetBackgroundColour(TColor, bool) override {}
    void ShowColourRGB(TColor) override {}
    void HideColourRGB() override {}
    bool IsSelectionTool() override { return CurrentTool >= ctSelectRect; }
    bool QueryAddText() override { return false; }
};

// A round tip of Width, as the tool panel makes it: black painted, white not.
std::unique_ptr<TBitmap> RoundTip(int Width)
{
    auto tip = std::make_unique<TBitmap>(Width, Width, pf24bit);
    for (int y = 0; y < Width; ++y)
        for (int x = 0; x < Width; ++x) {
            const int dx = 2 * x + 1 - Width, dy = 2 * y + 1 - Width;
            tip->Row24(y)[x] = dx * dx + dy * dy > Width * Width ? TRGBTriple{255, 255, 255} : TRGBTriple{};
        }
    return tip;
}

// A photograph-like picture of W x H: gradients with noise, and a large plain region (a disc of
// 0.475 H radius in the middle; 1900 at 6000 x 4000) for the fill and the wand.
std::unique_ptr<TCVPicChildWin> Window(TBenchHost& Host, int W = 6000, int H = 4000)
{
    InitCVGlobal();
    auto win = std::make_unique<TCVNewPicChildWin>(nullptr, &Host, "Bench", W, H, clWhite);
    TBitmap& pic = win->Picture();
    const int64_t cx = W / 2, cy = H / 2, radius = int64_t(H) * 19 / 40;
    uint32_t noise = 12345;
    for (int y = 0; y < pic.Height(); ++y) {
        TRGBTriple* row = pic.Row24(y);
        for (int x = 0; x < pic.Width(); ++x) {
            const int64_t dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy < radius * radius) {
                row[x] = TRGBTriple{40, 160, 90};
                continue;
            }
            noise = noise * 134775813u + 1u;
            const uint8_t n = uint8_t(noise >> 29);
            row[x] = TRGBTriple{uint8_t(x * 255 / W + n), uint8_t(y * 255 / H + n), uint8_t((x + y) / 40 + n)};
        }
    }
    TPictureScrollBox& box = win->PictureScrollBox();
    box.SetBorderStyle(bsNone);
    box.resize(1280, 800);
    win->show();
    box.resize(1280, 800);
    box.ScrollTo(W / 2, H / 2);
    box.RepaintAll();
    return win;
}

void Press(TCVPicChildWin& W, int X, int Y)
{
    TPictureScrollBox& box = W.PictureScrollBox();
    box.OnMouseDown(&box, mbLeft, ssLeft, box.PictureToClientX(X), box.PictureToClientY(Y));
}
void Move(TCVPicChildWin& W, int X, int Y)
{
    TPictureScrollBox& box = W.PictureScrollBox();
    box.OnMouseMove(&box, ssLeft, box.PictureToClientX(X), box.PictureToClientY(Y));
}
void Release(TCVPicChildWin& W, int X, int Y)
{
    TPictureScrollBox& box = W.PictureScrollBox();
    box.OnMouseUp(&box, mbLeft, 0, box.PictureToClientX(X), box.PictureToClientY(Y));
}

// One move of a pen stroke by 20 picture pixels (one dab of the 500-pixel brush) and its repaint.
void BM_PenSegment500(benchmark::State& state)
{
    TBenchHost host;
    auto win = Window(host);
    CurrentTool = ctPen;
    PenSettings.Width = 500;
    PenSettings.Mask = RoundTip(500);
    ForegroundColour = clRed;
    Press(*win, 2800, 2000);
    int x = 2800, dx = 20;
    for (auto _ : state) {
        if (x + dx > 3200 || x + dx < 2800)
            dx = -dx;
        x += dx;
        Move(*win, x, 2000);
    }
    Release(*win, x, 2000);
    PenSettings.Mask.reset();
    PenSettings.Width = 1;
}
BENCHMARK(BM_PenSegment500)->Unit(benchmark::kMillisecond);

// One tick of the spray can; Arg: its width (60 is the tool's default).
void BM_SprayTick(benchmark::State& state)
{
    TBenchHost host;
    auto win = Window(host);
    CurrentTool = ctSprayCan;
    SprayCanSettings.Width = int(state.range(0));
    SprayCanSettings.Mask = RoundTip(SprayCanSettings.Width);
    SprayCanSettings.Opacity = 60;
    Press(*win, 3000, 2000);
    for (auto _ : state)
        win->SprayCan->Spray();
    Release(*win, 3000, 2000);
    SprayCanSettings = TSprayCanSettings{};
}
BENCHMARK(BM_SprayTick)->Arg(60)->Arg(500)->Unit(benchmark::kMillisecond);

// A fill press over the 11-megapixel disc, alternately in two colours so that each press fills the
// same region; Arg: tolerance (0 the exact-colour fill, 10 the tolerant one).
void BM_FillPress(benchmark::State& state)
{
    TBenchHost host;
    auto win = Window(host);
    CurrentTool = ctFill;
    FillTolerance = int(state.range(0));
    bool red = false;
    for (auto _ : state) {
        red = !red;
        ForegroundColour = red ? RGB(200, 0, 0) : RGB(90, 160, 40);
        Press(*win, 3000, 2000);
        Release(*win, 3000, 2000);
        state.PauseTiming();
        win->UndoList().Clear();
        state.ResumeTiming();
    }
    FillTolerance = 0;
}
BENCHMARK(BM_FillPress)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);

// A magic-wand press and release over the disc: the selection lifted, traced and shown.
void BM_MagicWandPress(benchmark::State& state)
{
    TBenchHost host;
    auto win = Window(host);
    CurrentTool = ctMagicWand;
    MagicWandTolerance = 0;
    for (auto _ : state) {
        Press(*win, 3000, 2000);
        Release(*win, 3000, 2000);
        state.PauseTiming();
        // The lifted pixels go back where they were: the next press finds the same region.
        win->DropSelection(true, false);
        win->UndoList().Clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MagicWandPress)->Unit(benchmark::kMillisecond);

// ---- A 60-pixel pen stroke as the picture grows -----------------------------------------------------

// Arg: the picture's megapixels times 2 (3: 1500 x 1000, 48: 6000 x 4000, 192: 12000 x 8000).
void PictureSize(int64_t Arg, int& W, int& H)
{
    switch (Arg) {
    case 3: W = 1500, H = 1000; break;
    case 48: W = 6000, H = 4000; break;
    default: W = 12000, H = 8000; break;
    }
}

double Seconds(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// A window with the 60-pixel round pen chosen, the brush the measurements name.
std::unique_ptr<TCVPicChildWin> PenWindow(TBenchHost& Host, benchmark::State& State)
{
    int w = 0, h = 0;
    PictureSize(State.range(0), w, h);
    auto win = Window(Host, w, h);
    CurrentTool = ctPen;
    PenSettings.Width = 60;
    PenSettings.Mask = RoundTip(60);
    ForegroundColour = clRed;
    State.SetLabel(std::to_string(w) + "x" + std::to_string(h));
    return win;
}

void EndPen()
{
    PenSettings.Mask.reset();
    PenSettings.Width = 1;
}

// One short stroke near the middle, Row pixels below it (-300 .. 300 stay in view): press, NMoves
// moves of 20 pixels, release, each part timed.
struct TStrokeTimes {
    double Press = 0, Moves = 0, Release = 0;
};
TStrokeTimes Stroke(TCVPicChildWin& W, int NMoves, int Row = 0)
{
    const TBitmap& pic = W.Picture();
    const int x0 = pic.Width() / 2 - 200, y = pic.Height() / 2 + Row;
    TStrokeTimes t;
    auto start = std::chrono::steady_clock::now();
    Press(W, x0, y);
    t.Press = Seconds(start);
    start = std::chrono::steady_clock::now();
    for (int i = 1; i <= NMoves; ++i)
        Move(W, x0 + 20 * i, y);
    t.Moves = Seconds(start);
    start = std::chrono::steady_clock::now();
    Release(W, x0 + 20 * NMoves, y);
    t.Release = Seconds(start);
    return t;
}

// The press of a stroke (its undo step, its first dab and repaint), the release of a stroke of 20
// moves (400 pixels), or the two together; second Arg: 0, 1 or 2.
void BM_StrokePressRelease(benchmark::State& state)
{
    TBenchHost host;
    auto win = PenWindow(host, state);
    const int64_t part = state.range(1);
    for (auto _ : state) {
        const TStrokeTimes t = Stroke(*win, part == 0 ? 0 : 20);
        state.SetIterationTime(part == 0 ? t.Press : part == 1 ? t.Release : t.Press + t.Release);
        win->UndoList().Clear();
    }
    EndPen();
}

// One move of 20 pixels in a running stroke.
void BM_StrokeSegment(benchmark::State& state)
{
    TBenchHost host;
    auto win = PenWindow(host, state);
    const int x0 = win->Picture().Width() / 2 - 200, y = win->Picture().Height() / 2;
    Press(*win, x0, y);
    int x = x0, dx = 20;
    for (auto _ : state) {
        if (x + dx > x0 + 400 || x + dx < x0)
            dx = -dx;
        x += dx;
        Move(*win, x, y);
    }
    Release(*win, x, y);
    EndPen();
}

// The undo of a stroke of 20 moves, its repaint included.
void BM_StrokeUndo(benchmark::State& state)
{
    TBenchHost host;
    auto win = PenWindow(host, state);
    for (auto _ : state) {
        Stroke(*win, 20);
        const auto start = std::chrono::steady_clock::now();
        win->Undo();
        state.SetIterationTime(Seconds(start));
    }
    EndPen();
}

// A value of /proc/self/status in megabytes ("VmRSS", "VmHWM"), 0 when it cannot be read.
double StatusMegabytes(const char* Key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(Key);
    while (std::getline(status, line))
        if (line.compare(0, n, Key) == 0 && line.size() > n && line[n] == ':')
            return std::stod(line.substr(n + 1)) / 1024.0;
    return 0;
}

// Resets the peak resident size to the current one (Linux's clear_refs 5).
void ResetPeakRss()
{
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

// Memory, not time: the resident megabytes five strokes' undo steps add to the picture at rest, the
// peak a stroke adds while it runs, and the bytes the steps say they hold. Each stroke paints its own
// row in a colour of its own, so that every step has pixels to keep.
void BM_FiveUndoStepsMemory(benchmark::State& state)
{
    TBenchHost host;
    auto win = PenWindow(host, state);
    double fiveSteps = 0, strokePeak = 0, held = 0;
    int round = 0;
    for (auto _ : state) {
        win->UndoList().Clear();
        const double rest = StatusMegabytes("VmRSS");
        for (int i = 0; i < 5; ++i) {
            ForegroundColour = RGB(uint8_t(50 * i), uint8_t(round), 200);
            if (i == 0)
                ResetPeakRss();
            Stroke(*win, 20, 120 * i - 240);
            if (i == 0)
                strokePeak = StatusMegabytes("VmHWM") - rest;
        }
        ++round;
        fiveSteps = StatusMegabytes("VmRSS") - rest;
        held = double(win->UndoList().HeldBytes()) / (1024.0 * 1024.0);
    }
    state.counters["five_steps_MB"] = fiveSteps;
    state.counters["stroke_peak_MB"] = strokePeak;
    state.counters["held_MB"] = held;
    state.counters["picture_MB"] = double(win->Picture().RowBytes()) * win->Picture().Height() / (1024.0 * 1024.0);
    win->UndoList().Clear();
    EndPen();
}

BENCHMARK(BM_StrokePressRelease)
    ->ArgsProduct({{3, 48, 192}, {0, 1, 2}})
    ->ArgNames({"mp2", "release"})
    ->Iterations(200) // a release takes microseconds: without a count the strokes around it take minutes
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StrokeSegment)->Arg(3)->Arg(48)->Arg(192)->ArgName("mp2")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StrokeUndo)->Arg(3)->Arg(48)->Arg(192)->ArgName("mp2")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FiveUndoStepsMemory)->Arg(3)->Arg(48)->Arg(192)->ArgName("mp2")->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int Argc, char** Argv)
{
    return WidgetBenchMain(Argc, Argv);
}
