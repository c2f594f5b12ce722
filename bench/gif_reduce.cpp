// Colour reduction as a GIF save does it: a 256-colour octree palette of a 6000 x 4000 photo-like
// picture, then Floyd-Steinberg dithering with that palette. Compare with
//   convert picture.ppm -colors 256 -dither FloydSteinberg picture.gif
// (scripts/bench-gif.sh times the whole save against ImageMagick).
#include "gif/GIFColorReduction.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>

namespace {

// Smooth colour gradients with soft shapes and sensor-like noise: many thousands of colours with
// the local coherence of a photograph.
std::unique_ptr<TBitmap> PhotoLike(int W, int H)
{
    auto B = std::make_unique<TBitmap>(W, H, pf24bit);
    std::mt19937 Rng(12345);
    std::uniform_int_distribution<int> Noise(-6, 6);
    for (int Y = 0; Y < H; ++Y) {
        TRGBTriple* Row = B->Row24(Y);
        const double FY = double(Y) / H;
        for (int X = 0; X < W; ++X) {
            const double FX = double(X) / W;
            const double Wave = std::sin(FX * 9.0 + FY * 4.0) * std::cos(FY * 7.0 - FX * 3.0);
            const double Sky = 1.0 - FY;
            auto Channel = [&](double V) {
                const int C = int(V * 255.0) + Noise(Rng);
                return uint8_t(C < 0 ? 0 : C > 255 ? 255 : C);
            };
            Row[X].rgbtRed = Channel(0.35 + 0.4 * Sky * FX + 0.2 * Wave);
            Row[X].rgbtGreen = Channel(0.30 + 0.35 * FY + 0.25 * Wave * Wave);
            Row[X].rgbtBlue = Channel(0.25 + 0.6 * Sky - 0.15 * Wave);
        }
    }
    return B;
}

const TBitmap& Photo()
{
    static const std::unique_ptr<TBitmap> B = PhotoLike(6000, 4000);
    return *B;
}

void BM_OctreePalette(benchmark::State& State)
{
    const TBitmap& B = Photo();
    for (auto _ : State)
        benchmark::DoNotOptimize(CreateOptimizedPaletteFromBitmap(B, 256, 8, false));
    State.SetItemsProcessed(State.iterations() * int64_t(B.Width()) * B.Height());
}

void BM_FloydSteinbergWithPalette(benchmark::State& State)
{
    const TBitmap& B = Photo();
    const TGIFPalette P = CreateOptimizedPaletteFromBitmap(B, 256, 8, false);
    for (auto _ : State)
        benchmark::DoNotOptimize(ReduceColors(B, ReduceGivenPalette, DitherFloydSteinberg, 0, P));
    State.SetItemsProcessed(State.iterations() * int64_t(B.Width()) * B.Height());
}

void BM_GifSaveReduction(benchmark::State& State)
{
    const TBitmap& B = Photo();
    for (auto _ : State) {
        const TGIFPalette P = CreateOptimizedPaletteFromBitmap(B, 256, 8, false);
        benchmark::DoNotOptimize(ReduceColors(B, ReduceGivenPalette, DitherFloydSteinberg, 0, P));
    }
    State.SetItemsProcessed(State.iterations() * int64_t(B.Width()) * B.Height());
}

} // namespace

BENCHMARK(BM_OctreePalette)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FloydSteinbergWithPalette)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GifSaveReduction)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
