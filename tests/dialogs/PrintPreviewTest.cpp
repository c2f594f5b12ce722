// Print placement: offsets and sizes kept inside the printable area, fit, centring and kept aspect,
// inch and millimetre conversion, refused metrics; and a print to PDF read back as pixels.
#include "dialogs/PrintPreviewDlg.h"

#include "PdfPages.h"

#include <QDir>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// 8.5 x 11 inches at 100 dpi with margins of 20 / 40 left / right and 30 / 40 top / bottom.
TPrintLayout Letter(double Aspect, bool Keep, bool Centre)
{
    TPrintLayout L;
    EXPECT_TRUE(L.SetMetrics(850, 1100, TRect{20, 30, 810, 1060}, 100, 100));
    L.PictureAspect = Aspect;
    L.KeepAspect = Keep;
    L.Centre = Centre;
    return L;
}

void ExpectInsidePrintable(const TPrintLayout& L)
{
    EXPECT_GE(L.XOffset, L.PrintableRect.Left);
    EXPECT_GE(L.YOffset, L.PrintableRect.Top);
    EXPECT_LE(L.XOffset + L.PrintWidth, L.PrintableRect.Right);
    EXPECT_LE(L.YOffset + L.PrintHeight, L.PrintableRect.Bottom);
}

struct FitCase {
    const char* Name;
    double Aspect;
    bool Keep;
    bool Centre;
    int X, Y, W, H;
};

TEST(PrintLayout, FitTable)
{
    const FitCase Cases[] = {
        {"landscape picture fills the printable width", 2.0, true, false, 20, 30, 790, 395},
        {"portrait picture fills the printable height", 0.5, true, false, 20, 30, 515, 1030},
        // The paper (0.773) is wider than this picture, the printable area (0.767) narrower: the side
        // is chosen from the printable area, so the width stays inside it.
        {"aspect between paper and printable area", 0.77, true, false, 20, 30, 790, 1026},
        {"no aspect fills the printable area", 2.0, false, false, 20, 30, 790, 1030},
        // Centred on the paper: x = 30 would end at 820 > 810, so it is pulled back to 20.
        {"centred landscape", 2.0, true, true, 20, 352, 790, 395},
        // y = 35 would end at 1065 > 1060: pulled back to 30.
        {"centred portrait", 0.5, true, true, 167, 30, 515, 1030},
        // The derived side would round to 0: it keeps one device pixel.
        {"a thread-thin picture", 0.0002, true, false, 20, 30, 1, 1030},
        {"a thread-flat picture", 5000.0, true, false, 20, 30, 790, 1},
    };
    for (const FitCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TPrintLayout L = Letter(C.Aspect, C.Keep, C.Centre);
        L.Fit();
        EXPECT_EQ(L.XOffset, C.X);
        EXPECT_EQ(L.YOffset, C.Y);
        EXPECT_EQ(L.PrintWidth, C.W);
        EXPECT_EQ(L.PrintHeight, C.H);
        ExpectInsidePrintable(L);
    }
}

TEST(PrintLayout, TypedSizesAndOffsetsStayInsidePrintableArea)
{
    TPrintLayout L = Letter(2.0, false, false);
    L.Fit();
    L.SetPrintWidth(200);
    L.SetPrintHeight(100);
    L.SetXOffset(100);
    L.SetYOffset(100);
    EXPECT_FALSE(L.SetPrintWidth(750)); // 100 + 750 > 810
    EXPECT_EQ(L.PrintWidth, 200);
    EXPECT_TRUE(L.SetPrintWidth(710)); // ends exactly on the edge
    EXPECT_EQ(L.PrintWidth, 710);
    EXPECT_FALSE(L.SetPrintHeight(0));
    EXPECT_FALSE(L.SetPrintWidth(-5));
    EXPECT_EQ(L.PrintWidth, 710);

    L.SetXOffset(5);
    EXPECT_EQ(L.XOffset, 20);
    L.SetXOffset(500); // 500 + 710 > 810: pulled back so the right edge is the printable edge
    EXPECT_EQ(L.XOffset, 100);
    L.SetYOffset(2000);
    EXPECT_EQ(L.YOffset, 1060 - 100);
    ExpectInsidePrintable(L);

    // With the aspect kept, a width whose derived height would run past the bottom is refused.
    TPrintLayout A = Letter(0.5, true, false);
    A.Fit();
    A.SetPrintHeight(200);
    A.SetYOffset(900);
    ASSERT_EQ(A.YOffset, 860);
    EXPECT_TRUE(A.SetPrintWidth(100));  // height 200 from y 860 ends on the edge
    EXPECT_FALSE(A.SetPrintWidth(200)); // height 400 would end past 1060
    EXPECT_EQ(A.PrintWidth, 100);
    EXPECT_EQ(A.PrintHeight, 200);
    ExpectInsidePrintable(A);
}

TEST(PrintLayout, KeepAspectDerivesTheOtherSide)
{
    TPrintLayout L = Letter(1.5, false, false);
    L.Fit();
    ASSERT_EQ(L.PrintHeight, 1030);
    L.KeepAspect = true;
    L.ApplyAspect(false); // 790 wide keeps, height becomes 527
    EXPECT_EQ(L.PrintWidth, 790);
    EXPECT_EQ(L.PrintHeight, 527);
    EXPECT_TRUE(L.SetPrintHeight(300));
    EXPECT_EQ(L.PrintWidth, 450);
    ExpectInsidePrintable(L);
}

TEST(PrintLayout, UnitConversionTable)
{
    TPrintLayout L;
    ASSERT_TRUE(L.SetMetrics(850, 2200, TRect{0, 0, 850, 2200}, 100, 200));
    struct Case {
        double Value;
        bool Vertical;
        int Units;
        int Pixels;
    };
    const Case Cases[] = {
        {1.5, false, 0, 150}, {1.5, true, 0, 300}, {25.4, false, 1, 100},
        {12.7, true, 1, 100}, {0.005, false, 0, 1},  {0.0, true, 1, 0},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::to_string(C.Value) + (C.Vertical ? " y" : " x") + (C.Units ? " mm" : " in"));
        EXPECT_EQ(L.FromUnits(C.Value, C.Vertical, C.Units), C.Pixels);
        if (C.Pixels > 1) {
            EXPECT_NEAR(L.ToUnits(C.Pixels, C.Vertical, C.Units), C.Value, 1e-9);
        }
    }
    // Millimetres are inches x 25.4 on each axis.
    EXPECT_NEAR(L.ToUnits(123, false, 1), L.ToUnits(123, false, 0) * 25.4, 1e-9);
    EXPECT_NEAR(L.ToUnits(123, true, 1), L.ToUnits(123, true, 0) * 25.4, 1e-9);
}

TEST(PrintLayout, ZeroOrBrokenMetricsAreRefused)
{
    TPrintLayout L;
    EXPECT_FALSE(L.SetMetrics(0, 1100, TRect{0, 0, 0, 1100}, 100, 100));
    EXPECT_FALSE(L.SetMetrics(850, 0, TRect{0, 0, 850, 0}, 100, 100));
    EXPECT_FALSE(L.SetMetrics(850, 1100, TRect{20, 30, 20, 1060}, 100, 100)); // empty printable area
    EXPECT_FALSE(L.SetMetrics(850, 1100, TRect{20, 30, 900, 1060}, 100, 100)); // outside the paper
    EXPECT_FALSE(L.SetMetrics(850, 1100, TRect{0, 0, 850, 1100}, 0, 100));
    EXPECT_FALSE(L.SetMetrics(850, 1100, TRect{0, 0, 850, 1100}, 100, 0));
    EXPECT_EQ(L.PageWidth, 0);
    // Nothing stored: fit and conversions do nothing instead of dividing by zero.
    L.Fit();
    EXPECT_EQ(L.PrintWidth, 0);
    EXPECT_EQ(L.ToUnits(100, false, 0), 0.0);
    EXPECT_STRNE(SNoPageMetrics, "");
}

// A PDF printer at 72 dpi with margins of 20 / 30 points, so device pixels are points.
void SetUpPdf(QPrinter& Printer, const QString& File)
{
    SetUpPdfPrinter(Printer, File, 72, QPageSize::A4, QMarginsF(20, 30, 20, 30));
}

TEST(PrintPicture, ReadsMetricsFromPrinter)
{
    QTemporaryDir Dir;
    QPrinter Printer(QPrinter::HighResolution);
    SetUpPdf(Printer, Dir.filePath("m.pdf"));
    TPrintLayout L;
    ASSERT_TRUE(L.ReadMetrics(Printer));
    EXPECT_EQ(L.PageWidth, 595);
    EXPECT_EQ(L.PageHeight, 842);
    EXPECT_EQ(L.PrintableRect.Left, 20);
    EXPECT_EQ(L.PrintableRect.Top, 30);
    EXPECT_EQ(L.PrintableRect.Right, 575);
    EXPECT_EQ(L.PrintableRect.Bottom, 812);
    EXPECT_EQ(L.PixelsPerInchX, 72.0);
}

TEST(PrintPicture, PdfShowsPictureAtPlaceAndSize)
{
    if (!HavePdfRasteriser())
        GTEST_SKIP() << "pdftoppm is not installed";
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const QString Pdf = Dir.filePath("p.pdf");

    // Left half red, right half blue: a mirrored or swapped picture shows.
    TBitmap Picture(40, 20, pf24bit);
    QImage View = Picture.AsQImage();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            View.setPixelColor(x, y, x < 20 ? QColor(255, 0, 0) : QColor(0, 0, 255));

    QPrinter Printer(QPrinter::HighResolution);
    SetUpPdf(Printer, Pdf);
    TPrintLayout L;
    ASSERT_TRUE(L.ReadMetrics(Printer));
    L.PictureAspect = 2.0;
    L.KeepAspect = false;
    L.SetPrintWidth(300);
    L.SetPrintHeight(120);
    L.SetXOffset(100);
    L.SetYOffset(150);
    ASSERT_EQ(L.XOffset, 100);
    ASSERT_EQ(L.PrintWidth, 300);
    ASSERT_TRUE(PrintPicture(Printer, Picture, L, QStringLiteral("  ")));

    const QImage Page = RasterisePdf(Pdf, 72);
    ASSERT_FALSE(Page.isNull());
    EXPECT_NEAR(Page.width(), 595, 1);
    EXPECT_NEAR(Page.height(), 842, 1);
    const QRect Ink = InkBounds(Page);
    const int MinX = Ink.left(), MinY = Ink.top(), MaxX = Ink.right(), MaxY = Ink.bottom();
    EXPECT_NEAR(MinX, 100, 2);
    EXPECT_NEAR(MinY, 150, 2);
    EXPECT_NEAR(MaxX + 1, 400, 2);
    EXPECT_NEAR(MaxY + 1, 270, 2);
    const QColor Left = Page.pixelColor(150, 210);
    const QColor Right = Page.pixelColor(350, 210);
    EXPECT_GT(Left.red(), 200);
    EXPECT_LT(Left.blue(), 60);
    EXPECT_GT(Right.blue(), 200);
    EXPECT_LT(Right.red(), 60);
}

TEST(PrintPicture, EmptyLayoutOrPictureIsAFailure)
{
    QTemporaryDir Dir;
    QPrinter Printer(QPrinter::HighResolution);
    SetUpPdf(Printer, Dir.filePath("e.pdf"));
    TBitmap Picture(4, 4, pf24bit);
    TPrintLayout L;
    EXPECT_FALSE(PrintPicture(Printer, Picture, L, QString()));
    TBitmap Empty;
    ASSERT_TRUE(L.ReadMetrics(Printer));
    L.Fit();
    EXPECT_FALSE(PrintPicture(Printer, Empty, L, QString()));
}

} // namespace
