// The main window and its browser windows: the folder of the command line, folders and pictures
// dropped on the frame, pictures opened from a browser, and copies and moves reported to every
// browser.
#include "shell/CVMain.h"

#include "browser/CVBrwsrChildWn.h"
#include "browser/FileAction.h"
#include "controls/AdvSelectGrid.h"
#include "image/XBitmap.h"
#include "picwin/CVPicChildWn.h"
#include "platform/Registry.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QTest>
#include <gtest/gtest.h>

#include "FrameFixture.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace {

class BrowserFrame : public FrameFixture {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(FrameFixture::SetUp());
        A = Dir.path().toStdString() + "/a/";
        B = Dir.path().toStdString() + "/b/";
        std::filesystem::create_directory(A);
        std::filesystem::create_directory(B);
        Picture(A + "x.bmp");
        Picture(A + "y.bmp");
        Picture(B + "z.bmp");
    }
    // A blank 16 x 12 picture at the full path FilePath.
    static void Picture(const std::string& FilePath) { WritePicture(FilePath, 16, 12); }
    void MakeMain() { StartFrame(QSize(1000, 700)); }
    std::vector<TCVBrowserChildWn*> Browsers() const
    {
        std::vector<TCVBrowserChildWn*> b;
        for (QMdiSubWindow* w : Main->MdiArea()->subWindowList())
            if (auto* browser = dynamic_cast<TCVBrowserChildWn*>(w))
                b.push_back(browser);
        return b;
    }
    static bool Loaded(TCVBrowserChildWn* W, const std::string& Folder)
    {
        return QTest::qWaitFor([&] { return W->Directory() == Folder && !W->Loading(); }, 10000);
    }
    static std::vector<std::string> Names(TCVBrowserChildWn* W)
    {
        std::vector<std::string> n;
        for (int i = 0; i < W->PictureCount(); ++i)
            n.push_back(W->Database().GetFileName(i));
        return n;
    }

    std::string A, B;
};

TEST_F(BrowserFrame, CommandLineFolderOpensInABrowser)
{
    const struct {
        bool WithPicture;
        bool Maximized;
    } Cases[] = {{false, true}, {true, false}};
    for (const auto& C : Cases) {
        AppParams = TAppParams();
        AppParams.StartDir = A.substr(0, A.size() - 1);
        AppParams.Include(aoDirectory);
        if (C.WithPicture) {
            AppParams.AddFile(B + "z.bmp");
            AppParams.Include(aoFiles);
        }
        MakeMain();
        ASSERT_EQ(Browsers().size(), 1u);
        TCVBrowserChildWn* W = Browsers().front();
        EXPECT_EQ(W->isMaximized(), C.Maximized);
        EXPECT_EQ(Main->MdiArea()->subWindowList().size(), C.WithPicture ? 2 : 1);
        ASSERT_TRUE(Loaded(W, A));
        EXPECT_EQ(Names(W), (std::vector<std::string>{"x.bmp", "y.bmp"}));
        EXPECT_FALSE(AppParams.HasOption(aoDirectory));
        Main.reset();
    }
}

TEST_F(BrowserFrame, DroppedFoldersBrowseAndDroppedPicturesOpen)
{
    MakeMain();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(B)), QUrl::fromLocalFile(QString::fromStdString(A + "x.bmp")),
                  QUrl::fromLocalFile(QString::fromStdString(A + "y.bmp"))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Main.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Main.get(), &drop);
    EXPECT_EQ(Main->MdiArea()->subWindowList().size(), 3) << (UI.Messages.empty() ? "" : UI.Messages[0].Text);
    ASSERT_EQ(Browsers().size(), 1u);
    EXPECT_TRUE(Loaded(Browsers().front(), B));
}

TEST_F(BrowserFrame, CopiesAndMovesReachEveryBrowser)
{
    MakeMain();
    ASSERT_TRUE(Main->OpenBrowser(A, false));
    ASSERT_TRUE(Main->OpenBrowser(B, false));
    ASSERT_EQ(Browsers().size(), 2u);
    TCVBrowserChildWn* InA = Browsers()[0];
    TCVBrowserChildWn* InB = Browsers()[1];
    ASSERT_TRUE(Loaded(InA, A));
    ASSERT_TRUE(Loaded(InB, B));

    ASSERT_TRUE(Main->CopyFileAction("x.bmp", A, B));
    EXPECT_EQ(Names(InA), (std::vector<std::string>{"x.bmp", "y.bmp"}));
    EXPECT_EQ(Names(InB), (std::vector<std::string>{"z.bmp", "x.bmp"}));
    // A second copy would replace the file: answered No, nothing is done and nothing reported.
    UI.Answers = {mrNo};
    EXPECT_FALSE(Main->CopyFileAction("x.bmp", A, B));
    EXPECT_EQ(Names(InB).size(), 2u);

    ASSERT_TRUE(Main->MoveFileAction("y.bmp", A, B));
    EXPECT_EQ(Names(InA), std::vector<std::string>{"x.bmp"});
    EXPECT_EQ(Names(InB), (std::vector<std::string>{"z.bmp", "x.bmp", "y.bmp"}));
    EXPECT_TRUE(std::filesystem::exists(B + "y.bmp"));
    EXPECT_FALSE(std::filesystem::exists(A + "y.bmp"));

    // The browser's own copy and move events go the same way.
    ASSERT_NE(InB->OnCopyFile, nullptr);
    InB->OnCopyFile(InB, "z.bmp", B, A);
    EXPECT_EQ(Names(InA), (std::vector<std::string>{"x.bmp", "z.bmp"}));
}

TEST_F(BrowserFrame, ABrowserOpensItsPictures)
{
    MakeMain();
    ASSERT_TRUE(Main->OpenBrowser(A, false));
    TCVBrowserChildWn* W = Browsers().front();
    ASSERT_TRUE(Loaded(W, A));
    W->SelectAll();
    W->ThumbnailGrid()->OnDblClick(W->ThumbnailGrid());
    std::vector<std::string> titles;
    for (QMdiSubWindow* w : Main->MdiArea()->subWindowList())
        titles.push_back(w->windowTitle().toStdString());
    EXPECT_EQ(titles, (std::vector<std::string>{"Browsing " + A, "x.bmp [1:1]", "y.bmp [1:1]"}));
}

TEST_F(BrowserFrame, DoubleClickOpenFromAMaximisedBrowserKeepsThatPictureSelected)
{
    const std::string C = Dir.path().toStdString() + "/c/";
    std::filesystem::create_directory(C);
    for (int i = 0; i < 16; ++i)
        Picture(C + "p" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".bmp");
    MakeMain();
    ASSERT_TRUE(Main->OpenBrowser(C, true));
    TCVBrowserChildWn* W = Browsers().front();
    ASSERT_TRUE(Loaded(W, C));
    ASSERT_TRUE(W->isMaximized());
    TAdvSelectDrawGrid* Grid = W->ThumbnailGrid();
    QCoreApplication::processEvents();
    const int MaximisedCols = Grid->ColCount();
    const TGridCoord Cell = Grid->IndexCell(12);
    const QPoint At = Grid->CellRect(Cell.X, Cell.Y).center();
    ASSERT_FALSE(At.isNull());
    // The user's double click, event by event as Qt delivers it.
    auto Mouse = [&](QEvent::Type Type, Qt::MouseButtons Buttons) {
        QMouseEvent E(Type, QPointF(At), QPointF(Grid->viewport()->mapToGlobal(At)), Qt::LeftButton, Buttons, {});
        QCoreApplication::sendEvent(Grid->viewport(), &E);
    };
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, Qt::NoButton);
    Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton);
    QCoreApplication::processEvents();
    // Opening the picture restored the browser behind it: the grid has fewer columns now.
    EXPECT_FALSE(W->isMaximized());
    EXPECT_NE(Grid->ColCount(), MaximisedCols);
    Mouse(QEvent::MouseButtonRelease, Qt::NoButton);
    auto* Opened = dynamic_cast<TCVPicChildWin*>(Main->MdiArea()->activeSubWindow());
    ASSERT_NE(Opened, nullptr);
    EXPECT_EQ(Opened->FileName(), C + "p12.bmp");
    // Delete and Move act on the selected names: the picture just opened, only.
    Main->MdiArea()->setActiveSubWindow(W);
    EXPECT_EQ(W->GetSelectedNames(), std::vector<std::string>{"p12.bmp"});
}

TEST_F(BrowserFrame, ClosingTheFrameKeepsTheRecentFolders)
{
    MakeMain();
    ASSERT_TRUE(Main->OpenBrowser(B, false));
    ASSERT_TRUE(Loaded(Browsers().front(), B));
    Browsers().front()->ChangeDirectory(A);
    EXPECT_TRUE(Main->close());
    Main.reset();
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(SRecentDirsKey, false));
    EXPECT_EQ(Reg.ReadString("Dir1", ""), A);
    EXPECT_EQ(Reg.ReadString("Dir2", ""), B);
}

} // namespace
