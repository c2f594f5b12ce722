// The rotary dial.
#include "controls/XDial.h"

#include "globals/CVGlobal.h"
#include "platform/SysUtils.h"

#include <QPainter>
#include <QResizeEvent>

#include <cmath>
#include <numbers>

TDial::TDial(QWidget* Parent) : TXGraphicControl(Parent), FBackground(std::make_unique<TBitmap>())
{
    FBackground->SetTransparent(true);
    resize(100, 100);
    setFixedSize(100, 100);
    DrawDefaultFace();
    ResetCentre();
}

void TDial::DrawDefaultFace()
{
    FBackground->SetPixelFormat(pf24bit);
    FBackground->SetSize(std::max(width(), 1), std::max(height(), 1));
    TCanvas& c = FBackground->Canvas();
    c.Brush.Color = clBtnFace;
    c.Brush.Style = bsSolid;
    c.FillRect(Rect(0, 0, FBackground->Width(), FBackground->Height()));
    c.Pen.Color = clWhite;
    c.Pen.Width = 1;
    c.Pen.Mode = pmCopy;
    c.Ellipse(0, 0, FBackground->Width(), FBackground->Height());
}

void TDial::ResetCentre()
{
    FCentre = TPoint{width() >> 1, height() >> 1};
    FTip = TPoint{FCentre.X, 0};
}

void TDial::resizeEvent(QResizeEvent* Event)
{
    TXGraphicControl::resizeEvent(Event);
    if (FOwnFace)
        DrawDefaultFace();
    ResetCentre();
}

void TDial::SetPosition(int32_t Value)
{
    FPosition = Value;
    if (OnChange)
        OnChange(this);
    repaint();
}

void TDial::SetIncrements(int32_t Value)
{
    if (Value < 1 || Value == FIncrements)
        return;
    FIncrements = Value;
    FDegreesPerIncrement = 360.0 / Value;
    update();
}

void TDial::SetNeedleGap(int32_t Value)
{
    if (Value >= std::min(FCentre.X, FCentre.Y) || Value == FNeedleGap)
        return;
    FNeedleGap = Value;
    update();
}

void TDial::SetNeedleWidth(int32_t Value)
{
    if (Value < 1 || Value > 9 || Value == FNeedleWidth)
        return;
    FNeedleWidth = Value;
    update();
}

void TDial::SetNeedleColour(TColor Value)
{
    if (Value == FNeedleColour)
        return;
    FNeedleColour = Value;
    if (!FNeedleInverse)
        update();
}

void TDial::SetNeedleInverse(bool Value)
{
    if (Value == FNeedleInverse)
        return;
    FNeedleInverse = Value;
    update();
}

void TDial::SetTransParent(bool Value)
{
    if (Value == FBackground->Transparent())
        return;
    FBackground->SetTransparent(Value);
    update();
}

void TDial::SetColor(TColor Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    update();
}

void TDial::SetBackground(const TBitmap* Value)
{
    if (Value && !Value->Empty()) {
        FOwnFace = false;
        const bool transparent = FBackground->Transparent();
        FBackground->Assign(Value);
        FBackground->SetTransparent(transparent);
        setFixedSize(Value->Width(), Value->Height());
    } else {
        FOwnFace = true;
        DrawDefaultFace();
    }
    ResetCentre();
    FNeedleGap = 0;
    update();
}

void TDial::Paint(QPainter& Painter)
{
    const double angle = FPosition * FDegreesPerIncrement * std::numbers::pi / 180.0;
    FTip.X = FCentre.X + static_cast<int>(std::trunc(std::sin(angle) * (FCentre.X - FNeedleGap)));
    FTip.Y = FCentre.Y - static_cast<int>(std::trunc(std::cos(angle) * (FCentre.Y - FNeedleGap)));
    TBitmap face(FBackground->Width(), FBackground->Height(), pf24bit);
    TCanvas& c = face.Canvas();
    if (FBackground->Transparent()) {
        c.Brush.Color = FColor;
        c.Brush.Style = bsSolid;
        c.FillRect(Rect(0, 0, face.Width(), face.Height()));
    }
    c.Draw(0, 0, *FBackground);
    if (FNeedleInverse)
        c.Pen.Mode = pmNot;
    else {
        c.Pen.Mode = pmCopy;
        c.Pen.Color = FNeedleColour;
    }
    c.Pen.Width = FNeedleWidth;
    c.Pen.Style = psSolid;
    c.MoveTo(FCentre.X, FCentre.Y);
    c.LineTo(FTip.X, FTip.Y);
    Painter.drawImage(0, 0, BitmapToQImage(face, false));
}

int32_t TDial::PositionFromPoint(int X, int Y) const
{
    const int dx = X - FCentre.X;
    const int dy = FCentre.Y - Y; // up is positive
    const double r = std::sqrt(static_cast<double>(int64_t(dx) * dx + int64_t(dy) * dy));
    const double toDeg = 180.0 / std::numbers::pi;
    double angle = 0;
    if (dx >= 0 && dy >= 0)
        angle = dx == 0 ? 0.0 : std::asin(dx / r) * toDeg;
    else if (dx >= 0)
        angle = 90.0 + std::asin(-dy / r) * toDeg;
    else if (dy < 0)
        angle = 180.0 + std::asin(-dx / r) * toDeg;
    else
        angle = dy == 0 ? 270.0 : 270.0 + std::asin(dy / r) * toDeg;
    return static_cast<int32_t>(std::trunc(angle / 360.0 * FIncrements + 0.5));
}

void TDial::FollowTip(int X, int Y)
{
    FTip = TPoint{X, Y};
    SetPosition(PositionFromPoint(X, Y));
}

void TDial::MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    TXGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button == Qt::LeftButton) {
        FDragging = true;
        GuardEvent(this, [&] { FollowTip(X, Y); });
    }
}

void TDial::MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y)
{
    TXGraphicControl::MouseMove(Buttons, Shift, X, Y);
    if (FDragging)
        GuardEvent(this, [&] { FollowTip(X, Y); });
}

void TDial::MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    TXGraphicControl::MouseUp(Button, Shift, X, Y);
    FDragging = false;
}
