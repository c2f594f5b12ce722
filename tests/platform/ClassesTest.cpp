#include "platform/Classes.h"
#include "FileSizeLimit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

// GCC says so with __SANITIZE_ADDRESS__, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define CANVELLO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CANVELLO_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef CANVELLO_ADDRESS_SANITIZER
#define CANVELLO_ADDRESS_SANITIZER 0
#endif

namespace {

// A fresh folder per test, removed afterwards.
class TempDir {
public:
    TempDir()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        FPath = fs::temp_directory_path() /
                ("cv_classes_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(FPath);
        fs::create_directories(FPath);
    }
    ~TempDir() { fs::remove_all(FPath); }
    std::string File(const std::string& name) const { return (FPath / name).string(); }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(FPath))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path FPath;
};

std::string ReadAll(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The same read, seek and short-read rules hold for every kind of stream.
std::unique_ptr<TStream> MakeStream(const std::string& kind, const std::string& content, const TempDir& dir,
                                    std::string& keep)
{
    keep = content;
    if (kind == "memory") {
        auto s = std::make_unique<TMemoryStream>();
        s->WriteBuffer(content.data(), static_cast<int64_t>(content.size()));
        s->SetPosition(0);
        return s;
    }
    if (kind == "bytes")
        return std::make_unique<TBytesStream>(keep.data(), static_cast<int64_t>(keep.size()));
    const std::string name = dir.File("stream.bin");
    std::ofstream(name, std::ios::binary) << content;
    return std::make_unique<TFileStream>(name, fmOpenRead);
}

TEST(Streams, ReadSeekAndShortReadsBehaveAlikeForEveryStream)
{
    TempDir dir;
    for (const std::string kind : {"memory", "bytes", "file"}) {
        SCOPED_TRACE(kind);
        std::string keep;
        auto s = MakeStream(kind, "0123456789", dir, keep);
        EXPECT_EQ(s->Size(), 10);
        char buf[16] = {};
        EXPECT_EQ(s->Read(buf, 4), 4);
        EXPECT_EQ(std::string(buf, 4), "0123");
        EXPECT_EQ(s->Position(), 4);
        EXPECT_EQ(s->Seek(-2, soEnd), 8);
        EXPECT_EQ(s->Read(buf, 16), 2); // short read at the end
        EXPECT_EQ(std::string(buf, 2), "89");
        EXPECT_EQ(s->Read(buf, 1), 0);
        EXPECT_EQ(s->Seek(-3, soCurrent), 7);
        s->SetPosition(20); // past the end is allowed; reads give nothing
        EXPECT_EQ(s->Read(buf, 1), 0);

        s->SetPosition(6);
        try {
            s->ReadBuffer(buf, 5);
            ADD_FAILURE() << "short ReadBuffer did not raise";
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message, "Stream read error");
        }
        EXPECT_THROW(s->Seek(-1, soBeginning), EStreamError);
        EXPECT_THROW(s->Seek(-11, soEnd), EStreamError);

        s->SetPosition(0);
        EXPECT_EQ(s->ReadValue<uint16_t>(), uint16_t('0' | ('1' << 8)));
    }
}

TEST(Streams, MemoryStreamGrowsFillsGapsAndResizes)
{
    TMemoryStream m;
    m.WriteValue<uint8_t>(1);
    m.SetPosition(4);
    m.WriteValue<uint8_t>(5); // gap filled with zeros
    EXPECT_EQ(m.Size(), 5);
    EXPECT_EQ(m.Bytes(), (std::vector<uint8_t>{1, 0, 0, 0, 5}));
    m.SetSize(2);
    EXPECT_EQ(m.Position(), 2);
    EXPECT_EQ(m.Size(), 2);
    EXPECT_THROW(m.SetSize(-1), EStreamError);
#if !CANVELLO_ADDRESS_SANITIZER // the sanitizer ends the program on an impossible allocation
    m.SetPosition(int64_t(1) << 62);
    EXPECT_THROW(m.WriteValue<uint64_t>(0), EOutOfMemory);
    EXPECT_EQ(m.Size(), 2);
#endif
    m.Clear();
    EXPECT_EQ(m.Size(), 0);
    EXPECT_EQ(m.Position(), 0);
}

TEST(Streams, BytesStreamIsReadOnly)
{
    const uint8_t data[3] = {1, 2, 3};
    TBytesStream b(data, 3);
    EXPECT_THROW(b.WriteValue<uint8_t>(9), EWriteError);
    EXPECT_THROW(b.SetSize(1), EStreamError);
    EXPECT_EQ(b.ReadValue<uint8_t>(), 1);
}

TEST(Streams, CopyFromCopiesAllOrACount)
{
    TMemoryStream src;
    const std::string text = "abcdefgh";
    src.WriteBuffer(text.data(), 8);
    src.SetPosition(5);
    TMemoryStream all;
    EXPECT_EQ(all.CopyFrom(src, 0), 8); // 0: the whole source from its start
    EXPECT_EQ(std::string(all.Bytes().begin(), all.Bytes().end()), text);
    src.SetPosition(2);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(src, 3), 3);
    EXPECT_EQ(std::string(part.Bytes().begin(), part.Bytes().end()), "cde");
    src.SetPosition(6);
    EXPECT_THROW(part.CopyFrom(src, 3), EReadError);
}

TEST(FileStream, OpenAndCreateFailuresNameTheFileAndReason)
{
    TempDir dir;
    const std::string missing = dir.File("missing.bmp");
    try {
        TFileStream f(missing, fmOpenRead);
        ADD_FAILURE();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message, "Cannot open file \"" + missing + "\". No such file or directory");
    }
    const std::string inMissingDir = dir.File("nodir/x.bmp");
    try {
        TFileStream f(inMissingDir, fmCreate);
        ADD_FAILURE();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message, "Cannot create file \"" + inMissingDir + "\". No such file or directory");
    }
    // A folder is not a file, although Linux would open it for reading.
    EXPECT_THROW(TFileStream(dir.File(""), fmOpenRead), EFOpenError);
}

TEST(FileStream, CreateWriteTruncateAndReadBack)
{
    TempDir dir;
    const std::string name = dir.File("out.bin");
    {
        TFileStream f(name, fmCreate);
        f.WriteBuffer("hello world", 11);
        f.SetSize(5);
        EXPECT_EQ(f.Position(), 5);
        f.Flush();
    }
    EXPECT_EQ(ReadAll(name), "hello");
    {
        TFileStream f(name, fmOpenReadWrite);
        f.Seek(0, soEnd);
        f.WriteBuffer("!", 1);
    }
    EXPECT_EQ(ReadAll(name), "hello!");
    TFileStream readOnly(name, fmOpenRead | fmShareDenyWrite);
    EXPECT_THROW(readOnly.WriteBuffer("x", 1), EWriteError);
}

// A write the file system refuses part way (as on a full disk) fails the save, and the old file stays.
TEST(AtomicWrite, RefusedWriteKeepsTheOldFile)
{
    TempDir dir;
    const std::string name = dir.File("picbrowser.pbf");
    std::ofstream(name) << "old";
    const std::string big(64 * 1024, 'x');
    {
        TFileSizeLimit full(1000);
        EXPECT_THROW(WriteFileAtomically(name, [&](TStream& s) { s.WriteBuffer(big.data(), int64_t(big.size())); }),
                     EWriteError);
    }
    EXPECT_EQ(ReadAll(name), "old");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"picbrowser.pbf"});
}

TEST(AtomicWrite, ReplacesWholeOrLeavesTheOldFile)
{
    TempDir dir;
    const std::string name = dir.File("pic.bmp");
    std::ofstream(name) << "old";
    ::chmod(name.c_str(), 0640);

    EXPECT_THROW(WriteFileAtomically(name,
                                     [](TStream& s) {
                                         s.WriteBuffer("partial", 7);
                                         throw EWriteError("disk full");
                                     }),
                 EWriteError);
    EXPECT_EQ(ReadAll(name), "old");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"pic.bmp"}); // no temporary file left

    WriteFileAtomically(name, [](TStream& s) { s.WriteBuffer("new", 3); });
    EXPECT_EQ(ReadAll(name), "new");
    struct stat st {};
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u); // the replaced file's permissions are kept
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"pic.bmp"});
}

TEST(AtomicWrite, NewFilesAndLinksAndBadTargets)
{
    TempDir dir;
    const std::string fresh = dir.File("fresh.txt");
    const mode_t old = ::umask(027);
    WriteFileAtomically(fresh, [](TStream& s) { s.WriteBuffer("x", 1); });
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u); // 0644 minus the umask

    // Saving through a link replaces the file it points to and keeps the link.
    const std::string link = dir.File("link.txt");
    fs::create_symlink(fresh, link);
    WriteFileAtomically(link, [](TStream& s) { s.WriteBuffer("via link", 8); });
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadAll(fresh), "via link");

    EXPECT_THROW(WriteFileAtomically(dir.File("no/such/dir.txt"), [](TStream&) {}), EFCreateError);
    EXPECT_THROW(WriteFileAtomically(dir.File(""), [](TStream&) {}), EFCreateError);
}

// Saving never turns a special file into a picture, and refusals name the user's file.
TEST(AtomicWrite, SpecialFilesAndWriteProtectedFilesAreRefusedAndLeftAlone)
{
    TempDir dir;
    const std::string fifo = dir.File("pipe.bmp"), folder = dir.File("folder.bmp"), locked = dir.File("locked.bmp"),
                      viaLink = dir.File("device-link.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    std::ofstream(locked) << "old";
    ::chmod(locked.c_str(), 0444);
    fs::create_symlink(fifo, viaLink); // a FIFO stands in for a device behind a link
    const struct {
        std::string Name, Reason;
    } cases[] = {
        {fifo, "It is a named pipe (FIFO), not a file"},
        {viaLink, "It is a named pipe (FIFO), not a file"},
        {folder, "Is a directory"},
        {locked, "Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        bool wrote = false;
        try {
            WriteFileAtomically(c.Name, [&](TStream& s) { wrote = true; s.WriteBuffer("new", 3); });
            ADD_FAILURE() << "no exception";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message, "Cannot create file \"" + c.Name + "\". " + c.Reason);
        }
        EXPECT_FALSE(wrote);
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"device-link.bmp", "folder.bmp", "locked.bmp", "pipe.bmp"}));
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_symlink(viaLink));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(ReadAll(locked), "old");
}

TEST(AtomicWrite, DanglingLinksGetTheirTargetAndErrorsNameTheUsersFile)
{
    TempDir dir;
    const std::string link = dir.File("link.bmp"), target = dir.File("target.bmp");
    fs::create_symlink("target.bmp", link); // relative and dangling
    WriteFileAtomically(link, [](TStream& s) { s.WriteBuffer("made", 4); });
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadAll(target), "made");

    // A write error inside the writer names the file being saved, not the temporary file.
    const std::string name = dir.File("pic.bmp");
    std::ofstream(name) << "old";
    ::chmod(name.c_str(), 0604);
    try {
        WriteFileAtomically(name, [](TStream& s) {
            s.WriteBuffer("x", 1);
            static_cast<TFileStream&>(s).Seek(-5, soBeginning);
        });
        ADD_FAILURE();
    } catch (const EStreamError&) {
    }
    try {
        WriteFileAtomically(name, [&](TStream& s) {
            auto& f = static_cast<TFileStream&>(s);
            EXPECT_EQ(f.FileName(), name);
            ::close(::dup2(::open("/dev/null", O_RDONLY), f.Handle())); // writes now fail
            s.WriteBuffer("x", 1);
        });
        ADD_FAILURE();
    } catch (const EWriteError& e) {
        EXPECT_NE(e.Message.find("\"" + name + "\""), std::string::npos) << e.Message;
        EXPECT_EQ(e.Message.find(".pic.bmp."), std::string::npos) << e.Message;
    }
    EXPECT_EQ(ReadAll(name), "old");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"link.bmp", "pic.bmp", "target.bmp"}));
    WriteFileAtomically(name, [](TStream& s) { s.WriteBuffer("new", 3); });
    struct stat st {};
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
}

TEST(FileStream, OpeningAFifoFailsAtOnce)
{
    TempDir dir;
    const std::string fifo = dir.File("cache.rfp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (uint16_t mode : {uint16_t(fmOpenRead | fmShareDenyWrite), uint16_t(fmOpenReadWrite)}) {
        try {
            TFileStream f(fifo, mode);
            ADD_FAILURE();
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.Message, "Cannot open file \"" + fifo + "\". It is a named pipe (FIFO), not a file");
        }
    }
    TMemoryStream m;
    EXPECT_THROW(m.LoadFromFile(fifo), EFOpenError);
}

TEST(MemoryStream, SaveAndLoadFiles)
{
    TempDir dir;
    TMemoryStream m;
    m.WriteBuffer("abc", 3);
    m.SaveToFile(dir.File("m.bin"));
    TMemoryStream back;
    back.LoadFromFile(dir.File("m.bin"));
    EXPECT_EQ(back.Size(), 3);
    EXPECT_EQ(back.Position(), 0);
    EXPECT_EQ(back.Memory()[2], 'c');
    EXPECT_THROW(back.LoadFromFile(dir.File("none.bin")), EFOpenError);
    EXPECT_EQ(back.Size(), 3); // a failed load keeps the old contents
}

TEST(Lists, IndexErrorsCarryTheIndex)
{
    TList list;
    int a = 1, b = 2, c = 3;
    EXPECT_EQ(list.Add(&a), 0);
    EXPECT_EQ(list.Add(&b), 1);
    list.Insert(0, &c);
    EXPECT_EQ(list.IndexOf(&a), 1);
    list.Move(0, 2); // c to the end
    EXPECT_EQ(list[2], &c);
    list.Exchange(0, 1);
    EXPECT_EQ(list.First(), &b);
    EXPECT_EQ(list.Remove(&a), 1);
    EXPECT_EQ(list.Remove(&a), -1);

    const struct {
        std::function<void()> Call;
        const char* Message;
    } bad[] = {
        {[&] { list.Get(2); }, "List index out of bounds (2)"},
        {[&] { list.Get(-1); }, "List index out of bounds (-1)"},
        {[&] { list.Put(5, nullptr); }, "List index out of bounds (5)"},
        {[&] { list.Delete(2); }, "List index out of bounds (2)"},
        {[&] { list.Insert(3, nullptr); }, "List index out of bounds (3)"},
        {[&] { list.Move(0, 9); }, "List index out of bounds (9)"},
        {[&] { TList().Last(); }, "List index out of bounds (-1)"},
    };
    for (const auto& t : bad) {
        try {
            t.Call();
            ADD_FAILURE() << t.Message;
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message, t.Message);
        }
    }
    EXPECT_EQ(list.Count(), 2);

    int values[] = {5, 1, 4, 1};
    TList sorted;
    for (int& v : values)
        sorted.Add(&v);
    sorted.Sort([](void* x, void* y) { return *static_cast<int*>(x) - *static_cast<int*>(y); });
    EXPECT_EQ(sorted[0], &values[1]); // equal items keep their order
    EXPECT_EQ(sorted[1], &values[3]);
    EXPECT_EQ(*static_cast<int*>(sorted.Last()), 5);
}

TEST(StringLists, UnsortedAndSortedBehaviour)
{
    TStringList l;
    l.Add("b.jpg");
    l.Add("A.jpg");
    l.Add("b.jpg"); // an unsorted list keeps duplicates
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l.IndexOf("a.jpg"), -1); // case-sensitive by default
    l.CaseSensitive = false;
    EXPECT_EQ(l.IndexOf("a.jpg"), 1);
    l.CaseSensitive = true;

    try {
        l.Strings(3);
        ADD_FAILURE();
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message, "List index out of bounds (3)");
    }
    EXPECT_THROW(l.Delete(-1), EStringListError);
    EXPECT_THROW(l.Objects(7), EStringListError);

    l.SetSorted(true);
    EXPECT_EQ(l.Text(), "A.jpg\nb.jpg\nb.jpg\n");
    EXPECT_EQ(l.Add("b.jpg"), 1); // dupIgnore: the existing index
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l.Add("a0"), 1);
    int index = -1;
    EXPECT_FALSE(l.Find("Z", index));
    EXPECT_EQ(index, 1); // insertion point ('Z' < 'a')
    EXPECT_THROW(l.Insert(0, "x"), EStringListError);
    l.Duplicates = dupError;
    try {
        l.Add("a0");
        ADD_FAILURE();
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message, "String list does not allow duplicates");
    }
    l.Duplicates = dupAccept;
    l.Add("a0");
    EXPECT_EQ(l.Count(), 5);
}

TEST(StringLists, TextValuesObjectsAndFiles)
{
    TempDir dir;
    TStringList l;
    l.SetText("one\r\ntwo\rthree\n\nkey=value\n");
    ASSERT_EQ(l.Count(), 5);
    EXPECT_EQ(l[2], "three");
    EXPECT_EQ(l[3], "");
    EXPECT_EQ(l.Values("key"), "value");
    EXPECT_EQ(l.Values("none"), "");
    int obj = 0;
    l.SetObject(1, &obj);
    EXPECT_EQ(l.Objects(1), &obj);
    l.SetText("");
    EXPECT_EQ(l.Count(), 0);

    l.Add("x");
    l.Add("y");
    l.SaveToFile(dir.File("list.txt"));
    EXPECT_EQ(ReadAll(dir.File("list.txt")), "x\ny\n");
    TStringList back;
    back.LoadFromFile(dir.File("list.txt"));
    EXPECT_EQ(back.Count(), 2);
    EXPECT_EQ(back[1], "y");
}

} // namespace
