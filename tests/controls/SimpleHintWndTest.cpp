// Hint window: placement, size, cursor margin, delays and self-freeing.
#include "controls/SimpleHintWnd.h"

#include <QTest>
#include <gtest/gtest.h>

TEST(HintPlacement, StaysInsideTheDesktop)
{
    const QRect desktop(0, 0, 1280, 900);
    const QSize size(100, 20);
    const struct {
        QPoint Cursor;
        QPoint Expected;
    } cases[] = {
        {{200, 300}, {200, 332}},   // below the pointer
        {{1250, 890}, {1180, 880}}, // bottom-right corner: up and left
        {{-40, 10}, {0, 42}},       // left of the desktop
        {{600, 895}, {600, 880}},   // bottom edge only
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlaceHintRect(c.Cursor, 32, size, desktop), QRect(c.Expected, size)) << c.Cursor.x();
    // A desktop that does not start at 0.
    EXPECT_EQ(PlaceHintRect({-10, -10}, 0, size, QRect(-1280, -200, 1280, 900)).topLeft(), QPoint(-100, -10));
}

TEST(HintPlacement, SizeIsTheTextPlusSixAndMarginComesFromTheCursorImage)
{
    const QFont font = QToolTip::font();
    const QSize s = TSimpleHintWindow::HintSize(font, "Resize window to best fit");
    const QFontMetrics fm(font);
    EXPECT_NEAR(s.width(), fm.horizontalAdvance("Resize window to best fit") + 6, 1);
    EXPECT_EQ(s.height(), fm.height() + 6);
    EXPECT_GT(TSimpleHintWindow::HintSize(font, "two\nlines").height(), s.height());

    QImage cursor(16, 24, QImage::Format_ARGB32);
    cursor.fill(0);
    for (int y = 2; y < 19; ++y)
        cursor.setPixel(3, y, 0xFF000000u);
    EXPECT_EQ(VisibleCursorRowsBelow(cursor, 2), 17);
    EXPECT_EQ(VisibleCursorRowsBelow(cursor, 30), 0);
    cursor.fill(0);
    EXPECT_EQ(VisibleCursorRowsBelow(cursor, 0), -1);
}

TEST(HintWindow, ShowsAfterThePauseThenFreesItself)
{
    const int savedPause = HintPause;
    HintPause = 30;
    bool destroyed = false; // outlives the owner, whose end frees a hint still there
    QWidget owner;
    auto* hint = new TSimpleHintWindow(&owner, true, false, "Hint text", clInfoBk, 60);
    hint->OnDestroy = [&](TSimpleHintWindow*) { destroyed = true; };
    EXPECT_TRUE(hint->ShowPending());
    EXPECT_FALSE(hint->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return hint->isVisible(); }, 2000));
    EXPECT_EQ(hint->geometry().size(), TSimpleHintWindow::HintSize(hint->font(), "Hint text"));
    EXPECT_TRUE(hint->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(QTest::qWaitFor([&] { return destroyed; }, 2000)) << "the hide timer frees the hint";
    HintPause = savedPause;
}

TEST(HintWindow, NonPositiveHideDelayStaysUntilTheOwnerFreesIt)
{
    bool destroyed = false; // outlives the owner, whose end frees the hint
    QWidget owner;
    {
        auto* hint = new TSimpleHintWindow(&owner, false, true, "Stays", clInfoBk, 0);
        hint->OnDestroy = [&](TSimpleHintWindow*) { destroyed = true; };
        EXPECT_TRUE(hint->isVisible());
        QTest::qWait(100);
        EXPECT_FALSE(destroyed);
        // A raised hint is light at the top-left edge and dark at the bottom-right one.
        const QImage shot = hint->grab().toImage();
        EXPECT_NE(shot.pixel(0, 0), shot.pixel(shot.width() - 1, shot.height() - 1));
    }
    QTest::qWait(20);
    EXPECT_FALSE(destroyed);
}
