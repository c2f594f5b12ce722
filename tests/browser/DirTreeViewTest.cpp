// The folder tree on a real temporary folder tree: picture marks, paths to nodes and back, selecting a
// deep path, a rebuild that keeps the expanded folders and the selection, reading folders off the GUI
// thread, drag-over scrolling and expanding, drops, and which mounted volumes become roots.
#include "browser/DirTreeView.h"
#include "browser/ExpdNdeLst.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using dirtree::TVolumeInfo;

namespace {

// Runs the event loop until Done holds or Ms have passed; whether it holds.
template <typename F>
bool WaitUntil(F Done, int Ms = 3000)
{
    QElapsedTimer Clock;
    Clock.start();
    while (!Done() && Clock.elapsed() < Ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return Done();
}

// Runs the event loop until the tree has read everything it waits for.
bool WaitIdle(const TCustomDirTreeView& Tree, int Ms = 10000)
{
    return WaitUntil([&] { return !Tree.IsLoading(); }, Ms);
}

struct TNodeChange {
    std::string From;
    std::string To;
};

class DirTreeViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Tmp.isValid());
        Root = QFile::encodeName(Tmp.path()).toStdString();
        Tree.SetVolumeSource([] { return std::vector<TVolumeInfo>{}; });
        Tree.OnNodeChange = [this](TCustomDirTreeView* Sender, TDirTreeNode* From, TDirTreeNode* To) {
            Changes.push_back({Sender->GetNodePath(From), Sender->GetNodePath(To)});
        };
        Tree.resize(300, 400);
    }

    // QTemporaryDir cannot remove a name that is not UTF-8.
    void TearDown() override { fs::remove_all(Root); }

    void Dir(const std::string& Rel) { fs::create_directories(Root + "/" + Rel); }
    void File(const std::string& Rel) { std::ofstream(Root + "/" + Rel) << "x"; }
    std::string Path(const std::string& Rel) const { return Rel.empty() ? Root : Root + "/" + Rel; }
    TDirTreeNode* Node(const std::string& Rel) const
    {
        TDirTreeNode* N = nullptr;
        return Tree.FindNode(Path(Rel), N) ? N : nullptr;
    }
    void Start()
    {
        ASSERT_TRUE(Tree.Initialize());
        ASSERT_TRUE(WaitIdle(Tree));
    }
    void Select(const std::string& Rel)
    {
        Tree.SelectPath(Path(Rel));
        ASSERT_TRUE(WaitIdle(Tree));
    }

    QTemporaryDir Tmp;
    std::string Root;
    TDirTreeView Tree;
    std::vector<TNodeChange> Changes;
};

} // namespace

// ---- Picture marks ----------------------------------------------------------------------------------
TEST(DirTreeMatch, ExtensionsIgnoreCaseButNeedTheDot)
{
    const std::vector<std::string> Types = {"bmp", "jpg", "jpeg", "gif"};
    const struct {
        const char* Name;
        bool Match;
    } Cases[] = {
        {"a.JPG", true},  {"a.gif", true},     {"photo.Jpeg", true}, {"x.GIF", true},   {"a.txt", false},
        {"ajpg", false},  {"a.jpg.txt", false}, {"a.jp", false},     {"jpg", false},    {"a.bmpx", false},
        {"a..bmp", true}, {".jpg", true}, // a hidden name is left out by the listing, not here
    };
    for (const auto& C : Cases)
        EXPECT_EQ(dirtree::MatchesFileType(C.Name, Types), C.Match) << C.Name;
    EXPECT_FALSE(dirtree::MatchesFileType("a.jpg", {}));
}

TEST_F(DirTreeViewTest, MarksFoldersHoldingPictureFilesOnly)
{
    Dir("Pics");
    File("Pics/a.JPG");
    Dir("pics");
    File("pics/a.txt");
    Dir("hidden");
    File("hidden/.b.jpg");
    Dir("fake/pic.jpg"); // a folder whose name looks like a picture
    Dir("gifs");
    File("gifs/ONLY.GIF");
    Start();
    Select("");

    TDirTreeNode* Top = Node("");
    ASSERT_NE(Top, nullptr);
    Top->setExpanded(true);
    ASSERT_TRUE(WaitIdle(Tree));
    const struct {
        const char* Rel;
        bool Marked;
    } Cases[] = {{"Pics", true}, {"pics", false}, {"hidden", false}, {"fake", false}, {"gifs", true}};
    for (const auto& C : Cases) {
        TDirTreeNode* N = Node(C.Rel);
        ASSERT_NE(N, nullptr) << C.Rel;
        EXPECT_EQ(N->HasPictures, C.Marked) << C.Rel;
        EXPECT_EQ(Tree.DirHasPictures(Path(C.Rel)), C.Marked) << C.Rel;
    }
    // A folder with a subfolder keeps its expand button; one without shows none.
    EXPECT_EQ(Node("fake")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(Node("gifs")->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);

    // Changing the types rebuilds the tree with new marks.
    Tree.SetFileTypes("txt");
    ASSERT_TRUE(WaitIdle(Tree));
    EXPECT_EQ(Tree.FileTypes(), "txt");
    ASSERT_NE(Node("pics"), nullptr);
    EXPECT_TRUE(Node("pics")->HasPictures);
    EXPECT_FALSE(Node("Pics")->HasPictures);
}

TEST_F(DirTreeViewTest, FolderNamesDifferingInCaseAreDifferentNodes)
{
    Dir("Pics/Inner");
    Dir("pics/inner");
    Start();
    Select("pics/inner");
    ASSERT_NE(Tree.Selected(), nullptr);
    EXPECT_EQ(Tree.GetNodePath(Tree.Selected()), Path("pics/inner/"));
    // "Pics" was never expanded, so it has no node for its child yet.
    EXPECT_EQ(Node("Pics/Inner"), nullptr);
    EXPECT_NE(Node("Pics"), Node("pics"));
    // A path in the wrong case ends the walk at the deepest folder spelled exactly.
    Select("PICS/inner");
    EXPECT_EQ(Tree.GetNodePath(Tree.Selected()), Path("") + "/");
}

// ---- Paths ------------------------------------------------------------------------------------------
TEST_F(DirTreeViewTest, PathToNodeAndBack)
{
    Dir("a/b c/d");
    Dir("a/\xC3\xA9t\xC3\xA9"); // UTF-8 name
    Dir("a/raw\xFF");           // a name that is not UTF-8 keeps its bytes
    Start();
    Select("a/b c/d");
    Select("a/raw\xFF");
    for (const char* Rel : {"a", "a/b c", "a/b c/d", "a/\xC3\xA9t\xC3\xA9", "a/raw\xFF"}) {
        TDirTreeNode* N = Node(Rel);
        ASSERT_NE(N, nullptr) << Rel;
        EXPECT_EQ(Tree.GetNodePath(N), Path(Rel) + "/") << Rel;
        EXPECT_EQ(N->Path(), Path(Rel)) << Rel;
    }
    EXPECT_EQ(Node("a/\xC3\xA9t\xC3\xA9")->text(0), QString::fromUtf8("\xC3\xA9t\xC3\xA9"));
    // Spellings of the same path find the same node.
    for (const std::string& Spelling : {Path("a/b c/d/"), Path("a//b c/./d"), Path("a/b c/x/../d")}) {
        TDirTreeNode* N = nullptr;
        EXPECT_TRUE(Tree.FindNode(Spelling, N)) << Spelling;
        EXPECT_EQ(N, Node("a/b c/d")) << Spelling;
    }
    TDirTreeNode* FsRoot = nullptr;
    ASSERT_TRUE(Tree.FindNode("/", FsRoot));
    EXPECT_EQ(Tree.GetNodePath(FsRoot), "/");
    EXPECT_EQ(Tree.GetNodePath(nullptr), "");
}

TEST_F(DirTreeViewTest, SelectsADeepPathOnceAndShowsIt)
{
    Dir("a/b/c/d/e");
    Start();
    Select("a/b/c/d/e");
    TDirTreeNode* Deep = Node("a/b/c/d/e");
    ASSERT_NE(Deep, nullptr);
    EXPECT_EQ(Tree.Selected(), Deep);
    EXPECT_EQ(Tree.CurrentNode(), Deep);
    EXPECT_FALSE(Deep->isExpanded()); // the last one is shown, not expanded
    for (const char* Rel : {"a", "a/b", "a/b/c", "a/b/c/d"})
        EXPECT_TRUE(Node(Rel)->isExpanded()) << Rel;
    ASSERT_EQ(Changes.size(), 1u); // one report for the whole walk
    EXPECT_EQ(Changes[0].From, "");
    EXPECT_EQ(Changes[0].To, Path("a/b/c/d/e/"));
    EXPECT_EQ(Tree.CurrentDrive(), "/");

    // A path whose last folders do not exist selects the deepest one that does.
    Select("a/b/missing/x");
    EXPECT_EQ(Tree.Selected(), Node("a/b"));
    ASSERT_EQ(Changes.size(), 2u);
    EXPECT_EQ(Changes[1].From, Path("a/b/c/d/e/"));
    EXPECT_EQ(Changes[1].To, Path("a/b/"));

    // A relative path or one outside every root selects nothing new; nothing before Initialize.
    TDirTreeView Fresh;
    Fresh.SelectPath(Path("a"));
    EXPECT_FALSE(Fresh.IsLoading());
    EXPECT_EQ(Fresh.topLevelItemCount(), 0);
}

TEST_F(DirTreeViewTest, UserChoiceReplacesAWaitingWalk)
{
    Dir("a/b");
    Dir("z");
    Start();
    Select("z");
    Changes.clear();
    // The walk to a/b waits for folders to be read; the user picks z's parent meanwhile.
    Tree.SelectPath(Path("a/b"));
    Tree.setCurrentItem(Node(""));
    ASSERT_TRUE(WaitIdle(Tree));
    EXPECT_EQ(Tree.Selected(), Node(""));
    ASSERT_EQ(Changes.size(), 1u);
    EXPECT_EQ(Changes[0].To, Path("") + "/");
}

// ---- Rebuilding -------------------------------------------------------------------------------------
TEST_F(DirTreeViewTest, RebuildKeepsExpandedFoldersAndSelection)
{
    Dir("a/b/c");
    Dir("a/x/y");
    Dir("k/l");
    Start();
    Select("a/b/c");
    Node("a/x")->setExpanded(true);
    ASSERT_TRUE(WaitIdle(Tree));
    Node("a/b")->setExpanded(false); // collapsed below an expanded folder
    Changes.clear();

    Dir("a/new"); // added since the last reading
    File("a/b/c/p.jpg");
    Tree.RefreshTree();
    ASSERT_TRUE(WaitIdle(Tree));

    for (const char* Rel : {"", "a", "a/x"}) {
        ASSERT_NE(Node(Rel), nullptr) << Rel;
        EXPECT_TRUE(Node(Rel)->isExpanded()) << Rel;
    }
    EXPECT_NE(Node("a/new"), nullptr);
    EXPECT_FALSE(Node("a/b")->isExpanded());
    EXPECT_FALSE(Node("k")->isExpanded());
    // The selection was under a collapsed folder: it cannot be found without expanding, so it goes.
    EXPECT_EQ(Tree.Selected(), nullptr);

    Select("a/b/c");
    ASSERT_NE(Node("a/b/c"), nullptr);
    EXPECT_TRUE(Node("a/b/c")->HasPictures);
    Changes.clear();
    Tree.RefreshTree();
    ASSERT_TRUE(WaitIdle(Tree));
    ASSERT_NE(Node("a/b/c"), nullptr);
    EXPECT_EQ(Tree.Selected(), Node("a/b/c"));
    EXPECT_EQ(Tree.CurrentNode(), Node("a/b/c"));
    EXPECT_TRUE(Changes.empty()); // the same folder: the browser has nothing to reload
}

TEST(ExpdNodeList, NamesAreExactAndEntriesNest)
{
    TExpdNodeList List;
    EXPECT_EQ(List.Items(0), nullptr);
    TExpdNodeData* Pics = List.Add("Pics");
    List.Add("pics");
    Pics->SubNodes.Add("Inner")->SubNodes.Add("Deeper");
    EXPECT_EQ(List.Count(), 2);
    EXPECT_EQ(List.IndexOfName("Pics"), 0);
    EXPECT_EQ(List.IndexOfName("pics"), 1);
    EXPECT_EQ(List.IndexOfName("PICS"), -1);
    EXPECT_EQ(List.Items(0)->SubNodes.Items(0)->SubNodes.Items(0)->Name, "Deeper");
    EXPECT_EQ(List.Items(2), nullptr);
    EXPECT_EQ(List.Items(-1), nullptr);
    EXPECT_THROW(List.Delete(2), EListError);
    List.Delete(0);
    EXPECT_EQ(List.IndexOfName("pics"), 0);
    List.Clear();
    EXPECT_EQ(List.Count(), 0);
}

// ---- Reading off the GUI thread ---------------------------------------------------------------------
namespace {

// A folder reader that holds back the reading of one folder until released, as a dead mount would.
struct TGate {
    std::mutex M;
    std::condition_variable Cv;
    bool Open = false;
    std::atomic<int> Waiting{0};
    void Release()
    {
        std::lock_guard<std::mutex> L(M);
        Open = true;
        Cv.notify_all();
    }
};

} // namespace

TEST_F(DirTreeViewTest, ASlowFolderShowsLoadingAndNeverBlocks)
{
    Dir("slow/inner");
    auto Gate = std::make_shared<TGate>();
    const std::string Slow = Path("slow");
    Tree.SetFolderReader([Gate, Slow](const std::string& P, const std::vector<std::string>& Types) {
        if (P == Slow) {
            ++Gate->Waiting;
            std::unique_lock<std::mutex> L(Gate->M);
            Gate->Cv.wait(L, [&] { return Gate->Open; });
        }
        return dirtree::ReadSubFolders(P, Types);
    });
    Start();
    Select("");
    Tree.SelectPath(Path("slow/inner"));
    QElapsedTimer Clock;
    Clock.start();
    while (Gate->Waiting == 0 && Clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(Gate->Waiting, 1);

    // The GUI thread goes on while the folder is read: the node shows a placeholder.
    TDirTreeNode* SlowNode = Node("slow");
    ASSERT_NE(SlowNode, nullptr);
    EXPECT_TRUE(SlowNode->Loading);
    ASSERT_EQ(SlowNode->childCount(), 1);
    EXPECT_EQ(SlowNode->child(0)->text(0), "Loading...");
    EXPECT_FALSE(SlowNode->child(0)->flags() & Qt::ItemIsSelectable);
    EXPECT_TRUE(Tree.IsLoading());
    EXPECT_FALSE(WaitIdle(Tree, 100));

    Gate->Release();
    ASSERT_TRUE(WaitIdle(Tree));
    EXPECT_EQ(Tree.Selected(), Node("slow/inner"));
    EXPECT_FALSE(SlowNode->Loading);
    EXPECT_EQ(SlowNode->childCount(), 1);
}

TEST_F(DirTreeViewTest, ResultsForNodesGoneInARebuildAreDropped)
{
    Dir("slow/inner");
    auto Gate = std::make_shared<TGate>();
    const std::string Slow = Path("slow");
    Tree.SetFolderReader([Gate, Slow](const std::string& P, const std::vector<std::string>& Types) {
        if (P == Slow && Gate->Waiting++ == 0) {
            std::unique_lock<std::mutex> L(Gate->M);
            Gate->Cv.wait(L, [&] { return Gate->Open; });
        }
        return dirtree::ReadSubFolders(P, Types);
    });
    Start();
    Select("slow");
    ASSERT_NE(Node("slow"), nullptr);
    Node("slow")->setExpanded(true);
    Tree.RefreshTree(); // the first reading of "slow" is still held back
    Gate->Release();
    ASSERT_TRUE(WaitIdle(Tree));
    ASSERT_NE(Node("slow"), nullptr);
    EXPECT_TRUE(Node("slow")->isExpanded());
    EXPECT_EQ(Node("slow")->childCount(), 1);
    EXPECT_NE(Node("slow/inner"), nullptr);
}

TEST_F(DirTreeViewTest, AnEmptyRootIsReadAgainOnItsNextExpansion)
{
    auto Ready = std::make_shared<std::atomic<bool>>(false);
    Tree.SetFolderReader([Ready](const std::string& P, const std::vector<std::string>&) {
        dirtree::TFolderListing L;
        L.Ok = true;
        if (P == "/" && *Ready)
            L.SubFolders.push_back({"media", false, false});
        return L;
    });
    Start();
    TDirTreeNode* FsRoot = nullptr;
    ASSERT_TRUE(Tree.FindNode("/", FsRoot));
    FsRoot->setExpanded(true);
    ASSERT_TRUE(WaitIdle(Tree));
    EXPECT_FALSE(FsRoot->Populated);
    EXPECT_FALSE(FsRoot->isExpanded());
    EXPECT_EQ(FsRoot->childCount(), 0);
    EXPECT_EQ(FsRoot->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);

    *Ready = true;
    FsRoot->setExpanded(true);
    ASSERT_TRUE(WaitIdle(Tree));
    EXPECT_TRUE(FsRoot->Populated);
    ASSERT_EQ(FsRoot->childCount(), 1);
    EXPECT_EQ(FsRoot->child(0)->text(0), "media");
}

// ---- Drag over and drop -----------------------------------------------------------------------------
namespace {

void SendDrag(QWidget* Viewport, QEvent::Type Type, const QPoint& Pos, const QMimeData& Data)
{
    if (Type == QEvent::Drop) {
        QDropEvent Ev(QPointF(Pos), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Viewport, &Ev);
    } else {
        QDragMoveEvent Ev(Pos, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier, Type);
        QCoreApplication::sendEvent(Viewport, &Ev);
    }
}

} // namespace

class DirTreeDragTest : public DirTreeViewTest {
protected:
    void SetUp() override
    {
        DirTreeViewTest::SetUp();
        for (int I = 0; I < 40; ++I)
            Dir(std::string(I < 10 ? "f0" : "f") + std::to_string(I) + "/sub");
        Tree.OnDragOver = [](TCustomDirTreeView*, QObject*, int, int, bool& Accept) { Accept = true; };
        Tree.resize(300, 200);
        Tree.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Tree));
        Start();
        Select("");
        Node("")->setExpanded(true);
        ASSERT_TRUE(WaitIdle(Tree));
        Tree.scrollToItem(Node("f00"), QAbstractItemView::PositionAtTop);
    }
    QTreeWidgetItem* TopItem() const { return Tree.itemAt(QPoint(0, 0)); }
    // The row of one of the temporary folder's subfolders (-1 for any other item).
    int Row(QTreeWidgetItem* Item) const
    {
        return Item && Item->parent() == Node("") ? Node("")->indexOfChild(Item) : -1;
    }
    // A point in the middle of the last wholly visible row.
    QPoint BottomRow() const
    {
        const int H = Tree.viewport()->height();
        QTreeWidgetItem* Item = TopItem();
        while (Tree.itemBelow(Item) && Tree.visualItemRect(Tree.itemBelow(Item)).bottom() < H)
            Item = Tree.itemBelow(Item);
        return Tree.visualItemRect(Item).center();
    }
    QMimeData Data;
};

TEST_F(DirTreeDragTest, ScrollsOneRowPerDragMoveWhenTheTimeIsZero)
{
    Tree.SetScrollOnDragOverTime(0);
    const int Before = Row(TopItem());
    const QPoint Bottom = BottomRow();
    SendDrag(Tree.viewport(), QEvent::DragEnter, Bottom, Data);
    EXPECT_EQ(Row(TopItem()), Before + 1);
    for (int I = 2; I <= 4; ++I) {
        SendDrag(Tree.viewport(), QEvent::DragMove, Bottom, Data);
        EXPECT_EQ(Row(TopItem()), Before + I);
    }
    EXPECT_FALSE(Tree.DragTimerActive());
    // Nothing more happens without another drag move.
    QTest::qWait(50);
    EXPECT_EQ(Row(TopItem()), Before + 4);
    SendDrag(Tree.viewport(), QEvent::DragLeave, QPoint(), Data);
}

TEST_F(DirTreeDragTest, TimerScrollsOneStepPerTickWhileTheMouseRests)
{
    Tree.SetScrollOnDragOverTime(30);
    const int Before = Row(TopItem());
    SendDrag(Tree.viewport(), QEvent::DragEnter, BottomRow(), Data);
    EXPECT_EQ(Row(TopItem()), Before); // nothing until the timer fires
    EXPECT_TRUE(Tree.DragTimerActive());
    EXPECT_TRUE(WaitUntil([&] { return Row(TopItem()) >= Before + 2; })); // goes on while the mouse rests
    EXPECT_TRUE(Tree.DragTimerActive());
    SendDrag(Tree.viewport(), QEvent::DragLeave, QPoint(), Data);
    EXPECT_FALSE(Tree.DragTimerActive());
    const int Stopped = Row(TopItem());
    QTest::qWait(100);
    EXPECT_EQ(Row(TopItem()), Stopped);

    // Scrolling up from the top row.
    SendDrag(Tree.viewport(), QEvent::DragEnter, Tree.visualItemRect(TopItem()).center(), Data);
    EXPECT_TRUE(WaitUntil([&] { return Row(TopItem()) < Stopped; }));
    Tree.SetScrollOnDragOver(false); // changing the flag cancels the pending step
    EXPECT_FALSE(Tree.DragTimerActive());
}

TEST_F(DirTreeDragTest, ExpandsTheFolderUnderTheDragAfterTheDelay)
{
    Tree.SetExpandOnDragOverTime(30);
    TDirTreeNode* Target = Node("f01");
    ASSERT_FALSE(Target->isExpanded());
    SendDrag(Tree.viewport(), QEvent::DragEnter, Tree.visualItemRect(Target).center(), Data);
    EXPECT_FALSE(Target->isExpanded());
    EXPECT_TRUE(WaitUntil([&] { return Target->isExpanded(); }));
    ASSERT_TRUE(WaitIdle(Tree));
    EXPECT_NE(Node("f01/sub"), nullptr);
    // Moving off the folder before the delay leaves it closed.
    TDirTreeNode* Other = Node("f02");
    Tree.SetExpandOnDragOverTime(200);
    SendDrag(Tree.viewport(), QEvent::DragMove, Tree.visualItemRect(Other).center(), Data);
    SendDrag(Tree.viewport(), QEvent::DragLeave, QPoint(), Data);
    QTest::qWait(300);
    EXPECT_FALSE(Other->isExpanded());
}

TEST_F(DirTreeDragTest, DropIsReportedAfterTheEventWithItsFolder)
{
    std::vector<std::string> Drops;
    Tree.OnFileDragDrop = [&](TCustomDirTreeView* Sender, QObject*, int, int) {
        Drops.push_back(static_cast<TDirTreeView*>(Sender)->DragDropPath());
    };
    Tree.SetExpandOnDragOverTime(5000);
    TDirTreeNode* Target = Node("f03");
    SendDrag(Tree.viewport(), QEvent::DragEnter, Tree.visualItemRect(Target).center(), Data);
    EXPECT_TRUE(Tree.DragTimerActive());
    SendDrag(Tree.viewport(), QEvent::Drop, Tree.visualItemRect(Target).center(), Data);
    EXPECT_FALSE(Tree.DragTimerActive());
    EXPECT_TRUE(Drops.empty());
    ASSERT_TRUE(WaitUntil([&] { return Drops.size() == 1; }));
    EXPECT_EQ(Drops[0], Path("f03/"));
    EXPECT_EQ(Tree.DragDropNode(), Target);

    // A refused drag neither acts nor drops.
    Tree.OnDragOver = [](TCustomDirTreeView*, QObject*, int, int, bool& Accept) { Accept = false; };
    Tree.SetExpandOnDragOverTime(0);
    SendDrag(Tree.viewport(), QEvent::DragEnter, Tree.visualItemRect(Node("f04")).center(), Data);
    SendDrag(Tree.viewport(), QEvent::DragMove, Tree.visualItemRect(Node("f04")).center(), Data);
    EXPECT_FALSE(Node("f04")->isExpanded());
    SendDrag(Tree.viewport(), QEvent::Drop, Tree.visualItemRect(Node("f04")).center(), Data);
    QTest::qWait(20);
    EXPECT_EQ(Drops.size(), 1u);
}

// ---- Roots ------------------------------------------------------------------------------------------
TEST(DirTreeRoots, OnlyRealVolumesBecomeRoots)
{
    const struct {
        TVolumeInfo Volume;
        bool Real;
    } Cases[] = {
        {{"/media/anna/USB", "/dev/sdb1", "vfat", "USB", true, true}, true},
        {{"/run/media/anna/CARD", "/dev/mmcblk0p1", "exfat", "CARD", true, true}, true},
        {{"/mnt/nas", "nas:/share", "nfs4", "/mnt/nas", true, true}, true},
        {{"/data", "/dev/sda3", "ext4", "/data", true, true}, true},
        {{"/", "/dev/sda1", "ext4", "/", true, true}, false}, // the root is a root anyway
        {{"/", "overlay", "overlay", "/", true, true}, false},
        {{"/var/lib/docker/overlay2/x/merged", "overlay", "overlay", "", true, true}, false},
        {{"/proc", "proc", "proc", "", true, true}, false},
        {{"/sys", "sysfs", "sysfs", "", true, true}, false},
        {{"/sys/fs/cgroup", "cgroup2", "cgroup2", "", true, true}, false},
        {{"/dev", "udev", "devtmpfs", "", true, true}, false},
        {{"/dev/shm", "tmpfs", "tmpfs", "", true, true}, false},
        {{"/tmp", "tmpfs", "tmpfs", "", true, true}, false},
        {{"/run/user/1000", "tmpfs", "tmpfs", "", true, true}, false},
        {{"/run/user/1000/gvfs", "gvfsd-fuse", "fuse.gvfsd-fuse", "", true, true}, false},
        {{"/snap/core/1", "/dev/loop0", "squashfs", "", true, true}, false},
        {{"/boot/efi", "/dev/sda2", "vfat", "", true, true}, true},
        // Names that only begin like a system folder are the user's.
        {{"/devices", "/dev/sde1", "ext4", "", true, true}, true},
        {{"/running", "/dev/sde2", "ext4", "", true, true}, true},
        {{"/snapshots", "/dev/sde3", "btrfs", "", true, true}, true},
        {{"/procedures", "/dev/sde4", "ext4", "", true, true}, true},
        {{"/run/mediax/anna", "/dev/sde5", "ext4", "", true, true}, false},
        {{"/media/anna/GONE", "/dev/sdc1", "vfat", "GONE", false, false}, false},
        {{"/media/anna/NOTREADY", "/dev/sr0", "iso9660", "DISC", true, false}, false},
        {{"relative", "/dev/sdd1", "ext4", "", true, true}, false},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(dirtree::IsRealVolume(C.Volume), C.Real) << C.Volume.RootPath << " " << C.Volume.FileSystemType;
}

TEST_F(DirTreeViewTest, RootsAreTheFileSystemHomeAndRealVolumes)
{
    Dir("vol/inside");
    const std::string Vol = Path("vol");
    Tree.SetVolumeSource([Vol] {
        return std::vector<TVolumeInfo>{{"/proc", "proc", "proc", "", true, true},
                                        {Vol, "/dev/sdz1", "ext4", "My Volume", true, true},
                                        {"/", "/dev/sda1", "ext4", "/", true, true}};
    });
    Start();
    ASSERT_EQ(Tree.topLevelItemCount(), 3);
    auto RootAt = [&](int I) { return static_cast<TDirTreeNode*>(Tree.topLevelItem(I)); };
    EXPECT_EQ(RootAt(0)->Path(), "/");
    EXPECT_EQ(RootAt(1)->Path(), QFile::encodeName(QDir::homePath()).toStdString());
    EXPECT_EQ(RootAt(2)->Path(), Vol);
    EXPECT_EQ(RootAt(2)->text(0), "My Volume");
    for (int I = 0; I < 3; ++I)
        EXPECT_TRUE(RootAt(I)->IsRoot());
    // A path below a volume is reached through the volume, the root with the longest path.
    Select("vol/inside");
    ASSERT_NE(Tree.Selected(), nullptr);
    EXPECT_EQ(Tree.Selected()->parent(), RootAt(2));
    EXPECT_EQ(Tree.CurrentDrive(), Vol);
    EXPECT_EQ(Tree.GetNodePath(Tree.Selected()), Path("vol/inside/"));
}

TEST_F(DirTreeViewTest, AVolumeWhoseNameExtendsAnothersIsItsOwnRoot)
{
    // "data2" begins like "data" but does not lie inside it.
    Dir("data/in");
    Dir("data2/in");
    const std::string Data = Path("data"), Data2 = Path("data2");
    const struct {
        const char* Case;
        std::vector<TVolumeInfo> Volumes;
        const char* Selected;
        std::string Root; // the path of the root the selection is reached through
    } Cases[] = {
        {"both volumes", {{Data, "/dev/sdy1", "ext4", "", true, true}, {Data2, "/dev/sdy2", "ext4", "", true, true}},
         "data2/in", Data2},
        {"both volumes, the other", {{Data2, "/dev/sdy2", "ext4", "", true, true}, {Data, "/dev/sdy1", "ext4", "", true, true}},
         "data/in", Data},
        {"only the shorter", {{Data, "/dev/sdy1", "ext4", "", true, true}}, "data2/in", "/"},
    };
    for (const auto& C : Cases) {
        const std::vector<TVolumeInfo> Volumes = C.Volumes;
        Tree.SetVolumeSource([Volumes] { return Volumes; });
        if (!Tree.Initialized())
            Start();
        else {
            Tree.RefreshTree();
            ASSERT_TRUE(WaitIdle(Tree)) << C.Case;
        }
        // Every volume is a root of its own.
        int Roots = 0;
        for (int I = 0; I < Tree.topLevelItemCount(); ++I)
            for (const TVolumeInfo& V : C.Volumes)
                Roots += static_cast<TDirTreeNode*>(Tree.topLevelItem(I))->Path() == V.RootPath;
        EXPECT_EQ(Roots, int(C.Volumes.size())) << C.Case;
        Select(C.Selected);
        ASSERT_NE(Tree.Selected(), nullptr) << C.Case;
        EXPECT_EQ(Tree.GetNodePath(Tree.Selected()), Path(C.Selected) + "/") << C.Case;
        const QTreeWidgetItem* Top = Tree.Selected();
        while (Top->parent())
            Top = Top->parent();
        EXPECT_EQ(static_cast<const TDirTreeNode*>(Top)->Path(), C.Root) << C.Case;
        TDirTreeNode* Found = nullptr;
        EXPECT_TRUE(Tree.FindNode(Path(C.Selected), Found)) << C.Case;
        EXPECT_EQ(Found, Tree.Selected()) << C.Case;
    }
}

TEST_F(DirTreeViewTest, AHangingVolumeListDelaysNothingButItsOwnRoots)
{
    auto Gate = std::make_shared<TGate>();
    Tree.SetVolumeSource([Gate] {
        std::unique_lock<std::mutex> L(Gate->M);
        Gate->Cv.wait(L, [&] { return Gate->Open; });
        return std::vector<TVolumeInfo>{};
    });
    Dir("a");
    QElapsedTimer Clock;
    Clock.start();
    ASSERT_TRUE(Tree.Initialize());
    EXPECT_LT(Clock.elapsed(), 500);
    EXPECT_EQ(Tree.topLevelItemCount(), 2);
    Tree.SelectPath(Path("a"));
    ASSERT_TRUE(WaitIdle(Tree)); // the walk waits for the volumes a second at most
    EXPECT_EQ(Tree.GetNodePath(Tree.Selected()), Path("a/"));
    Gate->Release();
}
