// The Browse menu's commands on a real frame with browser windows over temporary folders: enabling by
// the number of pictures, copy and move with the folder question, rename one and many, delete to the
// trash, and the file actions every window is told of.
#include "shell/CVMain.h"

#include "browser/CVBrwsrChildWn.h"
#include "browser/FileAction.h"
#include "browser/RenameFileDlg.h"
#include "browser/RenameFilesDlg.h"
#include "controls/AdvSelectGrid.h"
#include "controls/RFPicPopupMenu.h"
#include "image/XBitmap.h"
#include "picwin/CVPicChildWn.h"
#include "platform/Registry.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "FrameFixture.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>

namespace fs = std::filesystem;

namespace {

const char* const SortActs[] = {"ActBrwsrSortByName", "ActBrwsrSortByDate", "ActBrwsrSortByType",
                                "ActBrwsrSortBySize", "ActBrwsrSortAsc",    "ActBrwsrSortDesc"};
const char* const FileActs[] = {"ActBrwsrOpenImage",   "ActBrwsrCopyImage",   "ActBrwsrMoveImage",
                                "ActBrwsrDeleteImage", "ActBrwsrRenameImage", "ActBrwsrRenameImages"};

// Keeps every file action a window receives, in order.
class TRecorder : public QObject {
public:
    std::vector<TFileActionRecord> Records;
    bool eventFilter(QObject*, QEvent* Event) override
    {
        if (Event->type() == TFileActionEvent::EventType())
            Records.push_back(static_cast<TFileActionEvent*>(Event)->Record);
        return false;
    }
};

class BrowserCommands : public FrameFixture {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(FrameFixture::SetUp());
        // The run's own home folder, whose data folder holds the trash (GLib reads both once a run);
        // each test starts with an empty trash.
        Home = qgetenv("HOME").toStdString();
        ASSERT_EQ(Home + "/data", qgetenv("XDG_DATA_HOME").toStdString());
        fs::remove_all(Home + "/data/Trash");
        A = Dir.path().toStdString() + "/a/";
        B = Dir.path().toStdString() + "/b/";
        fs::create_directory(A);
        fs::create_directory(B);
        StartFrame(QSize(1000, 700));
    }
    // A blank picture Width x 12 at the full path FilePath.
    static void Picture(const std::string& FilePath, int Width = 16) { WritePicture(FilePath, Width, 12); }
    // A browser window on Folder, loaded and active.
    TCVBrowserChildWn* Browse(const std::string& Folder)
    {
        const auto before = Main->MdiArea()->subWindowList().size();
        if (!Main->OpenBrowser(Folder, false) || Main->MdiArea()->subWindowList().size() != before + 1)
            return nullptr;
        auto* w = dynamic_cast<TCVBrowserChildWn*>(Main->MdiArea()->subWindowList().back());
        if (!w || !QTest::qWaitFor([&] { return w->Directory() == Folder && !w->Loading(); }, 10000))
            return nullptr;
        Main->MdiArea()->setActiveSubWindow(w);
        return w;
    }
    // Pictures of these names in Folder, a browser window on it, every picture selected.
    TCVBrowserChildWn* BrowseSelected(const std::string& Folder, std::initializer_list<const char*> Pictures)
    {
        for (const char* n : Pictures)
            Picture(Folder + n);
        TCVBrowserChildWn* w = Browse(Folder);
        if (w)
            w->SelectAll();
        return w;
    }
    static std::vector<std::string> Names(TCVBrowserChildWn* W)
    {
        std::vector<std::string> n;
        for (int i = 0; i < W->PictureCount(); ++i)
            n.push_back(W->Database().GetFileName(i));
        return n;
    }
    static std::set<std::string> Files(const std::string& Folder)
    {
        std::set<std::string> f;
        for (const auto& e : fs::directory_iterator(Folder))
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                f.insert(e.path().filename().string());
        return f;
    }
    void Run(const char* Name)
    {
        QAction* act = Main->Action(Name);
        ASSERT_NE(act, nullptr) << Name;
        ASSERT_TRUE(act->isEnabled()) << Name;
        act->trigger();
    }
    // The user types Text into the rename dialog's edit and presses OK (its checks run).
    void AnswerRenameWith(const std::string& Text)
    {
        UI.OnDialog = [Text](QDialog& D) {
            auto* edit = D.findChild<QLineEdit*>();
            auto* std = dynamic_cast<TStandardDialog*>(&D);
            if (!edit || !std)
                return false;
            edit->setText(QString::fromStdString(Text));
            std->OKButton->click();
            return D.result() == QDialog::Accepted;
        };
    }
    std::vector<std::string> MessageTexts() const
    {
        std::vector<std::string> t;
        for (const auto& m : UI.Messages)
            t.push_back(m.Text);
        return t;
    }

    std::string Home, A, B;
};

TEST_F(BrowserCommands, EnabledByTheActiveBrowsersPictureCount)
{
    const struct {
        int Pictures;
        bool Sort, File;
    } Cases[] = {{0, false, false}, {1, false, true}, {2, true, true}};
    for (const auto& C : Cases) {
        const std::string folder = Dir.path().toStdString() + "/n" + std::to_string(C.Pictures) + "/";
        fs::create_directory(folder);
        for (int i = 0; i < C.Pictures; ++i)
            Picture(folder + "p" + std::to_string(i) + ".bmp");
        ASSERT_NE(Browse(folder), nullptr);
        for (const char* a : SortActs)
            EXPECT_EQ(Main->Action(a)->isEnabled(), C.Sort) << C.Pictures << " " << a;
        for (const char* a : FileActs)
            EXPECT_EQ(Main->Action(a)->isEnabled(), C.File) << C.Pictures << " " << a;
        for (const char* a : {"ActBrwsrRefresh", "ActBrwsrShowTV", "ActSelectAll"})
            EXPECT_TRUE(Main->Action(a)->isEnabled()) << a;
    }
    // The menu shows for a browser only; a picture window turns every browser command off.
    QAction* menu = nullptr;
    for (QAction* a : Main->menuBar()->actions())
        if (a->text() == "&Browse")
            menu = a;
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->menu()->actions().size(), 17);
    ASSERT_TRUE(Main->NewPicture(20, 20, clWhite));
    EXPECT_FALSE(menu->isVisible());
    for (const char* a : {"ActBrwsrRefresh", "ActBrwsrShowTV", "ActBrwsrSortByName", "ActBrwsrOpenImage"})
        EXPECT_FALSE(Main->Action(a)->isEnabled()) << a;
}

TEST_F(BrowserCommands, ShowDirectoriesAndSortingActOnTheActiveBrowser)
{
    TCVBrowserChildWn* W = BrowseSelected(A, {"b.bmp", "c.bmp", "a.bmp"});
    ASSERT_NE(W, nullptr);
    Run("ActBrwsrSortDesc");
    Run("ActBrwsrSortByName");
    EXPECT_EQ(Names(W), (std::vector<std::string>{"c.bmp", "b.bmp", "a.bmp"}));
    Run("ActBrwsrSortAsc");
    EXPECT_EQ(Names(W), (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp"}));
    EXPECT_FALSE(Main->Action("ActBrwsrSortDesc")->isChecked());

    ASSERT_TRUE(W->GetTreeVisible());
    Run("ActBrwsrShowTV");
    EXPECT_FALSE(W->GetTreeVisible());
    // A new browser opens the way the command was left.
    TCVBrowserChildWn* Other = Browse(B);
    ASSERT_NE(Other, nullptr);
    EXPECT_FALSE(Other->GetTreeVisible());
}

TEST_F(BrowserCommands, BrowseOpensOnThePicturesFolderElseOnTheLastFolder)
{
    // The last folder a browser showed is A.
    {
        TRegistry Reg;
        ASSERT_TRUE(Reg.OpenKey(SRecentDirsKey, true));
        Reg.WriteString("Dir1", A);
        Reg.CloseKey();
    }
    Picture(B + "p.bmp");
    const struct {
        const char* Case;
        std::function<bool()> Prepare; // makes the active window
        std::string Folder;            // where the new browser opens
    } Cases[] = {
        {"no window", [] { return true; }, A},
        {"a picture from a file", [&] { return Main->OpenPictureFile(B + "p.bmp"); }, B},
        // The browser of the case before, closed, showed B last.
        {"a new picture", [&] { return Main->NewPicture(20, 20, clWhite); }, B},
    };
    for (const auto& C : Cases) {
        Main->MdiArea()->closeAllSubWindows();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Main->MdiArea()->subWindowList().isEmpty(); }, 5000)) << C.Case;
        ASSERT_TRUE(C.Prepare()) << C.Case;
        UI.Dialogs.clear();
        const auto before = Main->MdiArea()->subWindowList().size();
        Run("ActBrowseDir");
        // No folder question comes first: the window is there at once.
        EXPECT_TRUE(UI.Dialogs.empty()) << C.Case << ": " << UI.Dialogs.front();
        ASSERT_EQ(Main->MdiArea()->subWindowList().size(), before + 1) << C.Case;
        auto* w = dynamic_cast<TCVBrowserChildWn*>(Main->MdiArea()->subWindowList().back());
        ASSERT_NE(w, nullptr) << C.Case;
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->Directory() == C.Folder; }, 10000))
            << C.Case << ": " << w->Directory();
    }
}

TEST_F(BrowserCommands, CopyAsksForEachFileAndACancelSkipsOnlyThatOne)
{
    TCVBrowserChildWn* InB = Browse(B);
    TCVBrowserChildWn* InA = BrowseSelected(A, {"p1.bmp", "p2.bmp", "p3.bmp"});
    ASSERT_TRUE(InA && InB);
    UI.OpenResults = {{B}, {}, {B}};
    Run("ActBrwsrCopyImage");
    EXPECT_EQ(UI.Dialogs, (std::vector<std::string>{"Choose directory to copy 'p1.bmp' to..",
                                                    "Choose directory to copy 'p2.bmp' to..",
                                                    "Choose directory to copy 'p3.bmp' to.."}));
    EXPECT_EQ(Files(B), (std::set<std::string>{"p1.bmp", "p3.bmp"}));
    EXPECT_EQ(Files(A).size(), 3u);
    EXPECT_EQ(Names(InB), (std::vector<std::string>{"p1.bmp", "p3.bmp"}));
    EXPECT_EQ(Names(InA).size(), 3u);
    EXPECT_TRUE(UI.Messages.empty()) << MessageTexts().front();
}

TEST_F(BrowserCommands, MoveReportsTheRemovalBeforeTheAddition)
{
    TCVBrowserChildWn* InB = Browse(B);
    TCVBrowserChildWn* InA = BrowseSelected(A, {"m.bmp"});
    ASSERT_TRUE(InA && InB);
    TRecorder seenByB;
    InB->installEventFilter(&seenByB);
    UI.OpenResults = {{B}};
    Run("ActBrwsrMoveImage");
    ASSERT_EQ(seenByB.Records.size(), 2u);
    EXPECT_EQ(seenByB.Records[0].Action, faRemoved);
    EXPECT_EQ(seenByB.Records[0].Dir, A);
    EXPECT_EQ(seenByB.Records[1].Action, faAdded);
    EXPECT_EQ(seenByB.Records[1].Dir, B);
    for (const auto& r : seenByB.Records)
        EXPECT_EQ(r.FileName, "m.bmp");
    EXPECT_TRUE(Files(A).empty());
    EXPECT_EQ(Files(B), std::set<std::string>{"m.bmp"});
    EXPECT_TRUE(Names(InA).empty());
    EXPECT_EQ(Names(InB), std::vector<std::string>{"m.bmp"});
    // The folder it left has no pictures now: the commands on the selection are off.
    Main->MdiArea()->setActiveSubWindow(InA);
    EXPECT_FALSE(Main->Action("ActBrwsrOpenImage")->isEnabled());
}

TEST_F(BrowserCommands, RenamePicturesNumbersByTheCountAndKeepsEachExtension)
{
    const struct {
        int Count;
        const char* First;
        const char* Last;
    } Cases[] = {{12, "Holiday 01", "Holiday 12"}, {9, "Holiday 1", "Holiday 9"}};
    for (const auto& C : Cases) {
        const std::string folder = Dir.path().toStdString() + "/r" + std::to_string(C.Count) + "/";
        fs::create_directory(folder);
        for (int i = 0; i < C.Count; ++i)
            Picture(folder + "img" + std::string(1, char('a' + i)) + (i % 3 == 0 ? ".jpg" : i % 3 == 1 ? ".bmp" : ".BMP"));
        TCVBrowserChildWn* W = Browse(folder);
        ASSERT_NE(W, nullptr);
        W->SelectAll();
        const std::vector<std::string> old = W->GetSelectedNames();
        ASSERT_EQ(old.size(), size_t(C.Count));
        AnswerRenameWith("Holiday %d");
        Run("ActBrwsrRenameImages");
        std::set<std::string> expected;
        const int digits = C.Count >= 10 ? 2 : 1;
        for (int i = 0; i < C.Count; ++i) {
            std::string n = std::to_string(i + 1);
            n.insert(0, digits - n.size(), '0');
            expected.insert("Holiday " + n + old[i].substr(old[i].rfind('.')));
        }
        EXPECT_EQ(Files(folder), expected);
        EXPECT_TRUE(expected.count(std::string(C.First) + old.front().substr(old.front().rfind('.'))));
        EXPECT_TRUE(expected.count(std::string(C.Last) + old.back().substr(old.back().rfind('.'))));
        const std::vector<std::string> shown = Names(W);
        EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()), expected);
        EXPECT_TRUE(UI.Messages.empty()) << MessageTexts().front();
    }
}

TEST_F(BrowserCommands, RenumberingFilesThatCarryTheNewNamesLosesNone)
{
    const struct {
        const char* Case;
        bool Descending; // selection order by name
        std::vector<std::pair<const char*, int>> Before, After; // names and picture widths
    } Cases[] = {
        // a.bmp becomes n_1.bmp, which must first become n_2.bmp.
        {"chain", false, {{"a.bmp", 10}, {"n_1.bmp", 20}}, {{"n_1.bmp", 10}, {"n_2.bmp", 20}}},
        // n_2.bmp and n_1.bmp swap names.
        {"ring", true, {{"n_1.bmp", 10}, {"n_2.bmp", 20}}, {{"n_1.bmp", 20}, {"n_2.bmp", 10}}},
    };
    for (const auto& C : Cases) {
        const std::string folder = Dir.path().toStdString() + "/" + C.Case + "/";
        fs::create_directory(folder);
        for (const auto& [name, width] : C.Before)
            Picture(folder + name, width);
        TCVBrowserChildWn* W = Browse(folder);
        ASSERT_NE(W, nullptr);
        Run(C.Descending ? "ActBrwsrSortDesc" : "ActBrwsrSortAsc");
        Run("ActBrwsrSortByName");
        W->SelectAll();
        UI.Messages.clear();
        AnswerRenameWith("n_%d");
        Run("ActBrwsrRenameImages");
        EXPECT_TRUE(UI.Messages.empty()) << C.Case << ": " << MessageTexts().front();
        std::set<std::string> names;
        for (const auto& [name, width] : C.After) {
            names.insert(name);
            TXBitmap b;
            b.LoadPictureFromFile(folder + name, false);
            EXPECT_EQ(b.Width(), width) << C.Case << " " << name;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), long(names.size()))
            << C.Case << ": a file was left under another name";
        const std::vector<std::string> shown = Names(W);
        EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()), names) << C.Case;
    }
}

TEST_F(BrowserCommands, RenamePictureComparesNamesExactly)
{
    const struct {
        const char* NewName;
        bool Renamed;  // the file carries the new name afterwards
        bool Reported; // a file action was sent
        bool Error;    // the user was told why not
    } Cases[] = {
        {"Photo.bmp", true, true, false},  // only the letter case changes: a real rename
        {"photo.bmp", false, false, false}, // the same name: nothing to do
    };
    for (const auto& C : Cases) {
        const std::string folder = Dir.path().toStdString() + "/" + C.NewName + ".d/";
        fs::create_directory(folder);
        Picture(folder + "photo.bmp");
        TCVBrowserChildWn* W = Browse(folder);
        ASSERT_NE(W, nullptr);
        TRecorder seen;
        W->installEventFilter(&seen);
        W->SelectAll();
        UI.Messages.clear();
        AnswerRenameWith(C.NewName);
        Run("ActBrwsrRenameImage");
        EXPECT_EQ(Files(folder), std::set<std::string>{C.Renamed ? C.NewName : "photo.bmp"}) << C.NewName;
        EXPECT_EQ(Names(W), std::vector<std::string>{C.Renamed ? C.NewName : "photo.bmp"}) << C.NewName;
        EXPECT_EQ(!seen.Records.empty(), C.Reported) << C.NewName;
        if (C.Reported) {
            EXPECT_EQ(seen.Records[0].Action, faNameChanged);
            EXPECT_EQ(seen.Records[0].FileName, "photo.bmp");
            EXPECT_EQ(seen.Records[0].NewName, C.NewName);
        }
        EXPECT_EQ(!UI.Messages.empty(), C.Error) << C.NewName;
        W->removeEventFilter(&seen);
    }
}

TEST_F(BrowserCommands, ANameLongerThanAFileNameCanBeIsRefusedNotCut)
{
    Picture(A + "photo.bmp");
    TCVBrowserChildWn* W = Browse(A);
    ASSERT_NE(W, nullptr);
    TRecorder seen;
    W->installEventFilter(&seen);
    const std::string longName = std::string(300, 'x') + ".bmp";
    EXPECT_FALSE(Main->RenameFileAction("photo.bmp", longName, A));
    EXPECT_EQ(Files(A), std::set<std::string>{"photo.bmp"});
    EXPECT_TRUE(seen.Records.empty());
    ASSERT_EQ(UI.Messages.size(), 1u);
    EXPECT_EQ(UI.Messages[0].Type, mtError);
}

TEST_F(BrowserCommands, ABatchStopsAtTheFirstFailureAndSaysWhatWasDone)
{
    TCVBrowserChildWn* W = BrowseSelected(A, {"a.bmp", "b.bmp", "c.bmp"});
    ASSERT_NE(W, nullptr);
    ASSERT_EQ(W->GetSelectedNames(), (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp"}));
    // The second file goes behind the browser's back: its rename fails.
    fs::remove(A + "b.bmp");
    AnswerRenameWith("n_%d");
    Run("ActBrwsrRenameImages");
    EXPECT_EQ(Files(A), (std::set<std::string>{"n_1.bmp", "c.bmp"}));
    ASSERT_EQ(UI.Messages.size(), 2u);
    EXPECT_EQ(UI.Messages[0].Type, mtError); // why b.bmp could not be renamed
    const std::string& summary = UI.Messages[1].Text;
    EXPECT_NE(summary.find("Stopped at 'b.bmp'"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Renamed: a.bmp."), std::string::npos) << summary;
    EXPECT_NE(summary.find("Not renamed: b.bmp, c.bmp."), std::string::npos) << summary;
}

TEST_F(BrowserCommands, DeleteMovesToTheTrashAndANoSkipsOnlyThatFile)
{
    TCVBrowserChildWn* W = BrowseSelected(A, {"a.bmp", "b.bmp", "c.bmp"});
    ASSERT_NE(W, nullptr);
    // Yes, No, Yes: the second stays, the third is still asked about and goes.
    UI.Answers = {mrYes, mrNo, mrYes};
    Run("ActBrwsrDeleteImage");
    EXPECT_EQ(Files(A), std::set<std::string>{"b.bmp"});
    EXPECT_EQ(Files(Home + "/data/Trash/files"), (std::set<std::string>{"a.bmp", "c.bmp"}));
    EXPECT_EQ(Names(W), std::vector<std::string>{"b.bmp"});
    // Three questions, one per file, and no report of a stopped run.
    ASSERT_EQ(UI.Messages.size(), 3u) << MessageTexts().back();
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(UI.Messages[i].Type, mtConfirmation) << UI.Messages[i].Text;
}

// A removal that takes the last selected picture while others remain selects the current one, so the
// next command acts on it and names it.
TEST_F(BrowserCommands, RemovingTheSelectedPicturesSelectsTheCurrentOne)
{
    const struct {
        const char* Case;
        std::vector<const char*> Pictures;
        int First, Last; // the selected pictures (indices); the current one is First
        const char* Command;
        std::function<void()> Answer;
        std::string Current; // the picture current and alone selected afterwards
    } Cases[] = {
        {"delete the first", {"p1.bmp", "p2.bmp", "p3.bmp"}, 0, 0, "ActBrwsrDeleteImage",
         [this] { UI.Answers = {mrYes}; }, "p2.bmp"},
        {"delete the last", {"p1.bmp", "p2.bmp", "p3.bmp"}, 2, 2, "ActBrwsrDeleteImage",
         [this] { UI.Answers = {mrYes}; }, "p2.bmp"},
        {"move three", {"p1.bmp", "p2.bmp", "p3.bmp", "p4.bmp"}, 0, 2, "ActBrwsrMoveImage",
         [this] { UI.OpenResults = {{B}, {B}, {B}}; }, "p4.bmp"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Case);
        const std::string folder = Dir.path().toStdString() + "/" + C.Case + "/";
        fs::create_directory(folder);
        for (const char* n : C.Pictures)
            Picture(folder + n);
        TCVBrowserChildWn* W = Browse(folder);
        ASSERT_NE(W, nullptr);
        TAdvSelectDrawGrid* grid = W->ThumbnailGrid();
        const TGridCoord first = grid->IndexCell(C.First);
        grid->FocusCell(first.X, first.Y, true);
        grid->SelectRange(C.First, C.Last);
        ASSERT_EQ(W->GetSelectedNames().size(), size_t(C.Last - C.First + 1));
        UI.Messages.clear();
        C.Answer();
        Run(C.Command);
        ASSERT_EQ(W->PictureCount(), int(C.Pictures.size()) - (C.Last - C.First + 1));
        EXPECT_EQ(W->GetSelectedNames(), std::vector<std::string>{C.Current});
        EXPECT_EQ(W->Database().GetFileName(W->CurrentIndex()), C.Current);
        EXPECT_TRUE(grid->IsSelected(grid->Col(), grid->Row()));
        // The next Delete asks about that picture (answered No: it stays).
        UI.Messages.clear();
        UI.Answers = {mrNo};
        Run("ActBrwsrDeleteImage");
        ASSERT_EQ(UI.Messages.size(), 1u);
        EXPECT_EQ(UI.Messages[0].Type, mtConfirmation);
        EXPECT_NE(UI.Messages[0].Text.find("'" + folder + C.Current + "'"), std::string::npos) << UI.Messages[0].Text;
        EXPECT_TRUE(fs::exists(folder + C.Current));
        for (const std::string& f : Files(B))
            fs::remove(B + f);
    }
}

// A copy that replaces the file of an open picture leaves that window with pixels no file holds any
// more: it counts as modified and closing it asks. A No to replacing keeps both as they were.
TEST_F(BrowserCommands, CopyingOverAnOpenPicturesFileLeavesItsWindowModified)
{
    const struct {
        TModalResult Answer;
        bool Replaced;
    } Cases[] = {{mrYes, true}, {mrNo, false}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Answer == mrYes ? "Yes" : "No");
        Picture(B + "p.bmp", 20);
        ASSERT_TRUE(Main->OpenPictureFile(B + "p.bmp"));
        auto* Pic = dynamic_cast<TCVPicChildWin*>(Main->MdiArea()->activeSubWindow());
        ASSERT_NE(Pic, nullptr);
        ASSERT_FALSE(Pic->Modified());
        TCVBrowserChildWn* W = BrowseSelected(A, {"p.bmp"});
        ASSERT_NE(W, nullptr);
        UI.Messages.clear();
        UI.OpenResults = {{B}};
        UI.Answers = {C.Answer};
        Run("ActBrwsrCopyImage");
        TXBitmap Now;
        Now.LoadPictureFromFile(B + "p.bmp", false);
        EXPECT_EQ(Now.Width(), C.Replaced ? 16 : 20);
        EXPECT_EQ(Pic->Modified(), C.Replaced);
        EXPECT_EQ(Pic->Picture().Width(), 20);
        if (C.Replaced) {
            UI.Messages.clear();
            UI.Answers = {mrCancel};
            EXPECT_FALSE(Pic->close());
            ASSERT_EQ(UI.Messages.size(), 1u);
            EXPECT_EQ(UI.Messages[0].Text, "Save changes to p.bmp ?");
        }
        for (QMdiSubWindow* Sub : Main->MdiArea()->subWindowList())
            delete Sub;
    }
}

TEST_F(BrowserCommands, ANoToReplacingOneFileSkipsItAndTheRunGoesOn)
{
    const struct {
        const char* Command;
        bool Moves;
    } Cases[] = {{"ActBrwsrCopyImage", false}, {"ActBrwsrMoveImage", true}};
    for (const auto& C : Cases) {
        const std::string from = Dir.path().toStdString() + "/from_" + C.Command + "/";
        const std::string to = Dir.path().toStdString() + "/to_" + C.Command + "/";
        fs::create_directory(from);
        fs::create_directory(to);
        WritePicture(to + "p2.bmp", 30, 12); // the one already there
        TCVBrowserChildWn* W = BrowseSelected(from, {"p1.bmp", "p2.bmp", "p3.bmp"});
        ASSERT_NE(W, nullptr) << C.Command;
        UI.Messages.clear();
        UI.OpenResults = {{to}, {to}, {to}};
        UI.Answers = {mrNo}; // do not replace p2.bmp
        Run(C.Command);
        EXPECT_EQ(Files(to), (std::set<std::string>{"p1.bmp", "p2.bmp", "p3.bmp"})) << C.Command;
        TXBitmap kept;
        kept.LoadPictureFromFile(to + "p2.bmp", false);
        EXPECT_EQ(kept.Width(), 30) << C.Command << ": the file declined was replaced";
        const std::set<std::string> left = C.Moves ? std::set<std::string>{"p2.bmp"}
                                                   : std::set<std::string>{"p1.bmp", "p2.bmp", "p3.bmp"};
        EXPECT_EQ(Files(from), left) << C.Command;
        // Only the replace question was put; nothing was reported as stopped.
        ASSERT_EQ(UI.Messages.size(), 1u) << C.Command << ": " << MessageTexts().back();
        EXPECT_EQ(UI.Messages[0].Type, mtConfirmation);
        EXPECT_NE(UI.Messages[0].Text.find("p2.bmp"), std::string::npos) << UI.Messages[0].Text;
    }
}

TEST_F(BrowserCommands, AnErrorEndsACopyRunAndSaysWhatWasDone)
{
    TCVBrowserChildWn* W = BrowseSelected(A, {"a.bmp", "b.bmp", "c.bmp"});
    ASSERT_NE(W, nullptr);
    // The second file goes behind the browser's back: its copy fails, the third is not asked about.
    fs::remove(A + "b.bmp");
    UI.OpenResults = {{B}, {B}, {B}};
    Run("ActBrwsrCopyImage");
    EXPECT_EQ(Files(B), std::set<std::string>{"a.bmp"});
    EXPECT_EQ(UI.Dialogs.size(), 2u);
    ASSERT_EQ(UI.Messages.size(), 2u);
    EXPECT_EQ(UI.Messages[0].Type, mtError);
    EXPECT_NE(UI.Messages[1].Text.find("Not copied: b.bmp, c.bmp."), std::string::npos) << UI.Messages[1].Text;
}

TEST_F(BrowserCommands, AnOpenPictureFollowsItsFileWhenRenamedOrMoved)
{
    // Each case renames or moves p.bmp, open and edited in a picture window, with the Browse
    // menu's command; then Save.
    const struct {
        const char* Case;
        const char* Command;
        std::function<void()> Answer;
        bool ToB; // the file went to folder B (else it was renamed to q.bmp in A)
    } Cases[] = {
        {"renamed", "ActBrwsrRenameImage", [this] { AnswerRenameWith("q.bmp"); }, false},
        {"moved", "ActBrwsrMoveImage", [this] { UI.OpenResults = {{B}}; }, true},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Case);
        for (const std::string& F : {A, B})
            for (const auto& E : fs::directory_iterator(F))
                fs::remove_all(E.path());
        Picture(A + "p.bmp");
        ASSERT_TRUE(Main->OpenPictureFile(A + "p.bmp"));
        auto* Pic = dynamic_cast<TCVPicChildWin*>(Main->MdiArea()->activeSubWindow());
        ASSERT_NE(Pic, nullptr);
        const TColor Before = Pic->Picture().Canvas().Pixels(0, 0);
        Pic->Negative();
        ASSERT_TRUE(Pic->Modified());
        const TColor Edited = Pic->Picture().Canvas().Pixels(0, 0);
        ASSERT_NE(Edited, Before);
        TCVBrowserChildWn* W = Browse(A);
        ASSERT_NE(W, nullptr);
        W->SelectAll();
        C.Answer();
        Run(C.Command);
        const std::string Now = C.ToB ? B + "p.bmp" : A + "q.bmp";
        ASSERT_TRUE(fs::exists(Now));
        EXPECT_EQ(Pic->FileName(), Now);
        EXPECT_EQ(Pic->windowTitle().toStdString(), std::string(C.ToB ? "p.bmp" : "q.bmp") + " [1:1]");
        EXPECT_EQ(Main->RecentFilesPopupMenu()->GetFileName(0), Now);
        EXPECT_EQ(Main->RecentFilesPopupMenu()->IndexOfFile(A + "p.bmp"), -1);
        EXPECT_EQ(Main->FindPicChildByFileName(Now), Pic);

        Main->MdiArea()->setActiveSubWindow(Pic);
        Run("ActPicSave");
        EXPECT_FALSE(Pic->Modified());
        EXPECT_FALSE(fs::exists(A + "p.bmp")) << "the file was made again at its old place";
        TXBitmap Saved;
        Saved.LoadPictureFromFile(Now, false);
        EXPECT_EQ(Saved.Canvas().Pixels(0, 0), Edited) << "the edited picture went elsewhere";
        for (QMdiSubWindow* Sub : Main->MdiArea()->subWindowList())
            delete Sub;
    }
}

TEST_F(BrowserCommands, APictureWhoseFileWentOrWasReplacedKeepsItsPixelsAndAsksOnClose)
{
    Picture(A + "p.bmp", 16);
    Picture(A + "q.bmp", 20);
    ASSERT_TRUE(Main->OpenPictureFile(A + "q.bmp"));
    auto* Replaced = dynamic_cast<TCVPicChildWin*>(Main->MdiArea()->activeSubWindow());
    ASSERT_TRUE(Main->OpenPictureFile(A + "p.bmp"));
    auto* Renamed = dynamic_cast<TCVPicChildWin*>(Main->MdiArea()->activeSubWindow());
    ASSERT_TRUE(Replaced && Renamed && Replaced != Renamed);
    // p.bmp is renamed onto q.bmp, answered Yes to the replace question.
    UI.Answers = {mrYes};
    ASSERT_TRUE(Main->RenameFileAction("p.bmp", "q.bmp", A));
    EXPECT_EQ(Files(A), std::set<std::string>{"q.bmp"});
    EXPECT_EQ(Renamed->FileName(), A + "q.bmp");
    EXPECT_FALSE(Renamed->Modified());
    EXPECT_TRUE(Replaced->Modified());
    EXPECT_EQ(Replaced->Picture().Width(), 20);
    EXPECT_EQ(Main->RecentFilesPopupMenu()->Count(), 1);

    // The renamed picture goes to the trash: its window keeps the pixels and counts as modified, also
    // after an undo of a change made while its file was there.
    Renamed->Negative();
    UI.Answers = {mrYes};
    ASSERT_TRUE(Main->DeleteFileAction("q.bmp", A));
    ASSERT_FALSE(fs::exists(A + "q.bmp"));
    Renamed->Undo();
    EXPECT_TRUE(Renamed->Modified());
    EXPECT_EQ(Renamed->Picture().Width(), 16);
    UI.Messages.clear();
    UI.Answers = {mrCancel};
    EXPECT_FALSE(Renamed->close());
    ASSERT_EQ(UI.Messages.size(), 1u);
    EXPECT_EQ(UI.Messages[0].Text, "Save changes to q.bmp ?");
}

TEST_F(BrowserCommands, OpenPictureOpensEverySelectedPicture)
{
    TCVBrowserChildWn* W = BrowseSelected(A, {"a.bmp", "b.bmp"});
    ASSERT_NE(W, nullptr);
    Run("ActBrwsrOpenImage");
    std::vector<std::string> titles;
    for (QMdiSubWindow* w : Main->MdiArea()->subWindowList())
        titles.push_back(w->windowTitle().toStdString());
    EXPECT_EQ(titles, (std::vector<std::string>{"Browsing " + A, "a.bmp [1:1]", "b.bmp [1:1]"}));
}

} // namespace
