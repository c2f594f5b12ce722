// The picture window's adjustments on a 6000 x 4000 picture: the image-model effect alone, the same
// adjustment committed through the window (with its undo copy), and a preview followed by OK with the
// same values (which applies nothing a second time) or with other values (which applies once more).
// The counter "applied" is the number of effect passes the timed call ran (progress starts).
//
//   bench_pic_operations [benchmark options]
#include "WidgetBenchMain.h"
#include "BenchPictures.h"
#include "picwin/CVPicChildWn.h"


#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

struct TAdjust {
    const char* Name;
    std::function<void(TEffectsBitmap&)> Effect;
    // The window's adjustment with a value (0 or 1 picks one of two) and the preview flag.
    std::function<void(TCVPicChildWin&, int, bool)> Window;
};

const std::vector<TAdjust>& Adjustments()
{
    static const std::vector<TAdjust> list = {
        {"brighten20", [](TEffectsBitmap& B) { B.Brighten(20, nullptr); },
         [](TCVPicChildWin& W, int V, bool P) { W.BrightenPicture(V ? 30 : 20, P); }},
        {"gamma2", [](TEffectsBitmap& B) { B.GammaCorrect(nullptr, 2.0); },
         [](TCVPicChildWin& W, int V, bool P) { W.GammaCorrectPicture(V ? 1.5 : 2.0, P); }},
        {"blur10", [](TEffectsBitmap& B) { B.Blur(nullptr, 10); },
         [](TCVPicChildWin& W, int V, bool P) { W.BlurPicture(V ? 5 : 10, P); }},
        {"rgb", [](TEffectsBitmap& B) { B.AdjustRGB(10, -20, 30, nullptr); },
         [](TCVPicChildWin& W, int V, bool P) { W.AdjustRGBPicture(10, V ? -10 : -20, 30, P); }},
        {"rotate33", [](TEffectsBitmap& B) { B.Rotate(33, clRed); },
         [](TCVPicChildWin& W, int V, bool P) { W.RotatePicture(V ? 20 : 33, clRed, P); }},
    };
    return list;
}

const TEffectsBitmap& Source()
{
    static const std::unique_ptr<TEffectsBitmap> photo = [] {
        auto b = std::make_unique<TEffectsBitmap>(kWidth, kHeight, pf24bit);
        PaintPhotoLike(*b);
        return b;
    }();
    return *photo;
}

// One window for every run; its effect passes are counted through its progress relay.
struct TBenchWindow {
    TCVNewPicChildWin Window{nullptr, nullptr, "Bench", 1, 1, clWhite};
    int Passes = 0;
    TBenchWindow()
    {
        Window.OnProgressStart = [this](TBasicCVChild*, int) { ++Passes; };
    }
    // The unadjusted picture, no preview, no undo steps.
    void Reset()
    {
        Window.EndPreview();
        Window.UndoList().Clear();
        Window.Picture().AssignBitmap(const_cast<TEffectsBitmap&>(Source()));
    }
};

TBenchWindow& Bench()
{
    static TBenchWindow bench;
    return bench;
}

void BM_EffectAlone(benchmark::State& State, const TAdjust* A)
{
    TEffectsBitmap work;
    for (auto _ : State) {
        State.PauseTiming();
        work.Assign(&Source());
        State.ResumeTiming();
        A->Effect(work);
        benchmark::DoNotOptimize(work.Bits());
    }
}

// Mode 0: OK without a preview. 1: preview, then OK with the same values (OK timed). 2: preview,
// then OK with other values (OK timed).
void BM_Commit(benchmark::State& State, const TAdjust* A, int Mode)
{
    TBenchWindow& b = Bench();
    int passes = 0;
    for (auto _ : State) {
        State.PauseTiming();
        b.Reset();
        if (Mode > 0)
            A->Window(b.Window, 0, true);
        b.Passes = 0;
        State.ResumeTiming();
        A->Window(b.Window, Mode == 2 ? 1 : 0, false);
        State.PauseTiming();
        passes += b.Passes;
        State.ResumeTiming();
    }
    State.counters["applied"] = benchmark::Counter(passes, benchmark::Counter::kAvgIterations);
}

[[maybe_unused]] const bool kRegistered = [] {
    const auto setUp = [](benchmark::internal::Benchmark* B) {
        B->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
    };
    for (const TAdjust& a : Adjustments()) {
        const std::string n = a.Name;
        setUp(benchmark::RegisterBenchmark(("BM_EffectAlone/" + n).c_str(), BM_EffectAlone, &a));
        setUp(benchmark::RegisterBenchmark(("BM_CommitNoPreview/" + n).c_str(), BM_Commit, &a, 0));
        setUp(benchmark::RegisterBenchmark(("BM_PreviewThenOKSame/" + n).c_str(), BM_Commit, &a, 1));
        setUp(benchmark::RegisterBenchmark(("BM_PreviewThenOKOther/" + n).c_str(), BM_Commit, &a, 2));
    }
    return true;
}();

} // namespace

int main(int Argc, char** Argv)
{
    return WidgetBenchMain(Argc, Argv);
}
