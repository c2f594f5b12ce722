// The picture window's tools on a 6000 x 4000 picture in a 1280 x 800 view, through the window's own
// mouse handlers as the view calls them: one pen segment of a 500-pixel round brush with its partial
// repaint, one spray-can tick, and a fill and a magic-wand press over most of the picture (each with
// its undo step, which keeps only the changed rectangle, and its repaint). The raw flood fill beside
// ImageMagick and libvips is scripts/bench-effects.sh.
#include "WidgetBenchMain.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "image/PicSelection.h"
#include "picwin/CVPicChildWn.h"
#include "picwin/SprayCan.h"

#include <benchmark/benchmark.h>

#include <memory>

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

// A photograph-like picture: gradients with noise, and a large plain region (a disc of radius 1900
// in the middle) for the fill and the wand.
std::unique_ptr<TCVPicChildWin> Window(TBenchHost& Host)
{
    InitCVGlobal();
    auto win = std::make_unique<TCVNewPicChildWin>(nullptr, &Host, "Bench", 6000, 4000, clWhite);
    TBitmap& pic = win->Picture();
    uint32_t noise = 12345;
    for (int y = 0; y < pic.Height(); ++y) {
        TRGBTriple* row = pic.Row24(y);
        for (int x = 0; x < pic.Width(); ++x) {
            const int dx = x - 3000, dy = y - 2000;
            if (dx * dx + dy * dy < 1900 * 1900) {
                row[x] = TRGBTriple{40, 160, 90};
                continue;
            }
            noise = noise * 134775813u + 1u;
            const uint8_t n = uint8_t(noise >> 29);
            row[x] = TRGBTriple{uint8_t(x * 255 / 6000 + n), uint8_t(y * 255 / 4000 + n), uint8_t((x + y) / 40 + n)};
        }
    }
    TPictureScrollBox& box = win->PictureScrollBox();
    box.SetBorderStyle(bsNone);
    box.resize(1280, 800);
    win->show();
    box.resize(1280, 800);
    box.ScrollTo(3000, 2000);
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

} // namespace

int main(int Argc, char** Argv)
{
    return WidgetBenchMain(Argc, Argv);
}
