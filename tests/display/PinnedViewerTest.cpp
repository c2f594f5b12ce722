// A pinned viewer on a real display with a window manager: the frame's first move after pinning a
// viewer that was never moved by hand takes the viewer along from where it is.
#include "shell/CVMain.h"
#include "shell/Viewer.h"

#include <QAction>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "../shell/FrameFixture.h"

namespace {

class PinnedViewer : public FrameFixture {};

TEST_F(PinnedViewer, PinnedWithoutAMoveFollowsTheFrameFromWhereItIs)
{
    StartFrame(QSize(700, 500));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Main.get()));
    Main->move(80, 60);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Main->pos() == QPoint(80, 60); }, 3000));
    QAction* show = Main->Action("ActViewerStartStop");
    ASSERT_NE(show, nullptr);
    show->trigger();
    TViewerForm* v = Main->Viewer();
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(v));
    ASSERT_TRUE(v->isFloating());
    // Let the window manager place and frame it.
    QTest::qWait(300);
    QTest::mouseClick(v->PinSB(), Qt::LeftButton);
    ASSERT_TRUE(v->Pinned());
    const QPoint viewerAt = v->frameGeometry().topLeft();
    const QPoint mainAt = Main->geometry().topLeft();
    const QPoint delta(60, 40);
    Main->move(Main->pos() + delta);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Main->geometry().topLeft() == mainAt + delta; }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return v->frameGeometry().topLeft() == viewerAt + delta; }, 3000))
        << "viewer at " << v->frameGeometry().x() << "," << v->frameGeometry().y() << ", expected "
        << (viewerAt + delta).x() << "," << (viewerAt + delta).y();
}

} // namespace
