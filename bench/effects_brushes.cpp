// Thumbnail shrinking, the search for an unused colour and long pen strokes on large pictures.
// The shrink compares with ImageMagick's box scaling of the same size, e.g.
//   convert -size 6000x4000 plasma: big.ppm; time convert big.ppm -scale 160x107 thumb.ppm
#include "image/BitmapUtils.h"
#include "image/EffectsBitmap.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

namespace {

// A 6000 x 4000 picture with smooth gradients and some noise, like a photograph.
std::unique_ptr<TEffectsBitmap> Photo(int W = 6000, int H = 4000)
{
    auto b = std::make_unique<TEffectsBitmap>(W, H, pf24bit);
    uint32_t noise = 12345;
    for (int y = 0; y < H; ++y) {
        TRGBTriple* row = b->Row24(y);
        for (int x = 0; x < W; ++x) {
            noise = noise * 134775813u + 1u;
            const uint32_t n = noise >> 29;
            row[x] = TRGBTriple{uint8_t((x * 255 / W + n) & 0xFF), uint8_t((y * 255 / H + n) & 0xFF),
                                uint8_t(((x + y) / 40 + n) & 0xFF)};
        }
    }
    return b;
}

TEffectsBitmap& SharedPhoto()
{
    static std::unique_ptr<TEffectsBitmap> photo = Photo();
    return *photo;
}

void BM_SmoothResizeThumbnail(benchmark::State& state)
{
    TEffectsBitmap& photo = SharedPhoto();
    TBitmap thumb;
    for (auto _ : state) {
        SmoothResize(photo, thumb, 160, 107); // 6000 x 4000 fitted into a 160 x 120 box
        benchmark::DoNotOptimize(thumb.Bits());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(photo.Width()) * photo.Height());
}
BENCHMARK(BM_SmoothResizeThumbnail)->Unit(benchmark::kMillisecond);

void BM_FindUnusedColour(benchmark::State& state)
{
    TEffectsBitmap& photo = SharedPhoto();
    for (auto _ : state) {
        TColor c = 0;
        benchmark::DoNotOptimize(FindUnusedColour(photo, nullptr, c));
        benchmark::DoNotOptimize(c);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(photo.Width()) * photo.Height());
}
BENCHMARK(BM_FindUnusedColour)->Unit(benchmark::kMillisecond);

// A stroke corner to corner and back across a 4000 x 3000 picture; Arg: pen width; shaped: a round tip.
void PenStroke(benchmark::State& state, bool Shaped)
{
    static std::unique_ptr<TEffectsBitmap> picture = Photo(4000, 3000);
    const int width = static_cast<int>(state.range(0));
    picture->Canvas().Pen.Width = width;
    picture->SetPenColour(clRed);
    TBitmap tip(width, width, pf24bit);
    for (int y = 0; y < width; ++y)
        for (int x = 0; x < width; ++x) {
            const int dx = 2 * x + 1 - width, dy = 2 * y + 1 - width;
            tip.Row24(y)[x] = dx * dx + dy * dy > width * width ? WhiteTriple : TRGBTriple{};
        }
    picture->SetPenMask(Shaped ? &tip : nullptr);
    for (auto _ : state) {
        picture->PenLine(0, 0, 3999, 2999);
        picture->PenLine(0, 2999, 3999, 0);
    }
}
void BM_PenStroke(benchmark::State& state) { PenStroke(state, false); }
void BM_PenStrokeShaped(benchmark::State& state) { PenStroke(state, true); }
BENCHMARK(BM_PenStroke)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PenStrokeShaped)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_SmudgeStroke(benchmark::State& state)
{
    static std::unique_ptr<TEffectsBitmap> picture = Photo(4000, 3000);
    picture->Canvas().Pen.Width = 20;
    picture->SetPenMask(nullptr);
    for (auto _ : state)
        picture->SmudgeLine(0, 0, 3999, 2999, 60);
}
BENCHMARK(BM_SmudgeStroke)->Unit(benchmark::kMillisecond);

void BM_SprayStroke(benchmark::State& state)
{
    static std::unique_ptr<TEffectsBitmap> picture = Photo(4000, 3000);
    picture->Canvas().Pen.Width = 20;
    picture->SetPenColour(clBlue);
    ProgramRandom().SetSeed(1);
    for (auto _ : state)
        picture->SprayLine(0, 0, 3999, 2999, 50, 30);
}
BENCHMARK(BM_SprayStroke)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
