// Painters: the play loop as steps on the GUI thread, the painter thread that keeps time between
// them, and the unthreaded painter's timer.
#include "gif/GIFPainter.h"

#include "gif/GIFExtensions.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>

#include <pthread.h>

namespace {

// A delay unit of the file lasts this long at speed 100.
constexpr int MsPerDelayUnit = 12;
constexpr int DefaultDelay = 10;
constexpr int MinimumDelay = 3;
// Painters without a thread cut longer delays to this.
constexpr int MaximumDelay = 1000;

// Milliseconds on a monotonic clock shared by all painters.
int64_t NowMs()
{
    static const QElapsedTimer Clock = [] {
        QElapsedTimer T;
        T.start();
        return T;
    }();
    return Clock.elapsed();
}

} // namespace

// What the painter's thread and the GUI thread share; guarded by M, except Painter (GUI thread only).
struct TGIFPainter::TShared {
    std::mutex M;
    std::condition_variable CV;
    bool Terminated = false;
    // A step is asked for (Pending), is being run on the GUI thread (Serving), has been run (Done).
    bool Pending = false;
    bool Serving = false;
    bool Done = false;
    int Result = StepDone;
    // The thread has left its loop; Abandoned: nobody joins it, it deletes the link itself.
    bool Ended = false;
    bool Abandoned = false;
    // Set before the thread starts and not changed afterwards.
    TGIFPainterLink* Link = nullptr;
    // The painter while it lives (GUI thread only).
    TGIFPainter* Painter = nullptr;
};

namespace {

std::atomic<int> ThreadsRunning{0};

// The thread of a threaded painter: asks for the steps of the play loop and waits between them.
// It touches nothing but the shared state; queued calls to the link carry no data.
void RunPainterThread(std::shared_ptr<TGIFPainter::TShared> S)
{
    pthread_setname_np(pthread_self(), "gif-painter");
    // Runs a step on the GUI thread and waits for it, or returns at once when stopped.
    const auto Synchronize = [&S]() -> int {
        std::unique_lock<std::mutex> L(S->M);
        if (S->Terminated)
            return TGIFPainter::StepDone;
        S->Pending = true;
        S->Done = false;
        L.unlock();
        S->CV.notify_all();
        QMetaObject::invokeMethod(S->Link, "Serve", Qt::QueuedConnection);
        L.lock();
        S->CV.wait(L, [&S] { return S->Done || S->Terminated; });
        if (S->Terminated)
            return TGIFPainter::StepDone;
        S->Done = false;
        return S->Result;
    };
    int Ms = Synchronize();
    while (Ms != TGIFPainter::StepDone) {
        if (Ms > 0 || Ms == TGIFPainter::WaitInfinite) {
            std::unique_lock<std::mutex> L(S->M);
            const auto Woken = [&S] { return S->Terminated; };
            if (Ms == TGIFPainter::WaitInfinite)
                S->CV.wait(L, Woken);
            else
                S->CV.wait_for(L, std::chrono::milliseconds(Ms), Woken);
            if (S->Terminated)
                break;
        }
        Ms = Synchronize();
    }
    bool Abandoned;
    {
        std::lock_guard<std::mutex> L(S->M);
        --ThreadsRunning;
        S->Ended = true;
        Abandoned = S->Abandoned;
    }
    S->CV.notify_all();
    if (Abandoned)
        S->Link->deleteLater();
    else
        QMetaObject::invokeMethod(S->Link, "ThreadEnded", Qt::QueuedConnection);
}

} // namespace

int GIFPainterThreadsRunning()
{
    return ThreadsRunning.load();
}

// ---- Link -----------------------------------------------------------------------------------------

void TGIFPainterLink::Serve()
{
    if (Painter)
        Painter->ServeRequest();
}

void TGIFPainterLink::ThreadEnded()
{
    if (Painter)
        Painter->Finish();
}

void TGIFPainterLink::TimerFired()
{
    if (Painter)
        Painter->OnTimer();
}

// ---- Lifetime ---------------------------------------------------------------------------------------

TGIFPainter::TGIFPainter(TGIFImage* AImage, TCanvas* ACanvas, const TRect& ARect, uint16_t AOptions,
                         TGIFPainter** APainterRef)
    : Canvas(ACanvas), Rect(ARect), Options(AOptions), PainterRef(APainterRef), FImage(AImage),
      FShared(std::make_shared<TShared>())
{
    Speed = FImage->AnimationSpeed;
    TColor Color = FImage->BackgroundColor;
    if (Color == clNone)
        Color = FImage->GlobalColorMap().Count() == 0 ? clWindow : FImage->BackgroundColorOfFile();
    BackgroundColor = ColorToRGB(Color);

    // The disposal methods in use decide which buffers are needed.
    unsigned Disposals = 0;
    for (int i = 0; i < FImage->Images.Count(); ++i)
        if (const TGIFGraphicControlExtension* GCE = FImage->Images.GetFrame(i)->GraphicControlExtension)
            Disposals |= 1u << GCE->GetDisposal();
    if (Options & DrawClearFirst)
        Disposals |= 1u << dmBackground;
    const int W = Rect.Width(), H = Rect.Height();
    const TRect Clip{0, 0, W, H};
    if ((Disposals & (1u << dmBackground)) && (Options & DrawTransparent)) {
        Background = std::make_unique<TBitmap>(W, H, pf24bit);
        Background->Canvas().CopyRect(Clip, *Canvas, Rect);
    }
    if (Disposals & ((1u << dmBackground) | (1u << dmPrevious))) {
        BackupBuffer = std::make_unique<TBitmap>(W, H, pf24bit);
        BackupBuffer->Canvas().Brush.Color = BackgroundColor;
        BackupBuffer->Canvas().CopyRect(Clip, *Canvas, Rect);
        FrameBuffer = std::make_unique<TBitmap>(W, H, pf24bit);
        FrameBuffer->Canvas().Brush.Color = BackgroundColor;
    }
    FLink = new TGIFPainterLink;
    FLink->Painter = this;
    FShared->Link = FLink;
    FShared->Painter = this;
    if (PainterRef)
        *PainterRef = this;
}

TGIFPainter::~TGIFPainter()
{
    FShared->Painter = nullptr;
    LeaveImage();
    {
        std::lock_guard<std::mutex> L(FShared->M);
        FShared->Terminated = true;
    }
    FShared->CV.notify_all();
    WaitFor(100);
    if (FLink) {
        // Calls still queued for the link find no painter; the timer goes with the link.
        FLink->Painter = nullptr;
        if (FTimer)
            FTimer->stop();
        FLink->deleteLater();
    }
}

void TGIFPainter::Start()
{
    if (!Threaded() || FThreadStarted || Terminated())
        return;
    FThreadStarted = true;
    ++ThreadsRunning; // counted from here, so that a thread just made is never missed
    try {
        FThread = std::thread(RunPainterThread, FShared);
    } catch (...) {
        --ThreadsRunning;
        throw;
    }
}

void TGIFPainter::Stop()
{
    {
        std::lock_guard<std::mutex> L(FShared->M);
        FShared->Terminated = true;
    }
    FShared->CV.notify_all();
    Priority = tpNormal;
    if (FTimer)
        FTimer->stop();
    // A painter with no thread of its own and no step running leaves from the event loop.
    if (!FThreadStarted && !FFinishQueued && FLink) {
        FFinishQueued = true;
        QMetaObject::invokeMethod(FLink, "ThreadEnded", Qt::QueuedConnection);
    }
}

bool TGIFPainter::Terminated() const
{
    std::lock_guard<std::mutex> L(FShared->M);
    return FShared->Terminated;
}

bool TGIFPainter::Stopping() const
{
    return !FImage || Terminated();
}

void TGIFPainter::LeaveImage()
{
    if (!FImage)
        return;
    if (PainterRef && *PainterRef == this)
        *PainterRef = nullptr;
    PainterRef = nullptr;
    auto& List = FImage->Painters;
    List.erase(std::remove(List.begin(), List.end(), this), List.end());
    FImage = nullptr;
}

bool TGIFPainter::WaitFor(int TimeoutMs)
{
    if (!FThread.joinable())
        return true;
    {
        std::unique_lock<std::mutex> L(FShared->M);
        if (!FShared->CV.wait_for(L, std::chrono::milliseconds(std::max(0, TimeoutMs)),
                                  [this] { return FShared->Ended; })) {
            // Left to end by itself; it deletes the link when it does.
            FShared->Abandoned = true;
            L.unlock();
            FThread.detach();
            FLink->Painter = nullptr;
            FLink = nullptr;
            FTimer = nullptr;
            return false;
        }
    }
    FThread.join();
    return true;
}

void TGIFPainter::Release()
{
    if (FInStep)
        FReleasePending = true;
    else
        delete this;
}

void TGIFPainter::Finish()
{
    try {
        WaitFor(100);
        LeaveImage();
    } catch (...) {
    }
    Release();
}

// ---- Driving the steps ---------------------------------------------------------------------------------

void TGIFPainter::ServeRequest()
{
    const std::shared_ptr<TShared> S = FShared;
    {
        std::lock_guard<std::mutex> L(S->M);
        if (!S->Pending || S->Serving || S->Terminated)
            return;
        S->Serving = true;
    }
    const int Result = GUIStep(); // may destroy the painter
    {
        std::lock_guard<std::mutex> L(S->M);
        S->Serving = false;
        S->Pending = false;
        S->Done = true;
        S->Result = Result;
    }
    S->CV.notify_all();
}

void TGIFPainter::ServeUntilStarted(int TimeoutMs)
{
    const std::shared_ptr<TShared> S = FShared;
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    for (;;) {
        TGIFPainter* P = S->Painter;
        if (!P || P->Started)
            return;
        {
            std::unique_lock<std::mutex> L(S->M);
            const auto Ready = [&S] { return (S->Pending && !S->Serving) || S->Terminated || S->Ended; };
            if (!S->CV.wait_until(L, Deadline, Ready) || S->Terminated || S->Ended)
                return;
        }
        P->ServeRequest();
    }
}

void TGIFPainter::RunUnthreaded()
{
    FTimer = new QTimer(FLink);
    FTimer->setSingleShot(true);
    FTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(FTimer, &QTimer::timeout, FLink, &TGIFPainterLink::TimerFired);
    OnTimer();
}

void TGIFPainter::OnTimer()
{
    const std::shared_ptr<TShared> S = FShared;
    const int Result = GUIStep(); // may destroy the painter
    TGIFPainter* P = S->Painter;
    if (!P)
        return;
    if (Result == StepDone || P->Terminated())
        P->Finish();
    else
        P->FTimer->start(std::max(1, Result));
}

int TGIFPainter::GUIStep()
{
    if (FInStep)
        return StepDone;
    FInStep = true;
    int Result;
    try {
        Result = Step();
    } catch (const std::exception& E) {
        PainterError = E.what();
        Result = StepDone;
    } catch (...) {
        PainterError = "Unknown error while playing the animation";
        Result = StepDone;
    }
    FInStep = false;
    if (Result == StepDone && !PainterError.empty() && !Terminated()) {
        // Ends the painter; reported once, to the image while there is one.
        {
            std::lock_guard<std::mutex> L(FShared->M);
            FShared->Terminated = true;
        }
        FShared->CV.notify_all();
        if (FImage && !FReleasePending) {
            try {
                FImage->Warning(this, gsPainterError, PainterError);
            } catch (...) {
            }
        }
    }
    if (FReleasePending) {
        delete this;
        return StepDone;
    }
    return Result;
}

// ---- The play loop ---------------------------------------------------------------------------------

bool TGIFPainter::Fire(const TGIFPainterEvent& Event)
{
    if (Stopping())
        return false;
    if (Event)
        Event(this);
    return !Stopping();
}

TGIFSubImage* TGIFPainter::Frame(int Index) const
{
    if (!FImage || Index < 0 || Index >= FImage->Images.Count())
        return nullptr;
    return FImage->Images.GetFrame(Index);
}

int TGIFPainter::Step()
{
    switch (FPhase) {
    case TPhase::Begin:
        ActiveImage = 0;
        if (!Fire(OnPaintStart))
            return End();
        Started = false;
        FLoopCount = 1;
        FStartFrame = 0;
        FLoopFound = false;
        // The first frame is drawn at once.
        FDelay = 0;
        OldDisposal = dmNoDisposal;
        FLastTime = NowMs();
        FLastDelay = 0;
        return BeginPass();
    case TPhase::BeforeFrame:
        return BeforeFrame();
    case TPhase::AfterWait:
        return DrawFrame();
    case TPhase::Done:
        break;
    }
    return StepDone;
}

int TGIFPainter::BeginPass()
{
    if ((FLoopCount == 0 && !(Options & DrawRepeatEndless)) || Stopping())
        return End();
    ActiveImage = FStartFrame;
    FDrewInPass = false;
    if (Started && !Fire(OnPaintLoop))
        return End();
    return BeforeFrame();
}

int TGIFPainter::BeforeFrame()
{
    FPhase = TPhase::BeforeFrame;
    TGIFSubImage* F = Frame(ActiveImage);
    if (!F || Stopping() || F->Empty())
        return EndPass();
    if (FDelay < 1)
        return DrawFrame();
    // The frame is rendered before the wait, so that the wait covers the work.
    F->GetBitmap();
    if ((Options & DrawTransparent) && F->Transparent)
        F->HasMask();
    if (Stopping())
        return End();
    const int64_t Now = NowMs();
    int64_t Ms;
    if (Speed < 1) {
        Ms = Threaded() ? WaitInfinite : int64_t(MaximumDelay) * MsPerDelayUnit;
    } else {
        const int64_t Lag = ((Now - FLastTime) - FLastDelay) / 2;
        const int64_t Wanted = std::clamp<int64_t>(int64_t(FDelay) * MsPerDelayUnit - Lag, INT32_MIN / 2, INT32_MAX / 2);
        Ms = MulDiv(static_cast<int32_t>(Wanted), 100, Speed);
        FLastDelay = Ms;
    }
    FLastTime = Now;
    FPhase = TPhase::AfterWait;
    if (!Threaded())
        return static_cast<int>(std::max<int64_t>(1, Ms));
    if (Speed < 0)
        return 0;
    if (Speed == 0)
        return WaitInfinite;
    return static_cast<int>(std::max<int64_t>(0, Ms));
}

int TGIFPainter::DrawFrame()
{
    if (!Fire(OnFramePaint))
        return End();
    TGIFSubImage* F = Frame(ActiveImage);
    if (!F || F->Empty())
        return EndPass();
    Disposal = dmNoDisposal;
    for (int i = 0; i < F->Extensions.Count(); ++i) {
        TGIFExtension* E = F->Extensions.GetExtension(i);
        if (auto* Loop = dynamic_cast<TGIFAppExtNSLoop*>(E)) {
            if (!FLoopFound) {
                FLoopFound = true;
                FLoopCount = Loop->Loops;
                if ((FLoopCount == 0 || (Options & DrawRepeatEndless)) && Threaded())
                    FLoopCount = -1;
                FStartFrame = ActiveImage;
            }
        } else if (auto* GCE = dynamic_cast<TGIFGraphicControlExtension*>(E)) {
            Disposal = GCE->GetDisposal();
        }
    }
    // Rendering may report progress; nothing is drawn when that stopped the painter.
    F->GetBitmap();
    if ((Options & DrawTransparent) && F->Transparent)
        F->HasMask();
    if (Stopping())
        return End();
    if (BackupBuffer)
        PaintDisposed(*F);
    else
        PaintFrame(*F);
    OldDisposal = Disposal;
    FDrewInPass = true;
    if (FImage && FImage->Bitmap && Canvas == &FImage->Bitmap->Canvas())
        FImage->Changed(FImage);
    if (Stopping())
        return End();
    FDelay = DefaultDelay;
    if (const TGIFGraphicControlExtension* GCE = F->GraphicControlExtension; GCE && GCE->GetDelay() != 0) {
        FDelay = std::max<int>(MinimumDelay, GCE->GetDelay());
        if (!Threaded())
            FDelay = std::min(FDelay, MaximumDelay);
    }
    const int Shown = ActiveImage;
    if (!Fire(OnFramePainted))
        return End();
    if (ActiveImage == Shown)
        ++ActiveImage;
    if (Options & DrawAnimated)
        return BeforeFrame();
    return EndPass();
}

int TGIFPainter::EndPass()
{
    if (FLoopCount > 0)
        --FLoopCount;
    // A pass that drew nothing would only repeat itself.
    if (!FDrewInPass)
        return End();
    if ((Options & DrawAnimated) && (Options & DrawRepeat))
        return BeginPass();
    return End();
}

int TGIFPainter::End()
{
    FPhase = TPhase::Done;
    ActiveImage = -1;
    Fire(OnPaintEnd);
    return StepDone;
}

// ---- Drawing --------------------------------------------------------------------------------------

void TGIFPainter::PaintFrame(TGIFSubImage& F)
{
    F.Draw(*Canvas, Rect, (Options & DrawTransparent) != 0, (Options & DrawTiled) != 0);
    Started = true;
}

void TGIFPainter::PaintDisposed(TGIFSubImage& F)
{
    if ((Options & DrawCheckCanvas) && Canvas->Owner().Empty()) {
        Stop();
        return;
    }
    const bool ClearFirst = (Options & DrawClearFirst) && ActiveImage == 0;
    const TRect Clip{0, 0, BackupBuffer->Width(), BackupBuffer->Height()};
    TBitmap* Target = nullptr;
    TRect R = Clip;
    switch (Disposal) {
    case dmNone:
    case dmNoDisposal:
    case dmBackground:
        Target = BackupBuffer.get();
        break;
    case dmPrevious:
        if (OldDisposal == dmNone || OldDisposal == dmNoDisposal) {
            // Straight onto the destination: the buffer keeps the picture without this frame.
            R = Rect;
        } else {
            FrameBuffer->Canvas().CopyRect(Clip, BackupBuffer->Canvas(), Clip);
            Target = FrameBuffer.get();
        }
        break;
    default:
        Started = true;
        return;
    }
    if (ClearFirst)
        RestoreBackground(F, *BackupBuffer);
    F.Draw(Target ? Target->Canvas() : *Canvas, R, (Options & DrawTransparent) != 0, (Options & DrawTiled) != 0);
    if (Target)
        Canvas->CopyRect(Rect, Target->Canvas(), Clip);
    if (Disposal == dmBackground)
        RestoreBackground(F, *BackupBuffer);
    Started = true;
}

void TGIFPainter::RestoreBackground(TGIFSubImage& F, TBitmap& Target)
{
    const TRect Clip{0, 0, Target.Width(), Target.Height()};
    TCanvas& C = Target.Canvas();
    const auto Restore = [&](const TRect& Area) {
        if ((Options & DrawTransparent) && Background) {
            C.CopyRect(Area, Background->Canvas(), Area);
        } else {
            C.Brush.Color = BackgroundColor;
            C.Brush.Style = bsSolid;
            C.FillRect(Area);
        }
    };
    const int IW = FImage ? FImage->Width() : 0, IH = FImage ? FImage->Height() : 0;
    if ((Options & DrawTiled) && IW > 0 && IH > 0 && F.Width() != IW && F.Height() != IH) {
        for (int X = Clip.Left; X < Clip.Right; X += IW)
            for (int Y = Clip.Top; Y < Clip.Bottom; Y += IH)
                Restore(Bounds(X + F.Left(), Y + F.Top(), F.Width(), F.Height()));
    } else {
        Restore(F.ScaleRect(Clip));
    }
}
