// A picture narrower than its caption, given on the command line: its window is made wide enough for
// the whole caption to show beside the caption button, on a real display.
#include "shell/FrameFixture.h"

#include "CaptionPixels.h"

#include "globals/CVGlobal.h"
#include "picwin/CVPicChildWn.h"
#include "shell/CVMain.h"
#include "shell/StartUp.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

class NarrowPictureCaption : public FrameFixture {};

TEST_F(NarrowPictureCaption, TheWholeCaptionShowsBesideTheButton)
{
    AppParams.AddFile(Picture("pic1.bmp", 200, 150));
    AppParams.Include(aoFiles);
    StartFrame(QSize(1000, 760));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Main.get()));
    QTest::qWait(200);
    TCVPicChildWin* Pic = Main->ActivePicChild();
    ASSERT_NE(Pic, nullptr);
    ASSERT_EQ(Pic->windowTitle(), "pic1.bmp [1:1]");
    const int W = Pic->width();
    const TCaptionPixels Shown = CaptionAt(*Pic, W);
    Pic->PaintExtraBtn();
    const int ButtonLeft = Pic->ExtraBtnRect().Left;
    // Wider by an even number of pixels, so that a centred caption moves by whole pixels.
    const TCaptionPixels Whole = CaptionAt(*Pic, W + 1000);
    ASSERT_FALSE(Whole.Text.isNull());
    EXPECT_EQ(Shown.Text, Whole.Text) << "the caption is cut or shortened";
    EXPECT_LT(Shown.Right, ButtonLeft) << "the caption runs under the button";
}

} // namespace
