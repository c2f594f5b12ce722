// Browsing real folders: the first scan, opening again from the cache file, bringing a stale cache up
// to date, folders without pictures and folders whose cache cannot be written.
#include "PicDBTestSupport.h"

#include <QDir>
#include <QThread>

#include <unistd.h>

using namespace picdbtest;

namespace {

// A folder of pictures of both kinds, with other files that are no pictures of ours.
void MakeMixedFolder(const TFolder& F)
{
    WriteJpeg(F / "b.jpg", 120, 80, 1);
    WriteBmp(F / "a.bmp", 30, 20, 2);
    WriteJpeg(F / "C.JPG", 200, 100, 3);
    WriteJpeg(F / "A.jpeg", 64, 64, 4);
    WriteJpeg(F / "a.jpeg", 65, 65, 5); // differs from A.jpeg only in case: another picture
    WriteText(F / "notes.txt", "hello");
    WriteText(F / "broken.jpg", "not a picture");
    WriteJpeg(F / ".hidden.jpg", 10, 10, 6);
    WriteJpeg(F / "noext", 10, 10, 7);
    QDir().mkdir(QString::fromStdString(F / "sub.jpg"));
}

const std::vector<std::string> kMixedNames = {"a.bmp", "A.jpeg", "a.jpeg", "b.jpg", "C.JPG"};

} // namespace

TEST(PicDBFolder, ScanListsPicturesByNameAndReportsEachFile)
{
    TFolder F;
    MakeMixedFolder(F);
    TTestDB DB;
    const QThread* Gui = QThread::currentThread();
    bool OnGuiThread = true;
    DB.OnProgress = [&](TCustomPictureDB*) {
        OnGuiThread = OnGuiThread && QThread::currentThread() == Gui;
        DB.Events.push_back("step");
    };
    DB.SetDirectory(F.Path);
    EXPECT_EQ(DB.Names(), kMixedNames);
    // Six candidates (broken.jpg included): one progress step for each, the unreadable one too.
    EXPECT_EQ(DB.Events, (std::vector<std::string>{"start 6", "step", "step", "step", "step", "step", "step", "end"}));
    EXPECT_TRUE(OnGuiThread);
    EXPECT_TRUE(DB.Modified());
    EXPECT_EQ(DB.GetDimensionsText(3), "120 x 80");
    EXPECT_EQ(DB.GetFileName(4), "C.JPG");
    EXPECT_EQ(DB.Records(1)->FileAge, FileAgeOf(F / "A.jpeg"));
    EXPECT_EQ(DB.ThumbSize(4), std::make_pair(94, 47));
    EXPECT_FALSE(FileExists(F.Cache())); // written when the folder is left
    DB.Close(false);
    EXPECT_TRUE(FileExists(F.Cache()));
    EXPECT_FALSE(DB.Modified());
    EXPECT_EQ(DB.Count(), 0);
    EXPECT_EQ(DB.ThumbnailsSize(), 0);
}

TEST(PicDBFolder, DirectoryWithoutTrailingDelimiterStillWorks)
{
    TFolder F;
    WriteJpeg(F / "x.jpg", 20, 20);
    TTestDB DB;
    DB.SetDirectory(ExcludeTrailingPathDelimiter(F.Path));
    EXPECT_EQ(DB.Directory(), F.Path);
    EXPECT_EQ(DB.Count(), 1);
}

TEST(PicDBFolder, ReopeningUsesTheCacheWithoutOpeningPictures)
{
    TFolder F;
    MakeMixedFolder(F);
    {
        TTestDB DB;
        DB.SetDirectory(F.Path);
    } // destruction saves the cache
    ASSERT_TRUE(FileExists(F.Cache()));
    // Spoil a picture but keep its date: the cache still describes it, so it is not read again.
    const time_t When = LocalTime(2021, 5, 6, 7, 8, 10);
    SetFileTime(F / "b.jpg", When);
    {
        TTestDB DB;
        DB.SetDirectory(F.Path);
    }
    WriteText(F / "b.jpg", "spoiled");
    SetFileTime(F / "b.jpg", When);
    const std::vector<uint8_t> Before = ReadBytes(F.Cache());
    TTestDB DB;
    DB.SetDirectory(F.Path);
    EXPECT_EQ(DB.Names(), kMixedNames);
    EXPECT_EQ(DB.GetDimensionsText(3), "120 x 80");
    // broken.jpg has no record, so it is tried again; nothing changes, so nothing is written.
    EXPECT_EQ(DB.Events, (std::vector<std::string>{"start 1", "step 5", "end"}));
    EXPECT_FALSE(DB.Modified());
    DB.Close(false);
    EXPECT_EQ(ReadBytes(F.Cache()), Before); // nothing changed, nothing written
}

TEST(PicDBFolder, StaleCacheIsBroughtUpToDate)
{
    TFolder F;
    WriteJpeg(F / "keep.jpg", 50, 40, 1);
    WriteJpeg(F / "change.jpg", 60, 40, 2);
    WriteJpeg(F / "gone.jpg", 70, 40, 3);
    WriteJpeg(F / "z.jpg", 80, 40, 4);
    for (const char* Name : {"keep.jpg", "change.jpg", "gone.jpg", "z.jpg"})
        SetFileTime(F / Name, LocalTime(2020, 1, 2, 3, 4, 6));
    {
        TTestDB DB;
        DB.SetDirectory(F.Path);
        ASSERT_TRUE(DB.Sort(skName, false)); // z, keep, gone, change
    }
    WriteJpeg(F / "change.jpg", 300, 30, 9);
    SetFileTime(F / "change.jpg", LocalTime(2022, 1, 2, 3, 4, 6));
    ASSERT_EQ(::unlink((F / "gone.jpg").c_str()), 0);
    WriteBmp(F / "new.bmp", 10, 10);
    WriteJpeg(F / "new2.jpg", 11, 10);
    WriteJpeg(F / "new1.jpg", 12, 10);
    WriteText(F / "new3.jpg", "no picture");

    TTestDB DB;
    DB.SetDirectory(F.Path);
    // The old order stays; new files go to the end in the order of the file types, bmp before jpg.
    EXPECT_EQ(DB.Names(), (std::vector<std::string>{"z.jpg", "keep.jpg", "change.jpg", "new.bmp", "new1.jpg", "new2.jpg"}));
    EXPECT_EQ(DB.GetDimensionsText(2), "300 x 30");
    EXPECT_EQ(DB.Records(2)->FileAge, FileAgeOf(F / "change.jpg"));
    EXPECT_EQ(DB.ThumbSize(2), std::make_pair(94, 9));
    EXPECT_EQ(DB.ThumbSize(1), std::make_pair(50, 40));
    // Only the new files are reported, new3.jpg included.
    EXPECT_EQ(DB.Events, (std::vector<std::string>{"start 4", "step 4", "step 5", "step 6", "step 6", "end"}));
    EXPECT_TRUE(DB.Modified());
    // The thumbnails were copied down without gaps.
    int64_t Total = 0;
    for (int I = 0; I < DB.Count(); ++I)
        Total += DB.Records(I)->Length;
    EXPECT_EQ(DB.ThumbnailsSize(), Total);

    const std::vector<std::string> Names = DB.Names();
    DB.Close(false);
    TTestDB Again;
    Again.SetDirectory(F.Path);
    EXPECT_EQ(Again.Names(), Names);
    EXPECT_EQ(Again.Events, (std::vector<std::string>{"start 1", "step 6", "end"})); // new3.jpg again
    EXPECT_FALSE(Again.Modified());
}

TEST(PicDBFolder, FolderWithoutPicturesKeepsNoCacheFile)
{
    TFolder F;
    WriteJpeg(F / "only.jpg", 20, 20);
    {
        TTestDB DB;
        DB.SetDirectory(F.Path);
    }
    ASSERT_TRUE(FileExists(F.Cache()));
    ASSERT_EQ(::unlink((F / "only.jpg").c_str()), 0);
    TTestDB DB;
    DB.SetDirectory(F.Path);
    EXPECT_EQ(DB.Count(), 0);
    DB.Close(false);
    EXPECT_FALSE(FileExists(F.Cache()));

    // A damaged cache in an empty folder goes as well.
    WriteText(F.Cache(), "garbage garbage garbage");
    DB.SetDirectory(F.Path);
    DB.SetDirectory("");
    EXPECT_FALSE(FileExists(F.Cache()));
}

TEST(PicDBFolder, ClosedDatabaseLeavesTheCacheAloneWhenDestroyed)
{
    TFolder F;
    WriteJpeg(F / "one.jpg", 20, 20);
    {
        TTestDB DB;
        DB.SetDirectory(F.Path);
        DB.Close(false); // the window shows no folder: the cache is saved...
    } // ...and destroying the database afterwards must not delete it
    EXPECT_TRUE(FileExists(F.Cache()));
}

TEST(PicDBFolder, UnwritableCacheStillBrowses)
{
    TFolder F;
    WriteJpeg(F / "one.jpg", 20, 20);
    WriteJpeg(F / "two.jpg", 30, 20);
    // A folder standing where the cache file goes: it cannot be read or replaced.
    QDir().mkdir(QString::fromStdString(F.Cache()));
    TTestDB DB;
    DB.SetDirectory(F.Path);
    EXPECT_EQ(DB.Count(), 2);
    DB.Close(false);
    EXPECT_FALSE(DB.Modified());
    EXPECT_TRUE(DirectoryExists(F.Cache()));
    DB.SetDirectory(F.Path);
    EXPECT_EQ(DB.Count(), 2);
    ASSERT_NE(DB.DrawCell(1, false), nullptr);

    // A read-only folder (where permissions hold: not for root).
    if (::geteuid() != 0) {
        TFolder R;
        WriteJpeg(R / "one.jpg", 20, 20);
        ASSERT_EQ(::chmod(R.Path.c_str(), 0555), 0);
        TTestDB RO;
        RO.SetDirectory(R.Path);
        EXPECT_EQ(RO.Count(), 1);
        RO.Close(false);
        EXPECT_FALSE(FileExists(R.Cache()));
        ::chmod(R.Path.c_str(), 0755);
    }
}

TEST(PicDBFolder, CacheIsNeverReadOrWrittenThroughALink)
{
    TFolder F;
    WriteJpeg(F / "one.jpg", 20, 20);
    TFolder Elsewhere;
    WriteText(Elsewhere / "precious.txt", "keep me");
    ASSERT_EQ(::symlink((Elsewhere / "precious.txt").c_str(), F.Cache().c_str()), 0);
    TTestDB DB;
    DB.SetDirectory(F.Path);
    EXPECT_EQ(DB.Count(), 1);
    DB.Close(false);
    const std::vector<uint8_t> Kept = ReadBytes(Elsewhere / "precious.txt");
    EXPECT_EQ(std::string(Kept.begin(), Kept.end()), "keep me");
    struct stat St {};
    ASSERT_EQ(::lstat(F.Cache().c_str(), &St), 0);
    EXPECT_TRUE(S_ISREG(St.st_mode));
}

TEST(PicDBFolder, SwitchingFoldersSavesTheOldOne)
{
    TFolder A, B;
    WriteJpeg(A / "a.jpg", 20, 20);
    WriteJpeg(B / "b1.jpg", 20, 20);
    WriteJpeg(B / "b2.jpg", 20, 20);
    TTestDB DB;
    DB.SetDirectory(A.Path);
    DB.SetDirectory(B.Path);
    EXPECT_TRUE(FileExists(A.Cache()));
    EXPECT_FALSE(FileExists(B.Cache()));
    EXPECT_EQ(DB.Names(), (std::vector<std::string>{"b1.jpg", "b2.jpg"}));
}

TEST(PicDBFolder, ManyFilesComeBackInOrder)
{
    TFolder F;
    std::vector<std::string> Expected;
    for (int I = 0; I < 40; ++I) {
        const std::string Name = Format("p%.2d.%s", I, I % 3 == 0 ? "bmp" : "jpg");
        if (I % 3 == 0)
            WriteBmp(F / Name, 20 + I, 30, I);
        else
            WriteJpeg(F / Name, 20 + I, 30, I);
        Expected.push_back(Name);
    }
    TTestDB DB;
    DB.SetDirectory(F.Path);
    ASSERT_EQ(DB.Names(), Expected);
    for (int I = 0; I < DB.Count(); ++I)
        EXPECT_EQ(DB.Records(I)->Width, 20 + I);
}
