#pragma once
// A rotary dial: a needle from the centre over a background bitmap. Dragging with the left button
// sets Position in Increments steps per full turn, 0 pointing up and growing clockwise.
#include "controls/XGraphicCtrls.h"
#include "platform/Graphics.h"

#include <memory>

class TDial : public TXGraphicControl {
public:
    // Created 100 x 100 with the default face; Increments 0 until the owner sets it.
    explicit TDial(QWidget* Parent = nullptr);

    int32_t Position() const { return FPosition; }
    // Stores Value unchecked, fires OnChange (also when unchanged) and repaints.
    void SetPosition(int32_t Value);
    int32_t Increments() const { return FIncrements; }
    // Ignored below 1 or when unchanged.
    void SetIncrements(int32_t Value);
    int32_t NeedleGap() const { return FNeedleGap; }
    // Ignored when not below Min(centre x, centre y) or unchanged (negative gaps are taken).
    void SetNeedleGap(int32_t Value);
    int32_t NeedleWidth() const { return FNeedleWidth; }
    // Taken only for 1..9.
    void SetNeedleWidth(int32_t Value);
    TColor NeedleColour() const { return FNeedleColour; }
    void SetNeedleColour(TColor Value);
    bool NeedleInverse() const { return FNeedleInverse; }
    void SetNeedleInverse(bool Value);
    bool TransParent() const { return FBackground->Transparent(); }
    void SetTransParent(bool Value);
    TBitmap& Background() { return *FBackground; }
    // With a bitmap the dial takes its size and face; with null the default face at the dial's size.
    // Either way the needle gap becomes 0.
    void SetBackground(const TBitmap* Value);
    // Dial colour behind a transparent background.
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);

    TPoint Centre() const { return FCentre; }
    TPoint NeedleTip() const { return FTip; }
    double DegreesPerIncrement() const { return FDegreesPerIncrement; }
    bool Dragging() const { return FDragging; }

    // The position a drag to (X, Y) gives.
    int32_t PositionFromPoint(int X, int Y) const;

    TNotifyEvent OnChange;

protected:
    void Paint(QPainter& Canvas) override;
    void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y) override;
    void MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y) override;
    void MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void DrawDefaultFace();
    void ResetCentre();
    void FollowTip(int X, int Y);

    int32_t FPosition = 0;
    int32_t FNeedleGap = 2;
    int32_t FNeedleWidth = 1;
    int32_t FIncrements = 0;
    TPoint FTip{0, 0};
    TPoint FCentre{0, 0};
    TColor FNeedleColour = clBlack;
    std::unique_ptr<TBitmap> FBackground;
    bool FNeedleInverse = false;
    bool FDragging = false;
    double FDegreesPerIncrement = 1.0;
    TColor FColor = clBtnFace;
    bool FOwnFace = true; // the default face, redrawn when the dial is resized
};
