#pragma once
// What a selection needs of the program's clipboard, which lives in a higher layer: putting a
// picture on it with a tag (its transparent colour, -1 for none). The program installs its clipboard
// once at start-up; until then (and in tests that install none) there is no clipboard.
#include "platform/Types.h"

class TBitmap;

class ISelectionClipboard {
public:
    virtual ~ISelectionClipboard() = default;
    // Puts Bitmap on the clipboard as its newest picture, tagged with Tag. May raise.
    virtual void CopyBitmap(const TBitmap& Bitmap, TColor Tag) = 0;
    void CopyBitmapNoTag(const TBitmap& Bitmap) { CopyBitmap(Bitmap, -1); }
    // What a picture window's paste needs: whether a picture is there, and the newest one with its
    // tag (-1 for none). PasteBitmap may raise; a clipboard that cannot paste has no picture.
    virtual bool HasPicture() const { return false; }
    virtual void PasteBitmap(TBitmap& Bitmap, TColor& Tag) const { (void)Bitmap, (void)Tag; }
};

// The clipboard the selections copy to (not owned; null for none).
void SetSelectionClipboard(ISelectionClipboard* Clipboard);
ISelectionClipboard* SelectionClipboard();
