// The main window with scripted message boxes and file dialogs: new-picture numbering, opening files
// (already open, damaged, dropped, from the command line), the status bar, the close question of
// one picture and of the whole frame, and saving.
#include "shell/CVMain.h"

#include "controls/RFPicPopupMenu.h"
#include "controls/XStatusbar.h"
#include "image/XBitmap.h"
#include "globals/CVGlobal.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QMdiArea>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        SetUIServices(&UI);
        AppParams = TAppParams();
        Main = std::make_unique<TCanvelloMain>(nullptr, Dir.filePath("Canvello.rfp").toStdString());
        Main->resize(1000, 700);
        Main->show();
    }
    void TearDown() override
    {
        Main.reset();
        SetUIServices(nullptr);
    }
    std::string Picture(const std::string& Name, int W = 8, int H = 6)
    {
        TXBitmap b;
        b.SetSize(W, H);
        const std::string path = Dir.filePath(QString::fromStdString(Name)).toStdString();
        b.SavePictureToFile(path, false);
        return path;
    }
    // Closes a child and lets the deferred deletion run.
    static void CloseAndSettle(QMdiSubWindow* W)
    {
        W->close();
        Settle();
    }
    static void Settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
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

    QTemporaryDir Dir;
    TFakeUIServices UI;
    std::unique_ptr<TCanvelloMain> Main;
};

TEST_F(MainWindow, NewPicturesAreNumberedAgainAfterAllClose)
{
    for (int i = 0; i < 3; ++i)
        Main->Action("ActNewPic")->trigger();
    EXPECT_EQ(Titles(), (std::vector<std::string>{"New Picture #1 [1:1]", "New Picture #2 [1:1]", "New Picture #3 [1:1]"}));
    EXPECT_EQ(Panel(1), "640w x 480h");
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
    EXPECT_EQ(Messages(), std::vector<std::string>{"Invalid Picture format in " + bad});
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

TEST_F(MainWindow, DroppingFilesOpensOnlyTheFirst)
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
    EXPECT_EQ(Titles(), std::vector<std::string>{"d1.bmp [1:1]"});
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
    EXPECT_EQ(Messages().back(), "Error Saving Picture " + unwritable);
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
    EXPECT_EQ(Messages(), std::vector<std::string>{"Error Saving Picture " + path});
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

} // namespace
