// The main window with scripted message boxes and file dialogs: new-picture numbering, opening files
// (already open, damaged, dropped, from the command line), the status bar and its automatic hints,
// the close question of one picture and of the whole frame (windows closed meanwhile), saving and its
// error messages, the clipboard's notices and the recent-files thumbnail file.
#include "shell/CVMain.h"
#include "dialogs/AdjustDlgs.h"
#include "dialogs/RotateDlg.h"
#include "dialogs/SizeDlgs.h"

#include "ClipboardTestSupport.h"
#include "FrameFixture.h"

#include "controls/RFPicPopupMenu.h"
#include "controls/XStatusbar.h"
#include "image/SelectionClipboard.h"
#include "image/XBitmap.h"
#include "globals/CVGlobal.h"
#include "picwin/PictureScrollBx.h"
#include "shell/CVClipbrd.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"
#include "globals/CVToolVars.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QMdiArea>
#include <QMimeData>
#include <QMouseEvent>
#include <QEnterEvent>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <gtest/gtest.h>

#include "Settle.h"

#include <fstream>
#include <functional>
#include <memory>

namespace {

class MainWindow : public FrameFixture {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(FrameFixture::SetUp());
        StartFrame(QSize(1000, 700));
    }
    // Closes a child and lets the deferred deletion run.
    static void CloseAndSettle(QMdiSubWindow* W)
    {
        W->close();
        Settle();
    }
    std::vector<std::string> Titles() const
    {
        std::vector<std::string> t;
        for (QMdiSubWindow* w : Main->MdiArea()->subWindowList())
            t.push_back(w->windowTitle().toStdString());
        return t;
    }
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> m;
        for (const auto& msg : UI.Messages)
            m.push_back(msg.Text);
        return m;
    }
    std::string Panel(int I) const { return Main->MainStatusBar()->Panels(I)->Text(); }
    static std::vector<std::string> Lines(const std::string& Text)
    {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t nl; (nl = Text.find('\n', start)) != std::string::npos; start = nl + 1)
            lines.push_back(Text.substr(start, nl - start));
        lines.push_back(Text.substr(start));
        return lines;
    }
    // The picture of panel 0 as drawn now.
    QImage PanelZeroImage() const
    {
        TXStatusBar* bar = Main->MainStatusBar();
        return bar->grab(bar->PanelRect(0)).toImage();
    }
};

TEST_F(MainWindow, NewPicturesAreNumberedAgainAfterAllClose)
{
    // The new-picture dialog answers OK with its defaults.
    UI.OnDialog = [](QDialog&) { return true; };
    for (int i = 0; i < 3; ++i)
        Main->Action("ActNewPic")->trigger();
    EXPECT_EQ(Titles(), (std::vector<std::string>{"New Picture #1 [1:1]", "New Picture #2 [1:1]", "New Picture #3 [1:1]"}));
    EXPECT_EQ(Panel(1), "600w x 400h");
    EXPECT_TRUE(Main->Action("ActPicSave")->isEnabled());
    for (QMdiSubWindow* w : Main->MdiArea()->subWindowList())
        CloseAndSettle(w);
    EXPECT_TRUE(Titles().empty());
    EXPECT_TRUE(UI.Messages.empty()); // nothing was modified
    EXPECT_FALSE(Main->Action("ActPicSave")->isEnabled());
    EXPECT_EQ(Panel(1), "");
    Main->Action("ActNewPic")->trigger();
    EXPECT_EQ(Titles(), std::vector<std::string>{"New Picture #1 [1:1]"});
}

TEST_F(MainWindow, OpeningAnOpenFileOnlyActivatesIt)
{
    const std::string a = Picture("a.bmp", 30, 20), b = Picture("b.bmp", 10, 5);
    ASSERT_TRUE(Main->OpenPictureFile(a));
    ASSERT_TRUE(Main->OpenPictureFile(b));
    EXPECT_EQ(Panel(1), "10w x 5h");
    ASSERT_TRUE(Main->OpenPictureFile(a));
    EXPECT_EQ(Titles(), (std::vector<std::string>{"a.bmp [1:1]", "b.bmp [1:1]"}));
    ASSERT_NE(Main->ActivePicChild(), nullptr);
    EXPECT_EQ(Main->ActivePicChild()->FileName(), a);
    EXPECT_EQ(Panel(1), "30w x 20h");
    EXPECT_EQ(Main->RecentFilesPopupMenu()->GetFileName(0), a);
    EXPECT_EQ(Main->RecentFilesPopupMenu()->Count(), 2);
}

TEST_F(MainWindow, ADamagedFileShowsItsErrorAndLeavesTheRecentList)
{
    const std::string bad = Dir.filePath("bad.jpg").toStdString();
    std::ofstream(bad) << "\xFF\xD8 broken";
    Main->RecentFilesPopupMenu()->AddFile(bad);
    EXPECT_FALSE(Main->OpenPictureFile(bad));
    ASSERT_EQ(UI.Messages.size(), 1u);
    const std::vector<std::string> lines = Lines(UI.Messages[0].Text);
    ASSERT_EQ(lines.size(), 2u) << UI.Messages[0].Text;
    EXPECT_EQ(lines[0], "Invalid Picture format in " + bad);
    EXPECT_FALSE(lines[1].empty());
    EXPECT_EQ(UI.Messages[0].Type, mtError);
    EXPECT_EQ(Main->RecentFilesPopupMenu()->IndexOfFile(bad), -1);
    EXPECT_TRUE(Titles().empty());
}

TEST_F(MainWindow, OpenCommandOpensEveryChosenFile)
{
    UI.OpenResults.push_back({Picture("one.bmp"), Picture("two.bmp")});
    Main->Action("ActOpenPic")->trigger();
    EXPECT_EQ(Titles(), (std::vector<std::string>{"one.bmp [1:1]", "two.bmp [1:1]"}));
    Main->Action("ActOpenPic")->trigger(); // cancelled
    EXPECT_EQ(Titles().size(), 2u);
}

TEST_F(MainWindow, DroppingFilesOpensEveryOne)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const char* n : {"d1.bmp", "d2.bmp", "d3.bmp", "d4.bmp", "d5.bmp"})
        urls << QUrl::fromLocalFile(QString::fromStdString(Picture(n)));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Main.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Main.get(), &drop);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"d1.bmp [1:1]", "d2.bmp [1:1]", "d3.bmp [1:1]", "d4.bmp [1:1]",
                                               "d5.bmp [1:1]"}));
}

TEST_F(MainWindow, CommandLinePicturesOpenAtFirstShow)
{
    Main.reset();
    AppParams.AddFile(Picture("c1.bmp"));
    AppParams.AddFile(Picture("c2.bmp"));
    AppParams.Include(aoFiles);
    Main = std::make_unique<TCanvelloMain>(nullptr, Dir.filePath("Canvello.rfp").toStdString());
    EXPECT_TRUE(Titles().empty());
    Main->show();
    EXPECT_EQ(Titles(), (std::vector<std::string>{"c1.bmp [1:1]", "c2.bmp [1:1]"}));
    EXPECT_FALSE(AppParams.HasOption(aoFiles));
    Main->hide();
    Main->show();
    EXPECT_EQ(Titles().size(), 2u);
}

TEST_F(MainWindow, CloseQuestionAnswers)
{
    Main->NewPicture(20, 20, clWhite);
    TCVPicChildWin* pic = Main->ActivePicChild();
    ASSERT_NE(pic, nullptr);
    pic->Changed(pcPixels, true);

    // Cancel keeps the window and its picture.
    UI.Answers = {mrCancel};
    pic->close();
    Settle();
    ASSERT_EQ(Titles().size(), 1u);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Save changes to New Picture #1 ?"});
    EXPECT_TRUE(pic->Modified());

    // Yes, then the save dialog cancelled: still open, nothing saved and no error.
    UI.Answers = {mrYes};
    pic->close();
    Settle();
    EXPECT_EQ(UI.SaveDialogs, 1);
    ASSERT_EQ(Titles().size(), 1u);
    EXPECT_EQ(UI.Messages.size(), 2u);

    // Yes with a save that fails: the error shows and the window stays.
    UI.Answers = {mrYes};
    const std::string unwritable = Dir.filePath("gone/pic.bmp").toStdString();
    UI.SaveResults = {unwritable};
    pic->close();
    Settle();
    ASSERT_EQ(Titles().size(), 1u);
    EXPECT_EQ(Lines(Messages().back()).front(), "Error Saving Picture " + unwritable);
    EXPECT_TRUE(pic->Modified());

    // Yes with a save that works closes it.
    const std::string saved = Dir.filePath("pic.bmp").toStdString();
    UI.Answers = {mrYes};
    UI.SaveResults = {saved};
    pic->close();
    Settle();
    EXPECT_TRUE(Titles().empty());
    EXPECT_TRUE(QFile::exists(QString::fromStdString(saved)));
    EXPECT_EQ(Main->RecentFilesPopupMenu()->GetFileName(0), saved);
}

TEST_F(MainWindow, FailedSaveOfAFileKeepsTheWindowAndReports)
{
    QTemporaryDir other;
    const std::string path = other.filePath("keep.bmp").toStdString();
    {
        TXBitmap b;
        b.SetSize(4, 4);
        b.SavePictureToFile(path, false);
    }
    ASSERT_TRUE(Main->OpenPictureFile(path));
    Main->ActivePicChild()->Changed(pcPixels, true);
    other.remove(); // the folder is gone: the save cannot work
    Main->Action("ActPicSave")->trigger();
    ASSERT_EQ(UI.Messages.size(), 1u);
    EXPECT_EQ(Lines(Messages()[0]).front(), "Error Saving Picture " + path);
    UI.Answers = {mrYes};
    Main->ActivePicChild()->close();
    Settle();
    EXPECT_EQ(Titles().size(), 1u);
    EXPECT_EQ(UI.SaveDialogs, 0);
}

TEST_F(MainWindow, ClosingTheFrameAsksEachModifiedPictureAndStopsAtCancel)
{
    for (int i = 0; i < 3; ++i) {
        Main->NewPicture(10, 10, clWhite);
        Main->ActivePicChild()->Changed(pcPixels, true);
    }
    UI.Answers = {mrNo, mrCancel};
    EXPECT_FALSE(Main->close());
    EXPECT_TRUE(Main->isVisible());
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Save changes to New Picture #1 ?", "Save changes to New Picture #2 ?"}));
    EXPECT_EQ(Titles().size(), 3u);

    // All answered No: the frame closes without asking again.
    UI.Messages.clear();
    UI.Answers = {mrNo, mrNo, mrNo};
    EXPECT_TRUE(Main->close());
    EXPECT_EQ(UI.Messages.size(), 3u);
}

TEST_F(MainWindow, ProgressTurnsPanelTwoIntoABar)
{
    Main->NewPicture(10, 10, clWhite);
    TCVPicChildWin* pic = Main->ActivePicChild();
    TXStatusPanel* panel = Main->MainStatusBar()->Panels(2);
    pic->DoProgressStart(4);
    EXPECT_EQ(panel->Style(), xsProgressBar);
    EXPECT_EQ(panel->ProgressBarOptions().Max(), 4);
    pic->DoProgressStep();
    pic->DoProgressStep();
    EXPECT_EQ(panel->ProgressBarOptions().Position(), 2);
    pic->DoProgressEnd();
    EXPECT_EQ(panel->Style(), xsText);
}

TEST_F(MainWindow, ChildClientSizeIsTheAreaInsideTheFrame)
{
    int w = 0, h = 0;
    Main->GetMaxChildClientSize(w, h);
    EXPECT_EQ(w, Main->MdiArea()->viewport()->width());
    EXPECT_EQ(h, Main->MdiArea()->viewport()->height());
    // A picture larger than the area gets a window that fits inside it.
    Main->NewPicture(3000, 3000, clWhite);
    QMdiSubWindow* win = Main->MdiArea()->activeSubWindow();
    ASSERT_NE(win, nullptr);
    EXPECT_LE(win->geometry().right() + 1, w);
    EXPECT_LE(win->geometry().bottom() + 1, h);
}

// ---- A change of the desktop's settings -------------------------------------------------------------

// A style, palette, font or theme change that reaches the frame reads the caption metrics again, and
// every picture window places its caption button and computes its frame size by them.
TEST_F(MainWindow, ASettingsChangeReadsTheCaptionMetricsAgainForEveryPictureWindow)
{
    ASSERT_TRUE(Main->NewPicture(200, 150, clWhite));
    ASSERT_TRUE(Main->NewPicture(90, 60, clWhite));
    std::vector<TCVPicChildWin*> pics;
    for (QMdiSubWindow* w : Main->MdiArea()->subWindowList())
        pics.push_back(dynamic_cast<TCVPicChildWin*>(w));
    ASSERT_EQ(pics.size(), 2u);
    ASSERT_NE(ExtraBtnImage, nullptr);
    // Each window as the current metrics place it.
    const auto expectPlacedByTheMetrics = [&](const char* When) {
        for (TCVPicChildWin* pic : pics) {
            EXPECT_EQ(pic->ExtraBtnRect().Left, pic->width() - ExtraBtnRightOffset) << When;
            EXPECT_EQ(pic->ExtraBtnRect().Top, ExtraBtnTop) << When;
            EXPECT_EQ(pic->NonClientWidth, 2 * (SM_CXFRAME + SM_CXEDGE)) << When;
            EXPECT_EQ(pic->NonClientHeight, 2 * (SM_CYFRAME + SM_CYEDGE) + SM_CYCAPTION) << When;
        }
    };
    ReadCaptionMetrics();
    const int offset = ExtraBtnRightOffset, top = ExtraBtnTop, caption = SM_CYCAPTION, frame = SM_CXFRAME;
    for (const QEvent::Type type : {QEvent::StyleChange, QEvent::PaletteChange, QEvent::FontChange,
                                    QEvent::ThemeChange, QEvent::ApplicationFontChange,
                                    QEvent::ApplicationPaletteChange}) {
        SCOPED_TRACE(type);
        // Metrics gone stale, and windows placed by them.
        ExtraBtnRightOffset = ExtraBtnTop = SM_CYCAPTION = SM_CXFRAME = 1;
        for (TCVPicChildWin* pic : pics)
            pic->PaintExtraBtn();
        QEvent change(type);
        QCoreApplication::sendEvent(Main.get(), &change);
        EXPECT_EQ(ExtraBtnRightOffset, offset);
        EXPECT_EQ(ExtraBtnTop, top);
        EXPECT_EQ(SM_CYCAPTION, caption);
        EXPECT_EQ(SM_CXFRAME, frame);
        expectPlacedByTheMetrics("after the change");
    }
    // A real change of style: the title bars of the other style place the buttons.
    const QString oldStyle = QApplication::style()->name();
    const QString other = oldStyle.compare("Windows", Qt::CaseInsensitive) == 0 ? "Fusion" : "Windows";
    QApplication::setStyle(QStyleFactory::create(other));
    ASSERT_EQ(QApplication::style()->name().compare(other, Qt::CaseInsensitive), 0);
    const int otherOffset = ExtraBtnRightOffset, otherTop = ExtraBtnTop;
    ReadCaptionMetrics();
    EXPECT_EQ(otherOffset, ExtraBtnRightOffset);
    EXPECT_EQ(otherTop, ExtraBtnTop);
    EXPECT_NE(std::pair(otherOffset, otherTop), std::pair(offset, top)) << "the two styles place the button alike";
    expectPlacedByTheMetrics("in the other style");
    QApplication::setStyle(QStyleFactory::create(oldStyle));
    EXPECT_EQ(ExtraBtnRightOffset, offset);
    expectPlacedByTheMetrics("back in the first style");
}

// ---- Automatic hints -------------------------------------------------------------------------------

TEST_F(MainWindow, TheHintOfTheButtonUnderTheMouseShowsInPanelZeroAndGoes)
{
    const QImage plain = PanelZeroImage();
    auto* bar = Main->findChild<QToolBar*>("FileToolBar");
    ASSERT_NE(bar, nullptr);
    QWidget* button = bar->widgetForAction(Main->Action("ActNewPic"));
    ASSERT_NE(button, nullptr);
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), button->mapToGlobal(QPointF(3, 3)));
    QCoreApplication::sendEvent(button, &enter);
    EXPECT_EQ(Panel(0), "Create a new file");
    EXPECT_NE(PanelZeroImage(), plain); // drawn, not only kept
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_EQ(Panel(0), "");
    EXPECT_EQ(PanelZeroImage(), plain);
}

TEST_F(MainWindow, TheHintOfTheMenuItemUnderTheMouseShowsInPanelZeroAndGoes)
{
    QMenu* file = nullptr;
    for (QAction* a : Main->menuBar()->actions())
        if (a->text() == "&File")
            file = a->menu();
    ASSERT_NE(file, nullptr);
    file->popup(Main->mapToGlobal(QPoint(10, 30)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
    QTest::mouseMove(file, file->actionGeometry(Main->Action("ActOpenPic")).center());
    EXPECT_EQ(Panel(0), "Open a file");
    file->hide();
    EXPECT_EQ(Panel(0), "");
    // A status tip from anywhere in the frame, and the empty one that follows.
    QStatusTipEvent tip("Undo last action");
    QCoreApplication::sendEvent(Main->MdiArea(), &tip);
    EXPECT_EQ(Panel(0), "Undo last action");
    QStatusTipEvent none("");
    QCoreApplication::sendEvent(Main->MdiArea(), &none);
    EXPECT_EQ(Panel(0), "");
}

// Every command's hint as the program shows it: the short text as the tool tip, the long text in
// panel 0 while the pointer is on any tool button or menu item of the command.
TEST_F(MainWindow, EveryCommandShowsItsShortAndLongHint)
{
    const struct {
        std::vector<const char*> Actions;
        const char* Hint;
    } cases[] = {
        {{"ActNewPic"}, "New|Create a new file"},
        {{"ActOpenPic"}, "Open|Open a file"},
        {{"ActPicSave"}, "Save|Save current file"},
        {{"ActPicSaveAs"}, "Save As|Save current file with different name"},
        {{"ActCloseChild"}, "Close|Close current picture"},
        {{"ActCloseAllChildren"}, "Close All|Close all pictures"},
        {{"ActPrintPic"}, "Print|Print picture"},
        {{"ActFileExit"}, "Exit|Exit Canvello"},
        {{"ActUndo"}, "Undo|Undo last action"},
        {{"ActPasteIntoPic", "ActPasteAsNew", "ActPasteClever"}, "Paste|Pastes the Clipboard"},
        {{"ActClearClipboard"}, "Clear Clipboard|Removes any picture from the clipboard"},
        {{"ActFlipPic"}, "Flip Picture|Flip Picture Vertically"},
        {{"ActMirrorPic"}, "Mirror Picture|Flip Picture Horizontally"},
        {{"ActRotatePic"}, "Rotate|Rotate picture"},
        {{"ActCropPic"}, "Crop|Crop picture"},
        {{"ActClearPic"}, "Clear|Clear current selection or whole picture canvas"},
        {{"ActEnlargePicCanvas"}, "Enlarge canvas|Increase the size of the picture canvas"},
        {{"ActResizePic"}, "Resize|Resize picture"},
        {{"ActResamplePic"}, "Resample|Resample picture"},
        {{"ActBlurPic"}, "Blur|Blur picture"},
        {{"ActBrightenPic"}, "Brighten|Adjust the brightness of the picture"},
        {{"ActGammaCorrectPic"}, "Gamma Correct|Gamma correct the picture"},
        {{"ActAdjustRGBPic"}, "Adjust RGB|Adjust the RGB values of the picture"},
        {{"ActGreyScalePic"}, "Grey Scale|Set the picture to greyscale"},
        {{"ActNegativePic"}, "Negative Image|Set the picture to a negative image"},
        {{"ActShowHideZoomGrid"}, "Show zoom grid|Show grid when picture is zoomed in by a large amount"},
    };
    // With a picture open the Image and Colour menus are there too.
    ASSERT_TRUE(Main->NewPicture(40, 30, clWhite));
    for (const auto& c : cases) {
        const std::string hint = c.Hint;
        const std::string shortText = hint.substr(0, hint.find('|')), longText = hint.substr(hint.find('|') + 1);
        for (const char* name : c.Actions) {
            SCOPED_TRACE(name);
            QAction* action = Main->Action(name);
            ASSERT_NE(action, nullptr);
            EXPECT_EQ(action->toolTip().toStdString(), shortText);
            int shown = 0;
            for (QObject* o : action->associatedObjects()) {
                if (auto* bar = qobject_cast<QToolBar*>(o)) {
                    QWidget* button = bar->widgetForAction(action);
                    ASSERT_NE(button, nullptr);
                    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), button->mapToGlobal(QPointF(3, 3)));
                    QCoreApplication::sendEvent(button, &enter);
                    EXPECT_EQ(Panel(0), longText) << "tool button";
                    QEvent leave(QEvent::Leave);
                    QCoreApplication::sendEvent(button, &leave);
                    ++shown;
                } else if (auto* menu = qobject_cast<QMenu*>(o)) {
                    // A disabled item shows no hint; what matters is the text, so hover it enabled.
                    const bool enabled = action->isEnabled();
                    action->setEnabled(true);
                    menu->popup(Main->mapToGlobal(QPoint(10, 30)));
                    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
                    QTest::mouseMove(menu, menu->actionGeometry(action).center());
                    EXPECT_EQ(Panel(0), longText) << "menu item";
                    menu->hide();
                    action->setEnabled(enabled);
                    ++shown;
                }
            }
            EXPECT_GT(shown, 0) << "no button or menu item shows it";
        }
    }
}

// ---- The clipboard's notices -----------------------------------------------------------------------

// Makes Main a new frame that listens to Clipboard (an in-memory one) for the life of the scope; at
// its end the frame goes first, then the program's clipboard and background colour come back.
class TFrameOnClipboard {
public:
    TFrameOnClipboard(std::unique_ptr<TCanvelloMain>& Main, TCVClipboard& Clipboard, const std::string& ThumbnailFile)
        : FMain(Main)
    {
        CVClipboard = &Clipboard;
        FMain = std::make_unique<TCanvelloMain>(nullptr, ThumbnailFile);
        FMain->show();
    }
    ~TFrameOnClipboard()
    {
        FMain.reset();
        CVClipboard = FSaved;
        BackgroundColour = FBackground;
    }
    TFrameOnClipboard(const TFrameOnClipboard&) = delete;
    TFrameOnClipboard& operator=(const TFrameOnClipboard&) = delete;

private:
    std::unique_ptr<TCanvelloMain>& FMain;
    TCVClipboard* FSaved = CVClipboard;
    TColor FBackground = BackgroundColour;
};

TEST_F(MainWindow, AClipboardChangeReachesTheFrameAndThePasteCommandsFollowIt)
{
    TMemorySystemClipboard system;
    TCVClipboard clipboard(system);
    TFrameOnClipboard installed(Main, clipboard, Path("Canvello.rfp"));
    const auto enabled = [&] {
        std::vector<bool> e;
        for (const char* name : {"ActPasteIntoPic", "ActPasteAsNew", "ActPasteClever", "ActClearClipboard"})
            e.push_back(Main->Action(name)->isEnabled());
        return e;
    };
    const std::vector<bool> none = {false, false, false, false}, noPicture = {false, true, true, true},
                            all = {true, true, true, true};
    EXPECT_EQ(enabled(), none);
    EXPECT_FALSE(Main->ClipboardHasPicture());

    clipboard.CopyBitmapNoTag(clipboard_test::Picture(4, 4, 0x336699).get());
    EXPECT_TRUE(Main->ClipboardHasPicture());
    EXPECT_EQ(enabled(), noPicture); // nothing to paste into yet
    ASSERT_TRUE(Main->NewPicture(20, 20, clWhite));
    EXPECT_EQ(enabled(), all);

    // Another program's text is no picture; its picture is.
    auto text = std::make_unique<QMimeData>();
    text->setText("words");
    system.SetMimeData(std::move(text));
    EXPECT_EQ(enabled(), none);
    auto image = std::make_unique<QMimeData>();
    QImage picture(5, 5, QImage::Format_RGB32);
    picture.fill(Qt::red);
    image->setImageData(picture);
    system.SetMimeData(std::move(image));
    EXPECT_EQ(enabled(), all);

    // Clear Clipboard empties it, and the commands follow the notice of that too.
    Main->Action("ActClearClipboard")->trigger();
    EXPECT_FALSE(clipboard.HasPicture());
    EXPECT_EQ(enabled(), none);

    // The last window gone: pasting into a picture stays off.
    clipboard.CopyBitmapNoTag(clipboard_test::Picture(4, 4, 0x336699).get());
    CloseAndSettle(Main->MdiArea()->subWindowList().front());
    EXPECT_EQ(enabled(), noPicture);
}

TEST_F(MainWindow, PasteCommandsMakeANewPictureOrAFloatingSelection)
{
    TMemorySystemClipboard system;
    TCVClipboard clipboard(system);
    TFrameOnClipboard installed(Main, clipboard, Path("Canvello.rfp"));

    // An item whose tag is white: its white pixels take the background colour in the new picture.
    auto item = clipboard_test::Picture(6, 4, 0x336699);
    item->Canvas().SetPixel(0, 0, clWhite);
    clipboard.CopyBitmap(item.get(), clWhite);
    BackgroundColour = 0x00FF00;
    Main->Action("ActPasteClever")->trigger(); // no picture window: as a new picture
    TCVPicChildWin* pic = Main->ActivePicChild();
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->Picture().Width(), 6);
    EXPECT_EQ(pic->Picture().Height(), 4);
    EXPECT_EQ(pic->Picture().Canvas().Pixels(0, 0), TColor(0x00FF00));
    EXPECT_EQ(pic->Picture().Canvas().Pixels(1, 0), TColor(0x336699));

    // With a picture window active the same command pastes into it as a floating selection.
    Main->Action("ActPasteClever")->trigger();
    EXPECT_EQ(Main->MdiArea()->subWindowList().size(), 1);
    ASSERT_NE(pic->Selection(), nullptr);
}

// Drags with the left mouse button over the picture's view from picture point From to To, through the
// canvas's own mouse events.
void DragOnPicture(TCVPicChildWin& Pic, QPoint From, QPoint To)
{
    TPictureScrollBox& box = Pic.PictureScrollBox();
    box.RepaintAll();
    QWidget* canvas = box.CanvasControl();
    const auto client = [&](QPoint P) { return QPoint(box.PictureToClientX(P.x()), box.PictureToClientY(P.y())); };
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, client(From));
    for (int step = 1; step <= 4; ++step) {
        const QPointF at = QPointF(client(From)) + QPointF(client(To) - client(From)) * step / 4.0;
        QMouseEvent move(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(canvas, &move);
    }
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, client(To));
}

// Paste into Picture and Select All leave the rectangle selection tool active, whatever tool was
// in use, so that the mouse moves the piece at once.
TEST_F(MainWindow, PastedOrSelectedPiecesMoveWithTheMouseAtOnce)
{
    TMemorySystemClipboard system;
    TCVClipboard clipboard(system);
    TFrameOnClipboard installed(Main, clipboard, Path("Canvello.rfp"));
    const TColor piece = 0x336699, marker = 0x102030;
    const struct {
        const char* Command;
        QPoint From, To, Moved; // drag from, to; where the piece's top left then lies
    } Cases[] = {
        {"ActPasteIntoPic", {3, 3}, {23, 13}, {20, 10}},
        {"ActPasteClever", {3, 3}, {13, 23}, {10, 20}},
        {"ActSelectAll", {30, 20}, {35, 27}, {5, 7}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Command);
        ASSERT_TRUE(Main->NewPicture(60, 40, clWhite));
        TCVPicChildWin* pic = Main->ActivePicChild();
        ASSERT_NE(pic, nullptr);
        pic->Picture().Canvas().SetPixel(0, 0, marker);
        clipboard.CopyBitmapNoTag(clipboard_test::Picture(10, 10, piece).get());
        Main->Action("ActPen")->trigger();
        ASSERT_EQ(CurrentTool, ctPen);

        Main->Action(Case.Command)->trigger();
        ASSERT_NE(pic->Selection(), nullptr);
        EXPECT_EQ(CurrentTool, ctSelectRect);
        EXPECT_TRUE(Main->Action("ActSelectRect")->isChecked());

        DragOnPicture(*pic, Case.From, Case.To);
        TXBitmap merged;
        TCanvas& c = pic->SavedPicture(merged).Canvas();
        const bool pasted = std::string(Case.Command) != "ActSelectAll";
        // The piece's corner pixel (the marker of the pasted picture, or the picture's own) moved.
        EXPECT_EQ(c.Pixels(Case.Moved.x(), Case.Moved.y()), pasted ? TColor(piece ^ 0xFFFFFF) : marker);
        EXPECT_EQ(c.Pixels(Case.Moved.x() + 5, Case.Moved.y() + 5), pasted ? piece : clWhite);
        EXPECT_NE(c.Pixels(0, 0), pasted ? TColor(piece ^ 0xFFFFFF) : marker);
        pic->SetModified(false);
        CloseAndSettle(pic);
    }
}

// ---- The recent-files thumbnail file ---------------------------------------------------------------

TEST_F(MainWindow, RecentFilesAreKeptInTheProgramsOwnThumbnailFile)
{
    TRecentFilesPicPopupMenu* menu = Main->RecentFilesPopupMenu();
    EXPECT_EQ(menu->FileHeaderName(), "Canvello RFP");
    EXPECT_TRUE(menu->DoubleBuffered);
    const std::string rfp = Dir.filePath("Canvello.rfp").toStdString();
    EXPECT_EQ(menu->FileNamePath, rfp);

    const std::string a = Picture("recent.bmp", 40, 30);
    ASSERT_TRUE(Main->OpenPictureFile(a));
    ASSERT_TRUE(menu->WaitForPreviews(10000));
    EXPECT_TRUE(Main->close());
    QFile file(QString::fromStdString(rfp));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(16);
    ASSERT_EQ(head.size(), 16);
    EXPECT_EQ(int(head[0]), 12);
    EXPECT_EQ(head.mid(1, 12), QByteArray("Canvello RFP"));
    file.close();

    // The next frame reads it back.
    Main = std::make_unique<TCanvelloMain>(nullptr, rfp);
    ASSERT_EQ(Main->RecentFilesPopupMenu()->Count(), 1);
    EXPECT_EQ(Main->RecentFilesPopupMenu()->GetFileName(0), a);

    // A thumbnail file of another header is not the frame's: nothing is read from it.
    Main.reset();
    {
        TRecentFilesPicPopupMenu other;
        other.FileNamePath = rfp;
        other.AddFile(a);
        ASSERT_TRUE(other.WaitForPreviews(10000));
        ASSERT_TRUE(other.SaveToFile());
    }
    Main = std::make_unique<TCanvelloMain>(nullptr, rfp);
    EXPECT_EQ(Main->RecentFilesPopupMenu()->Count(), 0);
}

// ---- Windows closed while a question is up -------------------------------------------------------

TEST_F(MainWindow, CloseAllPassesOverAWindowClosedDuringTheQuestion)
{
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Main->NewPicture(10, 10, clWhite));
    const QList<QMdiSubWindow*> windows = Main->MdiArea()->subWindowList();
    static_cast<TCVPicChildWin*>(windows[2])->Changed(pcPixels, true);
    QPointer<QMdiSubWindow> second = windows[1];
    // While the question about #3 is up, #2 is closed and freed (as a nested event loop would).
    UI.OnMessage = [&](const TFakeUIServices::TMessage&) {
        if (second) {
            second->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    };
    UI.Answers = {mrNo};
    Main->Action("ActCloseAllChildren")->trigger();
    EXPECT_TRUE(second.isNull());
    Settle();
    EXPECT_TRUE(Titles().empty());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Save changes to New Picture #3 ?"});
    EXPECT_FALSE(Main->Action("ActCloseAllChildren")->isEnabled());
    EXPECT_EQ(Main->NewPictureCount(), 0);
}

TEST_F(MainWindow, ClosingTheFramePassesOverAWindowClosedDuringTheQuestion)
{
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Main->NewPicture(10, 10, clWhite));
        Main->ActivePicChild()->Changed(pcPixels, true);
    }
    QPointer<QMdiSubWindow> second = Main->MdiArea()->subWindowList()[1];
    bool once = false;
    UI.OnMessage = [&](const TFakeUIServices::TMessage&) {
        if (!once && second) {
            once = true;
            second->close(); // asks about itself (answered No), then goes
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    };
    UI.Answers = {mrNo, mrNo, mrNo};
    EXPECT_TRUE(Main->close());
    EXPECT_TRUE(second.isNull());
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Save changes to New Picture #1 ?", "Save changes to New Picture #2 ?",
                                                    "Save changes to New Picture #3 ?"}));
}

// ---- Save and load errors ---------------------------------------------------------------------------

TEST_F(MainWindow, ASaveErrorNamesTheUsersFileAndGivesTheReason)
{
    const std::string plainFile = Picture("plain.bmp");
    const struct {
        std::string Name;
        std::string Reason; // a part of the second line
    } cases[] = {
        {Dir.filePath("missing/pic.bmp").toStdString(), "No such file or directory"},
        {plainFile + "/pic.bmp", "Not a directory"}, // the folder is a regular file
        {Dir.filePath("pic.xyz").toStdString(), "XYZ"},
    };
    ASSERT_TRUE(Main->NewPicture(12, 12, clWhite));
    TCVPicChildWin* pic = Main->ActivePicChild();
    pic->Changed(pcPixels, true);
    for (const auto& c : cases) {
        UI.Messages.clear();
        UI.SaveResults = {c.Name};
        EXPECT_FALSE(Main->SavePicture(pic, true));
        ASSERT_EQ(UI.Messages.size(), 1u) << c.Name;
        EXPECT_EQ(UI.Messages[0].Type, mtError);
        const std::vector<std::string> lines = Lines(UI.Messages[0].Text);
        ASSERT_EQ(lines.size(), 2u) << UI.Messages[0].Text;
        EXPECT_EQ(lines[0], "Error Saving Picture " + c.Name);
        EXPECT_NE(lines[1].find(c.Reason), std::string::npos) << lines[1];
        // Never the hidden file a save writes first.
        EXPECT_EQ(lines[1].find("/.pic."), std::string::npos) << lines[1];
        // Still a failure: the window keeps its name and its changes.
        EXPECT_TRUE(pic->Modified());
        EXPECT_EQ(pic->FileName(), "");
        EXPECT_EQ(pic->DisplayName(), "New Picture #1");
        EXPECT_FALSE(QFile::exists(QString::fromStdString(c.Name)));
    }
    EXPECT_EQ(Titles().size(), 1u);
}

TEST_F(MainWindow, ALoadErrorGivesTheReasonOnASecondLine)
{
    const std::string empty = Dir.filePath("empty.bmp").toStdString();
    std::ofstream(empty).flush();
    const std::string truncated = Dir.filePath("short.bmp").toStdString();
    {
        const std::string whole = Picture("whole.bmp", 50, 50);
        QFile in(QString::fromStdString(whole));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        std::ofstream(truncated, std::ios::binary) << in.read(80).toStdString();
    }
    for (const std::string& name : {empty, truncated}) {
        UI.Messages.clear();
        EXPECT_FALSE(Main->OpenPictureFile(name));
        ASSERT_EQ(UI.Messages.size(), 1u) << name;
        const std::vector<std::string> lines = Lines(UI.Messages[0].Text);
        ASSERT_EQ(lines.size(), 2u) << UI.Messages[0].Text;
        EXPECT_EQ(lines[0], "Invalid Picture format in " + name);
        EXPECT_FALSE(lines[1].empty());
    }
    EXPECT_TRUE(Titles().empty());
}

} // namespace

// ---- Picture commands without a dialog -------------------------------------------------------------

TEST_F(MainWindow, PictureCommandsWorkOnTheActivePictureAndFollowTheChildKind)
{
    for (const char* name : {"ActFlipPic", "ActNegativePic", "ActSelectAll", "ActCropPic", "ActCopyPic"})
        EXPECT_FALSE(Main->Action(name)->isEnabled()) << name;

    TXBitmap b;
    b.SetSize(4, 3);
    b.Canvas().Brush.Color = clWhite;
    b.Canvas().FillRect(TRect{0, 0, 4, 3});
    b.Canvas().SetPixel(0, 0, TColor(0x102030));
    const std::string path = Dir.filePath("cmds.bmp").toStdString();
    b.SavePictureToFile(path, false);
    ASSERT_TRUE(Main->OpenPictureFile(path));
    TCVPicChildWin* pic = Main->ActivePicChild();
    ASSERT_NE(pic, nullptr);
    TCanvas& c = pic->Picture().Canvas();

    Main->Action("ActFlipPic")->trigger();
    EXPECT_EQ(c.Pixels(0, 2), TColor(0x102030));
    Main->Action("ActNegativePic")->trigger();
    EXPECT_EQ(c.Pixels(0, 2), TColor(0xEFDFCF));
    EXPECT_EQ(c.Pixels(1, 1), TColor(0));
    EXPECT_TRUE(pic->Modified());

    EXPECT_FALSE(Main->Action("ActCropPic")->isEnabled());
    Main->Action("ActSelectAll")->trigger();
    ASSERT_NE(pic->Selection(), nullptr);
    EXPECT_TRUE(Main->Action("ActCropPic")->isEnabled());

    // A copy the clipboard cannot take is reported, not passed off as done.
    ISelectionClipboard* saved = SelectionClipboard();
    SetSelectionClipboard(nullptr);
    Main->Action("ActCopyPic")->trigger();
    SetSelectionClipboard(saved);
    ASSERT_FALSE(UI.Messages.empty());
    EXPECT_EQ(UI.Messages.back().Text, SCannotCopyToClipboard);
}

TEST_F(MainWindow, CommandsRunDuringAShapeDragEndTheStrokeFirst)
{
    // Ctrl+C, Ctrl+X, printing or an adjustment with the mouse still held: the shape's inverted
    // outline must not reach the clipboard or the command's result.
    struct TRecordingClipboard : ISelectionClipboard {
        TBitmap Last;
        void CopyBitmap(const TBitmap& Bitmap, TColor) override { Last.Assign(&Bitmap); }
    } clipboard;
    ISelectionClipboard* savedClipboard = SelectionClipboard();
    SetSelectionClipboard(&clipboard);
    const TShapeKind savedShape = ShapeSettings.Shape;
    const TCVTool savedTool = CurrentTool;
    for (const char* name : {"ActCopyPic", "ActCutPic", "ActNegativePic", "ActUndo"}) {
        SCOPED_TRACE(name);
        const std::string path = Picture(std::string(name) + ".bmp", 40, 30);
        ASSERT_TRUE(Main->OpenPictureFile(path));
        TCVPicChildWin* pic = Main->ActivePicChild();
        ASSERT_NE(pic, nullptr);
        TXBitmap before;
        before.Assign(&pic->Picture());
        CurrentTool = ctShapes;
        ShapeSettings.Shape = skRectangle;
        TPictureScrollBox& box = pic->PictureScrollBox();
        box.OnMouseDown(&box, mbLeft, ssLeft, box.PictureToClientX(3), box.PictureToClientY(4));
        box.OnMouseMove(&box, ssLeft, box.PictureToClientX(30), box.PictureToClientY(22));
        ASSERT_NE(pic->MouseState, 0);
        ASSERT_FALSE(clipboard_test::SamePixels(pic->Picture(), before)); // the outline is in the pixels while dragged
        clipboard.Last.Assign(nullptr);
        Main->Action(name)->trigger();
        EXPECT_EQ(pic->MouseState, 0);
        if (std::string(name) == "ActNegativePic") {
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x)
                    ASSERT_EQ(pic->Picture().GetPixel(x, y), TColor(~before.GetPixel(x, y) & 0xFFFFFF)) << x << "," << y;
        } else if (std::string(name) == "ActUndo") {
            EXPECT_TRUE(clipboard_test::SamePixels(pic->Picture(), before));
        } else {
            EXPECT_TRUE(clipboard_test::SamePixels(clipboard.Last, before));
        }
        // The release that follows finds no stroke and draws nothing.
        box.OnMouseUp(&box, mbLeft, 0, box.PictureToClientX(30), box.PictureToClientY(22));
        pic->SetModified(false);
        Main->Action("ActCloseChild")->trigger();
    }
    SetSelectionClipboard(savedClipboard);
    ShapeSettings.Shape = savedShape;
    CurrentTool = savedTool;
}

// ---- Picture commands through their dialogs -------------------------------------------------------------

TEST_F(MainWindow, DialogCommandsApplyOnOKAndLeaveThePictureOnCancel)
{
    UI.OnDialog = [](QDialog& D) {
        auto& form = dynamic_cast<TNewPicForm&>(D);
        form.SetPicWidth(30);
        form.SetPicHeight(20);
        return true;
    };
    Main->Action("ActNewPic")->trigger();
    TCVPicChildWin* pic = Main->ActivePicChild();
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->Picture().Width(), 30);
    EXPECT_EQ(pic->Picture().Height(), 20);
    for (const char* name : {"ActRotatePic", "ActResizePic", "ActBrightenPic", "ActEnlargePicCanvas"})
        EXPECT_TRUE(Main->Action(name)->isEnabled()) << name;

    UI.OnDialog = [](QDialog& D) {
        auto& form = dynamic_cast<TResizePicForm&>(D);
        form.AspRatioCBox->setChecked(false);
        form.SetPicWidth(15);
        form.SetPicHeight(12);
        return true;
    };
    Main->Action("ActResizePic")->trigger();
    EXPECT_EQ(pic->Picture().Width(), 15);
    EXPECT_EQ(pic->Picture().Height(), 12);
    EXPECT_EQ(UI.Dialogs.back(), "Resize Picture");

    // A brightness preview cancelled: the picture is as it was and no step was added.
    const TColor before = pic->Picture().Canvas().Pixels(3, 3);
    const int steps = pic->UndoList().Count();
    UI.OnDialog = [pic](QDialog&) {
        pic->BrightenPicture(50, true);
        EXPECT_TRUE(pic->IsPreviewing());
        return false;
    };
    Main->Action("ActBrightenPic")->trigger();
    EXPECT_FALSE(pic->IsPreviewing());
    EXPECT_EQ(pic->Picture().Canvas().Pixels(3, 3), before);
    EXPECT_EQ(pic->UndoList().Count(), steps);

    UI.OnDialog = [](QDialog& D) {
        dynamic_cast<TRotateDialog&>(D).SetAngle(90);
        return true;
    };
    Main->Action("ActRotatePic")->trigger();
    EXPECT_EQ(pic->Picture().Width(), 12);
    EXPECT_EQ(pic->Picture().Height(), 15);
}

// Each adjustment run from its menu command: the user changes the setting, shows it on the picture
// with Preview and then presses the dialog's own Cancel. The picture must come back exactly as it was
// opened: every pixel, its size, not modified and no undo step added.
TEST_F(MainWindow, CancelOfAnAdjustmentRunFromItsCommandTakesThePreviewOffThePicture)
{
    struct TCase {
        const char* Action;
        std::function<void(QDialog&)> Change;
    };
    const TCase cases[] = {
        {"ActBrightenPic", [](QDialog& D) { dynamic_cast<TAdjBrightDialog&>(D).SetBrightness(60); }},
        {"ActGammaCorrectPic", [](QDialog& D) { dynamic_cast<TAdjGammaDialog&>(D).SetGamma(2.5); }},
        {"ActAdjustRGBPic", [](QDialog& D) { dynamic_cast<TAdjRGBDialog&>(D).SetRed(70); }},
        {"ActBlurPic", [](QDialog& D) { dynamic_cast<TBlurDialog&>(D).SetBlurRadius(3); }},
        {"ActRotatePic", [](QDialog& D) { dynamic_cast<TRotateDialog&>(D).SetAngle(90); }},
    };

    // A pattern every adjustment changes; not square, so that the rotation changes the size too.
    const std::string file = Path("pattern.bmp");
    {
        TXBitmap pattern;
        pattern.SetPixelFormat(pf24bit);
        pattern.SetSize(40, 24);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 40; ++x)
                pattern.SetPixelColor(x, y, RGB(x * 6, y * 10, ((x ^ y) & 1) * 200 + 20));
        pattern.SavePictureToFile(file, true);
    }
    ASSERT_TRUE(Main->OpenPictureFile(file));
    TCVPicChildWin* pic = Main->ActivePicChild();
    ASSERT_NE(pic, nullptr);
    TBitmap before;
    before.Assign(&pic->Picture());
    ASSERT_FALSE(pic->Modified());
    const int steps = pic->UndoList().Count();

    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Action);
        bool cancelled = false, hung = false;
        UI.OnDialog = [&](QDialog& D) {
            // Once the dialog is up as the modal window: change, preview, Cancel.
            QTimer::singleShot(0, &D, [&] {
                auto* shown = dynamic_cast<TBaseAdjDialog*>(QApplication::activeModalWidget());
                EXPECT_EQ(shown, &D);
                if (!shown)
                    return;
                c.Change(*shown);
                QTest::mouseClick(shown->PreviewButton, Qt::LeftButton);
                EXPECT_TRUE(pic->IsPreviewing());
                EXPECT_FALSE(clipboard_test::SamePixels(pic->Picture(), before)) << "the preview is not on the picture";
                QTest::mouseClick(shown->CancelButton, Qt::LeftButton);
                cancelled = true;
            });
            // Guard against a Cancel that does not close the dialog.
            QTimer::singleShot(20000, &D, [&] {
                hung = true;
                D.done(QDialog::Rejected);
            });
            return D.exec() == QDialog::Accepted;
        };
        Main->Action(c.Action)->trigger();
        EXPECT_TRUE(cancelled);
        EXPECT_FALSE(hung);
        EXPECT_FALSE(pic->IsPreviewing());
        EXPECT_TRUE(clipboard_test::SamePixels(pic->Picture(), before));
        EXPECT_FALSE(pic->Modified());
        EXPECT_EQ(pic->UndoList().Count(), steps);
    }
}
