// The undo list and the picture undo steps, run against a stand-in picture window that owns a real
// picture view and selection.
#include "picwin/CVUndo.h"

#include "image/EffectsTestSupport.h"
#include "image/SelectionKinds.h"
#include "picwin/PictureScrollBx.h"

#include <QCursor>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using namespace effects_test;

namespace {

struct TPlainParent : IUndoParent {};

// A step that logs its id when undone and counts the live steps.
class TLoggingAction : public TCVBaseUndoAction {
public:
    explicit TLoggingAction(IUndoParent* Parent) : TCVBaseUndoAction(Parent) { ++Alive; }
    ~TLoggingAction() override { --Alive; }
    void Undo() override
    {
        Log.push_back(Id);
        if (During)
            During();
    }
    int Id = 0;
    std::function<void()> During;
    static inline int Alive = 0;
    static inline std::vector<int> Log;
};

class TFakePictureWindow : public IUndoTarget {
public:
    TFakePictureWindow(int W, int H)
    {
        EXPECT_TRUE(Box.NewPicture(W, H, clWhite));
        TRng rng(7);
        RandomizePicture(Box.Bitmap(), rng);
    }

    TPictureScrollBox& PictureScrollBox() override { return Box; }
    TPictureSelection* Selection() override { return Sel.get(); }
    void BeginWait() override { ++Waits; }
    void EndWait() override { ++WaitEnds; }
    void NewBitmapSelection(TBitmap* Bitmap, TPoint Origin, TColor TransparentColour) override
    {
        Sel = TBitmapPictureSelection::CreateSelection(&Box.Bitmap(), Bitmap, Origin, TransparentColour);
    }
    void RemoveSelection() override
    {
        Sel.reset();
        ++Removed;
    }
    bool BestFit(int PicWidth, int PicHeight) override
    {
        Fits.push_back({PicWidth, PicHeight});
        return true;
    }
    void Changed(TPictureChanges Flags, bool SetModifiedFlag) override
    {
        if (!Flags)
            return;
        Changes.push_back({Flags, SetModifiedFlag});
        if (SetModifiedFlag && (Flags & pcPixels))
            FModified = true;
    }
    bool Modified() const override { return FModified; }
    void SetModified(bool Value) override { FModified = Value; }

    // A floating selection of a random W x H picture at (X, Y).
    void MakeSelection(int X, int Y, int W, int H, TColor TransparentColour = -1)
    {
        TRng rng(11);
        auto picture = RandomPicture(rng, W, H, 4);
        NewBitmapSelection(picture.get(), Point(X, Y), TransparentColour);
    }

    TPictureScrollBox Box;
    std::unique_ptr<TPictureSelection> Sel;
    bool FModified = false;
    int Waits = 0, WaitEnds = 0, Removed = 0;
    std::vector<TPoint> Fits;
    std::vector<std::pair<TPictureChanges, bool>> Changes;
};

// A picture step with a Restore of the test's own.
class TScriptedStep : public TCVPicUndoAction {
public:
    using TCVPicUndoAction::TCVPicUndoAction;
    void Restore(IUndoTarget& Window, TPictureChanges& Flags) override { Script(Window, Flags); }
    std::function<void(IUndoTarget&, TPictureChanges&)> Script;
};

} // namespace

// ---- The list ---------------------------------------------------------------------------------------

TEST(UndoList, KeepsTheFiveNewestAndUndoesNewestFirst)
{
    TPlainParent parent;
    TLoggingAction::Log.clear();
    {
        TCVUndoActionFactory list(&parent);
        EXPECT_EQ(list.MaxActions, 5);
        for (int id = 1; id <= 6; ++id) {
            auto* step = list.AddAction<TLoggingAction>();
            step->Id = id;
            EXPECT_EQ(list.Items(0), step);
            EXPECT_EQ(step->Parent(), &parent);
        }
        // The sixth change pushed out the first.
        EXPECT_EQ(list.Count(), 5);
        EXPECT_EQ(TLoggingAction::Alive, 5);
        EXPECT_EQ(static_cast<TLoggingAction*>(list.Items(4))->Id, 2);

        EXPECT_TRUE(list.Undo());
        EXPECT_TRUE(list.Undo());
        EXPECT_EQ(TLoggingAction::Log, (std::vector<int>{6, 5}));
        EXPECT_EQ(list.Count(), 3);
        EXPECT_EQ(TLoggingAction::Alive, 3) << "an undone step is freed";

        list.Delete(-1);
        list.Delete(3);
        EXPECT_EQ(list.Count(), 3) << "indexes outside the list are ignored";
        list.Delete(1);
        EXPECT_EQ(static_cast<TLoggingAction*>(list.Items(1))->Id, 2);
        EXPECT_EQ(list.Items(2), nullptr);

        // A smaller depth takes effect at the next step; the new step always stays.
        list.MaxActions = 0;
        list.AddAction<TLoggingAction>()->Id = 7;
        EXPECT_EQ(list.Count(), 1);
        EXPECT_EQ(static_cast<TLoggingAction*>(list.Items(0))->Id, 7);
        list.Clear();
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(TLoggingAction::Alive, 0);

        TLoggingAction::Log.clear();
        EXPECT_FALSE(list.Undo()) << "an empty list";
        EXPECT_TRUE(TLoggingAction::Log.empty());
        list.AddAction<TLoggingAction>();
        list.AddAction<TLoggingAction>();
    }
    EXPECT_EQ(TLoggingAction::Alive, 0) << "the list frees its steps";
}

TEST(UndoList, StepsThatCannotBeMadeAreNotInserted)
{
    TCVUndoActionFactory orphan(nullptr);
    try {
        orphan.AddAction<TLoggingAction>();
        FAIL() << "a step without a parent";
    } catch (const ECVUndoActionError& e) {
        EXPECT_EQ(e.Message, "Parent Object is invalid");
    }
    EXPECT_EQ(orphan.Count(), 0);

    TPlainParent parent;
    TCVUndoActionFactory list(&parent);
    list.AddAction<TLoggingAction>();
    try {
        list.AddAction<TCVPicGenUndoAction>();
        FAIL() << "a picture step on something that is no picture window";
    } catch (const ECVUndoActionError& e) {
        EXPECT_EQ(e.Message, "Parent Object must be a picture child window");
    }
    EXPECT_EQ(list.Count(), 1);
}

TEST(UndoList, AStepRunsOnceUnderTheHourglassAndUndoDoesNotNest)
{
    TPlainParent parent;
    TCVUndoActionFactory list(&parent);
    TLoggingAction::Log.clear();
    list.AddAction<TLoggingAction>()->Id = 1;
    auto* newest = list.AddAction<TLoggingAction>();
    newest->Id = 2;
    bool nested = true;
    int countDuring = -1;
    newest->During = [&] {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        EXPECT_TRUE(cursor && cursor->shape() == Qt::WaitCursor);
        EXPECT_TRUE(list.Undoing());
        countDuring = list.Count();
        nested = list.Undo();
    };
    EXPECT_TRUE(list.Undo());
    EXPECT_EQ(countDuring, 1) << "the running step has left the list";
    EXPECT_FALSE(nested);
    EXPECT_EQ(TLoggingAction::Log, (std::vector<int>{2}));
    EXPECT_EQ(list.Count(), 1) << "the older step is still there";
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(list.Undoing());
}

TEST(UndoList, AFailingStepComesOutAsAnUndoErrorWithViewAndCursorBack)
{
    const struct {
        const char* Name;
        std::function<void()> Throw;
        std::string Message;
    } cases[] = {
        {"exception", [] { throw EXBitmapError("Resizing Error. broken"); }, "Undo Error. Resizing Error. broken"},
        {"out of memory", [] { throw std::bad_alloc(); }, "Undo Error. Out of memory"},
        {"standard", [] { throw std::runtime_error("odd"); }, "Undo Error. odd"},
        {"undo error", [] { throw ECVUndoActionError("as is"); }, "as is"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakePictureWindow window(8, 6);
        TCVUndoActionFactory list(&window);
        list.AddAction<TCVPicGenUndoAction>();
        auto* step = list.AddAction<TScriptedStep>();
        int updatesDuring = 0;
        step->Script = [&](IUndoTarget& w, TPictureChanges& flags) {
            updatesDuring = w.PictureScrollBox().UpdateCount();
            w.PictureScrollBox().Bitmap().Negative(nullptr);
            flags |= pcPixels;
            c.Throw();
        };
        try {
            list.Undo();
            FAIL() << "no error";
        } catch (const ECVUndoActionError& e) {
            EXPECT_EQ(e.Message, c.Message);
        }
        EXPECT_EQ(updatesDuring, 1);
        EXPECT_EQ(window.Box.UpdateCount(), 0) << "the view repaints again";
        EXPECT_EQ(window.Waits, 1);
        EXPECT_EQ(window.WaitEnds, 1);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        // What did change is reported, and counts as a modification.
        ASSERT_EQ(window.Changes.size(), 1u);
        EXPECT_EQ(window.Changes[0], std::make_pair(TPictureChanges(pcPixels), true));
        EXPECT_TRUE(window.Modified());
        EXPECT_EQ(list.Count(), 1) << "the failed step is gone";
        EXPECT_FALSE(list.Undoing());
        EXPECT_TRUE(list.Undo()) << "the list still works";
    }
}

// ---- General picture steps --------------------------------------------------------------------------

TEST(PictureUndo, AGeneralStepPutsBackPixelsAndModified)
{
    const struct {
        bool ModifiedWhenRecorded;
        bool ModifiedBeforeUndo;
    } cases[] = {{false, true}, {true, true}, {true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ModifiedWhenRecorded);
        TFakePictureWindow window(12, 9);
        TEffectsBitmap& picture = window.Box.Bitmap();
        const auto before = ClonePicture(picture);
        TCVUndoActionFactory list(&window);
        window.FModified = c.ModifiedWhenRecorded;
        auto* step = list.AddAction<TCVPicGenUndoAction>();
        step->WasModified = window.Modified();
        step->SetBitmap(&picture);

        picture.SetPenColour(clRed);
        picture.Canvas().Pen.Width = 3;
        picture.PenLine(1, 1, 10, 7);
        window.FModified = c.ModifiedBeforeUndo;

        ASSERT_TRUE(list.Undo());
        EXPECT_TRUE(SamePixels(picture, *before));
        EXPECT_EQ(window.Modified(), c.ModifiedWhenRecorded);
        ASSERT_EQ(window.Changes.size(), 1u);
        EXPECT_EQ(window.Changes[0], std::make_pair(TPictureChanges(pcPixels), false));
        EXPECT_TRUE(window.Fits.empty()) << "same size: no refit";
        EXPECT_EQ(window.Waits, 1);
        EXPECT_EQ(window.WaitEnds, 1);
        EXPECT_EQ(window.Box.UpdateCount(), 0);
    }
}

TEST(PictureUndo, UndoingAResizeRestoresTheSizeAndRefits)
{
    TFakePictureWindow window(30, 20);
    TEffectsBitmap& picture = window.Box.Bitmap();
    const auto before = ClonePicture(picture);
    TCVUndoActionFactory list(&window);
    list.AddAction<TCVPicGenUndoAction>()->SetBitmap(&picture);
    picture.Resize(50, 7);

    ASSERT_TRUE(list.Undo());
    EXPECT_TRUE(SamePixels(picture, *before));
    ASSERT_EQ(window.Fits.size(), 1u);
    EXPECT_EQ(window.Fits[0], Point(30, 20));
    ASSERT_EQ(window.Changes.size(), 1u);
    EXPECT_EQ(window.Changes[0].first, pcPixels | pcWindowSize | pcPictureSize);
}

TEST(PictureUndo, TheStoredCopiesAreTheirOwnAndCanBeRefreshedOrDropped)
{
    TFakePictureWindow window(10, 10);
    TCVUndoActionFactory list(&window);
    auto* step = list.AddAction<TCVPicGenUndoAction>();
    step->SetBitmap(&window.Box.Bitmap());
    const auto recorded = ClonePicture(window.Box.Bitmap());
    FillPicture(window.Box.Bitmap(), clBlue);
    ASSERT_NE(step->Bitmap(), nullptr);
    EXPECT_TRUE(SamePixels(*step->Bitmap(), *recorded)) << "a copy, not a reference";

    window.MakeSelection(1, 2, 4, 3);
    step->SetSelection(window.Sel.get());
    window.Sel->MoveTo(5, 6);
    ASSERT_NE(step->Selection(), nullptr);
    EXPECT_EQ(step->Selection()->Left, 1);
    step->SetSelection(window.Sel.get());
    EXPECT_EQ(step->Selection()->Left, 5) << "refreshed";
    EXPECT_EQ(step->Selection()->Top, 6);

    step->SetBitmap(nullptr);
    step->SetSelection(nullptr);
    EXPECT_EQ(step->Bitmap(), nullptr);
    EXPECT_EQ(step->Selection(), nullptr);
}

TEST(PictureUndo, TheFloatingSelectionComesBackAsRecorded)
{
    enum TNow { None, Moved, Extra };
    const struct {
        const char* Name;
        bool Recorded;         // a selection when the step was recorded
        TColor Transparent;    // its transparent colour
        TNow Now;              // the selection at undo time
        TPictureChanges Flags; // besides pcPixels
    } cases[] = {
        {"removed since", true, -1, None, pcSelectionNew},
        {"removed since, transparent", true, 0x555555, None, pcSelectionNew},
        {"moved and changed since", true, -1, Moved, pcSelectionPixels},
        {"made since", false, -1, Extra, pcSelectionRemoved},
        {"none then or now", false, -1, None, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakePictureWindow window(20, 16);
        TCVUndoActionFactory list(&window);
        auto* step = list.AddAction<TCVPicGenUndoAction>();
        std::unique_ptr<TEffectsBitmap> recordedPicture;
        TRect recordedBounds;
        if (c.Recorded) {
            window.MakeSelection(3, 4, 6, 5, c.Transparent);
            recordedPicture = ClonePicture(window.Sel->Picture());
            recordedBounds = window.Sel->Bounds();
            EXPECT_EQ(window.Sel->HasMask(), c.Transparent >= 0);
        }
        step->SetBitmap(&window.Box.Bitmap());
        step->SetSelection(window.Sel.get());
        const auto picture = ClonePicture(window.Box.Bitmap());

        if (c.Now == None)
            window.Sel.reset();
        else if (c.Now == Moved) {
            window.Sel->MoveTo(11, 9);
            window.Sel->Negative();
        } else
            window.MakeSelection(0, 0, 5, 5);
        FillPicture(window.Box.Bitmap(), clGreen);

        ASSERT_TRUE(list.Undo());
        EXPECT_TRUE(SamePixels(window.Box.Bitmap(), *picture));
        ASSERT_EQ(window.Changes.size(), 1u);
        EXPECT_EQ(window.Changes[0].first, pcPixels | c.Flags);
        EXPECT_EQ(window.Removed, c.Now == Extra ? 1 : 0);
        if (!c.Recorded) {
            EXPECT_EQ(window.Sel, nullptr);
            continue;
        }
        ASSERT_NE(window.Sel, nullptr);
        EXPECT_EQ(window.Sel->Bounds(), recordedBounds);
        EXPECT_TRUE(SamePixels(window.Sel->Picture(), *recordedPicture));
        EXPECT_EQ(window.Sel->HasMask(), c.Transparent >= 0);
        if (c.Transparent >= 0) {
            EXPECT_EQ(window.Sel->TransparentColour(), c.Transparent);
        }
    }
}

// ---- Reversible steps -------------------------------------------------------------------------------

TEST(PictureUndo, ReversibleStepsDoTheirOperationAgainOverTheirScope)
{
    struct TOperation {
        const char* Name;
        TCVUndoActionClass Class;
        std::function<void(TEffectsBitmap&)> OnPicture;
        std::function<void(TPictureSelection&)> OnSelection;
    };
    const TOperation operations[] = {
        {"flip", &CreateUndoAction<TCVPicFlipUndoAction>, [](TEffectsBitmap& b) { b.Flip(); },
         [](TPictureSelection& s) { s.Flip(); }},
        {"mirror", &CreateUndoAction<TCVPicMirrorUndoAction>, [](TEffectsBitmap& b) { b.Mirror(); },
         [](TPictureSelection& s) { s.Mirror(); }},
        {"negative", &CreateUndoAction<TCVPicNegUndoAction>, [](TEffectsBitmap& b) { b.Negative(nullptr); },
         [](TPictureSelection& s) { s.Negative(); }},
    };
    const struct {
        uint8_t Scope;
        bool WithSelection;
        TPictureChanges Flags;
    } scopes[] = {
        {usPicture, true, pcPixels},
        {usSelection, true, pcSelectionPixels},
        {usPictureAndSelection, true, pcPixels | pcSelectionPixels},
        {usPictureAndSelection, false, pcPixels},
        {usSelection, false, 0}, // the selection has gone: nothing to do
    };
    for (const auto& op : operations)
        for (const auto& s : scopes) {
            SCOPED_TRACE(std::string(op.Name) + " scope " + std::to_string(s.Scope) +
                         (s.WithSelection ? " with selection" : " without selection"));
            TFakePictureWindow window(9, 7);
            if (s.WithSelection)
                window.MakeSelection(2, 1, 5, 4);
            const auto picture = ClonePicture(window.Box.Bitmap());
            const auto selection = s.WithSelection ? ClonePicture(window.Sel->Picture()) : nullptr;

            TCVUndoActionFactory list(&window);
            auto* step = static_cast<TCVPicRevUndoAction*>(list.AddAction(op.Class));
            step->Scope = s.Scope;
            if (s.Scope != usSelection)
                op.OnPicture(window.Box.Bitmap());
            if (s.Scope != usPicture && window.Sel)
                op.OnSelection(*window.Sel);

            ASSERT_TRUE(list.Undo());
            EXPECT_TRUE(SamePixels(window.Box.Bitmap(), *picture));
            if (selection) {
                EXPECT_TRUE(SamePixels(window.Sel->Picture(), *selection));
            }
            if (s.Flags) {
                ASSERT_EQ(window.Changes.size(), 1u);
                EXPECT_EQ(window.Changes[0].first, s.Flags);
            } else
                EXPECT_TRUE(window.Changes.empty());
        }
}
