// The Add Text dialog opens at one size, and where it was last closed: the window manager frames it
// and the user drags it by its frame, so the place it keeps is the client area's.
#include "AddTextFrame.h"

#include <QDialog>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace {

class AddTextPlace : public AddTextFrame {
protected:
    // Picks the Add Text tool as a painter does (from another tool), which runs the dialog; While
    // runs once the window manager has framed it, then the dialog is cancelled.
    void OpenAddText(const std::function<void(QDialog&)>& While)
    {
        UI.OnDialog = [&](QDialog& D) {
            QTimer::singleShot(0, &D, [&] {
                EXPECT_TRUE(QTest::qWaitForWindowExposed(&D, 5000));
                (void)QTest::qWaitFor([&] { return D.frameGeometry().height() > D.geometry().height(); }, 3000);
                QTest::qWait(200);
                While(D);
                D.reject();
            });
            return D.exec() == QDialog::Accepted;
        };
        for (const char* Tool : {"ActPen", "ActAddText"}) {
            QToolButton* Button = ToolButton(Tool);
            ASSERT_NE(Button, nullptr);
            QTest::mouseClick(Button, Qt::LeftButton);
        }
        ASSERT_FALSE(UI.Dialogs.empty());
        EXPECT_EQ(UI.Dialogs.back(), "Add Text");
    }
};

} // namespace

TEST_F(AddTextPlace, OpensAtOneSizeWhereItWasLastClosed)
{
    std::vector<QRect> Shown;
    const auto Record = [&](QDialog& D) { Shown.push_back(D.geometry()); };
    OpenAddText(Record);
    // The second time the user drags it away before closing it.
    QRect Dragged;
    OpenAddText([&](QDialog& D) {
        Record(D);
        QWindow* Window = D.windowHandle();
        ASSERT_NE(Window, nullptr);
        const QRect Before = D.geometry();
        Window->setPosition(Window->position() + QPoint(57, 33));
        EXPECT_TRUE(QTest::qWaitFor([&] { return D.geometry().topLeft() != Before.topLeft(); }, 3000));
        Dragged = D.geometry();
    });
    OpenAddText(Record);
    OpenAddText(Record);
    ASSERT_EQ(Shown.size(), 4u);
    const auto Size = [](const QRect& R) { return std::pair(R.width(), R.height()); };
    const auto Place = [](const QRect& R) { return std::pair(R.left(), R.top()); };
    for (size_t I = 1; I < Shown.size(); ++I)
        EXPECT_EQ(Size(Shown[I]), Size(Shown[0])) << "opening " << I + 1;
    EXPECT_EQ(Place(Shown[1]), Place(Shown[0])) << "not where it was closed";
    EXPECT_EQ(Place(Shown[2]), Place(Dragged)) << "not where it was dragged to";
    EXPECT_EQ(Place(Shown[3]), Place(Dragged));
}
