// The Window menu's arrangements: the plain geometry, then the frame's real MDI area with picture
// windows (a small one among them), minimised windows and the window list's restore.
#include "shell/CVMain.h"
#include "shell/CVMainArrange.h"

#include "FrameFixture.h"

#include "shell/StartUp.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

static std::ostream& operator<<(std::ostream& os, const QRect& R)
{
    return os << "(" << R.x() << ", " << R.y() << " " << R.width() << "x" << R.height() << ")";
}

namespace {

TArrangedWindow Normal(int X, int Y, int W, int H, QSize Minimum = QSize(80, 60))
{
    return {QRect(X, Y, W, H), false, Minimum};
}

TArrangedWindow Icon(int X, int Y, int W = 160, int H = 24)
{
    return {QRect(X, Y, W, H), true, QSize(80, 60)};
}

// No two of the rectangles overlap, and together they cover Area exactly.
::testing::AssertionResult TilesArea(const std::vector<QRect>& Rects, const QRect& Area)
{
    int64_t sum = 0;
    for (size_t i = 0; i < Rects.size(); ++i) {
        if (!Area.contains(Rects[i]))
            return ::testing::AssertionFailure() << "rect " << i << " leaves the area";
        for (size_t j = i + 1; j < Rects.size(); ++j)
            if (Rects[i].intersects(Rects[j]))
                return ::testing::AssertionFailure() << "rects " << i << " and " << j << " overlap";
        sum += int64_t(Rects[i].width()) * Rects[i].height();
    }
    if (sum != int64_t(Area.width()) * Area.height())
        return ::testing::AssertionFailure() << "covered " << sum << " of " << int64_t(Area.width()) * Area.height();
    return ::testing::AssertionSuccess();
}

// ---- Plain geometry ----------------------------------------------------------------------------------

TEST(ArrangeWindows, CascadeKeepsOwnSizesEachATitleBarFurther)
{
    const std::vector<TArrangedWindow> w = {Normal(500, 300, 300, 200), Normal(10, 10, 250, 180), Normal(0, 0, 400, 100)};
    const std::vector<QRect> r = ArrangeWindows(waCascade, w, QSize(1000, 600), 22);
    EXPECT_EQ(r, (std::vector<QRect>{QRect(0, 0, 300, 200), QRect(22, 22, 250, 180), QRect(44, 44, 400, 100)}));
}

TEST(ArrangeWindows, CascadeGivesWhatTheAreaAllowsAndNeverABareTitleBar)
{
    const std::vector<TArrangedWindow> w = {
        Normal(0, 0, 2000, 1500),             // larger than the area: what is left from its offset
        Normal(0, 0, 300, 22, QSize(120, 66)), // a bare title bar: grows to its usable minimum
        Normal(0, 0, 30, 300, QSize(120, 66)), // too narrow
    };
    const std::vector<QRect> r = ArrangeWindows(waCascade, w, QSize(1000, 600), 22);
    EXPECT_EQ(r, (std::vector<QRect>{QRect(0, 0, 1000, 600), QRect(22, 22, 300, 66), QRect(44, 44, 120, 300)}));
}

TEST(ArrangeWindows, CascadeStartsAgainWhenTheOffsetLeavesNoUsableRoom)
{
    std::vector<TArrangedWindow> w(6, Normal(0, 0, 200, 150, QSize(200, 150)));
    const std::vector<QRect> r = ArrangeWindows(waCascade, w, QSize(400, 300), 50);
    // Offsets 0, 50, 100, 150 leave 150 rows or more; 200 would leave 100: back to the top.
    const std::vector<int> offsets = {0, 50, 100, 150, 0, 50};
    for (size_t i = 0; i < r.size(); ++i) {
        EXPECT_EQ(r[i].topLeft(), QPoint(offsets[i], offsets[i])) << i;
        EXPECT_EQ(r[i].size(), QSize(200, 150)) << i;
    }
}

TEST(ArrangeWindows, TileHorizontallyStacksAcrossTheWidthTileVerticallySideBySide)
{
    const std::vector<TArrangedWindow> w(3, Normal(5, 5, 100, 100));
    const QSize area(1000, 600);
    const std::vector<QRect> h = ArrangeWindows(waTileHorizontal, w, area, 22);
    EXPECT_EQ(h, (std::vector<QRect>{QRect(0, 0, 1000, 200), QRect(0, 200, 1000, 200), QRect(0, 400, 1000, 200)}));
    const std::vector<QRect> v = ArrangeWindows(waTileVertical, w, area, 22);
    EXPECT_EQ(v, (std::vector<QRect>{QRect(0, 0, 333, 600), QRect(333, 0, 333, 600), QRect(666, 0, 334, 600)}));
    EXPECT_TRUE(TilesArea(h, QRect(QPoint(0, 0), area)));
    EXPECT_TRUE(TilesArea(v, QRect(QPoint(0, 0), area)));
}

TEST(ArrangeWindows, TilesOfManyWindowsGoIntoColumnsOrRowsThatKeepTheMinimum)
{
    const struct {
        TWindowArrangement How;
        int Count;
        QSize Minimum;
    } cases[] = {
        {waTileHorizontal, 10, QSize(80, 100)}, {waTileHorizontal, 7, QSize(80, 250)},
        {waTileVertical, 10, QSize(150, 60)},   {waTileVertical, 5, QSize(500, 60)},
    };
    const QSize area(800, 600);
    for (const auto& c : cases) {
        const std::vector<TArrangedWindow> w(size_t(c.Count), Normal(0, 0, 50, 50, c.Minimum));
        const std::vector<QRect> r = ArrangeWindows(c.How, w, area, 22);
        EXPECT_TRUE(TilesArea(r, QRect(QPoint(0, 0), area))) << c.How << " " << c.Count;
        for (const QRect& rect : r) {
            const int got = c.How == waTileHorizontal ? rect.height() : rect.width();
            const int minimum = c.How == waTileHorizontal ? c.Minimum.height() : c.Minimum.width();
            EXPECT_GE(got, minimum) << c.Count << " " << rect;
        }
    }
    // Ten windows of at least 100 rows in 600: two columns of five, each across half the width.
    const std::vector<QRect> r = ArrangeWindows(waTileHorizontal, std::vector<TArrangedWindow>(10, Normal(0, 0, 9, 9, QSize(80, 100))), area, 22);
    EXPECT_EQ(r[0], QRect(0, 0, 400, 120));
    EXPECT_EQ(r[5], QRect(400, 0, 400, 120));
}

TEST(ArrangeWindows, MinimisedWindowsLineUpAlongTheBottomAndTheOthersShareTheRest)
{
    const std::vector<TArrangedWindow> w = {Normal(10, 20, 300, 200), Icon(400, 30), Normal(50, 60, 200, 100),
                                            Icon(0, 0)};
    const QSize area(1000, 600);
    const std::vector<QRect> icons = ArrangeWindows(waArrangeIcons, w, area, 22);
    // Arrange All moves the minimised windows only.
    EXPECT_EQ(icons, (std::vector<QRect>{QRect(10, 20, 300, 200), QRect(0, 576, 160, 24), QRect(50, 60, 200, 100),
                                         QRect(160, 576, 160, 24)}));
    const std::vector<QRect> tiled = ArrangeWindows(waTileVertical, w, area, 22);
    EXPECT_EQ(tiled[1], icons[1]);
    EXPECT_EQ(tiled[3], icons[3]);
    EXPECT_EQ(tiled[0], QRect(0, 0, 500, 576));
    EXPECT_EQ(tiled[2], QRect(500, 0, 500, 576));
    const std::vector<QRect> cascaded = ArrangeWindows(waCascade, w, area, 22);
    EXPECT_EQ(cascaded[0], QRect(0, 0, 300, 200));
    EXPECT_EQ(cascaded[2], QRect(22, 22, 200, 100));
}

TEST(ArrangeWindows, AFullRowOfMinimisedWindowsContinuesInARowAbove)
{
    std::vector<TArrangedWindow> w(7, Icon(0, 0));
    w.push_back(Normal(0, 0, 100, 100));
    const std::vector<QRect> r = ArrangeWindows(waTileHorizontal, w, QSize(1000, 600), 22);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(r[size_t(i)], QRect(160 * i, 576, 160, 24)) << i;
    EXPECT_EQ(r[6], QRect(0, 552, 160, 24));
    EXPECT_EQ(r[7], QRect(0, 0, 1000, 552));
}

// ---- In the frame's MDI area -------------------------------------------------------------------------

class FrameArrangement : public FrameFixture {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(FrameFixture::SetUp());
        StartFrame(QSize(1100, 760));
        // Four pictures, a 32 x 32 one among them.
        for (const QSize& s : {QSize(300, 200), QSize(32, 32), QSize(420, 260), QSize(100, 100)})
            ASSERT_TRUE(Main->NewPicture(s.width(), s.height(), clWhite));
        Windows = Main->MdiArea()->subWindowList();
        ASSERT_EQ(Windows.size(), 4);
        Title = Windows[0]->contentsMargins().top();
        ASSERT_GT(Title, 0);
    }
    QSize Area() const { return Main->MdiArea()->viewport()->size(); }
    std::vector<QRect> Geometries(const QList<QMdiSubWindow*>& List) const
    {
        std::vector<QRect> g;
        for (QMdiSubWindow* w : List)
            g.push_back(w->geometry());
        return g;
    }
    void Trigger(const char* Name) { Main->Action(Name)->trigger(); }

    QList<QMdiSubWindow*> Windows;
    int Title = 0;
};

TEST_F(FrameArrangement, CascadeOverlapsUsableWindowsEachATitleBarLower)
{
    const QList<QMdiSubWindow*> stack = Main->MdiArea()->subWindowList(QMdiArea::StackingOrder);
    const std::vector<QRect> before = Geometries(stack);
    QMdiSubWindow* active = Main->MdiArea()->activeSubWindow();
    Trigger("ActWindowCascade");
    const QRect area(QPoint(0, 0), Area());
    for (int i = 0; i < stack.size(); ++i) {
        const QRect g = stack[i]->geometry();
        EXPECT_EQ(g.topLeft(), QPoint(i * Title, i * Title)) << i;
        EXPECT_TRUE(area.contains(g)) << g;
        // Its own size where that was usable already, and never a bare title bar.
        EXPECT_GE(g.width(), before[size_t(i)].width()) << i;
        EXPECT_GE(g.height(), before[size_t(i)].height()) << i;
        EXPECT_GE(g.height(), 3 * Title) << i;
        EXPECT_GT(stack[i]->widget()->height(), Title) << i;
        if (before[size_t(i)].height() >= 3 * Title && before[size_t(i)].width() >= 4 * Title) {
            EXPECT_EQ(g.size(), before[size_t(i)].size()) << i;
        }
    }
    // The front window stays in front and active.
    EXPECT_EQ(Main->MdiArea()->subWindowList(QMdiArea::StackingOrder), stack);
    EXPECT_EQ(Main->MdiArea()->activeSubWindow(), active);
}

TEST_F(FrameArrangement, TilingsDifferAndFillTheArea)
{
    const QRect area(QPoint(0, 0), Area());
    Trigger("ActWindowTileHorizontal");
    const std::vector<QRect> h = Geometries(Windows);
    EXPECT_TRUE(TilesArea(h, area));
    for (size_t i = 0; i < h.size(); ++i) {
        EXPECT_EQ(h[i].width(), area.width()) << i;
        EXPECT_EQ(h[i].x(), 0) << i;
        if (i > 0) {
            EXPECT_EQ(h[i].top(), h[i - 1].bottom() + 1) << i;
        }
    }
    Trigger("ActWindowTileVertical");
    const std::vector<QRect> v = Geometries(Windows);
    EXPECT_TRUE(TilesArea(v, area));
    for (size_t i = 0; i < v.size(); ++i) {
        EXPECT_EQ(v[i].height(), area.height()) << i;
        EXPECT_EQ(v[i].y(), 0) << i;
        if (i > 0) {
            EXPECT_EQ(v[i].left(), v[i - 1].right() + 1) << i;
        }
    }
    EXPECT_NE(h, v);
}

TEST_F(FrameArrangement, ArrangeAllLinesUpTheMinimisedAlongTheBottomOnly)
{
    Trigger("ActWindowCascade");
    Windows[1]->showMinimized();
    Windows[3]->showMinimized();
    // Somewhere else first, to see them come back.
    Windows[1]->move(300, 40);
    Windows[3]->move(10, 10);
    const QRect normal0 = Windows[0]->geometry(), normal2 = Windows[2]->geometry();
    Trigger("ActWindowArrangeAll");
    const int bottom = Area().height();
    const QRect icon1 = Windows[1]->geometry(), icon3 = Windows[3]->geometry();
    EXPECT_TRUE(Windows[1]->isMinimized());
    EXPECT_EQ(icon1.topLeft(), QPoint(0, bottom - icon1.height())) << icon1;
    EXPECT_EQ(icon3.topLeft(), QPoint(icon1.width(), bottom - icon3.height())) << icon3;
    EXPECT_EQ(Windows[0]->geometry(), normal0);
    EXPECT_EQ(Windows[2]->geometry(), normal2);

    // Tiling the others leaves the band of the minimised ones free.
    Trigger("ActWindowTileVertical");
    EXPECT_EQ(Windows[1]->geometry(), icon1);
    EXPECT_EQ(Windows[0]->geometry(), QRect(0, 0, Area().width() / 2, icon1.top()));
}

TEST_F(FrameArrangement, AMaximisedWindowIsRestoredBeforeTiling)
{
    Windows[2]->showMaximized();
    Trigger("ActWindowTileHorizontal");
    EXPECT_FALSE(Windows[2]->isMaximized());
    EXPECT_TRUE(TilesArea(Geometries(Windows), QRect(QPoint(0, 0), Area())));
}

TEST_F(FrameArrangement, AMinimisedWindowChosenFromTheWindowMenuIsRestored)
{
    Windows[1]->showMinimized();
    ASSERT_TRUE(Windows[1]->isMinimized());
    QMenu* windowMenu = nullptr;
    for (QAction* a : Main->menuBar()->actions())
        if (a->text() == "&Window")
            windowMenu = a->menu();
    ASSERT_NE(windowMenu, nullptr);
    emit windowMenu->aboutToShow();
    QAction* item = nullptr;
    for (QAction* a : windowMenu->actions())
        if (a->text().startsWith("&2 "))
            item = a;
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "&2 " + Windows[1]->windowTitle());
    item->trigger();
    EXPECT_FALSE(Windows[1]->isMinimized());
    EXPECT_EQ(Main->MdiArea()->activeSubWindow(), Windows[1]);
    EXPECT_GT(Windows[1]->widget()->height(), Title);

    // An item of a window closed since the menu was built does nothing.
    emit windowMenu->aboutToShow();
    QAction* fourth = nullptr;
    for (QAction* a : windowMenu->actions())
        if (a->text().startsWith("&4 "))
            fourth = a;
    ASSERT_NE(fourth, nullptr);
    Windows[3]->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    fourth->trigger();
    EXPECT_EQ(Main->MdiArea()->subWindowList().size(), 3);
}

} // namespace
