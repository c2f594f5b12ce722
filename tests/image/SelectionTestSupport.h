#pragma once
// Helpers of the selection tests: a clipboard that records copies, a check of a selection's
// invariants (mask, picture and bounds agree), and error-message capture.
#include "EffectsTestSupport.h"

#include "image/PicSelection.h"
#include "image/SelectionClipboard.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace selection_test {

using namespace effects_test;

struct TRecordingClipboard : ISelectionClipboard {
    int Copies = 0;
    TColor Tag = 0;
    TBitmap Last;
    bool Fail = false;
    void CopyBitmap(const TBitmap& Bitmap, TColor T) override
    {
        if (Fail)
            throw Exception("Cannot open clipboard");
        ++Copies;
        Tag = T;
        ::CopyBitmap(Bitmap, Last);
    }
};

// Installs a clipboard for the life of the scope.
struct TClipboardScope {
    explicit TClipboardScope(ISelectionClipboard* Clipboard) { SetSelectionClipboard(Clipboard); }
    ~TClipboardScope() { SetSelectionClipboard(nullptr); }
};

// The message of the EPicSelectionError that F raises.
inline std::string SelectionError(const std::function<void()>& F)
{
    try {
        F();
    } catch (const EPicSelectionError& e) {
        return e.Message;
    } catch (const std::exception& e) {
        return std::string("other exception: ") + e.what();
    }
    return "(nothing raised)";
}

inline std::string CreationError(const std::string& Cause) { return "There was an error creating selection. " + Cause; }

// Bounds have the picture's size; a mask has it too and is True exactly where the picture has the
// transparent colour.
inline ::testing::AssertionResult Consistent(const TPictureSelection& S)
{
    const TBitmap& p = S.Picture();
    if (S.Bounds().Width() != p.Width() || S.Bounds().Height() != p.Height())
        return ::testing::AssertionFailure() << "bounds " << S.Bounds().Width() << " x " << S.Bounds().Height()
                                             << ", picture " << p.Width() << " x " << p.Height();
    if (!S.HasMask())
        return ::testing::AssertionSuccess();
    const TBool2DArray& m = *S.Mask();
    if (m.Width != p.Width() || m.Height != p.Height())
        return ::testing::AssertionFailure() << "mask " << m.Width << " x " << m.Height;
    const TRGBTriple key = ColorToTriple(S.TransparentColour());
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x)
            if (m.GetItem(x, y) != SameTriple(PixelAt(p, x, y), key))
                return ::testing::AssertionFailure() << "mask item (" << x << ", " << y << ") is " << m.GetItem(x, y);
    return ::testing::AssertionSuccess();
}

// Parent pixels the selection holds (unmasked), in parent coordinates.
inline std::vector<TPoint> SelectedPixels(const TPictureSelection& S)
{
    std::vector<TPoint> out;
    for (int y = 0; y < S.Picture().Height(); ++y)
        for (int x = 0; x < S.Picture().Width(); ++x)
            if (!S.HasMask() || !S.Mask()->GetItem(x, y))
                out.push_back({S.Bounds().Left + x, S.Bounds().Top + y});
    return out;
}

} // namespace selection_test
