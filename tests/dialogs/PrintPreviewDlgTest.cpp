// The print preview dialog on a PDF printer: the picture rectangle under the mouse (hits, cursors,
// edge-by-edge moves, the printable area and the aspect kept while any handle is dragged), the
// options and edits, the printer setup and the print itself read back from the PDF as pixels.
#include "dialogs/PrintPreviewDlg.h"

#include "PdfPages.h"
#include "TypeKeys.h"

#include "controls/XGraphicCtrls.h"
#include "globals/CVGlobal.h"
#include "globals/UIServicesIntf.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMarginsF>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct TFakeUIServices : IUIServices {
    std::vector<std::string> Messages;
    // Stands for the user in the print and page setup dialogs; without it they are cancelled.
    std::function<bool(QDialog&)> OnDialog;
    TModalResult MessageDlg(QWidget*, const std::string& Text, TMsgDlgType, unsigned) override
    {
        Messages.push_back(Text);
        return mrOk;
    }
    bool ExecuteDialog(QDialog& Dialog) override { return OnDialog && OnDialog(Dialog); }
};

// Letter paper at 100 dpi (850 x 1100 device pixels) with margins of 0.25 / 0.75 inches left / right
// and 0.5 / 0.5 top / bottom: printable (25, 50) - (775, 1050).
void SetUpLetter(QPrinter& Printer, const QString& File)
{
    SetUpPdfPrinter(Printer, File, 100, QPageSize::Letter, QMarginsF(18, 36, 54, 36));
}

// Left half red, right half blue, the top-left 4 x 4 pixels green: a mirrored, flipped or
// misplaced picture shows.
void PaintMarked(TBitmap& B)
{
    QImage view = B.AsQImage();
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            view.setPixelColor(x, y, x < 4 && y < 4 ? QColor(0, 255, 0)
                                     : x < B.Width() / 2 ? QColor(255, 0, 0)
                                                         : QColor(0, 0, 255));
}

class PrintPreviewDlg : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Pdf = Dir.filePath("page.pdf");
        SetUpLetter(Printer, Pdf);
        PaintMarked(Picture);
        FPrevious = InstalledUIServices();
        InstallUIServices(&UI);
    }
    void TearDown() override
    {
        Dialog.reset();
        InstallUIServices(FPrevious);
    }
    TPrintPreviewDialog& Open()
    {
        Dialog = std::make_unique<TPrintPreviewDialog>(nullptr, &Picture, "Test", &Printer);
        return *Dialog;
    }
    // The dialog with fit off and the picture at (X, Y) in W x H device pixels.
    TPrintPreviewDialog& OpenPlaced(bool KeepAspect, int X, int Y, int W, int H)
    {
        TPrintPreviewDialog& d = Open();
        d.SetKeepAspect(KeepAspect);
        d.SetFitToPage(false);
        d.SetXOffset(0);
        d.SetYOffset(0);
        d.SetPrintWidth(W);
        d.SetPrintHeight(H);
        d.SetXOffset(X);
        d.SetYOffset(Y);
        return d;
    }

    void Mouse(QEvent::Type Type, int X, int Y, Qt::MouseButton Button, Qt::MouseButtons Buttons)
    {
        QWidget* w = Dialog->PreviewImage;
        const QPointF local(X, Y);
        QMouseEvent e(Type, local, w->mapToGlobal(local), Button, Buttons, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    void Press(int X, int Y) { Mouse(QEvent::MouseButtonPress, X, Y, Qt::LeftButton, Qt::LeftButton); }
    void DragTo(int X, int Y) { Mouse(QEvent::MouseMove, X, Y, Qt::NoButton, Qt::LeftButton); }
    void Hover(int X, int Y) { Mouse(QEvent::MouseMove, X, Y, Qt::NoButton, Qt::NoButton); }
    void Release(int X, int Y) { Mouse(QEvent::MouseButtonRelease, X, Y, Qt::LeftButton, Qt::NoButton); }

    static Qt::CursorShape ScreenCursor()
    {
        const QCursor* c = QGuiApplication::overrideCursor();
        return c ? c->shape() : Qt::ArrowCursor;
    }
    // Types Text key by key over the whole of Edit's text, then leaves the edit.
    void Type(QLineEdit* Edit, const char* Text)
    {
        Edit->setFocus();
        TypeOver(Edit, Text);
        Dialog->CommitActiveEdit();
    }
    QTemporaryDir Dir;
    QString Pdf;
    QPrinter Printer{QPrinter::HighResolution};
    TBitmap Picture{40, 20, pf24bit};
    TFakeUIServices UI;
    std::unique_ptr<TPrintPreviewDialog> Dialog;

private:
    IUIServices* FPrevious = nullptr;
};

TEST_F(PrintPreviewDlg, OpensFittedWithTheFormsTexts)
{
    TPrintPreviewDialog& d = Open();
    EXPECT_EQ(d.windowTitle(), "Print Picture");
    EXPECT_EQ(d.SetupButton->text(), "Se&tup...");
    EXPECT_TRUE(d.InchRadioBut->isChecked());
    EXPECT_TRUE(d.FullSizeCBox->isChecked());
    EXPECT_FALSE(d.CentreCBox->isChecked());
    EXPECT_TRUE(d.AspectRatioCBox->isChecked());
    // A landscape picture on a portrait page fills the printable width with the height its aspect gives.
    EXPECT_EQ(d.Layout.XOffset, 25);
    EXPECT_EQ(d.Layout.YOffset, 50);
    EXPECT_EQ(d.Layout.PrintWidth, 750);
    EXPECT_EQ(d.Layout.PrintHeight, 375);
    EXPECT_EQ(d.WidthEdit->text(), "7.50");
    EXPECT_EQ(d.HeightEdit->text(), "3.75");
    EXPECT_EQ(d.XOffsetEdit->text(), "0.25");
    EXPECT_FALSE(d.WidthEdit->isEnabled());
    EXPECT_TRUE(d.XOffsetEdit->isEnabled());
    // The whole page fits the preview area; the picture shows there the right way round.
    EXPECT_LE(d.PreviewBitmap().Width(), d.PreviewAreaWidth);
    EXPECT_LE(d.PreviewBitmap().Height(), d.PreviewAreaHeight);
    EXPECT_EQ(d.PreviewBitmap().Height(), d.PreviewAreaHeight);
    const TRect r = d.PreviewBitmap().SelRect;
    EXPECT_EQ(d.PreviewBitmap().GetPixel(r.Left + r.Width() / 4, r.Top + r.Height() / 2), TColor(0x0000FF));
    EXPECT_EQ(d.PreviewBitmap().GetPixel(r.Right - r.Width() / 4, r.Top + r.Height() / 2), TColor(0xFF0000));
    EXPECT_EQ(d.PreviewBitmap().GetPixel(r.Left, r.Top), TColor(0x00FF00));
    EXPECT_EQ(d.PreviewBitmap().GetPixel(r.Left + r.Width() / 2, r.Bottom + 3), clWhite);
}

TEST_F(PrintPreviewDlg, APictureLargerThanThePreviewIsReducedOnceAtOpening)
{
    Picture.SetSize(3000, 2000);
    PaintMarked(Picture);
    TPrintPreviewDialog& d = Open();
    EXPECT_LE(d.ReducedPicture().Width(), d.PreviewAreaWidth);
    EXPECT_LE(d.ReducedPicture().Height(), d.PreviewAreaHeight);
    d.SetFitToPage(false);
    d.SetPrintWidth(400);
    // Scaled again from the reduced copy to the rectangle's size.
    EXPECT_EQ(d.ScaledPicture().Width(), d.PreviewBitmap().SelRect.Width());
    EXPECT_EQ(d.ScaledPicture().Height(), d.PreviewBitmap().SelRect.Height());
    EXPECT_NEAR(d.ScaledPicture().Width(), 400 * d.PreviewScale, 1);
}

TEST_F(PrintPreviewDlg, RefusesNoPictureAndAPageWithoutMetrics)
{
    try {
        TPrintPreviewDialog d(nullptr, nullptr, "x", &Printer);
        FAIL() << "no exception";
    } catch (const Exception& E) {
        EXPECT_EQ(E.Message, SInvalidPrintPicture);
    }
    // One dot per inch on a page of 20 points: zero device pixels each way.
    Printer.setResolution(1);
    ASSERT_TRUE(Printer.setPageSize(QPageSize(QSizeF(20, 20), QPageSize::Point)));
    try {
        TPrintPreviewDialog d(nullptr, &Picture, "x", &Printer);
        FAIL() << "no exception";
    } catch (const Exception& E) {
        EXPECT_EQ(E.Message, SNoPageMetrics);
    }
}

// ---- The rectangle under the mouse -------------------------------------------------------------------

struct THandleCase {
    const char* Name;
    int Hit;
    Qt::CursorShape Cursor;
    // Which edges follow the mouse.
    bool Left, Top, Right, Bottom;
};

const THandleCase kHandles[] = {
    {"top-left", shTopLeft, Qt::SizeFDiagCursor, true, true, false, false},
    {"top-middle", shTopMiddle, Qt::SizeVerCursor, false, true, false, false},
    {"top-right", shTopRight, Qt::SizeBDiagCursor, false, true, true, false},
    {"middle-left", shMiddleLeft, Qt::SizeHorCursor, true, false, false, false},
    {"middle-right", shMiddleRight, Qt::SizeHorCursor, false, false, true, false},
    {"bottom-left", shBottomLeft, Qt::SizeBDiagCursor, true, false, false, true},
    {"bottom-middle", shBottomMiddle, Qt::SizeVerCursor, false, false, false, true},
    {"bottom-right", shBottomRight, Qt::SizeFDiagCursor, false, false, true, true},
    {"inside", shInside, Qt::SizeAllCursor, true, true, true, true},
};

// A point inside the handle (or area) of the case on the preview bitmap's rectangle.
QPoint PointOf(const TPrintPreviewBitmap& B, int Hit)
{
    const TRect& r = B.SelRect;
    const int xs[] = {r.Left + 1, B.MidXStart + 1, r.Right - 2};
    const int ys[] = {r.Top + 1, B.MidYStart + 1, r.Bottom - 2};
    switch (Hit) {
    case shTopLeft: return {xs[0], ys[0]};
    case shTopMiddle: return {xs[1], ys[0]};
    case shTopRight: return {xs[2], ys[0]};
    case shMiddleLeft: return {xs[0], ys[1]};
    case shMiddleRight: return {xs[2], ys[1]};
    case shBottomLeft: return {xs[0], ys[2]};
    case shBottomMiddle: return {xs[1], ys[2]};
    case shBottomRight: return {xs[2], ys[2]};
    default: return {r.Left + 15, r.Top + 20};
    }
}

TEST_F(PrintPreviewDlg, HandlesHitSetTheCursorAndMoveTheirEdges)
{
    for (const THandleCase& C : kHandles) {
        for (const int Delta : {-9, 11}) {
            SCOPED_TRACE(std::string(C.Name) + " by " + std::to_string(Delta));
            TPrintPreviewDialog& d = OpenPlaced(false, 200, 300, 400, 300);
            TPrintPreviewBitmap& b = d.PreviewBitmap();
            const TRect before = b.SelRect;
            const QPoint p = PointOf(b, C.Hit);
            ASSERT_EQ(b.HitTest(p.x(), p.y()), C.Hit);

            // Hovering shows nothing while the rectangle is not selected.
            Hover(p.x(), p.y());
            EXPECT_EQ(d.PreviewImage->cursor().shape(), Qt::ArrowCursor);
            Press(p.x(), p.y());
            EXPECT_TRUE(b.ShowSelection());
            EXPECT_EQ(ScreenCursor(), C.Cursor);
            DragTo(p.x() + Delta / 2, p.y() + Delta / 2);
            DragTo(p.x() + Delta, p.y() + Delta);
            const TRect moved = b.SelRect;
            EXPECT_EQ(moved.Left, before.Left + (C.Left ? Delta : 0));
            EXPECT_EQ(moved.Top, before.Top + (C.Top ? Delta : 0));
            EXPECT_EQ(moved.Right, before.Right + (C.Right ? Delta : 0));
            EXPECT_EQ(moved.Bottom, before.Bottom + (C.Bottom ? Delta : 0));
            Release(p.x() + Delta, p.y() + Delta);
            EXPECT_EQ(ScreenCursor(), Qt::ArrowCursor);
            // The place becomes the numbers, shown again within a preview pixel.
            EXPECT_FALSE(d.FitToPage);
            EXPECT_FALSE(d.Centre());
            const TPrintLayout& L = d.Layout;
            const double s = d.PreviewScale, tolerance = 0.5 / s + 0.5;
            EXPECT_NEAR(L.XOffset, moved.Left / s, tolerance);
            EXPECT_NEAR(L.YOffset, moved.Top / s, tolerance);
            EXPECT_NEAR(L.XOffset + L.PrintWidth, moved.Right / s, tolerance);
            EXPECT_NEAR(L.YOffset + L.PrintHeight, moved.Bottom / s, tolerance);
            // An edge the drag left alone keeps its exact place.
            if (!C.Left) {
                EXPECT_EQ(L.XOffset, 200);
            }
            if (!C.Top) {
                EXPECT_EQ(L.YOffset, 300);
            }
            if (!C.Right) {
                EXPECT_EQ(L.XOffset + L.PrintWidth, 600);
            }
            if (!C.Bottom) {
                EXPECT_EQ(L.YOffset + L.PrintHeight, 600);
            }
            EXPECT_EQ(d.PreviewBitmap().SelRect, moved);
            EXPECT_EQ(d.WidthEdit->text().toStdString(),
                      FloatToStrFixed(d.Layout.PrintWidth / 100.0, 2));
            // Now selected: hovering gives the handle's cursor.
            const QPoint q = PointOf(b, C.Hit);
            Hover(q.x(), q.y());
            EXPECT_EQ(d.PreviewImage->cursor().shape(), C.Cursor);
        }
    }
}

TEST_F(PrintPreviewDlg, APressOutsideTheRectangleHidesItAndMovesNothing)
{
    TPrintPreviewDialog& d = OpenPlaced(false, 200, 300, 400, 300);
    TPrintPreviewBitmap& b = d.PreviewBitmap();
    const QPoint in = PointOf(b, shInside);
    Press(in.x(), in.y());
    Release(in.x(), in.y());
    ASSERT_TRUE(b.ShowSelection());
    const TRect before = b.SelRect;
    const TPrintLayout layout = d.Layout;
    Press(before.Left - 10, before.Top - 10);
    EXPECT_FALSE(b.ShowSelection());
    EXPECT_EQ(ScreenCursor(), Qt::ArrowCursor);
    DragTo(before.Left + 30, before.Top + 30);
    Release(before.Left + 30, before.Top + 30);
    EXPECT_EQ(b.SelRect, before);
    EXPECT_EQ(d.Layout.XOffset, layout.XOffset);
    EXPECT_EQ(d.Layout.PrintWidth, layout.PrintWidth);
    Hover(in.x(), in.y());
    EXPECT_EQ(d.PreviewImage->cursor().shape(), Qt::ArrowCursor);
}

void ExpectInside(const TPrintPreviewBitmap& B)
{
    EXPECT_GE(B.SelRect.Left, B.MinX);
    EXPECT_GE(B.SelRect.Top, B.MinY);
    EXPECT_LE(B.SelRect.Right, B.MaxX);
    EXPECT_LE(B.SelRect.Bottom, B.MaxY);
}

void ExpectInsidePrintable(const TPrintLayout& L)
{
    EXPECT_GE(L.XOffset, L.PrintableRect.Left);
    EXPECT_GE(L.YOffset, L.PrintableRect.Top);
    EXPECT_LE(L.XOffset + L.PrintWidth, L.PrintableRect.Right);
    EXPECT_LE(L.YOffset + L.PrintHeight, L.PrintableRect.Bottom);
}

TEST_F(PrintPreviewDlg, DraggingAnyHandleFarKeepsTheRectangleInsideAndItsAspect)
{
    // Far out beyond the page and far in past the opposite edge, in steps as a mouse moves.
    for (const THandleCase& C : kHandles) {
        for (const int Far : {-400, 400}) {
            SCOPED_TRACE(std::string(C.Name) + " toward " + std::to_string(Far));
            TPrintPreviewDialog& d = OpenPlaced(true, 250, 400, 300, 150);
            TPrintPreviewBitmap& b = d.PreviewBitmap();
            const QPoint p = PointOf(b, C.Hit);
            Press(p.x(), p.y());
            for (int step = 1; step <= 20; ++step) {
                DragTo(p.x() + Far * step / 20, p.y() + Far * step / 20 / 2);
                ExpectInside(b);
                // The aspect (2) holds to the rounding of one side.
                if (b.SelHeight > 0 && C.Hit != shInside) {
                    EXPECT_LE(std::abs(b.SelWidth - 2 * b.SelHeight), 2)
                        << b.SelWidth << " x " << b.SelHeight << " at step " << step;
                }
            }
            Release(p.x() + Far, p.y() + Far / 2);
            ExpectInside(b);
            ExpectInsidePrintable(d.Layout);
            if (d.Layout.PrintHeight > 0) {
                EXPECT_NEAR(static_cast<double>(d.Layout.PrintWidth) / d.Layout.PrintHeight, 2.0,
                            2.0 / d.Layout.PrintHeight + 1e-9);
            }
            EXPECT_FALSE(d.FitToPage);
            EXPECT_FALSE(d.Centre());
        }
    }
}

TEST_F(PrintPreviewDlg, DraggingACornerToThePrintableEdgeTakesThePrintableSize)
{
    // The preview's edge rounds to a device pixel past the printable edge; the size still counts.
    // The corner left where it was keeps its exact place.
    TPrintPreviewDialog& d = OpenPlaced(false, 25, 50, 300, 200);
    TPrintPreviewBitmap& b = d.PreviewBitmap();
    const QPoint p = PointOf(b, shBottomRight);
    Press(p.x(), p.y());
    DragTo(p.x() + 500, p.y() + 500);
    Release(p.x() + 500, p.y() + 500);
    EXPECT_EQ(d.Layout.XOffset, 25);
    EXPECT_EQ(d.Layout.YOffset, 50);
    EXPECT_NEAR(d.Layout.PrintWidth, 750, 1);
    EXPECT_NEAR(d.Layout.PrintHeight, 1000, 1);
    ExpectInsidePrintable(d.Layout);
}

// ---- Options and edits -------------------------------------------------------------------------------

// At 600 dots per inch the fitted sizes are not whole hundredths of an inch: an edit's text is
// rounded, and reading it back would move or resize the picture.
TEST_F(PrintPreviewDlg, TabbingThroughEditsTheUserDidNotChangeAppliesNothing)
{
    SetUpPdfPrinter(Printer, Pdf, 600, QPageSize::Letter, QMarginsF(18, 36, 54, 36));
    Picture.SetSize(37, 43);
    PaintMarked(Picture);
    for (bool keepAspect : {true, false}) {
        SCOPED_TRACE(keepAspect);
        TPrintPreviewDialog& d = Open();
        d.SetKeepAspect(keepAspect);
        d.SetFitToPage(false);
        d.SetPrintHeight(5000);
        if (!keepAspect)
            d.SetPrintWidth(4301);
        d.SetXOffset(d.Layout.XOffset + 7);
        d.SetYOffset(d.Layout.YOffset + 7);
        d.show();
        d.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
        const TPrintLayout before = d.Layout;
        const QString texts[] = {d.XOffsetEdit->text(), d.YOffsetEdit->text(), d.WidthEdit->text(), d.HeightEdit->text()};
        ASSERT_NE(QString::number(before.PrintHeight / 600.0, 'f', 2).toDouble() * 600, before.PrintHeight)
            << "the height shown must be a rounded one";
        for (QLineEdit* edit : {d.XOffsetEdit, d.YOffsetEdit, d.WidthEdit, d.HeightEdit}) {
            ASSERT_TRUE(edit->isEnabled());
            edit->setFocus();
            ASSERT_EQ(d.focusWidget(), edit);
            QTest::keyClick(edit, Qt::Key_Tab);
            EXPECT_NE(d.focusWidget(), edit);
        }
        EXPECT_EQ(d.Layout.XOffset, before.XOffset);
        EXPECT_EQ(d.Layout.YOffset, before.YOffset);
        EXPECT_EQ(d.Layout.PrintWidth, before.PrintWidth);
        EXPECT_EQ(d.Layout.PrintHeight, before.PrintHeight);
        EXPECT_EQ(d.WidthEdit->text(), texts[2]);
        if (keepAspect) {
            d.close();
            continue;
        }
        // Typing the same text is a change the user made: it is applied.
        d.HeightEdit->setFocus();
        TypeOver(d.HeightEdit, texts[3].toUtf8().constData());
        QTest::keyClick(d.HeightEdit, Qt::Key_Tab);
        EXPECT_EQ(d.Layout.PrintHeight, RoundHalfUp(texts[3].toDouble() * 600));
        d.close();
    }
}

TEST_F(PrintPreviewDlg, EditsAcceptNumbersInTheUnitAndRefuseWhatDoesNotFit)
{
    TPrintPreviewDialog& d = OpenPlaced(true, 100, 100, 200, 100);
    Type(d.XOffsetEdit, "1.5");
    EXPECT_EQ(d.Layout.XOffset, 150);
    EXPECT_EQ(d.XOffsetEdit->text(), "1.50");
    Type(d.WidthEdit, "3");
    EXPECT_EQ(d.Layout.PrintWidth, 300);
    EXPECT_EQ(d.Layout.PrintHeight, 150);
    EXPECT_EQ(d.HeightEdit->text(), "1.50");
    // 1.5 + 7 inches runs past the printable right edge (7.75): the old width stays.
    Type(d.WidthEdit, "7");
    EXPECT_EQ(d.Layout.PrintWidth, 300);
    EXPECT_EQ(d.WidthEdit->text(), "3.00");
    Type(d.HeightEdit, "abc");
    EXPECT_EQ(d.HeightEdit->text(), "1.50");
    Type(d.YOffsetEdit, "1e300");
    EXPECT_EQ(d.Layout.YOffset, 100);
    EXPECT_EQ(d.YOffsetEdit->text(), "1.00");

    // Millimetres: each edit is its own inch value times 25.4.
    const QString inches[] = {d.XOffsetEdit->text(), d.YOffsetEdit->text(), d.WidthEdit->text(), d.HeightEdit->text()};
    d.MMRadioBut->click();
    EXPECT_EQ(d.Units, 1);
    const QLineEdit* edits[] = {d.XOffsetEdit, d.YOffsetEdit, d.WidthEdit, d.HeightEdit};
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(edits[i]->text().toDouble(), inches[i].toDouble() * 25.4, 0.006) << i;
    Type(d.XOffsetEdit, "25.4");
    EXPECT_EQ(d.Layout.XOffset, 100);
    d.InchRadioBut->click();
    EXPECT_EQ(d.XOffsetEdit->text(), "1.00");
}

TEST_F(PrintPreviewDlg, OptionsRefitCentreAndEnableTheEdits)
{
    TPrintPreviewDialog& d = Open();
    d.CentreCBox->click();
    EXPECT_TRUE(d.Centre());
    EXPECT_FALSE(d.XOffsetEdit->isEnabled());
    // Centred on the paper: (1100 - 375) / 2; across, the centre (50) would end past the printable
    // edge, so the picture stays at its left.
    EXPECT_EQ(d.Layout.YOffset, 362);
    EXPECT_EQ(d.Layout.XOffset, 25);
    d.AspectRatioCBox->click();
    EXPECT_FALSE(d.KeepAspect());
    EXPECT_EQ(d.Layout.PrintWidth, 750);
    EXPECT_EQ(d.Layout.PrintHeight, 1000);
    EXPECT_FALSE(d.XOffsetEdit->isEnabled());
    d.FullSizeCBox->click();
    EXPECT_FALSE(d.FitToPage);
    EXPECT_TRUE(d.WidthEdit->isEnabled());
    d.CentreCBox->click();
    EXPECT_TRUE(d.XOffsetEdit->isEnabled());
    d.AspectRatioCBox->click(); // the height follows the width again
    EXPECT_EQ(d.Layout.PrintWidth, 750);
    EXPECT_EQ(d.Layout.PrintHeight, 375);
    ExpectInsidePrintable(d.Layout);
}

TEST_F(PrintPreviewDlg, SetupRefitsToTheNewPageAndKeepsAPageWithoutMetricsOut)
{
    TPrintPreviewDialog& d = Open();
    UI.OnDialog = [&](QDialog& D) {
        EXPECT_NE(dynamic_cast<QPageSetupDialog*>(&D), nullptr);
        Printer.setPageOrientation(QPageLayout::Landscape);
        return true;
    };
    d.SetupButton->click();
    EXPECT_EQ(d.Layout.PageWidth, 1100);
    EXPECT_EQ(d.Layout.PageHeight, 850);
    EXPECT_GT(d.PreviewBitmap().Width(), d.PreviewBitmap().Height());
    EXPECT_LE(d.PreviewBitmap().Width(), d.PreviewAreaWidth);
    ExpectInsidePrintable(d.Layout);
    EXPECT_EQ(std::lround(static_cast<double>(d.Layout.PrintWidth) / d.Layout.PrintHeight), 2);
    EXPECT_TRUE(UI.Messages.empty());

    const TPrintLayout kept = d.Layout;
    UI.OnDialog = [&](QDialog&) {
        Printer.setResolution(1);
        Printer.setPageSize(QPageSize(QSizeF(20, 20), QPageSize::Point));
        return true;
    };
    d.SetupButton->click();
    ASSERT_EQ(UI.Messages.size(), 1u);
    EXPECT_EQ(UI.Messages[0], SNoPageMetrics);
    EXPECT_EQ(d.Layout.PageWidth, kept.PageWidth);
    EXPECT_EQ(d.Layout.PrintWidth, kept.PrintWidth);
}

// ---- Printing -------------------------------------------------------------------------------------------

TEST_F(PrintPreviewDlg, CancellingThePrintDialogClosesWithoutAMessage)
{
    TPrintPreviewDialog& d = Open();
    int printDialogs = 0;
    UI.OnDialog = [&](QDialog& D) {
        printDialogs += dynamic_cast<QPrintDialog*>(&D) != nullptr;
        return false;
    };
    d.OKButton->click();
    EXPECT_EQ(printDialogs, 1);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(UI.Messages.empty());
    EXPECT_FALSE(QFile::exists(Pdf));
}

TEST_F(PrintPreviewDlg, AFailedPrintSaysSoAndKeepsTheDialogOpen)
{
    TPrintPreviewDialog& d = Open();
    UI.OnDialog = [&](QDialog&) {
        Printer.setOutputFileName(Dir.filePath("missing/folder/page.pdf"));
        return true;
    };
    d.OKButton->click();
    EXPECT_EQ(d.result(), 0);
    ASSERT_EQ(UI.Messages.size(), 1u);
    EXPECT_EQ(UI.Messages[0], SErrorPrinting);
}

struct TPrintCase {
    const char* Name;
    // Sets the place on the open dialog.
    std::function<void(PrintPreviewDlg&, TPrintPreviewDialog&)> Place;
};

TEST_F(PrintPreviewDlg, ThePdfShowsThePictureWhereTheDialogPutIt)
{
    if (!HavePdfRasteriser())
        GTEST_SKIP() << "pdftoppm is not installed";
    const TPrintCase cases[] = {
        {"typed in inches",
         [](PrintPreviewDlg& T, TPrintPreviewDialog& d) {
             d.FullSizeCBox->click();
             T.Type(d.XOffsetEdit, "1.23");
             T.Type(d.YOffsetEdit, "2.5");
             T.Type(d.WidthEdit, "3.05");
         }},
        {"typed in mm without aspect",
         [](PrintPreviewDlg& T, TPrintPreviewDialog& d) {
             d.FullSizeCBox->click();
             d.AspectRatioCBox->click();
             d.MMRadioBut->click();
             T.Type(d.WidthEdit, "50.8");
             T.Type(d.HeightEdit, "127");
             T.Type(d.XOffsetEdit, "101.6");
             T.Type(d.YOffsetEdit, "12.7");
         }},
        {"a corner dragged",
         [](PrintPreviewDlg& T, TPrintPreviewDialog& d) {
             const QPoint p = PointOf(d.PreviewBitmap(), shBottomRight);
             T.Press(p.x(), p.y());
             T.DragTo(p.x() - 60, p.y() - 10);
             T.Release(p.x() - 60, p.y() - 10);
         }},
        {"fitted and centred", [](PrintPreviewDlg&, TPrintPreviewDialog& d) { d.CentreCBox->click(); }},
    };
    for (const TPrintCase& C : cases) {
        SCOPED_TRACE(C.Name);
        QFile::remove(Pdf);
        TPrintPreviewDialog& d = Open();
        C.Place(*this, d);
        const TPrintLayout L = d.Layout;
        UI.OnDialog = [](QDialog& D) { return dynamic_cast<QPrintDialog*>(&D) != nullptr; };
        d.OKButton->click();
        ASSERT_EQ(d.result(), QDialog::Accepted);
        ASSERT_TRUE(UI.Messages.empty());

        const QImage page = RasterisePdf(Pdf, 100);
        ASSERT_FALSE(page.isNull());
        EXPECT_EQ(page.width(), 850);
        EXPECT_EQ(page.height(), 1100);
        const QRect ink = InkBounds(page);
        const int minX = ink.left(), minY = ink.top(), maxX = ink.right(), maxY = ink.bottom();
        EXPECT_NEAR(minX, L.XOffset, 1);
        EXPECT_NEAR(minY, L.YOffset, 1);
        EXPECT_NEAR(maxX + 1, L.XOffset + L.PrintWidth, 1);
        EXPECT_NEAR(maxY + 1, L.YOffset + L.PrintHeight, 1);
        // Red on the left, blue on the right, the green mark at the top left.
        const QColor left = page.pixelColor(L.XOffset + L.PrintWidth / 4, L.YOffset + L.PrintHeight / 2);
        const QColor right = page.pixelColor(L.XOffset + 3 * L.PrintWidth / 4, L.YOffset + L.PrintHeight / 2);
        const QColor mark = page.pixelColor(L.XOffset + L.PrintWidth / 20, L.YOffset + L.PrintHeight / 10);
        EXPECT_EQ(left, QColor(255, 0, 0));
        EXPECT_EQ(right, QColor(0, 0, 255));
        EXPECT_EQ(mark, QColor(0, 255, 0));
        Dialog.reset();
    }
}

TEST_F(PrintPreviewDlg, ALargePicturePrintedInBandsShowsNoGapBetweenThem)
{
    if (!HavePdfRasteriser())
        GTEST_SKIP() << "pdftoppm is not installed";
    // Several bands of rows, each scaled to a fraction of a device pixel's height.
    Picture.SetSize(2048, 1999);
    Picture.Canvas().Brush.Color = 0x0000FF;
    Picture.Canvas().FillRect(TRect{0, 0, Picture.Width(), Picture.Height()});
    TPrintPreviewDialog& d = Open();
    UI.OnDialog = [](QDialog&) { return true; };
    d.OKButton->click();
    ASSERT_TRUE(UI.Messages.empty());
    const QImage page = RasterisePdf(Pdf, 100);
    ASSERT_FALSE(page.isNull());
    const TPrintLayout& L = d.Layout;
    // Red within the rasteriser's rounding on every row: a light line would be a seam.
    int wrong = 0;
    for (int y = L.YOffset + 1; y < L.YOffset + L.PrintHeight - 1; ++y)
        for (const int x : {L.XOffset + 3, L.XOffset + L.PrintWidth / 2, L.XOffset + L.PrintWidth - 4}) {
            const QColor c = page.pixelColor(x, y);
            wrong += c.red() < 250 || c.green() > 5 || c.blue() > 5;
        }
    EXPECT_EQ(wrong, 0);
}

TEST_F(PrintPreviewDlg, ABlankTitleNamesTheJobCanvelloPicture)
{
    Dialog = std::make_unique<TPrintPreviewDialog>(nullptr, &Picture, "   ", &Printer);
    UI.OnDialog = [](QDialog&) { return true; };
    Dialog->OKButton->click();
    EXPECT_EQ(Printer.docName(), SDefaultPrintTitle);
    Dialog = std::make_unique<TPrintPreviewDialog>(nullptr, &Picture, "/home/me/cat.bmp", &Printer);
    Dialog->OKButton->click();
    EXPECT_EQ(Printer.docName(), "/home/me/cat.bmp");
}

} // namespace
