// The browser window on temporary folders of generated pictures: loading through the folder tree,
// the list kept current by file actions (copy, move, delete, rename into and out of the folder,
// names compared exactly), loading in steps and cancelling, reordering and opening from the grid,
// the recent folders and the settings.
#include "browser/CVBrwsrChildWn.h"

#include "PicDBTestSupport.h"

#include "browser/DirTreeView.h"
#include "controls/AdvSelectGrid.h"
#include "controls/AdvancedCombos.h"
#include "controls/XStatusbar.h"
#include "globals/UIServicesIntf.h"
#include "platform/Registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>
#include <gtest/gtest.h>

#include "RecordingUI.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

namespace {

using namespace picdbtest;

class BrowserWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Config.isValid());
        OldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", Config.path().toUtf8());
        Previous = InstalledUIServices();
        InstallUIServices(&UI);
        Pics = Root.Path + "pics/";
        Other = Root.Path + "Pics/"; // differs from the folder shown only in letter case
        std::filesystem::create_directory(Pics);
        std::filesystem::create_directory(Other);
        WriteBmp(Pics + "b.bmp", 30, 20, 1);
        WriteJpeg(Pics + "a.jpg", 40, 30, 2);
        WriteBmp(Pics + "C.bmp", 12, 50, 3);
        WriteText(Pics + "notes.txt", "not a picture");
        WriteBmp(Other + "a.jpg", 20, 20, 4);
    }
    void TearDown() override
    {
        Win.reset();
        InstallUIServices(Previous);
        qputenv("XDG_CONFIG_HOME", OldConfig);
    }

    // A window shown on Dir, its thumbnails all made.
    void Open(const std::string& Dir)
    {
        Win = std::make_unique<TCVBrowserChildWn>(nullptr, Dir, true, false);
        Win->resize(800, 500);
        Win->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Win->Directory() == Dir && !Win->Loading(); }, 10000)) << Win->Directory();
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> N;
        for (int I = 0; I < Win->PictureCount(); ++I)
            N.push_back(Win->Database().GetFileName(I));
        return N;
    }
    void Send(uint8_t Action, const std::string& Dir, const std::string& Name, const std::string& NewName = "")
    {
        SendFileAction(Win.get(), TFileActionRecord{Action, Dir, Name, NewName});
    }

    QTemporaryDir Config;
    QByteArray OldConfig;
    TRecordingUI UI;
    IUIServices* Previous = nullptr;
    TFolder Root;
    std::string Pics, Other;
    std::unique_ptr<TCVBrowserChildWn> Win;
};

TEST_F(BrowserWindow, ShowsTheFolderFromTheTree)
{
    Open(Pics);
    EXPECT_EQ(Win->windowTitle().toStdString(), "Browsing " + Pics);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.jpg", "b.bmp", "C.bmp"}));
    ASSERT_NE(Win->DirTreeView()->Selected(), nullptr);
    EXPECT_EQ(Win->DirTreeView()->GetNodePath(Win->DirTreeView()->Selected()), Pics);
    // The first picture is the current one and the only one selected.
    EXPECT_EQ(Win->CurrentIndex(), 0);
    EXPECT_EQ(Win->GetSelectedPaths(), std::vector<std::string>{Pics + "a.jpg"});
    EXPECT_EQ(Win->ThumbnailGrid()->NumOfCells(), 3);
    Win->SelectAll();
    EXPECT_EQ(Win->GetSelectedNames(), (std::vector<std::string>{"a.jpg", "b.bmp", "C.bmp"}));
    // Closing saves the folder's cache.
    Win.reset();
    EXPECT_TRUE(FileExists(Pics + PicBrowserFileName));
}

// Each case changes the folder on disk as the main window would, then reports it.
class BrowserFileActions;
struct TFileActionCase {
    const char* Name;
    std::function<void(BrowserFileActions&)> Do;
    std::vector<std::string> Expected;
};

class BrowserFileActions : public BrowserWindow, public ::testing::WithParamInterface<TFileActionCase> {
public:
    using BrowserWindow::Other;
    using BrowserWindow::Pics;
    using BrowserWindow::Send;
    using BrowserWindow::Win;
};

TEST_P(BrowserFileActions, KeepTheListCurrent)
{
    Open(Pics);
    GetParam().Do(*this);
    EXPECT_EQ(Names(), GetParam().Expected);
    EXPECT_EQ(Win->ThumbnailGrid()->NumOfCells(), std::max<int>(1, static_cast<int>(GetParam().Expected.size())));
}

const std::vector<std::string> kAll{"a.jpg", "b.bmp", "C.bmp"};

INSTANTIATE_TEST_SUITE_P(
    BrowserWindow, BrowserFileActions,
    ::testing::Values(
        TFileActionCase{"CopiedIn",
                        [](BrowserFileActions& T) {
                            std::filesystem::copy_file(T.Other + "a.jpg", T.Pics + "d.JPG");
                            T.Send(faAdded, T.Pics, "d.JPG");
                        },
                        {"a.jpg", "b.bmp", "C.bmp", "d.JPG"}},
        TFileActionCase{"CopiedElsewhere",
                        [](BrowserFileActions& T) {
                            WriteBmp(T.Other + "e.bmp", 5, 5);
                            T.Send(faAdded, T.Other, "e.bmp");
                        },
                        kAll},
        TFileActionCase{"TextFileIgnored",
                        [](BrowserFileActions& T) {
                            WriteBmp(T.Pics + "fake.txt", 5, 5);
                            T.Send(faAdded, T.Pics, "fake.txt");
                        },
                        kAll},
        TFileActionCase{"DeletedHere",
                        [](BrowserFileActions& T) {
                            std::remove((T.Pics + "b.bmp").c_str());
                            T.Send(faRemoved, T.Pics, "b.bmp");
                        },
                        {"a.jpg", "C.bmp"}},
        TFileActionCase{"DeletedInFolderOfOtherCase",
                        [](BrowserFileActions& T) {
                            TDirTreeNode* Node = nullptr;
                            ASSERT_TRUE(T.Win->DirTreeView()->FindNode(T.Other, Node));
                            EXPECT_TRUE(Node->HasPictures);
                            std::remove((T.Other + "a.jpg").c_str());
                            T.Send(faRemoved, T.Other, "a.jpg");
                            EXPECT_FALSE(Node->HasPictures); // its last picture went
                            WriteBmp(T.Other + "e.bmp", 5, 5);
                            T.Send(faAdded, T.Other, "e.bmp");
                            EXPECT_TRUE(Node->HasPictures);
                        },
                        kAll},
        TFileActionCase{"MovedOut",
                        [](BrowserFileActions& T) {
                            std::filesystem::rename(T.Pics + "a.jpg", T.Other + "moved.jpg");
                            T.Send(faRemoved, T.Pics, "a.jpg");
                            T.Send(faAdded, T.Other, "a.jpg");
                        },
                        {"b.bmp", "C.bmp"}},
        TFileActionCase{"MovedIn",
                        [](BrowserFileActions& T) {
                            std::filesystem::rename(T.Other + "a.jpg", T.Pics + "z.jpg");
                            T.Send(faRemoved, T.Other, "z.jpg");
                            T.Send(faAdded, T.Pics, "z.jpg");
                        },
                        {"a.jpg", "b.bmp", "C.bmp", "z.jpg"}},
        TFileActionCase{"Renamed",
                        [](BrowserFileActions& T) {
                            std::filesystem::rename(T.Pics + "b.bmp", T.Pics + "B.bmp");
                            T.Send(faNameChanged, T.Pics, "b.bmp", "B.bmp");
                        },
                        {"a.jpg", "B.bmp", "C.bmp"}},
        TFileActionCase{"RenamedOutOfThePictures",
                        [](BrowserFileActions& T) {
                            std::filesystem::rename(T.Pics + "a.jpg", T.Pics + "a.txt");
                            T.Send(faNameChanged, T.Pics, "a.jpg", "a.txt");
                        },
                        {"b.bmp", "C.bmp"}},
        TFileActionCase{"RenamedIntoThePictures",
                        [](BrowserFileActions& T) {
                            WriteBmp(T.Pics + "new.txt", 9, 9);
                            std::filesystem::rename(T.Pics + "new.txt", T.Pics + "new.bmp");
                            T.Send(faNameChanged, T.Pics, "new.txt", "new.bmp");
                        },
                        {"a.jpg", "b.bmp", "C.bmp", "new.bmp"}},
        TFileActionCase{"FromAnotherSender",
                        [](BrowserFileActions& T) {
                            std::remove((T.Pics + "a.jpg").c_str());
                            TFileActionEvent E(TFileActionRecord{faRemoved, T.Pics, "a.jpg", ""}, 1);
                            QCoreApplication::sendEvent(T.Win.get(), &E);
                        },
                        kAll},
        TFileActionCase{"LastPicturesRemoved",
                        [](BrowserFileActions& T) {
                            for (const char* N : {"a.jpg", "b.bmp", "C.bmp"})
                                T.Send(faRemoved, T.Pics, N);
                            EXPECT_FALSE(T.Win->DirTreeView()->Selected()->HasPictures);
                        },
                        {}}),
    [](const ::testing::TestParamInfo<TFileActionCase>& Info) { return std::string(Info.param.Name); });

TEST_F(BrowserWindow, TheSelectionFollowsThePicturesWhenSomeAreRemoved)
{
    WriteBmp(Pics + "d.bmp", 8, 8, 5);
    WriteBmp(Pics + "e.bmp", 9, 9, 6);
    const struct {
        const char* Case;
        std::vector<const char*> Selected, Removed, After;
    } Cases[] = {
        {"one before the selection", {"b.bmp", "d.bmp"}, {"a.jpg"}, {"b.bmp", "d.bmp"}},
        {"a selected one", {"a.jpg", "C.bmp"}, {"a.jpg"}, {"C.bmp"}},
        // Pictures remain: the current one becomes the selection (After empty).
        {"every selected one, the last picture among them", {"b.bmp", "e.bmp"}, {"b.bmp", "e.bmp"}, {}},
        {"one after the selection", {"a.jpg"}, {"e.bmp"}, {"a.jpg"}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Case);
        for (const char* N : {"a.jpg", "b.bmp", "C.bmp", "d.bmp", "e.bmp"})
            if (!FileExists(Pics + N))
                WriteBmp(Pics + N, 10, 10, 7);
        Open(Pics);
        ASSERT_EQ(Win->PictureCount(), 5);
        TAdvSelectDrawGrid* Grid = Win->ThumbnailGrid();
        Grid->ClearSelection();
        for (const char* N : C.Selected)
            Grid->SelectCellEx(Grid->IndexCell(Win->Database().FindName(N)), false);
        for (const char* N : C.Removed) {
            std::remove((Pics + N).c_str());
            Send(faRemoved, Pics, N);
        }
        ASSERT_GE(Win->CurrentIndex(), 0);
        const std::vector<std::string> After = C.After.empty()
                                                   ? std::vector<std::string>{Win->Database().GetFileName(Win->CurrentIndex())}
                                                   : std::vector<std::string>(C.After.begin(), C.After.end());
        EXPECT_EQ(Win->GetSelectedNames(), After);
        Win.reset();
    }
}

TEST_F(BrowserWindow, ARefreshAfterTheSelectedPicturesWentSelectsTheCurrentOne)
{
    // The current and only selected picture C.bmp goes behind the window's back, b.bmp with it.
    Open(Pics);
    const TGridCoord Last = Win->ThumbnailGrid()->IndexCell(2);
    Win->ThumbnailGrid()->FocusCell(Last.X, Last.Y, true);
    ASSERT_EQ(Win->GetSelectedNames(), std::vector<std::string>{"C.bmp"});
    std::remove((Pics + "C.bmp").c_str());
    std::remove((Pics + "b.bmp").c_str());
    Win->RefreshView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Win->Loading(); }, 10000));
    EXPECT_EQ(Names(), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(Win->CurrentIndex(), 0);
    EXPECT_EQ(Win->GetSelectedNames(), std::vector<std::string>{"a.jpg"});
}

TEST_F(BrowserWindow, RenamedOntoAnotherPictureTheReplacedRecordGoes)
{
    // a.jpg (40 x 30), b.bmp (30 x 20) and C.bmp (12 x 50) are listed in this order; the replaced
    // picture is the first, one in the middle, the last.
    const struct {
        const char *From, *Onto, *Size;
        std::vector<std::string> After;
    } Cases[] = {
        {"b.bmp", "a.jpg", "30 x 20", {"a.jpg", "C.bmp"}},
        {"C.bmp", "b.bmp", "12 x 50", {"a.jpg", "b.bmp"}},
        {"b.bmp", "C.bmp", "30 x 20", {"a.jpg", "C.bmp"}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::string(C.From) + " onto " + C.Onto);
        std::remove((Pics + PicBrowserFileName).c_str());
        WriteBmp(Pics + "b.bmp", 30, 20, 1);
        WriteJpeg(Pics + "a.jpg", 40, 30, 2);
        WriteBmp(Pics + "C.bmp", 12, 50, 3);
        Open(Pics);
        ASSERT_EQ(Names(), kAll);
        // From replaces Onto, as a rename answered Yes does.
        std::filesystem::rename(Pics + C.From, Pics + C.Onto);
        Send(faNameChanged, Pics, C.From, C.Onto);
        EXPECT_EQ(Names(), C.After);
        EXPECT_EQ(Win->ThumbnailGrid()->NumOfCells(), 2);
        EXPECT_EQ(Win->Database().GetDimensionsText(Win->Database().FindName(C.Onto)), C.Size);
        // One record per file in the folder's cache too, and the next visit shows one cell for it.
        Win.reset();
        const std::vector<uint8_t> Cache = ReadBytes(Pics + PicBrowserFileName);
        ASSERT_GE(Cache.size(), 24u + 2 * 275u);
        EXPECT_EQ(Cache[20] | Cache[21] << 8 | Cache[22] << 16 | Cache[23] << 24, 2);
        std::vector<std::string> Cached;
        for (size_t I = 0; I < 2; ++I) {
            const uint8_t* Field = Cache.data() + 24 + I * 275;
            Cached.emplace_back(reinterpret_cast<const char*>(Field + 1), Field[0]);
        }
        EXPECT_EQ(Cached, C.After);
        Open(Pics);
        EXPECT_EQ(Names(), C.After);
        Win.reset();
    }
}

TEST_F(BrowserWindow, AnUpdatedFileGetsItsNewThumbnail)
{
    Open(Pics);
    WriteBmp(Pics + "b.bmp", 64, 16, 9);
    Send(faUpdated, Pics, "b.bmp");
    EXPECT_EQ(Win->Database().GetDimensionsText(1), "64 x 16");
    // Copying over an existing picture reports it added: the record is made again, not doubled.
    WriteBmp(Pics + "C.bmp", 7, 8, 9);
    Send(faAdded, Pics, "C.bmp");
    EXPECT_EQ(Names(), kAll);
    EXPECT_EQ(Win->Database().GetDimensionsText(2), "7 x 8");
}

TEST_F(BrowserWindow, ACachedFolderShowsAtOnceAndCatchesUp)
{
    Open(Pics);
    Win.reset(); // writes the cache
    std::remove((Pics + "b.bmp").c_str());
    WriteBmp(Pics + "n.bmp", 10, 10, 5);
    SetFileTime(Pics + "a.jpg", LocalTime(2001, 2, 3, 4, 5, 6));

    Win = std::make_unique<TCVBrowserChildWn>(nullptr, Pics, true, false);
    Win->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Win->Directory() == Pics; }, 10000));
    // The unchanged picture is there before any thumbnail is made.
    EXPECT_GE(Win->Database().FindName("C.bmp"), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Win->Loading(); }, 10000));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.jpg", "C.bmp", "n.bmp"}));
    EXPECT_EQ(Win->Database().Records(0)->FileAge, FileAgeOf(Pics + "a.jpg"));
    EXPECT_TRUE(Win->Database().Modified());
}

TEST_F(BrowserWindow, ANewFolderCancelsTheLoadInProgress)
{
    const std::string Many = Root.Path + "many/";
    std::filesystem::create_directory(Many);
    for (int I = 0; I < 60; ++I)
        WriteJpeg(Many + "p" + std::to_string(100 + I) + ".jpg", 400, 300, I);
    Open(Pics);
    // The progress shown in the status bar: every start is ended, also by the cancel.
    std::vector<int> Starts;
    int Steps = 0, Ends = 0;
    Win->OnProgressStart = [&](TBasicCVChild*, int Max) { Starts.push_back(Max); };
    Win->OnProgressStep = [&](TBasicCVChild*) { ++Steps; };
    Win->OnProgressEnd = [&](TBasicCVChild*) { ++Ends; };
    Win->ChangeDirectory(Many);
    EXPECT_TRUE(Win->Loading()); // the window does not wait for the thumbnails
    EXPECT_EQ(Starts, std::vector<int>{60});
    Win->ChangeDirectory(Pics);
    EXPECT_EQ(Ends, 1);
    EXPECT_LT(Steps, 60);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Win->Loading(); }, 10000));
    EXPECT_EQ(Names(), kAll);
    EXPECT_EQ(Ends, 1); // the cached folder made no thumbnails
    // What the cancelled load took in was cached consistently; the folder completes when shown again.
    Win->ChangeDirectory(Many);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Win->Loading(); }, 10000));
    EXPECT_EQ(Win->PictureCount(), 60);
    for (int I = 0; I < Win->PictureCount(); ++I)
        EXPECT_NE(Win->Database().DrawCell(I, false), nullptr);
}

TEST_F(BrowserWindow, StatusBarDescribesThePicture)
{
    Open(Pics);
    TXStatusBar Bar;
    for (int I = 0; I < 4; ++I)
        Bar.AddPanel()->SetWidth(I == 0 ? 60 : 120);
    Win->SetStatusBar(&Bar);
    const auto Panels = [&] {
        std::vector<std::string> P;
        for (int I = 0; I < 4; ++I)
            P.push_back(Bar.Panels(I)->Text());
        return P;
    };
    Win->UpdateStatusBar(1);
    EXPECT_EQ(Panels(), (std::vector<std::string>{"b.bmp", Win->Database().GetDateText(1), "30 x 20", "2 of 3"}));
    // Without the tree the folder is shown too, shortened to the panel.
    Win->SetTreeVisible(false);
    Win->UpdateStatusBar(2);
    const std::string First = Panels()[0];
    EXPECT_NE(First, "C.bmp");
    EXPECT_LE(Bar.fontMetrics().horizontalAdvance(QString::fromStdString(First)), 60);
    EXPECT_EQ(Panels()[3], "3 of 3");
    Win->UpdateStatusBar(3);
    EXPECT_EQ(Panels(), std::vector<std::string>(4));
    Win->SetStatusBar(nullptr);
}

TEST_F(BrowserWindow, ChoosingTheFolderShownReloadsNothing)
{
    Open(Pics);
    int Changes = 0;
    Win->OnContentsChange = [&](TCVBrowserChildWn*) { ++Changes; };
    Win->ChangeDirectory(Pics.substr(0, Pics.size() - 1));
    EXPECT_EQ(Changes, 0);
    Win->ChangeDirectory(Other);
    EXPECT_EQ(Win->Directory(), Other); // another folder, though only the case differs
    EXPECT_GT(Changes, 0);
}

TEST_F(BrowserWindow, DraggingInsideTheGridReorders)
{
    Open(Pics);
    TAdvSelectDrawGrid* G = Win->ThumbnailGrid();
    const auto Centre = [&](int Index) { return G->CellRect(Index % G->ColCount(), Index / G->ColCount()).center(); };
    const auto DragDrop = [&](int From, int To) {
        G->OnMouseDown(G, Qt::LeftButton, Qt::NoModifier, Centre(From).x(), Centre(From).y());
        G->OnMouseMove(G, Qt::LeftButton, Qt::NoModifier, Centre(From).x() + 1, Centre(From).y());
        bool Accept = false;
        G->OnDragOver(G, G, Centre(To).x(), Centre(To).y(), Accept);
        EXPECT_TRUE(Accept);
        G->OnDragDrop(G, G, Centre(To).x(), Centre(To).y());
    };
    DragDrop(0, 0);
    EXPECT_EQ(Names(), kAll);
    DragDrop(0, 2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"b.bmp", "C.bmp", "a.jpg"}));
    EXPECT_EQ(Win->CurrentIndex(), 2);
    // Only the grid's own thumbnails are taken.
    bool Accept = true;
    G->OnDragOver(G, nullptr, Centre(1).x(), Centre(1).y(), Accept);
    EXPECT_FALSE(Accept);
}

TEST_F(BrowserWindow, DoubleClickOpensEverySelectedPicture)
{
    Open(Pics);
    std::vector<std::string> Opened;
    Win->OnOpenFile = [&](TCVBrowserChildWn*, const std::string& Path) { Opened.push_back(Path); };
    Win->SelectAll();
    Win->ThumbnailGrid()->OnDblClick(Win->ThumbnailGrid());
    EXPECT_EQ(Opened, (std::vector<std::string>{Pics + "a.jpg", Pics + "b.bmp", Pics + "C.bmp"}));
}

TEST_F(BrowserWindow, SortingKeepsTheCurrentPicture)
{
    Open(Pics);
    Win->SortBySize(false); // C 600, a 1200, b 600 pixels
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.jpg", "b.bmp", "C.bmp"}));
    Win->ThumbnailGrid()->FocusCell(1, 0, true); // b.bmp
    Win->SortByName(false);
    EXPECT_EQ(Names(), (std::vector<std::string>{"C.bmp", "b.bmp", "a.jpg"}));
    EXPECT_EQ(Win->Database().GetFileName(Win->CurrentIndex()), "b.bmp");
    EXPECT_TRUE(UI.Messages.empty());
}

TEST_F(BrowserWindow, RecentFoldersAndSettingsAreSavedAndRead)
{
    {
        TRegistry Reg;
        ASSERT_TRUE(Reg.OpenKey(SBrowserKey, true));
        Reg.WriteInteger("SelectColour", 0x00FFFF); // yellow
        ASSERT_TRUE(Reg.OpenKey(SRecentDirsKey, true));
        Reg.WriteString("Dir1", Other);
        Reg.WriteString("Dir7", "/stale");
        Reg.CloseKey();
    }
    std::vector<std::string> Dirs;
    for (int I = 0; I < 6; ++I) {
        Dirs.push_back(Root.Path + "d" + std::to_string(I) + "/");
        std::filesystem::create_directory(Dirs.back());
    }
    Open(Other);
    EXPECT_EQ(Win->SelectColour(), 0x00FFFF);
    EXPECT_EQ(Win->SelTextColour(), clBlack);
    for (const std::string& D : Dirs)
        Win->ChangeDirectory(D);
    Win->ChangeDirectory(Dirs[2]); // listed already: to the top, not twice
    const auto Items = [&](TCVBrowserChildWn& W) {
        std::vector<std::string> I;
        for (int K = 0; K < W.RecentDirsCombo()->count(); ++K)
            I.push_back(W.RecentDirsCombo()->itemText(K).toStdString());
        return I;
    };
    const std::vector<std::string> Expected{Dirs[2], Dirs[5], Dirs[4], Dirs[3], Dirs[1]};
    EXPECT_EQ(Items(*Win), Expected);
    ASSERT_TRUE(Win->CloseQuery());

    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(SRecentDirsKey, false));
    EXPECT_FALSE(Reg.ValueExists("Dir7"));
    EXPECT_EQ(Reg.ReadString("Dir1", ""), Dirs[2]);
    Reg.CloseKey();
    TCVBrowserChildWn Again(nullptr, "", true, false);
    EXPECT_EQ(Items(Again), Expected);
    EXPECT_EQ(Again.SelectColour(), 0x00FFFF);

    // A listed folder that has gone is reported and leaves the list.
    std::filesystem::remove(Dirs[4]);
    Win->RecentDirsCombo()->setCurrentIndex(2);
    emit Win->RecentDirsCombo()->activated(2);
    EXPECT_EQ(UI.Messages, std::vector<std::string>{Dirs[4] + " does not exist."});
    EXPECT_EQ(Win->RecentDirsCombo()->count(), 4);
    EXPECT_EQ(Win->RecentDirsCombo()->currentIndex(), 0);
    // The shorter list saved over the longer one: the gone folder does not come back at the next start.
    ASSERT_TRUE(Win->CloseQuery());
    TCVBrowserChildWn Later(nullptr, "", true, false);
    EXPECT_EQ(Items(Later), (std::vector<std::string>{Dirs[2], Dirs[5], Dirs[3], Dirs[1]}));
}

TEST_F(BrowserWindow, AThumbnailThatCannotBeDrawnIsReportedOncePerLoad)
{
    // A cache whose thumbnail has a readable header but a Huffman table that cannot be built (three
    // codes of one bit), for a file that is not a picture, so that it cannot be made again either.
    const std::string Bad = Root.Path + "bad/";
    std::filesystem::create_directory(Bad);
    WriteText(Bad + "broken.bmp", "not a picture");
    std::vector<uint8_t> Jpeg = JpegBytes(20, 20, 1);
    bool Damaged = false;
    for (size_t I = 0; I + 21 < Jpeg.size() && !Damaged; ++I)
        if (Jpeg[I] == 0xFF && Jpeg[I + 1] == 0xC4) {
            uint8_t* Bits = &Jpeg[I + 5];
            for (int K = 1; K < 16 && !Damaged; ++K)
                if (Bits[K] >= 3) {
                    Bits[K] -= 3;
                    Bits[0] += 3;
                    Damaged = true;
                }
        }
    ASSERT_TRUE(Damaged);
    TCacheWriter Cache;
    Cache.Magic();
    Cache.Int32(1);
    Cache.Int32(1);
    Cache.Record("broken.bmp", FileAgeOf(Bad + "broken.bmp"), 20, 20, 0, int32_t(Jpeg.size()));
    Cache.Append(Jpeg);
    WriteBytes(Bad + PicBrowserFileName, Cache.Bytes);

    Open(Bad);
    ASSERT_EQ(Win->PictureCount(), 1);
    for (int Paint = 0; Paint < 3; ++Paint) {
        Win->ThumbnailGrid()->viewport()->grab();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(UI.Messages, std::vector<std::string>{"Can not display image."});
    Win->RefreshView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Win->Loading(); }, 10000));
    Win->ThumbnailGrid()->viewport()->grab();
    QCoreApplication::processEvents();
    EXPECT_EQ(UI.Messages.size(), 2u);
}

TEST(BrowserContrastColour, BlackOnLightWhiteOnDark)
{
    const struct {
        TColor Colour;
        TColor Expected;
    } Cases[] = {{clHighlight, clWhite}, {0x00FFFF, clBlack}, {0xFF0000, clWhite}, {0xFFFFFF, clBlack}, {0, clWhite}};
    for (const auto& C : Cases)
        EXPECT_EQ(TCVBrowserChildWn::ContrastColour(C.Colour), C.Expected) << std::hex << C.Colour;
}

} // namespace
