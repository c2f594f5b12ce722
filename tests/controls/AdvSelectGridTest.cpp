// The multi-selection grid: the selection list, the mouse and key selection rules as a table,
// arranging, positions past 32767 rows, painting only the visible cells, the placeholder of a
// failing cell and the drag start.
#include "controls/AdvSelectGrid.h"

#include <QApplication>
#include <QDrag>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kCell = 20; // cell width and height of the test grids

// A grid set up as the browser declares it, with small cells, that refuses the indices in Refused
// and those past NumOfCells, and records drags instead of running them.
class TTestGrid : public TAdvSelectDrawGrid {
public:
    TTestGrid()
    {
        setFrameShape(QFrame::NoFrame);
        SetDefaultColWidth(kCell);
        SetDefaultRowHeight(kCell);
        SetGridOptions(agMultiSelect);
        SetScrollBars(TScrollStyle::ssVertical);
        SetDefaultDrawing(false);
        OnSelectCell = [this](QWidget*, int ACol, int ARow, bool& CanSelect) {
            const int64_t index = CellIndex(ACol, ARow);
            CanSelect = index < NumOfCells() && !Refused.count(static_cast<int>(index));
        };
    }

    // Lays out Cells cells in Cols columns of a viewport Height pixels high.
    void Setup(int Cells, int Cols, int Height)
    {
        const bool bar = int64_t(Cells / Cols + (Cells % Cols ? 1 : 0)) * kCell > Height;
        const int s = bar ? style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) : 0;
        resize(8 + Cols * kCell + 5 + s, Height);
        SetNumOfCells(Cells);
        SetWrapCells(true);
        show();
        QApplication::processEvents();
        ASSERT_EQ(ColCount(), Cols);
    }

    QPoint CenterOf(int Index)
    {
        const TGridCoord c = IndexCell(Index);
        ScrollIntoView(c.X, c.Y);
        return CellRect(c.X, c.Y).center();
    }

    std::vector<int> Selected() const
    {
        std::vector<int> out;
        TGridCoord c;
        for (int i = 0; GetSelectedCell(i, c); ++i)
            out.push_back(static_cast<int>(CellIndex(c.X, c.Y)));
        return out;
    }

    int Current() const { return static_cast<int>(CellIndex(Col(), Row())); }

    std::set<int> Refused;
    int Drags = 0;
    QByteArray DraggedCells;
    std::vector<int> SelectedAfterClickDuringDrag;

protected:
    Qt::DropAction ExecDrag(QDrag* Drag) override
    {
        ++Drags;
        DraggedCells = Drag->mimeData()->data(GridCellsMimeType);
        // Mouse input while the drag runs leaves the selection alone.
        Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {}, CellRect(0, 0).center());
        Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {}, CellRect(0, 0).center());
        SelectedAfterClickDuringDrag = Selected();
        return Qt::CopyAction;
    }

public:
    void Mouse(QEvent::Type Type, Qt::MouseButton Button, Qt::MouseButtons Buttons, Qt::KeyboardModifiers Mods,
               QPoint Pos)
    {
        QMouseEvent e(Type, QPointF(Pos), QPointF(viewport()->mapToGlobal(Pos)), Button, Buttons, Mods);
        QApplication::sendEvent(viewport(), &e);
    }
};

std::vector<int> Range(int From, int To)
{
    std::vector<int> v(static_cast<size_t>(To - From + 1));
    std::iota(v.begin(), v.end(), From);
    return v;
}

// ---- The selection list ------------------------------------------------------------------------

TEST(GridSelectionList, KeepsReadingOrderPastSixteenBitRowsAndReportsEveryRemovedCell)
{
    TGridSelectionList list;
    std::vector<TGridCoord> removed;
    list.OnDeselect = [&](TGridSelectionList*, int Col, int Row) { removed.push_back({Col, Row}); };
    // Rows of 32768 and more are negative in 16 bits: a packed list would sort them first.
    for (TGridCoord c : {TGridCoord{0, 40000}, TGridCoord{5, 1}, TGridCoord{3, 32768}, TGridCoord{1, 32767},
                         TGridCoord{0, 1}})
        list.Add(c.X, c.Y);
    const std::vector<TGridCoord> order{{0, 1}, {5, 1}, {1, 32767}, {3, 32768}, {0, 40000}};
    ASSERT_EQ(list.Count(), 5);
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list.Items(i), order[size_t(i)]) << i;
    EXPECT_EQ(list.IndexOf(3, 32768), 3);
    EXPECT_EQ(list.IndexOf(3, 32767), -1);
    int at = -1;
    EXPECT_FALSE(list.Find({2, 32767}, at));
    EXPECT_EQ(at, 3);

    for (int bad : {5, -1}) {
        try {
            list.Items(bad);
            ADD_FAILURE() << bad;
        } catch (const EGridSelectionList& E) {
            EXPECT_EQ(E.Message, "Invalid item index of " + std::to_string(bad));
        }
    }

    list.TrimTo(2, 32768);
    EXPECT_EQ(removed, (std::vector<TGridCoord>{{5, 1}, {3, 32768}, {0, 40000}}));
    ASSERT_EQ(list.Count(), 2);
    removed.clear();
    list.Delete(0);
    EXPECT_EQ(removed, (std::vector<TGridCoord>{{0, 1}}));
    list.Add(4, 2);
    removed.clear();
    list.Clear();
    EXPECT_EQ(removed, (std::vector<TGridCoord>{{4, 2}, {1, 32767}}));
    EXPECT_EQ(list.Count(), 0);
}

// ---- Selection rules ---------------------------------------------------------------------------

enum class TAct { Click, Press, Release, RightClick, Key };

struct TInput {
    TAct Act;
    int Arg; // a cell index, or a key
    Qt::KeyboardModifiers Mods = {};
};

TInput Click(int I, Qt::KeyboardModifiers M = {}) { return {TAct::Click, I, M}; }
TInput Press(int I, Qt::KeyboardModifiers M = {}) { return {TAct::Press, I, M}; }
TInput Release(int I, Qt::KeyboardModifiers M = {}) { return {TAct::Release, I, M}; }
TInput Key(int K, Qt::KeyboardModifiers M = {}) { return {TAct::Key, K, M}; }

constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers kShift = Qt::ShiftModifier;

struct TSelectionCase {
    const char* Name;
    bool Multi;
    std::vector<int> Start; // starting selection
    int Current;            // starting current cell
    std::vector<TInput> Inputs;
    std::vector<int> Expected;
    int ExpectedCurrent;
};

// A grid of 20 cells in 4 columns (5 rows); cell 13 cannot be selected.
const TSelectionCase kSelectionCases[] = {
    {"click selects one cell", true, {2, 7}, 7, {Click(5)}, {5}, 5},
    {"press on a selected cell keeps the selection", true, {2, 5, 7}, 7, {Press(5)}, {2, 5, 7}, 5},
    {"release on the pressed selected cell reduces to it", true, {2, 5, 7}, 7, {Press(5), Release(5)}, {5}, 5},
    {"release over another cell keeps the selection", true, {2, 5, 7}, 7, {Press(5), Release(6)}, {2, 5, 7}, 5},
    {"release with ctrl keeps the selection", true, {2, 5, 7}, 7, {Press(5), Release(5, kCtrl)}, {2, 5, 7}, 5},
    {"ctrl+click adds a cell", true, {2}, 2, {Click(5, kCtrl)}, {2, 5}, 5},
    {"ctrl+click removes a selected cell", true, {2, 5}, 5, {Click(2, kCtrl)}, {5}, 2},
    {"ctrl+click keeps the only selected cell", true, {5}, 5, {Click(5, kCtrl)}, {5}, 5},
    {"shift+click ranges from the first selected cell", true, {10}, 10, {Click(5, kShift), Click(12, kShift)},
     Range(5, 12), 12},
    {"shift+click with nothing selected selects the cell", true, {}, 0, {Click(3, kShift)}, {3}, 3},
    {"ctrl+shift+click is a range", true, {2}, 2, {Click(6, kCtrl | kShift)}, Range(2, 6), 6},
    {"a range leaves out cells that cannot be selected", true, {10}, 10, {Click(15, kShift)}, {10, 11, 12, 14, 15},
     15},
    {"click on a cell that cannot be selected changes nothing", true, {2}, 2, {Click(13)}, {2}, 2},
    {"right click leaves the selection", true, {2}, 2, {{TAct::RightClick, 5}}, {2}, 2},
    {"right wraps to the next row", true, {3}, 3, {Key(Qt::Key_Right)}, {4}, 4},
    {"left wraps to the row above", true, {4}, 4, {Key(Qt::Key_Left)}, {3}, 3},
    {"left on the first cell changes nothing", true, {0, 5}, 0, {Key(Qt::Key_Left)}, {0, 5}, 0},
    {"right on the last cell changes nothing", true, {19, 2}, 19, {Key(Qt::Key_Right)}, {2, 19}, 19},
    {"down moves one row", true, {1}, 1, {Key(Qt::Key_Down)}, {5}, 5},
    {"down on the last row changes nothing", true, {17}, 17, {Key(Qt::Key_Down)}, {17}, 17},
    {"up on the first row changes nothing", true, {1}, 1, {Key(Qt::Key_Up)}, {1}, 1},
    {"an arrow alone collapses a multiple selection", true, {2, 5, 7}, 7, {Key(Qt::Key_Down)}, {11}, 11},
    {"shift+arrows extend from the first selected cell", true, {5}, 5,
     {Key(Qt::Key_Right, kShift), Key(Qt::Key_Right, kShift), Key(Qt::Key_Down, kShift)}, Range(5, 11), 11},
    // The range always starts at the first selected cell, which the first step moved to 4.
    {"shift+left twice ranges from the first selected cell", true, {5}, 5,
     {Key(Qt::Key_Left, kShift), Key(Qt::Key_Left, kShift)}, {3, 4}, 3},
    {"ctrl+arrows toggle cells", true, {5}, 5,
     {Key(Qt::Key_Right, kCtrl), Key(Qt::Key_Right, kCtrl), Key(Qt::Key_Left, kCtrl)}, {5, 7}, 6},
    {"an arrow onto a cell that cannot be selected changes nothing", true, {12}, 12, {Key(Qt::Key_Right)}, {12}, 12},
    {"other keys get no handling of the grid's own", true, {5}, 5,
     {Key(Qt::Key_Home), Key(Qt::Key_End), Key(Qt::Key_PageDown), Key(Qt::Key_A, kCtrl)}, {5}, 5},
    {"single selection: ctrl+click selects one cell", false, {2}, 2, {Click(5, kCtrl)}, {5}, 5},
    {"single selection: shift+click selects one cell", false, {2}, 2, {Click(6, kShift)}, {6}, 6},
    {"single selection: shift+arrow selects one cell", false, {2}, 2, {Key(Qt::Key_Right, kShift)}, {3}, 3},
};

TEST(AdvSelectDrawGrid, SelectionRulesOfMouseAndKeys)
{
    for (const TSelectionCase& c : kSelectionCases) {
        SCOPED_TRACE(c.Name);
        TTestGrid grid;
        grid.Refused = {13};
        grid.Setup(20, 4, 200);
        if (!c.Multi)
            grid.SetGridOptions(0);
        grid.FocusCell(c.Current % 4, c.Current / 4, true);
        grid.ClearSelection();
        for (int i : c.Start)
            grid.SelectCellEx(grid.IndexCell(i), false);
        for (const TInput& in : c.Inputs) {
            switch (in.Act) {
            case TAct::Click:
                QTest::mouseClick(grid.viewport(), Qt::LeftButton, in.Mods, grid.CenterOf(in.Arg));
                break;
            case TAct::RightClick:
                QTest::mouseClick(grid.viewport(), Qt::RightButton, in.Mods, grid.CenterOf(in.Arg));
                break;
            case TAct::Press:
                grid.Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, in.Mods, grid.CenterOf(in.Arg));
                break;
            case TAct::Release:
                grid.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, in.Mods, grid.CenterOf(in.Arg));
                break;
            case TAct::Key:
                QTest::keyClick(&grid, Qt::Key(in.Arg), in.Mods);
                break;
            }
        }
        EXPECT_EQ(grid.Selected(), c.Expected);
        EXPECT_EQ(grid.Current(), c.ExpectedCurrent);
    }
}

TEST(AdvSelectDrawGrid, SelectAllRangesAndTurningMultiSelectOff)
{
    TTestGrid grid;
    grid.Setup(10, 4, 200);
    grid.SelectAll();
    EXPECT_EQ(grid.Selected(), Range(0, 9));
    // The current cell moved from outside makes it the whole selection.
    grid.FocusCell(2, 1, true);
    EXPECT_EQ(grid.Selected(), std::vector<int>{6});
    // A range past the grid's cells stops at its last cell.
    grid.SelectRange(9, 4);
    EXPECT_EQ(grid.Selected(), Range(4, 9));
    grid.SelectRange(-3, 30);
    EXPECT_EQ(grid.Selected(), Range(0, 9));

    grid.SelectRange(3, 5);
    grid.SetGridOptions(agVertLine);
    EXPECT_EQ(grid.Selected(), std::vector<int>{3});
    grid.SelectAll(); // needs multi-select
    EXPECT_EQ(grid.Selected(), std::vector<int>{3});
}

// ---- Arranging ---------------------------------------------------------------------------------

TEST(AdvSelectDrawGrid, ArrangesColumnsToTheWidth)
{
    TTestGrid grid;
    const int bar = grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &grid);
    ASSERT_GT(bar, 5);
    ASSERT_LT(bar, 25);
    struct {
        const char* Name;
        int Width, Height, Cells, Cols, Rows;
    } const cases[] = {
        {"narrower than one cell: still one column", 20, 400, 5, 1, 5},
        {"as many columns as fit after the margin", 8 + 3 * kCell + 19, 400, 10, 3, 4},
        {"a needed scroll bar takes its width", 8 + 4 * kCell + 5, 40, 50, 3, 17},
        {"no cells: one row", 100, 100, 0, 4, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        grid.hide();
        grid.resize(c.Width, c.Height);
        grid.SetWrapCells(true);
        grid.SetNumOfCells(c.Cells);
        grid.show();
        QApplication::processEvents();
        EXPECT_EQ(grid.ColCount(), c.Cols);
        EXPECT_EQ(grid.RowCount(), c.Rows);
    }
}

TEST(AdvSelectDrawGrid, SelectionFollowsTheCellIndicesWhenRearranged)
{
    TTestGrid grid;
    grid.Setup(10, 3, 400);
    grid.SelectRange(1, 1);
    grid.SelectCellEx(grid.IndexCell(4), false);
    grid.SelectCellEx(grid.IndexCell(9), false);
    ASSERT_EQ(grid.Selected(), (std::vector<int>{1, 4, 9}));
    grid.resize(8 + 5 * kCell + 5, 400);
    QApplication::processEvents();
    ASSERT_EQ(grid.ColCount(), 5);
    EXPECT_EQ(grid.Selected(), (std::vector<int>{1, 4, 9}));
    EXPECT_TRUE(grid.IsSelected(4, 1)); // index 9

    // Fewer cells: the indices that still exist stay selected, the rest leave the selection.
    grid.SetNumOfCells(8);
    EXPECT_EQ(grid.Selected(), (std::vector<int>{1, 4}));

    // A grid size set from outside trims the selection and counts its cells anew.
    grid.SetWrapCells(false);
    grid.SelectRange(0, 7);
    grid.SetColCount(2);
    EXPECT_EQ(grid.NumOfCells(), 4);
    for (int i = 0; i < grid.SelectedCount(); ++i) {
        TGridCoord c;
        ASSERT_TRUE(grid.GetSelectedCell(i, c));
        EXPECT_LT(c.X, 2);
    }
    EXPECT_EQ(grid.SelectedCount(), 4);
}

TEST(AdvSelectDrawGrid, PositionsPastSixteenBitRows)
{
    TTestGrid grid;
    grid.Setup(70000, 1, 100);
    ASSERT_EQ(grid.RowCount(), 70000);

    grid.FocusCell(0, 40000, true);
    EXPECT_EQ(grid.Selected(), std::vector<int>{40000});
    EXPECT_FALSE(grid.CellRect(0, 40000).isEmpty()); // scrolled into view
    EXPECT_EQ(grid.MouseToCell(5, grid.CellRect(0, 40000).center().y()), (TGridCoord{0, 40000}));

    QTest::mouseClick(grid.viewport(), Qt::LeftButton, kShift, grid.CenterOf(40002));
    EXPECT_EQ(grid.Selected(), Range(40000, 40002));
    QTest::keyClick(&grid, Qt::Key_Down, kShift);
    EXPECT_EQ(grid.Selected(), Range(40000, 40003));
    EXPECT_EQ(grid.Current(), 40003);

    grid.SelectRange(32766, 32770);
    EXPECT_EQ(grid.Selected(), Range(32766, 32770));

    // Four columns: the same pictures stay selected.
    const int bar = grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &grid);
    grid.resize(8 + 4 * kCell + 5 + bar, 100);
    QApplication::processEvents();
    ASSERT_EQ(grid.ColCount(), 4);
    EXPECT_EQ(grid.RowCount(), 17500);
    EXPECT_EQ(grid.Selected(), Range(32766, 32770));
    EXPECT_TRUE(grid.IsSelected(2, 8191));
}

// ---- Painting ----------------------------------------------------------------------------------

TEST(AdvSelectDrawGrid, PaintsOnlyTheVisibleCells)
{
    TTestGrid grid;
    grid.Setup(50000, 4, 90);
    grid.SelectRange(5, 6);
    struct TDrawn {
        int Index;
        QRect Rect;
        bool Selected;
    };
    std::vector<TDrawn> drawn;
    grid.OnDrawCell = [&](QWidget*, QPainter&, int ACol, int ARow, const QRect& Rect, TGridDrawState State) {
        drawn.push_back({static_cast<int>(grid.CellIndex(ACol, ARow)), Rect, (State & gdSelected) != 0});
    };
    for (int top : {0, 6000, 12497}) {
        SCOPED_TRACE(top);
        grid.SetTopRow(top);
        drawn.clear();
        grid.grab();
        // Rows top .. top + 4 are in view, the fifth one in part (90 pixels of 20-pixel rows).
        std::vector<int> indices;
        for (const TDrawn& d : drawn) {
            indices.push_back(d.Index);
            EXPECT_TRUE(d.Rect.intersects(grid.viewport()->rect())) << d.Index;
            EXPECT_EQ(d.Selected, d.Index == 5 || d.Index == 6) << d.Index;
        }
        const int first = std::min(top, grid.RowCount() - 4) * 4;
        EXPECT_EQ(indices, Range(first, std::min(first + 19, 49999)));
    }
}

TEST(AdvSelectDrawGrid, FailingCellDrawsPlaceholderAndIsReportedOncePerLoad)
{
    TTestGrid grid;
    grid.Setup(8, 4, 100);
    grid.SetColor(clWhite);
    grid.OnDrawCell = [&](QWidget*, QPainter& Canvas, int ACol, int ARow, const QRect& Rect, TGridDrawState) {
        const int64_t index = grid.CellIndex(ACol, ARow);
        if (index == 2)
            throw EInvalidGraphic("broken thumbnail");
        if (index == 5)
            throw 42;
        Canvas.fillRect(Rect, Qt::red);
    };
    std::vector<std::string> reports;
    grid.OnDrawCellError = [&](QWidget*, int ACol, int ARow, const std::string& Message) {
        reports.push_back(std::to_string(grid.CellIndex(ACol, ARow)) + ": " + Message);
    };

    const QImage image = grid.grab().toImage();
    // Not reported from inside painting.
    EXPECT_TRUE(reports.empty());
    QApplication::processEvents();
    EXPECT_EQ(reports, std::vector<std::string>{"2: broken thumbnail"});

    const QRgb red = QColor(Qt::red).rgb(), white = ColorToQColor(clWhite).rgb(),
               shadow = ColorToQColor(clBtnShadow).rgb();
    EXPECT_EQ(image.pixel(grid.CellRect(1, 0).center()), red);
    EXPECT_EQ(image.pixel(grid.CellRect(2, 1).center()), red);
    for (TGridCoord c : {TGridCoord{2, 0}, TGridCoord{1, 1}}) {
        SCOPED_TRACE(c.X + 4 * c.Y);
        const QRect r = grid.CellRect(c.X, c.Y);
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                ASSERT_NE(image.pixel(x, y), red) << x << "," << y;
        EXPECT_EQ(image.pixel(r.left() + 1, r.top() + 1), white);
        EXPECT_EQ(image.pixel(r.left() + 4, r.top() + 10), shadow); // the frame
        EXPECT_EQ(image.pixel(r.left() + 6, r.top() + 10), white);
    }

    grid.grab();
    QApplication::processEvents();
    EXPECT_EQ(reports.size(), 1u);
    grid.ResetDrawErrorReport();
    grid.grab();
    QApplication::processEvents();
    EXPECT_EQ(reports.size(), 2u);
}

// ---- Drag start --------------------------------------------------------------------------------

TEST(AdvSelectDrawGrid, DragStartsAfterTheDragDistanceAndKeepsTheSelection)
{
    const int d = QApplication::startDragDistance();
    ASSERT_GT(d, 1);
    struct {
        const char* Name;
        Qt::MouseButton Button;
        std::vector<int> Moves; // distances from the press, to the right
        int Drags;
        std::vector<int> After; // selection after the release
    } const cases[] = {
        {"less than the distance: a click", Qt::LeftButton, {1, d - 1}, 0, {5}},
        {"the distance: a drag of the whole selection", Qt::LeftButton, {d - 1, d, d + 3}, 1, {2, 5, 7}},
        {"right button drag", Qt::RightButton, {d}, 1, {2, 5, 7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestGrid grid;
        grid.Setup(20, 4, 200);
        // As the browser does: a move with a button held asks for a drag.
        grid.OnMouseMove = [&](QWidget*, Qt::MouseButtons Buttons, Qt::KeyboardModifiers, int, int) {
            if (Buttons & (Qt::LeftButton | Qt::RightButton))
                grid.BeginDragCells(false, -1);
        };
        for (int i : {2, 5, 7})
            grid.SelectCellEx(grid.IndexCell(i), false);
        const QPoint start = grid.CenterOf(5);
        grid.Mouse(QEvent::MouseButtonPress, c.Button, c.Button, {}, start);
        for (int m : c.Moves)
            grid.Mouse(QEvent::MouseMove, Qt::NoButton, c.Button, {}, start + QPoint(m, 0));
        EXPECT_EQ(grid.Drags, c.Drags);
        grid.Mouse(QEvent::MouseButtonRelease, c.Button, Qt::NoButton, {}, start + QPoint(c.Moves.back(), 0));
        EXPECT_EQ(grid.Selected(), c.After);
        if (c.Drags) {
            EXPECT_EQ(grid.DraggedCells, QByteArray("2\n5\n7\n"));
            EXPECT_EQ(grid.SelectedAfterClickDuringDrag, (std::vector<int>{2, 5, 7}));
        }
        EXPECT_FALSE(grid.Dragging());
    }
}

TEST(AdvSelectDrawGrid, DoubleClickSelectsTheCellAndFiresOnce)
{
    TTestGrid grid;
    grid.Setup(20, 4, 200);
    grid.SelectRange(2, 7);
    std::vector<std::vector<int>> atDoubleClick;
    int clicks = 0;
    grid.OnDblClick = [&](QWidget*) { atDoubleClick.push_back(grid.Selected()); };
    grid.OnClick = [&](QWidget*) { ++clicks; };
    // What Qt delivers for a double click: press, release, double click, release.
    const QPoint at = grid.CenterOf(5);
    grid.Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {}, at);
    grid.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {}, at);
    grid.Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, {}, at);
    grid.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {}, at);
    EXPECT_EQ(atDoubleClick, std::vector<std::vector<int>>{{5}});
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(grid.Selected(), std::vector<int>{5});
}

TEST(AdvSelectDrawGrid, APendingClickActsOnlyOnTheCellAndLayoutItWasPressedIn)
{
    // A press on one of several selected cells, something in between, then the release at the same
    // viewport point.
    struct {
        const char* Name;
        std::function<void(TTestGrid&)> Between;
        std::vector<int> After;
    } const cases[] = {
        {"nothing: the click reduces the selection to the cell", [](TTestGrid&) {}, {5}},
        {"the grid took other columns: another cell lies under the pointer",
         [](TTestGrid& G) {
             const int bar = G.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &G);
             G.resize(8 + 7 * kCell + 5 + bar, G.height());
             QApplication::processEvents();
             ASSERT_EQ(G.ColCount(), 7);
         },
         {2, 5, 7}},
        {"the view scrolled", [](TTestGrid& G) { G.SetTopRow(G.TopRow() + 1); }, {2, 5, 7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestGrid grid;
        grid.Setup(40, 4, 4 * kCell);
        for (int i : {2, 5, 7})
            grid.SelectCellEx(grid.IndexCell(i), false);
        const QPoint at = grid.CenterOf(5);
        grid.Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {}, at);
        c.Between(grid);
        grid.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {}, at);
        EXPECT_EQ(grid.Selected(), c.After);
    }
}

TEST(AdvSelectDrawGrid, NothingAfterADoubleClickChangesTheSelection)
{
    // The double click opens the picture and the grid's window is restored from maximised: the
    // grid takes fewer columns while the button is still down, so that another cell (index 5
    // instead of 12) lies under the pointer in the new layout.
    TTestGrid grid;
    grid.Setup(40, 11, 400);
    grid.OnMouseMove = [&](QWidget*, Qt::MouseButtons Buttons, Qt::KeyboardModifiers, int, int) {
        if (Buttons & Qt::LeftButton)
            grid.BeginDragCells(false, -1);
    };
    std::vector<std::vector<int>> atDoubleClick;
    grid.OnDblClick = [&](QWidget*) {
        atDoubleClick.push_back(grid.Selected());
        grid.resize(8 + 4 * kCell + 5, 400);
        QApplication::processEvents();
    };
    const QPoint at = grid.CenterOf(12);
    grid.Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {}, at);
    grid.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {}, at);
    grid.Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, {}, at);
    ASSERT_EQ(grid.ColCount(), 4);
    ASSERT_EQ(grid.CellIndex(grid.MouseToCell(at.x(), at.y()).X, grid.MouseToCell(at.x(), at.y()).Y), 5);
    grid.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {}, at);
    EXPECT_EQ(atDoubleClick, std::vector<std::vector<int>>{{12}});
    EXPECT_EQ(grid.Selected(), std::vector<int>{12});
    EXPECT_EQ(grid.Current(), 12);

    // A button held after a double click moves far enough for a drag: none starts.
    const QPoint six = grid.CenterOf(6);
    grid.Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {}, six);
    grid.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {}, six);
    grid.Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, {}, six);
    const int d = QApplication::startDragDistance();
    grid.Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {}, six + QPoint(d + 1, 0));
    grid.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {}, six + QPoint(d + 1, 0));
    EXPECT_EQ(grid.Drags, 0);
    EXPECT_EQ(grid.Selected(), std::vector<int>{6});
    // The next click is an ordinary one again.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.CenterOf(9));
    EXPECT_EQ(grid.Selected(), std::vector<int>{9});
    grid.Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {}, grid.CenterOf(9));
    grid.Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {}, grid.CenterOf(9) + QPoint(d + 1, 0));
    EXPECT_EQ(grid.Drags, 1);
    grid.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {}, grid.CenterOf(9) + QPoint(d + 1, 0));
}

TEST(AdvSelectDrawGrid, DropsReachTheOwnerInViewportCoordinates)
{
    TTestGrid grid;
    grid.Setup(20, 4, 200);
    std::vector<QPoint> overs, drops;
    grid.OnDragOver = [&](QWidget*, QObject* Source, int X, int Y, bool& Accept) {
        EXPECT_EQ(Source, nullptr); // not from a grid of this program
        overs.push_back({X, Y});
        if (grid.MouseToCell(X, Y).X == 3)
            Accept = false; // Accept starts True
    };
    grid.OnDragDrop = [&](QWidget*, QObject*, int X, int Y) { drops.push_back({X, Y}); };
    QMimeData data;
    data.setText("x");
    const QPoint ok = grid.CellRect(1, 2).center(), refused = grid.CellRect(3, 0).center();
    QDragEnterEvent enter(ok, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(grid.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    for (QPoint at : {refused, ok}) {
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(grid.viewport(), &move);
        EXPECT_EQ(move.isAccepted(), at == ok);
    }
    QDropEvent drop(QPointF(ok), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(grid.viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(overs, (std::vector<QPoint>{ok, refused, ok}));
    EXPECT_EQ(drops, std::vector<QPoint>{ok});
}

TEST(AdvSelectDrawGrid, MouseEnterAndLeave)
{
    TTestGrid grid;
    int enters = 0, leaves = 0;
    grid.OnMouseEnter = [&](QWidget*) { ++enters; };
    grid.OnMouseLeave = [&](QWidget*) { ++leaves; };
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&grid, &leave);
    EXPECT_EQ(leaves, 0); // no leave without an enter
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&grid, &enter);
    QApplication::sendEvent(&grid, &leave);
    QApplication::sendEvent(&grid, &leave);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(leaves, 1);
}

} // namespace
