// The thumbnail grid with many cells: select all, a Shift+click range over the whole grid, arranging
// (a resize that changes the column count, with every cell selected) and painting one screen. The
// grid is laid out as the browser declares it (110 x 130 cells, vertical scroll bar) in a
// 1280 x 800 window. No reference tool does this work; the aim is <= 20 ms per operation at
// 50,000 cells, and painting that does not grow with the number of cells.
#include "WidgetBenchMain.h"
#include "controls/AdvSelectGrid.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kWidth = 1280, kHeight = 800;

std::unique_ptr<TAdvSelectDrawGrid> MakeGrid(int Cells)
{
    auto grid = std::make_unique<TAdvSelectDrawGrid>();
    grid->SetDefaultColWidth(110);
    grid->SetDefaultRowHeight(130);
    grid->SetGridOptions(agMultiSelect);
    grid->SetScrollBars(TScrollStyle::ssVertical);
    grid->SetDefaultDrawing(false);
    grid->SetColor(clBtnFace);
    TAdvSelectDrawGrid* g = grid.get();
    // The browser's rule: only cells that hold a picture can be selected.
    grid->OnSelectCell = [g](QWidget*, int ACol, int ARow, bool& CanSelect) {
        CanSelect = g->CellIndex(ACol, ARow) < g->NumOfCells();
    };
    grid->OnDrawCell = [](QWidget*, QPainter& Canvas, int, int, const QRect& Rect, TGridDrawState State) {
        Canvas.fillRect(Rect.adjusted(4, 4, -4, -4), (State & gdSelected) ? Qt::darkBlue : Qt::white);
    };
    grid->resize(kWidth, kHeight);
    grid->SetNumOfCells(Cells);
    grid->SetWrapCells(true);
    grid->show();
    QApplication::processEvents();
    return grid;
}

void ShiftClick(TAdvSelectDrawGrid& Grid, QPoint At)
{
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, QPointF(At), QPointF(Grid.viewport()->mapToGlobal(At)), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::ShiftModifier);
        QApplication::sendEvent(Grid.viewport(), &e);
    }
}

void BM_SelectAll(benchmark::State& state)
{
    auto grid = MakeGrid(int(state.range(0)));
    for (auto _ : state) {
        grid->SelectAll(); // replaces the previous full selection
        benchmark::DoNotOptimize(grid->SelectedCount());
    }
    state.counters["cells"] = double(grid->SelectedCount());
}

// The first cell selected, then Shift+click on the last one (the press and release through the
// grid's mouse handling), alternating with the reverse so that every click changes the selection.
void BM_ShiftClickRange(benchmark::State& state)
{
    const int cells = int(state.range(0));
    auto grid = MakeGrid(cells);
    const TGridCoord first = grid->IndexCell(0), last = grid->IndexCell(cells - 1);
    bool forward = true;
    for (auto _ : state) {
        state.PauseTiming();
        const TGridCoord anchor = forward ? first : last, target = forward ? last : first;
        grid->FocusCell(target.X, target.Y, true); // scrolled into view
        grid->SelectCellEx(anchor, true);
        const QPoint pt = grid->CellRect(target.X, target.Y).center();
        state.ResumeTiming();
        ShiftClick(*grid, pt);
        forward = !forward;
    }
    if (grid->SelectedCount() != cells)
        state.SkipWithError("the range did not cover the grid");
}

// A window resize that changes the column count by one, with every cell selected: the grid
// rearranges and the selection follows the cell indices.
void BM_ArrangeCells(benchmark::State& state)
{
    auto grid = MakeGrid(int(state.range(0)));
    grid->SelectAll();
    const int narrow = kWidth - 110;
    const int wideCols = grid->ColCount();
    grid->resize(narrow, kHeight);
    if (grid->ColCount() != wideCols - 1) {
        state.SkipWithError("the resize does not change the column count");
        return;
    }
    bool wide = true;
    for (auto _ : state) {
        grid->resize(wide ? kWidth : narrow, kHeight);
        wide = !wide;
        benchmark::DoNotOptimize(grid->ColCount());
    }
    if (grid->SelectedCount() != state.range(0))
        state.SkipWithError("the selection was lost");
}

// One full repaint of the window's grid, scrolled to the middle.
void BM_PaintScreen(benchmark::State& state)
{
    auto grid = MakeGrid(int(state.range(0)));
    grid->SelectAll();
    grid->SetTopRow(grid->RowCount() / 2);
    QImage screen(grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        grid->viewport()->render(&screen);
        benchmark::DoNotOptimize(screen.constBits());
    }
}

} // namespace

BENCHMARK(BM_SelectAll)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShiftClickRange)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArrangeCells)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintScreen)->Arg(1000)->Arg(50000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return WidgetBenchMain(argc, argv); }
