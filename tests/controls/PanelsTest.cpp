// Panels: bevel drawing, collapsing-panel geometry, its state machine with a scripted host, and
// the widgets under the offscreen platform.
#include "controls/XPanels.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

QRgb Rgb(TColor C)
{
    return ColorToQColor(C).rgb();
}

QRgb PixelAt(const QImage& Image, int X, int Y)
{
    return Image.pixel(X, Y) | 0xFF000000u;
}

void SendEnter(QWidget& W)
{
    QEnterEvent e(QPointF(1, 1), QPointF(1, 1), W.mapToGlobal(QPointF(1, 1)));
    QApplication::sendEvent(&W, &e);
}

void SendLeave(QWidget& W)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(&W, &e);
}

// Records what the state machine asks of its panel; the cursor is wherever the test puts it.
class TScriptedHost : public TCollapseHost {
public:
    int Size = 100;
    bool ChildrenVisible = true;
    bool AllowExpand = true, AllowCollapse = true;
    bool Inside = false;
    int TimerInterval = -1; // -1: no timer running
    std::vector<std::string> Log;

    int PanelSize() const override { return Size; }
    void SetPanelSize(int S) override
    {
        Size = S;
        Log.push_back("size " + std::to_string(S));
    }
    void SetChildrenVisible(bool V) override
    {
        ChildrenVisible = V;
        Log.push_back(V ? "show" : "hide");
    }
    bool AllowExpanding() override
    {
        Log.push_back("expanding?");
        return AllowExpand;
    }
    bool AllowCollapsing() override
    {
        Log.push_back("collapsing?");
        return AllowCollapse;
    }
    void StartHoverTimer(int Interval) override { TimerInterval = Interval; }
    void StopHoverTimer() override { TimerInterval = -1; }
    bool CursorInClient() const override { return Inside; }
    void Invalidate() override {}
};

} // namespace

TEST(PanelsFrame3D, RingsTakeTheirCornersAndTheRectangleShrinks)
{
    QImage image(6, 5, QImage::Format_RGB32);
    image.fill(Qt::green);
    TRect r = Rect(0, 0, 6, 5);
    {
        QPainter p(&image);
        Frame3D(p, r, clWhite, clBlack, 1);
    }
    EXPECT_EQ(r, Rect(1, 1, 5, 4));
    const QRgb white = Rgb(clWhite), black = Rgb(clBlack);
    EXPECT_EQ(PixelAt(image, 0, 0), white);
    EXPECT_EQ(PixelAt(image, 4, 0), white);
    EXPECT_EQ(PixelAt(image, 5, 0), black) << "top-right corner";
    EXPECT_EQ(PixelAt(image, 0, 3), white);
    EXPECT_EQ(PixelAt(image, 0, 4), black) << "bottom-left corner";
    EXPECT_EQ(PixelAt(image, 5, 4), black);
    EXPECT_EQ(PixelAt(image, 2, 2), qRgb(0, 255, 0)) << "the inside is untouched";
}

TEST(PanelsGeometry, InnerRectCountsBevelsAndBorder)
{
    const TRect client = Rect(0, 0, 50, 40);
    EXPECT_EQ(PanelInnerRect(client, bvRaised, bvNone, 1, 0), Rect(1, 1, 49, 39));
    EXPECT_EQ(PanelInnerRect(client, bvLowered, bvRaised, 2, 3), Rect(7, 7, 43, 33));
    EXPECT_EQ(PanelInnerRect(client, bvNone, bvNone, 1, 0), client);
    EXPECT_EQ(PanelInnerRect(Rect(0, 0, 4, 4), bvRaised, bvRaised, 2, 2), Rect(6, 6, 6, 6)) << "never inverted";
}

TEST(PanelsGeometry, BarLiesOnTheEdgeFacingTheParentsInterior)
{
    const TRect r = Rect(0, 0, 89, 300);
    const struct {
        TAlign Align;
        TRect Bar, Client;
    } cases[] = {
        {alTop, Rect(0, 284, 89, 300), Rect(0, 0, 89, 284)},
        {alBottom, Rect(0, 0, 89, 16), Rect(0, 16, 89, 300)},
        {alLeft, Rect(73, 0, 89, 300), Rect(0, 0, 73, 300)},
        {alRight, Rect(0, 0, 16, 300), Rect(16, 0, 89, 300)},
        {alClient, r, r},
        {alNone, r, r},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SizingBarRect(c.Align, r, 16), c.Bar) << c.Align;
        EXPECT_EQ(CollapsingClientRect(c.Align, r, 16), c.Client) << c.Align;
    }
    EXPECT_EQ(CollapsingClientRect(alRight, Rect(0, 0, 10, 20), 16), Rect(16, 0, 16, 20)) << "edges stop at each other";
}

TEST(PanelsGeometry, BarGlyphFollowsTheStateTable)
{
    const struct {
        TAlign Align;
        bool Expanded, Locked, Fixed;
        TSizingBarGlyph Glyph;
    } cases[] = {
        {alRight, true, false, true, {sgThumb, adUp, true, false}},
        {alTop, false, true, true, {sgThumb, adUp, false, false}},
        {alTop, true, true, false, {sgArrow, adRight, false, false}},
        {alLeft, false, true, false, {sgArrow, adDown, false, false}},
        {alTop, false, false, false, {sgArrow, adDown, false, true}},
        {alTop, true, false, false, {sgArrow, adUp, false, true}},
        {alBottom, true, false, false, {sgArrow, adDown, false, true}},
        {alBottom, false, false, false, {sgArrow, adUp, false, true}},
        {alLeft, false, false, false, {sgArrow, adRight, false, true}},
        {alLeft, true, false, false, {sgArrow, adLeft, false, true}},
        {alRight, true, false, false, {sgArrow, adRight, false, true}},
        {alRight, false, false, false, {sgArrow, adLeft, false, true}},
        {alClient, true, false, false, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SizingBarGlyph(c.Align, c.Expanded, c.Locked, c.Fixed), c.Glyph)
            << c.Align << " expanded " << c.Expanded << " locked " << c.Locked << " fixed " << c.Fixed;
}

// ---- State machine ----------------------------------------------------------------------------------

class CollapseStateTest : public ::testing::Test {
protected:
    TScriptedHost Host;
    TCollapseState State{Host, alRight, 89, 16};
    void SetUp() override { Host.Size = 89; }
    void Fire() { State.HoverTimerFired(); }
};

TEST_F(CollapseStateTest, HoverExpandsAndCollapsesAfterTheDelayWhereTheCursorIs)
{
    State.SetDelay(400);
    Host.Inside = false;
    State.MouseLeave();
    EXPECT_EQ(Host.TimerInterval, 400);
    EXPECT_EQ(State.PendingCheck(), hcCollapse);
    EXPECT_TRUE(State.Expanded()) << "nothing before the timer fires";
    Fire();
    EXPECT_FALSE(State.Expanded());
    EXPECT_EQ(Host.Size, 16);
    EXPECT_EQ(Host.TimerInterval, -1) << "a hover timer fires once";

    Host.Inside = true;
    State.MouseEnter();
    Fire();
    EXPECT_TRUE(State.Expanded());
    EXPECT_EQ(Host.Size, 89);
}

TEST_F(CollapseStateTest, EnteringAndLeavingWithinTheDelayChangesNothing)
{
    State.SetExpanded(false);
    Host.Log.clear();
    Host.Inside = true;
    State.MouseEnter();
    Host.Inside = false;
    State.MouseLeave();
    EXPECT_EQ(State.PendingCheck(), hcCollapse) << "leaving replaces the pending check";
    Fire();
    EXPECT_FALSE(State.Expanded());
    EXPECT_TRUE(Host.Log.empty());

    // Leaving the expanded panel and coming back before the check: it stays expanded.
    State.SetExpanded(true);
    State.MouseLeave();
    Host.Inside = true;
    Fire();
    EXPECT_TRUE(State.Expanded());
}

TEST_F(CollapseStateTest, DelayZeroActsAtOnce)
{
    State.SetDelay(0);
    State.MouseLeave();
    EXPECT_FALSE(State.Expanded());
    EXPECT_EQ(Host.TimerInterval, -1);
    State.MouseEnter();
    EXPECT_TRUE(State.Expanded());
}

TEST_F(CollapseStateTest, ChildrenShowBeforeGrowingAndHideAfterShrinking)
{
    State.SetAutoHideControls(true);
    EXPECT_EQ(Host.Log, (std::vector<std::string>{"show"})) << "turning it on applies Expanded";
    Host.Log.clear();
    State.SetExpanded(false);
    State.SetExpanded(true);
    EXPECT_EQ(Host.Log, (std::vector<std::string>{"collapsing?", "size 16", "hide", "expanding?", "show", "size 89"}));
}

TEST_F(CollapseStateTest, RefusedSizingKeepsTheSizeAndTheState)
{
    Host.AllowCollapse = false;
    State.SetExpanded(false);
    EXPECT_EQ(Host.Size, 89);
    EXPECT_TRUE(State.Expanded()) << "Expanded keeps telling the truth about the size";
    Host.AllowCollapse = true;
    State.SetExpanded(false);
    Host.AllowExpand = false;
    State.SetExpanded(true);
    EXPECT_EQ(Host.Size, 16);
    EXPECT_FALSE(State.Expanded());
}

TEST_F(CollapseStateTest, ExpandingAtTheExpandedSizeOnlySetsTheFlag)
{
    State.SetExpanded(false); // size 16
    Host.Size = 89;           // someone gave it its expanded size already
    Host.Log.clear();
    State.SetExpanded(true);
    EXPECT_TRUE(State.Expanded());
    EXPECT_TRUE(Host.Log.empty()) << "no event, no resize";
}

TEST_F(CollapseStateTest, LockedPanelIgnoresHoverAndBarClicksToggleTheLock)
{
    const TRect client = Rect(0, 0, 89, 300);
    State.MouseDown({5, 100}, client); // on the bar
    EXPECT_TRUE(State.Locked());
    Host.Inside = false;
    State.MouseLeave();
    EXPECT_EQ(State.PendingCheck(), hcNone);
    EXPECT_TRUE(State.Expanded());

    State.MouseDown({5, 100}, client);
    EXPECT_FALSE(State.Locked());
    EXPECT_TRUE(State.Expanded()) << "unlocking an expanded panel leaves it expanded";

    State.MouseDown({40, 100}, client); // beside the bar
    EXPECT_FALSE(State.Locked());
}

TEST_F(CollapseStateTest, BarClickCancelsThePendingHoverAndUnlockingExpands)
{
    State.SetExpanded(false);
    const TRect client = Rect(0, 0, 16, 300);
    Host.Inside = true;
    State.MouseEnter();
    State.MouseDown({3, 3}, client);
    EXPECT_TRUE(State.Locked());
    EXPECT_EQ(State.PendingCheck(), hcNone);
    EXPECT_EQ(Host.TimerInterval, -1);
    EXPECT_FALSE(State.Expanded()) << "locked collapsed";
    State.MouseDown({3, 3}, client);
    EXPECT_FALSE(State.Locked());
    EXPECT_TRUE(State.Expanded());
    EXPECT_EQ(Host.Size, 89);
}

TEST_F(CollapseStateTest, FixedAndOtherAlignmentsFreezeThePanel)
{
    State.SetFixed(true);
    State.SetExpanded(false);
    EXPECT_TRUE(State.Expanded());
    State.MouseDown({5, 5}, Rect(0, 0, 89, 300));
    EXPECT_FALSE(State.Locked());

    State.SetFixed(false);
    State.SetAlign(alClient);
    State.MouseDown({5, 5}, Rect(0, 0, 89, 300));
    EXPECT_FALSE(State.Locked()) << "no bar to click";
    State.MouseLeave();
    EXPECT_EQ(State.PendingCheck(), hcNone);
    Host.Log.clear();
    State.SetExpanded(false);
    EXPECT_TRUE(Host.Log.empty()) << "the panel does not collapse";
}

TEST_F(CollapseStateTest, SizesRefuseTooSmallExpandedSizesAndBarGrowthCarriesIt)
{
    State.SetExpandedSize(16);
    EXPECT_EQ(State.ExpandedSize(), 89) << "not greater than the bar";
    State.SetExpandedSize(120);
    EXPECT_EQ(State.ExpandedSize(), 120);
    EXPECT_EQ(Host.Size, 89) << "nothing resizes until the next expansion";

    State.SetExpanded(false);
    State.SetBarSize(20);
    EXPECT_EQ(Host.Size, 20) << "a collapsed panel follows the bar";
    State.SetBarSize(150);
    EXPECT_EQ(State.ExpandedSize(), 150);
}

// ---- Widgets -------------------------------------------------------------------------------------------

TEST(PanelsWidgets, GraphicControlEnterLeaveAndClick)
{
    TXCanvello box;
    std::vector<std::string> log;
    box.OnMouseEnter = [&](QWidget* s) { log.push_back(s == &box ? "enter" : "?"); };
    box.OnMouseLeave = [&](QWidget*) { log.push_back("leave"); };
    box.OnClick = [&](QWidget*) { log.push_back("click"); };
    box.OnMouseDown = [&](QWidget*, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
        log.push_back("down " + std::to_string(int(b)) + " " + std::to_string(x) + "," + std::to_string(y));
    };
    box.show();
    SendLeave(box); // no enter first: reports nothing
    SendEnter(box);
    EXPECT_TRUE(box.MouseInside());
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(10, 20));
    QTest::mouseClick(&box, Qt::RightButton, {}, QPoint(3, 4));
    SendLeave(box);
    SendLeave(box);
    EXPECT_FALSE(box.MouseInside());
    EXPECT_EQ(log, (std::vector<std::string>{"enter", "down 1 10,20", "click", "down 2 3,4", "leave"}));

    // A press dragged out of the control before its release is no click.
    log.clear();
    QTest::mousePress(&box, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_EQ(log, (std::vector<std::string>{"down 1 10,10"}));
}

TEST(PanelsWidgets, PaintBoxFillsItsColourThenCallsOnPaint)
{
    TXCanvello box;
    EXPECT_EQ(box.size(), QSize(105, 105));
    box.SetColor(clRed);
    box.OnPaint = [](QWidget*, QPainter& c) { c.fillRect(QRect(0, 0, 10, 10), c.brush().color().darker()); };
    const QImage image = box.grab().toImage();
    EXPECT_EQ(PixelAt(image, 50, 50), qRgb(255, 0, 0));
    EXPECT_EQ(PixelAt(image, 5, 5), QColor(255, 0, 0).darker().rgb()) << "the handler gets the brush of Color";
}

TEST(PanelsWidgets, PanelDrawsItsBevelsAndKeepsChildrenInside)
{
    QWidget parent;
    parent.resize(200, 100);
    TXPanel panel(&parent);
    panel.setGeometry(0, 0, 60, 40);
    panel.SetBevelOuter(bvLowered);
    panel.SetBorderWidth(2);
    panel.SetBevelInner(bvRaised);
    EXPECT_EQ(panel.contentsRect(), QRect(4, 4, 52, 32));
    const QImage image = panel.grab().toImage();
    EXPECT_EQ(PixelAt(image, 0, 0), Rgb(clBtnShadow)) << "lowered: shadow at the top left";
    EXPECT_EQ(PixelAt(image, 59, 39), Rgb(clBtnHighlight));
    EXPECT_EQ(PixelAt(image, 1, 1), Rgb(clBtnFace)) << "border in the panel colour";
    EXPECT_EQ(PixelAt(image, 3, 3), Rgb(clBtnHighlight)) << "inner raised bevel";
    EXPECT_EQ(PixelAt(image, 56, 36), Rgb(clBtnShadow));
    EXPECT_EQ(PixelAt(image, 30, 20), Rgb(clBtnFace));

    // Aligned to an edge outside any layout, it follows the parent's size.
    parent.show();
    panel.SetAlign(alBottom);
    EXPECT_EQ(panel.geometry(), QRect(0, 60, 200, 40));
    parent.resize(300, 150);
    EXPECT_EQ(panel.geometry(), QRect(0, 110, 300, 40));
}

TEST(PanelsWidgets, ToolBarReportsItsOwnVisibility)
{
    QWidget parent;
    TXToolBar bar(&parent);
    int changes = 0;
    bar.OnVisibleChange = [&](QWidget*) { ++changes; };
    parent.show();
    EXPECT_EQ(changes, 0) << "shown with the parent: its own visibility did not change";
    bar.hide();
    bar.show();
    EXPECT_EQ(changes, 2);
}

TEST(PanelsWidgets, ScrollBoxRunsOnResize)
{
    TXScrollBox box;
    int resizes = 0;
    box.OnResize = [&](QWidget*) { ++resizes; };
    box.SetClearOnPaint(false);
    EXPECT_FALSE(box.viewport()->autoFillBackground());
    box.resize(120, 80);
    box.show();
    box.resize(130, 90);
    EXPECT_GE(resizes, 1);
}

TEST(PanelsWidgets, TabControlTabsTakeTheirWidth)
{
    TXTabControl tabs;
    tabs.Tabs()->addTab("1");
    tabs.Tabs()->addTab("2");
    tabs.SetTabWidth(40);
    EXPECT_EQ(tabs.Tabs()->tabRect(0).width(), 40);
    EXPECT_EQ(tabs.Tabs()->tabRect(1).left(), 40);
}

class CollapsingPanelTest : public ::testing::Test {
protected:
    QWidget Parent;
    TCollapsingPanel* Panel = nullptr;
    QLabel* Child = nullptr;
    void SetUp() override
    {
        Parent.resize(400, 300);
        Panel = new TCollapsingPanel(&Parent);
        Panel->setFixedWidth(89);
        Panel->SetExpandedSize(89);
        Panel->SetAutoHideControls(true);
        Child = new QLabel("colours", Panel);
        Parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Parent));
    }
    int Bar() const { return Panel->CollapsedSize(); }
};

TEST_F(CollapsingPanelTest, StartsRightAlignedExpandedAndOpenOnTheLeft)
{
    EXPECT_EQ(Panel->Align(), alRight);
    EXPECT_TRUE(Panel->Expanded());
    EXPECT_FALSE(Panel->Locked());
    EXPECT_EQ(Panel->Delay(), 200);
    EXPECT_GT(Bar(), 4);
    EXPECT_EQ(Panel->geometry(), QRect(400 - 89, 0, 89, 300));
    EXPECT_EQ(Panel->SizingBarRect(), Rect(0, 0, Bar(), 300));
    EXPECT_EQ(Panel->contentsRect().left(), 1 + Bar()) << "raised bevel and bar";
}

TEST_F(CollapsingPanelTest, HoverDelayCollapsesAndExpandsWithTheChildren)
{
    Panel->SetDelay(30);
    QCursor::setPos(Parent.mapToGlobal(QPoint(10, 10))); // outside the panel
    SendEnter(*Panel);
    SendLeave(*Panel);
    EXPECT_TRUE(Panel->HoverPending());
    EXPECT_TRUE(Panel->Expanded());
    QTRY_VERIFY(!Panel->HoverPending());
    if (Panel->Expanded())
        GTEST_SKIP() << "this platform does not move the cursor";
    EXPECT_EQ(Panel->width(), Bar());
    EXPECT_EQ(Panel->x(), 400 - Bar()) << "stays on the right edge";
    EXPECT_TRUE(Child->isHidden());

    QCursor::setPos(Panel->mapToGlobal(QPoint(2, 50)));
    SendEnter(*Panel);
    QTRY_VERIFY(!Panel->HoverPending());
    EXPECT_TRUE(Panel->Expanded());
    EXPECT_EQ(Panel->width(), 89);
    EXPECT_FALSE(Child->isHidden());
}

TEST_F(CollapsingPanelTest, ClickOnTheBarLocksAndUnlockingExpands)
{
    Panel->SetDelay(0);
    bool allowCollapse = true;
    int collapsing = 0;
    Panel->OnCollapsing = [&](QWidget*, bool& Allow) {
        ++collapsing;
        Allow = allowCollapse;
    };
    SendEnter(*Panel);
    SendLeave(*Panel);
    EXPECT_FALSE(Panel->Expanded());
    EXPECT_EQ(collapsing, 1);

    QTest::mouseClick(Panel, Qt::RightButton, {}, QPoint(2, 100)); // any button
    EXPECT_TRUE(Panel->Locked());
    SendEnter(*Panel);
    EXPECT_FALSE(Panel->Expanded()) << "a locked panel ignores hovering";
    QTest::mouseClick(Panel, Qt::LeftButton, {}, QPoint(2, 100));
    EXPECT_FALSE(Panel->Locked());
    EXPECT_TRUE(Panel->Expanded());
    EXPECT_EQ(Panel->width(), 89);

    allowCollapse = false;
    SendLeave(*Panel);
    EXPECT_TRUE(Panel->Expanded());
    EXPECT_EQ(Panel->width(), 89);
}

TEST_F(CollapsingPanelTest, BarIsDrawnWithItsArrowAndTheOwnersDrawing)
{
    Panel->SetColor(clBtnFace);
    int calls = 0;
    QRect drawn;
    Panel->OnDrawSizingBar = [&](QWidget*, QPainter& c, const QRect& r) {
        ++calls;
        drawn = r;
        c.fillRect(QRect(2, 2, 4, 4), Qt::red);
    };
    QImage image = Panel->grab().toImage();
    EXPECT_GE(calls, 1);
    EXPECT_EQ(drawn, QRect(0, 0, Bar(), 300));
    EXPECT_EQ(PixelAt(image, 3, 3), qRgb(255, 0, 0));
    const QPoint middle = QRect(0, 0, Bar(), 300).center();
    EXPECT_EQ(PixelAt(image, middle.x(), middle.y()), Rgb(clBtnText)) << "the arrow in the bar's middle";
    EXPECT_EQ(PixelAt(image, middle.x(), 20), Rgb(clBtnFace));
    EXPECT_EQ(PixelAt(image, 50, 150), Rgb(clBtnFace));

    Panel->OnDrawSizingBar = nullptr;
    Panel->SetFixed(true);
    image = Panel->grab().toImage();
    EXPECT_EQ(PixelAt(image, middle.x(), middle.y()), Rgb(clBtnFace)) << "a fixed panel shows no arrow";

    Panel->SetFixed(false);
    Panel->SetAlign(alClient);
    image = Panel->grab().toImage();
    EXPECT_EQ(PixelAt(image, middle.x(), middle.y()), Rgb(clBtnFace)) << "no bar without an edge";
}

TEST_F(CollapsingPanelTest, TopAlignmentSizesTheHeight)
{
    Panel->SetAlign(alTop);
    Panel->SetExpandedSize(60);
    Panel->SetDelay(0);
    SendEnter(*Panel);
    SendLeave(*Panel);
    EXPECT_EQ(Panel->geometry(), QRect(0, 0, 400, Bar()));
    EXPECT_EQ(Panel->SizingBarRect(), Rect(0, 0, 400, Bar()));
    SendEnter(*Panel);
    EXPECT_EQ(Panel->geometry(), QRect(0, 0, 400, 60));
    EXPECT_EQ(Panel->contentsRect().bottom() + 1, 60 - 1 - Bar()) << "bar at the bottom";
}
