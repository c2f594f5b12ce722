// The picture bitmap: loading by content, saving by extension, atomic saves, damaged files, threads,
// the brush-shape mask.
#include "image/XBitmap.h"

#include "support/Fixtures.h"
#include "platform/Jpeg.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

std::string ImageFixture(const std::string& Name)
{
    return FixturePath("image/fixtures/" + Name);
}

std::vector<uint8_t> ReadBytes(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& Path, const std::vector<uint8_t>& Bytes)
{
    std::ofstream Out(Path, std::ios::binary);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

// The message of the exception of type E that Fn raises, or a note that it raised none.
template <typename E, typename F> std::string MessageOf(F&& Fn)
{
    try {
        Fn();
    } catch (const E& Err) {
        return Err.Message;
    }
    return "(no exception)";
}

// Every pixel of a 24-bit bitmap, row by row.
std::vector<TRGBTriple> Pixels(const TBitmap& Bmp)
{
    std::vector<TRGBTriple> P;
    for (int Y = 0; Y < Bmp.Height(); ++Y)
        P.insert(P.end(), Bmp.Row24(Y), Bmp.Row24(Y) + Bmp.Width());
    return P;
}

// A picture of W x H filled with one colour.
void Fill(TBitmap& Bmp, int W, int H, TColor C)
{
    Bmp.SetPixelFormat(pf24bit);
    Bmp.SetSize(W, H);
    Bmp.Canvas().Brush.Color = C;
    Bmp.Canvas().FillRect(Rect(0, 0, W, H));
}

// While it lives every flush of a file to the disk fails with EIO (a disk that took the writes but
// cannot keep them); Calls counts the attempts.
class TFailingFlush {
public:
    TFailingFlush()
    {
        Calls = 0;
        TFileStream::FileSync = [](int) {
            ++Calls;
            errno = EIO;
            return -1;
        };
    }
    ~TFailingFlush() { TFileStream::FileSync = FSaved; }
    TFailingFlush(const TFailingFlush&) = delete;
    TFailingFlush& operator=(const TFailingFlush&) = delete;
    static inline int Calls = 0;

private:
    int (*FSaved)(int) = TFileStream::FileSync;
};

class XBitmapFiles : public testing::Test {
protected:
    std::string Path(const std::string& Name) const { return QDir(Dir.path()).filePath(QString::fromStdString(Name)).toStdString(); }
    std::vector<std::string> FilesInDir() const
    {
        std::vector<std::string> Names;
        for (const auto& E : std::filesystem::directory_iterator(Dir.path().toStdString()))
            Names.push_back(E.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }
    QTemporaryDir Dir;
};

} // namespace

// ---- Loading by content ------------------------------------------------------------------------------
TEST(XBitmap, LoadsByContentNotByName)
{
    TXBitmap Bmp;
    Bmp.LoadPictureFromFile(ImageFixture("holiday.gif"), false); // a BMP
    EXPECT_EQ(Bmp.Width(), 5);
    EXPECT_EQ(Bmp.Height(), 3);
    EXPECT_EQ(Bmp.Row24(0)[0], (TRGBTriple{0, 0, 255})) << "top left is red";

    // A JPEG named .bmp goes to the JPEG decoder.
    const std::vector<uint8_t> Jpeg = ReadBytes(ImageFixture("photo.jpg"));
    TBytesStream Stream(Jpeg.data(), static_cast<int64_t>(Jpeg.size()));
    TXBitmap FromJpeg;
    FromJpeg.LoadPictureFromStream(Stream, false);
    EXPECT_EQ(FromJpeg.Width(), 37);
    EXPECT_EQ(FromJpeg.Height(), 23);
    EXPECT_EQ(FromJpeg.PixelFormat(), pf24bit);
    EXPECT_EQ(FromJpeg.GifLoadOptions, nullptr);
}

TEST(XBitmap, GifContentGoesToTheGifReaderWhateverTheName)
{
    TXBitmap Bmp;
    try {
        Bmp.LoadPictureFromFile(ImageFixture("logo.bmp"), false);
        EXPECT_EQ(Bmp.Width(), 4);
        EXPECT_EQ(Bmp.Height(), 2);
    } catch (const EInvalidGraphic& E) {
        EXPECT_NE(E.Message, "Bitmap image is not valid") << "taken for neither BMP nor GIF";
    }
}

TEST(XBitmap, ContentThatIsNoPictureFormatIsRefused)
{
    const struct {
        const char* Name;
        std::vector<uint8_t> Bytes;
        bool ForceBMP;
    } Cases[] = {
        {"lower-case gif signature", ReadBytes(ImageFixture("lowercase.gif")), false},
        {"text", std::vector<uint8_t>(20, 'x'), false},
        {"bm in lower case", {'b', 'm', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TXBitmap Bmp;
        Fill(Bmp, 2, 2, clRed);
        Bmp.GifLoadOptions = std::make_unique<TGifLoadOptions>();
        TBytesStream Stream(C.Bytes.data(), static_cast<int64_t>(C.Bytes.size()));
        EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { Bmp.LoadPictureFromStream(Stream, C.ForceBMP); }),
                  "Bitmap image is not valid");
        EXPECT_EQ(Bmp.GifLoadOptions, nullptr);
        EXPECT_EQ(Bmp.Width(), 2) << "old pixels kept";
        EXPECT_EQ(Bmp.Row24(1)[1], (TRGBTriple{0, 0, 255}));
    }
}

TEST(XBitmap, ForceBMPHandsAJpegToTheBitmapLoader)
{
    TXBitmap Bmp;
    EXPECT_THROW(Bmp.LoadPictureFromFile(ImageFixture("photo.jpg"), true), EInvalidGraphic);
    Bmp.LoadPictureFromFile(ImageFixture("photo.jpg"), false);
    EXPECT_EQ(Bmp.Width(), 37);
}

TEST(XBitmap, MissingFileRaisesOpenErrorAndKeepsEverything)
{
    TXBitmap Bmp;
    Fill(Bmp, 3, 1, clBlue);
    Bmp.GifLoadOptions = std::make_unique<TGifLoadOptions>();
    EXPECT_THROW(Bmp.LoadPictureFromFile(ImageFixture("no such picture.bmp"), false), EFOpenError);
    EXPECT_NE(Bmp.GifLoadOptions, nullptr);
    EXPECT_EQ(Bmp.Width(), 3);
}

// ---- Damaged files ---------------------------------------------------------------------------------
namespace {
std::vector<uint8_t> Patched(std::vector<uint8_t> Bytes, size_t At, std::vector<uint8_t> With)
{
    std::copy(With.begin(), With.end(), Bytes.begin() + static_cast<ptrdiff_t>(At));
    return Bytes;
}
std::vector<uint8_t> Cut(std::vector<uint8_t> Bytes, size_t Count)
{
    Bytes.resize(Count);
    return Bytes;
}
size_t FindSof(const std::vector<uint8_t>& Bytes)
{
    for (size_t I = 0; I + 1 < Bytes.size(); ++I)
        if (Bytes[I] == 0xFF && Bytes[I + 1] == 0xC0)
            return I;
    return 0;
}
} // namespace

TEST(XBitmap, DamagedFilesRaiseAndNeverCrash)
{
    const std::vector<uint8_t> Bmp = ReadBytes(ImageFixture("holiday.gif"));
    const std::vector<uint8_t> Jpeg = ReadBytes(ImageFixture("photo.jpg"));
    const size_t Sof = FindSof(Jpeg);
    std::vector<uint8_t> Noise(4096);
    uint32_t Seed = 99;
    for (auto& B : Noise)
        B = static_cast<uint8_t>((Seed = Seed * 1103515245u + 12345u) >> 24);

    const struct {
        const char* Name;
        std::vector<uint8_t> Bytes;
        bool ReadError; // the stream's own read error rather than an invalid picture
    } Cases[] = {
        {"13 bytes of a BMP", Cut(Bmp, 13), true},
        {"empty file", {}, true},
        {"BMP cut in its info header", Cut(Bmp, 30), false},
        {"BMP cut in its pixels", Cut(Bmp, 80), false},
        {"BMP 100000 pixels wide", Patched(Bmp, 18, {0xA0, 0x86, 0x01, 0x00}), false},
        {"BMP 65535 x 65535", Patched(Bmp, 18, {0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0}), false},
        {"BMP with negative width", Patched(Bmp, 18, {0xFF, 0xFF, 0xFF, 0xFF}), false},
        {"JPEG cut in its tables", Cut(Jpeg, 90), false},
        {"JPEG cut in its frame header", Cut(Jpeg, Sof + 4), false},
        {"JPEG 65535 x 65535", Patched(Jpeg, Sof + 5, {0xFF, 0xFF, 0xFF, 0xFF}), false},
        {"JPEG start marker then noise", Patched(Noise, 0, {0xFF, 0xD8}), false},
        {"BMP signature then noise", Patched(Noise, 0, {'B', 'M'}), false},
        {"noise", Noise, false},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TXBitmap Picture;
        TBytesStream Stream(C.Bytes.data(), static_cast<int64_t>(C.Bytes.size()));
        if (C.ReadError)
            EXPECT_EQ(MessageOf<EReadError>([&] { Picture.LoadPictureFromStream(Stream, false); }),
                      "Stream read error");
        else
            EXPECT_THROW(Picture.LoadPictureFromStream(Stream, false), EInvalidGraphic);
    }
}

TEST(XBitmap, JpegCutInItsScanLoadsWhatIsThere)
{
    const std::vector<uint8_t> Jpeg = ReadBytes(ImageFixture("photo.jpg"));
    TXBitmap Full, Part;
    TBytesStream FullStream(Jpeg.data(), static_cast<int64_t>(Jpeg.size()));
    Full.LoadPictureFromStream(FullStream, false);
    TBytesStream PartStream(Jpeg.data(), static_cast<int64_t>(Jpeg.size() - 60));
    Part.LoadPictureFromStream(PartStream, false);
    ASSERT_EQ(Part.Width(), 37);
    ASSERT_EQ(Part.Height(), 23);
    // The top-left blocks arrived whole.
    for (int Y = 0; Y < 8; ++Y)
        for (int X = 0; X < 16; ++X)
            ASSERT_EQ(Part.Row24(Y)[X], Full.Row24(Y)[X]) << X << "," << Y;
}

TEST(XBitmap, SavedFuzzFindingsLoadOrRaise)
{
    const std::string Folder = ImageFixture("fuzz");
    if (!std::filesystem::is_directory(Folder))
        GTEST_SKIP() << "no fuzz findings kept";
    for (const auto& E : std::filesystem::directory_iterator(Folder)) {
        SCOPED_TRACE(E.path().string());
        TXBitmap Bmp;
        try {
            Bmp.LoadPictureFromFile(E.path().string(), false);
        } catch (const Exception&) {
        }
    }
}

// ---- Saving by extension -----------------------------------------------------------------------------
namespace {
enum class TWritten { Bmp, Jpeg, Nothing };

TWritten KindOf(const std::string& Path)
{
    const std::vector<uint8_t> B = ReadBytes(Path);
    if (B.size() >= 2 && B[0] == 'B' && B[1] == 'M')
        return TWritten::Bmp;
    if (B.size() >= 2 && B[0] == 0xFF && B[1] == 0xD8)
        return TWritten::Jpeg;
    return TWritten::Nothing;
}
} // namespace

TEST_F(XBitmapFiles, SaveChoosesTheWriterByExtension)
{
    ASSERT_TRUE(QDir(Dir.path()).mkdir("my.files"));
    const struct {
        const char* Name;
        bool ForceBMP;
        TWritten Written;
        const char* Error;
    } Cases[] = {
        {"picture", false, TWritten::Bmp, nullptr},
        {"picture.Bmp", false, TWritten::Bmp, nullptr},
        {"my.files/picture", false, TWritten::Bmp, nullptr},
        {"my.files\\picture", false, TWritten::Bmp, nullptr}, // a backslash delimits too
        {"picture.", false, TWritten::Bmp, nullptr},
        {"picture.jpeg", false, TWritten::Jpeg, nullptr},
        {"picture.JPG", false, TWritten::Jpeg, nullptr},
        {"forced.jpg", true, TWritten::Bmp, nullptr},
        {"forced.tif", true, TWritten::Bmp, nullptr},
        {"picture.tif", false, TWritten::Nothing, "Unknown picture format :TIF"},
        {"picture.png", false, TWritten::Nothing, "Unknown picture format :PNG"},
    };
    TXBitmap Bmp;
    Fill(Bmp, 9, 7, clLime);
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string File = Path(C.Name);
        if (C.Error) {
            EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { Bmp.SavePictureToFile(File, C.ForceBMP); }), C.Error);
            EXPECT_FALSE(std::filesystem::exists(File));
            continue;
        }
        Bmp.SavePictureToFile(File, C.ForceBMP);
        EXPECT_EQ(KindOf(File), C.Written);
        TXBitmap Back;
        Back.LoadPictureFromFile(File, false);
        EXPECT_EQ(Back.Width(), 9);
        EXPECT_EQ(Back.Height(), 7);
        if (C.Written == TWritten::Bmp) {
            EXPECT_EQ(Pixels(Back), Pixels(Bmp));
        }
    }
}

TEST_F(XBitmapFiles, SaveAsJpegIsBaselineQuality90)
{
    TXBitmap Bmp;
    Bmp.LoadPictureFromFile(ImageFixture("photo.jpg"), false);
    const std::string File = Path("copy.jpg");
    Bmp.SavePictureToFile(File, false);
    const std::vector<uint8_t> Bytes = ReadBytes(File);
    // The frame is the first SOFn after the tables: baseline.
    size_t I = 2;
    uint8_t Frame = 0;
    while (I + 3 < Bytes.size() && Bytes[I] == 0xFF) {
        const uint8_t M = Bytes[I + 1];
        if (M >= 0xC0 && M <= 0xCF && M != 0xC4 && M != 0xC8 && M != 0xCC) {
            Frame = M;
            break;
        }
        I += 2 + ((Bytes[I + 2] << 8) | Bytes[I + 3]);
    }
    EXPECT_EQ(Frame, 0xC0);
    int W = 0, H = 0;
    ASSERT_TRUE(TJPEGImage::ReadHeaderSize(Bytes.data(), Bytes.size(), W, H));
    EXPECT_EQ(W, 37);
    EXPECT_EQ(H, 23);
}

TEST_F(XBitmapFiles, FailedSaveLeavesTheOldFile)
{
    const std::vector<uint8_t> Old = {'o', 'l', 'd'};
    TXBitmap Empty; // an empty picture cannot be written as JPEG
    for (const char* Name : {"old.jpg", "old.tif"}) {
        SCOPED_TRACE(Name);
        WriteBytes(Path(Name), Old);
        EXPECT_THROW(Empty.SavePictureToFile(Path(Name), false), EInvalidGraphic);
        EXPECT_EQ(ReadBytes(Path(Name)), Old);
    }
    EXPECT_EQ(FilesInDir(), (std::vector<std::string>{"old.jpg", "old.tif"})) << "no temporary file left";

    TXBitmap Bmp;
    Fill(Bmp, 2, 2, clWhite);
    EXPECT_THROW(Bmp.SavePictureToFile(Path("no such folder/picture.bmp"), false), Exception);
}

// A disk that takes every write but fails the closing flush (as a full or failing disk may): the
// save raises naming the user's file, the old file keeps its bytes and no temporary file is left.
TEST_F(XBitmapFiles, SaveWhoseFlushFailsRaisesAndKeepsTheOldFile)
{
    TXBitmap Bmp;
    Fill(Bmp, 9, 7, clLime);
    const std::vector<uint8_t> Old = {'o', 'l', 'd'};
    for (const char* Name : {"old.bmp", "old", "old.jpg", "old.gif"}) {
        SCOPED_TRACE(Name);
        WriteBytes(Path(Name), Old);
        TFailingFlush Failing;
        EXPECT_EQ(MessageOf<EWriteError>([&] { Bmp.SavePictureToFile(Path(Name), false); }),
                  "Cannot write file \"" + Path(Name) + "\". Input/output error");
        EXPECT_EQ(TFailingFlush::Calls, 1);
        EXPECT_EQ(ReadBytes(Path(Name)), Old);
    }
    EXPECT_EQ(FilesInDir(), (std::vector<std::string>{"old", "old.bmp", "old.gif", "old.jpg"}))
        << "no temporary file left";
    // With the disk's flush back the same saves replace the files.
    Bmp.SavePictureToFile(Path("old.gif"), false);
    EXPECT_NE(ReadBytes(Path("old.gif")), Old);
}

TEST_F(XBitmapFiles, SavingKeepsTheRememberedGifTransparency)
{
    TXBitmap Bmp;
    Fill(Bmp, 2, 2, clWhite);
    auto Options = std::make_unique<TGifLoadOptions>();
    Options->Transparent = true;
    Options->TransparentColour = clWhite;
    Bmp.GifLoadOptions = std::move(Options);
    Bmp.SavePictureToFile(Path("a.jpg"), false);
    Bmp.SavePictureToFile(Path("a.bmp"), false);
    auto* Kept = dynamic_cast<TGifLoadOptions*>(Bmp.GifLoadOptions.get());
    ASSERT_NE(Kept, nullptr);
    EXPECT_TRUE(Kept->Transparent);
    EXPECT_EQ(Kept->TransparentColour, clWhite);
}

// ---- Threads ---------------------------------------------------------------------------------------
TEST(XBitmap, LoadsOnSeveralThreadsAtOnce)
{
    const std::vector<std::string> Files = {ImageFixture("holiday.gif"), ImageFixture("photo.jpg")};
    std::vector<std::vector<TRGBTriple>> Expected;
    for (const auto& F : Files) {
        TXBitmap Bmp;
        Bmp.LoadPictureFromFile(F, false);
        Expected.push_back(Pixels(Bmp));
    }
    std::vector<int> Mismatches(8, 0);
    std::vector<std::thread> Threads;
    for (size_t T = 0; T < Mismatches.size(); ++T)
        Threads.emplace_back([&, T] {
            for (int I = 0; I < 40; ++I) {
                const size_t F = (T + I) % Files.size();
                TXBitmap Bmp;
                try {
                    Bmp.LoadPictureFromFile(Files[F], false);
                    Mismatches[T] += Pixels(Bmp) != Expected[F];
                } catch (...) {
                    ++Mismatches[T];
                }
            }
        });
    for (auto& T : Threads)
        T.join();
    for (int M : Mismatches)
        EXPECT_EQ(M, 0);
}

// ---- Bitmap helpers and the pen mask ---------------------------------------------------------------
TEST(XBitmap, BoundsRectIsThePictureSize)
{
    TXBitmap Bmp(100, 50);
    EXPECT_EQ(Bmp.GetBoundsRect(), Rect(0, 0, 100, 50));
}

TEST(XBitmap, AssignBitmapCopiesPixelsAsTheyAreAndKeepsItsFormat)
{
    TBitmap Source(4, 3, pf24bit);
    Fill(Source, 4, 3, clWhite);
    Source.Row24(1)[2] = {10, 20, 30};
    Source.SetTransparent(true); // white would drop out when drawn transparently
    TXBitmap Bmp(1, 1, pf32bit);
    Bmp.GifLoadOptions = std::make_unique<TGifLoadOptions>();
    Bmp.AssignBitmap(Source);
    EXPECT_TRUE(Source.Transparent());
    EXPECT_EQ(Bmp.PixelFormat(), pf32bit);
    EXPECT_EQ(Bmp.Width(), 4);
    EXPECT_EQ(Bmp.Height(), 3);
    EXPECT_EQ(Bmp.GetPixel(0, 0), clWhite);
    EXPECT_EQ(Bmp.GetPixel(2, 1), RGB(30, 20, 10));

    // Assign copies pixels but never the load options.
    TXBitmap Copy;
    Copy.Assign(&Bmp);
    EXPECT_EQ(Copy.GifLoadOptions, nullptr);
}

TEST(XBitmap, PenMaskMarksExactWhite)
{
    TBitmap Tip(3, 2, pf24bit);
    const TRGBTriple Almost{255, 255, 254}; // red 254
    const TRGBTriple Row0[3] = {WhiteTriple, {0, 0, 0}, Almost};
    const TRGBTriple Row1[3] = {{255, 254, 255}, WhiteTriple, WhiteTriple};
    std::copy(Row0, Row0 + 3, Tip.Row24(0));
    std::copy(Row1, Row1 + 3, Tip.Row24(1));
    Tip.SetPixelFormat(pf32bit); // switched back to 24 bits by the load

    TPenMaskArray Mask;
    Mask.SetSize(7, 7);
    Mask.Fill(true);
    Mask.LoadFromBitmap(Tip);
    EXPECT_EQ(Tip.PixelFormat(), pf24bit);
    ASSERT_EQ(Mask.Width, 3);
    ASSERT_EQ(Mask.Height, 2);
    const bool Expected[2][3] = {{true, false, false}, {false, true, true}};
    for (int Y = 0; Y < 2; ++Y)
        for (int X = 0; X < 3; ++X)
            EXPECT_EQ(Mask.GetItem(X, Y), Expected[Y][X]) << X << "," << Y;
}
