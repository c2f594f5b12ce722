#pragma once
// A 24-bit bitmap that carries a selection rectangle with eight square handles, drawn into its own
// pixels by inverting them, so that drawing the same selection twice restores the picture under it.
// It answers which handle a point hits and which cursor goes with it, and moves or resizes the
// rectangle edge by edge. TPrintPreviewBitmap keeps the rectangle inside an allowed area (the
// printable part of the page) and can keep its aspect ratio while any edge or corner is dragged.
#include "platform/Graphics.h"

#include <Qt>

#include <cstdint>
#include <functional>

// Hit codes of HitTest.
enum : int {
    shNone = 0, shTopLeft = 1, shTopMiddle = 2, shTopRight = 3, shMiddleLeft = 4, shMiddleRight = 5,
    shBottomLeft = 6, shBottomMiddle = 7, shBottomRight = 8, shInside = 9
};

class TSelectRectBitmap : public TBitmap {
public:
    explicit TSelectRectBitmap(uint8_t AHandleSize);
    ~TSelectRectBitmap() override = default;

    bool ShowSelection() const { return FShowSelection; }
    // Draws or removes the selection when the value changes, then DoChange(true).
    void SetShowSelection(bool Value);

    // Hit code of (X, Y): a handle (1..8, half-open bands), else 9 inside the rectangle (edges
    // included), else 0.
    int HitTest(int X, int Y) const;
    bool IsInside(int X, int Y) const { return HitTest(X, Y) == shInside; }
    static Qt::CursorShape CursorForHit(int Hit, Qt::CursorShape Default);
    // The cursor of the hit under (X, Y) while the selection is shown, else Default.
    Qt::CursorShape CursorAt(int X, int Y, Qt::CursorShape Default) const;

    // Inverts the blue, green and red bytes of the outline and the handle squares (clipped to the
    // bitmap); a second call removes what the first drew. Does nothing unless the bitmap is 24-bit.
    void DrawSelection();

    virtual void CalcHandles();
    virtual void DoChange(bool Redraw);

    // Moves so that the top-left is (X, Y), keeping the size.
    virtual void MoveTo(int X, int Y);
    // Edge and corner setters; the rectangle stays ordered (a new top or left is at most the bottom
    // or right, a new bottom or right at least the top or left).
    virtual void SetTop(int Y);
    virtual void SetLeft(int X);
    virtual void SetTopLeft(int X, int Y);
    virtual void SetTopRight(int X, int Y);
    virtual void SetRight(int X);
    virtual void SetBottom(int Y);
    virtual void SetBottomLeft(int X, int Y);
    virtual void SetBottomRight(int X, int Y);

    // Set by every move or resize; cleared by the owner.
    bool Changed = false;
    uint8_t HandleSize = 0;
    int32_t TopBandBottom = 0;
    int32_t BottomBandTop = 0;
    int32_t LeftBandRight = 0;
    int32_t RightBandLeft = 0;
    int32_t MidXStart = 0;
    int32_t MidXEnd = 0;
    int32_t MidYStart = 0;
    int32_t MidYEnd = 0;
    // Called after each change; Redraw says whether the pixels changed.
    std::function<void(TSelectRectBitmap* Sender, bool Redraw)> OnChange;
    TRect SelRect{-1, -1, -1, -1};

protected:
    // The frame of every move and resize: nothing when NewRect equals SelRect; else remove the drawn
    // selection, store, CalcHandles, draw again, Changed, DoChange.
    void ChangeRect(const TRect& NewRect);

private:
    bool FShowSelection = false;
};

class TPrintPreviewBitmap : public TSelectRectBitmap {
public:
    explicit TPrintPreviewBitmap(uint8_t AHandleSize) : TSelectRectBitmap(AHandleSize) {}

    // Stores R ordered (smaller coordinate first) and runs CalcHandles; no drawing, no change event.
    void SetRect(const TRect& R);

    void CalcHandles() override;
    void MoveTo(int X, int Y) override;
    void SetTop(int Y) override;
    void SetLeft(int X) override;
    void SetTopLeft(int X, int Y) override;
    void SetTopRight(int X, int Y) override;
    void SetRight(int X) override;
    void SetBottom(int Y) override;
    void SetBottomLeft(int X, int Y) override;
    void SetBottomRight(int X, int Y) override;

    bool KeepAspect = false;
    // Width / height kept while KeepAspect is on; a value that is not a positive number keeps none.
    double Aspect = 1.0;
    // The allowed area.
    int32_t MinX = 0;
    int32_t MinY = 0;
    int32_t MaxX = 0;
    int32_t MaxY = 0;
    // Right - Left and Bottom - Top, refreshed by CalcHandles.
    int32_t SelWidth = 0;
    int32_t SelHeight = 0;

private:
    bool AspectKept() const;
};
