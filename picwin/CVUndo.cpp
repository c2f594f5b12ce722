// The undo list and the picture undo steps.
#include "picwin/CVUndo.h"

#include "image/BitmapUtils.h"
#include "image/SelectionKinds.h"
#include "picwin/PictureScrollBx.h"

#include <QGuiApplication>

#include <algorithm>
#include <new>

const char* const kUndoParentInvalid = "Parent Object is invalid";
const char* const kUndoParentNotPicture = "Parent Object must be a picture child window";
const char* const kUndoFailed = "Undo Error. %s";

// ---- Framework ------------------------------------------------------------------------------------

TCVBaseUndoAction::TCVBaseUndoAction(IUndoParent* Parent) : FParent(Parent)
{
    if (!Parent)
        throw ECVUndoActionError(kUndoParentInvalid);
}

TCVBaseUndoAction::~TCVBaseUndoAction() { FParent = nullptr; }

TCVUndoActionFactory::TCVUndoActionFactory(IUndoParent* Parent) : FParent(Parent) {}

TCVUndoActionFactory::~TCVUndoActionFactory() { Clear(); }

TCVBaseUndoAction* TCVUndoActionFactory::AddAction(TCVUndoActionClass ActionClass)
{
    std::unique_ptr<TCVBaseUndoAction> action = ActionClass(FParent);
    TCVBaseUndoAction* result = action.get();
    FList.insert(FList.begin(), std::move(action));
    // The new step always stays, whatever MaxActions says: the caller is about to fill it.
    while (Count() > std::max(MaxActions, 1))
        FList.pop_back();
    return result;
}

void TCVUndoActionFactory::Delete(int Index)
{
    if (Index >= 0 && Index < Count())
        FList.erase(FList.begin() + Index);
}

void TCVUndoActionFactory::Clear() { FList.clear(); }

TCVBaseUndoAction* TCVUndoActionFactory::Items(int Index) const
{
    return Index >= 0 && Index < Count() ? FList[size_t(Index)].get() : nullptr;
}

bool TCVUndoActionFactory::Undo()
{
    if (FUndoing || FList.empty())
        return false;
    // Out of the list before it runs: whatever happens meanwhile cannot run it a second time.
    std::unique_ptr<TCVBaseUndoAction> action = std::move(FList.front());
    FList.erase(FList.begin());

    struct TUndoScope {
        bool& Undoing;
        explicit TUndoScope(bool& Flag) : Undoing(Flag)
        {
            Undoing = true;
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        }
        ~TUndoScope()
        {
            QGuiApplication::restoreOverrideCursor();
            Undoing = false;
        }
    } scope(FUndoing);

    try {
        action->Undo();
    } catch (const ECVUndoActionError&) {
        throw;
    } catch (const Exception& e) {
        throw ECVUndoActionError(Format(kUndoFailed, e.Message));
    } catch (const std::bad_alloc&) {
        throw ECVUndoActionError(Format(kUndoFailed, "Out of memory"));
    } catch (const std::exception& e) {
        throw ECVUndoActionError(Format(kUndoFailed, e.what()));
    }
    return true;
}

// ---- Picture steps ----------------------------------------------------------------------------------

namespace {

IUndoTarget* PictureWindowOf(IUndoParent* Parent)
{
    auto* window = dynamic_cast<IUndoTarget*>(Parent);
    if (!window)
        throw ECVUndoActionError(kUndoParentNotPicture);
    return window;
}

} // namespace

TCVPicUndoAction::TCVPicUndoAction(IUndoParent* Parent)
    : TCVBaseUndoAction(Parent), FWindow(PictureWindowOf(Parent))
{
}

void TCVPicUndoAction::Undo()
{
    IUndoTarget& window = Window();
    window.BeginWait();
    struct TWaitScope {
        IUndoTarget& Window;
        ~TWaitScope() { Window.EndWait(); }
    } wait{window};

    TPictureScrollBox& view = window.PictureScrollBox();
    TPictureChanges flags = 0;
    view.BeginUpdate();
    try {
        Restore(window, flags);
    } catch (...) {
        // The view repaints again and listeners learn what did change before the failure; the
        // picture is no longer what it was, so it counts as modified.
        try {
            view.EndUpdate();
            window.Changed(flags, true);
        } catch (...) {
        }
        throw;
    }
    view.EndUpdate();
    window.Changed(flags, false);
    window.SetModified(WasModified);
}

TCVPicGenUndoAction::~TCVPicGenUndoAction() = default;

void TCVPicGenUndoAction::SetBitmap(const TBitmap* Bitmap)
{
    if (!Bitmap) {
        FBitmap.reset();
        return;
    }
    if (!FBitmap)
        FBitmap = std::make_unique<TBitmap>();
    CopyBitmap(*Bitmap, *FBitmap);
}

void TCVPicGenUndoAction::TakeBitmap(std::unique_ptr<TBitmap> Bitmap) { FBitmap = std::move(Bitmap); }

void TCVPicGenUndoAction::SetSelection(const TPictureSelection* Selection)
{
    if (!Selection)
        FSelection.reset();
    else if (FSelection)
        FSelection->Assign(Selection);
    else
        FSelection = std::make_unique<TCVCompactSelection>(Selection);
}

void TCVPicGenUndoAction::Restore(IUndoTarget& Window, TPictureChanges& Flags)
{
    TEffectsBitmap& picture = Window.PictureScrollBox().Bitmap();
    bool sizeChanged = false;
    if (FBitmap) {
        sizeChanged = FBitmap->Width() != picture.Width() || FBitmap->Height() != picture.Height();
        picture.AssignBitmap(*FBitmap);
        Flags |= pcPixels;
    }
    if (FSelection) {
        const TPoint origin = Point(FSelection->Left, FSelection->Top);
        if (TPictureSelection* selection = Window.Selection()) {
            selection->SetPicture(&FSelection->Picture, origin, FSelection->TransparentColour);
            Flags |= pcSelectionPixels;
        } else {
            Window.NewBitmapSelection(&FSelection->Picture, origin, FSelection->TransparentColour);
            if (Window.Selection())
                Flags |= pcSelectionNew;
        }
    } else if (Window.Selection()) {
        Window.RemoveSelection();
        Flags |= pcSelectionRemoved;
    }
    if (sizeChanged) {
        Window.BestFit(picture.Width(), picture.Height());
        Flags |= pcWindowSize | pcPictureSize;
    }
}

void TCVPicRevUndoAction::Restore(IUndoTarget& Window, TPictureChanges& Flags)
{
    if (Scope == usPicture || Scope == usPictureAndSelection) {
        ApplyToPicture(Window.PictureScrollBox().Bitmap());
        Flags |= pcPixels;
    }
    if (Scope == usSelection || Scope == usPictureAndSelection) {
        if (TPictureSelection* selection = Window.Selection()) {
            ApplyToSelection(*selection);
            Flags |= pcSelectionPixels;
        }
    }
}

void TCVPicFlipUndoAction::ApplyToPicture(TEffectsBitmap& Picture) { Picture.Flip(); }
void TCVPicFlipUndoAction::ApplyToSelection(TPictureSelection& Selection) { Selection.Flip(); }
void TCVPicMirrorUndoAction::ApplyToPicture(TEffectsBitmap& Picture) { Picture.Mirror(); }
void TCVPicMirrorUndoAction::ApplyToSelection(TPictureSelection& Selection) { Selection.Mirror(); }
void TCVPicNegUndoAction::ApplyToPicture(TEffectsBitmap& Picture) { Picture.Negative(nullptr); }
void TCVPicNegUndoAction::ApplyToSelection(TPictureSelection& Selection) { Selection.Negative(); }
