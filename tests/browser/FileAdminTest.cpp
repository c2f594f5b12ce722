// The browser's file operations on real files in a temporary folder, with the trash there too and the
// user's answers scripted.
#include "browser/FileAdmin.h"
#include "globals/UIServicesIntf.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sched.h>
#include <string>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Answers questions from a script (No once it runs out) and records every box shown.
struct TScriptedUI : IUIServices {
    struct Msg {
        std::string Text;
        TMsgDlgType Type;
    };
    std::vector<Msg> Messages;
    std::deque<TModalResult> Answers;
    TModalResult MessageDlg(QWidget*, const std::string& Text, TMsgDlgType Type, unsigned Buttons) override
    {
        Messages.push_back({Text, Type});
        if (!(Buttons & mbYes))
            return mrOk;
        if (Answers.empty())
            return mrNo;
        const TModalResult R = Answers.front();
        Answers.pop_front();
        return R;
    }
    int Count(TMsgDlgType Type) const
    {
        int N = 0;
        for (const Msg& M : Messages)
            N += M.Type == Type;
        return N;
    }
};

std::string ReadAll(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

void WriteAll(const std::string& Path, const std::string& Bytes)
{
    std::ofstream(Path, std::ios::binary) << Bytes;
}

// Bytes that differ at every position of a run, so a dropped or repeated chunk shows.
std::string Pattern(size_t Size, unsigned Seed)
{
    std::string S(Size, '\0');
    unsigned X = Seed * 2654435761u + 1;
    for (char& C : S) {
        X = X * 1103515245u + 12345u;
        C = char(X >> 16);
    }
    return S;
}

void SetMTime(const std::string& Path, time_t Seconds, long Nanos)
{
    const struct timespec T[2] = {{Seconds, Nanos}, {Seconds, Nanos}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path.c_str(), T, 0), 0);
}

struct timespec MTime(const std::string& Path)
{
    struct stat St {};
    ::stat(Path.c_str(), &St);
    return St.st_mtim;
}

std::vector<std::string> Names(const std::string& Dir)
{
    std::vector<std::string> R;
    for (const auto& E : fs::directory_iterator(Dir))
        R.push_back(E.path().filename().string());
    std::sort(R.begin(), R.end());
    return R;
}

// The message of a file that could not go to the trash: its name, that it was kept, and why on a line
// of its own.
void ExpectNotTrashed(const std::string& Text, const std::string& Path)
{
    const std::string Head = "Cannot move '" + Path + "' to the trash. The file was not deleted.\n";
    EXPECT_EQ(Text.substr(0, Head.size()), Head) << Text;
    EXPECT_GT(Text.size(), Head.size()) << "no reason given";
}

class FileAdmin : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Tmp.isValid());
        Root = Tmp.path().toStdString();
        Src = Root + "/src/";
        Dst = Root + "/dst/";
        fs::create_directories(Src);
        fs::create_directories(Dst);
        // The run's own home and data folders (set once for the whole run, since GLib reads them once),
        // on the same volume as the test's files so that the home trash is used.
        Home = qgetenv("HOME").toStdString();
        Data = qgetenv("XDG_DATA_HOME").toStdString();
        ASSERT_FALSE(Home.empty());
        ASSERT_FALSE(Data.empty());
        fs::create_directories(Data);
        fs::remove_all(Data + "/Trash");
        Previous = InstalledUIServices();
        InstallUIServices(&UI);
    }
    void TearDown() override
    {
        InstallUIServices(Previous);
        std::error_code Ec;
        fs::permissions(Data + "/Trash/info", fs::perms::owner_all, Ec);
        fs::remove_all(Data + "/Trash", Ec);
    }
    std::string TrashFiles() const { return Data + "/Trash/files/"; }
    std::string TrashInfo(const std::string& Name) const { return ReadAll(Data + "/Trash/info/" + Name + ".trashinfo"); }

    QTemporaryDir Tmp;
    std::string Root, Src, Dst, Home, Data;
    TScriptedUI UI;
    IUIServices* Previous = nullptr;
};

// ---- Copy, move, rename ---------------------------------------------------------------------------------

TEST_F(FileAdmin, CopyKeepsBytesDateAndModeAndLeavesNoTemporary)
{
    const std::string Bytes = Pattern(2'500'000, 1);  // more than one chunk, with a partial last one
    WriteAll(Src + "a.jpg", Bytes);
    ::chmod((Src + "a.jpg").c_str(), 0640);
    SetMTime(Src + "a.jpg", 1'000'000'000, 123'456'789);

    ASSERT_TRUE(ShellCopyFile("a.jpg", Src, Dst, true));
    EXPECT_EQ(ReadAll(Dst + "a.jpg"), Bytes);
    EXPECT_EQ(ReadAll(Src + "a.jpg"), Bytes);
    EXPECT_EQ(MTime(Dst + "a.jpg").tv_sec, 1'000'000'000);
    EXPECT_EQ(MTime(Dst + "a.jpg").tv_nsec, 123'456'789);
    EXPECT_EQ(fs::status(Dst + "a.jpg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Names(Dst), std::vector<std::string>{"a.jpg"});
    EXPECT_TRUE(UI.Messages.empty());

    // An empty file and folders given without a trailing delimiter.
    WriteAll(Src + "empty.bmp", "");
    ASSERT_TRUE(ShellCopyFile("empty.bmp", Root + "/src", Root + "/dst", true));
    EXPECT_TRUE(fs::exists(Dst + "empty.bmp"));
    EXPECT_EQ(fs::file_size(Dst + "empty.bmp"), 0u);
}

TEST_F(FileAdmin, MoveAndRenameTakeTheFileAlong)
{
    WriteAll(Src + "a.jpg", "picture");
    SetMTime(Src + "a.jpg", 1'200'000'000, 0);
    ASSERT_TRUE(ShellMoveFile("a.jpg", Src, Dst, true));
    EXPECT_FALSE(fs::exists(Src + "a.jpg"));
    EXPECT_EQ(ReadAll(Dst + "a.jpg"), "picture");
    EXPECT_EQ(MTime(Dst + "a.jpg").tv_sec, 1'200'000'000);

    ASSERT_TRUE(ShellRenameFile("a.jpg", "b.jpg", Dst, true));
    EXPECT_EQ(Names(Dst), std::vector<std::string>{"b.jpg"});
    EXPECT_EQ(ReadAll(Dst + "b.jpg"), "picture");

    // A change of letter case only is a real rename.
    ASSERT_TRUE(ShellRenameFile("b.jpg", "B.JPG", Dst, true));
    EXPECT_EQ(Names(Dst), std::vector<std::string>{"B.JPG"});
    EXPECT_TRUE(UI.Messages.empty());
}

// A folder on another volume than the test's own (/dev/shm against the temporary folder), or empty.
std::string SecondVolume(const QTemporaryDir& Other, const std::string& Root)
{
    struct stat A {}, B {};
    if (!Other.isValid() || ::stat(Root.c_str(), &A) != 0 || ::stat(Other.path().toUtf8().constData(), &B) != 0
        || A.st_dev == B.st_dev)
        return {};
    return Other.path().toStdString() + "/";
}

QString OtherVolumeTemplate() { return QDir::tempPath() == "/dev/shm" ? "/tmp/fa-XXXXXX" : "/dev/shm/fa-XXXXXX"; }

TEST_F(FileAdmin, MoveAcrossDevicesCopiesThenRemovesTheSource)
{
    QTemporaryDir Other(OtherVolumeTemplate());
    const std::string Far = SecondVolume(Other, Root);
    if (Far.empty())
        GTEST_SKIP() << "no second volume to move to (/dev/shm and the temporary folder are one device)";
    const std::string Bytes = Pattern(1'500'000, 2);
    WriteAll(Src + "a.jpg", Bytes);
    SetMTime(Src + "a.jpg", 1'100'000'000, 0);

    ASSERT_TRUE(ShellMoveFile("a.jpg", Src, Far, true));
    EXPECT_FALSE(fs::exists(Src + "a.jpg"));
    EXPECT_EQ(ReadAll(Far + "a.jpg"), Bytes);
    EXPECT_EQ(MTime(Far + "a.jpg").tv_sec, 1'100'000'000);
    EXPECT_EQ(Names(Far), std::vector<std::string>{"a.jpg"});

    // An existing file there is asked about once; No keeps both.
    WriteAll(Src + "a.jpg", "new");
    EXPECT_FALSE(ShellMoveFile("a.jpg", Src, Far, true));
    EXPECT_EQ(UI.Count(mtConfirmation), 1);
    EXPECT_EQ(ReadAll(Src + "a.jpg"), "new");
    EXPECT_EQ(ReadAll(Far + "a.jpg"), Bytes);
    EXPECT_EQ(Names(Far), std::vector<std::string>{"a.jpg"});
    UI.Answers = {mrYes};
    EXPECT_TRUE(ShellMoveFile("a.jpg", Src, Far, true));
    EXPECT_EQ(UI.Count(mtConfirmation), 2);
    EXPECT_EQ(ReadAll(Far + "a.jpg"), "new");
    EXPECT_FALSE(fs::exists(Src + "a.jpg"));
}

// A symbolic link moved to another volume stays a link to the same target, whether that target is
// relative, absolute or missing; a copy of a link still copies the picture it points to.
TEST_F(FileAdmin, LinkMovedAcrossDevicesStaysALink)
{
    QTemporaryDir Other(OtherVolumeTemplate());
    const std::string Far = SecondVolume(Other, Root);
    if (Far.empty())
        GTEST_SKIP() << "no second volume to move to (/dev/shm and the temporary folder are one device)";
    WriteAll(Src + "target.jpg", "picture");
    // Targets of 256 bytes and more take more than one read of the link.
    const std::pair<std::string, std::string> Links[] = {
        {"relative.jpg", "target.jpg"},
        {"absolute.jpg", Src + "target.jpg"},
        {"dangling.jpg", "gone.jpg"},
        {"long256.jpg", "./" + std::string(250, 'x') + ".jpg"},
        {"long405.jpg", std::string(200, 'd') + "/" + std::string(200, 'e') + ".jpg"}};
    for (const auto& [Name, Target] : Links) {
        SCOPED_TRACE(Name);
        fs::create_symlink(Target, Src + Name);
        ASSERT_TRUE(ShellMoveFile(Name, Src, Far, true));
        EXPECT_FALSE(fs::exists(fs::symlink_status(Src + Name)));
        ASSERT_TRUE(fs::is_symlink(Far + Name));
        EXPECT_EQ(fs::read_symlink(Far + Name).string(), Target);
    }
    EXPECT_EQ(ReadAll(Src + "target.jpg"), "picture");
    EXPECT_EQ(Names(Far), (std::vector<std::string>{"absolute.jpg", "dangling.jpg", "long256.jpg", "long405.jpg",
                                                    "relative.jpg"}));

    // An existing file of the link's name is replaced only on Yes.
    fs::create_symlink("target.jpg", Src + "relative.jpg");
    fs::remove(Far + "relative.jpg");
    WriteAll(Far + "relative.jpg", "old");
    EXPECT_FALSE(ShellMoveFile("relative.jpg", Src, Far, true));
    EXPECT_EQ(ReadAll(Far + "relative.jpg"), "old");
    EXPECT_TRUE(fs::is_symlink(Src + "relative.jpg"));
    UI.Answers = {mrYes};
    EXPECT_TRUE(ShellMoveFile("relative.jpg", Src, Far, true));
    EXPECT_EQ(fs::read_symlink(Far + "relative.jpg"), "target.jpg");
    EXPECT_EQ(Names(Far).size(), std::size(Links));  // no temporary left

    // Copy follows the link: the picture itself arrives.
    fs::create_symlink(Src + "target.jpg", Src + "copied.jpg");
    ASSERT_TRUE(ShellCopyFile("copied.jpg", Src, Far, true));
    EXPECT_FALSE(fs::is_symlink(Far + "copied.jpg"));
    EXPECT_EQ(ReadAll(Far + "copied.jpg"), "picture");
}

// ---- Existing destinations ------------------------------------------------------------------------------

enum class TOp { Copy, Move, Rename };

bool RunOp(TOp Op, const std::string& Src, const std::string& Dst, bool Confirm)
{
    switch (Op) {
    case TOp::Copy: return ShellCopyFile("a.jpg", Src, Dst, Confirm);
    case TOp::Move: return ShellMoveFile("a.jpg", Src, Dst, Confirm);
    case TOp::Rename: return ShellRenameFile("a.jpg", "b.jpg", Src, Confirm);
    }
    return false;
}

TEST_F(FileAdmin, ExistingDestinationIsReplacedOnlyOnYes)
{
    struct {
        TOp Op;
        bool Confirm;
        TModalResult Answer;
    } Cases[] = {
        {TOp::Copy, true, mrNo},   {TOp::Copy, true, mrYes},   {TOp::Copy, false, mrYes},
        {TOp::Move, true, mrNo},   {TOp::Move, true, mrYes},   {TOp::Move, false, mrYes},
        {TOp::Rename, true, mrNo}, {TOp::Rename, true, mrYes}, {TOp::Rename, false, mrYes},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(int(C.Op) * 10 + C.Confirm * 2 + (C.Answer == mrYes));
        fs::remove_all(Src), fs::remove_all(Dst);
        fs::create_directories(Src), fs::create_directories(Dst);
        UI.Messages.clear();
        UI.Answers = {C.Answer};
        const std::string Target = C.Op == TOp::Rename ? Src + "b.jpg" : Dst + "a.jpg";
        WriteAll(Src + "a.jpg", "new one");
        WriteAll(Target, "old one");

        const bool Replaced = C.Confirm && C.Answer == mrYes;
        EXPECT_EQ(RunOp(C.Op, Src, Dst, C.Confirm), Replaced);
        EXPECT_EQ(UI.Count(mtConfirmation), C.Confirm ? 1 : 0);
        if (C.Confirm && !UI.Messages.empty()) {
            EXPECT_NE(UI.Messages[0].Text.find("already exists"), std::string::npos);
        }
        EXPECT_EQ(ReadAll(Target), Replaced ? "new one" : "old one");
        const bool SourceKept = !Replaced || C.Op == TOp::Copy;
        EXPECT_EQ(fs::exists(Src + "a.jpg"), SourceKept);
        if (SourceKept) {
            EXPECT_EQ(ReadAll(Src + "a.jpg"), "new one");
        }
        // No temporary is left in either folder.
        EXPECT_EQ(Names(Src).size() + Names(Dst).size(), size_t(1 + SourceKept));
    }
}

TEST_F(FileAdmin, FolderInTheWayIsNeverReplaced)
{
    WriteAll(Src + "a.jpg", "picture");
    fs::create_directories(Dst + "a.jpg/inner");
    for (TOp Op : {TOp::Copy, TOp::Move}) {
        UI.Answers = {mrYes};
        UI.Messages.clear();
        EXPECT_FALSE(RunOp(Op, Src, Dst, true));
        EXPECT_EQ(UI.Count(mtConfirmation), 0);  // not even asked
        EXPECT_EQ(UI.Count(mtError), 1);
        EXPECT_TRUE(fs::is_directory(Dst + "a.jpg/inner"));
        EXPECT_EQ(ReadAll(Src + "a.jpg"), "picture");
    }
    EXPECT_EQ(Names(Dst), std::vector<std::string>{"a.jpg"});
}

TEST_F(FileAdmin, CopyOrMoveOntoItselfIsRefused)
{
    WriteAll(Src + "a.jpg", "picture");
    fs::create_directory_symlink(Src, Root + "/alias");
    fs::create_hard_link(Src + "a.jpg", Src + "b.jpg");
    const std::string Alias = Root + "/alias/";
    for (TOp Op : {TOp::Copy, TOp::Move, TOp::Rename}) {
        UI.Messages.clear();
        UI.Answers = {mrYes, mrYes};
        EXPECT_FALSE(RunOp(Op, Src, Src, true));    // the same folder (for the rename: a hard link of it)
        EXPECT_FALSE(RunOp(Op, Src, Alias, true));  // the folder under another name
        EXPECT_EQ(UI.Count(mtConfirmation), 0);
        EXPECT_GE(UI.Count(mtError), 2);
        EXPECT_EQ(ReadAll(Src + "a.jpg"), "picture");
        EXPECT_EQ(ReadAll(Src + "b.jpg"), "picture");
        EXPECT_EQ(Names(Src), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    }
}

TEST_F(FileAdmin, BadNamesAndMissingFilesFail)
{
    WriteAll(Src + "a.jpg", "picture");
    for (const std::string& Bad : {std::string(""), std::string("."), std::string(".."), std::string("x/y.jpg"),
                                   std::string("x\0y", 3), std::string(256, 'n')})
        EXPECT_FALSE(ShellRenameFile("a.jpg", Bad, Src, true));
    EXPECT_FALSE(ShellCopyFile("missing.jpg", Src, Dst, true));
    EXPECT_FALSE(ShellMoveFile("missing.jpg", Src, Dst, true));
    EXPECT_FALSE(ShellDeleteFile(Src + "missing.jpg", false));
    EXPECT_EQ(UI.Count(mtError), 9);
    EXPECT_EQ(Names(Src), std::vector<std::string>{"a.jpg"});
    EXPECT_TRUE(Names(Dst).empty());
}

// ---- Delete ---------------------------------------------------------------------------------------------

TEST_F(FileAdmin, DeleteMovesToTheTrashAfterAsking)
{
    WriteAll(Src + "a.jpg", "picture");
    EXPECT_FALSE(ShellDeleteFile(Src + "a.jpg", true));  // answered No
    EXPECT_EQ(UI.Count(mtConfirmation), 1);
    EXPECT_TRUE(fs::exists(Src + "a.jpg"));

    UI.Answers = {mrYes};
    ASSERT_TRUE(ShellDeleteFile(Src + "a.jpg", true));
    EXPECT_FALSE(fs::exists(Src + "a.jpg"));
    EXPECT_EQ(ReadAll(TrashFiles() + "a.jpg"), "picture");
    EXPECT_TRUE(fs::exists(Data + "/Trash/info/a.jpg.trashinfo"));
}

TEST_F(FileAdmin, DeleteWithoutATrashKeepsTheFile)
{
    WriteAll(Data + "/Trash", "not a folder");
    WriteAll(Src + "a.jpg", "picture");
    // Nothing may land in the working folder either.
    const std::string Cwd = Root + "/cwd";
    fs::create_directory(Cwd);
    const fs::path Was = fs::current_path();
    fs::current_path(Cwd);
    const bool Deleted = ShellDeleteFile(Src + "a.jpg", false);
    fs::current_path(Was);
    EXPECT_FALSE(Deleted);
    EXPECT_TRUE(Names(Cwd).empty());
    EXPECT_EQ(ReadAll(Src + "a.jpg"), "picture");
    ASSERT_EQ(UI.Count(mtError), 1);
    ExpectNotTrashed(UI.Messages[0].Text, Src + "a.jpg");
    EXPECT_EQ(ReadAll(Data + "/Trash"), "not a folder");
}

// Runs Body on a thread of its own that sees Folder mounted read-only: the thread alone enters a
// private mount namespace, so neither the rest of the run nor the machine sees the mount, and it goes
// with the thread. Answers why that could not be set up, or empty once Body ran.
std::string WithReadOnlyFolder(const std::string& Folder, const std::function<void()>& Body)
{
    std::string Why;
    std::thread Thread([&] {
        const auto Failed = [&](const char* Step) { Why = std::string(Step) + ": " + std::strerror(errno); };
        if (::unshare(CLONE_NEWNS) != 0)
            return Failed("unshare(CLONE_NEWNS)");
        // Nothing mounted here may reach the namespace the thread came from.
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return Failed("making the mounts private");
        if (::mount(Folder.c_str(), Folder.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return Failed("bind mount");
        if (::mount(nullptr, Folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            return Failed("read-only remount");
        Body();
    });
    Thread.join();
    return Why;
}

// Runs Body on a thread of its own whose file accesses are checked as those of the user nobody: only
// that thread's file-system ids change (root loses its way through permissions there), not the rest
// of the run. Open lists the folders that user must write in, Pass those it must only pass through;
// they are opened to all meanwhile and get their modes back afterwards. Answers why that could not be
// done, or empty once Body ran.
std::string AsNobody(const std::vector<std::string>& Open, const std::vector<std::string>& Pass,
                     const std::function<void()>& Body)
{
    constexpr uid_t Nobody = 65534;
    std::vector<std::pair<std::string, fs::perms>> Modes;
    std::error_code Ec;
    for (const auto* List : {&Open, &Pass})
        for (const std::string& Folder : *List) {
            Modes.emplace_back(Folder, fs::status(Folder, Ec).permissions());
            fs::permissions(Folder, List == &Open ? fs::perms::all : fs::perms::others_exec, fs::perm_options::add, Ec);
        }
    std::string Why;
    std::thread Thread([&] {
        // setfsuid changes the calling thread alone and answers the previous id; -1 only reads it.
        ::setfsgid(Nobody);
        ::setfsuid(Nobody);
        if (::setfsuid(uid_t(-1)) != int(Nobody)) {
            Why = "setfsuid to nobody refused";
            return;
        }
        Body();
    });
    Thread.join();
    for (const auto& [Folder, Mode] : Modes)
        fs::permissions(Folder, Mode, Ec);
    return Why;
}

// A trash whose info folder cannot be written ends with the error rather than retrying for ever. An
// ordinary user meets it as a folder left owned by another user; root writes through permissions, so
// there the folder is a read-only mount, else root acts as another user.
TEST_F(FileAdmin, DeleteIntoAReadOnlyTrashKeepsTheFile)
{
    const std::string Info = Data + "/Trash/info";
    fs::create_directories(Data + "/Trash/files");
    fs::create_directories(Info);
    WriteAll(Src + "a.jpg", "picture");
    bool Deleted = true;
    const auto Delete = [&] { Deleted = ShellDeleteFile(Src + "a.jpg", false); };
    if (::geteuid() != 0) {
        fs::permissions(Info, fs::perms::owner_read | fs::perms::owner_exec);
        Delete();
    } else if (const std::string Why = WithReadOnlyFolder(Info, Delete); !Why.empty()) {
        const std::string Other = AsNobody({Src, TrashFiles()}, {Root, Home}, Delete);
        if (!Other.empty())
            GTEST_SKIP() << "no read-only trash for root: " << Why << "; " << Other;
    }
    EXPECT_FALSE(Deleted);
    EXPECT_EQ(ReadAll(Src + "a.jpg"), "picture");
    ASSERT_EQ(UI.Count(mtError), 1);
    ExpectNotTrashed(UI.Messages[0].Text, Src + "a.jpg");
    EXPECT_TRUE(Names(TrashFiles()).empty());
    EXPECT_TRUE(Names(Info).empty());
}

// Names are bytes: a name that is not UTF-8 goes to the trash itself, not a look-alike, and the info
// file records every name with URL escapes so that the trash can put it back.
TEST_F(FileAdmin, DeleteTrashesExactlyTheChosenBytes)
{
    struct {
        std::string Name;
        std::string Escaped;
    } Cases[] = {
        {"q\xff.jpg", "q%FF.jpg"},
        {"q\xef\xbf\xbd.jpg", "q%EF%BF%BD.jpg"},
        {"50% \xc3\x9c""ber caf\xc3\xa9.jpg", "50%25%20%C3%9Cber%20caf%C3%A9.jpg"},
    };
    for (const auto& C : Cases)
        WriteAll(Src + C.Name, C.Name);
    for (size_t I = 0; I < std::size(Cases); ++I) {
        SCOPED_TRACE(Cases[I].Escaped);
        ASSERT_TRUE(ShellDeleteFile(Src + Cases[I].Name, false));
        EXPECT_FALSE(fs::exists(Src + Cases[I].Name));
        for (size_t J = I + 1; J < std::size(Cases); ++J)
            EXPECT_EQ(ReadAll(Src + Cases[J].Name), Cases[J].Name);  // the others stay
        EXPECT_EQ(ReadAll(TrashFiles() + Cases[I].Name), Cases[I].Name);
        const std::string Info = TrashInfo(Cases[I].Name);
        const std::string Folder = QUrl::toPercentEncoding(QString::fromStdString(Src), "/").toStdString();
        EXPECT_NE(Info.find("\nPath=" + Folder + Cases[I].Escaped + "\n"), std::string::npos) << Info;
    }
    EXPECT_TRUE(UI.Messages.empty());
}

// ---- Batches --------------------------------------------------------------------------------------------

TEST_F(FileAdmin, BatchSkipsAFileAnsweredNoAndStopsAtTheFirstFailure)
{
    for (const char* N : {"1.jpg", "2.jpg", "3.jpg"})
        WriteAll(Src + N, N);
    WriteAll(Dst + "2.jpg", "old");

    const TFileBatchResult Copy = ShellCopyFiles({"1.jpg", "2.jpg", "3.jpg"}, Src, Dst, true);  // No to 2.jpg
    EXPECT_TRUE(Copy.Ok);
    EXPECT_EQ(Copy.Done, (std::vector<std::string>{"1.jpg", "3.jpg"}));
    EXPECT_EQ(Copy.Skipped, std::vector<std::string>{"2.jpg"});
    EXPECT_TRUE(Copy.Failed.empty());
    EXPECT_EQ(ReadAll(Dst + "2.jpg"), "old");
    EXPECT_EQ(ReadAll(Dst + "3.jpg"), "3.jpg");

    const TFileBatchResult Rename
        = ShellRenameFiles({{"1.jpg", "P_1.jpg"}, {"missing.jpg", "P_2.jpg"}, {"3.jpg", "P_3.jpg"}}, Src, true);
    EXPECT_FALSE(Rename.Ok);
    EXPECT_EQ(Rename.Done, std::vector<std::string>{"1.jpg"});
    EXPECT_EQ(Rename.Failed, "missing.jpg");
    EXPECT_EQ(Names(Src), (std::vector<std::string>{"2.jpg", "3.jpg", "P_1.jpg"}));

    const TFileBatchResult Move = ShellMoveFiles({"2.jpg", "3.jpg"}, Src, Root + "/nowhere/", true);
    EXPECT_FALSE(Move.Ok);
    EXPECT_TRUE(Move.Done.empty());
    EXPECT_EQ(Move.Failed, "2.jpg");

    const TFileBatchResult Delete = ShellDeleteFiles({Src + "2.jpg", Src + "3.jpg"}, false);
    EXPECT_TRUE(Delete.Ok);
    EXPECT_EQ(Delete.Done.size(), 2u);
    EXPECT_TRUE(Delete.Failed.empty());
    EXPECT_EQ(Names(Src), std::vector<std::string>{"P_1.jpg"});
}

TEST(FileAdminCaption, ChooseDirectoryCaption)
{
    EXPECT_EQ(ChooseDirectoryCaption("copy", "50%_a.jpg"), "Choose directory to copy '50%_a.jpg' to..");
}

} // namespace
