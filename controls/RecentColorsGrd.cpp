// Recent-colours list, its promotion rule and the grid control.
#include "controls/RecentColorsGrd.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

// ---- TColorList ------------------------------------------------------------------------------------

TColorList::TColorList(int Count, TColor DefaultColour)
    : FColours(static_cast<size_t>(std::max(0, Count)), DefaultColour), FDefaultColour(DefaultColour)
{
}

void TColorList::SetCount(int N)
{
    FColours.resize(static_cast<size_t>(std::max(0, N)), FDefaultColour);
}

TColor TColorList::GetColour(int Index) const
{
    return Index >= 0 && Index < Count() ? FColours[Index] : FDefaultColour;
}

void TColorList::SetColour(int Index, TColor Colour)
{
    if (Index >= 0 && Index < Count())
        FColours[Index] = Colour;
}

int TColorList::IndexOf(TColor Colour) const
{
    const auto it = std::find(FColours.begin(), FColours.end(), Colour);
    return it == FColours.end() ? -1 : static_cast<int>(it - FColours.begin());
}

bool PromoteColour(TColorList& List, TColor Colour)
{
    const int n = List.Count();
    int i = List.IndexOf(Colour);
    if (i == 0 || n == 0)
        return false;
    if (i < 0)
        i = n - 1; // absent: the last colour drops out
    for (int k = i; k >= 1; --k)
        List.SetColour(k, List.GetColour(k - 1));
    List.SetColour(0, Colour);
    return true;
}

int GridCellIndexAt(int X, int Y, int Cols, int Rows, int CellWidth, int CellHeight)
{
    if (X < 0 || Y < 0 || Cols < 1 || Rows < 1 || CellWidth < 0 || CellHeight < 0)
        return -1;
    const int col = X / (CellWidth + 1);
    const int row = Y / (CellHeight + 1);
    if (col >= Cols || row >= Rows)
        return -1;
    return row * Cols + col;
}

// ---- TRecentColorsGrid ----------------------------------------------------------------------------

TRecentColorsGrid::TRecentColorsGrid(QWidget* Parent)
    : QFrame(Parent), TMouseEnterLeave(this), FColours(5 * 5, clWhite)
{
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setMouseTracking(true);
    Resized();
}

void TRecentColorsGrid::SetColorColCount(int Value)
{
    if (Value < 1 || Value == FColCount)
        return;
    FColours.SetCount(Value * FRowCount);
    FColCount = Value;
    Resized();
}

void TRecentColorsGrid::SetColorRowCount(int Value)
{
    if (Value < 1 || Value == FRowCount)
        return;
    FColours.SetCount(FColCount * Value);
    FRowCount = Value;
    Resized();
}

void TRecentColorsGrid::SetColorColWidth(int Value)
{
    if (Value < 1 || Value == FColWidth)
        return;
    FColWidth = Value;
    Resized();
}

void TRecentColorsGrid::SetColorRowHeight(int Value)
{
    if (Value < 1 || Value == FRowHeight)
        return;
    FRowHeight = Value;
    Resized();
}

void TRecentColorsGrid::Resized()
{
    updateGeometry();
    resize(sizeHint());
    update();
}

QSize TRecentColorsGrid::sizeHint() const
{
    const int frame = 2 * frameWidth();
    return {(FColWidth + 1) * FColCount + frame, (FRowHeight + 1) * FRowCount + frame};
}

void TRecentColorsGrid::SetColour(int Index, TColor Colour)
{
    if (Index < 0 || Index >= FColours.Count() || FColours.GetColour(Index) == Colour)
        return;
    FColours.SetColour(Index, Colour);
    update();
}

std::vector<TColor> TRecentColorsGrid::Colours() const
{
    std::vector<TColor> result(static_cast<size_t>(FColours.Count()));
    for (int i = 0; i < FColours.Count(); ++i)
        result[i] = FColours.GetColour(i);
    return result;
}

void TRecentColorsGrid::SetColours(const std::vector<TColor>& Values)
{
    // Saved values come from outside: only plain RGB values take a cell.
    const int n = std::min(FColours.Count(), static_cast<int>(Values.size()));
    for (int i = 0; i < n; ++i)
        if (Values[i] >= 0 && Values[i] <= 0xFFFFFF)
            SetColour(i, Values[i]);
}

void TRecentColorsGrid::AddColour(TColor Colour)
{
    if (PromoteColour(FColours, Colour))
        update();
}

int TRecentColorsGrid::CellIndexAt(int X, int Y) const
{
    const QPoint origin = contentsRect().topLeft();
    return GridCellIndexAt(X - origin.x(), Y - origin.y(), FColCount, FRowCount, FColWidth, FRowHeight);
}

TColor TRecentColorsGrid::ColourAt(int X, int Y) const
{
    const int index = CellIndexAt(X, Y);
    return index < 0 ? -1 : FColours.GetColour(index);
}

QRect TRecentColorsGrid::CellRect(int Col, int Row) const
{
    const QPoint origin = contentsRect().topLeft();
    return {origin.x() + Col * (FColWidth + 1), origin.y() + Row * (FRowHeight + 1), FColWidth, FRowHeight};
}

void TRecentColorsGrid::DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& ARect)
{
    Canvas.fillRect(ARect, ColorToQColor(FColours.GetColour(ARow * FColCount + ACol)));
}

void TRecentColorsGrid::paintEvent(QPaintEvent* Event)
{
    QFrame::paintEvent(Event);
    QPainter painter(this);
    // The grid lines and any room beyond the cells.
    painter.fillRect(contentsRect(), ColorToQColor(clBtnShadow));
    for (int row = 0; row < FRowCount; ++row)
        for (int col = 0; col < FColCount; ++col)
            DrawCell(painter, col, row, CellRect(col, row));
}

void TRecentColorsGrid::MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    // A press beside the cells picks nothing.
    if (CellIndexAt(X, Y) < 0)
        return;
    const TColor colour = ColourAt(X, Y);
    if (OnColorDown)
        OnColorDown(this, Button, Shift, colour);
    if (FAutoPromote)
        AddColour(colour);
}

void TRecentColorsGrid::mousePressEvent(QMouseEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    MouseDown(Event->button(), Event->modifiers(), p.x(), p.y());
}

void TRecentColorsGrid::mouseMoveEvent(QMouseEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    if (OnMouseMove)
        OnMouseMove(this, Event->buttons(), Event->modifiers(), p.x(), p.y());
}

void TRecentColorsGrid::enterEvent(QEnterEvent*)
{
    MouseEntered();
}

void TRecentColorsGrid::leaveEvent(QEvent*)
{
    MouseLeft();
}
