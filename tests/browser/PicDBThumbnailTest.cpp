// Thumbnail sizes, thumbnails made from BMP and JPEG files, file dates.
#include "PicDBTestSupport.h"

#include "image/XBitmap.h"

#include <QDir>
#include <QLocale>

using namespace picdbtest;

TEST(PicDBThumbnailSize, FitsTheBoxKeepingTheAspect)
{
    struct Case {
        int W, H, NewW, NewH;
    } Cases[] = {
        {1000, 15, 94, 1},  // width limits; Trunc(1.41) = 1 (padded to 2 rows later)
        {50, 40, 50, 40},   // smaller than the box: unchanged
        {94, 98, 94, 98},   // exactly the box
        {4000, 3000, 94, 70},
        {300, 1000, 29, 98}, // height limits: Trunc(98 / (1000 / 300)) = 29
        {1, 1000, 1, 98},    // Trunc(0.098) = 0 would lose the picture: one column stays
        {1000, 1, 94, 1},
        {188, 196, 94, 98},
    };
    for (const Case& C : Cases) {
        int W = 0, H = 0;
        picdb::ThumbnailSize(C.W, C.H, 94, 98, W, H);
        EXPECT_EQ(std::make_pair(W, H), std::make_pair(C.NewW, C.NewH)) << C.W << " x " << C.H;
    }
}

TEST(PicDBMakeThumbnail, BmpAndJpegGiveThumbnailsOfTheirTrueSize)
{
    TFolder F;
    WriteBmp(F / "flat.bmp", 1000, 15);
    WriteJpeg(F / "photo.jpg", 1600, 1200);
    WriteJpeg(F / "small.jpg", 40, 30);
    struct Case {
        const char* Name;
        int W, H, TW, TH;
    } Cases[] = {
        {"flat.bmp", 1000, 15, 94, 2}, // one row high, padded to two
        {"photo.jpg", 1600, 1200, 94, 70},
        {"small.jpg", 40, 30, 40, 30},
    };
    for (const Case& C : Cases) {
        const picdb::TThumbnail T = picdb::MakeThumbnail(F / C.Name, 94, 98);
        ASSERT_TRUE(T.Ok) << C.Name;
        EXPECT_EQ(T.Width, C.W) << C.Name;
        EXPECT_EQ(T.Height, C.H) << C.Name;
        EXPECT_EQ(T.FileAge, FileAgeOf(F / C.Name));
        int W = 0, H = 0;
        ASSERT_TRUE(TJPEGImage::ReadHeaderSize(T.Jpeg.data(), T.Jpeg.size(), W, H));
        EXPECT_EQ(std::make_pair(W, H), std::make_pair(C.TW, C.TH)) << C.Name;
    }
}

TEST(PicDBMakeThumbnail, ScaledJpegDecodeKeepsTheColours)
{
    TFolder F;
    WriteSolidJpeg(F / "red.jpg", 2000, 1000, RGB(200, 40, 30));
    const picdb::TThumbnail T = picdb::MakeThumbnail(F / "red.jpg", 94, 98);
    ASSERT_TRUE(T.Ok);
    TJPEGImage J;
    TBytesStream S(T.Jpeg.data(), int64_t(T.Jpeg.size()));
    J.LoadFromStream(S);
    TBitmap B;
    J.AssignTo(B);
    ASSERT_EQ(B.Width(), 94);
    ASSERT_EQ(B.Height(), 47);
    const TRGBTriple P = B.Row24(20)[40];
    EXPECT_NEAR(P.rgbtRed, 200, 6);
    EXPECT_NEAR(P.rgbtGreen, 40, 6);
    EXPECT_NEAR(P.rgbtBlue, 30, 6);
}

TEST(PicDBMakeThumbnail, FlatPictureGetsARowOfButtonFace)
{
    TFolder F;
    TBitmap B(500, 5, pf24bit);
    FillSolid(B, clBlack);
    B.SaveToFile(F / "line.bmp");
    const picdb::TThumbnail T = picdb::MakeThumbnail(F / "line.bmp", 94, 98);
    ASSERT_TRUE(T.Ok);
    TJPEGImage J;
    TBytesStream S(T.Jpeg.data(), int64_t(T.Jpeg.size()));
    J.LoadFromStream(S);
    TBitmap Out;
    J.AssignTo(Out);
    ASSERT_EQ(Out.Height(), 2);
    // JPEG blurs the two rows into each other; the second is clearly lighter than the black first.
    EXPECT_LT(Out.Row24(0)[50].rgbtGreen + 60, Out.Row24(1)[50].rgbtGreen);
}

TEST(PicDBMakeThumbnail, FilesThatAreNoPicturesGiveNothing)
{
    TFolder F;
    WriteText(F / "text.jpg", "This is not a picture at all, just some words.");
    WriteText(F / "short.jpg", "\xFF\xD8\xFF");
    std::vector<uint8_t> Cut = JpegBytes(64, 64, 1);
    Cut.resize(100);
    WriteBytes(F / "cut.jpg", Cut);
    QDir().mkdir(QString::fromStdString(F / "folder.jpg"));
    for (const char* Name : {"text.jpg", "short.jpg", "cut.jpg", "missing.jpg", "folder.jpg"})
        EXPECT_FALSE(picdb::MakeThumbnail(F / Name, 94, 98).Ok) << Name;
}

TEST(PicDBFileAge, PacksLocalTimeInDosForm)
{
    struct Case {
        int Y, Mo, D, H, Mi, S;
        uint32_t Packed;
    } Cases[] = {
        {1980, 1, 1, 0, 0, 0, 0x00210000u},
        {2023, 3, 14, 13, 5, 9, (43u << 25) | (3u << 21) | (14u << 16) | (13u << 11) | (5u << 5) | 4u},
        {2050, 12, 31, 23, 59, 58, (70u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u},
        {1975, 6, 1, 12, 0, 0, 0x00210000u}, // before DOS dates begin
    };
    for (const Case& C : Cases) {
        const int32_t Age = picdb::UnixTimeToFileAge(LocalTime(C.Y, C.Mo, C.D, C.H, C.Mi, C.S));
        EXPECT_EQ(uint32_t(Age), C.Packed) << C.Y << "-" << C.Mo << "-" << C.D;
    }
    QDateTime DT;
    ASSERT_TRUE(picdb::FileAgeToDateTime(int32_t(Cases[1].Packed), DT));
    EXPECT_EQ(DT, QDateTime(QDate(2023, 3, 14), QTime(13, 5, 8)));
    // Month 13, day 0, hour 25: no date.
    for (uint32_t Bad : {(43u << 25) | (13u << 21) | (1u << 16), (43u << 25) | (1u << 21), (43u << 25) | (1u << 21) | (1u << 16) | (25u << 11)})
        EXPECT_FALSE(picdb::FileAgeToDateTime(int32_t(Bad), DT)) << std::hex << Bad;
}

TEST(PicDBFileAge, DateTextShowsTheTimeExceptAtMidnight)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const std::string Afternoon = picdb::DateTimeToStr(QDateTime(QDate(2023, 3, 14), QTime(13, 5, 8)));
    const std::string Midnight = picdb::DateTimeToStr(QDateTime(QDate(2023, 3, 14), QTime(0, 0)));
    QLocale::setDefault(QLocale::system());
    EXPECT_NE(Afternoon.find("3/14/"), std::string::npos) << Afternoon;
    EXPECT_NE(Afternoon.find("1:05:08"), std::string::npos) << Afternoon;
    EXPECT_EQ(Afternoon.find("UTC"), std::string::npos) << Afternoon; // no time zone
    EXPECT_EQ(Midnight.find(':'), std::string::npos) << Midnight;
}
