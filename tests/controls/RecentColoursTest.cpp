// Recent colours: the list, its promotion rule, the cell hit test and the grid control.
#include "controls/RecentColorsGrd.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<TColor> Entries(const TColorList& L)
{
    std::vector<TColor> v;
    for (int i = 0; i < L.Count(); ++i)
        v.push_back(L.GetColour(i));
    return v;
}

TColorList ListOf(const std::vector<TColor>& Colours)
{
    TColorList l(static_cast<int>(Colours.size()));
    for (size_t i = 0; i < Colours.size(); ++i)
        l.SetColour(static_cast<int>(i), Colours[i]);
    return l;
}

// The main window's grid: 5 x 3 cells of 12 x 12.
void MakeColourPanelGrid(TRecentColorsGrid& Grid)
{
    Grid.SetColorColWidth(12);
    Grid.SetColorRowHeight(12);
    Grid.SetColorRowCount(3);
    Grid.SetDefaultColor(clWhite);
}

} // namespace

TEST(RecentColoursList, OutOfRangeReadsGiveTheDefaultAndWritesAreIgnored)
{
    TColorList l(3, 0x123456);
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l.GetColour(2), 0x123456);
    l.SetColour(3, clRed);
    l.SetColour(-1, clRed);
    EXPECT_EQ(l.IndexOf(clRed), -1);
    EXPECT_EQ(l.GetColour(-1), 0x123456);
    l.SetColour(1, clRed);
    EXPECT_EQ(l.IndexOf(clRed), 1);
    l.SetDefaultColour(clBlue);
    l.SetCount(5);
    EXPECT_EQ(Entries(l), (std::vector<TColor>{0x123456, clRed, 0x123456, clBlue, clBlue}));
    l.SetCount(-2);
    EXPECT_EQ(l.Count(), 0);
}

TEST(RecentColoursList, PromotionMovesTheColourToTheFront)
{
    const TColor a = 1, b = 2, c = 3, d = 4, x = 9;
    const struct {
        TColor Colour;
        std::vector<TColor> After;
        bool Changed;
    } cases[] = {
        {a, {a, b, c, d}, false}, // already first
        {c, {c, a, b, d}, true},  // from the middle: the ones before it move back
        {d, {d, a, b, c}, true},  // the last one
        {x, {x, a, b, c}, true},  // absent: the last one drops out
    };
    for (const auto& t : cases) {
        TColorList l = ListOf({a, b, c, d});
        EXPECT_EQ(PromoteColour(l, t.Colour), t.Changed) << t.Colour;
        EXPECT_EQ(Entries(l), t.After) << t.Colour;
    }
    TColorList empty;
    EXPECT_FALSE(PromoteColour(empty, x));
}

TEST(RecentColoursGeometry, CellHitTestCountsTheLineWithTheCellBeforeIt)
{
    const struct {
        int X, Y, Index;
    } cases[] = {
        {0, 0, 0},    {11, 11, 0}, {12, 0, 0},  {13, 0, 1}, {64, 0, 4},  {65, 0, -1},
        {0, 13, 5},   {64, 38, 14}, {0, 39, -1}, {-1, 0, -1}, {0, -1, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GridCellIndexAt(c.X, c.Y, 5, 3, 12, 12), c.Index) << c.X << "," << c.Y;
    EXPECT_EQ(GridCellIndexAt(0, 0, 0, 3, 12, 12), -1);
}

TEST(RecentColoursGrid, DimensionsResizeTheListAndTheControl)
{
    TRecentColorsGrid grid;
    EXPECT_EQ(grid.ColorColCount(), 5);
    EXPECT_EQ(grid.ColorRowCount(), 5);
    EXPECT_EQ(grid.ColourCount(), 25);
    EXPECT_FALSE(grid.AutoPromote());
    MakeColourPanelGrid(grid);
    EXPECT_EQ(grid.ColourCount(), 15);
    const int frame = 2 * grid.frameWidth();
    EXPECT_EQ(grid.size(), QSize(13 * 5 + frame, 13 * 3 + frame));
    grid.SetColorColCount(0);
    grid.SetColorRowCount(-1);
    EXPECT_EQ(grid.ColorColCount(), 5);
    EXPECT_EQ(grid.ColorRowCount(), 3);
    grid.SetColorColCount(4);
    EXPECT_EQ(grid.ColourCount(), 12);
    EXPECT_EQ(grid.width(), 13 * 4 + frame);
}

TEST(RecentColoursGrid, ColoursLoadAndSaveByCell)
{
    TRecentColorsGrid grid;
    MakeColourPanelGrid(grid);
    grid.SetColour(0, clRed);
    grid.SetColour(15, clRed); // beyond the cells
    grid.SetColour(-1, clRed);
    std::vector<TColor> saved = grid.Colours();
    ASSERT_EQ(saved.size(), 15u);
    EXPECT_EQ(saved[0], clRed);
    EXPECT_EQ(saved[14], clWhite);
    EXPECT_EQ(grid.GetColour(20), clWhite);

    // Loading: values that are no RGB colour leave their cell alone; a short list fills the first cells.
    grid.SetColours({clBlue, -1, static_cast<TColor>(0x01000000), clLime});
    EXPECT_EQ(grid.GetColour(0), clBlue);
    EXPECT_EQ(grid.GetColour(1), clWhite);
    EXPECT_EQ(grid.GetColour(2), clWhite);
    EXPECT_EQ(grid.GetColour(3), clLime);
    EXPECT_EQ(grid.GetColour(4), clWhite);
}

TEST(RecentColoursGrid, PressOnACellReportsItsColour)
{
    TRecentColorsGrid grid;
    MakeColourPanelGrid(grid);
    for (int i = 0; i < 15; ++i)
        grid.SetColour(i, RGB(i, 0, 0));
    std::vector<std::pair<Qt::MouseButton, TColor>> downs;
    grid.OnColorDown = [&](QWidget*, Qt::MouseButton b, Qt::KeyboardModifiers, TColor c) { downs.push_back({b, c}); };
    grid.show();
    const QRect cell7 = grid.CellRect(2, 1);
    QTest::mouseClick(&grid, Qt::LeftButton, {}, cell7.center());
    QTest::mouseClick(&grid, Qt::RightButton, {}, grid.CellRect(4, 2).center());
    EXPECT_EQ(grid.ColourAt(cell7.right() + 1, cell7.top()), RGB(7, 0, 0)) << "grid line";
    // Beside the cells (the control stretched by a layout): nothing is picked.
    grid.setFixedSize(grid.sizeHint() + QSize(20, 0));
    QTest::mouseClick(&grid, Qt::LeftButton, {}, QPoint(grid.width() - 5, 5));
    EXPECT_EQ(grid.ColourAt(grid.width() - 5, 5), -1);
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0], std::make_pair(Qt::LeftButton, RGB(7, 0, 0)));
    EXPECT_EQ(downs[1], std::make_pair(Qt::RightButton, RGB(14, 0, 0)));
    EXPECT_EQ(grid.GetColour(0), RGB(0, 0, 0)) << "no promotion unless asked";

    grid.SetAutoPromote(true);
    QTest::mouseClick(&grid, Qt::LeftButton, {}, cell7.center());
    EXPECT_EQ(grid.GetColour(0), RGB(7, 0, 0));
    EXPECT_EQ(grid.GetColour(7), RGB(6, 0, 0));
    EXPECT_EQ(grid.GetColour(8), RGB(8, 0, 0));
}

TEST(RecentColoursGrid, CellsShowTheirColours)
{
    TRecentColorsGrid grid;
    MakeColourPanelGrid(grid);
    grid.AddColour(clRed);
    grid.AddColour(clBlue);
    const QImage image = grid.grab().toImage();
    const auto at = [&](const QPoint& p) { return image.pixel(p) | 0xFF000000u; };
    EXPECT_EQ(at(grid.CellRect(0, 0).topLeft()), qRgb(0, 0, 255));
    EXPECT_EQ(at(grid.CellRect(0, 0).bottomRight()), qRgb(0, 0, 255));
    EXPECT_EQ(at(grid.CellRect(1, 0).center()), qRgb(255, 0, 0));
    EXPECT_EQ(at(grid.CellRect(4, 2).center()), qRgb(255, 255, 255));
    EXPECT_NE(at(grid.CellRect(0, 0).bottomRight() + QPoint(1, 0)), qRgb(0, 0, 255)) << "a grid line";
}

TEST(RecentColoursGrid, MouseEnterLeaveAndMove)
{
    TRecentColorsGrid grid;
    MakeColourPanelGrid(grid);
    grid.SetColour(0, clLime);
    int enters = 0, leaves = 0;
    TColor under = -2;
    grid.OnMouseEnter = [&](QWidget*) { ++enters; };
    grid.OnMouseLeave = [&](QWidget*) { ++leaves; };
    grid.OnMouseMove = [&](QWidget*, Qt::MouseButtons, Qt::KeyboardModifiers, int x, int y) { under = grid.ColourAt(x, y); };
    grid.show();
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&grid, &leave);
    EXPECT_EQ(leaves, 0) << "no leave without an enter";
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), grid.mapToGlobal(QPointF(3, 3)));
    QApplication::sendEvent(&grid, &enter);
    // A move sent straight to the grid: moving the real cursor would let the window system add an
    // enter of its own, depending on where earlier tests left the cursor.
    const QPointF at = grid.CellRect(0, 0).center();
    QMouseEvent move(QEvent::MouseMove, at, grid.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&grid, &move);
    QApplication::sendEvent(&grid, &leave);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(leaves, 1);
    EXPECT_EQ(under, clLime);
}
