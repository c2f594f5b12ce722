#pragma once
// Painters play an animated GIF image on a canvas: the frames one after the other with their delays,
// each frame's disposal honoured, repeated as the loop extension says.
//
// Every read of the frames, every canvas operation and every event runs on the GUI thread. A painter
// that draws in a thread only keeps time there: it asks the GUI thread to run the next step of the
// play loop (a queued call that it waits for) and waits out the delays on a condition variable.
// Stopping sets the stop flag and wakes it, which also makes a synchronised call it waits in return
// at once; the image then joins the thread. An unthreaded painter is driven by a single-shot timer on
// the GUI thread. Painters are created, listed, stopped and destroyed on the GUI thread only.
#include "gif/GIFExtensions.h"
#include "gif/GIFImage.h"

#include <QObject>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class QTimer;
class TGIFPainter;

// The painter threads (of any image) that have not ended yet. Each runs under the name "gif-painter".
int GIFPainterThreadsRunning();

// Severity with which a painter reports the error that ended it to the image's Warning.
constexpr TGIFSeverity gsPainterError = 2;

// A painter's receiver of queued calls on the GUI thread: the thread's requests, its end, and the
// timer of an unthreaded painter. Calls that arrive after the painter is gone do nothing.
class TGIFPainterLink : public QObject {
    Q_OBJECT
public:
    TGIFPainter* Painter = nullptr;
public slots:
    void Serve();
    void ThreadEnded();
    void TimerFired();
};

class TGIFPainter {
public:
    // Results of a step of the play loop: milliseconds to wait before the next one, or one of these.
    static constexpr int WaitInfinite = -1;
    static constexpr int StepDone = -2;

    // Made by TGIFImage::Paint only. PainterRef (may be null) names the painter until it leaves.
    TGIFPainter(TGIFImage* AImage, TCanvas* ACanvas, const TRect& ARect, uint16_t AOptions,
                TGIFPainter** APainterRef);
    ~TGIFPainter();
    TGIFPainter(const TGIFPainter&) = delete;
    TGIFPainter& operator=(const TGIFPainter&) = delete;

    // A threaded painter's thread starts (once); an unthreaded one is not touched.
    void Start();
    // Asks the painter to end: the stop flag is set and a waiting thread wakes at once. A painter
    // that never got going leaves its image soon after, from the event loop.
    void Stop();
    bool Terminated() const;
    bool Threaded() const { return (Options & DrawInThread) != 0; }

    // ---- Fields ----
    TGIFImage* Image() const { return FImage; }
    TCanvas* Canvas = nullptr;
    TRect Rect;
    uint16_t Options = 0;
    int32_t Speed = 100;
    // Index of the frame being shown; -1 before the start and after the end. An OnFramePainted
    // handler may set it to choose the next frame.
    int ActiveImage = -1;
    uint8_t Disposal = dmNoDisposal;
    uint8_t OldDisposal = dmNoDisposal;
    // The composed picture and the scratch picture for restore-to-previous (Rect's size), and what
    // lay under Rect when the painter was made (with transparency and restore-to-background).
    std::unique_ptr<TBitmap> BackupBuffer;
    std::unique_ptr<TBitmap> FrameBuffer;
    std::unique_ptr<TBitmap> Background;
    TColor BackgroundColor = clWhite;
    // Set when a frame has been drawn.
    bool Started = false;
    TGIFPainter** PainterRef = nullptr;
    TThreadPriority Priority = tpNormal;
    // The message of the error that ended the painter ("" when none); it was reported once to the
    // image's Warning with gsPainterError.
    std::string PainterError;

    TGIFPainterEvent OnPaintStart, OnFramePaint, OnFramePainted, OnPaintLoop, OnPaintEnd;

    // ---- Used by the image (GUI thread) ----
    // Leaves the image: PainterRef cleared when it still names this painter, out of the image's
    // list, no image any more. Safe to repeat.
    void LeaveImage();
    // Waits up to TimeoutMs for the thread to end after Stop and joins it; false when it did not end
    // in time (it is then left to end by itself, touching nothing but its own state).
    bool WaitFor(int TimeoutMs);
    // Destroys the painter now, or when the step it is in returns.
    void Release();
    // Runs the thread's pending requests on this (GUI) thread until a frame has been drawn, the
    // painter stops or ends, or TimeoutMs pass.
    void ServeUntilStarted(int TimeoutMs);
    // Runs the first step of an unthreaded painter and arms its timer.
    void RunUnthreaded();

    // The state shared with the painter's thread.
    struct TShared;

private:
    friend class TGIFPainterLink;
    enum class TPhase { Begin, BeforeFrame, AfterWait, Done };

    // One step of the play loop on the GUI thread; catches every error. May destroy the painter
    // when it was released meanwhile (the result is then StepDone).
    int GUIStep();
    int Step();
    int BeginPass();
    int BeforeFrame();
    int DrawFrame();
    int EndPass();
    int End();
    bool Fire(const TGIFPainterEvent& Event);
    bool Stopping() const;
    TGIFSubImage* Frame(int Index) const;
    void PaintFrame(TGIFSubImage& Frame);
    void PaintDisposed(TGIFSubImage& Frame);
    void RestoreBackground(TGIFSubImage& Frame, TBitmap& Target);
    void ServeRequest();
    void OnThreadEnded();
    void OnTimer();
    void Finish();

    TGIFImage* FImage = nullptr;
    std::shared_ptr<TShared> FShared;
    TGIFPainterLink* FLink = nullptr;
    QTimer* FTimer = nullptr;
    std::thread FThread;
    bool FThreadStarted = false;
    bool FInStep = false;
    bool FReleasePending = false;
    bool FFinishQueued = false;
    // Play loop state.
    TPhase FPhase = TPhase::Begin;
    int FLoopCount = 1;
    int FStartFrame = 0;
    bool FLoopFound = false;
    bool FDrewInPass = false;
    int FDelay = 0;
    int64_t FLastTime = 0;
    int64_t FLastDelay = 0;
};
