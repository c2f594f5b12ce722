#pragma once
// The four ways of making a selection, each lifting its pixels out of the parent picture (the pasted
// picture lifts nothing), and the light snapshot of a selection kept by undo steps.
//
// Every failure after the base constructor comes out as EPicSelectionError "There was an error
// creating selection. %s" around the cause, and leaves the parent picture untouched: the parent is
// written only by the last step, the hole left by the lifted pixels.
#include "image/PicSelection.h"

#include <memory>

// The rectangle tool: Rect (either corner first) clipped to the parent. Without a transparent colour
// (-1) the whole rectangle leaves a hole in BackgroundColour; with one the selection is trimmed to
// the other pixels and only they leave the hole.
class TRectPictureSelection : public TPictureSelection {
public:
    static std::unique_ptr<TRectPictureSelection> CreateSelection(TBitmap* ParentBitmap, TRect Rect,
                                                                  TColor BackgroundColour, TColor TransparentColour);

protected:
    TRectPictureSelection(TBitmap* ParentBitmap, TRect Rect, TColor BackgroundColour, TColor TransparentColour);
};

// The freehand tool: the polygon through Points, right and bottom boundary left out. Points are
// moved into the selection's own coordinates. Without a transparent colour the lowest colour unused
// in the parent within the path's bounds marks the unselected pixels.
class TFreehandPictureSelection : public TPictureSelection {
public:
    static std::unique_ptr<TFreehandPictureSelection> CreateSelection(TBitmap* ParentBitmap, TFreehandPoints& Points,
                                                                      TColor BackgroundColour, TColor TransparentColour);

protected:
    TFreehandPictureSelection(TBitmap* ParentBitmap, TFreehandPoints& Points, TColor BackgroundColour,
                              TColor TransparentColour);
};

// A picture placed at TopLeft (a paste, or an undo snapshot); the parent is not touched.
class TBitmapPictureSelection : public TPictureSelection {
public:
    static std::unique_ptr<TBitmapPictureSelection> CreateSelection(TBitmap* ParentBitmap, TBitmap* Picture,
                                                                    TPoint TopLeft, TColor TransparentColour);

protected:
    TBitmapPictureSelection(TBitmap* ParentBitmap, TBitmap* Picture, TPoint TopLeft, TColor TransparentColour);
};

// The magic wand: the 4-connected area around StartPoint of the colours within Tolerance (per
// channel) of the start pixel's colour.
class TMagicWandPictureSelection : public TPictureSelection {
public:
    static std::unique_ptr<TMagicWandPictureSelection> CreateSelection(TBitmap* ParentBitmap, TPoint StartPoint,
                                                                       int32_t Tolerance, TColor BackgroundColour);

protected:
    TMagicWandPictureSelection(TBitmap* ParentBitmap, TPoint StartPoint, int32_t Tolerance, TColor BackgroundColour);
};

// A snapshot of a selection: a copy of its picture, its top-left and its transparent colour (-1 when
// it has no mask).
class TCVCompactSelection {
public:
    // Raises EPicSelectionError "Invalid Picture Selection" for null.
    explicit TCVCompactSelection(const TPictureSelection* Selection);
    // An empty snapshot, for Take.
    TCVCompactSelection() = default;
    void Assign(const TPictureSelection* Selection);
    // Assign for a selection that is being thrown away: its picture's pixels are taken, not copied,
    // and its picture is left empty.
    void Take(TPictureSelection& Selection);

    TBitmap Picture;
    int32_t Left = 0;
    int32_t Top = 0;
    TColor TransparentColour = -1;
};
