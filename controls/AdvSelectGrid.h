#pragma once
// The owner-drawn, multi-selection cell grid of the picture browser.
//
// TXCustomDrawGrid is a scrolling grid of equal cells (ColCount x RowCount, DefaultColWidth x
// DefaultRowHeight) that paints only the cells inside the exposed part of its viewport through the
// owner-draw event OnDrawCell. It scrolls by whole rows and columns, keeps a current cell and reports
// the mouse entering and leaving it.
//
// TAdvSelectDrawGrid lays a linear list of NumOfCells cells out in as many columns as fit its width and
// keeps a set of selected cells (TGridSelectionList), independent of the current cell, driven by
// Explorer-like mouse and key rules. All positions are 32-bit rows and columns (linear indices up to
// 2^31 - 1): nothing is packed into 16 bits, so grids of more than 32767 rows work.
//
// Coordinates given to and reported by the grid (mouse events, MouseToCell, CellRect, drag and drop
// events) are in viewport coordinates.
#include "controls/XGraphicCtrls.h"
#include "platform/SysUtils.h"
#include "platform/Types.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QDrag;
class QPainter;

struct TGridCoord {
    int X = 0; // column
    int Y = 0; // row
    friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};

// Draw state of a cell: a set of these flags.
enum TGridDrawStateFlag : unsigned {
    gdSelected = 1,
    gdFocused = 2,
    gdFixed = 4,
};
using TGridDrawState = unsigned;

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// Canvas: a painter clipped to the cell whose brush is the grid's background colour (fill empty
// cells with it). An exception escaping the handler makes the grid draw a placeholder in that cell and
// report the error through OnDrawCellError (see TXCustomDrawGrid).
using TDrawCellEvent = std::function<void(QWidget* Sender, QPainter& Canvas, int ACol, int ARow,
                                          const QRect& Rect, TGridDrawState State)>;
using TSelectCellEvent = std::function<void(QWidget* Sender, int ACol, int ARow, bool& CanSelect)>;
// Key: the Qt key code; a handler may set it to 0 to stop the grid's own handling.
using TKeyEvent = std::function<void(QWidget* Sender, int& Key, Qt::KeyboardModifiers Shift)>;
// Reported once per load (until ResetDrawErrorReport), after painting has finished, never from
// inside a paint event.
using TDrawCellErrorEvent = std::function<void(QWidget* Sender, int ACol, int ARow, const std::string& Message)>;
// Drag and drop. Source is the drag's source object (the grid itself for a drag started here, or
// nullptr for a drag from another program); X, Y are viewport coordinates. Accept starts True.
using TGridStartDragEvent = std::function<void(QWidget* Sender, QDrag* Drag)>;
using TGridEndDragEvent = std::function<void(QWidget* Sender, Qt::DropAction Result)>;
using TGridDragOverEvent = std::function<void(QWidget* Sender, QObject* Source, int X, int Y, bool& Accept)>;
using TGridDragDropEvent = std::function<void(QWidget* Sender, QObject* Source, int X, int Y)>;

CANVELLO_EXCEPTION(EGridSelectionList, Exception)

// Scrolling owner-drawn grid with mouse enter/leave events and a public current-cell move.
class TXCustomDrawGrid : public QAbstractScrollArea, public TMouseEnterLeave {
public:
    explicit TXCustomDrawGrid(QWidget* Parent = nullptr);
    ~TXCustomDrawGrid() override;

    // Grid size; changing either runs SizeChanged(old column count, old row count).
    int ColCount() const { return FColCount; }
    void SetColCount(int Value);
    int RowCount() const { return FRowCount; }
    void SetRowCount(int Value);
    int DefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int Value);
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int Value);
    // Grid lines between cells (1 pixel); off unless set.
    bool VertLines() const { return FVertLines; }
    bool HorzLines() const { return FHorzLines; }
    void SetGridLines(bool Vert, bool Horz);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    // Background colour: the brush given to OnDrawCell and the colour of the area outside the cells.
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    // True: each cell is filled (selected cells in clHighlight) before OnDrawCell runs.
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool Value) { FDefaultDrawing = Value; }

    // Current cell.
    int Col() const { return FCol; }
    int Row() const { return FRow; }
    // Moves the current cell (when SelectCell allows) and scrolls it into view.
    void FocusCell(int ACol, int ARow, bool MoveAnchor);

    // First visible row and column, and how many rows and columns are fully visible (at least 1).
    int TopRow() const { return FTopRow; }
    void SetTopRow(int Value);
    int LeftCol() const { return FLeftCol; }
    void SetLeftCol(int Value);
    int VisibleRowCount() const;
    int VisibleColCount() const;

    // Cell under a viewport point; (-1, -1) outside the cells.
    TGridCoord MouseToCell(int X, int Y) const;
    // Viewport rectangle of a cell; empty for a cell that is not visible or not in the grid.
    QRect CellRect(int ACol, int ARow) const;
    void InvalidateCell(int ACol, int ARow);
    void Invalidate();

    // Client area (the viewport) and the whole control.
    int ClientWidth() const;
    int ClientHeight() const;
    int Width() const { return width(); }
    int Height() const { return height(); }

    // What decides the cell under a viewport point: the column count (which maps cells to linear
    // indices), the first visible row and column and the cell pitch.
    struct TLayout {
        int ColCount, TopRow, LeftCol, ColPitch, RowPitch;
        friend bool operator==(const TLayout&, const TLayout&) = default;
    };
    TLayout Layout() const
    {
        return {FColCount, FTopRow, FLeftCol, FDefaultColWidth + LineW(), FDefaultRowHeight + LineH()};
    }

    // Drawing errors are reported once until this is called (a window calls it when it loads anew).
    void ResetDrawErrorReport() { FDrawErrorReported = false; }
    bool DrawErrorReported() const { return FDrawErrorReported; }

    TDrawCellEvent OnDrawCell;
    TDrawCellErrorEvent OnDrawCellError;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnTopLeftChanged;
    TGridDragOverEvent OnDragOver;
    TGridDragDropEvent OnDragDrop;

protected:
    // The current cell is about to move to (ACol, ARow): answer whether it may.
    virtual bool SelectCell(int ACol, int ARow);
    // Draws one cell: fires OnDrawCell.
    virtual void DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& Rect, TGridDrawState State);
    // Drawn in place of a cell whose drawing failed: a crossed frame on the background colour.
    virtual void DrawPlaceholder(QPainter& Canvas, const QRect& Rect);
    // ColCount or RowCount changed.
    virtual void SizeChanged(int OldColCount, int OldRowCount);
    // The control was resized.
    virtual void Resize() {}
    virtual void Click();
    virtual void DblClick();
    // Sets both counts at once (one SizeChanged).
    void SetGridSize(int Cols, int Rows);
    // Moves the current cell without asking SelectCell.
    void MoveCurrent(int ACol, int ARow);
    void ScrollIntoView(int ACol, int ARow);
    void UpdateScrollBars();

    // Qt events.
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void scrollContentsBy(int Dx, int Dy) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dragMoveEvent(QDragMoveEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    int LineW() const { return FVertLines ? 1 : 0; }
    int LineH() const { return FHorzLines ? 1 : 0; }
    void ReportDrawError(int ACol, int ARow, const std::string& Message);

    int FColCount = 5;
    int FRowCount = 5;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    bool FVertLines = false;
    bool FHorzLines = false;
    TScrollStyle FScrollBars = TScrollStyle::ssBoth;
    TColor FColor = clWindow;
    bool FDefaultDrawing = true;
    int FCol = 0;
    int FRow = 0;
    int FTopRow = 0;
    int FLeftCol = 0;
    bool FDrawErrorReported = false;
    QSize FLastSize, FLastViewportSize;
};

// The sorted set of selected cells, in reading order (row by row, left to right).
class TGridSelectionList {
public:
    TGridSelectionList() = default;

    int Count() const { return static_cast<int>(FList.size()); }
    bool ValidIndex(int I) const { return I >= 0 && I < Count(); }
    // Raises EGridSelectionList "Invalid item index of <I>" for an invalid I.
    TGridCoord Items(int I) const;
    // Binary search: Index is the first position whose cell is not before Cell in reading order.
    bool Find(TGridCoord Cell, int& Index) const;
    // Inserts at the Find position (callers test Contains first) and answers the position.
    int Add(int ACol, int ARow);
    int IndexOf(int ACol, int ARow) const;
    bool Contains(int ACol, int ARow) const { return IndexOf(ACol, ARow) >= 0; }
    // Each of these fires OnDeselect once for every removed cell (Clear in reading order).
    void Delete(int I);
    void Clear();
    void TrimTo(int ColLimit, int RowLimit);

    std::function<void(TGridSelectionList* Sender, int Col, int Row)> OnDeselect;

private:
    static int64_t Key(int ACol, int ARow) { return (static_cast<int64_t>(ARow) << 32) | static_cast<uint32_t>(ACol); }
    static TGridCoord Cell(int64_t K) { return {static_cast<int>(static_cast<uint32_t>(K)), static_cast<int>(K >> 32)}; }
    std::vector<int64_t> FList;
};

enum TAdvSelectGridOption : unsigned {
    agMultiSelect = 1 << 0,
    agFixedVertLine = 1 << 1,
    agFixedHorzLine = 1 << 2,
    agVertLine = 1 << 3,
    agHorzLine = 1 << 4,
    agDrawFocusSelected = 1 << 5,
    agTabs = 1 << 6,
    agThumbTracking = 1 << 7,
};
using TAdvSelectGridOptions = unsigned;

// Multi-selection grid over a linear list of NumOfCells cells (index = Row * ColCount + Col).
// Mouse: a click selects one cell, Ctrl+click toggles a cell (never removing the last one),
// Shift+click selects the range from the first selected cell. Keys: the arrow keys move the current
// cell with the same modifiers; other keys get no handling of the grid's own (Page Up and Page Down
// scroll the view as a scroll area does; Ctrl+A is the owner's Select All command).
class TAdvSelectDrawGrid : public TXCustomDrawGrid {
public:
    explicit TAdvSelectDrawGrid(QWidget* Parent = nullptr);
    ~TAdvSelectDrawGrid() override;

    TAdvSelectGridOptions GridOptions() const { return FGridOptions; }
    virtual void SetGridOptions(TAdvSelectGridOptions Value);
    bool WrapCells() const { return FWrapCells; }
    void SetWrapCells(bool Value);
    int NumOfCells() const { return FNumOfCells; }
    void SetNumOfCells(int Value);

    // Lays the cells out in as many columns as fit the width (at least one).
    void ArrangeCells();

    // True unless OnSelectCell refuses.
    virtual bool CanSelectCell(int ACol, int ARow);
    void SelectCellEx(TGridCoord Cell, bool ClearFirst);
    // The selection becomes every allowed cell from min(I1, I2) to max(I1, I2) (linear indices).
    void SelectRange(int I1, int I2);
    void SelectRangeCells(TGridCoord A, TGridCoord B);
    void SelectAll();
    void ClearSelection();
    // Selected cells in reading order. GetSelectedCell answers false for an invalid Index.
    bool GetSelectedCell(int Index, TGridCoord& Cell) const;
    int SelectedCount() const { return FSelection.Count(); }
    bool IsSelected(int ACol, int ARow) const { return FSelection.Contains(ACol, ARow); }
    const TGridSelectionList& Selection() const { return FSelection; }

    // The cell of linear index Index left the list (its picture went): it leaves the selection, the
    // selected and current cells after it move back one place with their contents, and NumOfCells
    // goes down by one. The current cell stays in the list, scrolled into view when it moved; when
    // the removed cell was the last one selected, the current cell becomes the selection.
    void RemoveCell(int64_t Index);

    // Linear index of a cell and cell of an index under the current column count.
    int64_t CellIndex(int ACol, int ARow) const { return static_cast<int64_t>(ARow) * ColCount() + ACol; }
    TGridCoord IndexCell(int64_t Index) const;

    // Starts dragging the pressed cells: at once when Immediate, else once the mouse has moved
    // Threshold pixels (QApplication::startDragDistance() when negative) from where the button went
    // down. The drag is a QDrag with the grid as its source, carrying GridCellsMimeType (the selected
    // linear indices as decimal text, one a line); OnStartDrag may add to its mime data or set none
    // (no mime data: no drag); OnEndDrag gets the result. While the drag runs the mouse handlers do
    // nothing, and the button release that ends it leaves the selection alone. A button held down
    // after a double click starts no drag.
    void BeginDragCells(bool Immediate, int Threshold);
    bool Dragging() const { return FDragging; }

    TSelectCellEvent OnSelectCell;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TKeyEvent OnKeyDown;
    TNotifyEvent OnResize;
    TGridStartDragEvent OnStartDrag;
    TGridEndDragEvent OnEndDrag;
    // Supported actions of a drag started here (copy and move by default).
    Qt::DropActions DragActions = Qt::CopyAction | Qt::MoveAction;
    static constexpr const char* GridCellsMimeType = "application/x-canvello-grid-cells";

protected:
    bool SelectCell(int ACol, int ARow) override;
    void DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& Rect, TGridDrawState State) override;
    void SizeChanged(int OldColCount, int OldRowCount) override;
    void Resize() override;
    virtual void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y, bool Double);
    virtual void MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y);
    virtual void MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    virtual void KeyDown(int& Key, Qt::KeyboardModifiers Shift);
    // Runs a prepared drag and answers its result (QDrag::exec with DragActions).
    virtual Qt::DropAction ExecDrag(QDrag* Drag);

    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void Rearrange(int Cols, int Rows);
    // The selection as linear indices, and set from them (those outside the grid left out).
    std::vector<int64_t> SelectedIndices() const;
    void SetSelectedIndices(const std::vector<int64_t>& Indices);
    void MoveTo(TGridCoord Cell, Qt::KeyboardModifiers Shift);
    void SelectionDeselect(int ACol, int ARow);
    void RunDrag();
    void Press(QMouseEvent* Event, bool Double);

    bool FUpdating = false;
    TAdvSelectGridOptions FGridOptions = 0;
    bool FWrapCells = false;
    int FNumOfCells = 0;
    TGridSelectionList FSelection;
    int FVertScrollBarWidth = 0;
    bool FDragging = false;
    bool FClickPending = false;
    TGridCoord FPendingCell;
    // The layout the pending click was pressed in: a release acts only while it still holds.
    TLayout FPendingLayout{};
    // The button of a double click is still down: nothing until its release changes the selection
    // (the double click may have opened a window and changed the grid meanwhile).
    bool FDoubleHeld = false;
    // Where the left or right button went down, for the drag threshold; the release after a drag is
    // swallowed.
    QPoint FPressPos;
    bool FButtonDown = false;
    bool FSwallowRelease = false;
    bool FDragArmed = false;
    int FDragThreshold = -1;
    QPoint FLastMousePos;
    bool FArranging = false;
    bool FArrangeAgain = false;
};
