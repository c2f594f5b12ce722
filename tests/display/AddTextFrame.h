#pragma once
// The main window shown on the display with one picture open, ready for the Add Text tool.
#include "shell/FrameFixture.h"

#include "shell/CVMain.h"

#include <QAction>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

class AddTextFrame : public FrameFixture {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(FrameFixture::SetUp());
        StartFrame(QSize(900, 600));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Main.get()));
        ASSERT_TRUE(Main->NewPicture(200, 100, clWhite));
    }
    // The button of a tool on the tools bar.
    QToolButton* ToolButton(const char* ActionName) const
    {
        auto* Bar = Main->findChild<QToolBar*>("ToolsToolBar");
        return Bar ? qobject_cast<QToolButton*>(Bar->widgetForAction(Main->Action(ActionName))) : nullptr;
    }
};
