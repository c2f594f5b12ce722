// Compacted undo steps: after a stroke the step keeps only the changed rectangle, yet undo gives the
// same picture, size, selection and Modified back as the whole copy did.
#include "FakePicHost.h"
#include "picwin/CVPicChildWn.h"

#include "image/BitmapUtils.h"
#include "image/EffectsTestSupport.h"
#include "image/PicSelection.h"
#include "image/SelectionKinds.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using namespace effects_test;

namespace {

::testing::AssertionResult SamePicture(const TBitmap& A, const TBitmap& B)
{
    if (A.Width() != B.Width() || A.Height() != B.Height())
        return ::testing::AssertionFailure() << "size " << A.Width() << "x" << A.Height() << " vs " << B.Width()
                                             << "x" << B.Height();
    for (int y = 0; y < A.Height(); ++y)
        for (int x = 0; x < A.Width(); ++x)
            if (!SameTriple(A.Row24(y)[x], B.Row24(y)[x]))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs";
    return ::testing::AssertionSuccess();
}

class UndoCompact : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCVGlobal();
        BackgroundColour = clWhite;
        ForegroundColour = clBlack;
        TransparentSelection = false;
    }
    std::unique_ptr<TCVPicChildWin> NewWindow(int W = 40, int H = 30)
    {
        auto win = std::make_unique<TCVNewPicChildWin>(nullptr, &Host, "Pic", W, H, clWhite);
        TRng rng(5);
        RandomizePicture(win->Picture(), rng);
        return win;
    }
    // Records a general step as a tool's press does, runs Change, compacts; returns the step.
    TCVPicGenUndoAction* Stroke(TCVPicChildWin& W, const std::function<void(TEffectsBitmap&)>& Change)
    {
        auto* step = W.AddUndoAction<TCVPicGenUndoAction>();
        step->SetBitmap(&W.Picture());
        step->SetSelection(W.Selection());
        Change(W.Picture());
        W.Changed(pcPixels, true);
        W.CompactUndoStep();
        return step;
    }
    TFakeHost Host;
};

void Paint(TBitmap& B, const TRect& R, TColor C)
{
    for (int y = R.Top; y < R.Bottom; ++y)
        for (int x = R.Left; x < R.Right; ++x)
            B.Row24(y)[x] = ColorToTriple(C);
}

} // namespace

TEST(ChangedRect, BoundsTheDifferingPixelsOnly)
{
    struct Case {
        const char* Name;
        TRect Changed; // painted; empty: nothing
        TRect Expected;
    };
    const Case cases[] = {
        {"nothing", Rect(0, 0, 0, 0), Rect(0, 0, 0, 0)},
        {"top left pixel", Rect(0, 0, 1, 1), Rect(0, 0, 1, 1)},
        {"bottom right pixel", Rect(132, 69, 133, 70), Rect(132, 69, 133, 70)},
        {"middle block", Rect(40, 10, 100, 50), Rect(40, 10, 100, 50)},
        {"everything", Rect(0, 0, 133, 70), Rect(0, 0, 133, 70)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TBitmap a(133, 70), b(133, 70); // a row of 399 bytes: padded, longer than one compare block
        TRng rng(3);
        RandomizePicture(a, rng);
        CopyBitmap(a, b);
        // The new colour differs from every old one in one channel at least.
        for (int y = c.Changed.Top; y < c.Changed.Bottom; ++y)
            for (int x = c.Changed.Left; x < c.Changed.Right; ++x)
                b.Row24(y)[x].rgbtGreen = uint8_t(a.Row24(y)[x].rgbtGreen ^ 0x80);
        TRect r;
        ASSERT_TRUE(FindChangedRect(a, b, r));
        EXPECT_EQ(r, c.Expected);
    }
}

TEST(ChangedRect, RefusesBitmapsOfAnotherSizeOrFormat)
{
    TBitmap a(10, 10), b(11, 10), c(10, 10, pf8bit);
    TRect r;
    EXPECT_FALSE(FindChangedRect(a, b, r));
    EXPECT_FALSE(FindChangedRect(a, c, r));
}

TEST_F(UndoCompact, UndoOfACompactedStrokeGivesThePictureBackExactly)
{
    struct Case {
        const char* Name;
        TRect Painted; // empty: the stroke changed nothing
    };
    const Case cases[] = {
        {"top left corner", Rect(0, 0, 5, 4)},
        {"bottom right corner", Rect(33, 25, 40, 30)},
        {"a fill of everything", Rect(0, 0, 40, 30)},
        {"no change at all", Rect(0, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto win = NewWindow();
        TBitmap before;
        CopyBitmap(win->Picture(), before);
        const size_t whole = size_t(before.RowBytes()) * before.Height();
        auto* step = Stroke(*win, [&](TEffectsBitmap& P) { Paint(P, c.Painted, clRed); });
        EXPECT_TRUE(step->Compacted());
        EXPECT_EQ(step->CompactRect(), IsRectEmpty(c.Painted) ? Rect(0, 0, 0, 0) : c.Painted);
        if (c.Painted.Width() < 40) {
            EXPECT_LT(win->UndoList().HeldBytes(), whole);
        }
        EXPECT_TRUE(win->Modified());
        win->Undo();
        EXPECT_TRUE(SamePicture(win->Picture(), before));
        EXPECT_FALSE(win->Modified());
        EXPECT_EQ(win->UndoList().Count(), 0);
    }
}

TEST_F(UndoCompact, SeveralCompactedStepsUndoOneAfterAnother)
{
    auto win = NewWindow();
    TBitmap s0, s1;
    CopyBitmap(win->Picture(), s0);
    Stroke(*win, [](TEffectsBitmap& P) { Paint(P, Rect(2, 2, 12, 8), clRed); });
    CopyBitmap(win->Picture(), s1);
    // The second stroke crosses the first.
    Stroke(*win, [](TEffectsBitmap& P) { Paint(P, Rect(8, 5, 30, 20), clBlue); });
    win->Undo();
    EXPECT_TRUE(SamePicture(win->Picture(), s1));
    win->Undo();
    EXPECT_TRUE(SamePicture(win->Picture(), s0));
}

TEST_F(UndoCompact, AStepWithASelectionGetsTheSelectionBackAsRecorded)
{
    auto win = NewWindow();
    win->NewRectSelection(Rect(4, 4, 14, 12), -1);
    ASSERT_NE(win->Selection(), nullptr);
    TBitmap before, selPixels;
    CopyBitmap(win->Picture(), before);
    CopyBitmap(win->Selection()->Picture(), selPixels);
    const TRect bounds = win->Selection()->Bounds();
    // A painting press drops the selection into the picture, then paints.
    auto* step = Stroke(*win, [&](TEffectsBitmap& P) {
        win->DropSelection(true, true);
        Paint(P, Rect(20, 20, 25, 24), clRed);
    });
    EXPECT_TRUE(step->Compacted());
    EXPECT_EQ(win->Selection(), nullptr);
    win->Undo();
    ASSERT_NE(win->Selection(), nullptr);
    EXPECT_EQ(win->Selection()->Bounds(), bounds);
    EXPECT_TRUE(SamePicture(win->Selection()->Picture(), selPixels));
    EXPECT_TRUE(SamePicture(win->Picture(), before));
}

TEST_F(UndoCompact, ASmallStrokeOnALargePictureHoldsOnlyItsRectangle)
{
    auto win = NewWindow(2000, 1500);
    auto* step = Stroke(*win, [](TEffectsBitmap& P) { Paint(P, Rect(100, 200, 150, 260), clRed); });
    EXPECT_EQ(step->CompactRect(), Rect(100, 200, 150, 260));
    EXPECT_LE(win->UndoList().HeldBytes(), size_t(50 * 3 + 3) * 60);
}

TEST_F(UndoCompact, StepsThatChangedThePictureSizeStayWhole)
{
    auto win = NewWindow();
    TBitmap before;
    CopyBitmap(win->Picture(), before);
    win->ResizePicture(20, 15);
    win->CompactUndoStep();
    auto* step = dynamic_cast<TCVPicGenUndoAction*>(win->UndoList().Items(0));
    ASSERT_NE(step, nullptr);
    EXPECT_FALSE(step->Compacted());
    EXPECT_EQ(step->Bitmap()->Width(), 40);
    win->Undo();
    EXPECT_TRUE(SamePicture(win->Picture(), before));
}

TEST_F(UndoCompact, CompactingTwiceOrAStepWithoutACopyChangesNothing)
{
    auto win = NewWindow();
    auto* step = Stroke(*win, [](TEffectsBitmap& P) { Paint(P, Rect(1, 1, 3, 3), clRed); });
    EXPECT_FALSE(step->Compact(win->Picture()));
    EXPECT_EQ(step->CompactRect(), Rect(1, 1, 3, 3));
    auto* empty = win->AddUndoAction<TCVPicGenUndoAction>();
    EXPECT_FALSE(empty->Compact(win->Picture()));
}
