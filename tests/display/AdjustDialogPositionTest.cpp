// The adjustment dialogs reopen where they were closed. With a window manager the frame and the
// client area differ by the title bar and border: storing one and restoring the other would move the
// dialog by that much at every opening.
#include "FakePicHost.h"
#include "dialogs/AdjustDlgs.h"
#include "dialogs/RotateDlg.h"
#include "globals/CVGlobal.h"
#include "picwin/CVPicChildWn.h"
#include "platform/Registry.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// Shows the dialog, waits until the window manager has framed it, answers its client geometry and
// closes it with Cancel.
QRect OpenAndCancel(TBaseAdjDialog& D)
{
    D.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&D, 10000));
    // The window manager frames the window a moment after it is shown, then moves its client area.
    (void)QTest::qWaitFor([&] { return D.frameGeometry().height() > D.geometry().height(); }, 3000);
    QTest::qWait(200);
    const QRect shown = D.geometry();
    D.CancelButton->click();
    return shown;
}

} // namespace

TEST(AdjustDialogPosition, TenOpeningsLeaveTheDialogWhereItWas)
{
    InitCVGlobal();
    TFakeHost host;
    QWidget owner;
    owner.resize(900, 700);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner, 10000));
    auto win = std::make_unique<TCVNewPicChildWin>(nullptr, &host, "Pic", 40, 30, clWhite);
    const std::function<std::unique_ptr<TBaseAdjDialog>()> Kinds[] = {
        [&] { return std::make_unique<TAdjGammaDialog>(&owner, win.get()); },
        [&] { return std::make_unique<TRotateDialog>(&owner, win.get(), clWhite); },
    };
    for (const auto& Make : Kinds) {
        {
            TRegistry r;
            r.DeleteKey(SDialogsKey);
        }
        QRect first;
        for (int open = 0; open < 10; ++open) {
            auto d = Make();
            if (open == 1) {
                // Placed by the user somewhere away from the screen's corner.
                d->move(300, 240);
            }
            const QRect shown = OpenAndCancel(*d);
            if (open <= 1)
                first = shown;
            else
                EXPECT_EQ(shown.topLeft(), first.topLeft()) << "opening " << open;
        }
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(SDialogsKey, false));
        EXPECT_EQ(r.ReadInteger("WinLeft", -1), first.left());
        EXPECT_EQ(r.ReadInteger("WinTop", -1), first.top());
    }
}
