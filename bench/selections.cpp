// Selections on one 6000 x 4000 photo-like picture: a magic-wand selection at tolerance 32 from a
// seed in the sky (a large region with clouds and speckled edges), the tracing of its outline at
// zoom 1 and 4, the wand and tracing together, and one marching-ants tick over a 1280 x 800 view.
//
//   bench_selections [benchmark options]          Google Benchmark on the generated picture
//   bench_selections --time OP INPUT [REPEAT]     best wall time in milliseconds of OP, for
//                                                 scripts/bench-selections.sh: "wand" on the picture
//                                                 in INPUT, "trace1" on the mask in INPUT (white =
//                                                 selected)
//   bench_selections --inputs DIR                 writes DIR/landscape.bmp and DIR/mask.bmp (the
//                                                 wand's selection)
#include "BenchMain.h"

#include "image/SelectionKinds.h"
#include "image/XBitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kTolerance = 32;
constexpr TPoint kSeed{3000, 800};

// A sky over hills: the sky a slow gradient with grain and round clouds, the hills a busier texture.
void PaintLandscape(TBitmap& Bmp)
{
    uint32_t seed = 2024;
    auto noise = [&seed](int Amplitude) {
        seed = seed * 1664525u + 1013904223u;
        return int(seed >> 24) % (2 * Amplitude + 1) - Amplitude;
    };
    const int W = Bmp.Width(), H = Bmp.Height();
    for (int y = 0; y < H; ++y) {
        TRGBTriple* row = Bmp.Row24(y);
        for (int x = 0; x < W; ++x) {
            const double horizon = H * 0.55 + 180 * std::sin(x * 0.0021) + 60 * std::sin(x * 0.013);
            int r, g, b;
            if (y < horizon) {
                const int cx = x % 700 - 350, cy = y % 600 - 300;
                const bool cloud = cx * cx + cy * cy < 140 * 140 && (x / 700 + y / 600) % 3 == 0;
                if (cloud) {
                    r = 228 + noise(6), g = 232 + noise(6), b = 238 + noise(6);
                } else {
                    r = 70 + x * 50 / W + noise(12);
                    g = 120 + y * 40 / H + noise(12);
                    b = 210 + noise(12);
                }
            } else {
                r = 60 + int(40 * std::sin(x * 0.05) * std::sin(y * 0.04)) + noise(24);
                g = 110 + int(30 * std::sin(x * 0.03 + y * 0.02)) + noise(24);
                b = 40 + noise(20);
            }
            row[x] = TRGBTriple{uint8_t(std::clamp(b, 0, 255)), uint8_t(std::clamp(g, 0, 255)),
                                uint8_t(std::clamp(r, 0, 255))};
        }
    }
}

const TBitmap& Landscape()
{
    static const std::unique_ptr<TBitmap> picture = [] {
        auto b = std::make_unique<TBitmap>(kWidth, kHeight, pf24bit);
        PaintLandscape(*b);
        return b;
    }();
    return *picture;
}

// One wand selection, made once and shared by the tracing and ants benchmarks.
struct TWandFixture {
    TBitmap Parent;
    std::unique_ptr<TMagicWandPictureSelection> Selection;
    TWandFixture()
    {
        CopyBitmap(Landscape(), Parent);
        Selection = TMagicWandPictureSelection::CreateSelection(&Parent, kSeed, kTolerance, clWhite);
    }
};

int64_t SelectedCount(const TPictureSelection& S)
{
    const TBool2DArray& m = *S.Mask();
    return std::count(m.Data(), m.Data() + int64_t(m.Width) * m.Height, false);
}

TWandFixture& Wand()
{
    static TWandFixture fixture;
    return fixture;
}

// Each iteration lifts the wand's selection out of a fresh copy of the picture (the copy untimed),
// then runs After on it.
void TimeWand(benchmark::State& State, const std::function<void(TPictureSelection&)>& After)
{
    TBitmap parent;
    for (auto _ : State) {
        State.PauseTiming();
        CopyBitmap(Landscape(), parent);
        State.ResumeTiming();
        auto s = TMagicWandPictureSelection::CreateSelection(&parent, kSeed, kTolerance, clWhite);
        After(*s);
        benchmark::DoNotOptimize(s->Bounds());
    }
}

void BM_MagicWand(benchmark::State& State)
{
    TimeWand(State, [](TPictureSelection&) {});
    State.counters["selected_Mpx"] = double(SelectedCount(*Wand().Selection)) / 1e6;
}

void BM_TraceOutline(benchmark::State& State)
{
    const int zoom = int(State.range(0));
    const TPictureSelection& s = *Wand().Selection;
    TPicSelectionPoints outline;
    for (auto _ : State) {
        TraceMaskOutline(*s.Mask(), zoom, outline);
        benchmark::DoNotOptimize(outline.Count());
    }
    int64_t points = 0;
    for (int i = 0; i < outline.Count(); ++i)
        points += outline.GetPolygon(i)->Count();
    State.counters["polygons"] = outline.Count();
    State.counters["points"] = double(points);
}

void BM_WandAndTrace(benchmark::State& State)
{
    TimeWand(State, [](TPictureSelection& S) { S.UpdateOutline(S.Bounds(), 1); });
}

// One tick: the ants of a 1280 x 800 view centred on the horizon, the selection's busiest edge,
// drawn at the next phase into the zoomed image the view is about to show.
void BM_AntsTick(benchmark::State& State)
{
    const int zoom = int(State.range(0));
    TPictureSelection& s = *Wand().Selection;
    const TRect b = s.Bounds();
    const TRect zoomed{b.Left * zoom, b.Top * zoom, b.Right * zoom, b.Bottom * zoom};
    const TPoint origin{3000 * zoom - 640, 2200 * zoom - 400};
    TBitmap view(1280, 800, pf24bit);
    s.DrawOutline(view, origin, zoomed, zoom); // the outline is built before the first tick
    // The outline pixels in view, counted on a grey image.
    int64_t drawn = 0;
    TBitmap blank(1280, 800, pf24bit);
    blank.Canvas().Brush.Color = clGray;
    blank.Canvas().FillRect(Rect(0, 0, 1280, 800));
    s.DrawOutline(blank, origin, zoomed, zoom);
    for (int y = 0; y < blank.Height(); ++y)
        for (int x = 0; x < blank.Width(); ++x)
            drawn += blank.GetPixel(x, y) != clGray;
    State.counters["drawn_px"] = double(drawn);
    TManualAntsClock clock;
    for (auto _ : State) {
        s.StartMarchingAnts(true); // one tick at once: the change notice and the phase step
        s.StopMarchingAnts();
        s.DrawOutline(view, origin, zoomed, zoom);
        benchmark::DoNotOptimize(view.Bits());
    }
}

BENCHMARK(BM_MagicWand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_TraceOutline)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_WandAndTrace)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_AntsTick)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

namespace {

int TimeOperation(int Argc, char** Argv)
{
    if (Argc < 4) {
        std::fprintf(stderr, "usage: %s --time wand|trace1 INPUT [REPEAT]\n", Argv[0]);
        return 2;
    }
    const std::string op = Argv[2];
    const int repeat = RepeatArgument(Argc, Argv, 4);
    TXBitmap input;
    input.LoadPictureFromFile(Argv[3], false);
    input.SetPixelFormat(pf24bit);
    double best = 0;
    if (op == "wand") {
        TBitmap parent;
        best = BestMilliseconds(repeat, [&] { CopyBitmap(input, parent); }, [&] {
            auto s = TMagicWandPictureSelection::CreateSelection(&parent, kSeed, kTolerance, clWhite);
            benchmark::DoNotOptimize(s->Bounds());
        });
    } else if (op == "trace1") {
        TBool2DArray mask;
        mask.SetSize(input.Width(), input.Height());
        for (int y = 0; y < input.Height(); ++y)
            for (int x = 0; x < input.Width(); ++x)
                mask.Item(x, y) = input.Row24(y)[x].rgbtRed >= 128;
        TPicSelectionPoints outline;
        best = BestMilliseconds(repeat, [&] { TraceMaskOutline(mask, 1, outline); });
    } else {
        std::fprintf(stderr, "unknown operation: %s\n", op.c_str());
        return 2;
    }
    std::printf("%.3f\n", best);
    return 0;
}

int WriteInputs(const std::string& Dir)
{
    TXBitmap landscape;
    CopyBitmap(Landscape(), landscape);
    landscape.SavePictureToFile(Dir + "/landscape.bmp", false);
    const TBool2DArray& m = *Wand().Selection->Mask();
    TXBitmap mask(m.Width, m.Height, pf24bit);
    for (int y = 0; y < m.Height; ++y)
        for (int x = 0; x < m.Width; ++x) {
            const uint8_t v = m.Item(x, y) ? 255 : 0;
            mask.Row24(y)[x] = TRGBTriple{v, v, v};
        }
    mask.SavePictureToFile(Dir + "/mask.bmp", false);
    return 0;
}

} // namespace

int main(int Argc, char** Argv)
{
    return BenchMain(Argc, Argv, TimeOperation, WriteInputs);
}
