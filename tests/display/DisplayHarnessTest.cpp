// The display tests must really run on X11 with a window manager: on the offscreen platform the faults
// they guard against never show, so a silent fallback would let them pass without testing anything.
#include <QGuiApplication>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

TEST(DisplayHarness, RunsOnXcbWithAWindowManager)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QWidget w;
    w.resize(200, 100);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // A window manager reparents the window into a decorated frame: the frame is larger than the client.
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.frameGeometry().height() > w.geometry().height(); }, 3000));
}
