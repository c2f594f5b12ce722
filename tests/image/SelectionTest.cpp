// The picture selection: creation, pictures and trimming, hit testing, drawing into patches, pasting,
// the effects on the lifted pixels, the marching ants, the clipboard copy and Assign.
#include "SelectionTestSupport.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include <cmath>
#include <limits>

using namespace selection_test;

namespace {

using TPicture = std::unique_ptr<TEffectsBitmap>;

// A W x H picture of Border with a (W - 2B) x (H - 2B) random inside (never Border's colour).
TPicture Framed(TRng& Rng, int W, int H, int B, TColor Border)
{
    auto p = RandomPicture(Rng, W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const bool edge = x < B || y < B || x >= W - B || y >= H - B;
            TRGBTriple& t = p->Row24(y)[x];
            if (edge)
                t = ColorToTriple(Border);
            else if (SameTriple(t, ColorToTriple(Border)))
                t.rgbtRed ^= 1;
        }
    return p;
}

// A selection over a 40 x 30 white parent holding Picture at TopLeft.
struct TFixture {
    TPicture Parent = MakePicture(40, 30, clWhite);
    std::unique_ptr<TPictureSelection> Selection = std::make_unique<TPictureSelection>(Parent.get());
    TFixture(TBitmap& Picture, TPoint TopLeft, TColor Transparent)
    {
        Selection->SetPicture(&Picture, TopLeft, Transparent);
    }
};

} // namespace

// ---- Creation and pictures -----------------------------------------------------------------------------

TEST(Selection, CreateNeedsAParent)
{
    TBitmap empty;
    EXPECT_EQ(SelectionError([] { TPictureSelection s(nullptr); }), CreationError("Parent Bitmap is invalid"));
    EXPECT_EQ(SelectionError([&] { TPictureSelection s(&empty); }), CreationError("Parent Bitmap is invalid"));
    auto parent = MakePicture(2, 2);
    TPictureSelection s(parent.get());
    EXPECT_EQ(s.OutlineZoom(), -1);
    EXPECT_TRUE(s.Picture().Empty());
    EXPECT_EQ(s.Picture().PixelFormat(), pf24bit);
}

TEST(Selection, SetPictureTrimsTransparentEdges)
{
    TRng rng(1);
    struct TCase {
        const char* Name;
        int Border;        // transparent border width
        TColor Transparent; // -1: no transparency
        TRect Bounds;       // expected, for a 12 x 10 picture placed at (5, 6)
    };
    const std::vector<TCase> cases = {
        {"two-pixel border", 2, clBlue, {7, 8, 15, 14}},
        {"content on every edge", 0, clBlue, {5, 6, 17, 16}},
        {"no transparency", 2, -1, {5, 6, 17, 16}},
    };
    for (const TCase& c : cases) {
        auto picture = Framed(rng, 12, 10, c.Border, clBlue);
        TFixture f(*picture, {5, 6}, c.Transparent);
        const TPictureSelection& s = *f.Selection;
        EXPECT_EQ(s.Bounds(), c.Bounds) << c.Name;
        EXPECT_EQ(s.HasMask(), c.Transparent >= 0) << c.Name;
        EXPECT_EQ(s.Transparent(), c.Transparent >= 0) << c.Name;
        EXPECT_FALSE(s.Irregular()) << c.Name;
        EXPECT_TRUE(Consistent(s)) << c.Name;
        // The picture is the source's rectangle under the bounds.
        for (int y = 0; y < s.Picture().Height(); ++y)
            for (int x = 0; x < s.Picture().Width(); ++x)
                ASSERT_EQ(PixelAt(s.Picture(), x, y), PixelAt(*picture, x + s.Bounds().Left - 5, y + s.Bounds().Top - 6))
                    << c.Name;
    }
}

TEST(Selection, TrimLeavesEmptyRowAndColumnContentAlone)
{
    // Content in one row or one column (or none) is not trimmed; the mask still marks it.
    const std::vector<TRect> contents = {{3, 4, 4, 5}, {1, 4, 7, 5}, {3, 1, 4, 7}, {0, 0, 0, 0}};
    for (const TRect& r : contents) {
        auto picture = MakePicture(8, 8, clLime);
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                SetPixelAt(*picture, x, y, Triple(9, 9, 9));
        TFixture f(*picture, {2, 2}, clLime);
        EXPECT_EQ(f.Selection->Bounds(), (TRect{2, 2, 10, 10}));
        EXPECT_TRUE(Consistent(*f.Selection));
    }
}

TEST(Selection, SetPictureOfItsOwnPictureAndOfNothing)
{
    TRng rng(2);
    auto picture = RandomPicture(rng, 6, 5);
    TFixture f(*picture, {1, 1}, -1);
    f.Selection->SetPicture(nullptr, {9, 9}, clRed); // nothing
    EXPECT_EQ(f.Selection->Bounds(), (TRect{1, 1, 7, 6}));
    f.Selection->SetPicture(&f.Selection->Picture(), {3, 3}, -1);
    EXPECT_EQ(f.Selection->Bounds(), (TRect{3, 3, 9, 8}));
    EXPECT_TRUE(SamePixels(f.Selection->Picture(), *picture));
}

TEST(Selection, ClearSelection)
{
    TManualAntsClock clock;
    auto picture = Framed(*std::make_unique<TRng>(3), 8, 8, 1, clRed);
    TFixture f(*picture, {0, 0}, clRed);
    TPictureSelection& s = *f.Selection;
    s.UpdateOutline({0, 0, 6, 6}, 1);
    s.StartMarchingAnts(false);
    s.Moving = true;
    s.ClearSelection();
    EXPECT_TRUE(s.Picture().Empty());
    EXPECT_TRUE(s.HasMask());
    EXPECT_EQ(s.Mask()->Width, 0);
    EXPECT_EQ(s.Outline().Count(), 0);
    EXPECT_EQ(s.OutlineZoom(), -1);
    EXPECT_FALSE(s.Moving);
    EXPECT_FALSE(s.AntsRunning());
    EXPECT_EQ(clock.Timers(), 0);
    EXPECT_TRUE(Consistent(s));
    EXPECT_FALSE(s.PointInSelection(1, 1));
}

// ---- Placement and hit testing --------------------------------------------------------------------

TEST(Selection, MoveToAndMoveBy)
{
    auto picture = MakePicture(4, 3, clRed);
    TFixture f(*picture, {1, 2}, -1);
    f.Selection->MoveTo(10, -5);
    EXPECT_EQ(f.Selection->Bounds(), (TRect{10, -5, 14, -2}));
    f.Selection->MoveBy(-3, 4);
    EXPECT_EQ(f.Selection->Bounds(), (TRect{7, -1, 11, 2}));
}

TEST(Selection, PointInSelection)
{
    // A one-pixel-wide masked line in column 2 of a 5 x 5 selection at (10, 10).
    auto picture = MakePicture(5, 5, clLime);
    for (int y = 0; y < 5; ++y)
        SetPixelAt(*picture, 2, y, Triple(1, 2, 3));
    struct TCase {
        int Zoom; // 0: outline never built
        TPoint P;
        bool Inside;
    };
    const std::vector<TCase> cases = {
        {1, {12, 12}, true},  {1, {11, 12}, true},  {1, {13, 14}, true},  {1, {10, 12}, false},
        {2, {11, 10}, true},  {0, {13, 12}, true},  {3, {11, 12}, false}, {3, {12, 12}, true},
        {1, {15, 12}, false}, {1, {12, 15}, false}, {1, {9, 12}, false},  {1, {12, 9}, false},
    };
    for (const TCase& c : cases) {
        TFixture f(*picture, {10, 10}, clLime);
        if (c.Zoom > 0)
            f.Selection->UpdateOutline({0, 0, 5 * c.Zoom, 5 * c.Zoom}, c.Zoom);
        EXPECT_EQ(f.Selection->PointInSelection(c.P.X, c.P.Y), c.Inside)
            << "zoom " << c.Zoom << " at " << c.P.X << ", " << c.P.Y;
    }
    // Without a mask the whole rectangle counts; its right and bottom edges do not.
    TFixture plain(*picture, {10, 10}, -1);
    EXPECT_TRUE(plain.Selection->PointInSelection(10, 14));
    EXPECT_FALSE(plain.Selection->PointInSelection(15, 10));
    EXPECT_FALSE(plain.Selection->PointInSelection(10, 15));
}

// ---- Drawing into patches and pasting ----------------------------------------------------------------

TEST(Selection, DrawOntoCopiesTheUnmaskedPartInsideThePatch)
{
    TRng rng(4);
    auto picture = RandomPicture(rng, 9, 7, 2); // two levels per channel: the key colour is common
    struct TCase {
        TRect Clip;
        int W, H; // the patch's size
    };
    const std::vector<TCase> cases = {
        {{0, 0, 40, 30}, 40, 30}, {{8, 9, 14, 12}, 6, 3}, {{12, 12, 30, 30}, 18, 18},
        {{20, 0, 30, 10}, 10, 10}, {{0, 0, 40, 30}, 11, 11}, // a patch smaller than its clip
    };
    for (const TColor transparent : {TColor(-1), clBlack}) {
        TFixture f(*picture, {6, 7}, transparent);
        for (const TCase& c : cases) {
            auto patch = RandomPicture(rng, c.W, c.H);
            auto expected = ClonePicture(*patch);
            for (const TPoint& p : SelectedPixels(*f.Selection)) {
                const int tx = p.X - c.Clip.Left, ty = p.Y - c.Clip.Top;
                if (PtInRect(c.Clip, p) && tx < c.W && ty < c.H)
                    SetPixelAt(*expected, tx, ty,
                               PixelAt(f.Selection->Picture(), p.X - f.Selection->Bounds().Left,
                                       p.Y - f.Selection->Bounds().Top));
            }
            f.Selection->DrawOnto(*patch, c.Clip);
            EXPECT_TRUE(SamePixels(*patch, *expected))
                << "transparent " << transparent << " clip " << c.Clip.Left << ", " << c.Clip.Top;
        }
    }
}

TEST(Selection, PasteInto)
{
    TRng rng(5);
    auto picture = RandomPicture(rng, 6, 5, 2);
    const std::vector<TPoint> places = {{3, 4}, {-2, -3}, {36, 27}, {40, 0}, {0, 30}, {-6, 2}, {2, -5}, {-7, -7}};
    for (const TColor transparent : {TColor(-1), clWhite})
        for (const TPoint& at : places) {
            TFixture f(*picture, {0, 0}, transparent);
            f.Selection->MoveTo(at.X, at.Y);
            auto target = RandomPicture(rng, 40, 30);
            auto expected = ClonePicture(*target);
            for (const TPoint& p : SelectedPixels(*f.Selection))
                if (p.X >= 0 && p.Y >= 0 && p.X < 40 && p.Y < 30)
                    SetPixelAt(*expected, p.X, p.Y,
                               PixelAt(f.Selection->Picture(), p.X - f.Selection->Bounds().Left,
                                       p.Y - f.Selection->Bounds().Top));
            f.Selection->PasteInto(target.get());
            EXPECT_TRUE(SamePixels(*target, *expected)) << "at " << at.X << ", " << at.Y;
        }
    TFixture f(*picture, {0, 0}, -1);
    f.Selection->PasteInto(nullptr); // nothing
    f.Selection->PasteIntoParent();
    EXPECT_EQ(PixelAt(*f.Parent, 5, 4), PixelAt(*picture, 5, 4));
}

// ---- Outline -----------------------------------------------------------------------------------

TEST(Selection, DrawOutlineOfARectangleIsCachedAndMoved)
{
    auto picture = MakePicture(4, 3, clRed);
    TFixture f(*picture, {2, 1}, -1);
    TPictureSelection& s = *f.Selection;
    // At zoom 2 the selection covers view pixels (4, 2) .. (12, 8); the image starts at view (1, 1).
    auto image = MakePicture(20, 12, clGray);
    s.DrawOutline(*image, {1, 1}, {4, 2, 12, 8}, 2);
    EXPECT_EQ(s.OutlineZoom(), 2);
    ASSERT_EQ(s.Outline().Count(), 1);
    EXPECT_EQ(s.Outline().GetPolygon(0)->Points(),
              (std::vector<TPoint>{{3, 1}, {10, 1}, {10, 6}, {3, 6}, {3, 1}}));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool border = (x == 3 || x == 10) ? (y >= 1 && y <= 6) : (y == 1 || y == 6) && x >= 3 && x <= 10;
            EXPECT_EQ(image->GetPixel(x, y) != clGray, border) << x << ", " << y;
        }
    // Same zoom: the polygon only moves.
    s.MoveBy(1, 0);
    s.DrawOutline(*image, {1, 1}, {6, 2, 14, 8}, 2);
    EXPECT_EQ(s.Outline().Origin(), (TPoint{5, 1}));
    EXPECT_EQ(s.Outline().GetPolygon(0)->Points()[0], (TPoint{5, 1}));
    s.DrawOutline(*image, {0, 0}, {0, 0, 4, 3}, 0); // no zoom: nothing
    EXPECT_EQ(s.OutlineZoom(), 2);
}

TEST(Selection, MaskedSelectionsAreTracedAgainAfterAZoomChange)
{
    auto picture = MakePicture(3, 3, clLime);
    SetPixelAt(*picture, 1, 1, Triple(5, 5, 5));
    TFixture f(*picture, {0, 0}, clLime);
    TPictureSelection& s = *f.Selection;
    EXPECT_EQ(s.Bounds(), (TRect{0, 0, 3, 3})); // one pixel of content: not trimmed
    QImage image(30, 30, QImage::Format_RGB32);
    image.fill(Qt::gray);
    s.DrawOutline(image, {-10, -10}, {0, 0, 12, 12}, 4);
    ASSERT_EQ(s.Outline().Count(), 1);
    EXPECT_EQ(s.Outline().GetPolygon(0)->Points(),
              (std::vector<TPoint>{{14, 17}, {14, 14}, {17, 14}, {17, 17}, {14, 17}}));
    EXPECT_EQ(image.pixelColor(14, 16), QColor(Qt::white)); // dash counter 1
    EXPECT_EQ(image.pixelColor(14, 14), QColor(Qt::black)); // dash counter 3
    s.DrawOutline(image, {0, 0}, {0, 0, 3, 3}, 1);
    ASSERT_EQ(s.Outline().Count(), 1);
    EXPECT_EQ(s.Outline().GetPolygon(0)->Points(), (std::vector<TPoint>{{1, 1}}));
}

// ---- Effects ------------------------------------------------------------------------------------------

TEST(Selection, GreyScaleAndNegativeKeepTheMaskTrue)
{
    TRng rng(6);
    auto picture = Framed(rng, 10, 8, 2, clBlack);
    {
        TFixture f(*picture, {1, 1}, clBlack);
        f.Selection->GreyScale();
        EXPECT_EQ(f.Selection->TransparentColour(), 255);
        EXPECT_TRUE(Consistent(*f.Selection));
        for (const TPoint& p : SelectedPixels(*f.Selection)) {
            const TRGBTriple t = PixelAt(f.Selection->Picture(), p.X - 3, p.Y - 3);
            ASSERT_TRUE(t.rgbtRed == t.rgbtGreen && t.rgbtGreen == t.rgbtBlue);
        }
    }
    {
        auto ring = MakePicture(6, 6, clBlack); // a hole of the transparent colour inside the content
        for (int y = 1; y < 5; ++y)
            for (int x = 1; x < 5; ++x)
                SetPixelAt(*ring, x, y, (x == 2 || x == 3) && (y == 2 || y == 3) ? Triple(0, 0, 0) : Triple(10, 20, 30));
        TFixture f(*ring, {0, 0}, clBlack);
        f.Selection->Negative();
        EXPECT_EQ(f.Selection->TransparentColour(), 0xFFFFFF);
        EXPECT_TRUE(Consistent(*f.Selection));
        EXPECT_EQ(PixelAt(f.Selection->Picture(), 0, 0), Triple(245, 235, 225));
    }
    // Without a mask: the plain picture operation, no transparent colour involved.
    TFixture plain(*picture, {0, 0}, -1);
    plain.Selection->Negative();
    EXPECT_EQ(plain.Selection->TransparentColour(), -1);
    EXPECT_EQ(PixelAt(plain.Selection->Picture(), 0, 0), Triple(255, 255, 255));
}

TEST(Selection, NeutralAdjustmentsChangeNothing)
{
    TRng rng(7);
    auto picture = Framed(rng, 9, 9, 1, clAqua);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::pair<const char*, std::function<void(TPictureSelection&)>>> cases = {
        {"Brighten 0", [](TPictureSelection& s) { s.Brighten(0); }},
        {"Gamma 1", [](TPictureSelection& s) { s.GammaCorrect(1.0); }},
        {"Gamma NaN", [nan](TPictureSelection& s) { s.GammaCorrect(nan); }},
        {"Blur 0", [](TPictureSelection& s) { s.Blur(0.0); }},
        {"Blur NaN", [nan](TPictureSelection& s) { s.Blur(nan); }},
        {"RGB 0", [](TPictureSelection& s) { s.AdjustRGB(0, 0, 0); }},
        {"Rotate 0", [](TPictureSelection& s) { s.Rotate(0); }},
        {"Rotate -90", [](TPictureSelection& s) { s.Rotate(-90); }},
    };
    for (const auto& [name, run] : cases) {
        TFixture f(*picture, {2, 2}, clAqua);
        TProgressLog log;
        log.Attach(f.Selection->Picture());
        const auto before = ClonePicture(f.Selection->Picture());
        const TRect bounds = f.Selection->Bounds();
        run(*f.Selection);
        EXPECT_TRUE(SamePixels(f.Selection->Picture(), *before)) << name;
        EXPECT_EQ(f.Selection->TransparentColour(), clAqua) << name;
        EXPECT_EQ(f.Selection->Bounds(), bounds) << name;
        EXPECT_TRUE(log.Silent()) << name;
    }
}

TEST(Selection, ToneEffectsPickANewTransparentColour)
{
    // Brightening makes the content reach the old transparent colour; a new one is chosen and the
    // masked pixels take it.
    auto picture = MakePicture(6, 6, clWhite);
    for (int y = 1; y < 5; ++y)
        for (int x = 1; x < 5; ++x)
            SetPixelAt(*picture, x, y, Triple(200, 200, 200));
    SetPixelAt(*picture, 2, 2, Triple(255, 255, 255)); // a hole
    const std::vector<std::pair<const char*, std::function<void(TPictureSelection&)>>> cases = {
        {"Brighten", [](TPictureSelection& s) { s.Brighten(40); }},
        {"Gamma", [](TPictureSelection& s) { s.GammaCorrect(0.01); }},
        {"RGB", [](TPictureSelection& s) { s.AdjustRGB(100, 100, 100); }},
        {"Blur", [](TPictureSelection& s) { s.Blur(2.0); }},
    };
    for (const auto& [name, run] : cases) {
        TFixture f(*picture, {0, 0}, clWhite);
        const TBool2DArray mask = *f.Selection->Mask();
        run(*f.Selection);
        EXPECT_TRUE(Consistent(*f.Selection)) << name;
        for (int y = 0; y < mask.Height; ++y)
            for (int x = 0; x < mask.Width; ++x)
                ASSERT_EQ(f.Selection->Mask()->GetItem(x, y), mask.GetItem(x, y)) << name;
    }
}

TEST(Selection, FlipAndMirrorRebuildTheMask)
{
    TRng rng(8);
    auto picture = RandomPicture(rng, 7, 5, 2);
    for (const bool flip : {true, false}) {
        TFixture f(*picture, {3, 3}, clBlack);
        f.Selection->UpdateOutline({0, 0, 7, 5}, 1);
        const auto before = ClonePicture(f.Selection->Picture());
        if (flip)
            f.Selection->Flip();
        else
            f.Selection->Mirror();
        EXPECT_TRUE(Consistent(*f.Selection));
        EXPECT_EQ(f.Selection->OutlineZoom(), -1);
        const TBitmap& p = f.Selection->Picture();
        EXPECT_EQ(PixelAt(p, 0, 0), flip ? PixelAt(*before, 0, p.Height() - 1) : PixelAt(*before, p.Width() - 1, 0));
    }
}

TEST(Selection, RotateMakesAPlainRectangleIrregular)
{
    TRng rng(9);
    auto picture = RandomPicture(rng, 3, 2);
    TFixture f(*picture, {10, 4}, -1);
    TPictureSelection& s = *f.Selection;
    s.Rotate(90);
    EXPECT_TRUE(s.Irregular());
    ASSERT_TRUE(s.HasMask());
    EXPECT_EQ(s.Bounds(), (TRect{10, 4, 12, 7}));
    EXPECT_TRUE(Consistent(s));
    EXPECT_EQ(SelectedPixels(s).size(), 6u); // nothing masked: the transparent colour is unused
    EXPECT_EQ(PixelAt(s.Picture(), 0, 0), PixelAt(*picture, 0, 1));
    // 45 degrees more: corners of the transparent colour, trimmed to the content.
    auto square = RandomPicture(rng, 20, 20);
    TFixture g(*square, {0, 0}, -1);
    g.Selection->Rotate(45);
    EXPECT_TRUE(Consistent(*g.Selection));
    EXPECT_TRUE(g.Selection->Mask()->GetItem(0, 0));
    EXPECT_FALSE(g.Selection->Mask()->GetItem(g.Selection->Picture().Width() / 2, g.Selection->Picture().Height() / 2));
}

// ---- Marching ants --------------------------------------------------------------------------------

TEST(SelectionAnts, TicksEvery400Milliseconds)
{
    TManualAntsClock clock;
    auto picture = MakePicture(2, 2);
    TFixture f(*picture, {0, 0}, -1);
    TPictureSelection& s = *f.Selection;
    std::vector<int> phases; // the phase each change notice saw
    s.OnChange = [&](TPictureSelection* Sender) { phases.push_back(Sender->AntsPhase()); };
    s.StartMarchingAnts(true);
    EXPECT_EQ(phases, (std::vector<int>{0}));
    clock.Advance(399);
    EXPECT_EQ(phases.size(), 1u);
    clock.Advance(1);
    clock.Advance(400 * 6);
    EXPECT_EQ(phases, (std::vector<int>{0, 1, 2, 3, 4, 5, 0, 1}));
    EXPECT_EQ(s.AntsPhase(), 2);
    s.StopMarchingAnts();
    clock.Advance(4000);
    EXPECT_EQ(phases.size(), 8u);
    EXPECT_EQ(clock.Timers(), 0);
    // Without Immediately the first tick waits for the interval; a restart replaces the timer.
    s.StartMarchingAnts(false);
    s.StartMarchingAnts(false);
    EXPECT_EQ(clock.Timers(), 1);
    EXPECT_EQ(phases.size(), 8u);
    clock.Advance(400);
    EXPECT_EQ(phases.size(), 9u);
}

TEST(SelectionAnts, AChangeHandlerMayEndTheSelection)
{
    TManualAntsClock clock;
    auto picture = MakePicture(2, 2);
    TFixture f(*picture, {0, 0}, -1);
    int changes = 0;
    f.Selection->OnChange = [&](TPictureSelection*) {
        ++changes;
        f.Selection.reset();
    };
    f.Selection->StartMarchingAnts(false);
    clock.Advance(1200);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(clock.Timers(), 0);

    TFixture g(*picture, {0, 0}, -1);
    g.Selection->OnChange = [&](TPictureSelection* Sender) { Sender->StopMarchingAnts(); };
    g.Selection->StartMarchingAnts(true);
    EXPECT_FALSE(g.Selection->AntsRunning());
}

TEST(SelectionAnts, TheEventLoopTimerTicksAndMayBeEndedInItsTick)
{
    int ticks = 0;
    std::unique_ptr<IAntsTimer> timer;
    timer = CreateAntsTimer(5, [&] {
        if (++ticks == 2)
            timer.reset();
    });
    EXPECT_FALSE(timer->Enabled());
    timer->SetEnabled(true);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !timer; }, 5000));
    QTest::qWait(30);
    EXPECT_EQ(ticks, 2);
}

// ---- Clipboard and Assign ------------------------------------------------------------------------------

TEST(Selection, CopyToClipboard)
{
    TRng rng(10);
    auto picture = Framed(rng, 8, 6, 1, clFuchsia);
    TRecordingClipboard clipboard;
    {
        TFixture masked(*picture, {0, 0}, clFuchsia), plain(*picture, {0, 0}, -1);
        EXPECT_FALSE(masked.Selection->CopyToClipboard()); // no clipboard installed
        TClipboardScope scope(&clipboard);
        EXPECT_TRUE(masked.Selection->CopyToClipboard());
        EXPECT_EQ(clipboard.Tag, clFuchsia);
        EXPECT_EQ(clipboard.Last.PixelFormat(), pf24bit);
        EXPECT_TRUE(SamePixels(clipboard.Last, masked.Selection->Picture()));
        EXPECT_TRUE(plain.Selection->CopyToClipboard());
        EXPECT_EQ(clipboard.Tag, -1);
        EXPECT_TRUE(SamePixels(clipboard.Last, *picture));
        clipboard.Fail = true;
        EXPECT_FALSE(plain.Selection->CopyToClipboard());
        clipboard.Fail = false;
        plain.Selection->ClearSelection();
        EXPECT_FALSE(plain.Selection->CopyToClipboard()); // nothing to copy
    }
    EXPECT_EQ(clipboard.Copies, 2);
}

TEST(Selection, AssignCopiesEverythingButTheTimer)
{
    TManualAntsClock clock;
    TRng rng(11);
    auto picture = Framed(rng, 8, 6, 1, clFuchsia);
    TFixture source(*picture, {4, 5}, clFuchsia);
    source.Selection->UpdateOutline({0, 0, 12, 8}, 2);
    source.Selection->StartMarchingAnts(true);
    int changes = 0;
    source.Selection->OnChange = [&](TPictureSelection*) { ++changes; };
    auto otherParent = MakePicture(5, 5);
    TPictureSelection copy(otherParent.get());
    copy.Assign(source.Selection.get());
    EXPECT_EQ(copy.ParentBitmap(), source.Parent.get());
    EXPECT_EQ(copy.Bounds(), source.Selection->Bounds());
    EXPECT_TRUE(SamePixels(copy.Picture(), source.Selection->Picture()));
    EXPECT_TRUE(copy.HasMask());
    EXPECT_TRUE(Consistent(copy));
    EXPECT_EQ(copy.TransparentColour(), clFuchsia);
    EXPECT_TRUE(copy.Transparent());
    EXPECT_EQ(copy.OutlineZoom(), 2);
    EXPECT_EQ(copy.Outline().Count(), source.Selection->Outline().Count());
    EXPECT_EQ(copy.AntsPhase(), 1);
    EXPECT_FALSE(copy.AntsRunning());
    copy.Changed();
    EXPECT_EQ(changes, 1);
    // A source without a mask frees the copy's.
    TFixture plain(*picture, {0, 0}, -1);
    copy.Assign(plain.Selection.get());
    EXPECT_FALSE(copy.HasMask());
    copy.Assign(nullptr);
    EXPECT_EQ(copy.Bounds(), plain.Selection->Bounds());
}
