// Pasting into the program's text boxes from an X11 clipboard as it really is: empty (no owner, no
// formats), holding text, or holding only a picture. Only the xcb platform's clipboard has the empty
// state in which Qt's own paste into a multi-line text box crashes.
#include "AddTextFrame.h"

#include "controls/AddTextDlg.h"
#include "controls/Memo.h"
#include "controls/XSpinEdits.h"
#include "shell/CVMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

enum class TClip { Empty, Text, Picture };

const char* Name(TClip C) { return C == TClip::Empty ? "empty" : C == TClip::Text ? "text" : "picture"; }

// Puts Content on the system clipboard and waits until the clipboard shows it.
void SetClipboard(TClip Content)
{
    QClipboard* Clip = QApplication::clipboard();
    switch (Content) {
    case TClip::Empty:
        Clip->clear();
        break;
    case TClip::Text:
        Clip->setText("pasted");
        break;
    case TClip::Picture: {
        QImage Image(4, 3, QImage::Format_RGB32);
        Image.fill(Qt::red);
        Clip->setImage(Image);
        break;
    }
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QMimeData* Data = Clip->mimeData();
            const qsizetype Formats = Data ? Data->formats().size() : 0;
            return Content == TClip::Empty ? Formats == 0 : Formats > 0;
        },
        3000))
        << Name(Content);
}

// The ways a user pastes into a text box.
enum class TRoute { CtrlV, ShiftInsert, ContextMenu };

const char* Name(TRoute R)
{
    return R == TRoute::CtrlV ? "Ctrl+V" : R == TRoute::ShiftInsert ? "Shift+Insert" : "context menu";
}

// Pastes into Edit the way Route does; the context menu's Paste is triggered only when it is enabled,
// as a user can click it only then. Answers whether that Paste was enabled (always true for keys).
bool Paste(QPlainTextEdit& Edit, TRoute Route)
{
    switch (Route) {
    case TRoute::CtrlV:
        QTest::keyClick(&Edit, Qt::Key_V, Qt::ControlModifier);
        return true;
    case TRoute::ShiftInsert:
        QTest::keyClick(&Edit, Qt::Key_Insert, Qt::ShiftModifier);
        return true;
    case TRoute::ContextMenu: {
        std::unique_ptr<QMenu> Menu(Edit.createStandardContextMenu());
        QAction* PasteAction = Menu->findChild<QAction*>("edit-paste");
        EXPECT_NE(PasteAction, nullptr);
        if (!PasteAction || !PasteAction->isEnabled())
            return false;
        PasteAction->trigger();
        return true;
    }
    }
    return false;
}

// Shows W and gives it the keyboard focus.
void ShowFocused(QWidget& W)
{
    W.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&W));
    W.activateWindow();
    W.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return W.hasFocus() || W.isAncestorOf(QApplication::focusWidget()); }, 3000));
}

TEST(MemoPaste, EveryRouteTakesTextAndNothingElse)
{
    const struct {
        TClip Content;
        const char* Expected;
        bool MenuPasteEnabled;
    } Cases[] = {
        {TClip::Empty, "typed", false},
        {TClip::Picture, "typed", false},
        {TClip::Text, "typedpasted", true},
    };
    for (const auto& Case : Cases) {
        for (TRoute Route : {TRoute::CtrlV, TRoute::ShiftInsert, TRoute::ContextMenu}) {
            SCOPED_TRACE(std::string(Name(Case.Content)) + " clipboard, " + Name(Route));
            TMemo Memo;
            ASSERT_NO_FATAL_FAILURE(ShowFocused(Memo));
            QTest::keyClicks(&Memo, "typed");
            ASSERT_NO_FATAL_FAILURE(SetClipboard(Case.Content));
            EXPECT_EQ(Paste(Memo, Route), Route != TRoute::ContextMenu || Case.MenuPasteEnabled);
            EXPECT_EQ(Memo.toPlainText(), Case.Expected);
        }
    }
}

// A drop carries data as a paste does: only its text is taken.
TEST(MemoPaste, DropsWithoutTextInsertNothing)
{
    struct TProbe : TMemo {
        using TMemo::canInsertFromMimeData;
        using TMemo::insertFromMimeData;
    } Memo;
    QMimeData None, Picture, Text;
    Picture.setImageData(QImage(2, 2, QImage::Format_RGB32));
    Text.setText("dropped");
    EXPECT_FALSE(Memo.canInsertFromMimeData(nullptr));
    EXPECT_FALSE(Memo.canInsertFromMimeData(&None));
    EXPECT_FALSE(Memo.canInsertFromMimeData(&Picture));
    EXPECT_TRUE(Memo.canInsertFromMimeData(&Text));
    Memo.insertFromMimeData(nullptr);
    Memo.insertFromMimeData(&None);
    Memo.insertFromMimeData(&Picture);
    EXPECT_EQ(Memo.toPlainText(), "");
    Memo.insertFromMimeData(&Text);
    EXPECT_EQ(Memo.toPlainText(), "dropped");
}

// Single-line edits and the spin edits have Qt's own paste, which survives an empty clipboard: keep it
// that way for every kind the program uses.
TEST(LineEditPaste, KeysSurviveAnEmptyClipboardAndPasteText)
{
    const struct {
        const char* Kind;
        std::function<QWidget*()> Make;
        std::function<QLineEdit*(QWidget*)> Edit;
        const char* Start;
        const char* Text;
        const char* Pasted;
    } Cases[] = {
        {"line edit", [] { return new QLineEdit; }, [](QWidget* W) { return static_cast<QLineEdit*>(W); },
         "ab", "pasted", "abpasted"},
        {"spin edit", [] { return new TXSpinEdit; },
         [](QWidget* W) { return static_cast<TXSpinEdit*>(W)->Editor(); }, "12", "34", "1234"},
        {"float spin edit", [] { return new TDoubleSpinEdit; },
         [](QWidget* W) { return static_cast<TDoubleSpinEdit*>(W)->Editor(); }, "1", "5", "15"},
        {"editable combo box",
         [] {
             auto* C = new QComboBox;
             C->setEditable(true);
             return C;
         },
         [](QWidget* W) { return static_cast<QComboBox*>(W)->lineEdit(); }, "ab", "pasted", "abpasted"},
    };
    for (const auto& Case : Cases) {
        for (auto [Key, Modifier] : {std::pair{Qt::Key_V, Qt::ControlModifier}, std::pair{Qt::Key_Insert, Qt::ShiftModifier}}) {
            SCOPED_TRACE(std::string(Case.Kind) + (Key == Qt::Key_V ? ", Ctrl+V" : ", Shift+Insert"));
            std::unique_ptr<QWidget> W(Case.Make());
            QLineEdit* Edit = Case.Edit(W.get());
            ASSERT_NE(Edit, nullptr);
            ASSERT_NO_FATAL_FAILURE(ShowFocused(*W));
            Edit->setText(Case.Start);
            Edit->end(false);
            ASSERT_NO_FATAL_FAILURE(SetClipboard(TClip::Empty));
            QTest::keyClick(Edit, Key, Modifier);
            EXPECT_EQ(Edit->text(), Case.Start);
            QApplication::clipboard()->setText(Case.Text);
            ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::clipboard()->text() != ""; }, 3000));
            QTest::keyClick(Edit, Key, Modifier);
            EXPECT_EQ(Edit->text(), Case.Pasted);
        }
    }
}

class AddTextPaste : public AddTextFrame {};

// As a painter does it: Edit > Clear Clipboard, the Add Text tool, then a paste into the dialog's text
// box and its size box; the program goes on and the text typed is drawn.
TEST_F(AddTextPaste, EmptyClipboardPastesNothingIntoTheDialog)
{
    QApplication::clipboard()->setText("something");
    Main->Action("ActClearClipboard")->trigger();
    ASSERT_NO_FATAL_FAILURE(SetClipboard(TClip::Empty));
    std::string Seen;
    UI.OnDialog = [&](QDialog& D) {
        auto* Dialog = dynamic_cast<TAddTextDialog*>(&D);
        if (!Dialog)
            return false;
        EXPECT_NE(dynamic_cast<TMemo*>(Dialog->Memo()), nullptr);
        ShowFocused(*Dialog);
        Dialog->Memo()->setFocus();
        QTest::keyClicks(Dialog->Memo(), "Hi");
        for (TRoute Route : {TRoute::CtrlV, TRoute::ShiftInsert, TRoute::ContextMenu})
            EXPECT_FALSE(Paste(*Dialog->Memo(), Route) && Route == TRoute::ContextMenu) << Name(Route);
        QLineEdit* Size = Dialog->SizeCombo()->lineEdit();
        if (Size) {
            QTest::keyClick(Size, Qt::Key_V, Qt::ControlModifier);
            QTest::keyClick(Size, Qt::Key_Insert, Qt::ShiftModifier);
        }
        Seen = Dialog->Text();
        return true;
    };
    QToolButton* Button = ToolButton("ActAddText");
    ASSERT_NE(Button, nullptr);
    QTest::mouseClick(Button, Qt::LeftButton);
    ASSERT_EQ(UI.Dialogs, (std::vector<std::string>{"Add Text"}));
    EXPECT_EQ(Seen, "Hi");
    EXPECT_EQ(Main->RecentTexts.empty() ? "" : Main->RecentTexts.front(), "Hi");
}

} // namespace
