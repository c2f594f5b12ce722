#pragma once
// The undo list of a picture window and its picture undo steps.
//
// The list (TCVUndoActionFactory) keeps at most MaxActions steps, newest first, and knows nothing of
// pictures: it makes each step from a class reference, hands it the list's parent and runs the newest
// one on Undo. The picture steps restore a picture window through IUndoTarget: a general step keeps
// a copy of the picture and/or a snapshot of the floating selection; a reversible step keeps only
// its scope and undoes a self-inverse operation (flip, mirror, negative) by doing it once more.
#include "picwin/PictureChanges.h"
#include "platform/SysUtils.h"
#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TBitmap;
class TCVCompactSelection;
class TPictureTiles;
class TEffectsBitmap;
class TPictureScrollBox;
class TPictureSelection;

CANVELLO_EXCEPTION(ECVUndoActionError, Exception)

// "Parent Object is invalid"
extern const char* const kUndoParentInvalid;
// "Parent Object must be a picture child window"
extern const char* const kUndoParentNotPicture;
// "Undo Error. %s": a step that failed while it ran, with the cause.
extern const char* const kUndoFailed;

// Whatever an undo step restores derives from this.
class IUndoParent {
public:
    virtual ~IUndoParent() = default;
};

// The picture window as the picture steps see it.
class IUndoTarget : public IUndoParent {
public:
    // The view that owns the picture.
    virtual TPictureScrollBox& PictureScrollBox() = 0;
    // The floating selection, or null.
    virtual TPictureSelection* Selection() = 0;
    // The hourglass (the selection's marching ants stop) and back.
    virtual void BeginWait() = 0;
    virtual void EndWait() = 0;
    // A floating selection of Bitmap at Origin replaces any old one; on failure there is none.
    virtual void NewBitmapSelection(TBitmap* Bitmap, TPoint Origin, TColor TransparentColour) = 0;
    // Frees the selection without pasting it or reporting a change; the view gets the current
    // tool's cursor back.
    virtual void RemoveSelection() = 0;
    // Sizes the window to the zoomed picture.
    virtual bool BestFit(int PicWidth, int PicHeight) = 0;
    virtual void Changed(TPictureChanges Flags, bool SetModifiedFlag) = 0;
    virtual bool Modified() const = 0;
    virtual void SetModified(bool Value) = 0;
};

// ---- Framework ------------------------------------------------------------------------------------

class TCVBaseUndoAction {
public:
    // Raises ECVUndoActionError kUndoParentInvalid for null.
    explicit TCVBaseUndoAction(IUndoParent* Parent);
    virtual ~TCVBaseUndoAction();
    TCVBaseUndoAction(const TCVBaseUndoAction&) = delete;
    TCVBaseUndoAction& operator=(const TCVBaseUndoAction&) = delete;

    virtual void Undo() = 0;
    // The bytes of pixels the step keeps for its undo.
    virtual size_t HeldBytes() const { return 0; }
    IUndoParent* Parent() const { return FParent; }

private:
    IUndoParent* FParent;
};

// A class reference: makes a step of one class for a parent.
using TCVUndoActionClass = std::unique_ptr<TCVBaseUndoAction> (*)(IUndoParent* Parent);

template <class T>
std::unique_ptr<TCVBaseUndoAction> CreateUndoAction(IUndoParent* Parent)
{
    return std::make_unique<T>(Parent);
}

class TCVUndoActionFactory {
public:
    explicit TCVUndoActionFactory(IUndoParent* Parent);
    ~TCVUndoActionFactory();
    TCVUndoActionFactory(const TCVUndoActionFactory&) = delete;
    TCVUndoActionFactory& operator=(const TCVUndoActionFactory&) = delete;

    // Makes a step of ActionClass for Parent and puts it first; the oldest steps beyond MaxActions
    // are freed. A step that cannot be made is not inserted (its exception propagates).
    TCVBaseUndoAction* AddAction(TCVUndoActionClass ActionClass);
    template <class T> T* AddAction() { return static_cast<T*>(AddAction(&CreateUndoAction<T>)); }
    // Frees step Index; an index outside the list is ignored.
    void Delete(int Index);
    void Clear();
    int Count() const { return static_cast<int>(FList.size()); }
    // The bytes of pixels all the steps keep.
    size_t HeldBytes() const;
    // Step Index (0 newest), or null outside the list.
    TCVBaseUndoAction* Items(int Index) const;

    // Runs and frees the newest step under the hourglass. False, with nothing changed, when the
    // list is empty or an undo is already running. The step leaves the list before it runs, so a
    // step runs once at the most; a step that fails is freed too and its failure comes out as
    // ECVUndoActionError.
    bool Undo();
    bool Undoing() const { return FUndoing; }

    IUndoParent* Parent() const { return FParent; }
    int32_t MaxActions = 5;

private:
    IUndoParent* FParent;
    std::vector<std::unique_ptr<TCVBaseUndoAction>> FList;
    bool FUndoing = false;
};

// ---- Picture steps ----------------------------------------------------------------------------------

class TCVPicUndoAction : public TCVBaseUndoAction {
public:
    // Parent must be a picture window (kUndoParentNotPicture otherwise).
    explicit TCVPicUndoAction(IUndoParent* Parent);

    // Restores the window under the hourglass with the view's updates held, reports what changed
    // (without marking the picture modified) and puts back Modified as it was when the step was
    // recorded. When Restore fails the view and cursor still come back, what did change is reported
    // as a modification, and the failure propagates.
    void Undo() override;
    virtual void Restore(IUndoTarget& Window, TPictureChanges& Flags) = 0;

    // The window's Modified when the step was recorded.
    bool WasModified = false;

protected:
    IUndoTarget& Window() const { return *FWindow; }

private:
    IUndoTarget* FWindow;
};

// The bounding rectangle of the pixels that differ between A and B, empty when none do. False when
// the two cannot be compared pixel by pixel: another size or format, or a format other than 24 or
// 32 bits.
bool FindChangedRect(const TBitmap& A, const TBitmap& B, TRect& Changed);

// Puts back a copy of the picture and/or of the floating selection.
//
// A stroke's step keeps no copy at its start: the picture saves into the step each tile a dab, fill
// or merge is about to change, before its first change (BeginTiles to EndTiles). Undo puts those
// tiles back; the rest of the picture is what it was, for the same reason as below.
//
// A compacted step keeps of its picture copy only the rectangle that differs from the picture as it
// was when the step was compacted (the end of a stroke). Every later change of the picture records
// a step of its own first, so when this step is undone the picture outside that rectangle is what
// the copy held: putting the rectangle back restores the same pixels as the whole copy would.
class TCVPicGenUndoAction : public TCVPicUndoAction {
public:
    using TCVPicUndoAction::TCVPicUndoAction;
    ~TCVPicGenUndoAction() override;

    // Null drops the copy; otherwise the copy takes Bitmap's format, size and pixels.
    void SetBitmap(const TBitmap* Bitmap);
    // Keeps Bitmap itself as the copy (a copy made already, e.g. by a preview): no second copy.
    void TakeBitmap(std::unique_ptr<TBitmap> Bitmap);
    // Null drops the snapshot; otherwise the snapshot takes the selection's picture, position and
    // transparent colour (-1 without a mask).
    void SetSelection(const TPictureSelection* Selection);
    // SetSelection for a selection that is being thrown away: its pixels are taken, not copied.
    void TakeSelection(TPictureSelection& Selection);
    // Tiles instead of a copy: from now until EndTiles, Picture saves into this step every tile it
    // is about to change. Drops a copy kept before.
    void BeginTiles(TEffectsBitmap& Picture);
    // The picture stops saving into this step (also when the step is freed first).
    void EndTiles();
    // The tiles kept, or null for a step with a copy (or nothing) instead.
    const TPictureTiles* Tiles() const { return FTiles.get(); }
    // The picture copy: the whole picture, or in a compacted step the pixels of CompactRect (null
    // when nothing had changed).
    const TBitmap* Bitmap() const { return FBitmap.get(); }
    const TCVCompactSelection* Selection() const { return FSelection.get(); }

    // Keeps only the rectangle of the copy whose pixels differ from Current (nothing when none
    // differ) and frees the whole copy. False, with the copy kept whole, when there is no copy, the
    // step is compacted already, or Current cannot be compared with it (another size or format:
    // crop, resize...), or memory for the rectangle is short.
    bool Compact(const TBitmap& Current);
    bool Compacted() const { return FCompacted; }
    // Where the kept pixels go back (empty when nothing had changed); meaningful when Compacted.
    const TRect& CompactRect() const { return FCompactRect; }
    size_t HeldBytes() const override;

    void Restore(IUndoTarget& Window, TPictureChanges& Flags) override;

private:
    std::unique_ptr<TBitmap> FBitmap;
    std::unique_ptr<TCVCompactSelection> FSelection;
    std::unique_ptr<TPictureTiles> FTiles;
    TEffectsBitmap* FTilesPicture = nullptr; // saving into FTiles while set
    bool FCompacted = false;
    TRect FCompactRect;
    int FFullWidth = 0, FFullHeight = 0; // the picture's size when compacted
};

// What a reversible step reverses.
enum : uint8_t { usPicture = 0, usSelection = 1, usPictureAndSelection = 2 };

// Undoes a self-inverse operation by applying it again to the picture and/or the selection (when
// the window still has one).
class TCVPicRevUndoAction : public TCVPicUndoAction {
public:
    using TCVPicUndoAction::TCVPicUndoAction;
    void Restore(IUndoTarget& Window, TPictureChanges& Flags) override;

    uint8_t Scope = usPicture;

protected:
    virtual void ApplyToPicture(TEffectsBitmap& Picture) = 0;
    virtual void ApplyToSelection(TPictureSelection& Selection) = 0;
};

class TCVPicFlipUndoAction : public TCVPicRevUndoAction {
public:
    using TCVPicRevUndoAction::TCVPicRevUndoAction;

protected:
    void ApplyToPicture(TEffectsBitmap& Picture) override;
    void ApplyToSelection(TPictureSelection& Selection) override;
};

class TCVPicMirrorUndoAction : public TCVPicRevUndoAction {
public:
    using TCVPicRevUndoAction::TCVPicRevUndoAction;

protected:
    void ApplyToPicture(TEffectsBitmap& Picture) override;
    void ApplyToSelection(TPictureSelection& Selection) override;
};

class TCVPicNegUndoAction : public TCVPicRevUndoAction {
public:
    using TCVPicRevUndoAction::TCVPicRevUndoAction;

protected:
    void ApplyToPicture(TEffectsBitmap& Picture) override;
    void ApplyToSelection(TPictureSelection& Selection) override;
};
