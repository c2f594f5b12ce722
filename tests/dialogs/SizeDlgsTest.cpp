// The standard dialog, the size dialogs and the save options form: stored values, validation on OK,
// the locked aspect ratio and its impossible sides.
#include "FakePicHost.h"
#include "TypeKeys.h"
#include "dialogs/SaveOptionsDlg.h"
#include "dialogs/SizeDlgs.h"

#include "controls/AdvancedCombos.h"
#include "controls/XSpinEdits.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "picwin/CVPicChildWn.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <limits>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Records every message box and answers OK.
struct TFakeUIServices : IUIServices {
    struct Msg {
        std::string Text;
        TMsgDlgType Type;
        unsigned Buttons;
    };
    std::vector<Msg> Messages;
    TModalResult MessageDlg(QWidget*, const std::string& Text, TMsgDlgType Type, unsigned Buttons) override
    {
        Messages.push_back({Text, Type, Buttons});
        return mrOk;
    }
};

std::string Text(const QLineEdit* E) { return E->text().toStdString(); }

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCVGlobal();
        FPrevious = InstalledUIServices();
        InstallUIServices(&UI);
        ForegroundColour = 0x123456;
        BackgroundColour = 0x00FF80;
    }
    void TearDown() override { InstallUIServices(FPrevious); }

    // Types Value into Edit and leaves it through its exit handler.
    template <typename D>
    static void Type(D& Dialog, QLineEdit* Edit, const char* Value, void (D::*Exit)())
    {
        TypeOver(Edit, Value);
        (Dialog.*Exit)();
    }

    std::unique_ptr<TCVPicChildWin> Window(int W, int H)
    {
        return std::make_unique<TCVNewPicChildWin>(nullptr, &Host, "Pic", W, H, clWhite);
    }

    // OK was refused with Message, as an information box with only OK, and the dialog is still open.
    void ExpectRefused(TStandardDialog& D, const char* Message)
    {
        ASSERT_EQ(UI.Messages.size(), 1u);
        EXPECT_EQ(UI.Messages[0].Text, Message);
        EXPECT_EQ(UI.Messages[0].Type, mtInformation);
        EXPECT_EQ(UI.Messages[0].Buttons, unsigned(mbOK));
        EXPECT_EQ(D.ModalResult(), mrNone);
        EXPECT_TRUE(D.isVisible());
    }

    TFakeUIServices UI;
    TFakeHost Host;
    IUIServices* FPrevious = nullptr;
};

// ---- Standard dialog --------------------------------------------------------------------------------

TEST_F(Dialogs, StandardDialogClosesWithOkOrCancel)
{
    {
        TStandardDialog d(nullptr);
        EXPECT_EQ(d.windowTitle(), "Standard Dialog");
        EXPECT_EQ(d.OKButton->text(), "&OK");
        EXPECT_TRUE(d.OKButton->isDefault());
        EXPECT_EQ(d.CancelButton->text(), "&Cancel");
        d.show();
        d.OKButton->click();
        EXPECT_EQ(d.ModalResult(), mrOk);
        EXPECT_FALSE(d.isVisible());
    }
    {
        TStandardDialog d(nullptr);
        d.show();
        d.CancelButton->click();
        EXPECT_EQ(d.ModalResult(), mrCancel);
    }
    {
        TStandardDialog d(nullptr);
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
        QTest::keyClick(&d, Qt::Key_Escape);
        EXPECT_EQ(d.ModalResult(), mrCancel);
        EXPECT_EQ(d.CancelAction->shortcut(), QKeySequence(Qt::Key_Escape));
    }
}

// ---- New picture ------------------------------------------------------------------------------------

TEST_F(Dialogs, NewPictureOffersDefaultsAndTheColourList)
{
    TNewPicForm d(nullptr, -1, -1);
    EXPECT_EQ(d.windowTitle(), "New Picture");
    EXPECT_EQ(d.PicWidth, 600);
    EXPECT_EQ(d.PicHeight, 400);
    EXPECT_EQ(Text(d.WidthEdit), "600");
    EXPECT_EQ(Text(d.HeightEdit), "400");
    ASSERT_EQ(d.ColourCombo->count(), 7);
    const char* names[] = {"Foreground Colour", "Background Colour", "White", "Black", "Red", "Green", "Blue"};
    const TColor colours[] = {0x123456, 0x00FF80, 0xFFFFFF, 0, 0x0000FF, 0x008000, 0xFF0000};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(d.ColourCombo->itemText(i).toStdString(), names[i]);
        EXPECT_EQ(d.ColourCombo->ColourAt(i), colours[i]) << names[i];
    }
    EXPECT_EQ(d.ColourCombo->currentIndex(), 1);
    EXPECT_EQ(d.SelectedColour(), 0x00FF80);

    TNewPicForm given(nullptr, 123, 45);
    EXPECT_EQ(given.PicWidth, 123);
    EXPECT_EQ(given.PicHeight, 45);
}

TEST_F(Dialogs, NewPictureEditsKeepTheStoredValue)
{
    struct Case {
        const char* Typed;
        int Stored;
        const char* Shown;
    } cases[] = {
        {"1024", 1024, "1024"}, {"0", 600, "600"}, {"-5", 600, "600"}, {"abc", 600, "abc"}, {"", 600, ""},
    };
    for (const auto& c : cases) {
        TNewPicForm d(nullptr, -1, -1);
        Type(d, d.WidthEdit, c.Typed, &TNewPicForm::WidthEditExit);
        EXPECT_EQ(d.PicWidth, c.Stored) << c.Typed;
        EXPECT_EQ(Text(d.WidthEdit), c.Shown) << c.Typed;
        Type(d, d.HeightEdit, c.Typed, &TNewPicForm::HeightEditExit);
        EXPECT_EQ(d.PicHeight, c.Stored == 600 ? 400 : c.Stored) << c.Typed;
    }
}

TEST_F(Dialogs, NewPictureOkRefusesTextThatIsNoNumber)
{
    TNewPicForm d(nullptr, -1, -1);
    d.show();
    d.HeightEdit->setText("4x0");
    d.OKButton->click();
    ExpectRefused(d, SInvalidNewPicDimensions);

    UI.Messages.clear();
    d.HeightEdit->setText("300");
    d.HeightEditExit();
    d.OKButton->click();
    EXPECT_TRUE(UI.Messages.empty());
    EXPECT_EQ(d.ModalResult(), mrOk);
    EXPECT_EQ(d.PicHeight, 300);
}

// Enter reaches OK with the focus still in the edit: the typed value is stored before closing.
TEST_F(Dialogs, EnterInAnEditStoresItsValueBeforeClosing)
{
    TNewPicForm d(nullptr, -1, -1);
    d.show();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    d.WidthEdit->setFocus();
    ASSERT_EQ(d.focusWidget(), d.WidthEdit);
    TypeOver(d.WidthEdit, "1024");
    QTest::keyClick(d.WidthEdit, Qt::Key_Return);
    EXPECT_EQ(d.ModalResult(), mrOk);
    EXPECT_EQ(d.PicWidth, 1024);
    EXPECT_TRUE(UI.Messages.empty());
}

// Leaving the edit for another control runs its exit handler.
TEST_F(Dialogs, LeavingAnEditRunsItsExitHandler)
{
    TNewPicForm d(nullptr, -1, -1);
    d.show();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    d.WidthEdit->setFocus();
    TypeOver(d.WidthEdit, "0");
    d.HeightEdit->setFocus();
    EXPECT_EQ(Text(d.WidthEdit), "600");
    TypeOver(d.HeightEdit, "777");
    d.WidthEdit->setFocus();
    EXPECT_EQ(d.PicHeight, 777);
}

// ---- Resize / resample ------------------------------------------------------------------------------

TEST_F(Dialogs, ResizeNeedsAPicture)
{
    try {
        TResizePicForm d(nullptr, nullptr);
        FAIL() << "no exception";
    } catch (const Exception& E) {
        EXPECT_EQ(E.Message, SInvalidPicDimensions);
    }
}

TEST_F(Dialogs, ResizeKeepsTheAspectRatio)
{
    auto win = Window(800, 600);
    TResizePicForm d(nullptr, win.get());
    EXPECT_EQ(d.windowTitle(), "Resize Picture");
    EXPECT_EQ(Text(d.WidthEdit), "800");
    EXPECT_EQ(Text(d.HeightEdit), "600");
    EXPECT_EQ(Text(d.AspRatioEdit), "1.33");
    EXPECT_TRUE(d.AspRatioCBox->isChecked());

    Type(d, d.WidthEdit, "400", &TResizePicForm::WidthEditExit);
    EXPECT_EQ(d.PicWidth, 400);
    EXPECT_EQ(d.PicHeight, 300);
    EXPECT_EQ(Text(d.HeightEdit), "300");

    Type(d, d.HeightEdit, "100", &TResizePicForm::HeightEditExit);
    EXPECT_EQ(d.PicHeight, 100);
    EXPECT_EQ(d.PicWidth, 133);
    EXPECT_EQ(Text(d.WidthEdit), "133");

    // A width that is no number is restored from the height.
    Type(d, d.WidthEdit, "wide", &TResizePicForm::WidthEditExit);
    EXPECT_EQ(Text(d.WidthEdit), "133");

    // A new ratio applies at once; a bad one shows the stored ratio again.
    Type(d, d.AspRatioEdit, "2", &TResizePicForm::AspRatioEditExit);
    EXPECT_EQ(d.PicHeight, 67);
    EXPECT_EQ(Text(d.AspRatioEdit), "2.00");
    Type(d, d.AspRatioEdit, "x", &TResizePicForm::AspRatioEditExit);
    EXPECT_EQ(d.AspectRatio, 2.0);
    EXPECT_EQ(Text(d.AspRatioEdit), "2.00");
    Type(d, d.AspRatioEdit, "0", &TResizePicForm::AspRatioEditExit);
    EXPECT_EQ(d.AspectRatio, 2.0);
}

TEST_F(Dialogs, ResizeWithoutTheLockChangesOneSide)
{
    auto win = Window(800, 600);
    TResizePicForm d(nullptr, win.get());
    d.AspRatioCBox->click();
    EXPECT_FALSE(d.AspRatioEdit->isEnabled());
    Type(d, d.WidthEdit, "100", &TResizePicForm::WidthEditExit);
    Type(d, d.HeightEdit, "900", &TResizePicForm::HeightEditExit);
    EXPECT_EQ(d.PicWidth, 100);
    EXPECT_EQ(d.PicHeight, 900);
    // Locking again makes the height follow the width.
    d.AspRatioCBox->click();
    EXPECT_TRUE(d.AspRatioEdit->isEnabled());
    EXPECT_EQ(d.PicHeight, 75);
}

// A computed side that is no usable picture side (not positive, beyond 65535, not finite) is never
// stored: the other edit stays as it was.
TEST_F(Dialogs, ResizeLeavesTheOtherSideForAnImpossibleRatio)
{
    struct Case {
        const char* Ratio;
        const char* Width;
        const char* Height; // typed instead of the width when set
    } cases[] = {
        {"-1", "400", nullptr},
        {"0.001", "100", nullptr},        // height 100000
        {"1.33", "2000000000", nullptr},  // height about 1.5e9: no 32-bit wrap
        {"1e-300", "500", nullptr},       // height infinite
        {"1e300", nullptr, "100"},        // width infinite
        {"100000", nullptr, "1"},         // width 100000
    };
    for (const auto& c : cases) {
        auto win = Window(800, 600);
        TResizePicForm d(nullptr, win.get());
        Type(d, d.AspRatioEdit, c.Ratio, &TResizePicForm::AspRatioEditExit);
        // The new ratio itself may leave the sizes alone or change the height validly; take them as
        // they are now.
        const int w0 = d.PicWidth, h0 = d.PicHeight;
        const std::string wt = Text(d.WidthEdit), ht = Text(d.HeightEdit);
        if (c.Width) {
            Type(d, d.WidthEdit, c.Width, &TResizePicForm::WidthEditExit);
            EXPECT_EQ(d.PicHeight, h0) << c.Ratio;
            EXPECT_EQ(Text(d.HeightEdit), ht) << c.Ratio;
        } else {
            Type(d, d.HeightEdit, c.Height, &TResizePicForm::HeightEditExit);
            EXPECT_EQ(d.PicWidth, w0) << c.Ratio;
            EXPECT_EQ(Text(d.WidthEdit), wt) << c.Ratio;
        }
        EXPECT_GE(d.PicWidth, 1);
        EXPECT_LE(d.PicHeight, 65535);
        // The sides no longer keep the aspect the box promises: OK says so instead of closing.
        UI.Messages.clear();
        d.show();
        d.OKButton->click();
        ExpectRefused(d, SInvalidDimensions);
        // Without the lock the same sides are the user's to take.
        UI.Messages.clear();
        d.AspRatioCBox->click();
        d.OKButton->click();
        EXPECT_TRUE(UI.Messages.empty()) << c.Ratio;
        EXPECT_EQ(d.ModalResult(), mrOk) << c.Ratio;
    }
}

TEST_F(Dialogs, ResizeRefusesAWidthWhoseHeightTheAspectCannotGive)
{
    auto win = Window(800, 600);
    TResizePicForm d(nullptr, win.get());
    d.show();
    Type(d, d.WidthEdit, "100000", &TResizePicForm::WidthEditExit);
    EXPECT_EQ(Text(d.HeightEdit), "600");
    d.OKButton->click();
    ExpectRefused(d, SInvalidDimensions);
    // A width the aspect can follow makes OK close again.
    UI.Messages.clear();
    Type(d, d.WidthEdit, "1000", &TResizePicForm::WidthEditExit);
    d.OKButton->click();
    EXPECT_TRUE(UI.Messages.empty());
    EXPECT_EQ(d.ModalResult(), mrOk);
    EXPECT_EQ(d.PicWidth, 1000);
    EXPECT_EQ(d.PicHeight, 750);
}

// As the user goes: a width typed, then Tab through the other fields, then OK. Tab goes width,
// height, aspect, and the aspect's rounded text "1.33" left as it was changes nothing.
TEST_F(Dialogs, ResizeByKeysTabsInFieldOrderAndKeepsTheExactRatio)
{
    struct Case {
        const char* Width;
        int Tabs; // how many fields Tab passes after the width
        int W, H;
    } cases[] = {{"400", 1, 400, 300}, {"400", 3, 400, 300}, {"1000", 4, 1000, 750}, {"160", 2, 160, 120}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << " and " << c.Tabs << " tabs");
        auto win = Window(800, 600);
        TResizePicForm d(nullptr, win.get());
        d.show();
        d.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
        d.WidthEdit->setFocus();
        TypeOver(d.WidthEdit, c.Width);
        QWidget* const order[] = {d.HeightEdit, d.AspRatioCBox, d.AspRatioEdit, d.OKButton};
        for (int i = 0; i < c.Tabs; ++i) {
            QTest::keyClick(d.focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(d.focusWidget(), order[i]) << "tab " << i + 1;
        }
        d.OKButton->click();
        ASSERT_EQ(d.ModalResult(), mrOk);
        EXPECT_EQ(d.PicWidth, c.W);
        EXPECT_EQ(d.PicHeight, c.H);
    }
    // A ratio the user types is taken and shown with two decimals.
    auto win = Window(800, 600);
    TResizePicForm d(nullptr, win.get());
    d.show();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    d.AspRatioEdit->setFocus();
    TypeOver(d.AspRatioEdit, "2");
    QTest::keyClick(d.AspRatioEdit, Qt::Key_Tab);
    EXPECT_EQ(d.PicHeight, 400);
    EXPECT_EQ(Text(d.AspRatioEdit), "2.00");
}

TEST_F(Dialogs, RatioSideAcceptsOnlyUsableSides)
{
    struct Case {
        double X;
        bool Ok;
        int Side;
    } cases[] = {
        {0.5, true, 1}, {0.49, false, 0}, {133.333, true, 133}, {2.5, true, 3}, {65535.4, true, 65535},
        {65535.5, false, 0}, {-3, false, 0}, {1e12, false, 0}, {std::numeric_limits<double>::infinity(), false, 0},
        {std::numeric_limits<double>::quiet_NaN(), false, 0},
    };
    for (const auto& c : cases) {
        int side = -7;
        EXPECT_EQ(RatioSide(c.X, side), c.Ok) << c.X;
        if (c.Ok)
            EXPECT_EQ(side, c.Side) << c.X;
        else
            EXPECT_EQ(side, -7) << c.X;
    }
}

TEST_F(Dialogs, ResizeOkRefusesTextThatIsNoNumber)
{
    auto win = Window(800, 600);
    TResizePicForm d(nullptr, win.get());
    d.show();
    d.AspRatioCBox->setChecked(false);
    d.WidthEdit->setText("");
    d.OKButton->click();
    ExpectRefused(d, SInvalidDimensions);
    UI.Messages.clear();
    d.WidthEdit->setText("640");
    d.OKButton->click();
    EXPECT_EQ(d.ModalResult(), mrOk);
}

// ---- Enlarge canvas ---------------------------------------------------------------------------------

TEST_F(Dialogs, EnlargeCanvasOnlyGrows)
{
    for (auto [w, h] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{-1, -1}}) {
        try {
            TEnlargeCanvasForm d(nullptr, w, h);
            ADD_FAILURE() << "no exception for " << w << " x " << h;
        } catch (const Exception& E) {
            EXPECT_EQ(E.Message, SInvalidPicDimensions);
        }
    }
    TEnlargeCanvasForm d(nullptr, 640, 480);
    EXPECT_EQ(d.windowTitle(), "Enlarge canvas");
    EXPECT_EQ(Text(d.WidthEdit), "640");
    EXPECT_EQ(Text(d.HeightEdit), "480");
    EXPECT_FALSE(d.CenterPicture());

    Type(d, d.WidthEdit, "600", &TEnlargeCanvasForm::WidthEditExit);
    EXPECT_EQ(d.NewWidth, 640);
    EXPECT_EQ(Text(d.WidthEdit), "640");
    Type(d, d.WidthEdit, "1000", &TEnlargeCanvasForm::WidthEditExit);
    Type(d, d.HeightEdit, "-4", &TEnlargeCanvasForm::HeightEditExit);
    EXPECT_EQ(d.NewWidth, 1000);
    EXPECT_EQ(d.NewHeight, 480);
    EXPECT_EQ(Text(d.HeightEdit), "480");

    d.show();
    d.CenterPicCBox->setChecked(true);
    d.HeightEdit->setText("tall");
    d.OKButton->click();
    ExpectRefused(d, SInvalidDimensions);
    UI.Messages.clear();
    d.HeightEdit->setText("500");
    d.HeightEditExit();
    d.OKButton->click();
    EXPECT_EQ(d.ModalResult(), mrOk);
    EXPECT_EQ(d.NewHeight, 500);
    EXPECT_TRUE(d.CenterPicture());
}

// ---- Save options -----------------------------------------------------------------------------------

TEST_F(Dialogs, SaveOptionsShowsItsPages)
{
    TSaveOptionsForm d(nullptr);
    EXPECT_EQ(d.windowTitle(), "Save Options");
    ASSERT_EQ(d.PageControl->count(), 2);
    EXPECT_EQ(d.PageControl->tabText(0), "GIF");
    EXPECT_EQ(d.PageControl->tabText(1), "JPG");
    EXPECT_EQ(d.TransparencyRGroup->title(), "Transparency settings");
    EXPECT_EQ(d.TransparencyButtons->buttons().size(), 3);
    EXPECT_EQ(d.TransparencyButtons->button(2)->text(), "Set the transparency value to the background colour");
    EXPECT_EQ(d.TransparencyIndex(), 0);
    EXPECT_EQ(d.JPGComp->MinValue(), 1);
    EXPECT_EQ(d.JPGComp->MaxValue(), 99);
    EXPECT_EQ(d.JPGComp->Value(), 1);
    d.show();
    d.OKButton->click();
    EXPECT_EQ(d.ModalResult(), mrOk);
}

} // namespace
