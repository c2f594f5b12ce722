// A picture given on the command line gets the window File > Open gives the same picture: one its
// picture fits without scroll bars when the frame's area has room for it, on a real display where the
// frame is placed and decorated by the window manager.
#include "shell/FrameFixture.h"

#include "picwin/CVPicChildWn.h"
#include "picwin/PictureScrollBx.h"
#include "shell/CVMain.h"
#include "shell/StartUp.h"

#include <QMdiArea>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class StartUpFit : public FrameFixture {};

TEST_F(StartUpFit, ACommandLinePictureGetsTheWindowOpenGives)
{
    const struct {
        int W, H;
    } Sizes[] = {{300, 200}, {120, 400}, {500, 60}};
    for (const auto& Size : Sizes) {
        SCOPED_TRACE(std::to_string(Size.W) + " x " + std::to_string(Size.H));
        const std::string File = Picture("start.bmp", Size.W, Size.H);
        AppParams = TAppParams();
        AppParams.AddFile(File);
        AppParams.Include(aoFiles);
        StartFrame(QSize(1000, 760));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Main.get()));
        QTest::qWait(200);
        TCVPicChildWin* First = Main->ActivePicChild();
        ASSERT_NE(First, nullptr);
        const QRect AtStart = First->geometry();
        const bool Scrolls = First->PictureScrollBox().VertScrollBar().NeedsShowing() ||
                             First->PictureScrollBox().HorzScrollBar().NeedsShowing();
        EXPECT_FALSE(Scrolls);
        First->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Main->MdiArea()->subWindowList().isEmpty(); }, 3000));

        ASSERT_TRUE(Main->OpenPictureFile(File));
        TCVPicChildWin* Opened = Main->ActivePicChild();
        ASSERT_NE(Opened, nullptr);
        EXPECT_EQ(Opened->size(), AtStart.size());
        Main.reset();
    }
}

} // namespace
