#pragma once
// The selections' way to the program's clipboard.
#include "image/SelectionClipboard.h"

class TCVClipboard;

class TCVSelectionClipboard : public ISelectionClipboard {
public:
    explicit TCVSelectionClipboard(TCVClipboard& Clipboard) : FClipboard(Clipboard) {}
    void CopyBitmap(const TBitmap& Bitmap, TColor Tag) override;
    bool HasPicture() const override;
    void PasteBitmap(TBitmap& Bitmap, TColor& Tag) const override;

private:
    TCVClipboard& FClipboard;
};
