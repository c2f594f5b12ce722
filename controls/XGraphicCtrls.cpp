// Window-less control base, paint box and colour swatch.
#include "controls/XGraphicCtrls.h"

#include <QMouseEvent>
#include <QPainter>

QColor ColorToQColor(TColor C)
{
    const TColor c = ColorToRGB(C);
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

// ---- TXGraphicControl ------------------------------------------------------------------------------

TXGraphicControl::TXGraphicControl(QWidget* Parent) : QWidget(Parent), TMouseEnterLeave(this)
{
    // Moves are reported with or without a pressed button (the colour readout follows the pointer).
    setMouseTracking(true);
}

void TXGraphicControl::Paint(QPainter&) {}

void TXGraphicControl::MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
}

void TXGraphicControl::MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y)
{
    if (OnMouseMove)
        OnMouseMove(this, Buttons, Shift, X, Y);
}

void TXGraphicControl::MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TXGraphicControl::Click()
{
    if (OnClick)
        OnClick(this);
}

void TXGraphicControl::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TXGraphicControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Paint(painter);
}

void TXGraphicControl::mousePressEvent(QMouseEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    if (Event->button() == Qt::LeftButton)
        FClicked = true;
    MouseDown(Event->button(), Event->modifiers(), p.x(), p.y());
}

void TXGraphicControl::mouseDoubleClickEvent(QMouseEvent* Event)
{
    // The second press of a double click: no click follows its release.
    const QPoint p = Event->position().toPoint();
    if (Event->button() == Qt::LeftButton)
        DblClick();
    MouseDown(Event->button(), Event->modifiers(), p.x(), p.y());
}

void TXGraphicControl::mouseMoveEvent(QMouseEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    MouseMove(Event->buttons(), Event->modifiers(), p.x(), p.y());
}

void TXGraphicControl::mouseReleaseEvent(QMouseEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    if (Event->button() == Qt::LeftButton && FClicked) {
        FClicked = false;
        if (rect().contains(p))
            Click();
    }
    MouseUp(Event->button(), Event->modifiers(), p.x(), p.y());
}

void TXGraphicControl::enterEvent(QEnterEvent*)
{
    MouseEntered();
}

void TXGraphicControl::leaveEvent(QEvent*)
{
    MouseLeft();
}

// ---- TXCanvello ----------------------------------------------------------------------------------------

TXCanvello::TXCanvello(QWidget* Parent) : TXGraphicControl(Parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(105, 105);
}

void TXCanvello::SetColor(TColor Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    update();
}

void TXCanvello::Paint(QPainter& Canvas)
{
    // The box is opaque: fill it first so that a handler that leaves parts undrawn shows the colour
    // there instead of stale pixels.
    const QColor color = ColorToQColor(FColor);
    Canvas.fillRect(rect(), color);
    Canvas.setFont(font());
    Canvas.setBrush(color);
    if (OnPaint)
        OnPaint(this, Canvas);
}

// ---- TColourShow ---------------------------------------------------------------------------------------

TColourShow::TColourShow(QWidget* Parent) : TXGraphicControl(Parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(40, 40);
}

void TColourShow::SetColour(TColor Value)
{
    if (Value == FColour)
        return;
    FColour = Value;
    update();
}

void TColourShow::SetBorderColour(TColor Value)
{
    if (Value == FBorderColour)
        return;
    FBorderColour = Value;
    if (FShowBorder)
        update();
}

void TColourShow::SetShowBorder(bool Value)
{
    if (Value == FShowBorder)
        return;
    FShowBorder = Value;
    update();
}

void TColourShow::Paint(QPainter& Canvas)
{
    const QRect all = rect();
    Canvas.fillRect(all, ColorToQColor(FColour));
    if (FShowBorder && all.width() > 0 && all.height() > 0) {
        const QColor border = ColorToQColor(FBorderColour);
        Canvas.fillRect(QRect(0, 0, all.width(), 1), border);
        Canvas.fillRect(QRect(0, all.height() - 1, all.width(), 1), border);
        Canvas.fillRect(QRect(0, 0, 1, all.height()), border);
        Canvas.fillRect(QRect(all.width() - 1, 0, 1, all.height()), border);
    }
}
