// Scroll bars that report deltas: the range, page and clamping arithmetic on a simulated window, and
// the Qt scroll bars it drives.
#include "picwin/IdleScrolling.h"

#include <QTest>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// A window of W x H whose bars take Bar pixels each when shown.
class TFakeScroller : public TIdleScrollingCore {
public:
    int W = 200, H = 100, Bar = 16;
    bool Plain = false;
    std::array<bool, 2> Shown{false, false};
    std::array<int, 2> Pos{0, 0}, MaxPos{0, 0}, Page{0, 0};
    std::vector<std::pair<int, int>> Deltas;
    int Scrolls = 0;

    int ClientWidth() const override { return W - (Shown[sbVertical] ? Bar : 0); }
    int ClientHeight() const override { return H - (Shown[sbHorizontal] ? Bar : 0); }
    bool HasPlainBorder() const override { return Plain; }
    bool BarShown(TScrollBarKind K) const override { return Shown[K]; }
    int BarThickness(TScrollBarKind) const override { return Bar; }
    void ApplyBar(TScrollBarKind K, bool S, int M, int P, int Position) override
    {
        Shown[K] = S;
        MaxPos[K] = M;
        Page[K] = P;
        Pos[K] = Position;
    }
    int BarPosition(TScrollBarKind K) const override { return Pos[K]; }
    void SetBarPosition(TScrollBarKind K, int P) override { Pos[K] = P; }
    void DoScrolling(int DX, int DY) override { Deltas.push_back({DX, DY}); }
    void DoScroll() override { ++Scrolls; }
};

using Deltas = std::vector<std::pair<int, int>>;

} // namespace

TEST(IdleScrollBar, PositionIsClampedAndReportsTheActualChange)
{
    TFakeScroller s;
    s.HorzScrollBar().SetRange(300); // client 200: positions 0..100
    EXPECT_EQ(s.HorzScrollBar().CalcRange(), 100);
    EXPECT_TRUE(s.Shown[sbHorizontal]);
    s.HorzScrollBar().SetPosition(150);
    EXPECT_EQ(s.HorzScrollBar().Position(), 100);
    EXPECT_EQ(s.Pos[sbHorizontal], 100) << "the shown bar follows";
    EXPECT_EQ(s.Deltas, (Deltas{{-100, 0}}));
    EXPECT_EQ(s.Scrolls, 1);
    s.HorzScrollBar().SetPosition(100);
    EXPECT_EQ(s.Deltas.size(), 1u) << "no change, no report";
    s.HorzScrollBar().SetPosition(-5);
    EXPECT_EQ(s.HorzScrollBar().Position(), 0);
    EXPECT_EQ(s.Deltas.back(), std::make_pair(100, 0));
}

TEST(IdleScrollBar, ScrollCodes)
{
    const struct {
        TScrollCode Code;
        int Pos;
        bool Tracking;
        int Expected;
    } cases[] = {
        {scLineUp, 0, false, 45},    {scLineDown, 0, false, 55},  {scPageUp, 0, false, 30},
        {scPageDown, 0, false, 70},  {scPosition, 80, false, 80}, {scTrack, 80, false, 50},
        {scTrack, 80, true, 80},     {scTop, 0, false, 0},        {scBottom, 0, false, 220},
        {scEndScroll, 0, false, 50}, {scPosition, 999, false, 220},
    };
    for (const auto& c : cases) {
        TFakeScroller s;
        TIdleControlScrollBar& v = s.VertScrollBar();
        v.SetRange(320); // client 100: positions 0..220
        v.SetPosition(50);
        v.SetTracking(c.Tracking);
        s.Deltas.clear();
        v.ScrollMessage(c.Code, c.Pos);
        EXPECT_EQ(v.Position(), c.Expected) << "code " << c.Code;
        if (c.Expected != 50) {
            EXPECT_EQ(s.Deltas, (Deltas{{0, 50 - c.Expected}})) << "one change per step, code " << c.Code;
        }
    }
    // A line step of 5 at position 2 stops at 0 with a delta of 2.
    TFakeScroller s;
    s.HorzScrollBar().SetRange(300);
    s.HorzScrollBar().SetPosition(2);
    s.Deltas.clear();
    s.HorzScrollBar().ScrollMessage(scLineUp, 0);
    EXPECT_EQ(s.HorzScrollBar().Position(), 0);
    EXPECT_EQ(s.Deltas, (Deltas{{2, 0}}));
}

TEST(IdleScrollBar, RangesThatFitDoNotScrollAndHidingZeroes)
{
    TFakeScroller s;
    TIdleControlScrollBar& h = s.HorzScrollBar();
    h.SetRange(-10);
    EXPECT_EQ(h.Range(), 0);
    h.SetRange(200); // exactly the client width
    EXPECT_EQ(h.CalcRange(), 0);
    EXPECT_FALSE(s.Shown[sbHorizontal]);
    h.SetPosition(30);
    EXPECT_EQ(h.Position(), 0);
    EXPECT_TRUE(s.Deltas.empty());

    h.SetRange(500);
    h.SetPosition(120);
    s.Deltas.clear();
    s.Scrolls = 0;
    h.SetVisible(false);
    EXPECT_EQ(h.Position(), 0);
    EXPECT_EQ(h.Range(), 0);
    EXPECT_FALSE(s.Shown[sbHorizontal]);
    EXPECT_TRUE(s.Deltas.empty()) << "hiding reports no scroll";
    h.SetRange(500);
    EXPECT_EQ(h.CalcRange(), 0) << "a hidden bar cannot move";
}

TEST(IdleScrollBar, EachBarMakesRoomForTheOther)
{
    const struct {
        int HRange, VRange;
        bool Plain;
        bool HShown, VShown;
        int HCalc, VCalc;
    } cases[] = {
        // The vertical bar is needed; the horizontal one then appears only because the vertical takes 16.
        {190, 300, false, true, true, 190 - 184, 300 - 84},
        // The horizontal bar is needed and pushes the vertical range over the shorter client.
        {300, 90, false, true, true, 300 - 184, 90 - 84},
        // Neither is needed.
        {200, 100, false, false, false, 0, 0},
        // Only the vertical bar; the horizontal range fits beside it.
        {180, 300, false, false, true, 0, 200},
    };
    for (const auto& c : cases) {
        TFakeScroller s;
        s.Plain = c.Plain;
        s.HorzScrollBar().SetRange(c.HRange);
        s.VertScrollBar().SetRange(c.VRange);
        s.UpdateScrollBars();
        EXPECT_EQ(s.Shown[sbHorizontal], c.HShown) << c.HRange << "," << c.VRange;
        EXPECT_EQ(s.Shown[sbVertical], c.VShown) << c.HRange << "," << c.VRange;
        EXPECT_EQ(s.HorzScrollBar().CalcRange(), c.HCalc) << c.HRange << "," << c.VRange;
        EXPECT_EQ(s.VertScrollBar().CalcRange(), c.VCalc) << c.HRange << "," << c.VRange;
        EXPECT_EQ(s.Page[sbVertical], s.ClientHeight()) << "the page is the visible size";
    }
    // A plain border: an assumed bar overlaps it by one pixel.
    TFakeScroller s;
    s.Plain = true;
    EXPECT_EQ(s.HorzScrollBar().ControlSize(false, true), 200 + 1 - 16);
    s.Shown[sbVertical] = true;
    EXPECT_EQ(s.HorzScrollBar().ControlSize(false, false), 184 + 16 - 1);
    EXPECT_EQ(s.HorzScrollBar().ControlSize(true, false), 184);
}

TEST(IdleScrollBar, ScrollByAssignAndScrollInView)
{
    TFakeScroller s;
    TIdleControlScrollBar& h = s.HorzScrollBar();
    h.SetRange(300);
    h.ScrollBy(70);
    EXPECT_EQ(h.Position(), 70);
    h.ScrollBy(1000);
    EXPECT_EQ(h.Position(), 100);
    h.ScrollBy(-1000);
    EXPECT_EQ(h.Position(), 0);

    TFakeScroller other;
    other.HorzScrollBar().SetIncrement(7);
    other.HorzScrollBar().SetPageIncrement(70);
    other.HorzScrollBar().SetRange(400);
    other.HorzScrollBar().SetPosition(150);
    h.Assign(other.HorzScrollBar());
    EXPECT_EQ(h.Range(), 400);
    EXPECT_EQ(h.Position(), 150);
    EXPECT_EQ(h.Increment(), 7);
    EXPECT_EQ(h.PageIncrement(), 70);

    s.VertScrollBar().SetRange(400);
    s.VertScrollBar().SetMargin(4);
    s.UpdateScrollBars();
    h.SetPosition(0);
    const int cw = s.ClientWidth(), ch = s.ClientHeight();
    s.ScrollInView(TRect{cw + 10, -20, cw + 30, -10}); // right of and above the view
    EXPECT_EQ(h.Position(), 30);
    EXPECT_EQ(s.VertScrollBar().Position(), 0);
    s.ScrollInView(TRect{0, ch + 50, 10, ch + 60});
    EXPECT_EQ(s.VertScrollBar().Position(), 64);
}

TEST(IdleScrollBox, QtBarsFollowTheArithmeticAndStepByOurIncrements)
{
    TIdleScrollBox box;
    box.resize(200, 120);
    std::vector<std::pair<int, int>> deltas;
    box.OnScrolling = [&](TIdleScrollingCore*, int dx, int dy) { deltas.push_back({dx, dy}); };
    box.HorzScrollBar().SetRange(600);
    box.VertScrollBar().SetRange(50);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QScrollBar* h = box.QtScrollBar(sbHorizontal);
    EXPECT_TRUE(h->isVisible());
    EXPECT_FALSE(box.QtScrollBar(sbVertical)->isVisible());
    EXPECT_EQ(h->maximum(), box.HorzScrollBar().CalcRange());
    EXPECT_EQ(box.ClientRect().width(), box.contentsRect().width());
    EXPECT_EQ(box.ClientRect().height(), box.contentsRect().height() - h->height());

    h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(box.HorzScrollBar().Position(), 5);
    h->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(box.HorzScrollBar().Position(), 25) << "our page increment, not Qt's page";
    EXPECT_EQ(h->value(), 25);
    h->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(box.HorzScrollBar().Position(), box.HorzScrollBar().CalcRange());
    h->setValue(40); // a change that comes by no action
    EXPECT_EQ(box.HorzScrollBar().Position(), 40);
    EXPECT_EQ(deltas.front(), std::make_pair(-5, 0));
    EXPECT_EQ(deltas.back().first, box.HorzScrollBar().CalcRange() - 40);

    box.HorzScrollBar().SetVisible(false);
    EXPECT_FALSE(h->isVisible());
    EXPECT_EQ(box.ClientRect(), box.contentsRect());
}
