#pragma once
// The unadjusted picture and selection kept while an adjustment is previewed on the picture itself,
// with the parameters of the preview now showing (so that a repeated preview, or a commit, with the
// same parameters is recognised and applies nothing a second time).
#include <memory>
#include <string>
#include <variant>

class TBitmap;
class TPictureSelection;

// The parameters of one adjustment: an angle or amount (integer), a gamma or radius (real), or the
// three RGB percentages as one string. Empty when none is stored.
using TPreviewParams = std::variant<std::monostate, int, double, std::string>;

class TPicturePreview {
public:
    TPicturePreview();
    ~TPicturePreview();
    TPicturePreview(const TPicturePreview&) = delete;
    TPicturePreview& operator=(const TPicturePreview&) = delete;

    bool Active() const { return FActive; }
    // Turning it off frees both saved copies.
    void SetActive(bool Value);
    // Null frees the copy; else Bitmap is copied into it, pixel format included.
    void SaveBitmap(const TBitmap* Bitmap);
    // Null frees the copy; else a plain selection on Selection's parent takes Selection's state.
    void SaveSelection(const TPictureSelection* Selection);

    TBitmap* SavedBitmap() const { return FSavedBitmap.get(); }
    TPictureSelection* SavedSelection() const { return FSavedSelection.get(); }
    // Hands the saved picture over (to an undo step); the preview keeps none afterwards.
    std::unique_ptr<TBitmap> TakeSavedBitmap();

    TPreviewParams Params;

private:
    bool FActive = false;
    std::unique_ptr<TBitmap> FSavedBitmap;
    std::unique_ptr<TPictureSelection> FSavedSelection;
};
