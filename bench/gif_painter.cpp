// GIF painters: composing and drawing one frame of a 500 x 500 animation, how closely the frames keep
// their delays, and the CPU an idle painter uses while it waits. The animation is made here; every
// painter step runs on this (GUI) thread from a real event loop, as in the program.
//
//   bench_gif_painter [benchmark options]        Google Benchmark (it has no --time operations)
#include "WidgetBenchMain.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFPainter.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int kSide = 500;
constexpr int kFrames = 4;
// The painter's rules for the file's delays: 12 ms per unit at speed 100, at least 3 units.
constexpr int kMsPerDelayUnit = 12;
constexpr int kMinimumDelayUnits = 3;

// Four full-screen frames with 256 local colours, every second row band transparent, and the
// disposals none, restore background, restore previous, none; the first frame loops endlessly.
std::unique_ptr<TGIFImage> MakeAnimation(uint16_t DelayUnits)
{
    auto Image = std::make_unique<TGIFImage>();
    const uint8_t Disposals[kFrames] = {dmNone, dmBackground, dmPrevious, dmNone};
    for (int I = 0; I < kFrames; ++I) {
        auto* Frame = new TGIFSubImage(Image.get());
        Image->Images.Add(Frame);
        Frame->SetBounds(0, 0, kSide, kSide);
        for (int C = 0; C < 256; ++C)
            Frame->ColorMap.Add(RGB(static_cast<uint8_t>(C), static_cast<uint8_t>(255 - C),
                                    static_cast<uint8_t>((C * 7 + I * 40) & 255)));
        Frame->Data.resize(static_cast<size_t>(kSide) * kSide);
        for (int Y = 0; Y < kSide; ++Y)
            for (int X = 0; X < kSide; ++X) {
                const bool Hole = I > 0 && (Y / 25) % 2 == 1;
                Frame->Data[static_cast<size_t>(Y) * kSide + X] =
                    Hole ? 0 : static_cast<uint8_t>(1 + (X + 3 * Y + 17 * I) % 255);
            }
        if (I == 0) {
            auto* Loop = new TGIFAppExtNSLoop(Frame);
            Loop->Loops = 0;
            Frame->Extensions.Add(Loop);
        }
        auto* GCE = new TGIFGraphicControlExtension(Frame);
        Frame->Extensions.Add(GCE);
        GCE->SetDisposal(Disposals[I]);
        GCE->SetDelay(DelayUnits);
        GCE->SetTransparentColorIndex(0);
        GCE->SetTransparent(I > 0);
    }
    Image->SetWidth(kSide);
    Image->SetHeight(kSide);
    return Image;
}

std::unique_ptr<TBitmap> Canvas500()
{
    auto B = std::make_unique<TBitmap>(kSide, kSide, pf24bit);
    B->Canvas().Brush.Color = RGB(90, 60, 30);
    B->Canvas().FillRect(Rect(0, 0, kSide, kSide));
    return B;
}

constexpr uint16_t kPlay = DrawTransparent | DrawAnimated | DrawRepeat | DrawRepeatEndless;

// Starts the painter (a threaded one is returned by Paint; an unthreaded one runs at once).
void StartPainter(TGIFImage& Image, TBitmap& Dest, bool Threaded, TGIFPainter** Ref)
{
    if (TGIFPainter* P = Image.Paint(Dest.Canvas(), Rect(0, 0, kSide, kSide), kPlay | (Threaded ? DrawInThread : 0), Ref))
        P->Start();
}

// Ends the painters and lets the deferred deletions run, so that runs do not pile up.
void EndPainting(TGIFImage& Image)
{
    Image.StopDraw();
    QCoreApplication::sendPostedEvents(nullptr, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Image.OnFramePaint = nullptr;
    Image.OnFramePainted = nullptr;
}

// Runs an event loop until Done() holds (checked whenever Quit is called) or TimeoutMs pass.
template <typename Fn>
void RunEventLoop(QEventLoop*& Current, Fn&& Done, int TimeoutMs)
{
    if (Done())
        return;
    QEventLoop Loop;
    Current = &Loop;
    QTimer::singleShot(TimeoutMs, &Loop, &QEventLoop::quit);
    Loop.exec();
    Current = nullptr;
}

double CPUMs(clockid_t Clock)
{
    timespec T{};
    clock_gettime(Clock, &T);
    return static_cast<double>(T.tv_sec) * 1e3 + static_cast<double>(T.tv_nsec) / 1e6;
}

// ---- (a) One frame composed and drawn --------------------------------------------------------------
// Time from the painter's OnFramePaint to its OnFramePainted: the frame's disposal, composing in the
// buffers and the copy to the 500 x 500 canvas, all inside one GUI-thread step. Rendered: the frame's
// bitmap is dropped at OnFramePaint, so that the step renders it from the pixel data too.
void BM_ComposeAndDrawFrame500(benchmark::State& State)
{
    const bool Threaded = State.range(0) != 0;
    const bool Rendered = State.range(1) != 0;
    auto Image = MakeAnimation(5);
    Image->AnimationSpeed = 1000000; // waits of no length
    auto Dest = Canvas500();
    QElapsedTimer Clock;
    Clock.start();
    QEventLoop* Loop = nullptr;
    qint64 PaintAt = 0;
    double LastMs = -1, MaxMs = 0;
    Image->OnFramePaint = [&](TGIFPainter* P) {
        PaintAt = Clock.nsecsElapsed();
        if (Rendered && P->ActiveImage >= 0 && P->ActiveImage < P->Image()->Images.Count())
            P->Image()->Images.GetFrame(P->ActiveImage)->FreeBitmap();
    };
    Image->OnFramePainted = [&](TGIFPainter*) {
        LastMs = static_cast<double>(Clock.nsecsElapsed() - PaintAt) / 1e6;
        if (Loop)
            Loop->quit();
    };
    TGIFPainter* Ref = nullptr;
    StartPainter(*Image, *Dest, Threaded, &Ref);
    for (auto _ : State) {
        LastMs = -1;
        RunEventLoop(Loop, [&] { return LastMs >= 0; }, 5000);
        if (LastMs < 0) {
            State.SkipWithError("no frame was drawn within 5 s");
            break;
        }
        State.SetIterationTime(LastMs / 1e3);
        MaxMs = std::max(MaxMs, LastMs);
    }
    State.counters["max_ms"] = MaxMs;
    EndPainting(*Image);
}

// ---- (b) Delays honoured --------------------------------------------------------------------------
// Plays 41 frames and takes the time each OnFramePainted arrives; every interval is set against the
// delay the painter means to keep (the file's units at 12 ms, at least 3 units, scaled by speed).
void BM_FrameDelays(benchmark::State& State)
{
    const bool Threaded = State.range(0) != 0;
    const auto Units = static_cast<uint16_t>(State.range(1));
    const int Speed = static_cast<int>(State.range(2));
    const double Nominal =
        static_cast<double>(MulDiv(std::max<int>(kMinimumDelayUnits, Units) * kMsPerDelayUnit, 100, Speed));
    constexpr int kIntervals = 40;
    for (auto _ : State) {
        auto Image = MakeAnimation(Units);
        Image->AnimationSpeed = Speed;
        auto Dest = Canvas500();
        QElapsedTimer Clock;
        Clock.start();
        QEventLoop* Loop = nullptr;
        std::vector<qint64> Arrivals;
        Image->OnFramePainted = [&](TGIFPainter*) {
            Arrivals.push_back(Clock.nsecsElapsed());
            if (Loop && static_cast<int>(Arrivals.size()) > kIntervals)
                Loop->quit();
        };
        TGIFPainter* Ref = nullptr;
        StartPainter(*Image, *Dest, Threaded, &Ref);
        RunEventLoop(Loop, [&] { return static_cast<int>(Arrivals.size()) > kIntervals; },
                     static_cast<int>(Nominal) * kIntervals * 3 + 2000);
        EndPainting(*Image);
        if (static_cast<int>(Arrivals.size()) <= kIntervals) {
            State.SkipWithError("the animation did not play all its frames");
            break;
        }
        double SumAbs = 0, MaxAbs = 0, Sum = 0;
        for (int I = 1; I <= kIntervals; ++I) {
            const double Interval = static_cast<double>(Arrivals[I] - Arrivals[I - 1]) / 1e6;
            const double Deviation = Interval - Nominal;
            Sum += Interval;
            SumAbs += std::fabs(Deviation);
            MaxAbs = std::max(MaxAbs, std::fabs(Deviation));
        }
        const double Total = static_cast<double>(Arrivals[kIntervals] - Arrivals[0]) / 1e6;
        State.SetIterationTime(Total / 1e3);
        State.counters["nominal_ms"] = Nominal;
        State.counters["mean_interval_ms"] = Sum / kIntervals;
        State.counters["mean_dev_ms"] = SumAbs / kIntervals;
        State.counters["max_dev_ms"] = MaxAbs;
        State.counters["drift_ms"] = Total - Nominal * kIntervals;
    }
}

// ---- (c) CPU of an idle painter ---------------------------------------------------------------------
// Process and GUI-thread CPU over 200 ms of the event loop while a painter waits out a delay of about
// 12 s after its first frame; mode 0 is the same wait with no painter, the baseline.
void BM_IdlePainterCPU(benchmark::State& State)
{
    const int Mode = static_cast<int>(State.range(0)); // 0 none, 1 threaded, 2 unthreaded
    constexpr int kWaitMs = 200;
    for (auto _ : State) {
        auto Image = MakeAnimation(1000);
        auto Dest = Canvas500();
        QEventLoop* Loop = nullptr;
        int Painted = 0;
        Image->OnFramePainted = [&](TGIFPainter*) {
            ++Painted;
            if (Loop)
                Loop->quit();
        };
        TGIFPainter* Ref = nullptr;
        if (Mode != 0) {
            StartPainter(*Image, *Dest, Mode == 1, &Ref);
            RunEventLoop(Loop, [&] { return Painted > 0; }, 5000);
            if (Painted == 0) {
                EndPainting(*Image);
                State.SkipWithError("the painter drew no frame");
                break;
            }
        }
        const double Process0 = CPUMs(CLOCK_PROCESS_CPUTIME_ID), Thread0 = CPUMs(CLOCK_THREAD_CPUTIME_ID);
        QElapsedTimer Wall;
        Wall.start();
        RunEventLoop(Loop, [] { return false; }, kWaitMs);
        const double WallMs = static_cast<double>(Wall.nsecsElapsed()) / 1e6;
        const double Process = CPUMs(CLOCK_PROCESS_CPUTIME_ID) - Process0;
        const double GUI = CPUMs(CLOCK_THREAD_CPUTIME_ID) - Thread0;
        const int PaintedInWait = Painted - (Mode != 0 ? 1 : 0);
        EndPainting(*Image);
        State.SetIterationTime(WallMs / 1e3);
        State.counters["process_cpu_ms"] = Process;
        State.counters["gui_thread_cpu_ms"] = GUI;
        State.counters["cpu_percent"] = 100.0 * Process / WallMs;
        State.counters["frames_in_wait"] = PaintedInWait;
    }
}

BENCHMARK(BM_ComposeAndDrawFrame500)
    ->ArgNames({"threaded", "rendered"})
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->UseManualTime()
    ->Iterations(400)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameDelays)
    ->ArgNames({"threaded", "units", "speed"})
    ->ArgsProduct({{1, 0}, {1}, {100}})  // the file's 10 ms: 3 units, 36 ms
    ->ArgsProduct({{1, 0}, {5}, {100}})  // the file's 50 ms: 60 ms
    ->ArgsProduct({{1, 0}, {5}, {600}})  // 10 ms waits
    ->ArgsProduct({{1, 0}, {5}, {120}})  // 50 ms waits
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdlePainterCPU)->ArgName("mode")->DenseRange(0, 2)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

int TimeOperation(int, char** Argv)
{
    std::fprintf(stderr, "%s has no --time operations\n", Argv[0]);
    return 2;
}

} // namespace

int main(int Argc, char** Argv)
{
    // Painting needs a GUI application and its event loop; no display is used.
    return WidgetBenchMain(Argc, Argv, TimeOperation);
}
