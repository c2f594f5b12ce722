// Repainting and scrolling the picture view: a 1280 x 800 view of a 6000 x 4000 picture at several
// zooms, with and without the zoom grid, rendered into a QImage as the screen would get it.
#include "WidgetBenchMain.h"
#include "picwin/PictureScrollBx.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

TPictureScrollBox& View()
{
    static std::unique_ptr<TPictureScrollBox> box = [] {
        auto b = std::make_unique<TPictureScrollBox>();
        b->SetBorderStyle(bsNone);
        b->NewPicture(6000, 4000, clWhite);
        TBitmap& pic = b->Bitmap();
        for (int y = 0; y < pic.Height(); ++y) {
            TRGBTriple* row = pic.Row24(y);
            for (int x = 0; x < pic.Width(); ++x)
                row[x] = TRGBTriple{uint8_t(x), uint8_t(y), uint8_t(x ^ y)};
        }
        b->show();
        return b;
    }();
    return *box;
}

// The view as big as the client area asked for (bars included in the box).
void Prepare(TPictureScrollBox& box, int Zoom, bool Grid)
{
    box.SetShowZoomGrid(Grid);
    box.ZoomAt(Zoom, 3000, 2000);
    const int w = 1280 + box.width() - box.ClientWidth(), h = 800 + box.height() - box.ClientHeight();
    if (box.width() != w || box.height() != h)
        box.resize(w, h);
    box.ZoomAt(Zoom, 3000, 2000);
}

void Present(TPictureScrollBox& box, QImage& screen)
{
    QPainter p(&screen);
    box.PaintView(p, QRect(0, 0, box.ClientWidth(), box.ClientHeight()));
}

void BM_FullRepaint(benchmark::State& state)
{
    TPictureScrollBox& box = View();
    Prepare(box, int(state.range(0)), state.range(1) != 0);
    QImage screen(box.ClientWidth(), box.ClientHeight(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        box.RepaintAll();
        Present(box, screen);
        benchmark::DoNotOptimize(screen.constBits());
    }
    state.SetLabel(std::to_string(box.ClientWidth()) + "x" + std::to_string(box.ClientHeight()));
}

void BM_Scroll(benchmark::State& state)
{
    TPictureScrollBox& box = View();
    const int zoom = int(state.range(0));
    Prepare(box, zoom, true);
    QImage screen(box.ClientWidth(), box.ClientHeight(), QImage::Format_ARGB32_Premultiplied);
    const bool page = state.range(1) != 0;
    int direction = 1;
    for (auto _ : state) {
        TIdleControlScrollBar& bar = box.HorzScrollBar();
        const int before = bar.Position();
        bar.ScrollMessage(direction > 0 ? (page ? scPageDown : scLineDown) : (page ? scPageUp : scLineUp), 0);
        if (bar.Position() == before) {
            direction = -direction;
            continue;
        }
        Present(box, screen);
        benchmark::DoNotOptimize(screen.constBits());
    }
}

} // namespace

BENCHMARK(BM_FullRepaint)
    ->ArgsProduct({{1, 2, 4, 7, 15}, {0, 1}})
    ->ArgNames({"zoom", "grid"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scroll)->ArgsProduct({{1, 2, 7, 15}, {0, 1}})->ArgNames({"zoom", "page"})->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return WidgetBenchMain(argc, argv); }
