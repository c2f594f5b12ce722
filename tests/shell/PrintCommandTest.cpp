// The frame's Print command: enabled for a picture window only, and what it prints is what Save
// writes (a floating selection composed in), read back from a PDF as pixels.
#include "shell/CVMain.h"

#include "FrameFixture.h"
#include "PdfPages.h"

#include "dialogs/PrintPreviewDlg.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

class PrintCommand : public FrameFixture {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(FrameFixture::SetUp());
        StartFrame(QSize(1000, 700));
        // Letter at 100 dpi, printable (25, 50) - (775, 1050), written to a PDF file.
        SetUpPdfPrinter(ProgramPrinter(), Dir.filePath("page.pdf"), 100, QPageSize::Letter, QMarginsF(18, 36, 54, 36));
    }
};

TEST_F(PrintCommand, PrintsThePictureWithItsFloatingSelectionComposed)
{
    if (!HavePdfRasteriser())
        GTEST_SKIP() << "pdftoppm is not installed";
    EXPECT_FALSE(Main->Action("ActPrintPic")->isEnabled());
    ASSERT_TRUE(Main->NewPicture(40, 20, 0x00FF00)); // green
    TCVPicChildWin* pic = Main->ActivePicChild();
    ASSERT_NE(pic, nullptr);
    EXPECT_TRUE(Main->Action("ActPrintPic")->isEnabled());
    // A red square floats over the top left quarter; the picture underneath stays green.
    TBitmap square(10, 10, pf24bit);
    square.Canvas().Brush.Color = 0x0000FF;
    square.Canvas().FillRect(TRect{0, 0, 10, 10});
    pic->NewBitmapSelection(&square, TPoint{5, 5}, -1);
    ASSERT_NE(pic->Selection(), nullptr);
    ASSERT_EQ(pic->Picture().GetPixel(10, 10), TColor(0x00FF00));

    UI.OnDialog = [](QDialog& D) {
        if (auto* preview = dynamic_cast<TPrintPreviewDialog*>(&D)) {
            preview->OKButtonClick();
            return preview->result() == QDialog::Accepted;
        }
        return dynamic_cast<QPrintDialog*>(&D) != nullptr;
    };
    Main->Action("ActPrintPic")->trigger();
    ASSERT_FALSE(UI.Dialogs.empty());
    EXPECT_EQ(UI.Dialogs[0], "Print Picture");
    EXPECT_TRUE(UI.Messages.empty());
    // Printing changes nothing in the window.
    EXPECT_NE(pic->Selection(), nullptr);
    EXPECT_EQ(pic->Picture().GetPixel(10, 10), TColor(0x00FF00));

    const QImage page = RasterisePdf(Dir.filePath("page.pdf"), 100);
    ASSERT_FALSE(page.isNull());
    // Fitted to the printable width: 750 x 375 at (25, 50), 18.75 device pixels a picture pixel.
    auto at = [&](double X, double Y) { return page.pixelColor(int(25 + X * 18.75), int(50 + Y * 18.75)); };
    EXPECT_EQ(at(10.5, 10.5), QColor(255, 0, 0)); // the selection
    EXPECT_EQ(at(2.5, 2.5), QColor(0, 255, 0));
    EXPECT_EQ(at(30.5, 10.5), QColor(0, 255, 0));
    EXPECT_EQ(at(14.5, 17.5), QColor(0, 255, 0)); // below the square
}

} // namespace
