#pragma once
// The grid of recently used colours, newest first, and the colour list behind it.
#include "controls/XGraphicCtrls.h"

#include <QFrame>

#include <vector>

// A list of colours; reading outside the list answers the default colour, writing there is ignored.
class TColorList {
public:
    explicit TColorList(int Count = 0, TColor DefaultColour = clWhite);

    int Count() const { return static_cast<int>(FColours.size()); }
    // New entries take the default colour.
    void SetCount(int N);
    TColor GetColour(int Index) const;
    void SetColour(int Index, TColor Colour);
    // -1 when absent.
    int IndexOf(TColor Colour) const;
    TColor DefaultColour() const { return FDefaultColour; }
    void SetDefaultColour(TColor Value) { FDefaultColour = Value; }

private:
    std::vector<TColor> FColours;
    TColor FDefaultColour;
};

// Puts Colour first: the entries before its old place (all of them when it was absent or last)
// move one place back, so an absent colour pushes the last one out. False when nothing changed
// (already first, or an empty list).
bool PromoteColour(TColorList& List, TColor Colour);

// The row-major index of the cell under (X, Y) in a grid of Cols x Rows cells of CellWidth x
// CellHeight pixels, each followed by a one-pixel line (the line belongs to the cell before it);
// -1 off the cells.
int GridCellIndexAt(int X, int Y, int Cols, int Rows, int CellWidth, int CellHeight);

using TColorDownEvent = std::function<void(QWidget* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                                           TColor Color)>;

// ColCount x RowCount swatches of the colour list, row by row. A press on a swatch reports its
// colour through OnColorDown (and with AutoPromote moves it to the front). The control sizes
// itself to its cells; 5 x 5 cells of 20 x 20 after construction.
class TRecentColorsGrid : public QFrame, public TMouseEnterLeave {
public:
    explicit TRecentColorsGrid(QWidget* Parent = nullptr);

    // Ignored below 1; the list keeps ColCount * RowCount entries.
    int ColorColCount() const { return FColCount; }
    void SetColorColCount(int Value);
    int ColorRowCount() const { return FRowCount; }
    void SetColorRowCount(int Value);
    int ColorColWidth() const { return FColWidth; }
    void SetColorColWidth(int Value);
    int ColorRowHeight() const { return FRowHeight; }
    void SetColorRowHeight(int Value);
    TColor DefaultColor() const { return FColours.DefaultColour(); }
    void SetDefaultColor(TColor Value) { FColours.SetDefaultColour(Value); }
    bool AutoPromote() const { return FAutoPromote; }
    void SetAutoPromote(bool Value) { FAutoPromote = Value; }

    // Cells by row-major index; out of range reads give DefaultColor, writes are ignored.
    int ColourCount() const { return FColours.Count(); }
    TColor GetColour(int Index) const { return FColours.GetColour(Index); }
    void SetColour(int Index, TColor Colour);
    // All cells, for saving; loading takes the values in 0..0xFFFFFF for the first cells and leaves
    // the rest (and cells given a value out of that range) as they are.
    std::vector<TColor> Colours() const;
    void SetColours(const std::vector<TColor>& Values);
    // Moves Colour to the front of the grid (PromoteColour).
    void AddColour(TColor Colour);

    // The cell under a client point (-1 off the cells) and its colour (-1 off the cells).
    int CellIndexAt(int X, int Y) const;
    TColor ColourAt(int X, int Y) const;
    // A cell's rectangle in client coordinates (without its grid line).
    QRect CellRect(int Col, int Row) const;

    TColorDownEvent OnColorDown;
    TMouseMoveEvent OnMouseMove;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    virtual void DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& ARect);
    virtual void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);

    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    void Resized();

    TColorList FColours;
    int FColCount = 5;
    int FRowCount = 5;
    int FColWidth = 20;
    int FRowHeight = 20;
    bool FAutoPromote = false;
};
