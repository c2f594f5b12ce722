#include "controls/AdvSelectGrid.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace {

int ClampInt(int64_t V, int Lo, int Hi)
{
    return static_cast<int>(std::clamp<int64_t>(V, Lo, Hi));
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// TXCustomDrawGrid

TXCustomDrawGrid::TXCustomDrawGrid(QWidget* Parent) : QAbstractScrollArea(Parent), TMouseEnterLeave(this)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAcceptDrops(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(1);
    SetScrollBars(FScrollBars);
}

TXCustomDrawGrid::~TXCustomDrawGrid() = default;

void TXCustomDrawGrid::SetColCount(int Value)
{
    SetGridSize(Value, FRowCount);
}

void TXCustomDrawGrid::SetRowCount(int Value)
{
    SetGridSize(FColCount, Value);
}

void TXCustomDrawGrid::SetGridSize(int Cols, int Rows)
{
    Cols = std::max(1, Cols);
    Rows = std::max(1, Rows);
    if (Cols == FColCount && Rows == FRowCount)
        return;
    const int oldCols = FColCount, oldRows = FRowCount;
    FColCount = Cols;
    FRowCount = Rows;
    FCol = std::min(FCol, FColCount - 1);
    FRow = std::min(FRow, FRowCount - 1);
    UpdateScrollBars();
    viewport()->update();
    SizeChanged(oldCols, oldRows);
}

void TXCustomDrawGrid::SetDefaultColWidth(int Value)
{
    Value = std::max(1, Value);
    if (Value == FDefaultColWidth)
        return;
    FDefaultColWidth = Value;
    UpdateScrollBars();
    viewport()->update();
}

void TXCustomDrawGrid::SetDefaultRowHeight(int Value)
{
    Value = std::max(1, Value);
    if (Value == FDefaultRowHeight)
        return;
    FDefaultRowHeight = Value;
    UpdateScrollBars();
    viewport()->update();
}

void TXCustomDrawGrid::SetGridLines(bool Vert, bool Horz)
{
    if (Vert == FVertLines && Horz == FHorzLines)
        return;
    FVertLines = Vert;
    FHorzLines = Horz;
    UpdateScrollBars();
    viewport()->update();
}

void TXCustomDrawGrid::SetScrollBars(TScrollStyle Value)
{
    FScrollBars = Value;
    const bool vert = FScrollBars == TScrollStyle::ssVertical || FScrollBars == TScrollStyle::ssBoth;
    const bool horz = FScrollBars == TScrollStyle::ssHorizontal || FScrollBars == TScrollStyle::ssBoth;
    setVerticalScrollBarPolicy(vert ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(horz ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    UpdateScrollBars();
}

void TXCustomDrawGrid::SetColor(TColor Value)
{
    FColor = Value;
    viewport()->update();
}

int TXCustomDrawGrid::ClientWidth() const
{
    return viewport()->width();
}

int TXCustomDrawGrid::ClientHeight() const
{
    return viewport()->height();
}

int TXCustomDrawGrid::VisibleRowCount() const
{
    return std::max(1, ClientHeight() / (FDefaultRowHeight + LineH()));
}

int TXCustomDrawGrid::VisibleColCount() const
{
    return std::max(1, ClientWidth() / (FDefaultColWidth + LineW()));
}

void TXCustomDrawGrid::UpdateScrollBars()
{
    QScrollBar* v = verticalScrollBar();
    v->setPageStep(VisibleRowCount());
    v->setRange(0, std::max(0, FRowCount - VisibleRowCount()));
    QScrollBar* h = horizontalScrollBar();
    h->setPageStep(VisibleColCount());
    h->setRange(0, std::max(0, FColCount - VisibleColCount()));
    // The bars may have clamped their values.
    FTopRow = v->value();
    FLeftCol = h->value();
}

void TXCustomDrawGrid::SetTopRow(int Value)
{
    verticalScrollBar()->setValue(std::clamp(Value, 0, std::max(0, FRowCount - 1)));
    FTopRow = verticalScrollBar()->value();
}

void TXCustomDrawGrid::SetLeftCol(int Value)
{
    horizontalScrollBar()->setValue(std::clamp(Value, 0, std::max(0, FColCount - 1)));
    FLeftCol = horizontalScrollBar()->value();
}

void TXCustomDrawGrid::scrollContentsBy(int, int)
{
    const int top = verticalScrollBar()->value(), left = horizontalScrollBar()->value();
    if (top == FTopRow && left == FLeftCol)
        return;
    FTopRow = top;
    FLeftCol = left;
    viewport()->update();
    if (OnTopLeftChanged)
        OnTopLeftChanged(this);
}

TGridCoord TXCustomDrawGrid::MouseToCell(int X, int Y) const
{
    if (X < 0 || Y < 0 || X >= ClientWidth() || Y >= ClientHeight())
        return {-1, -1};
    const int64_t col = int64_t(FLeftCol) + X / (FDefaultColWidth + LineW());
    const int64_t row = int64_t(FTopRow) + Y / (FDefaultRowHeight + LineH());
    if (col >= FColCount || row >= FRowCount)
        return {-1, -1};
    return {static_cast<int>(col), static_cast<int>(row)};
}

QRect TXCustomDrawGrid::CellRect(int ACol, int ARow) const
{
    if (ACol < FLeftCol || ARow < FTopRow || ACol >= FColCount || ARow >= FRowCount)
        return {};
    const int64_t x = int64_t(ACol - FLeftCol) * (FDefaultColWidth + LineW());
    const int64_t y = int64_t(ARow - FTopRow) * (FDefaultRowHeight + LineH());
    if (x >= ClientWidth() || y >= ClientHeight())
        return {};
    return QRect(static_cast<int>(x), static_cast<int>(y), FDefaultColWidth, FDefaultRowHeight);
}

void TXCustomDrawGrid::InvalidateCell(int ACol, int ARow)
{
    const QRect r = CellRect(ACol, ARow);
    if (!r.isEmpty())
        viewport()->update(r);
}

void TXCustomDrawGrid::Invalidate()
{
    viewport()->update();
}

bool TXCustomDrawGrid::SelectCell(int, int)
{
    return true;
}

void TXCustomDrawGrid::FocusCell(int ACol, int ARow, bool)
{
    if (ACol < 0 || ARow < 0 || ACol >= FColCount || ARow >= FRowCount)
        return;
    if (!SelectCell(ACol, ARow))
        return;
    MoveCurrent(ACol, ARow);
    ScrollIntoView(ACol, ARow);
}

void TXCustomDrawGrid::MoveCurrent(int ACol, int ARow)
{
    if (ACol == FCol && ARow == FRow)
        return;
    InvalidateCell(FCol, FRow);
    FCol = ACol;
    FRow = ARow;
    InvalidateCell(FCol, FRow);
}

void TXCustomDrawGrid::ScrollIntoView(int ACol, int ARow)
{
    const int rows = VisibleRowCount(), cols = VisibleColCount();
    if (ARow < FTopRow)
        SetTopRow(ARow);
    else if (ARow >= FTopRow + rows)
        SetTopRow(ARow - rows + 1);
    if (ACol < FLeftCol)
        SetLeftCol(ACol);
    else if (ACol >= FLeftCol + cols)
        SetLeftCol(ACol - cols + 1);
}

void TXCustomDrawGrid::SizeChanged(int, int) {}

void TXCustomDrawGrid::Click()
{
    if (OnClick)
        OnClick(this);
}

void TXCustomDrawGrid::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TXCustomDrawGrid::DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& Rect, TGridDrawState State)
{
    if (FDefaultDrawing) {
        Canvas.fillRect(Rect, ColorToQColor((State & gdSelected) ? clHighlight : FColor));
        if (State & gdFocused) {
            Canvas.save();
            QPen pen(ColorToQColor((State & gdSelected) ? clHighlightText : clWindowText));
            pen.setStyle(Qt::DotLine);
            Canvas.setPen(pen);
            Canvas.setBrush(Qt::NoBrush);
            Canvas.drawRect(Rect.adjusted(0, 0, -1, -1));
            Canvas.restore();
        }
    }
    if (OnDrawCell)
        OnDrawCell(this, Canvas, ACol, ARow, Rect, State);
}

void TXCustomDrawGrid::ReportDrawError(int ACol, int ARow, const std::string& Message)
{
    if (FDrawErrorReported)
        return;
    FDrawErrorReported = true;
    // Reported after painting: a handler may show a message box, which must not run (and repaint)
    // from inside a paint event.
    QTimer::singleShot(0, this, [this, ACol, ARow, Message] {
        try {
            if (OnDrawCellError)
                OnDrawCellError(this, ACol, ARow, Message);
        } catch (...) {
        }
    });
}

void TXCustomDrawGrid::paintEvent(QPaintEvent* Event)
{
    QPainter p(viewport());
    const QRect exposed = Event->rect();
    const QColor back = ColorToQColor(FColor);
    p.fillRect(exposed, back);
    const int pitchW = FDefaultColWidth + LineW(), pitchH = FDefaultRowHeight + LineH();
    const int c0 = FLeftCol + std::max(0, exposed.left()) / pitchW;
    const int r0 = FTopRow + std::max(0, exposed.top()) / pitchH;
    const int c1 = ClampInt(int64_t(FLeftCol) + std::max(0, exposed.right()) / pitchW, 0, FColCount - 1);
    const int r1 = ClampInt(int64_t(FTopRow) + std::max(0, exposed.bottom()) / pitchH, 0, FRowCount - 1);
    if (LineW() || LineH()) {
        const QColor line = ColorToQColor(clBtnShadow);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) {
                const QRect cr = CellRect(c, r);
                if (cr.isEmpty())
                    continue;
                if (LineW())
                    p.fillRect(QRect(cr.right() + 1, cr.top(), 1, pitchH), line);
                if (LineH())
                    p.fillRect(QRect(cr.left(), cr.bottom() + 1, pitchW, 1), line);
            }
    }
    const bool focused = hasFocus();
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            const QRect cr = CellRect(c, r);
            if (cr.isEmpty() || !cr.intersects(exposed))
                continue;
            TGridDrawState state = 0;
            if (c == FCol && r == FRow)
                state |= gdSelected | (focused ? gdFocused : 0u);
            p.save();
            p.setClipRect(cr);
            p.setBrush(back);
            try {
                DrawCell(p, c, r, cr, state);
            } catch (const std::exception& E) {
                p.restore();
                p.save();
                DrawPlaceholder(p, cr);
                ReportDrawError(c, r, E.what());
            } catch (...) {
                p.restore();
                p.save();
                DrawPlaceholder(p, cr);
                ReportDrawError(c, r, "Unknown error");
            }
            p.restore();
        }
}

void TXCustomDrawGrid::DrawPlaceholder(QPainter& Canvas, const QRect& Rect)
{
    Canvas.setClipRect(Rect);
    Canvas.fillRect(Rect, ColorToQColor(FColor));
    Canvas.setPen(ColorToQColor(clBtnShadow));
    Canvas.setBrush(Qt::NoBrush);
    const QRect r = Rect.adjusted(4, 4, -5, -5);
    Canvas.drawRect(r);
    Canvas.drawLine(r.topLeft(), r.bottomRight());
    Canvas.drawLine(r.topRight(), r.bottomLeft());
}

void TXCustomDrawGrid::resizeEvent(QResizeEvent*)
{
    // Both the control's and the viewport's resizes arrive here; report each new client size once.
    if (size() == FLastSize && viewport()->size() == FLastViewportSize)
        return;
    FLastSize = size();
    FLastViewportSize = viewport()->size();
    UpdateScrollBars();
    Resize();
}

void TXCustomDrawGrid::enterEvent(QEnterEvent*)
{
    MouseEntered();
}

void TXCustomDrawGrid::leaveEvent(QEvent*)
{
    MouseLeft();
}

void TXCustomDrawGrid::dragEnterEvent(QDragEnterEvent* Event)
{
    dragMoveEvent(Event);
}

void TXCustomDrawGrid::dragMoveEvent(QDragMoveEvent* Event)
{
    bool accept = false;
    try {
        if (OnDragOver) {
            accept = true;
            const QPoint pt = Event->position().toPoint();
            OnDragOver(this, Event->source(), pt.x(), pt.y(), accept);
        }
    } catch (...) {
        accept = false;
    }
    if (accept)
        Event->acceptProposedAction();
    else
        Event->ignore();
}

void TXCustomDrawGrid::dropEvent(QDropEvent* Event)
{
    try {
        if (OnDragDrop) {
            const QPoint pt = Event->position().toPoint();
            OnDragDrop(this, Event->source(), pt.x(), pt.y());
            Event->acceptProposedAction();
            return;
        }
    } catch (...) {
    }
    Event->ignore();
}

// ---------------------------------------------------------------------------------------------------
// TGridSelectionList

TGridCoord TGridSelectionList::Items(int I) const
{
    if (!ValidIndex(I))
        throw EGridSelectionList("Invalid item index of " + std::to_string(I));
    return Cell(FList[static_cast<size_t>(I)]);
}

bool TGridSelectionList::Find(TGridCoord C, int& Index) const
{
    const int64_t k = Key(C.X, C.Y);
    const auto it = std::lower_bound(FList.begin(), FList.end(), k);
    Index = static_cast<int>(it - FList.begin());
    return it != FList.end() && *it == k;
}

int TGridSelectionList::Add(int ACol, int ARow)
{
    const int64_t k = Key(ACol, ARow);
    // Cells mostly arrive in reading order (ranges, select all, rearranging): append without a search.
    if (FList.empty() || FList.back() < k) {
        FList.push_back(k);
        return Count() - 1;
    }
    int index = 0;
    Find({ACol, ARow}, index);
    FList.insert(FList.begin() + index, k);
    return index;
}

int TGridSelectionList::IndexOf(int ACol, int ARow) const
{
    int index = 0;
    return Find({ACol, ARow}, index) ? index : -1;
}

void TGridSelectionList::Delete(int I)
{
    if (!ValidIndex(I))
        return;
    const TGridCoord c = Cell(FList[static_cast<size_t>(I)]);
    FList.erase(FList.begin() + I);
    if (OnDeselect)
        OnDeselect(this, c.X, c.Y);
}

void TGridSelectionList::Clear()
{
    std::vector<int64_t> removed;
    removed.swap(FList);
    if (OnDeselect)
        for (int64_t k : removed) {
            const TGridCoord c = Cell(k);
            OnDeselect(this, c.X, c.Y);
        }
}

void TGridSelectionList::TrimTo(int ColLimit, int RowLimit)
{
    std::vector<int64_t> removed;
    auto out = FList.begin();
    for (int64_t k : FList) {
        const TGridCoord c = Cell(k);
        if (c.X >= ColLimit || c.Y >= RowLimit)
            removed.push_back(k);
        else
            *out++ = k;
    }
    FList.erase(out, FList.end());
    if (OnDeselect)
        for (int64_t k : removed) {
            const TGridCoord c = Cell(k);
            OnDeselect(this, c.X, c.Y);
        }
}

// ---------------------------------------------------------------------------------------------------
// TAdvSelectDrawGrid

namespace {

// Sets a flag for a scope and puts the old value back.
struct TFlagScope {
    bool& Flag;
    bool Old;
    explicit TFlagScope(bool& F) : Flag(F), Old(F) { Flag = true; }
    ~TFlagScope() { Flag = Old; }
};

constexpr Qt::KeyboardModifiers kShiftCtrl = Qt::ShiftModifier | Qt::ControlModifier;

} // namespace

TAdvSelectDrawGrid::TAdvSelectDrawGrid(QWidget* Parent) : TXCustomDrawGrid(Parent)
{
    FVertScrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    FSelection.OnDeselect = [this](TGridSelectionList*, int Col, int Row) { InvalidateCell(Col, Row); };
    SetGridOptions(agMultiSelect | agFixedVertLine | agFixedHorzLine | agVertLine | agHorzLine);
}

TAdvSelectDrawGrid::~TAdvSelectDrawGrid()
{
    FSelection.OnDeselect = nullptr;
}

TGridCoord TAdvSelectDrawGrid::IndexCell(int64_t Index) const
{
    const int cols = std::max(1, ColCount());
    return {static_cast<int>(Index % cols), static_cast<int>(Index / cols)};
}

void TAdvSelectDrawGrid::SetGridOptions(TAdvSelectGridOptions Value)
{
    if (Value == FGridOptions)
        return;
    FGridOptions = Value;
    SetGridLines((Value & agVertLine) != 0, (Value & agHorzLine) != 0);
    verticalScrollBar()->setTracking((Value & agThumbTracking) != 0);
    horizontalScrollBar()->setTracking((Value & agThumbTracking) != 0);
    if (!(Value & agMultiSelect) && FSelection.Count() > 0) {
        const TGridCoord first = FSelection.Items(0);
        SelectCell(first.X, first.Y);
    }
    Invalidate();
}

void TAdvSelectDrawGrid::SetWrapCells(bool Value)
{
    if (Value == FWrapCells)
        return;
    FWrapCells = Value;
    if (FWrapCells)
        ArrangeCells();
}

void TAdvSelectDrawGrid::SetNumOfCells(int Value)
{
    Value = std::max(0, Value);
    if (Value == FNumOfCells)
        return;
    FNumOfCells = Value;
    if (FWrapCells) {
        // Cells past the new end hold no picture any more: they leave the selection. Reading order
        // is index order, so they are the tail of the list.
        while (FSelection.Count() > 0) {
            const TGridCoord last = FSelection.Items(FSelection.Count() - 1);
            if (CellIndex(last.X, last.Y) < FNumOfCells)
                break;
            FSelection.Delete(FSelection.Count() - 1);
        }
        ArrangeCells();
    }
}

void TAdvSelectDrawGrid::ArrangeCells()
{
    // Showing or hiding the vertical scroll bar resizes the viewport, which arranges again: that
    // nested call is turned into another pass here.
    if (FArranging) {
        FArrangeAgain = true;
        return;
    }
    TFlagScope arranging(FArranging);
    TFlagScope updating(FUpdating);
    for (int pass = 0; pass < 3; ++pass) {
        FArrangeAgain = false;
        const int colW = DefaultColWidth();
        int cols = std::max(1, (ClientWidth() - 8) / colW);
        int64_t rows = FNumOfCells / cols + (FNumOfCells % cols ? 1 : 0);
        if (rows * DefaultRowHeight() > ClientHeight()) {
            const int s = (ScrollBars() == TScrollStyle::ssVertical || ScrollBars() == TScrollStyle::ssBoth)
                              ? FVertScrollBarWidth
                              : 0;
            cols = std::max(1, (Width() - 8 - s) / colW);
            rows = FNumOfCells / cols + (FNumOfCells % cols ? 1 : 0);
        }
        Rearrange(cols, ClampInt(rows, 1, INT_MAX));
        if (!FArrangeAgain)
            break;
    }
    Invalidate();
}

void TAdvSelectDrawGrid::Rearrange(int Cols, int Rows)
{
    if (Cols == ColCount() && Rows == RowCount())
        return;
    TFlagScope updating(FUpdating);
    // The selection and the current cell follow their linear indices, not their positions.
    const std::vector<int64_t> indices = SelectedIndices();
    const int64_t current = CellIndex(Col(), Row());
    SetGridSize(Cols, Rows);
    const int64_t cells = int64_t(ColCount()) * RowCount();
    SetSelectedIndices(indices);
    const TGridCoord cur = IndexCell(std::min(current, cells - 1));
    MoveCurrent(cur.X, cur.Y);
}

void TAdvSelectDrawGrid::SizeChanged(int OldColCount, int OldRowCount)
{
    TXCustomDrawGrid::SizeChanged(OldColCount, OldRowCount);
    if (FUpdating)
        return;
    FSelection.TrimTo(ColCount(), RowCount());
    FNumOfCells = ClampInt(int64_t(ColCount()) * RowCount(), 0, INT_MAX);
    if (FWrapCells)
        ArrangeCells();
}

void TAdvSelectDrawGrid::Resize()
{
    TXCustomDrawGrid::Resize();
    if (OnResize)
        OnResize(this);
    if (FWrapCells)
        ArrangeCells();
}

bool TAdvSelectDrawGrid::CanSelectCell(int ACol, int ARow)
{
    bool can = true;
    if (OnSelectCell)
        OnSelectCell(this, ACol, ARow, can);
    return can;
}

bool TAdvSelectDrawGrid::SelectCell(int ACol, int ARow)
{
    const bool can = CanSelectCell(ACol, ARow);
    if (can && !FUpdating)
        SelectCellEx({ACol, ARow}, true);
    return can;
}

void TAdvSelectDrawGrid::SelectCellEx(TGridCoord Cell, bool ClearFirst)
{
    if (ClearFirst)
        FSelection.Clear();
    if (!FSelection.Contains(Cell.X, Cell.Y))
        FSelection.Add(Cell.X, Cell.Y);
    InvalidateCell(Cell.X, Cell.Y);
}

void TAdvSelectDrawGrid::SelectRange(int I1, int I2)
{
    FSelection.Clear();
    const int64_t cells = int64_t(ColCount()) * RowCount();
    const int64_t lo = std::max<int64_t>(0, std::min(I1, I2));
    const int64_t hi = std::min<int64_t>(cells - 1, std::max(I1, I2));
    for (int64_t i = lo; i <= hi; ++i) {
        const TGridCoord c = IndexCell(i);
        if (CanSelectCell(c.X, c.Y))
            FSelection.Add(c.X, c.Y);
    }
    Invalidate();
}

void TAdvSelectDrawGrid::SelectRangeCells(TGridCoord A, TGridCoord B)
{
    const int64_t a = CellIndex(A.X, A.Y), b = CellIndex(B.X, B.Y);
    SelectRange(ClampInt(a, 0, INT_MAX), ClampInt(b, 0, INT_MAX));
}

void TAdvSelectDrawGrid::SelectAll()
{
    if ((FGridOptions & agMultiSelect) && FNumOfCells > 0)
        SelectRange(0, FNumOfCells - 1);
}

std::vector<int64_t> TAdvSelectDrawGrid::SelectedIndices() const
{
    std::vector<int64_t> indices;
    indices.reserve(static_cast<size_t>(FSelection.Count()));
    for (int i = 0; i < FSelection.Count(); ++i) {
        const TGridCoord c = FSelection.Items(i);
        indices.push_back(CellIndex(c.X, c.Y));
    }
    return indices;
}

void TAdvSelectDrawGrid::SetSelectedIndices(const std::vector<int64_t>& Indices)
{
    FSelection.Clear();
    const int64_t cells = int64_t(ColCount()) * RowCount();
    for (int64_t i : Indices)
        if (i >= 0 && i < cells) {
            const TGridCoord c = IndexCell(i);
            FSelection.Add(c.X, c.Y);
        }
}

void TAdvSelectDrawGrid::RemoveCell(int64_t Index)
{
    if (Index < 0 || Index >= FNumOfCells)
        return;
    TFlagScope updating(FUpdating);
    std::vector<int64_t> indices;
    for (int64_t k : SelectedIndices())
        if (k != Index)
            indices.push_back(k > Index ? k - 1 : k);
    SetSelectedIndices(indices);
    const int64_t current = CellIndex(Col(), Row());
    const int64_t last = std::max<int64_t>(0, FNumOfCells - 2);
    const int64_t moved = std::min(current > Index ? current - 1 : current, last);
    SetNumOfCells(FNumOfCells - 1);
    const TGridCoord cur = IndexCell(moved);
    if (!(cur == TGridCoord{Col(), Row()}) && cur.X < ColCount() && cur.Y < RowCount()) {
        MoveCurrent(cur.X, cur.Y);
        ScrollIntoView(cur.X, cur.Y);
    }
    // The last selected cell went while others remain: the current cell becomes the selection, as
    // with every other move of the current cell, so that a command on the selection always has one.
    if (FSelection.Count() == 0 && CellIndex(Col(), Row()) < FNumOfCells && CanSelectCell(Col(), Row()))
        SelectCellEx({Col(), Row()}, true);
    Invalidate();
}

void TAdvSelectDrawGrid::ClearSelection()
{
    FSelection.Clear();
}

bool TAdvSelectDrawGrid::GetSelectedCell(int Index, TGridCoord& Cell) const
{
    if (!FSelection.ValidIndex(Index))
        return false;
    Cell = FSelection.Items(Index);
    return true;
}

void TAdvSelectDrawGrid::DrawCell(QPainter& Canvas, int ACol, int ARow, const QRect& Rect, TGridDrawState State)
{
    if (FSelection.Contains(ACol, ARow))
        State |= gdSelected;
    else
        State &= ~unsigned(gdSelected);
    TXCustomDrawGrid::DrawCell(Canvas, ACol, ARow, Rect, State);
}

void TAdvSelectDrawGrid::MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y, bool Double)
{
    if (FDragging)
        return;
    if (!hasFocus() && focusPolicy() != Qt::NoFocus && isEnabled())
        setFocus(Qt::MouseFocusReason);
    TFlagScope updating(FUpdating);
    FClickPending = false;
    if (Button == Qt::LeftButton) {
        const TGridCoord cell = MouseToCell(X, Y);
        if (cell.X >= 0 && cell.Y >= 0 && CanSelectCell(cell.X, cell.Y)) {
            const bool multi = (FGridOptions & agMultiSelect) != 0;
            const bool selected = FSelection.Contains(cell.X, cell.Y);
            if (multi && (Shift & Qt::ControlModifier) && !(Shift & Qt::ShiftModifier)) {
                if (!selected)
                    SelectCellEx(cell, false);
                else if (FSelection.Count() > 1)
                    FSelection.Delete(FSelection.IndexOf(cell.X, cell.Y));
            } else if (multi && (Shift & Qt::ShiftModifier)) {
                if (FSelection.Count() == 0)
                    SelectCellEx(cell, false);
                else
                    SelectRangeCells(FSelection.Items(0), cell);
            } else if (!selected) {
                SelectCellEx(cell, true);
            } else {
                FClickPending = true;
                FPendingCell = cell;
            }
            FocusCell(cell.X, cell.Y, true);
        }
    }
    FPendingLayout = Layout();
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
    if (Double && Button == Qt::LeftButton) {
        // The double click is the whole gesture: its release and the moves before it select nothing.
        FClickPending = false;
        FDoubleHeld = true;
        DblClick();
    }
}

void TAdvSelectDrawGrid::MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y)
{
    if (FDragging)
        return;
    FLastMousePos = QPoint(X, Y);
    if (FDragArmed && FButtonDown) {
        const int threshold = FDragThreshold < 0 ? QApplication::startDragDistance() : FDragThreshold;
        if ((FLastMousePos - FPressPos).manhattanLength() >= threshold) {
            RunDrag();
            return;
        }
    }
    if (OnMouseMove)
        OnMouseMove(this, Buttons, Shift, X, Y);
}

void TAdvSelectDrawGrid::MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    if (FDragging)
        return;
    TFlagScope updating(FUpdating);
    if (FClickPending && Button == Qt::LeftButton && !(Shift & kShiftCtrl)) {
        const TGridCoord cell = MouseToCell(X, Y);
        if (Layout() == FPendingLayout && cell == FPendingCell && CanSelectCell(cell.X, cell.Y)) {
            SelectCellEx(cell, true);
            FocusCell(cell.X, cell.Y, true);
        }
    }
    FClickPending = false;
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
    Click();
}

void TAdvSelectDrawGrid::BeginDragCells(bool Immediate, int Threshold)
{
    if (FDragging || FDoubleHeld)
        return;
    FDragThreshold = Threshold;
    const int threshold = Threshold < 0 ? QApplication::startDragDistance() : Threshold;
    if (Immediate || (FButtonDown && (FLastMousePos - FPressPos).manhattanLength() >= threshold))
        RunDrag();
    else
        FDragArmed = FButtonDown;
}

void TAdvSelectDrawGrid::RunDrag()
{
    FDragArmed = false;
    // The press that began the drag is not a click any more: the release must not reduce the
    // selection, whether or not Qt delivers it after the drag.
    FClickPending = false;
    FSwallowRelease = FButtonDown;
    // The grid may be closed while the drag runs (a drop handler can do anything): nothing of it
    // is touched afterwards then. The drag is its child, so it may be gone too.
    QPointer<TAdvSelectDrawGrid> self(this);
    QPointer<QDrag> drag = new QDrag(this);
    auto* mime = new QMimeData;
    QByteArray cells;
    for (int i = 0; i < FSelection.Count(); ++i) {
        const TGridCoord c = FSelection.Items(i);
        cells += QByteArray::number(static_cast<qlonglong>(CellIndex(c.X, c.Y)));
        cells += '\n';
    }
    mime->setData(GridCellsMimeType, cells);
    drag->setMimeData(mime);
    Qt::DropAction result = Qt::IgnoreAction;
    FDragging = true;
    try {
        if (OnStartDrag)
            OnStartDrag(this, drag);
        if (drag && drag->mimeData())
            result = ExecDrag(drag);
    } catch (...) {
        delete drag.data();
        if (self)
            FDragging = false;
        throw;
    }
    delete drag.data();
    if (!self)
        return;
    FDragging = false;
    FButtonDown = false;
    if (OnEndDrag)
        OnEndDrag(this, result);
}

Qt::DropAction TAdvSelectDrawGrid::ExecDrag(QDrag* Drag)
{
    return Drag->exec(DragActions);
}

void TAdvSelectDrawGrid::KeyDown(int& Key, Qt::KeyboardModifiers Shift)
{
    TFlagScope updating(FUpdating);
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
    if (Key == 0)
        return;
    const int64_t cells = int64_t(ColCount()) * RowCount();
    const int64_t index = CellIndex(Col(), Row());
    const TGridCoord cur{Col(), Row()};
    TGridCoord target = cur;
    switch (Key) {
    case Qt::Key_Left:
        if (index > 0)
            target = IndexCell(index - 1);
        break;
    case Qt::Key_Right:
        if (index + 1 < cells)
            target = IndexCell(index + 1);
        break;
    case Qt::Key_Up:
        if (cur.Y > 0)
            target.Y = cur.Y - 1;
        break;
    case Qt::Key_Down:
        if (cur.Y + 1 < RowCount())
            target.Y = cur.Y + 1;
        break;
    default:
        return;
    }
    if (target == cur)
        return;
    MoveTo(target, Shift);
}

void TAdvSelectDrawGrid::MoveTo(TGridCoord Cell, Qt::KeyboardModifiers Shift)
{
    if (!CanSelectCell(Cell.X, Cell.Y))
        return;
    const bool multi = (FGridOptions & agMultiSelect) != 0;
    if (multi && (Shift & Qt::ShiftModifier)) {
        if (FSelection.Count() == 0)
            SelectCellEx(Cell, false);
        else
            SelectRangeCells(FSelection.Items(0), Cell);
    } else if (multi && (Shift & Qt::ControlModifier)) {
        if (!FSelection.Contains(Cell.X, Cell.Y))
            SelectCellEx(Cell, false);
        else if (FSelection.Count() > 1)
            FSelection.Delete(FSelection.IndexOf(Cell.X, Cell.Y));
    } else {
        SelectCellEx(Cell, true);
    }
    if (!(Cell == TGridCoord{Col(), Row()}))
        FocusCell(Cell.X, Cell.Y, true);
}

// Qt events: positions arrive in viewport coordinates.

void TAdvSelectDrawGrid::mousePressEvent(QMouseEvent* Event)
{
    Event->accept();
    Press(Event, false);
}

void TAdvSelectDrawGrid::mouseDoubleClickEvent(QMouseEvent* Event)
{
    Event->accept();
    Press(Event, true);
}

void TAdvSelectDrawGrid::Press(QMouseEvent* Event, bool Double)
{
    if (FDragging)
        return;
    const QPoint pt = Event->position().toPoint();
    if (Event->button() == Qt::LeftButton || Event->button() == Qt::RightButton) {
        FButtonDown = true;
        FPressPos = pt;
        FLastMousePos = pt;
        FDragArmed = false;
        FSwallowRelease = false;
    }
    if (!Double)
        FDoubleHeld = false;
    MouseDown(Event->button(), Event->modifiers(), pt.x(), pt.y(), Double);
}

void TAdvSelectDrawGrid::mouseMoveEvent(QMouseEvent* Event)
{
    Event->accept();
    const QPoint pt = Event->position().toPoint();
    MouseMove(Event->buttons(), Event->modifiers(), pt.x(), pt.y());
}

void TAdvSelectDrawGrid::mouseReleaseEvent(QMouseEvent* Event)
{
    Event->accept();
    if (FDragging)
        return;
    if (!(Event->buttons() & (Qt::LeftButton | Qt::RightButton))) {
        FButtonDown = false;
        FDragArmed = false;
    }
    if (Event->button() == Qt::LeftButton)
        FDoubleHeld = false;
    // The release that ends a drag is not a click.
    if (FSwallowRelease) {
        FSwallowRelease = false;
        return;
    }
    const QPoint pt = Event->position().toPoint();
    MouseUp(Event->button(), Event->modifiers(), pt.x(), pt.y());
}

void TAdvSelectDrawGrid::keyPressEvent(QKeyEvent* Event)
{
    const int original = Event->key();
    int key = original;
    KeyDown(key, Event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    switch (original) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        Event->accept();
        return;
    default:
        // Scrolling keys of the scroll area (Page Up, Page Down) move the view only; the rest go to
        // the parent.
        if (key != 0)
            QAbstractScrollArea::keyPressEvent(Event);
    }
}
