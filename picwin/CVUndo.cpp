// The undo list and the picture undo steps.
#include "picwin/CVUndo.h"

#include "image/BitmapUtils.h"
#include "image/PictureTiles.h"
#include "image/SelectionKinds.h"
#include "picwin/PictureScrollBx.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstring>
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

size_t TCVUndoActionFactory::HeldBytes() const
{
    size_t bytes = 0;
    for (const auto& action : FList)
        bytes += action->HeldBytes();
    return bytes;
}

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

// ---- Changed rectangle ---------------------------------------------------------------------------------

namespace {

constexpr size_t kCompareBlock = 256;

// The index of the first byte below N where A and B differ, or N.
size_t FirstDifference(const uint8_t* A, const uint8_t* B, size_t N)
{
    size_t i = 0;
    while (i + kCompareBlock <= N && std::memcmp(A + i, B + i, kCompareBlock) == 0)
        i += kCompareBlock;
    while (i < N && A[i] == B[i])
        ++i;
    return i;
}

// One past the last byte below N where A and B differ, or 0.
size_t LastDifferenceEnd(const uint8_t* A, const uint8_t* B, size_t N)
{
    size_t end = N;
    while (end >= kCompareBlock && std::memcmp(A + end - kCompareBlock, B + end - kCompareBlock, kCompareBlock) == 0)
        end -= kCompareBlock;
    while (end > 0 && A[end - 1] == B[end - 1])
        --end;
    return end;
}

} // namespace

bool FindChangedRect(const TBitmap& A, const TBitmap& B, TRect& Changed)
{
    Changed = Rect(0, 0, 0, 0);
    if (A.PixelFormat() != B.PixelFormat() || A.Width() != B.Width() || A.Height() != B.Height())
        return false;
    if (A.PixelFormat() != pf24bit && A.PixelFormat() != pf32bit)
        return false;
    const int w = A.Width(), h = A.Height();
    if (w <= 0 || h <= 0 || !A.Bits() || !B.Bits())
        return true;
    const size_t pixelBytes = A.PixelFormat() == pf24bit ? 3 : 4;
    const size_t rowBytes = size_t(w) * pixelBytes; // the padding at the end of a row is no pixel
    const uint8_t* bitsA = A.Bits();
    const uint8_t* bitsB = B.Bits();
    const size_t strideA = size_t(A.RowBytes()), strideB = size_t(B.RowBytes());
    auto rowA = [&](int y) { return bitsA + size_t(y) * strideA; };
    auto rowB = [&](int y) { return bitsB + size_t(y) * strideB; };

    int top = 0;
    while (top < h && std::memcmp(rowA(top), rowB(top), rowBytes) == 0)
        ++top;
    if (top == h)
        return true;
    int bottom = h - 1;
    while (bottom > top && std::memcmp(rowA(bottom), rowB(bottom), rowBytes) == 0)
        --bottom;

    // Each row is searched only outside the columns already known to differ.
    size_t first = rowBytes, end = 0;
    for (int y = top; y <= bottom; ++y) {
        const uint8_t* a = rowA(y);
        const uint8_t* b = rowB(y);
        first = std::min(first, FirstDifference(a, b, first));
        if (end < rowBytes) {
            const size_t tail = LastDifferenceEnd(a + end, b + end, rowBytes - end);
            if (tail > 0)
                end += tail;
        }
    }
    Changed = Rect(int32_t(first / pixelBytes), top, int32_t((end - 1) / pixelBytes + 1), bottom + 1);
    return true;
}

// ---- General step ------------------------------------------------------------------------------------

TCVPicGenUndoAction::~TCVPicGenUndoAction() { EndTiles(); }

void TCVPicGenUndoAction::BeginTiles(TEffectsBitmap& Picture)
{
    EndTiles();
    FBitmap.reset();
    FCompacted = false;
    FCompactRect = Rect(0, 0, 0, 0);
    FTiles = std::make_unique<TPictureTiles>(Picture);
    Picture.UndoTiles = FTiles.get();
    FTilesPicture = &Picture;
}

void TCVPicGenUndoAction::EndTiles()
{
    if (FTilesPicture && FTilesPicture->UndoTiles == FTiles.get())
        FTilesPicture->UndoTiles = nullptr;
    FTilesPicture = nullptr;
}

void TCVPicGenUndoAction::SetBitmap(const TBitmap* Bitmap)
{
    EndTiles();
    FTiles.reset();
    FCompacted = false;
    FCompactRect = Rect(0, 0, 0, 0);
    if (!Bitmap) {
        FBitmap.reset();
        return;
    }
    if (!FBitmap)
        FBitmap = std::make_unique<TBitmap>();
    CopyBitmap(*Bitmap, *FBitmap);
}

void TCVPicGenUndoAction::TakeBitmap(std::unique_ptr<TBitmap> Bitmap)
{
    EndTiles();
    FTiles.reset();
    FCompacted = false;
    FCompactRect = Rect(0, 0, 0, 0);
    FBitmap = std::move(Bitmap);
}

bool TCVPicGenUndoAction::Compact(const TBitmap& Current)
{
    if (!FBitmap || FCompacted)
        return false;
    TRect changed;
    if (!FindChangedRect(*FBitmap, Current, changed))
        return false;
    std::unique_ptr<TBitmap> patch;
    if (!IsRectEmpty(changed)) {
        try {
            patch = std::make_unique<TBitmap>();
            patch->SetPixelFormat(FBitmap->PixelFormat());
            patch->SetSize(changed.Width(), changed.Height());
        } catch (...) {
            // Short of memory for the rectangle: the whole copy stays, undo works as before.
            return false;
        }
        const size_t pixelBytes = FBitmap->PixelFormat() == pf24bit ? 3 : 4;
        const size_t offset = size_t(changed.Left) * pixelBytes, length = size_t(changed.Width()) * pixelBytes;
        for (int y = 0; y < changed.Height(); ++y)
            std::memcpy(patch->ScanLine(y), FBitmap->ScanLine(changed.Top + y) + offset, length);
    }
    FFullWidth = FBitmap->Width();
    FFullHeight = FBitmap->Height();
    FCompactRect = changed;
    FBitmap = std::move(patch);
    FCompacted = true;
    return true;
}

size_t TCVPicGenUndoAction::HeldBytes() const
{
    size_t bytes = 0;
    if (FBitmap)
        bytes += size_t(FBitmap->RowBytes()) * size_t(FBitmap->Height());
    if (FSelection)
        bytes += size_t(FSelection->Picture.RowBytes()) * size_t(FSelection->Picture.Height());
    if (FTiles)
        bytes += FTiles->HeldBytes();
    return bytes;
}

void TCVPicGenUndoAction::SetSelection(const TPictureSelection* Selection)
{
    if (!Selection)
        FSelection.reset();
    else if (FSelection)
        FSelection->Assign(Selection);
    else
        FSelection = std::make_unique<TCVCompactSelection>(Selection);
}

void TCVPicGenUndoAction::TakeSelection(TPictureSelection& Selection)
{
    if (!FSelection)
        FSelection = std::make_unique<TCVCompactSelection>();
    FSelection->Take(Selection);
}

void TCVPicGenUndoAction::Restore(IUndoTarget& Window, TPictureChanges& Flags)
{
    TEffectsBitmap& picture = Window.PictureScrollBox().Bitmap();
    bool sizeChanged = false;
    if (FTiles) {
        EndTiles();
        sizeChanged = FTiles->Width() != picture.Width() || FTiles->Height() != picture.Height();
        FTiles->Restore(picture);
        Flags |= pcPixels;
    } else if (FCompacted) {
        // Only the rectangle goes back; the rest of the picture is the copy's already.
        sizeChanged = FFullWidth != picture.Width() || FFullHeight != picture.Height();
        if (sizeChanged)
            picture.SetSize(FFullWidth, FFullHeight);
        if (FBitmap) {
            if (FBitmap->PixelFormat() == picture.PixelFormat()) {
                const size_t pixelBytes = FBitmap->PixelFormat() == pf24bit ? 3 : 4;
                const size_t offset = size_t(FCompactRect.Left) * pixelBytes;
                const size_t length = size_t(FCompactRect.Width()) * pixelBytes;
                for (int y = 0; y < FCompactRect.Height(); ++y)
                    std::memcpy(picture.ScanLine(FCompactRect.Top + y) + offset, FBitmap->ScanLine(y), length);
            } else {
                picture.Canvas().Draw(FCompactRect.Left, FCompactRect.Top, *FBitmap);
            }
        }
        Flags |= pcPixels;
    } else if (FBitmap) {
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
