#include "shell/CVClipbrdSelection.h"
#include "shell/CVClipbrd.h"

void TCVSelectionClipboard::CopyBitmap(const TBitmap& Bitmap, TColor Tag)
{
    FClipboard.CopyBitmap(&Bitmap, Tag);
}
