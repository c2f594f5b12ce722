// The picture window's operations: the change flags each reports, the undo step each records (one
// undo gives back the picture and selection as they were), size changes with a floating selection,
// the clipboard operations and their failures, paste placement, crop of an irregular selection, and
// the adjustments' preview protocol.
#include "FakePicHost.h"
#include "picwin/CVPicChildWn.h"

#include "image/BitmapUtils.h"
#include "image/PicSelection.h"
#include "image/SelectionClipboard.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// A clipboard that keeps the last picture and can be told to fail.
struct TFakeClipboard : ISelectionClipboard {
    bool Fail = false;
    int Copies = 0;
    TBitmap Last;
    TColor LastTag = -2;
    bool Holds = false;
    void CopyBitmap(const TBitmap& Bitmap, TColor Tag) override
    {
        if (Fail)
            throw Exception("Cannot open clipboard");
        ++Copies;
        ::CopyBitmap(Bitmap, Last);
        LastTag = Tag;
        Holds = true;
    }
    bool HasPicture() const override { return Holds; }
    void PasteBitmap(TBitmap& Bitmap, TColor& Tag) const override
    {
        ::CopyBitmap(Last, Bitmap);
        Tag = LastTag;
    }
};

TRGBTriple Pattern(int X, int Y) { return TRGBTriple{uint8_t(X * 7 + 3), uint8_t(Y * 11 + 5), uint8_t(X * Y + 1)}; }

void FillPattern(TBitmap& B)
{
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            B.Row24(y)[x] = Pattern(x, y);
}

// A copy of a picture's pixels, kept apart from the picture.
struct TPicCopy {
    std::unique_ptr<TBitmap> Bitmap = std::make_unique<TBitmap>();
    operator const TBitmap&() const { return *Bitmap; }
};

TPicCopy Copy(const TBitmap& B)
{
    TPicCopy c;
    CopyBitmap(B, *c.Bitmap);
    return c;
}

::testing::AssertionResult SamePixels(const TBitmap& A, const TBitmap& B)
{
    if (A.Width() != B.Width() || A.Height() != B.Height())
        return ::testing::AssertionFailure() << A.Width() << " x " << A.Height() << " vs " << B.Width() << " x "
                                             << B.Height();
    for (int y = 0; y < A.Height(); ++y)
        for (int x = 0; x < A.Width(); ++x)
            if (!SameTriple(A.Row24(y)[x], B.Row24(y)[x]))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs";
    return ::testing::AssertionSuccess();
}

// What a window shows: the picture and the floating selection (bounds and pixels).
struct TState {
    TPicCopy Picture;
    bool HasSelection = false;
    TRect Bounds;
    TPicCopy SelectionPixels;
};

TState StateOf(TCVPicChildWin& W)
{
    TState s;
    s.Picture = Copy(W.Picture());
    if (TPictureSelection* sel = W.Selection()) {
        s.HasSelection = true;
        s.Bounds = sel->Bounds();
        s.SelectionPixels = Copy(sel->Picture());
    }
    return s;
}

::testing::AssertionResult SameState(const TState& A, const TState& B)
{
    if (auto r = SamePixels(A.Picture, B.Picture); !r)
        return r << " (picture)";
    if (A.HasSelection != B.HasSelection)
        return ::testing::AssertionFailure() << "selection " << A.HasSelection << " vs " << B.HasSelection;
    if (!A.HasSelection)
        return ::testing::AssertionSuccess();
    if (!(A.Bounds == B.Bounds))
        return ::testing::AssertionFailure() << "selection bounds differ";
    if (auto r = SamePixels(A.SelectionPixels, B.SelectionPixels); !r)
        return r << " (selection)";
    return ::testing::AssertionSuccess();
}

class PicOperations : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCVGlobal();
        SetSelectionClipboard(&Clipboard);
        BackgroundColour = clWhite;
        ForegroundColour = clBlack;
        TransparentSelection = false;
        // A selection that cannot be made says why here, not in a modal box.
        EventExceptionHandler = [this](QWidget*, const std::string& M) { Messages.push_back(M); };
    }
    void TearDown() override
    {
        SetSelectionClipboard(nullptr);
        EventExceptionHandler = nullptr;
    }

    // A window of a W x H patterned picture, its changes and progress starts logged.
    std::unique_ptr<TCVPicChildWin> NewWindow(int W = 20, int H = 16)
    {
        auto win = std::make_unique<TCVNewPicChildWin>(nullptr, &Host, "Pic", W, H, clWhite);
        FillPattern(win->Picture());
        win->OnPictureChange = [this](TCVPicChildWin*, TPictureChanges F) { Changes.push_back(F); };
        win->OnProgressStart = [this](TBasicCVChild*, int) { ++ProgressStarts; };
        return win;
    }
    void Select(TCVPicChildWin& W, TRect R = Rect(3, 2, 9, 7)) { W.NewRectSelection(R, -1); }

    TFakeHost Host;
    TFakeClipboard Clipboard;
    std::vector<TPictureChanges> Changes;
    std::vector<std::string> Messages;
    int ProgressStarts = 0;
};

using TFlags = std::vector<TPictureChanges>;

// ---- Flags and undo of each operation -----------------------------------------------------------------

TEST_F(PicOperations, EachOperationReportsItsFlagsAndOneUndoGivesTheStateBack)
{
    struct Case {
        const char* Name;
        bool WithSelection;
        std::function<void(TCVPicChildWin&)> Run;
        TFlags Flags;
    } cases[] = {
        {"clear", false, [](TCVPicChildWin& W) { W.ClearPicture(); }, {pcPixels}},
        {"clear selection", true, [](TCVPicChildWin& W) { W.ClearPicture(); }, {pcSelectionRemoved, pcPixels}},
        {"grey", false, [](TCVPicChildWin& W) { W.GreyScale(); }, {pcPixels}},
        {"grey selection", true, [](TCVPicChildWin& W) { W.GreyScale(); }, {pcSelectionPixels}},
        {"negative", false, [](TCVPicChildWin& W) { W.Negative(); }, {pcPixels}},
        {"negative selection", true, [](TCVPicChildWin& W) { W.Negative(); }, {pcSelectionPixels}},
        {"flip", false, [](TCVPicChildWin& W) { W.Flip(); }, {pcPixels}},
        {"flip selection", true, [](TCVPicChildWin& W) { W.Flip(); }, {pcSelectionPixels}},
        {"mirror", false, [](TCVPicChildWin& W) { W.Mirror(); }, {pcPixels}},
        {"mirror selection", true, [](TCVPicChildWin& W) { W.Mirror(); }, {pcSelectionPixels}},
        {"resize", false, [](TCVPicChildWin& W) { W.ResizePicture(31, 9); }, {25}},
        {"resize selection", true, [](TCVPicChildWin& W) { W.ResizePicture(31, 9); }, {pcSelectionRemoved, 25}},
        {"resample", false, [](TCVPicChildWin& W) { W.ResamplePicture(12, 30); }, {25}},
        {"resample selection", true, [](TCVPicChildWin& W) { W.ResamplePicture(12, 30); }, {pcSelectionRemoved, 25}},
        {"enlarge", false, [](TCVPicChildWin& W) { W.EnlargeCanvas(30, 20, true, clRed); }, {25}},
        {"enlarge selection", true, [](TCVPicChildWin& W) { W.EnlargeCanvas(30, 20, false, clRed); }, {25}},
        {"crop", true, [](TCVPicChildWin& W) { W.Crop(); }, {281}},
        {"select all", false, [](TCVPicChildWin& W) { W.SelectAll(); }, {33}},
        {"select all over selection", true, [](TCVPicChildWin& W) { W.SelectAll(); }, {pcSelectionRemoved, 33}},
        {"rotate", false, [](TCVPicChildWin& W) { W.RotatePicture(30, clRed, false); }, {25}},
        {"rotate selection", true, [](TCVPicChildWin& W) { W.RotatePicture(30, clRed, false); }, {pcSelectionPixels}},
        {"brighten", false, [](TCVPicChildWin& W) { W.BrightenPicture(40, false); }, {pcPixels}},
        {"gamma selection", true, [](TCVPicChildWin& W) { W.GammaCorrectPicture(1.8, false); }, {pcSelectionPixels}},
        {"blur", false, [](TCVPicChildWin& W) { W.BlurPicture(1.5, false); }, {pcPixels}},
        {"rgb selection", true, [](TCVPicChildWin& W) { W.AdjustRGBPicture(10, -20, 30, false); }, {pcSelectionPixels}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto win = NewWindow();
        if (c.WithSelection)
            Select(*win);
        ASSERT_EQ(win->Selection() != nullptr, c.WithSelection);
        win->SetModified(false);
        const TState before = StateOf(*win);
        const int steps = win->UndoList().Count();
        Changes.clear();
        c.Run(*win);
        EXPECT_EQ(Changes, c.Flags);
        EXPECT_TRUE(win->Modified());
        EXPECT_FALSE(SameState(StateOf(*win), before)) << "the operation changed nothing";
        ASSERT_EQ(win->UndoList().Count(), steps + 1);
        win->Undo();
        EXPECT_TRUE(SameState(StateOf(*win), before));
        EXPECT_FALSE(win->Modified());
    }
}

TEST_F(PicOperations, SelfInverseOperationsRecordOnlyTheirScope)
{
    auto win = NewWindow();
    win->Flip();
    auto* step = dynamic_cast<TCVPicFlipUndoAction*>(win->UndoList().Items(0));
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->Scope, usPicture);
    Select(*win);
    win->Negative();
    auto* neg = dynamic_cast<TCVPicNegUndoAction*>(win->UndoList().Items(0));
    ASSERT_NE(neg, nullptr);
    EXPECT_EQ(neg->Scope, usSelection);
    win->Mirror();
    EXPECT_NE(dynamic_cast<TCVPicMirrorUndoAction*>(win->UndoList().Items(0)), nullptr);
}

TEST_F(PicOperations, ResampleToTheCurrentSizeDoesNothingResizeRecordsAStep)
{
    auto win = NewWindow(20, 16);
    Changes.clear();
    win->ResamplePicture(20, 16);
    win->EnlargeCanvas(20, 16, true, clRed);
    EXPECT_EQ(win->UndoList().Count(), 0);
    EXPECT_TRUE(Changes.empty());
    win->ResizePicture(20, 16);
    EXPECT_EQ(win->UndoList().Count(), 1);
    EXPECT_EQ(Changes, (TFlags{25}));
}

TEST_F(PicOperations, SizeChangesFitTheWindowAndUndoFitsItBack)
{
    auto win = NewWindow(20, 16);
    const QSize small = win->size();
    win->ResizePicture(200, 100);
    EXPECT_EQ(win->Picture().Width(), 200);
    EXPECT_GT(win->width(), small.width());
    win->Undo();
    EXPECT_EQ(win->size(), small);
}

TEST_F(PicOperations, PasteResizeUndoUndoLeavesNoPastedPixels)
{
    auto win = NewWindow(20, 16);
    const TPicCopy original = Copy(win->Picture());
    TBitmap red(5, 4);
    red.Canvas().Brush.Color = clRed;
    red.Canvas().FillRect(Rect(0, 0, 5, 4));
    ASSERT_TRUE(win->PasteBitmap(&red, -1));
    const TState pasted = StateOf(*win);
    win->ResizePicture(40, 32);
    EXPECT_EQ(win->Selection(), nullptr);
    EXPECT_TRUE(SameTriple(win->Picture().Row24(0)[0], TRGBTriple{0, 0, 255})); // merged, then resized

    win->Undo();
    // The selection floats again over the picture as it was before the merge.
    EXPECT_TRUE(SameState(StateOf(*win), pasted));
    win->Undo();
    EXPECT_EQ(win->Selection(), nullptr);
    EXPECT_TRUE(SamePixels(win->Picture(), original));
}

TEST_F(PicOperations, EnlargeKeepsTheFloatingSelectionThroughUndo)
{
    auto win = NewWindow(20, 16);
    Select(*win);
    const TState before = StateOf(*win);
    win->EnlargeCanvas(30, 25, true, clRed);
    ASSERT_NE(win->Selection(), nullptr);
    EXPECT_EQ(win->Selection()->Bounds(), before.Bounds);
    EXPECT_TRUE(SameTriple(win->Picture().Row24(0)[0], TRGBTriple{0, 0, 255}));
    win->Undo();
    EXPECT_TRUE(SameState(StateOf(*win), before));
}

// ---- Crop and select all ---------------------------------------------------------------------------------------

TEST_F(PicOperations, CropOfAFreehandSelectionFillsWhatLayOutsideWithTheBackground)
{
    BackgroundColour = clLime;
    auto win = NewWindow(20, 16);
    TFreehandPoints path;
    for (TPoint p : {TPoint{2, 2}, TPoint{14, 2}, TPoint{14, 12}})
        path.Add(p);
    win->NewFreehandSelection(path, -1);
    ASSERT_NE(win->Selection(), nullptr) << (Messages.empty() ? "" : Messages.back());
    ASSERT_TRUE(win->Selection()->HasMask());
    const TRect b = win->Selection()->Bounds();
    const TColor key = win->Selection()->TransparentColour();
    Changes.clear();
    win->Crop();
    EXPECT_EQ(Changes, (TFlags{281}));
    EXPECT_EQ(win->Selection(), nullptr);
    TEffectsBitmap& p = win->Picture();
    ASSERT_EQ(p.Width(), b.Width());
    ASSERT_EQ(p.Height(), b.Height());
    const TRGBTriple lime = ColorToTriple(clLime), keyRGB = ColorToTriple(key);
    // The bottom-left corner lay outside the triangle; the top-right part inside it.
    EXPECT_TRUE(SameTriple(p.Row24(p.Height() - 1)[0], lime));
    const int x = p.Width() - 2, y = 1;
    EXPECT_TRUE(SameTriple(p.Row24(y)[x], Pattern(b.Left + x, b.Top + y)));
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x)
            ASSERT_FALSE(SameTriple(p.Row24(y)[x], keyRGB)) << x << ", " << y;
}

TEST_F(PicOperations, CropWithoutASelectionDoesNothing)
{
    auto win = NewWindow();
    win->Crop();
    EXPECT_EQ(win->UndoList().Count(), 0);
    EXPECT_TRUE(Changes.empty());
}

TEST_F(PicOperations, SelectAllTakesTheWholePictureWithTheNewSelectionsTransparentColour)
{
    TransparentSelection = true;
    TransparentIsForeground = false;
    BackgroundColour = clRed;
    auto win = NewWindow(20, 16);
    win->SelectAll();
    ASSERT_NE(win->Selection(), nullptr);
    EXPECT_EQ(win->Selection()->Bounds(), Rect(0, 0, 20, 16));
    EXPECT_EQ(win->Selection()->TransparentColour(), clRed);
}

// ---- Clipboard -------------------------------------------------------------------------------------------------

TEST_F(PicOperations, CopyWithASelectionPutsItOnTheClipboardAndMergesItAsOneStep)
{
    auto win = NewWindow();
    Select(*win);
    const TState before = StateOf(*win);
    EXPECT_TRUE(win->CopyToClipboard());
    EXPECT_TRUE(SamePixels(Clipboard.Last, before.SelectionPixels));
    EXPECT_EQ(win->Selection(), nullptr);
    EXPECT_TRUE(SameTriple(win->Picture().Row24(2)[3], Pattern(3, 2))); // merged back
    EXPECT_EQ(win->UndoList().Count(), 1);
    win->Undo();
    EXPECT_TRUE(SameState(StateOf(*win), before));
}

// A keyed selection of the whole picture, dropped by each command that drops one: its pixels go on
// the clipboard and back onto the picture exactly (keyed ones leave what lies beneath), and one Undo
// gives back the picture and the keyed selection as they were.
TEST_F(PicOperations, DroppingAKeyedWholePictureSelectionPutsItBackAndUndoesExactly)
{
    TransparentSelection = true;
    TransparentIsForeground = false;
    BackgroundColour = clRed;
    struct Case {
        const char* Name;
        std::function<bool(TCVPicChildWin&)> Run;
        bool OnClipboard;
        bool Merged; // else the hole the selection left stays on the picture
    } cases[] = {
        {"copy", [](TCVPicChildWin& W) { return W.CopyToClipboard(); }, true, true},
        {"cut", [](TCVPicChildWin& W) { return W.CutToClipboard(); }, true, false},
        {"paste", [](TCVPicChildWin& W) { return W.PasteFromClipboard(); }, false, true},
        // Merges, then lifts the whole picture again.
        {"select all", [](TCVPicChildWin& W) { return W.SelectAll(), true; }, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TBitmap small(2, 2);
        Clipboard.CopyBitmap(small, -1);
        auto win = NewWindow();
        // Keyed pixels at the edges and inside; the corners keep the selection the picture's size.
        for (const TPoint p : {Point(0, 3), Point(19, 7), Point(5, 0), Point(8, 15), Point(10, 10), Point(11, 10)})
            win->Picture().Row24(p.Y)[p.X] = TRGBTriple{0, 0, 255};
        const TPicCopy original = Copy(win->Picture());
        win->SelectAll();
        ASSERT_TRUE(win->Selection()->HasMask());
        const TState before = StateOf(*win);
        const int steps = win->UndoList().Count();

        ASSERT_TRUE(c.Run(*win));
        if (c.OnClipboard) {
            EXPECT_TRUE(SamePixels(Clipboard.Last, before.SelectionPixels));
            EXPECT_EQ(Clipboard.LastTag, clRed);
        }
        EXPECT_TRUE(SamePixels(win->Picture(), c.Merged ? original : before.Picture));
        EXPECT_EQ(win->UndoList().Count(), steps + 1);

        win->Undo();
        EXPECT_TRUE(SameState(StateOf(*win), before));
        ASSERT_NE(win->Selection(), nullptr);
        EXPECT_TRUE(win->Selection()->HasMask());
        EXPECT_EQ(win->Selection()->TransparentColour(), clRed);
    }
}

TEST_F(PicOperations, CopyWithoutASelectionCopiesThePictureUntagged)
{
    auto win = NewWindow();
    EXPECT_TRUE(win->CopyToClipboard());
    EXPECT_TRUE(SamePixels(Clipboard.Last, win->Picture()));
    EXPECT_EQ(Clipboard.LastTag, -1);
    EXPECT_EQ(win->UndoList().Count(), 0);
}

TEST_F(PicOperations, CutWithASelectionDiscardsItOnlyAfterACopy)
{
    auto win = NewWindow();
    Select(*win);
    const TState before = StateOf(*win);
    EXPECT_TRUE(win->CutToClipboard());
    EXPECT_TRUE(SamePixels(Clipboard.Last, before.SelectionPixels));
    EXPECT_EQ(win->Selection(), nullptr);
    EXPECT_TRUE(SamePixels(win->Picture(), before.Picture)); // the hole stays, nothing merged
    ASSERT_EQ(win->UndoList().Count(), 1);
    win->Undo();
    EXPECT_TRUE(SameState(StateOf(*win), before));
}

TEST_F(PicOperations, AFailedCopyOrCutChangesNothingAndSaysSo)
{
    Clipboard.Fail = true;
    for (bool selection : {true, false}) {
        for (bool cut : {true, false}) {
            SCOPED_TRACE(std::string(cut ? "cut" : "copy") + (selection ? " with selection" : ""));
            auto win = NewWindow();
            if (selection)
                Select(*win);
            win->SetModified(false);
            const TState before = StateOf(*win);
            Changes.clear();
            EXPECT_FALSE(cut ? win->CutToClipboard() : win->CopyToClipboard());
            EXPECT_TRUE(SameState(StateOf(*win), before));
            EXPECT_EQ(win->UndoList().Count(), 0);
            EXPECT_TRUE(Changes.empty());
            EXPECT_FALSE(win->Modified());
        }
    }
    // No clipboard at all fails the same way.
    SetSelectionClipboard(nullptr);
    auto win = NewWindow();
    EXPECT_FALSE(win->CutToClipboard());
    EXPECT_EQ(win->UndoList().Count(), 0);
    EXPECT_FALSE(win->PasteFromClipboard());
}

TEST_F(PicOperations, CutWithoutASelectionCopiesThenClearsAsItsOwnStep)
{
    auto win = NewWindow();
    const TPicCopy before = Copy(win->Picture());
    EXPECT_TRUE(win->CutToClipboard());
    EXPECT_TRUE(SamePixels(Clipboard.Last, before));
    EXPECT_TRUE(SameTriple(win->Picture().Row24(5)[5], WhiteTriple));
    win->Undo();
    EXPECT_TRUE(SamePixels(win->Picture(), before));
}

TEST_F(PicOperations, PasteLandsAtTheVisibleRectanglesTopLeft)
{
    auto win = NewWindow(400, 300);
    win->resize(120, 100);
    win->ScrollTo(200, 150);
    const TRect visible = win->PictureScrollBox().VisibleRect();
    ASSERT_GT(visible.Left, 0);
    ASSERT_GT(visible.Top, 0);

    TBitmap blue(6, 5);
    blue.Canvas().Brush.Color = clBlue;
    blue.Canvas().FillRect(Rect(0, 0, 6, 5));
    Changes.clear();
    EXPECT_FALSE(win->PasteBitmap(nullptr, -1));
    ASSERT_TRUE(win->PasteBitmap(&blue, -1));
    EXPECT_EQ(Changes, (TFlags{33}));
    EXPECT_EQ(win->Selection()->Bounds(), Rect(visible.Left, visible.Top, visible.Left + 6, visible.Top + 5));

    // From the clipboard, with its tag as the transparent colour; the old selection is merged.
    Clipboard.CopyBitmap(blue, clBlue);
    Changes.clear();
    ASSERT_TRUE(win->PasteFromClipboard());
    EXPECT_EQ(Changes, (TFlags{pcSelectionRemoved, 33}));
    EXPECT_EQ(win->Selection()->TransparentColour(), clBlue);
    EXPECT_TRUE(SameTriple(win->Picture().Row24(visible.Top)[visible.Left], TRGBTriple{255, 0, 0}));
    win->Undo(); // the second paste: the first one floats again
    EXPECT_EQ(win->Selection()->Bounds().Width(), 6);
    EXPECT_TRUE(SameTriple(win->Picture().Row24(visible.Top)[visible.Left], Pattern(visible.Left, visible.Top)));
    win->Undo(); // the first paste: no selection
    EXPECT_EQ(win->Selection(), nullptr);
}

// ---- Adjustments and preview ------------------------------------------------------------------------------------

TPicCopy Brightened(const TBitmap& Source, int Amount)
{
    TEffectsBitmap b;
    CopyBitmap(Source, b);
    b.Brighten(Amount, nullptr);
    return Copy(b);
}

TEST_F(PicOperations, CommittingThePreviewedValueKeepsItCommittingAnotherAppliesItOnce)
{
    struct Case {
        int Commit;
    } cases[] = {{30}, {20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Commit);
        auto win = NewWindow();
        win->SetModified(false);
        const TPicCopy original = Copy(win->Picture());
        win->BrightenPicture(20, true);
        win->BrightenPicture(30, true);
        EXPECT_TRUE(win->IsPreviewing());
        EXPECT_TRUE(SamePixels(win->Picture(), Brightened(original, 30))) << "previews start from the original";
        EXPECT_FALSE(win->Modified());
        EXPECT_EQ(win->UndoList().Count(), 0);

        ProgressStarts = 0;
        Changes.clear();
        win->BrightenPicture(c.Commit, false);
        EXPECT_FALSE(win->IsPreviewing());
        EXPECT_TRUE(SamePixels(win->Picture(), Brightened(original, c.Commit)));
        EXPECT_EQ(ProgressStarts, c.Commit == 30 ? 0 : 1) << "applications at the commit";
        EXPECT_EQ(Changes.back(), pcPixels);
        EXPECT_TRUE(win->Modified());
        ASSERT_EQ(win->UndoList().Count(), 1);
        win->Undo();
        EXPECT_TRUE(SamePixels(win->Picture(), original));
    }
}

TEST_F(PicOperations, RepeatingAPreviewWithTheSameValuesAppliesNothing)
{
    auto win = NewWindow();
    win->AdjustRGBPicture(10, 0, -5, true);
    const TPicCopy shown = Copy(win->Picture());
    ProgressStarts = 0;
    Changes.clear();
    win->AdjustRGBPicture(10, 0, -5, true);
    EXPECT_EQ(ProgressStarts, 0);
    EXPECT_TRUE(Changes.empty());
    EXPECT_TRUE(SamePixels(win->Picture(), shown));
    // Other values of the same kind are another preview, from the original.
    win->AdjustRGBPicture(10, 0, 5, true);
    EXPECT_EQ(ProgressStarts, 1);
}

TEST_F(PicOperations, CancellingARotatePreviewRestoresTheSizeAndRefits)
{
    auto win = NewWindow(40, 10);
    const TPicCopy original = Copy(win->Picture());
    const QSize fitted = win->size();
    win->RotatePicture(90, clRed, true);
    EXPECT_EQ(win->Picture().Width(), 10);
    EXPECT_EQ(win->Picture().Height(), 40);
    EXPECT_NE(win->size(), fitted);
    Changes.clear();
    win->EndPreview();
    EXPECT_FALSE(win->IsPreviewing());
    EXPECT_TRUE(SamePixels(win->Picture(), original));
    EXPECT_EQ(win->size(), fitted);
    EXPECT_EQ(Changes, (TFlags{25}));
    EXPECT_FALSE(win->Modified());
    EXPECT_EQ(win->UndoList().Count(), 0);
    win->EndPreview(); // nothing when not previewing
    EXPECT_EQ(Changes.size(), 1u);
}

TEST_F(PicOperations, ACommittedRotatePreviewUndoesToTheOriginalSize)
{
    auto win = NewWindow(40, 10);
    const TPicCopy original = Copy(win->Picture());
    win->RotatePicture(45, clRed, true);
    win->RotatePicture(90, clRed, true);
    Changes.clear();
    win->RotatePicture(90, clRed, false);
    EXPECT_EQ(Changes, (TFlags{25}));
    EXPECT_EQ(win->Picture().Width(), 10);
    win->Undo();
    EXPECT_TRUE(SamePixels(win->Picture(), original));
}

TEST_F(PicOperations, APreviewOfTheSelectionRestoresOnlyTheSelection)
{
    auto win = NewWindow();
    Select(*win);
    const TState before = StateOf(*win);
    win->GammaCorrectPicture(2.0, true);
    EXPECT_TRUE(SamePixels(win->Picture(), before.Picture));
    EXPECT_FALSE(SamePixels(win->Selection()->Picture(), before.SelectionPixels));
    Changes.clear();
    win->EndPreview();
    EXPECT_EQ(Changes, (TFlags{pcSelectionPixels}));
    EXPECT_TRUE(SameState(StateOf(*win), before));

    // Rotating a previewed selection and committing it: one undo gives back the unrotated one.
    win->RotatePicture(30, clRed, true);
    win->RotatePicture(30, clRed, false);
    EXPECT_NE(win->Selection()->Bounds(), before.Bounds);
    win->Undo();
    EXPECT_TRUE(SameState(StateOf(*win), before));
}

TEST_F(PicOperations, NeutralValuesCommittedWithoutPreviewRecordAStepAndChangeNothing)
{
    struct Case {
        const char* Name;
        std::function<void(TCVPicChildWin&)> Run;
    } cases[] = {
        {"rotate 0", [](TCVPicChildWin& W) { W.RotatePicture(0, clRed, false); }},
        {"brighten 0", [](TCVPicChildWin& W) { W.BrightenPicture(0, false); }},
        {"gamma 1", [](TCVPicChildWin& W) { W.GammaCorrectPicture(1.0, false); }},
        {"blur 0", [](TCVPicChildWin& W) { W.BlurPicture(0, false); }},
        {"rgb 0", [](TCVPicChildWin& W) { W.AdjustRGBPicture(0, 0, 0, false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto win = NewWindow();
        win->SetModified(false);
        const TPicCopy before = Copy(win->Picture());
        Changes.clear();
        c.Run(*win);
        EXPECT_TRUE(Changes.empty());
        EXPECT_EQ(win->UndoList().Count(), 1);
        EXPECT_TRUE(SamePixels(win->Picture(), before));
        EXPECT_FALSE(win->Modified());
    }
}

TEST_F(PicOperations, CommittingANeutralValueAfterAPreviewGivesTheOriginalBack)
{
    auto win = NewWindow();
    const TPicCopy original = Copy(win->Picture());
    win->BlurPicture(2.0, true);
    win->BlurPicture(0, false);
    EXPECT_FALSE(win->IsPreviewing());
    EXPECT_TRUE(SamePixels(win->Picture(), original));
    EXPECT_EQ(win->UndoList().Count(), 1);
}

TEST_F(PicOperations, AnAdjustmentThatFailsLeavesNoPreviewNoStepAndAnUnmodifiedPicture)
{
    // Rotated by 45 degrees a 10 x 30000 picture would pass the pixel limit; by 90 it fits.
    struct Case {
        const char* Name;
        std::function<void(TCVPicChildWin&)> Before;
    } cases[] = {
        {"failed first preview", [](TCVPicChildWin&) {}},
        {"failed preview after a shown one", [](TCVPicChildWin& W) { W.RotatePicture(90, clRed, true); }},
        {"earlier step kept", [](TCVPicChildWin& W) { W.Flip(); }},
    };
    const auto expectRotateError = [](TCVPicChildWin& W, bool Preview) {
        try {
            W.RotatePicture(45, clRed, Preview);
            ADD_FAILURE() << "the rotation did not fail";
        } catch (const std::exception& E) {
            EXPECT_NE(std::string(E.what()).find("Rotate Error. Picture of"), std::string::npos) << E.what();
            EXPECT_NE(std::string(E.what()).find("pixels is too large"), std::string::npos) << E.what();
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto win = NewWindow(10, 30000);
        c.Before(*win);
        win->SetModified(false);
        const int steps = win->UndoList().Count();
        const TPicCopy original = Copy(win->IsPreviewing() ? *win->Preview().SavedBitmap() : win->Picture());

        expectRotateError(*win, true);
        EXPECT_FALSE(win->IsPreviewing()) << "the failed parameters count as shown";
        EXPECT_TRUE(SamePixels(win->Picture(), original));
        EXPECT_EQ(win->PictureScrollBox().UpdateCount(), 0);

        // OK then applies the rotation again, and it fails again.
        expectRotateError(*win, false);
        EXPECT_FALSE(win->IsPreviewing());
        EXPECT_TRUE(SamePixels(win->Picture(), original));
        EXPECT_FALSE(win->Modified());
        EXPECT_EQ(win->UndoList().Count(), steps) << "an undo step for a change not made";
        EXPECT_FALSE(TBasicCVChild::WaitCursorShown());
    }
}

TEST_F(PicOperations, AFailingOperationStillEndsTheWaitAndTheUpdate)
{
    auto win = NewWindow();
    // Far beyond what a picture may hold: the picture operation raises.
    EXPECT_ANY_THROW(win->ResizePicture(65535, 65535));
    EXPECT_EQ(win->PictureScrollBox().UpdateCount(), 0);
    EXPECT_FALSE(TBasicCVChild::WaitCursorShown());
}

} // namespace
