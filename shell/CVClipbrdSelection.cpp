#include "shell/CVClipbrdSelection.h"
#include "shell/CVClipbrd.h"

void TCVSelectionClipboard::CopyBitmap(const TBitmap& Bitmap, TColor Tag)
{
    FClipboard.CopyBitmap(&Bitmap, Tag);
}

bool TCVSelectionClipboard::HasPicture() const
{
    return FClipboard.HasPicture();
}

void TCVSelectionClipboard::PasteBitmap(TBitmap& Bitmap, TColor& Tag) const
{
    FClipboard.PasteBitmap(&Bitmap, Tag);
}
