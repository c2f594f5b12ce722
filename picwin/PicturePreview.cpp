#include "picwin/PicturePreview.h"

#include "image/BitmapUtils.h"
#include "image/PicSelection.h"
#include "platform/Graphics.h"

TPicturePreview::TPicturePreview() = default;
TPicturePreview::~TPicturePreview() = default;

std::unique_ptr<TBitmap> TPicturePreview::TakeSavedBitmap() { return std::move(FSavedBitmap); }

void TPicturePreview::SetActive(bool Value)
{
    if (Value == FActive)
        return;
    FActive = Value;
    if (!Value) {
        FSavedBitmap.reset();
        FSavedSelection.reset();
    }
}

void TPicturePreview::SaveBitmap(const TBitmap* Bitmap)
{
    if (!Bitmap) {
        FSavedBitmap.reset();
        return;
    }
    if (!FSavedBitmap)
        FSavedBitmap = std::make_unique<TBitmap>();
    // CopyBitmap gives the copy the source's pixel format, size, colour table and pixels.
    CopyBitmap(*Bitmap, *FSavedBitmap);
}

void TPicturePreview::SaveSelection(const TPictureSelection* Selection)
{
    if (!Selection) {
        FSavedSelection.reset();
        return;
    }
    if (!FSavedSelection || FSavedSelection->ParentBitmap() != Selection->ParentBitmap())
        FSavedSelection = std::make_unique<TPictureSelection>(Selection->ParentBitmap());
    FSavedSelection->Assign(Selection);
}
