// The rotate dialog: angle normalisation from every control, the preview size that fits any angle,
// the deferred preview that never lags the controls, and the preview on the picture with Cancel/OK.
#include "FakePicHost.h"
#include "dialogs/RotateDlg.h"

#include "controls/XDial.h"
#include "controls/XSpinEdits.h"
#include "globals/CVGlobal.h"
#include "image/EffectsBitmap.h"
#include "image/PicSelection.h"
#include "picwin/CVPicChildWn.h"
#include "platform/SysUtils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace {

std::vector<TColor> PixelsOf(const TBitmap& B)
{
    std::vector<TColor> out;
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            out.push_back(B.Canvas().Pixels(x, y));
    return out;
}

// Runs the event loop until the dialog's deferred preview has been drawn.
void WaitForPreview(TRotateDialog& D)
{
    QElapsedTimer t;
    t.start();
    while (D.PreviewPending() && t.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class RotateDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCVGlobal();
        FOldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", FConfig.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", FOldConfig); }

    std::unique_ptr<TCVPicChildWin> Window(int W, int H)
    {
        auto w = std::make_unique<TCVNewPicChildWin>(nullptr, &Host, "Pic", W, H, clWhite);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                w->Picture().Canvas().SetPixel(x, y, TColor((x * 7 % 200 + 20) | ((y * 5 % 200 + 20) << 8) | (90 << 16)));
        return w;
    }

    // The controls and the result agree on A.
    static void ExpectAngle(TRotateDialog& D, int A)
    {
        EXPECT_EQ(D.Angle, A);
        EXPECT_EQ(D.RotateSpinEdit->Text(), IntToStr(A));
        EXPECT_EQ(D.RotateDial->Position(), A);
    }

    TFakeHost Host;
    QTemporaryDir FConfig;
    QByteArray FOldConfig;
};

} // namespace

TEST(RotateAngleTest, NormalisedForAnyValue)
{
    struct Case {
        long long V;
        int A;
    } cases[] = {{0, 0},       {359, 359}, {360, 0},   {449, 89},  {-90, 270}, {-1, 359}, {-10, 350},
                 {400, 40},    {720, 0},   {1000, 280}, {-725, 355}, {-360, 0}, {-1080, 0},
                 {INT_MAX, 127}, {INT_MIN, 232}};
    for (const Case& c : cases)
        EXPECT_EQ(TRotateDialog::NormaliseAngle(c.V), c.A) << c.V;
}

TEST(RotatePreviewSizeTest, FitsTheBoxAtEveryAngle)
{
    struct Case {
        int W, H, PW, PH;
    } cases[] = {{400, 100, 222, 56}, {50, 50, 50, 50}, {1000, 1000, 162, 162}, {100, 400, 56, 222},
                 {2000, 1, 229, 1},   {1, 1, 1, 1}};
    for (const Case& c : cases) {
        int w = 0, h = 0;
        RotatePreviewSize(c.W, c.H, 229, w, h);
        EXPECT_EQ(w, c.PW) << c.W << " x " << c.H;
        EXPECT_EQ(h, c.PH) << c.W << " x " << c.H;
    }
}

TEST_F(RotateDialog, FormAndPreviewCopy)
{
    auto win = Window(400, 100);
    TRotateDialog d(nullptr, win.get(), clRed);
    EXPECT_EQ(d.windowTitle(), "Rotate Picture");
    EXPECT_EQ(d.RotateDial->Increments(), 360);
    EXPECT_EQ(d.RotateDial->NeedleGap(), 4);
    EXPECT_EQ(d.RotateDial->NeedleWidth(), 2);
    EXPECT_EQ(d.RotateAWBut->toolTip(), "Rotate 90 AntiClockWise");
    EXPECT_EQ(d.RotateCWBut->toolTip(), "Rotate 90 ClockWise");
    EXPECT_EQ(d.Bitmap->Width(), 222);
    EXPECT_EQ(d.Bitmap->Height(), 56);
    EXPECT_EQ(d.PanelBitmap->Width(), 229);
    EXPECT_EQ(d.PanelBitmap->Height(), 229);
    EXPECT_EQ(d.BackColour, clRed);
    EXPECT_FALSE(d.IsSelection);
    ExpectAngle(d, 0);
    EXPECT_FALSE(d.PreviewPending()) << "the first preview is drawn before the dialog shows";
    // The unrotated copy sits in the middle of the panel.
    EXPECT_EQ(d.PanelBitmap->Canvas().Pixels(114, 114), d.Bitmap->Canvas().Pixels(111, 28));
}

// The needle stops short of the face's edge by the dial's gap: at 0 degrees its tip on the 79 x 79 face
// is (39, 4), and the two-pixel pen reaches one row above it (row 1 with the default gap of 2).
TEST_F(RotateDialog, NeedleEndsFourPixelsInsideTheFace)
{
    auto win = Window(60, 40);
    TRotateDialog d(nullptr, win.get(), clWhite);
    const QImage face = d.RotateDial->grab().toImage();
    ASSERT_EQ(face.size(), QSize(79, 79));
    int top = -1;
    for (int y = 0; y < face.height() && top < 0; ++y)
        for (int x = 36; x <= 42; ++x)
            if (face.pixelColor(x, y) == Qt::black)
                top = y;
    EXPECT_EQ(top, 3);
}

TEST_F(RotateDialog, ControlsSetTheAngle)
{
    auto win = Window(60, 40);
    TRotateDialog d(nullptr, win.get(), clWhite);
    d.RotateAWBut->click();
    ExpectAngle(d, 270);
    d.SetAngle(300);
    d.RotateCWBut->click();
    ExpectAngle(d, 30);

    // The arrows wrap at 0 and 359 and step by one otherwise.
    d.SetAngle(0);
    d.RotateSpinEdit->stepBy(-1);
    ExpectAngle(d, 359);
    d.RotateSpinEdit->stepBy(1);
    ExpectAngle(d, 0);
    d.RotateSpinEdit->stepBy(1);
    ExpectAngle(d, 1);
    d.RotateSpinEdit->stepBy(-1);
    ExpectAngle(d, 0);

    // Typed numbers of any size are normalised; text that is not a number leaves the angle alone.
    struct Typed {
        const char* Text;
        int A;
    } typed[] = {{"400", 40}, {"-10", 350}, {"100000", 280}, {"-2147483648", 232}, {"90", 90}, {"abc", 90}, {"", 90}};
    for (const Typed& t : typed) {
        d.RotateSpinEdit->Editor()->setText(t.Text);
        EXPECT_EQ(d.Angle, t.A) << t.Text;
        EXPECT_EQ(d.RotateDial->Position(), t.A) << t.Text;
    }
    // An arrow on invalid text puts the current angle back.
    d.RotateSpinEdit->Editor()->setText("x");
    d.RotateSpinEdit->stepBy(1);
    ExpectAngle(d, 90);

    // The dial.
    d.RotateDial->SetPosition(123);
    ExpectAngle(d, 123);
}

TEST_F(RotateDialog, AngleTypedKeyByKeyIsNormalisedOnlyWhenTheEditIsLeft)
{
    auto win = Window(60, 40);
    struct Case {
        const char* Keys;
        int A;
        bool LeaveByTab; // else OK by Enter in the edit
    } cases[] = {{"-45", 315, true}, {"-123", 237, true}, {"400", 40, true}, {"-45", 315, false}, {"725", 5, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Keys);
        TRotateDialog d(nullptr, win.get(), clWhite);
        d.show();
        d.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
        QLineEdit* edit = d.RotateSpinEdit->Editor();
        d.RotateSpinEdit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, c.Keys);
        // While typing, the text is the user's own; the dial and the angle follow it.
        EXPECT_EQ(d.RotateSpinEdit->Text(), c.Keys);
        EXPECT_EQ(d.Angle, c.A);
        EXPECT_EQ(d.RotateDial->Position(), c.A);
        WaitForPreview(d);
        TEffectsBitmap expected;
        expected.AssignBitmap(*d.Bitmap);
        expected.Rotate(c.A, clWhite);
        EXPECT_EQ(d.EffectsBitmap->Width(), expected.Width()) << "the preview follows the typed angle";
        EXPECT_EQ(d.EffectsBitmap->Height(), expected.Height());
        if (c.LeaveByTab) {
            QTest::keyClick(edit, Qt::Key_Tab);
            ExpectAngle(d, c.A);
            EXPECT_TRUE(d.isVisible());
        } else {
            QTest::keyClick(edit, Qt::Key_Return);
            EXPECT_EQ(d.ModalResult(), mrOk);
            ExpectAngle(d, c.A);
        }
    }
}

TEST_F(RotateDialog, DialMovesAreCoalescedAndNeverLag)
{
    auto win = Window(300, 200);
    TRotateDialog d(nullptr, win.get(), clWhite);
    const QSize unrotated(d.EffectsBitmap->Width(), d.EffectsBitmap->Height());
    // A burst of moves: the controls follow each one at once, the preview waits.
    for (int p : {10, 20, 35, 45})
        d.RotateDial->SetPosition(p);
    ExpectAngle(d, 45);
    EXPECT_TRUE(d.PreviewPending());
    EXPECT_EQ(QSize(d.EffectsBitmap->Width(), d.EffectsBitmap->Height()), unrotated);

    WaitForPreview(d);
    EXPECT_FALSE(d.PreviewPending());
    TEffectsBitmap expected;
    expected.AssignBitmap(*d.Bitmap);
    expected.Rotate(45, clWhite);
    EXPECT_EQ(PixelsOf(*d.EffectsBitmap), PixelsOf(expected)) << "the preview shows the last angle";
    ExpectAngle(d, 45);

    // OK right after a move answers the angle on show in the controls.
    d.RotateDial->SetPosition(200);
    d.OKButton->click();
    EXPECT_EQ(d.ModalResult(), mrOk);
    ExpectAngle(d, 200);
}

TEST_F(RotateDialog, PreviewRedrawProcessesNoEvents)
{
    auto win = Window(120, 80);
    TRotateDialog d(nullptr, win.get(), clWhite);
    d.RotateCWBut->click();
    ASSERT_TRUE(d.PreviewPending());
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    QCoreApplication::postEvent(&d, new QEvent(QEvent::User));
    d.FlushPreview();
    EXPECT_FALSE(ran) << "a queued event ran inside the redraw";
    EXPECT_FALSE(d.PreviewPending());
    EXPECT_EQ(d.EffectsBitmap->Width(), d.Bitmap->Height()) << "a quarter turn";
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
}

TEST_F(RotateDialog, CancelledPreviewRestoresTheSize)
{
    auto win = Window(300, 200);
    const auto before = PixelsOf(win->Picture());
    TRotateDialog d(nullptr, win.get(), clWhite);
    d.show();
    d.RotateCWBut->click();
    d.PreviewButton->click();
    EXPECT_TRUE(win->IsPreviewing());
    EXPECT_EQ(win->Picture().Width(), 200);
    EXPECT_EQ(win->Picture().Height(), 300);
    d.CancelButton->click();
    EXPECT_EQ(d.ModalResult(), mrCancel);
    // What the main window does after a close without OK.
    win->EndPreview();
    EXPECT_EQ(win->Picture().Width(), 300);
    EXPECT_EQ(win->Picture().Height(), 200);
    EXPECT_EQ(PixelsOf(win->Picture()), before);
    EXPECT_FALSE(win->CanUndo());
}

TEST_F(RotateDialog, PreviewThenOkRotatesOnce)
{
    auto win = Window(300, 200);
    TEffectsBitmap expected;
    expected.AssignBitmap(win->Picture());
    expected.Rotate(30, clWhite);
    TRotateDialog d(nullptr, win.get(), clWhite);
    d.show();
    d.RotateSpinEdit->Editor()->setText("30");
    d.PreviewButton->click();
    d.OKButton->click();
    ASSERT_EQ(d.ModalResult(), mrOk);
    // What the main window does after OK.
    win->RotatePicture(d.Angle, d.BackColour, false);
    EXPECT_FALSE(win->IsPreviewing());
    EXPECT_EQ(PixelsOf(win->Picture()), PixelsOf(expected));
    EXPECT_TRUE(win->CanUndo());
}

TEST_F(RotateDialog, SelectionGetsAnUnusedCornerColour)
{
    auto win = Window(100, 100);
    constexpr TColor kClear = 0x00FF00;
    TBitmap paste(40, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            paste.Canvas().SetPixel(x, y, x > 30 ? kClear : TColor(x == 0 && y == 0 ? 0x000000 : 0x604020));
    ASSERT_TRUE(win->PasteBitmap(&paste, kClear));
    ASSERT_TRUE(win->Selection());
    TRotateDialog d(nullptr, win.get(), clBlack);
    EXPECT_TRUE(d.IsSelection);
    EXPECT_NE(d.BackColour, clBlack) << "black is used by the selection";
    EXPECT_NE(d.BackColour, TColor(0x604020));
    EXPECT_TRUE(d.EffectsBitmap->Transparent());
    d.SetAngle(45);
    d.FlushPreview();
    // The corners of the rotated selection show the panel's background, not the corner colour.
    EXPECT_NE(d.PanelBitmap->Canvas().Pixels(114 - d.EffectsBitmap->Width() / 2 + 1, 114 - d.EffectsBitmap->Height() / 2 + 1),
              d.BackColour);
    EXPECT_NE(PixelsOf(*d.PanelBitmap), std::vector<TColor>(229 * 229, d.BackColour));
}
