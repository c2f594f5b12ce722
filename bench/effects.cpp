// Picture effects on one 6000 x 4000 picture: blur, resample, resize, rotate, the per-pixel effects,
// mirror, flip and a flood fill of a large region.
//
//   bench_effects [benchmark options]          Google Benchmark on generated pictures
//   bench_effects --time OP INPUT [REPEAT]     best wall time of REPEAT runs in milliseconds of OP on
//                                              the picture in INPUT (any picture file), for
//                                              scripts/bench-effects.sh
//   bench_effects --inputs DIR                 writes the two pictures as DIR/photo.bmp and
//                                              DIR/rings.bmp (the flood fill's)
#include "BenchMain.h"
#include "BenchPictures.h"
#include "image/EffectsBitmap.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

struct TOperation {
    const char* Name;
    // Which picture it runs on: the photo-like one, or the one with a large flat region.
    bool OnFillPicture;
    std::function<void(TEffectsBitmap&)> Run;
};

const std::vector<TOperation>& Operations()
{
    static const std::vector<TOperation> ops = {
        {"blur10", false, [](TEffectsBitmap& B) { B.Blur(nullptr, 10); }},
        {"resample50", false, [](TEffectsBitmap& B) { B.Resample(B.Width() / 2, B.Height() / 2); }},
        {"resample200", false, [](TEffectsBitmap& B) { B.Resample(B.Width() * 2, B.Height() * 2); }},
        {"resize50", false, [](TEffectsBitmap& B) { B.Resize(B.Width() / 2, B.Height() / 2); }},
        {"rotate33", false, [](TEffectsBitmap& B) { B.Rotate(33, clRed); }},
        {"greyscale", false, [](TEffectsBitmap& B) { B.GreyScale(nullptr); }},
        {"negative", false, [](TEffectsBitmap& B) { B.Negative(nullptr); }},
        {"brighten20", false, [](TEffectsBitmap& B) { B.Brighten(20, nullptr); }},
        {"gamma2", false, [](TEffectsBitmap& B) { B.GammaCorrect(nullptr, 2.0); }},
        {"mirror", false, [](TEffectsBitmap& B) { B.Mirror(); }},
        {"flip", false, [](TEffectsBitmap& B) { B.Flip(); }},
        {"floodfill", true, [](TEffectsBitmap& B) { B.FloodFill(0, 0, clRed, 10); }},
    };
    return ops;
}

// White with black rings: one large region around them for the fill.
void PaintRings(TBitmap& Bmp)
{
    for (int y = 0; y < Bmp.Height(); ++y) {
        TRGBTriple* row = Bmp.Row24(y);
        for (int x = 0; x < Bmp.Width(); ++x) {
            const int dx = x % 500 - 250, dy = y % 500 - 250, d2 = dx * dx + dy * dy;
            row[x] = d2 > 150 * 150 && d2 < 160 * 160 ? TRGBTriple{0, 0, 0} : TRGBTriple{250, 252, 255};
        }
    }
}

TEffectsBitmap& Picture(bool Fill)
{
    static const std::unique_ptr<TEffectsBitmap> photo = [] {
        auto b = std::make_unique<TEffectsBitmap>(kWidth, kHeight, pf24bit);
        PaintPhotoLike(*b);
        return b;
    }();
    static const std::unique_ptr<TEffectsBitmap> rings = [] {
        auto b = std::make_unique<TEffectsBitmap>(kWidth, kHeight, pf24bit);
        PaintRings(*b);
        return b;
    }();
    return Fill ? *rings : *photo;
}

void BM_Effect(benchmark::State& State, const TOperation* Op)
{
    TEffectsBitmap work;
    for (auto _ : State) {
        State.PauseTiming();
        work.Assign(&Picture(Op->OnFillPicture));
        State.ResumeTiming();
        Op->Run(work);
        benchmark::DoNotOptimize(work.Bits());
    }
}

[[maybe_unused]] const bool kRegistered = [] {
    for (const TOperation& op : Operations())
        benchmark::RegisterBenchmark((std::string("BM_Effect/") + op.Name).c_str(), BM_Effect, &op)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
    return true;
}();

int TimeOperation(int Argc, char** Argv)
{
    if (Argc < 4) {
        std::fprintf(stderr, "usage: %s --time OP INPUT [REPEAT]\n", Argv[0]);
        return 2;
    }
    const std::string name = Argv[2], input = Argv[3];
    const int repeat = RepeatArgument(Argc, Argv, 4);
    const auto it = std::find_if(Operations().begin(), Operations().end(),
                                 [&](const TOperation& op) { return name == op.Name; });
    if (it == Operations().end()) {
        std::fprintf(stderr, "unknown operation: %s\n", name.c_str());
        return 2;
    }
    TEffectsBitmap source, work;
    source.LoadPictureFromFile(input, false);
    source.SetPixelFormat(pf24bit);
    std::printf("%.3f\n", BestMilliseconds(repeat, [&] { work.Assign(&source); }, [&] { it->Run(work); }));
    return 0;
}

int WriteInputs(const std::string& Dir)
{
    Picture(false).SavePictureToFile(Dir + "/photo.bmp", false);
    Picture(true).SavePictureToFile(Dir + "/rings.bmp", false);
    return 0;
}

} // namespace

int main(int Argc, char** Argv)
{
    return BenchMain(Argc, Argv, TimeOperation, WriteInputs);
}
