// The recent-files menus: the list's order rules, thumbnails and their threads, the thumbnail file
// "Canvello.rfp" byte for byte and with damage, and the menu on screen.
#include "controls/RFPicPopupMenu.h"

#include "controls/XGraphicCtrls.h"
#include "image/BitmapUtils.h"
#include "platform/Jpeg.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <future>
#include <thread>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

TBytes ReadAll(const std::string& Path)
{
    std::ifstream in(Path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& Path, const TBytes& Bytes)
{
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
}

int32_t Int32At(const TBytes& B, size_t At)
{
    int32_t v;
    std::memcpy(&v, B.data() + At, 4);
    return v;
}

void PutInt32At(TBytes& B, size_t At, int32_t V) { std::memcpy(B.data() + At, &V, 4); }

// A W x H BMP file of one colour.
void WritePicture(const std::string& Path, int W, int H, TColor Colour)
{
    TBitmap picture(W, H, pf24bit);
    picture.Canvas().Brush.Color = Colour;
    picture.Canvas().FillRect(Rect(0, 0, W, H));
    picture.SaveToFile(Path);
}

void SetModificationTime(const std::string& Path, time_t Time)
{
    const struct utimbuf times{Time, Time};
    ASSERT_EQ(::utime(Path.c_str(), &times), 0) << Path;
}

TColor PixelOf(const TBitmap& B, int X, int Y) { return B.GetPixel(X, Y); }

void DeliverDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

std::vector<std::string> Names(const TRecentFilesPopupMenu& Menu)
{
    std::vector<std::string> names;
    for (int i = 0; i < Menu.Count(); ++i)
        names.push_back(Menu.GetFileName(i));
    return names;
}

class RecentFiles : public ::testing::Test {
protected:
    std::string Path(const std::string& Name) const { return Dir.filePath(QString::fromStdString(Name)).toStdString(); }
    // A picture file in the test folder.
    std::string Picture(const std::string& Name, int W, int H, TColor Colour)
    {
        const std::string path = Path(Name);
        WritePicture(path, W, H, Colour);
        return path;
    }
    // Writes a thumbnail file of Files (the last one newest) once every thumbnail is made.
    void SaveThumbnails(const std::string& FileName, const std::vector<std::string>& Files);
    QTemporaryDir Dir;
};

// A thumbnail menu as the main window sets it up, on a file in the test folder.
struct TThumbnailMenu {
    explicit TThumbnailMenu(const std::string& FileName)
    {
        Menu.SetFileHeaderName("Canvello RFP");
        Menu.FileNamePath = FileName;
    }
    ~TThumbnailMenu()
    {
        Menu.WaitForPreviews(10000);
        DeliverDeferredDeletes();
    }
    TRecentFilesPicPopupMenu Menu;
};

void RecentFiles::SaveThumbnails(const std::string& FileName, const std::vector<std::string>& Files)
{
    TThumbnailMenu m(FileName);
    for (const auto& file : Files)
        m.Menu.AddFile(file);
    ASSERT_TRUE(m.Menu.WaitForPreviews(10000));
    ASSERT_TRUE(m.Menu.SaveToFile());
}

} // namespace

// ---- The list ---------------------------------------------------------------------------------------

TEST(RecentFilesList, NewFilesGoFirstAndTheOldestDropsBeyondTheMaximum)
{
    TRecentFilesPopupMenu menu;
    EXPECT_EQ(menu.MaxFileList(), 5);
    std::string log;
    menu.OnAddItem = [&](TRecentFilesPopupMenu* Sender, TRecentFileItem* Item) {
        EXPECT_EQ(Sender, &menu);
        log += "+" + Item->FileName();
    };
    menu.OnDeleteItem = [&](TRecentFilesPopupMenu*, TRecentFileItem* Item) { log += "-" + Item->FileName(); };
    for (const char* name : {"/a", "/b", "/c", "/d", "/e", "/f"}) {
        TRecentFileItem* item = menu.AddFile(name);
        EXPECT_EQ(item, menu.Items(0));
        EXPECT_EQ(item->FileName(), name);
    }
    EXPECT_EQ(Names(menu), (std::vector<std::string>{"/f", "/e", "/d", "/c", "/b"}));
    EXPECT_EQ(log, "+/a+/b+/c+/d+/e+/f-/a");
    EXPECT_EQ(menu.actions().size(), 5) << "the menu shows the same items";
    EXPECT_EQ(menu.actions().first(), menu.Items(0));
}

TEST(RecentFilesList, AListedFileMovesToTheTopWithEverythingItCarries)
{
    TRecentFilesPopupMenu menu;
    for (const char* name : {"/pics/a", "/pics/b", "/pics/c", "/pics/d"})
        menu.AddFile(name);
    std::vector<TRecentFileItem*> items;
    for (int i = 0; i < menu.Count(); ++i)
        items.push_back(menu.Items(i));
    TRecentFileItem* b = menu.Items(2);
    b->Tag = 7;
    TBitmap thumbnail(3, 2, pf24bit);
    b->SetBitmap(&thumbnail);
    std::string clicked;
    b->OnClick = [&](TRecentFileItem* Sender) { clicked = "b:" + Sender->FileName(); };
    int events = 0;
    menu.OnAddItem = menu.OnDeleteItem = [&](TRecentFilesPopupMenu*, TRecentFileItem*) { ++events; };

    EXPECT_EQ(menu.AddFile("/pics/b"), items[0]);
    EXPECT_EQ(Names(menu), (std::vector<std::string>{"/pics/b", "/pics/d", "/pics/c", "/pics/a"}));
    for (int i = 0; i < menu.Count(); ++i)
        EXPECT_EQ(menu.Items(i), items[size_t(i)]) << "the items keep their places";
    EXPECT_EQ(items[0]->Tag, 7);
    EXPECT_EQ(items[0]->Bitmap().Width(), 3);
    EXPECT_FALSE(items[0]->icon().isNull());
    EXPECT_TRUE(items[2]->Bitmap().Empty());
    EXPECT_TRUE(items[2]->icon().isNull());
    items[0]->trigger();
    EXPECT_EQ(clicked, "b:/pics/b");
    EXPECT_EQ(events, 0);

    menu.AddFile("/pics/b");
    EXPECT_EQ(Names(menu), (std::vector<std::string>{"/pics/b", "/pics/d", "/pics/c", "/pics/a"}));
    // File names differ by case on this system: another file.
    menu.AddFile("/pics/B");
    EXPECT_EQ(Names(menu), (std::vector<std::string>{"/pics/B", "/pics/b", "/pics/d", "/pics/c", "/pics/a"}));
    EXPECT_EQ(menu.IndexOfFile("/pics/c"), 3);
    EXPECT_EQ(menu.IndexOfFile("/pics/C"), -1);
}

TEST(RecentFilesList, InvalidIndexesRaise)
{
    TRecentFilesPopupMenu menu;
    menu.AddFile("/x");
    const std::function<void(int)> calls[] = {
        [&](int i) { menu.GetFileName(i); },
        [&](int i) { menu.SetFileName(i, "/y"); },
        [&](int i) { menu.DeleteItem(i); },
        [&](int i) { menu.Items(i); },
    };
    for (const auto& call : calls)
        for (int index : {-1, 1}) {
            try {
                call(index);
                ADD_FAILURE() << "index " << index;
            } catch (const ERecentFilesPopUpMenuError& e) {
                EXPECT_EQ(e.Message, "Invalid item index " + std::to_string(index));
            }
        }
    EXPECT_EQ(Names(menu), (std::vector<std::string>{"/x"}));
}

TEST(RecentFilesList, TrimmingAppendingAndClearing)
{
    TRecentFilesPopupMenu menu;
    for (int i = 0; i < 7; ++i)
        menu.AppendFile("/f" + std::to_string(i));
    EXPECT_EQ(menu.Count(), 7) << "appending does not trim";
    std::string deleted;
    menu.OnDeleteItem = [&](TRecentFilesPopupMenu*, TRecentFileItem* Item) { deleted += Item->FileName(); };
    menu.SetMaxFileList(3);
    EXPECT_EQ(Names(menu), (std::vector<std::string>{"/f0", "/f1", "/f2"}));
    EXPECT_EQ(deleted, "/f6/f5/f4/f3");
    deleted.clear();
    menu.DeleteFile("/nothing");
    menu.DeleteFile("/f1");
    EXPECT_EQ(Names(menu), (std::vector<std::string>{"/f0", "/f2"}));
    EXPECT_EQ(deleted, "/f1");
    menu.Clear();
    EXPECT_EQ(menu.Count(), 0);
    EXPECT_TRUE(menu.actions().isEmpty());
    EXPECT_EQ(deleted, "/f1") << "clearing fires nothing";
    DeliverDeferredDeletes();
}

TEST(RecentFilesList, AnItemMayBeDeletedByItsOwnClick)
{
    TRecentFilesPopupMenu menu;
    std::string opened;
    menu.DefaultOnItemClick = [&](TRecentFileItem* Sender) {
        opened = Sender->FileName();
        menu.DeleteFile(Sender->FileName()); // the file failed to open
    };
    menu.AddFile("/pics/Tom & Jerry.bmp");
    TRecentFileItem* item = menu.Items(0);
    EXPECT_EQ(item->text(), "/pics/Tom && Jerry.bmp") << "no accelerator";
    item->trigger();
    EXPECT_EQ(opened, "/pics/Tom & Jerry.bmp");
    EXPECT_EQ(menu.Count(), 0);
    DeliverDeferredDeletes();
}

// ---- Thumbnails ---------------------------------------------------------------------------------------

TEST(RecentFilesThumbnails, SizesFitTheBox)
{
    const struct {
        int W, H, NewW, NewH;
    } cases[] = {
        {100, 100, 70, 70}, {200, 50, 80, 20}, {60, 75, 56, 70}, {60, 60, 60, 60}, {80, 70, 80, 70},
        {81, 70, 80, 69},   {80, 71, 78, 70},  {1, 1000, 1, 70}, {1000, 1, 80, 1}, {65535, 65535, 70, 70},
    };
    for (const auto& c : cases) {
        int w = 0, h = 0;
        rfpic::ThumbnailSize(c.W, c.H, w, h);
        EXPECT_EQ(w, c.NewW) << c.W << " x " << c.H;
        EXPECT_EQ(h, c.NewH) << c.W << " x " << c.H;
    }
}

TEST_F(RecentFiles, ThumbnailsOfPicturesAndOfAnythingElse)
{
    TBitmap thumbnail;
    ASSERT_TRUE(rfpic::MakeThumbnail(Picture("wide.bmp", 200, 50, clRed), thumbnail));
    EXPECT_EQ(thumbnail.Width(), 80);
    EXPECT_EQ(thumbnail.Height(), 20);
    EXPECT_EQ(thumbnail.PixelFormat(), pf24bit);
    EXPECT_EQ(PixelOf(thumbnail, 40, 10), clRed);

    // A big JPEG is decoded at a reduced scale: the thumbnail still has the size the picture's own
    // size gives (160 x 745 decodes at 1/4 as 40 x 187, whose thumbnail would be 14 x 70) and its
    // halves where they belong.
    const struct {
        int W, H, ThumbW, ThumbH;
    } jpegs[] = {{1600, 1200, 80, 60}, {160, 745, 15, 70}};
    for (const auto& c : jpegs) {
        SCOPED_TRACE(testing::Message() << c.W << " x " << c.H);
        const std::string name = Path("halves.jpg");
        {
            TBitmap halves(c.W, c.H, pf24bit);
            halves.Canvas().Brush.Color = RGB(220, 30, 30);
            halves.Canvas().FillRect(Rect(0, 0, c.W / 2, c.H));
            halves.Canvas().Brush.Color = RGB(30, 30, 220);
            halves.Canvas().FillRect(Rect(c.W / 2, 0, c.W, c.H));
            TJPEGImage jpeg;
            jpeg.Assign(halves);
            jpeg.SaveToFile(name);
        }
        ASSERT_TRUE(rfpic::MakeThumbnail(name, thumbnail));
        EXPECT_EQ(thumbnail.Width(), c.ThumbW);
        EXPECT_EQ(thumbnail.Height(), c.ThumbH);
        for (const auto& [x, colour] : {std::pair{c.ThumbW / 8, RGB(220, 30, 30)}, {c.ThumbW * 7 / 8, RGB(30, 30, 220)}}) {
            const TColor got = PixelOf(thumbnail, x, c.ThumbH / 2);
            EXPECT_NEAR(GetRValue(got), GetRValue(colour), 8) << x;
            EXPECT_NEAR(GetBValue(got), GetBValue(colour), 8) << x;
        }
    }

    WriteAll(Path("notes.bmp"), TBytes{'h', 'e', 'l', 'l', 'o'});
    for (const std::string& name : {Path("notes.bmp"), Path("missing.bmp"), Dir.path().toStdString()}) {
        EXPECT_FALSE(rfpic::MakeThumbnail(name, thumbnail)) << name;
        EXPECT_TRUE(thumbnail.Empty()) << name;
    }
}

TEST_F(RecentFiles, FileAgeIsThePackedLocalTimeOfTheLastWrite)
{
    const std::string path = Picture("dated.bmp", 2, 2, clWhite);
    struct tm local {};
    local.tm_year = 2021 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 4;
    local.tm_hour = 5;
    local.tm_min = 6;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    SetModificationTime(path, std::mktime(&local));
    EXPECT_EQ(::FileAge(path), (41 << 25) | (3 << 21) | (4 << 16) | (5 << 11) | (6 << 5) | 4);
    EXPECT_EQ(::FileAge(Path("missing.bmp")), -1);
    EXPECT_EQ(::FileAge(Dir.path().toStdString()), -1) << "a folder";
    EXPECT_EQ(::FileAge(path + std::string(1, '\0') + "x"), -1);
}

// ---- Preview threads ----------------------------------------------------------------------------------

TEST_F(RecentFiles, AThumbnailArrivingForADeletedItemIsDropped)
{
    const std::string red = Picture("red.bmp", 30, 20, clRed);
    const std::string blue = Picture("blue.bmp", 30, 20, clBlue);
    TThumbnailMenu m(Path("Canvello.rfp"));
    m.Menu.AddFile(red);
    EXPECT_EQ(m.Menu.Items(0)->Tag, ::FileAge(red));
    m.Menu.DeleteFile(red);
    DeliverDeferredDeletes(); // the item is freed before its thumbnail arrives
    ASSERT_TRUE(m.Menu.WaitForPreviews(10000));
    EXPECT_EQ(m.Menu.Count(), 0);

    // Deleted and listed again: only the new item's own thumbnail counts.
    m.Menu.AddFile(red);
    m.Menu.AddFile(blue);
    m.Menu.DeleteFile(red);
    DeliverDeferredDeletes();
    m.Menu.AddFile(red);
    ASSERT_TRUE(m.Menu.WaitForPreviews(10000));
    ASSERT_EQ(Names(m.Menu), (std::vector<std::string>{red, blue}));
    EXPECT_EQ(PixelOf(m.Menu.Items(0)->Bitmap(), 1, 1), clRed);
    EXPECT_EQ(PixelOf(m.Menu.Items(1)->Bitmap(), 1, 1), clBlue);
}

TEST_F(RecentFiles, ThumbnailThreadsStartOnlyWhenTheEventLoopTurns)
{
    // What was posted before (a new window's first paint) runs first, without a decode beside it.
    const std::string red = Picture("red.bmp", 30, 20, clRed);
    TThumbnailMenu m(Path("Canvello.rfp"));
    m.Menu.AddFile(red);
    EXPECT_EQ(m.Menu.PreviewsRunning(), 1) << "queued";
    QThread::msleep(200);
    QCoreApplication::sendPostedEvents(&m.Menu, QEvent::MetaCall);
    EXPECT_TRUE(m.Menu.Items(0)->Bitmap().Empty()) << "no thread before the event loop turns";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m.Menu.Items(0)->Bitmap().Empty(); }, 10000));
    EXPECT_EQ(PixelOf(m.Menu.Items(0)->Bitmap(), 1, 1), clRed);
    EXPECT_EQ(m.Menu.PreviewsRunning(), 0);
}

TEST_F(RecentFiles, AnItemWaitingForItsThumbnailKeepsItsPlaceAndMovedFilesKeepTheirs)
{
    const std::string red = Picture("red.bmp", 100, 100, clRed);
    const std::string blue = Picture("blue.bmp", 200, 50, clBlue);
    const std::string text = Path("readme.bmp");
    WriteAll(text, TBytes(100, 'x'));
    TThumbnailMenu m(Path("Canvello.rfp"));
    m.Menu.AddFile(red);
    m.Menu.AddFile(blue);
    m.Menu.AddFile(text);
    // Nothing has been handed over yet: the items wait and stay.
    m.Menu.UpdateItems(false);
    EXPECT_EQ(m.Menu.Count(), 3);
    // red moves to the top while its thumbnail is made; the thumbnail follows the file.
    m.Menu.AddFile(red);
    ASSERT_EQ(Names(m.Menu), (std::vector<std::string>{red, text, blue}));
    ASSERT_TRUE(m.Menu.WaitForPreviews(10000));
    EXPECT_EQ(m.Menu.Items(0)->Bitmap().Width(), 70);
    EXPECT_EQ(PixelOf(m.Menu.Items(0)->Bitmap(), 5, 5), clRed);
    EXPECT_TRUE(m.Menu.Items(1)->Bitmap().Empty()) << "not a picture";
    EXPECT_EQ(m.Menu.Items(2)->Bitmap().Height(), 20);
    EXPECT_EQ(PixelOf(m.Menu.Items(2)->Bitmap(), 5, 5), clBlue);

    // The next update drops what has no thumbnail and what is gone, and remakes what changed.
    ASSERT_TRUE(QFile::remove(QString::fromStdString(blue)));
    WritePicture(red, 40, 10, clLime);
    SetModificationTime(red, std::time(nullptr) - 3600);
    m.Menu.UpdateItems(true);
    EXPECT_EQ(Names(m.Menu), (std::vector<std::string>{red}));
    EXPECT_EQ(m.Menu.Items(0)->Tag, ::FileAge(red));
    ASSERT_TRUE(m.Menu.WaitForPreviews(10000));
    EXPECT_EQ(m.Menu.Items(0)->Bitmap().Width(), 40);
    EXPECT_EQ(PixelOf(m.Menu.Items(0)->Bitmap(), 5, 5), clLime);
}

TEST_F(RecentFiles, AMenuMayGoWhileItsThumbnailsAreMade)
{
    std::vector<std::string> files;
    for (int i = 0; i < 5; ++i)
        files.push_back(Picture("big" + std::to_string(i) + ".bmp", 1200, 900, clGreen));
    for (int round = 0; round < 3; ++round) {
        auto menu = std::make_unique<TRecentFilesPicPopupMenu>();
        for (const auto& file : files)
            menu->AddFile(file);
        if (round == 1)
            menu->DeleteFile(files[2]);
        menu.reset();
        QCoreApplication::processEvents();
    }
    DeliverDeferredDeletes();
}

// ---- The thumbnail file --------------------------------------------------------------------------------

TEST_F(RecentFiles, TheThumbnailFileIsWrittenAsLaidOutAndReadBackByteForByte)
{
    const std::string red = Picture("red.bmp", 12, 8, clRed);
    const std::string blue = Picture("blue.bmp", 100, 50, clBlue);
    const std::string first = Path("first.rfp");
    ASSERT_NO_FATAL_FAILURE(SaveThumbnails(first, {red, blue}));
    const TBytes bytes = ReadAll(first);
    ASSERT_GE(bytes.size(), 24u + 2 * 264);
    EXPECT_EQ(bytes[0], 12);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 13), "Canvello RFP");
    EXPECT_EQ(TBytes(bytes.begin() + 13, bytes.begin() + 16), TBytes(3, 0));
    EXPECT_EQ(Int32At(bytes, 16), 1) << "version";
    EXPECT_EQ(Int32At(bytes, 20), 2) << "count";
    size_t offset = 24 + 2 * 264;
    const std::string names[] = {blue, red};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const size_t record = 24 + size_t(i) * 264;
        EXPECT_EQ(bytes[record], names[i].size());
        EXPECT_EQ(std::string(bytes.begin() + long(record) + 1, bytes.begin() + long(record + 1 + names[i].size())),
                  names[i]);
        EXPECT_EQ(TBytes(bytes.begin() + long(record + 1 + names[i].size()), bytes.begin() + long(record + 256)),
                  TBytes(255 - names[i].size(), 0));
        EXPECT_EQ(Int32At(bytes, record + 256), int32_t(offset));
        EXPECT_EQ(Int32At(bytes, record + 260), ::FileAge(names[i]));
        TBitmap thumbnail;
        ASSERT_TRUE(rfpic::MakeThumbnail(names[i], thumbnail));
        TMemoryStream bmp;
        WriteBMP(bmp, thumbnail);
        ASSERT_LE(offset + bmp.Bytes().size(), bytes.size());
        EXPECT_EQ(TBytes(bytes.begin() + long(offset), bytes.begin() + long(offset + bmp.Bytes().size())), bmp.Bytes());
        offset += bmp.Bytes().size();
    }
    EXPECT_EQ(offset, bytes.size());

    TThumbnailMenu again(first);
    std::string loadingSeen;
    again.Menu.OnAddItem = [&](TRecentFilesPopupMenu*, TRecentFileItem*) { loadingSeen += again.Menu.Loading() ? "L" : "-"; };
    ASSERT_TRUE(again.Menu.LoadFromFile());
    EXPECT_FALSE(again.Menu.Loading());
    EXPECT_EQ(loadingSeen, "LL");
    EXPECT_EQ(again.Menu.PreviewsRunning(), 0) << "current thumbnails are taken as stored";
    ASSERT_EQ(Names(again.Menu), (std::vector<std::string>{blue, red}));
    EXPECT_EQ(again.Menu.Items(0)->Bitmap().Width(), 80);
    EXPECT_EQ(again.Menu.Items(1)->Tag, ::FileAge(red));
    again.Menu.FileNamePath = Path("second.rfp");
    ASSERT_TRUE(again.Menu.SaveToFile());
    EXPECT_EQ(ReadAll(Path("second.rfp")), ReadAll(Path("first.rfp")));
}

TEST_F(RecentFiles, HeaderNamesAndTheEmptyFile)
{
    TThumbnailMenu m(Path("empty.rfp"));
    ASSERT_TRUE(m.Menu.SaveToFile());
    const TBytes expected = {12, 'C', 'a', 'n', 'v', 'e', 'l', 'l', 'o', ' ', 'R', 'F', 'P', 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ReadAll(Path("empty.rfp")), expected);

    TRecentFilesPicPopupMenu long_;
    EXPECT_EQ(long_.FileHeaderName(), "Pic Popup File");
    long_.SetFileHeaderName("Canvello RFP and more");
    EXPECT_EQ(long_.FileHeaderName(), "Canvello RFP an");
    long_.FileNamePath = Path("long.rfp");
    ASSERT_TRUE(long_.SaveToFile());
    EXPECT_EQ(ReadAll(Path("long.rfp"))[0], 15);

    const struct {
        const char* Header;
        bool Matches;
    } readers[] = {{"CANVELLO RFP AN", true}, {"Canvello RFP and other", true}, {"Canvello RFP", false}, {"Pic Popup File", false}};
    for (const auto& r : readers) {
        TRecentFilesPicPopupMenu reader;
        reader.SetFileHeaderName(r.Header);
        reader.FileNamePath = Path("long.rfp");
        EXPECT_EQ(reader.LoadFromFile(), r.Matches) << r.Header;
    }
    TRecentFilesPicPopupMenu missing;
    missing.FileNamePath = Path("missing.rfp");
    EXPECT_FALSE(missing.LoadFromFile());
}

TEST_F(RecentFiles, ADamagedThumbnailFileAddsNothing)
{
    const std::string red = Picture("red.bmp", 16, 8, clRed);
    const std::string blue = Picture("blue.bmp", 8, 16, clBlue);
    const std::string good = Path("good.rfp");
    ASSERT_NO_FATAL_FAILURE(SaveThumbnails(good, {red, blue}));
    const TBytes bytes = ReadAll(good);
    const size_t thumb0 = size_t(Int32At(bytes, 24 + 256));
    const size_t thumb1 = size_t(Int32At(bytes, 24 + 264 + 256));

    auto loads = [&](const TBytes& Damaged) {
        const std::string path = Path("damaged.rfp");
        WriteAll(path, Damaged);
        TThumbnailMenu m(path);
        const bool loaded = m.Menu.LoadFromFile();
        EXPECT_EQ(m.Menu.Count(), loaded ? 2 : 0);
        return loaded;
    };
    ASSERT_TRUE(loads(bytes));

    // Cut short anywhere.
    for (size_t size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(loads(TBytes(bytes.begin(), bytes.begin() + long(size)))) << "cut at " << size;

    const struct {
        const char* Name;
        size_t At;
        int32_t Value;
    } patches[] = {
        {"huge count", 20, 0x7FFFFFFF},
        {"negative count", 20, -1},
        {"one record too many", 20, 3},
        {"offset before the end of the records", 24 + 256, 24},
        {"offset into the header", 24 + 256, 4},
        {"negative offset", 24 + 256, -2},
        {"offset past the end", 24 + 256, int32_t(bytes.size())},
        {"offset not at an image", 24 + 264 + 256, int32_t(thumb1 + 2)},
        {"huge thumbnail width", thumb0 + 18, 5000},
        {"huge thumbnail height", thumb0 + 22, 5000},
        {"zero thumbnail width", thumb1 + 18, 0},
        {"unknown image header", thumb1 + 14, 1000},
    };
    for (const auto& p : patches) {
        TBytes damaged = bytes;
        PutInt32At(damaged, p.At, p.Value);
        EXPECT_FALSE(loads(damaged)) << p.Name;
    }
    TBytes longHeader = bytes;
    longHeader[0] = 16;
    EXPECT_FALSE(loads(longHeader));
}

TEST_F(RecentFiles, LoadingListsTheFilesThatStillExistAndRemakesChangedThumbnails)
{
    const std::string changed = Picture("changed.bmp", 30, 30, clRed);
    const std::string gone = Picture("gone.bmp", 30, 30, clRed);
    const std::string same = Picture("same.bmp", 30, 30, clBlue);
    const std::string waiting = Picture("waiting.bmp", 30, 30, clYellow);
    const std::string tooLong = "/" + std::string(300, 'n') + ".bmp";
    const std::string file = Path("Canvello.rfp");
    {
        TThumbnailMenu m(file);
        for (const auto& name : {changed, gone, same})
            m.Menu.AddFile(name);
        ASSERT_TRUE(m.Menu.WaitForPreviews(10000));
        // Still being made when the file is written, and a name no record can hold.
        m.Menu.AddFile(waiting);
        m.Menu.AppendFile(tooLong);
        ASSERT_TRUE(m.Menu.SaveToFile());
        EXPECT_EQ(Int32At(ReadAll(file), 20), 4) << "the long name is left out, not cut";
    }
    WritePicture(changed, 30, 30, clLime);
    SetModificationTime(changed, std::time(nullptr) - 7200);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(gone)));

    TThumbnailMenu m(file);
    ASSERT_TRUE(m.Menu.LoadFromFile());
    ASSERT_EQ(Names(m.Menu), (std::vector<std::string>{waiting, same, changed}));
    EXPECT_TRUE(m.Menu.Items(0)->Bitmap().Empty());
    EXPECT_EQ(PixelOf(m.Menu.Items(1)->Bitmap(), 1, 1), clBlue) << "taken from the file";
    EXPECT_TRUE(m.Menu.Items(2)->Bitmap().Empty()) << "remade on a thread";
    EXPECT_EQ(m.Menu.Items(2)->Tag, ::FileAge(changed));
    ASSERT_TRUE(m.Menu.WaitForPreviews(10000));
    EXPECT_EQ(PixelOf(m.Menu.Items(0)->Bitmap(), 1, 1), clYellow);
    EXPECT_EQ(PixelOf(m.Menu.Items(2)->Bitmap(), 1, 1), clLime);
}

TEST_F(RecentFiles, OnlyTheRecordsThatAreListedHaveTheirThumbnailsRead)
{
    const std::string red = Picture("red.bmp", 16, 8, clRed);
    const std::string blue = Picture("blue.bmp", 8, 16, clBlue);
    const std::string green = Picture("green.bmp", 10, 10, clLime);
    const std::string good = Path("good.rfp");
    ASSERT_NO_FATAL_FAILURE(SaveThumbnails(good, {red, blue}));
    const TBytes bytes = ReadAll(good);
    const size_t thumb0 = size_t(Int32At(bytes, 24 + 256)), thumb1 = size_t(Int32At(bytes, 24 + 264 + 256));
    const TBytes blueThumb(bytes.begin() + long(thumb0), bytes.begin() + long(thumb1));
    const TBytes redThumb(bytes.begin() + long(thumb1), bytes.end());

    // A gone file, blue, blue again, red, then thousands of records of one existing file: all but
    // blue's and red's point at an image that does not decode (a BMP claiming 5000 pixels a side).
    constexpr int32_t kExtra = 40000;
    const int32_t count = 4 + kExtra;
    const int64_t area = 24 + int64_t(count) * 264;
    const int32_t blueAt = int32_t(area), redAt = int32_t(area + blueThumb.size());
    const int32_t brokenAt = int32_t(redAt + redThumb.size());
    TBytes file(bytes.begin(), bytes.begin() + 24);
    PutInt32At(file, 20, count);
    const auto record = [&](const std::string& Name, int32_t Offset, int32_t Age) {
        TBytes r(264, 0);
        r[0] = uint8_t(Name.size());
        std::memcpy(r.data() + 1, Name.data(), Name.size());
        PutInt32At(r, 256, Offset);
        PutInt32At(r, 260, Age);
        file.insert(file.end(), r.begin(), r.end());
    };
    record(Path("gone.bmp"), brokenAt, 0);
    record(blue, blueAt, ::FileAge(blue));
    record(blue, brokenAt, ::FileAge(blue));
    record(red, redAt, ::FileAge(red));
    for (int32_t i = 0; i < kExtra; ++i)
        record(green, brokenAt, ::FileAge(green));
    file.insert(file.end(), blueThumb.begin(), blueThumb.end());
    file.insert(file.end(), redThumb.begin(), redThumb.end());
    TBytes broken = redThumb;
    PutInt32At(broken, 18, 5000);
    PutInt32At(broken, 22, 5000);
    file.insert(file.end(), broken.begin(), broken.end());
    const std::string path = Path("Canvello.rfp");
    WriteAll(path, file);

    {
        // Two kept: green's records are checked but their thumbnails never read.
        TThumbnailMenu m(path);
        m.Menu.SetMaxFileList(2);
        ASSERT_TRUE(m.Menu.LoadFromFile());
        ASSERT_EQ(Names(m.Menu), (std::vector<std::string>{blue, red}));
        EXPECT_EQ(PixelOf(m.Menu.Items(0)->Bitmap(), 1, 1), clBlue);
        EXPECT_EQ(PixelOf(m.Menu.Items(1)->Bitmap(), 1, 1), clRed);
        EXPECT_EQ(m.Menu.PreviewsRunning(), 0);
    }
    {
        // Five kept: green is listed, so its thumbnail is read, and it is damaged.
        TThumbnailMenu m(path);
        EXPECT_FALSE(m.Menu.LoadFromFile());
        EXPECT_EQ(m.Menu.Count(), 0);
    }
    {
        // A record after the kept ones that points outside the file still makes it damaged.
        PutInt32At(file, 24 + size_t(count - 1) * 264 + 256, int32_t(file.size()));
        WriteAll(path, file);
        TThumbnailMenu m(path);
        m.Menu.SetMaxFileList(2);
        EXPECT_FALSE(m.Menu.LoadFromFile());
        EXPECT_EQ(m.Menu.Count(), 0);
    }
}

TEST_F(RecentFiles, AFifoNamedLikeTheThumbnailFileListsNothingAtOnce)
{
    const std::string path = Path("Canvello.rfp");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    auto menu = std::make_shared<TRecentFilesPicPopupMenu>();
    menu->SetFileHeaderName("Canvello RFP");
    menu->FileNamePath = path;
    // On a thread of its own, so that a reader stuck on the FIFO cannot hang the test.
    std::promise<bool> done;
    std::future<bool> result = done.get_future();
    std::thread reader([menu, &done] { done.set_value(menu->LoadFromFile()); });
    if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "loading blocks on a FIFO";
        // A writer that comes and goes sets the stuck reader free.
        const int fd = ::open(path.c_str(), O_WRONLY);
        if (fd >= 0)
            ::close(fd);
    }
    reader.join();
    EXPECT_FALSE(result.get());
    EXPECT_EQ(menu->Count(), 0);
}

TEST_F(RecentFiles, SavingGoesToTheDataFolderAndFailsCleanly)
{
    TRecentFilesPicPopupMenu menu;
    EXPECT_FALSE(menu.SaveToFile()) << "no file name";
    menu.FileNamePath = Dir.path().toStdString();
    EXPECT_FALSE(menu.SaveToFile()) << "a folder";
    EXPECT_TRUE(QFileInfo(Dir.path()).isDir());
    menu.FileNamePath = Path("new/folder/Canvello.rfp");
    EXPECT_TRUE(menu.SaveToFile()) << "the folder is made";
    EXPECT_EQ(ReadAll(menu.FileNamePath).size(), 24u);

    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", Dir.path().toUtf8());
    const std::string path = rfpic::ThumbnailFilePath();
    if (old.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", old);
    EXPECT_EQ(path.rfind(Dir.path().toStdString() + "/", 0), 0u) << path;
    EXPECT_EQ(path.substr(path.size() - 13), "/Canvello.rfp");
}

// ---- On screen ------------------------------------------------------------------------------------------

TEST_F(RecentFiles, TheMenuShowsEachFileWithItsThumbnail)
{
    const std::string red = Picture("red.bmp", 100, 100, clRed);
    const std::string gone = Picture("gone.bmp", 10, 10, clBlue);
    TThumbnailMenu m(Path("Canvello.rfp"));
    m.Menu.AddFile(gone);
    m.Menu.AddFile(red);
    ASSERT_TRUE(m.Menu.WaitForPreviews(10000));
    ASSERT_TRUE(QFile::remove(QString::fromStdString(gone)));

    m.Menu.Popup(50, 50);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m.Menu));
    ASSERT_EQ(m.Menu.Count(), 1) << "brought up to date when shown";
    TRecentFileItem* item = m.Menu.Items(0);
    EXPECT_EQ(item->text().toStdString(), red);
    ASSERT_FALSE(item->icon().isNull());
    EXPECT_EQ(item->icon().availableSizes().value(0), QSize(70, 70));

    const QRect r = m.Menu.actionGeometry(item);
    EXPECT_EQ(r.height(), 78);
    const int x = r.left() + 5 + 5, y = r.top() + 4;
    auto pixel = [&](const QImage& Image, int X, int Y) { return QColor(Image.pixel(X, Y)); };
    QImage shown = m.Menu.grab().toImage();
    EXPECT_EQ(pixel(shown, x + 35, y + 35), ColorToQColor(clRed));
    EXPECT_EQ(pixel(shown, r.left() + 1, r.top() + 1), ColorToQColor(clMenu));
    EXPECT_EQ(pixel(shown, x - 2, y + 10), ColorToQColor(clBtnShadow)) << "sunken edge";
    EXPECT_EQ(pixel(shown, x - 1, y + 10), ColorToQColor(cl3DDkShadow));

    m.Menu.setActiveAction(item);
    m.Menu.DoubleBuffered = true;
    shown = m.Menu.grab().toImage();
    EXPECT_EQ(pixel(shown, r.left() + 1, r.top() + 1), ColorToQColor(clActiveCaption));
    EXPECT_EQ(pixel(shown, x + 35, y + 35), ColorToQColor(clRed));
    EXPECT_EQ(pixel(shown, x - 2, y + 10), ColorToQColor(clActiveCaption)) << "no edge when selected";
    m.Menu.hide();
}
