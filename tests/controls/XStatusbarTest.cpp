// Status bar: progress-bar options, panel styles, layout and drawing.
#include "controls/XStatusbar.h"
#include "platform/SysUtils.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

TEST(StatusPanelProgressOptions, SettersKeepMinBelowMaxAndClampPosition)
{
    TXStatusPanelProgressBarOptions o(nullptr);
    EXPECT_EQ(o.Min(), 0);
    EXPECT_EQ(o.Max(), 10);
    o.SetMin(10); // not below Max
    EXPECT_EQ(o.Min(), 0);
    o.SetMax(0); // not above Min
    EXPECT_EQ(o.Max(), 10);
    const struct {
        int Set, Expected;
    } positions[] = {{5, 5}, {11, 10}, {-3, 0}, {10, 10}};
    for (const auto& c : positions) {
        o.SetPosition(c.Set);
        EXPECT_EQ(o.Position(), c.Expected) << c.Set;
    }
    // Moving the range past the position takes the position along.
    o.SetPosition(8);
    o.SetMax(5);
    EXPECT_EQ(o.Position(), 5);
}

TEST(StatusPanelProgressOptions, AssignSetsMinBeforeMax)
{
    TXStatusPanelProgressBarOptions source(nullptr), target(nullptr);
    source.SetMax(100);
    source.SetMin(50);
    source.SetPosition(70);
    source.SetSmooth(true);
    target.Assign(source);
    EXPECT_EQ(target.Min(), 0) << "Min 50 is refused while Max is still 10";
    EXPECT_EQ(target.Max(), 100);
    EXPECT_EQ(target.Position(), 70);
    EXPECT_TRUE(target.Smooth());
}

TEST(StatusPanel, ProgressStyleCreatesShowsAndStepsTheBar)
{
    TXStatusBar bar;
    bar.resize(400, 24);
    TXStatusPanel* text = bar.AddPanel();
    TXStatusPanel* panel = bar.AddPanel();
    panel->SetWidth(200);
    EXPECT_EQ(panel->ProgressBar(), nullptr);
    panel->StepIt(); // text style: nothing
    EXPECT_EQ(panel->ProgressBarOptions().Position(), 0);

    panel->ProgressBarOptions().SetMax(3);
    panel->SetStyle(xsProgressBar);
    ASSERT_NE(panel->ProgressBar(), nullptr);
    EXPECT_FALSE(panel->ProgressBar()->isHidden());
    EXPECT_EQ(panel->ProgressBar()->maximum(), 3);
    EXPECT_EQ(panel->ProgressBar()->geometry(), bar.PanelRect(1));
    for (int i = 0; i < 5; ++i)
        panel->StepIt();
    EXPECT_EQ(panel->ProgressBarOptions().Position(), 3) << "stops at Max";
    EXPECT_EQ(panel->ProgressBar()->value(), 3);

    TXStatusPanelProgressBar* created = panel->ProgressBar();
    panel->SetStyle(xsText);
    EXPECT_EQ(panel->ProgressBar(), created) << "kept for the next use";
    EXPECT_TRUE(created->isHidden());
    EXPECT_EQ(text->ProgressBar(), nullptr);
    EXPECT_THROW(bar.Panels(2), EListError);
}

TEST(StatusPanelLayout, PanelsLieSideBySideAndTheLastReachesTheEnd)
{
    const auto rects = StatusPanelRects({100, 50, 30}, QSize(300, 22), 16);
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_EQ(rects[0], QRect(1, 3, 96, 18));
    EXPECT_EQ(rects[1], QRect(101, 3, 46, 18));
    EXPECT_EQ(rects[2].left(), 151);
    EXPECT_EQ(rects[2].right() + 1, 300 - 16 - 2 - 1);
    // A bar narrower than its panels keeps each panel's width.
    EXPECT_EQ(StatusPanelRects({100}, QSize(40, 22), 0)[0].width(), 96);
    EXPECT_TRUE(StatusPanelRects({0, 1}, QSize(0, 22), 0)[0].isEmpty());
}

TEST(StatusBarDrawing, TextImageAndEmptyImagePanels)
{
    TXStatusBar bar;
    bar.setSizeGripEnabled(false);
    bar.resize(300, 24);
    TXStatusPanel* images = bar.AddPanel();
    images->SetWidth(60);
    TXStatusPanel* text = bar.AddPanel();
    text->SetText("Hello");
    images->SetStyle(xsImages);
    const QRect imageRect = bar.PanelRect(0);
    const QRect textRect = bar.PanelRect(1);

    // Empty image list: nothing but the background inside the panel.
    QImage shot = bar.grab().toImage();
    const QRgb background = shot.pixel(imageRect.center());
    for (int y = imageRect.top(); y <= imageRect.bottom(); ++y)
        for (int x = imageRect.left(); x <= imageRect.right(); ++x)
            ASSERT_EQ(shot.pixel(x, y), background) << x << "," << y;
    bool textInk = false;
    for (int y = textRect.top(); y <= textRect.bottom() && !textInk; ++y)
        for (int x = textRect.left(); x <= textRect.right() && !textInk; ++x)
            textInk = shot.pixel(x, y) != shot.pixel(textRect.right(), textRect.top());
    EXPECT_TRUE(textInk) << "the text panel shows its text";

    QPixmap red(8, 8);
    red.fill(Qt::red);
    int drawn = 0;
    bar.OnDrawPanel = [&](TXStatusBar*, TXStatusPanel* p, QPainter&, const QRect& r) {
        EXPECT_EQ(p, images);
        EXPECT_EQ(r, imageRect);
        ++drawn;
    };
    bar.SetImages({red});
    shot = bar.grab().toImage();
    EXPECT_EQ(shot.pixel(imageRect.topLeft()), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(imageRect.topLeft() + QPoint(7, 7)), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(imageRect.topLeft() + QPoint(8, 8)), background);
    EXPECT_EQ(drawn, 1) << "only the owner-drawn panel";
}
