// The adjustment dialogs: the preview copy's size, the remembered position, the previews on the
// picture window with Cancel and OK, the clamped values the edits show, and OK's refusals.
#include "FakePicHost.h"
#include "dialogs/AdjustDlgs.h"

#include "controls/XSpinEdits.h"
#include "globals/CVGlobal.h"
#include "image/EffectsBitmap.h"
#include "image/PicSelection.h"
#include "picwin/CVPicChildWn.h"
#include "platform/Registry.h"
#include "platform/SysUtils.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>

namespace {

struct TFakeUIServices : IUIServices {
    std::vector<std::string> Messages;
    TModalResult MessageDlg(QWidget*, const std::string& Text, TMsgDlgType, unsigned) override
    {
        Messages.push_back(Text);
        return mrOk;
    }
};

// Every pixel of B, for comparing pictures.
std::vector<TColor> PixelsOf(const TBitmap& B)
{
    std::vector<TColor> out;
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            out.push_back(B.Canvas().Pixels(x, y));
    return out;
}

class AdjustDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCVGlobal();
        FOldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", FConfig.path().toUtf8());
        FPrevious = InstalledUIServices();
        InstallUIServices(&UI);
    }
    void TearDown() override
    {
        InstallUIServices(FPrevious);
        qputenv("XDG_CONFIG_HOME", FOldConfig);
    }

    // A W x H picture with a colour gradient, so that every effect changes it.
    std::unique_ptr<TCVPicChildWin> Window(int W, int H)
    {
        auto w = std::make_unique<TCVNewPicChildWin>(nullptr, &Host, "Pic", W, H, clWhite);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                w->Picture().Canvas().SetPixel(x, y, TColor((x * 7 % 200 + 20) | ((y * 5 % 200 + 20) << 8) | (90 << 16)));
        return w;
    }

    TFakeUIServices UI;
    TFakeHost Host;
    IUIServices* FPrevious = nullptr;
    QTemporaryDir FConfig;
    QByteArray FOldConfig;
};

// ---- Framework --------------------------------------------------------------------------------------

TEST(AdjPreviewSizeTest, LongerSideFillsTheBoxWithoutEnlarging)
{
    struct Case {
        int W, H, PW, PH;
    } cases[] = {
        {100, 50, 100, 50},   {1000, 500, 230, 115}, {500, 1000, 114, 228}, {300, 300, 230, 230},
        {2000, 1, 230, 1},    {1, 2000, 1, 228},     {1, 1, 1, 1},          {229, 1000, 52, 228},
    };
    for (const Case& c : cases) {
        int w = 0, h = 0;
        AdjPreviewSize(c.W, c.H, 230, 228, w, h);
        EXPECT_EQ(w, c.PW) << c.W << " x " << c.H;
        EXPECT_EQ(h, c.PH) << c.W << " x " << c.H;
    }
}

TEST_F(AdjustDialogs, PreviewIsAScaledCopyOfThePicture)
{
    for (auto [W, H, PW, PH] : {std::tuple{1000, 500, 230, 115}, {100, 50, 100, 50}, {2000, 1, 230, 1}, {1, 900, 1, 228}}) {
        auto win = Window(W, H);
        const auto before = PixelsOf(win->Picture());
        TAdjBrightDialog d(nullptr, win.get());
        EXPECT_EQ(d.Bitmap->Width(), PW);
        EXPECT_EQ(d.Bitmap->Height(), PH);
        EXPECT_EQ(d.AdjImage->size(), QSize(PW, PH));
        // Centred in the panel.
        EXPECT_EQ(d.AdjImage->x(), (d.AdjPanel->width() - PW) / 2);
        EXPECT_EQ(PixelsOf(*d.EffectsBitmap), PixelsOf(*d.Bitmap)) << "starts unadjusted";
        EXPECT_EQ(PixelsOf(win->Picture()), before) << "the picture is left alone";
        EXPECT_FALSE(win->IsPreviewing());
    }
    // An unscaled preview is the picture itself.
    auto win = Window(100, 50);
    TAdjBrightDialog d(nullptr, win.get());
    EXPECT_EQ(PixelsOf(*d.Bitmap), PixelsOf(win->Picture()));
}

TEST_F(AdjustDialogs, MissingPictureWindowIsRefused)
{
    try {
        TAdjBrightDialog d(nullptr, nullptr);
        FAIL() << "no exception";
    } catch (const Exception& E) {
        EXPECT_STREQ(E.what(), SCannotAdjustPicture);
    }
}

TEST_F(AdjustDialogs, PositionIsRememberedAndKeptOnTheScreen)
{
    auto win = Window(40, 30);
    {
        TAdjGammaDialog d(nullptr, win.get());
        EXPECT_FALSE(d.PositionDesigned()) << "nothing stored: centred";
        d.show();
        d.setGeometry(QRect(QPoint(50, 60), d.size()));  // the client area's place is kept
        d.CancelButton->click();
    }
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(SDialogsKey, false));
        EXPECT_EQ(r.ReadInteger("WinLeft", -1), 50);
        EXPECT_EQ(r.ReadInteger("WinTop", -1), 60);
    }
    {
        TAdjBrightDialog d(nullptr, win.get());
        EXPECT_TRUE(d.PositionDesigned());
        EXPECT_EQ(d.geometry().topLeft(), QPoint(50, 60));
    }
    // Beyond the screen's edges: the whole dialog stays on the screen.
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(SDialogsKey, true));
        r.WriteInteger("WinLeft", 100000);
        r.WriteInteger("WinTop", -500);
        r.CloseKey();
    }
    {
        TAdjBrightDialog d(nullptr, win.get());
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_TRUE(d.PositionDesigned());
        EXPECT_EQ(d.x(), screen.width() - d.frameGeometry().width());
        EXPECT_EQ(d.y(), 0);
    }
    // Either value missing or malformed: centred.
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(SDialogsKey, true));
        r.WriteString("WinTop", "abc");
        r.CloseKey();
        TAdjBrightDialog d(nullptr, win.get());
        EXPECT_FALSE(d.PositionDesigned());
    }
}

TEST_F(AdjustDialogs, MaskedSelectionShowsThePatternAndEffectsLeaveItAlone)
{
    auto win = Window(100, 100);
    constexpr TColor kClear = 0x00FF00;
    TBitmap paste(40, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            paste.Canvas().SetPixel(x, y, x > y ? kClear : TColor(0x604020));
    ASSERT_TRUE(win->PasteBitmap(&paste, kClear));
    ASSERT_TRUE(win->Selection() && win->Selection()->HasMask());

    TAdjBrightDialog d(nullptr, win.get());
    ASSERT_TRUE(d.PreviewMask);
    ASSERT_EQ(d.Bitmap->Width(), 40);
    const TColor hidden = d.Bitmap->Canvas().Pixels(30, 5);
    EXPECT_NE(hidden, kClear) << "the transparent colour is not shown";
    if (NonCanvasImage && !NonCanvasImage->Empty()) {
        EXPECT_EQ(hidden, NonCanvasImage->Canvas().Pixels(30 % NonCanvasImage->Width(), 5 % NonCanvasImage->Height()));
    }
    EXPECT_EQ(d.Bitmap->Canvas().Pixels(5, 30), TColor(0x604020));

    d.BFactorSpin->Editor()->setText("50");
    EXPECT_EQ(d.EffectsBitmap->Canvas().Pixels(30, 5), hidden) << "masked pixels untouched";
    EXPECT_NE(d.EffectsBitmap->Canvas().Pixels(5, 30), TColor(0x604020));
}

TEST_F(AdjustDialogs, ClickOnTheTrackBarJumpsThere)
{
    auto win = Window(30, 30);
    TAdjBrightDialog d(nullptr, win.get());
    d.MainTrackBar->resize(200, 24);
    const int x = 190;
    ASSERT_FALSE(d.MainTrackBar->PointOnThumb(x, 12));
    const int expected = d.MainTrackBar->PositionAtX(x);
    d.MainTrackBarMouseUp(x, 12);
    EXPECT_EQ(d.MainTrackBar->Position(), expected);
    EXPECT_EQ(d.Brightness(), std::min(expected, 100));
    EXPECT_EQ(d.BFactorSpin->Text(), IntToStr(d.Brightness()));
}

// ---- Brightness -------------------------------------------------------------------------------------

TEST_F(AdjustDialogs, BrightnessShowsTheClampedValueEverywhere)
{
    auto win = Window(60, 40);
    TAdjBrightDialog d(nullptr, win.get());
    EXPECT_EQ(d.windowTitle(), "Adjust Brightness");
    EXPECT_EQ(d.MainLabel->text(), "Brightness (%)");
    EXPECT_EQ(d.PreviewButton->text(), "Pre&view");
    EXPECT_EQ(d.Brightness(), 10);
    EXPECT_EQ(d.BFactorSpin->Text(), "10");
    EXPECT_EQ(d.MainTrackBar->Position(), 10);

    struct Case {
        const char* Typed;
        int Value;
        const char* Shown;
    } cases[] = {{"150", 100, "100"}, {"-20", -20, "-20"}, {"-100", -100, "-100"}, {"-999", -100, "-100"}, {"35", 35, "35"}};
    for (const Case& c : cases) {
        d.BFactorSpin->Editor()->setText(c.Typed);
        EXPECT_EQ(d.Brightness(), c.Value) << c.Typed;
        EXPECT_EQ(d.BFactorSpin->Text(), c.Shown) << c.Typed;
        EXPECT_EQ(d.MainTrackBar->Position(), c.Value) << c.Typed;
        // The small preview shows the effect of the value applied.
        TEffectsBitmap expected;
        expected.AssignBitmap(*d.Bitmap);
        expected.Brighten(c.Value, nullptr);
        EXPECT_EQ(PixelsOf(*d.EffectsBitmap), PixelsOf(expected)) << c.Typed;
    }
    // The track bar drives the edit and the value.
    d.MainTrackBar->SetPosition(-40);
    EXPECT_EQ(d.Brightness(), -40);
    EXPECT_EQ(d.BFactorSpin->Text(), "-40");
    // Text that is not a number changes nothing.
    d.BFactorSpin->Editor()->setText("-");
    EXPECT_EQ(d.Brightness(), -40);
    EXPECT_FALSE(win->IsPreviewing()) << "only Preview touches the picture";
}

TEST_F(AdjustDialogs, BrightnessPreviewThenCancelRestoresThePicture)
{
    auto win = Window(60, 40);
    const auto before = PixelsOf(win->Picture());
    TAdjBrightDialog d(nullptr, win.get());
    d.show();
    d.BFactorSpin->Editor()->setText("30");
    d.PreviewButton->click();
    EXPECT_TRUE(win->IsPreviewing());
    EXPECT_NE(PixelsOf(win->Picture()), before);
    d.CancelButton->click();
    EXPECT_EQ(d.ModalResult(), mrCancel);
    // What the main window does after a close without OK.
    win->EndPreview();
    EXPECT_EQ(PixelsOf(win->Picture()), before);
    EXPECT_FALSE(win->CanUndo());
}

TEST_F(AdjustDialogs, BrightnessOkCommitsOnce)
{
    auto win = Window(60, 40);
    TEffectsBitmap expected;
    expected.AssignBitmap(win->Picture());
    expected.Brighten(30, nullptr);

    TAdjBrightDialog d(nullptr, win.get());
    d.show();
    d.BFactorSpin->Editor()->setText("30");
    d.PreviewButton->click();
    d.PreviewButton->click();
    d.OKButton->click();
    ASSERT_EQ(d.ModalResult(), mrOk);
    // What the main window does after OK.
    win->BrightenPicture(d.Brightness(), false);
    EXPECT_FALSE(win->IsPreviewing());
    EXPECT_EQ(win->UndoList().Count(), 1);
    EXPECT_EQ(PixelsOf(win->Picture()), PixelsOf(expected)) << "brightened once, not two or three times";
}

TEST_F(AdjustDialogs, OkRefusesAnInvalidEdit)
{
    auto win = Window(20, 20);
    {
        TAdjBrightDialog d(nullptr, win.get());
        d.show();
        d.BFactorSpin->Editor()->setText("");
        d.OKButton->click();
        EXPECT_EQ(UI.Messages, std::vector<std::string>{SInvalidBrightness});
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.ModalResult(), mrNone);
    }
    UI.Messages.clear();
    {
        TAdjGammaDialog d(nullptr, win.get());
        d.show();
        d.GCFactorSpin->Editor()->setText("");
        d.OKButton->click();
        EXPECT_EQ(UI.Messages, std::vector<std::string>{SInvalidCorrection});
        EXPECT_TRUE(d.isVisible());
    }
    UI.Messages.clear();
    {
        TBlurDialog d(nullptr, win.get());
        d.show();
        d.BlurFactorSpin->Editor()->setText("");
        d.OKButton->click();
        EXPECT_EQ(UI.Messages, std::vector<std::string>{SInvalidBlurRadius});
        EXPECT_TRUE(d.isVisible());
    }
}

// ---- Gamma and blur ---------------------------------------------------------------------------------

TEST_F(AdjustDialogs, GammaTrackBarInHundredths)
{
    auto win = Window(50, 50);
    TAdjGammaDialog d(nullptr, win.get());
    EXPECT_EQ(d.windowTitle(), "Gamma Correction");
    EXPECT_EQ(d.MainLabel->text(), "Factor");
    EXPECT_DOUBLE_EQ(d.Gamma(), 1.0);
    EXPECT_EQ(d.MainTrackBar->Position(), 100);
    EXPECT_EQ(d.MainTrackBar->Max(), 499);

    d.GCFactorSpin->Editor()->setText(FormatDecimal(2.5, 2));
    EXPECT_DOUBLE_EQ(d.Gamma(), 2.5);
    EXPECT_EQ(d.MainTrackBar->Position(), 250);
    d.MainTrackBar->SetPosition(137);
    EXPECT_DOUBLE_EQ(d.Gamma(), 1.37);
    // A typed value whose hundredths are not exact in binary still lands on its position.
    d.GCFactorSpin->Editor()->setText(FormatDecimal(1.13, 2));
    EXPECT_EQ(d.MainTrackBar->Position(), 113);
    // Both separators are taken.
    d.GCFactorSpin->Editor()->setText("1.5");
    EXPECT_DOUBLE_EQ(d.Gamma(), 1.5);
    // Beyond the limit: the edit shows what is applied.
    d.GCFactorSpin->Editor()->setText("7");
    EXPECT_DOUBLE_EQ(d.Gamma(), 4.99);
    d.GCFactorSpin->Editor()->setText("9");
    EXPECT_DOUBLE_EQ(d.Gamma(), 4.99);
    EXPECT_EQ(QString::fromStdString(d.GCFactorSpin->Text()), FormatDecimal(4.99, 2));
    TEffectsBitmap expected;
    expected.AssignBitmap(*d.Bitmap);
    expected.GammaCorrect(nullptr, 4.99);
    EXPECT_EQ(PixelsOf(*d.EffectsBitmap), PixelsOf(expected));
}

TEST_F(AdjustDialogs, BlurScalesThePreviewRadius)
{
    auto win = Window(920, 100);
    TBlurDialog d(nullptr, win.get());
    EXPECT_EQ(d.windowTitle(), "Blur Picture");
    EXPECT_EQ(d.MainLabel->text(), "Blur Radius");
    EXPECT_DOUBLE_EQ(d.PreviewScale, 230.0 / 920.0);
    EXPECT_EQ(d.MainTrackBar->Max(), 2000);

    d.BlurFactorSpin->Editor()->setText("4");
    TEffectsBitmap expected;
    expected.AssignBitmap(*d.Bitmap);
    expected.Blur(nullptr, 4 * 0.25);
    EXPECT_EQ(PixelsOf(*d.EffectsBitmap), PixelsOf(expected));
    EXPECT_EQ(d.MainTrackBar->Position(), 400);
    // A radius of 0 is taken and shows the unblurred picture.
    d.BlurFactorSpin->Editor()->setText("0");
    EXPECT_DOUBLE_EQ(d.BlurRadius(), 0.0);
    EXPECT_EQ(PixelsOf(*d.EffectsBitmap), PixelsOf(*d.Bitmap));
    d.BlurFactorSpin->Editor()->setText("25");
    EXPECT_DOUBLE_EQ(d.BlurRadius(), 20.0);
    EXPECT_EQ(d.MainTrackBar->Position(), 2000);
    d.PreviewButton->click();
    EXPECT_TRUE(win->IsPreviewing());
}

// ---- RGB --------------------------------------------------------------------------------------------

TEST_F(AdjustDialogs, RgbTrackBarsAndEditsInStep)
{
    auto win = Window(80, 40);
    TAdjRGBDialog d(nullptr, win.get());
    EXPECT_EQ(d.windowTitle(), "Adjust RGB");
    EXPECT_EQ(d.Red(), 0);
    EXPECT_EQ(d.GreenFactorSpin->Text(), "0");
    d.RedFactorSpin->Editor()->setText("-30");
    d.GreenTrackBar->SetPosition(40);
    EXPECT_EQ(d.GreenFactorSpin->Text(), "40");
    EXPECT_EQ(d.Green(), 40);
    d.BlueFactorSpin->Editor()->setText("150");
    EXPECT_EQ(d.Blue(), 100);
    EXPECT_EQ(d.BlueFactorSpin->Text(), "100");
    EXPECT_EQ(d.BlueTrackBar->Position(), 100);
    EXPECT_EQ(d.RedTrackBar->Position(), -30);
    TEffectsBitmap expected;
    expected.AssignBitmap(*d.Bitmap);
    expected.AdjustRGB(-30, 40, 100, nullptr);
    EXPECT_EQ(PixelsOf(*d.EffectsBitmap), PixelsOf(expected));

    const auto before = PixelsOf(win->Picture());
    d.show();
    d.PreviewButton->click();
    EXPECT_TRUE(win->IsPreviewing());
    d.CancelButton->click();
    win->EndPreview();
    EXPECT_EQ(PixelsOf(win->Picture()), before);
}

} // namespace
