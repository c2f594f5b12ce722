// Painters: the frames they compose against ImageMagick's coalesced frames, stopping, destruction
// during a synchronised draw, two painters on one image, errors and degenerate loops.
#include "GIFTestSupport.h"

#include "support/Fixtures.h"
#include "gif/GIFPainter.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fstream>
#include <iterator>

using namespace gif_test;

namespace {

Bytes ReadFile(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

const TColor kUnder = RGB(90, 60, 30);

Bytes BitmapRGB(const TBitmap& B)
{
    Bytes Out;
    for (int Y = 0; Y < B.Height(); ++Y)
        for (int X = 0; X < B.Width(); ++X) {
            const TColor C = ColorToRGB(B.GetPixel(X, Y));
            Out.insert(Out.end(), {static_cast<uint8_t>(C & 0xFF), static_cast<uint8_t>((C >> 8) & 0xFF),
                                   static_cast<uint8_t>((C >> 16) & 0xFF)});
        }
    return Bytes(Out);
}

// Runs the event loop until Done or the (generous) time-out.
template <typename Fn>
bool ProcessUntil(Fn&& Done, int TimeoutMs = 5000)
{
    QElapsedTimer T;
    T.start();
    while (!Done() && T.elapsed() < TimeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return Done();
}

struct TLoaded {
    explicit TLoaded(const std::string& Name) { W.Load(ReadFile(FixturePath("gif/fixtures/" + Name + ".gif"))); }
    TWarnedImage W;
    TGIFImage& Image() { return W.Image; }
};

// A destination of the image's size filled with kUnder.
std::unique_ptr<TBitmap> Destination(const TGIFImage& Image)
{
    auto B = std::make_unique<TBitmap>(Image.Width(), Image.Height(), pf24bit);
    B->Canvas().Brush.Color = kUnder;
    B->Canvas().FillRect(Rect(0, 0, B->Width(), B->Height()));
    return B;
}

const char* const kAnimations[] = {"anim-undefined", "anim-none", "anim-background", "anim-previous", "anim-mixed"};

} // namespace

// Every frame a painter shows, in both modes, is ImageMagick's coalesced frame pixel for pixel.
TEST(GIFPainter, FramesEqualImageMagickCoalesce)
{
    for (const bool Threaded : {true, false})
        for (const char* Name : kAnimations) {
            SCOPED_TRACE(std::string(Name) + (Threaded ? " threaded" : " timer"));
            TLoaded L(Name);
            TGIFImage& Image = L.Image();
            Image.AnimationSpeed = 2000; // short waits
            auto Dest = Destination(Image);
            std::vector<Bytes> Shown;
            bool Ended = false;
            Image.OnFramePainted = [&](TGIFPainter*) { Shown.push_back(BitmapRGB(*Dest)); };
            Image.OnPaintEnd = [&](TGIFPainter*) { Ended = true; };
            TGIFPainter* Ref = nullptr;
            const uint16_t Options = DrawTransparent | DrawAnimated | (Threaded ? DrawInThread : 0);
            if (TGIFPainter* P = Image.Paint(Dest->Canvas(), Rect(0, 0, Image.Width(), Image.Height()), Options, &Ref))
                P->Start();
            ASSERT_TRUE(ProcessUntil([&] { return Ended && Ref == nullptr; }));
            ASSERT_EQ(static_cast<int>(Shown.size()), Image.Images.Count());
            for (size_t i = 0; i < Shown.size(); ++i)
                EXPECT_EQ(Shown[i], ReadFile(FixturePath(std::string("gif/fixtures/") + Name + ".c" +
                                                         std::to_string(i) + ".rgb")))
                    << "frame " << i;
            EXPECT_TRUE(Image.Painters.empty());
        }
}

// A frame delay of 1 or 2 hundredths is raised to the minimum of 3 before the painter waits, so a
// pass of such frames takes at least the minimum for each wait (a lower bound only: a slow machine
// makes the pass longer, never shorter).
TEST(GIFPainter, TooShortDelaysAreRaisedToTheMinimum)
{
    for (const bool Threaded : {true, false})
        for (const uint16_t Delay : {1, 2}) {
            SCOPED_TRACE(testing::Message() << "delay " << Delay << (Threaded ? " threaded" : " timer"));
            TLoaded L("anim-none"); // one pass
            TGIFImage& Image = L.Image();
            const int N = Image.Images.Count();
            ASSERT_GE(N, 3);
            for (int i = 0; i < N; ++i) {
                TGIFGraphicControlExtension* GCE = Image.Images.GetFrame(i)->GraphicControlExtension;
                ASSERT_NE(GCE, nullptr);
                GCE->SetDelay(Delay);
            }
            Image.AnimationSpeed = 100;
            auto Dest = Destination(Image);
            std::vector<int64_t> At;
            QElapsedTimer Clock;
            Image.OnFramePainted = [&](TGIFPainter*) { At.push_back(Clock.elapsed()); };
            TGIFPainter* Ref = nullptr;
            const uint16_t Options = DrawTransparent | DrawAnimated | (Threaded ? DrawInThread : 0);
            Clock.start();
            if (TGIFPainter* P = Image.Paint(Dest->Canvas(), Rect(0, 0, Image.Width(), Image.Height()), Options, &Ref))
                P->Start();
            ASSERT_TRUE(ProcessUntil([&] { return Ref == nullptr; }));
            ASSERT_EQ(static_cast<int>(At.size()), N);
            // Waits of 3 hundredths at 12 ms each between the first frame and the last.
            EXPECT_GE(At.back() - At.front(), int64_t(N - 1) * 3 * 12 - 10);
        }
}

// Passes as the loop extension says: none or 1 give one, 2 and 3 give as many, 0 repeats until stopped.
TEST(GIFPainter, LoopCounts)
{
    const struct {
        const char* Name;
        int Passes; // 0: endless
    } Cases[] = {{"anim-none", 1}, {"anim-background", 2}, {"anim-mixed", 3}, {"anim-undefined", 0}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TLoaded L(C.Name);
        TGIFImage& Image = L.Image();
        Image.AnimationSpeed = 5000;
        auto Dest = Destination(Image);
        int Frames = 0;
        bool Ended = false;
        Image.OnFramePainted = [&](TGIFPainter*) { ++Frames; };
        Image.OnPaintEnd = [&](TGIFPainter*) { Ended = true; };
        TGIFPainter* Ref = nullptr;
        Image.Paint(Dest->Canvas(), Rect(0, 0, Image.Width(), Image.Height()), GIFImageDefaultDrawOptions, &Ref)
            ->Start();
        const int N = Image.Images.Count();
        if (C.Passes > 0) {
            ASSERT_TRUE(ProcessUntil([&] { return Ref == nullptr; }));
            EXPECT_TRUE(Ended);
            EXPECT_EQ(Frames, C.Passes * N);
        } else {
            ASSERT_TRUE(ProcessUntil([&] { return Frames >= 3 * N; }));
            EXPECT_NE(Ref, nullptr);
            Image.StopDraw();
            EXPECT_EQ(Ref, nullptr);
            EXPECT_FALSE(Ended); // stopped painters fire no more events
        }
    }
}

// Stopping at every stage of a pass (each event, and in the wait) ends the painter at once.
TEST(GIFPainter, StopDuringEveryStage)
{
    enum TStage { AtStart, AtFramePaint, AtFramePainted, AtLoop, InWait };
    for (const bool Threaded : {true, false})
        for (const TStage Stage : {AtStart, AtFramePaint, AtFramePainted, AtLoop, InWait}) {
            SCOPED_TRACE(std::to_string(Stage) + (Threaded ? " threaded" : " timer"));
            TLoaded L("anim-undefined");
            TGIFImage& Image = L.Image();
            Image.AnimationSpeed = Stage == InWait ? 1 : 5000; // a wait of about two minutes
            auto Dest = Destination(Image);
            int Events = 0;
            bool Stopped = false;
            const auto StopHere = [&](TStage S) {
                return [&, S](TGIFPainter* P) {
                    ++Events;
                    if (S == Stage && !Stopped) {
                        Stopped = true;
                        P->Image()->StopDraw();
                    }
                };
            };
            Image.OnPaintStart = StopHere(AtStart);
            Image.OnFramePaint = StopHere(AtFramePaint);
            Image.OnFramePainted = StopHere(AtFramePainted);
            Image.OnPaintLoop = StopHere(AtLoop);
            TGIFPainter* Ref = nullptr;
            const uint16_t Options =
                DrawTransparent | DrawAnimated | DrawRepeat | DrawRepeatEndless | (Threaded ? DrawInThread : 0);
            if (TGIFPainter* P = Image.Paint(Dest->Canvas(), Rect(0, 0, Image.Width(), Image.Height()), Options, &Ref))
                P->Start();
            if (Stage == InWait) {
                ASSERT_TRUE(ProcessUntil([&] { return Events >= 3; })); // start, first frame's two events
                QElapsedTimer T;
                T.start();
                Image.StopDraw();
                EXPECT_LT(T.elapsed(), 1000);
            } else {
                ASSERT_TRUE(ProcessUntil([&] { return Stopped; }));
            }
            EXPECT_EQ(Ref, nullptr);
            EXPECT_TRUE(Image.Painters.empty());
            const int Seen = Events;
            ProcessUntil([] { return false; }, 50);
            EXPECT_EQ(Events, Seen);
        }
}

// The image destroyed by a handler inside a synchronised draw: nothing touches it afterwards.
TEST(GIFPainter, DestroyedDuringSynchronisedDraw)
{
    for (const bool Threaded : {true, false}) {
        auto L = std::make_unique<TLoaded>("anim-previous");
        TGIFImage& Image = L->Image();
        auto Dest = Destination(Image);
        bool Gone = false;
        Image.OnFramePainted = [&](TGIFPainter*) {
            Gone = true;
            L.reset();
        };
        TGIFPainter* Ref = nullptr;
        const uint16_t Options = GIFImageDefaultDrawOptions & (Threaded ? 0xFFFF : ~DrawInThread);
        if (TGIFPainter* P = Image.Paint(Dest->Canvas(), Rect(0, 0, Image.Width(), Image.Height()), Options, &Ref))
            P->Start();
        ASSERT_TRUE(ProcessUntil([&] { return Gone; }));
        EXPECT_EQ(Ref, nullptr);
        ProcessUntil([] { return false; }, 50);
    }
}

// Two painters on one image, on two destinations, both play every frame; Draw shows the first frame.
TEST(GIFPainter, TwoPaintersAndDraw)
{
    TLoaded L("anim-mixed");
    TGIFImage& Image = L.Image();
    Image.AnimationSpeed = 3000;
    auto A = Destination(Image), B = Destination(Image);
    int Ends = 0;
    Image.OnPaintEnd = [&](TGIFPainter*) { ++Ends; };
    TGIFPainter *RA = nullptr, *RB = nullptr;
    const TRect R = Rect(0, 0, Image.Width(), Image.Height());
    Image.Paint(A->Canvas(), R, GIFImageDefaultDrawOptions, &RA)->Start();
    Image.Paint(B->Canvas(), R, GIFImageDefaultDrawOptions, &RB)->Start();
    EXPECT_EQ(Image.Painters.size(), 2u);
    ASSERT_TRUE(ProcessUntil([&] { return Ends == 2; }));
    EXPECT_EQ(BitmapRGB(*A), BitmapRGB(*B));
    EXPECT_EQ(BitmapRGB(*A), ReadFile(FixturePath("gif/fixtures/anim-mixed.c4.rgb")));

    // Draw starts a buffered painter and shows its first frame at once.
    auto C = Destination(Image);
    Image.Draw(C->Canvas(), R);
    EXPECT_NE(Image.DrawPainter, nullptr);
    EXPECT_EQ(BitmapRGB(*C), ReadFile(FixturePath("gif/fixtures/anim-mixed.c0.rgb")));
    Image.StopDraw();
    EXPECT_EQ(Image.DrawPainter, nullptr);
    EXPECT_EQ(Image.Bitmap, nullptr);
}

// An error in a painter ends it and is reported once; never-started painters leave on stop; a loop
// that starts at an empty frame ends.
TEST(GIFPainter, ErrorsAndDegenerateLoops)
{
    {
        TLoaded L("anim-undefined");
        TGIFImage& Image = L.Image();
        auto Dest = Destination(Image);
        int Errors = 0;
        Image.OnWarning = [&](const void*, TGIFSeverity S, const std::string& M) {
            if (S == gsPainterError && M == "broken handler")
                ++Errors;
        };
        Image.OnFramePaint = [](TGIFPainter*) { throw Exception("broken handler"); };
        TGIFPainter* Ref = nullptr;
        Image.Paint(Dest->Canvas(), Rect(0, 0, 24, 16), GIFImageDefaultDrawOptions | DrawRepeatEndless, &Ref)->Start();
        ASSERT_TRUE(ProcessUntil([&] { return Ref == nullptr; }));
        ProcessUntil([] { return false; }, 50);
        EXPECT_EQ(Errors, 1);
    }
    {
        TLoaded L("anim-undefined");
        TGIFPainter* Ref = nullptr;
        auto Dest = Destination(L.Image());
        TGIFPainter* P = L.Image().Paint(Dest->Canvas(), Rect(0, 0, 24, 16), GIFImageDefaultDrawOptions, &Ref);
        ASSERT_NE(P, nullptr);
        P->Stop(); // never started
        ASSERT_TRUE(ProcessUntil([&] { return L.Image().Painters.empty(); }));
        EXPECT_EQ(Ref, nullptr);
    }
    {
        // The loop extension on frame 1; once the first pass is over, frame 1 is emptied: every
        // further pass starts at an empty frame and draws nothing, so the endless loop ends.
        TLoaded L("anim-mixed");
        TGIFImage& Image = L.Image();
        for (int i = 0; i < Image.Images.Count(); ++i)
            Image.Images.GetFrame(i)->Extensions.Delete(0); // no loop on frame 0 any more
        Image.Images.GetFrame(1)->Extensions.Add(new TGIFAppExtNSLoop(Image.Images.GetFrame(1)));
        Image.AnimationSpeed = 5000;
        int Loops = 0;
        Image.OnPaintLoop = [&](TGIFPainter* P) {
            ++Loops;
            TGIFSubImage* F = P->Image()->Images.GetFrame(1);
            F->Data.clear();
            F->Descriptor().Width = 0;
        };
        auto Dest = Destination(Image);
        TGIFPainter* Ref = nullptr;
        Image.Paint(Dest->Canvas(), Rect(0, 0, 24, 16), GIFImageDefaultDrawOptions | DrawRepeatEndless, &Ref)->Start();
        EXPECT_TRUE(ProcessUntil([&] { return Ref == nullptr; }));
        EXPECT_EQ(Loops, 1);
    }
    {
        // Empty rectangle: no painter.
        TLoaded L("anim-none");
        TBitmap Dest(4, 4);
        TGIFPainter* Ref = reinterpret_cast<TGIFPainter*>(&Dest);
        EXPECT_EQ(L.Image().Paint(Dest.Canvas(), Rect(2, 2, 2, 5), GIFImageDefaultDrawOptions, &Ref), nullptr);
        EXPECT_EQ(Ref, nullptr);
    }
}
