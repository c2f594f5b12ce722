#pragma once
// Bases of the program's own controls: the event types they share, the mouse enter/leave
// convention, the window-less control base, the paint box and the colour swatch.
#include "platform/Types.h"

#include <QColor>
#include <QWidget>

#include <functional>

class QPainter;

// A colour value as a QColor; system colours are resolved through the system colour table.
QColor ColorToQColor(TColor C);

// Events: the sender comes first; they are called only when set.
using TNotifyEvent = std::function<void(QWidget* Sender)>;
using TMouseEvent = std::function<void(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                                       int X, int Y)>;
using TMouseMoveEvent = std::function<void(QWidget* Sender, Qt::MouseButtons Buttons,
                                           Qt::KeyboardModifiers Shift, int X, int Y)>;
using TPaintEvent = std::function<void(QWidget* Sender, QPainter& Canvas)>;

// The mouse-inside flag and its two events. A control mixes this in and calls MouseEntered from
// enterEvent and MouseLeft from leaveEvent: entering sets the flag and runs MouseEnter; leaving runs
// MouseLeave only while the flag is set, and clears it either way, so a leave without an enter
// reports nothing.
class TMouseEnterLeave {
public:
    virtual ~TMouseEnterLeave() = default;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    bool MouseInside() const { return FMouseInside; }

protected:
    explicit TMouseEnterLeave(QWidget* Self) : FSelf(Self) {}
    void MouseEntered()
    {
        FMouseInside = true;
        MouseEnter();
    }
    void MouseLeft()
    {
        if (!FMouseInside)
            return;
        FMouseInside = false;
        MouseLeave();
    }
    // Fire the events; descendants add their own reaction.
    virtual void MouseEnter()
    {
        if (OnMouseEnter)
            OnMouseEnter(FSelf);
    }
    virtual void MouseLeave()
    {
        if (OnMouseLeave)
            OnMouseLeave(FSelf);
    }

private:
    QWidget* FSelf;
    bool FMouseInside = false;
};

// A control that paints itself in Paint and reports the mouse through virtual handlers and events.
// A pressed button of any kind keeps the mouse until it is released (Qt grabs it implicitly), so a
// drag with the right button reaches the control even outside it.
class TXGraphicControl : public QWidget, public TMouseEnterLeave {
public:
    explicit TXGraphicControl(QWidget* Parent = nullptr);

    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    // A left-button press and release inside the control.
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;

protected:
    virtual void Paint(QPainter& Canvas);
    virtual void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    virtual void MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y);
    virtual void MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    virtual void Click();
    virtual void DblClick();

    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    bool FClicked = false;
};

// A paint box: fills itself with Color, then leaves the drawing to OnPaint. Created 105 x 105.
class TXCanvello : public TXGraphicControl {
public:
    explicit TXCanvello(QWidget* Parent = nullptr);

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);

    // Called with a painter whose font is the control's and whose brush is Color.
    TPaintEvent OnPaint;

protected:
    void Paint(QPainter& Canvas) override;

private:
    TColor FColor = clBtnFace;
};

// A swatch of one colour, framed by a one-pixel border when ShowBorder. Created 40 x 40.
class TColourShow : public TXGraphicControl {
public:
    explicit TColourShow(QWidget* Parent = nullptr);

    TColor Colour() const { return FColour; }
    void SetColour(TColor Value);
    TColor BorderColour() const { return FBorderColour; }
    void SetBorderColour(TColor Value);
    bool ShowBorder() const { return FShowBorder; }
    void SetShowBorder(bool Value);

protected:
    void Paint(QPainter& Canvas) override;

private:
    TColor FColour = clWhite;
    TColor FBorderColour = clBlack;
    bool FShowBorder = true;
};
