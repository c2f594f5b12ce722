// Changing single records (add, update, delete, move, rename), the four sorts, captions fitted to
// the cell and the painting of one cell.
#include "PicDBTestSupport.h"

#include <QImage>
#include <QPainter>

#include <unistd.h>

using namespace picdbtest;

namespace {

// Every record's thumbnail lies inside the stream and decodes to the size its header gives.
void ExpectThumbnailsIntact(TTestDB& DB)
{
    for (int I = 0; I < DB.Count(); ++I) {
        const TFileRecord* R = DB.Records(I);
        ASSERT_LE(int64_t(R->Offset) + R->Length, DB.ThumbnailsSize()) << R->Name;
        ASSERT_NE(DB.DrawCell(I, false), nullptr) << R->Name;
    }
}

struct TThreeFolder {
    TFolder F;
    TTestDB DB;
    TThreeFolder()
    {
        WriteJpeg(F / "a.jpg", 40, 20, 1);
        WriteJpeg(F / "b.jpg", 50, 30, 2);
        WriteJpeg(F / "c.jpg", 60, 40, 3);
        DB.SetDirectory(F.Path);
        DB.Close(false);
        DB.SetDirectory(F.Path); // from the cache: not modified
    }
};

} // namespace

TEST(PicDBRecords, InvalidIndicesChangeNothing)
{
    TThreeFolder T;
    for (int I : {-1, 3, 1000}) {
        EXPECT_FALSE(T.DB.Update(I));
        EXPECT_FALSE(T.DB.Delete(I));
        EXPECT_FALSE(T.DB.Rename(I, "x.jpg"));
        EXPECT_FALSE(T.DB.Move(I, 0));
        EXPECT_FALSE(T.DB.Move(0, I));
        EXPECT_EQ(T.DB.Records(I), nullptr);
        EXPECT_EQ(T.DB.DrawCell(I, false), nullptr);
        EXPECT_EQ(T.DB.GetFileName(I), "");
        EXPECT_EQ(T.DB.GetDimensionsText(I), "????");
        EXPECT_EQ(T.DB.GetDateText(I), "????");
    }
    EXPECT_FALSE(T.DB.Move(1, 1));
    EXPECT_EQ(T.DB.Count(), 3);
    EXPECT_FALSE(T.DB.Modified());
}

TEST(PicDBRecords, AddAppendsWhateverTheOrder)
{
    TThreeFolder T;
    ASSERT_TRUE(T.DB.Sort(skName, false));
    WriteBmp(T.F / "0.bmp", 70, 10);
    EXPECT_TRUE(T.DB.Add("0.bmp"));
    EXPECT_EQ(T.DB.Names(), (std::vector<std::string>{"c.jpg", "b.jpg", "a.jpg", "0.bmp"}));
    EXPECT_EQ(T.DB.IndexOfName("0.bmp"), 3);
    EXPECT_EQ(T.DB.IndexOf(T.DB.Records(3)), 3);
    EXPECT_EQ(T.DB.GetDimensionsText(3), "70 x 10");
    EXPECT_EQ(T.DB.Records(3)->ThumbY, (98 - 10) / 2 + 8);
    EXPECT_EQ(T.DB.Records(3)->Caption, "0.bmp");
    WriteText(T.F / "bad.jpg", "nope");
    const std::string TooLong = std::string(251, 'x') + ".jpg"; // 255 bytes: no room in the cache
    WriteBytes(T.F / TooLong, JpegBytes(10, 10, 1));
    ASSERT_TRUE(FileExists(T.F / TooLong));
    for (const std::string& Name : {std::string("bad.jpg"), std::string("missing.jpg"), TooLong, std::string("")})
        EXPECT_FALSE(T.DB.Add(Name)) << Name;
    EXPECT_EQ(T.DB.Count(), 4);
    ExpectThumbnailsIntact(T.DB);
}

TEST(PicDBRecords, UpdateReplacesTheThumbnailAndMovesTheOthersDown)
{
    TThreeFolder T;
    const int32_t OldLength = T.DB.Records(0)->Length;
    const int32_t OffsetB = T.DB.Records(1)->Offset;
    WriteJpeg(T.F / "a.jpg", 400, 100, 9);
    ASSERT_TRUE(T.DB.Update(0));
    EXPECT_EQ(T.DB.GetDimensionsText(0), "400 x 100");
    EXPECT_EQ(T.DB.Records(0)->FileAge, FileAgeOf(T.F / "a.jpg"));
    EXPECT_EQ(T.DB.Records(1)->Offset, OffsetB - OldLength);
    EXPECT_EQ(T.DB.ThumbSize(0), std::make_pair(94, 23));
    EXPECT_EQ(T.DB.Records(0)->ThumbY, (98 - 23) / 2 + 8);
    EXPECT_EQ(T.DB.Names(), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
    EXPECT_TRUE(T.DB.Modified());
    ExpectThumbnailsIntact(T.DB);

    // A file that is gone or no longer loads leaves its record as it was.
    ASSERT_EQ(::unlink((T.F / "b.jpg").c_str()), 0);
    WriteText(T.F / "c.jpg", "broken now");
    const TFileRecord Before = *T.DB.Records(1);
    EXPECT_TRUE(T.DB.Update(1));
    EXPECT_TRUE(T.DB.Update(2));
    EXPECT_EQ(T.DB.Records(1)->Offset, Before.Offset);
    EXPECT_EQ(T.DB.GetDimensionsText(2), "60 x 40");

    // The cache written afterwards reads back with every thumbnail intact.
    T.DB.Close(false);
    WriteJpeg(T.F / "b.jpg", 50, 30, 2);
    TTestDB Again;
    Again.SetDirectory(T.F.Path);
    EXPECT_EQ(Again.GetDimensionsText(0), "400 x 100");
    ExpectThumbnailsIntact(Again);
}

TEST(PicDBRecords, DeleteCutsTheThumbnailStream)
{
    TThreeFolder T;
    const int64_t Size = T.DB.ThumbnailsSize();
    const int32_t LengthB = T.DB.Records(1)->Length;
    ASSERT_TRUE(T.DB.Delete(1));
    EXPECT_EQ(T.DB.Names(), (std::vector<std::string>{"a.jpg", "c.jpg"}));
    EXPECT_EQ(T.DB.ThumbnailsSize(), Size - LengthB);
    ExpectThumbnailsIntact(T.DB);
    ASSERT_TRUE(T.DB.Delete(0));
    ASSERT_TRUE(T.DB.Delete(0));
    EXPECT_EQ(T.DB.Count(), 0);
    EXPECT_EQ(T.DB.ThumbnailsSize(), 0);
    EXPECT_TRUE(T.DB.Modified());
    T.DB.Close(false);
    EXPECT_FALSE(FileExists(T.F.Cache())); // no pictures left: no cache file
}

TEST(PicDBRecords, MoveShiftsTheRecordsBetween)
{
    TThreeFolder T;
    WriteJpeg(T.F / "d.jpg", 10, 10);
    ASSERT_TRUE(T.DB.Add("d.jpg"));
    ASSERT_TRUE(T.DB.Move(0, 2));
    EXPECT_EQ(T.DB.Names(), (std::vector<std::string>{"b.jpg", "c.jpg", "a.jpg", "d.jpg"}));
    ASSERT_TRUE(T.DB.Move(3, 0));
    EXPECT_EQ(T.DB.Names(), (std::vector<std::string>{"d.jpg", "b.jpg", "c.jpg", "a.jpg"}));
    T.DB.Close(false);
    TTestDB Again;
    Again.SetDirectory(T.F.Path);
    EXPECT_EQ(Again.Names(), (std::vector<std::string>{"d.jpg", "b.jpg", "c.jpg", "a.jpg"}));
}

TEST(PicDBRecords, RenameKeepsPlaceAndThumbnail)
{
    TThreeFolder T;
    const TFileRecord Before = *T.DB.Records(1);
    ASSERT_EQ(::rename((T.F / "b.jpg").c_str(), (T.F / "B2.jpg").c_str()), 0);
    ASSERT_TRUE(T.DB.Rename(1, "B2.jpg"));
    const TFileRecord& After = *T.DB.Records(1);
    EXPECT_EQ(After.Name, "B2.jpg");
    EXPECT_EQ(After.Caption, "B2.jpg");
    EXPECT_EQ(After.Offset, Before.Offset);
    EXPECT_EQ(After.ThumbX, Before.ThumbX);
    EXPECT_EQ(After.ThumbY, Before.ThumbY);
    EXPECT_TRUE(T.DB.Modified());
    for (const std::string& Bad : {std::string(""), std::string("a/b.jpg"), std::string(255, 'r'), std::string("..")})
        EXPECT_FALSE(T.DB.Rename(0, Bad));
    EXPECT_EQ(T.DB.GetFileName(0), "a.jpg");
    T.DB.Close(false);
    TTestDB Again;
    Again.SetDirectory(T.F.Path);
    EXPECT_EQ(Again.Names(), (std::vector<std::string>{"a.jpg", "B2.jpg", "c.jpg"}));
    EXPECT_TRUE(Again.Events.empty());
}

TEST(PicDBRecords, CaptionsFitTheCell)
{
    TFolder F;
    const std::string Long = "a_very_long_file_name_that_cannot_fit_in_one_cell.jpg";
    const std::string Wide = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                             "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.jpg";
    for (const std::string& Name : {std::string("s.jpg"), Long, Wide})
        WriteJpeg(F / Name, 20, 20);
    TTestDB DB;
    DB.SetDirectory(F.Path);
    TBitmap Measure(10, 10);
    const TCanvas& Canvas = Measure.Canvas();
    for (int I = 0; I < DB.Count(); ++I) {
        const TFileRecord& R = *DB.Records(I);
        const int W = Canvas.TextWidth(R.Caption);
        EXPECT_LE(W, DB.GetMaxThumbWidth()) << R.Name;
        EXPECT_GE(R.CaptionX, 8) << R.Name;
        if (R.Name == "s.jpg") {
            EXPECT_EQ(R.Caption, "s.jpg");
            EXPECT_EQ(R.CaptionX, (94 - W) / 2 + 8);
            continue;
        }
        ASSERT_GE(R.Caption.size(), 4u);
        EXPECT_EQ(R.Caption.substr(R.Caption.size() - 3), "...") << R.Caption;
        const std::string Prefix = R.Caption.substr(0, R.Caption.size() - 3);
        EXPECT_EQ(R.Name.compare(0, Prefix.size(), Prefix), 0);
        // The longest prefix: one character more would not fit with the ellipsis.
        const size_t Next = Prefix.size() + (R.Name == Wide ? 2 : 1);
        EXPECT_GT(Canvas.TextWidth(R.Name.substr(0, Next) + "..."), 94) << R.Caption;
        EXPECT_TRUE(QString::fromStdString(R.Caption).toStdString() == R.Caption) << "cut inside a character";
    }
}

TEST(PicDBRecords, SortsByNameDateTypeAndSize)
{
    TFolder F;
    struct File {
        const char* Name;
        int W, H;
        time_t When;
    } Files[] = {
        {"b.jpg", 20, 10, LocalTime(2020, 1, 1, 10, 0, 0)},
        {"a.bmp", 10, 20, LocalTime(2021, 1, 1, 10, 0, 0)},
        {"C.gif.jpg", 30, 30, LocalTime(2020, 1, 1, 10, 0, 0)},
        {"d.jpeg", 5, 5, LocalTime(2050, 6, 1, 10, 0, 0)}, // packed date with the top bit set
        {"A.BMP", 40, 5, LocalTime(2019, 1, 1, 10, 0, 0)},
    };
    for (const File& Fl : Files) {
        if (std::string(Fl.Name).find(".bmp") != std::string::npos || std::string(Fl.Name).find(".BMP") != std::string::npos)
            WriteBmp(F / Fl.Name, Fl.W, Fl.H);
        else
            WriteJpeg(F / Fl.Name, Fl.W, Fl.H);
        SetFileTime(F / Fl.Name, Fl.When);
    }
    TTestDB DB;
    DB.SetDirectory(F.Path);
    using Names = std::vector<std::string>;
    // Case-insensitive, the exact text breaking ties.
    EXPECT_EQ(DB.Names(), (Names{"A.BMP", "a.bmp", "b.jpg", "C.gif.jpg", "d.jpeg"}));
    struct Case {
        int Kind;
        bool Ascending;
        Names Expected;
    } Cases[] = {
        {skName, false, {"d.jpeg", "C.gif.jpg", "b.jpg", "a.bmp", "A.BMP"}},
        {skName, true, {"A.BMP", "a.bmp", "b.jpg", "C.gif.jpg", "d.jpeg"}},
        {skDate, true, {"A.BMP", "b.jpg", "C.gif.jpg", "a.bmp", "d.jpeg"}},
        {skDate, false, {"d.jpeg", "a.bmp", "C.gif.jpg", "b.jpg", "A.BMP"}}, // equal dates: names descending
        {skType, true, {"A.BMP", "a.bmp", "d.jpeg", "b.jpg", "C.gif.jpg"}}, // .bmp = .BMP < .jpeg < .jpg
        {skType, false, {"C.gif.jpg", "b.jpg", "d.jpeg", "a.bmp", "A.BMP"}},
        {skSize, true, {"d.jpeg", "A.BMP", "a.bmp", "b.jpg", "C.gif.jpg"}},
        {skSize, false, {"C.gif.jpg", "A.BMP", "a.bmp", "b.jpg", "d.jpeg"}}, // equal areas: names ascending
        {9, true, {"A.BMP", "a.bmp", "b.jpg", "C.gif.jpg", "d.jpeg"}},       // unknown kinds sort by name
    };
    for (const Case& C : Cases) {
        ASSERT_TRUE(DB.Sort(C.Kind, C.Ascending));
        EXPECT_EQ(DB.Names(), C.Expected) << "kind " << C.Kind << (C.Ascending ? " up" : " down");
        EXPECT_EQ(DB.SortKind(), C.Kind);
    }
    EXPECT_TRUE(DB.Modified());
}

TEST(PicDBRecords, DrawCellPaintsBackgroundEdgeThumbnailAndCaption)
{
    TFolder F;
    WriteSolidJpeg(F / "green.jpg", 40, 30, RGB(0, 200, 0));
    TTestDB DB;
    DB.SetDirectory(F.Path);
    const TFileRecord& R = *DB.Records(0);
    EXPECT_EQ(R.ThumbX, (94 - 40) / 2 + 8);
    EXPECT_EQ(R.ThumbY, (98 - 30) / 2 + 8);
    for (bool Selected : {false, true}) {
        TBitmap* Cell = DB.DrawCell(0, Selected);
        ASSERT_NE(Cell, nullptr);
        ASSERT_EQ(Cell->Width(), kCellW);
        ASSERT_EQ(Cell->Height(), kCellH);
        const TColor Back = Selected ? kSelect : ColorToRGB(clBtnFace);
        EXPECT_EQ(Cell->GetPixel(0, 0), ColorToRGB(clBtnFace)); // the frame outside CellRect
        EXPECT_EQ(Cell->GetPixel(kCellW - 1, 50), ColorToRGB(clBtnFace));
        EXPECT_EQ(Cell->GetPixel(1, 1), ColorToRGB(cl3DLight));
        EXPECT_EQ(Cell->GetPixel(2, 2), ColorToRGB(clBtnHighlight));
        EXPECT_EQ(Cell->GetPixel(kCellW - 2, kCellH - 2), ColorToRGB(cl3DDkShadow));
        EXPECT_EQ(Cell->GetPixel(kCellW - 3, kCellH - 3), ColorToRGB(clBtnShadow));
        EXPECT_EQ(Cell->GetPixel(kCellW - 2, 1), ColorToRGB(cl3DDkShadow));
        EXPECT_EQ(Cell->GetPixel(4, 4), Back);
        const TColor Thumb = Cell->GetPixel(R.ThumbX + 20, R.ThumbY + 15);
        EXPECT_NEAR(GetGValue(Thumb), 200, 8);
        EXPECT_LT(GetRValue(Thumb), 12);
        // Caption pixels in the text colour within the caption's row.
        const TColor Text = Selected ? kSelText : clBlack;
        bool Found = false;
        for (int Y = DB.GetCaptionY(); Y < kCellH - 2 && !Found; ++Y)
            for (int X = R.CaptionX; X < kCellW - 2 && !Found; ++X)
                Found = Cell->GetPixel(X, Y) == Text;
        EXPECT_TRUE(Found);
    }
    // The same cell onto a painter.
    QImage Image(200, 200, QImage::Format_RGB32);
    Image.fill(Qt::red);
    {
        QPainter P(&Image);
        EXPECT_TRUE(DB.DrawCell(0, true, P, Point(30, 40)));
        EXPECT_FALSE(DB.DrawCell(5, true, P, Point(30, 40)));
    }
    TBitmap* Cell = DB.DrawCell(0, true);
    for (const TPoint& At : {Point(0, 0), Point(4, 4), Point(R.ThumbX + 3, R.ThumbY + 3), Point(kCellW - 1, kCellH - 1)}) {
        const QRgb Got = Image.pixel(30 + At.X, 40 + At.Y);
        const TColor Want = Cell->GetPixel(At.X, At.Y);
        EXPECT_EQ(RGB(qRed(Got), qGreen(Got), qBlue(Got)), Want) << At.X << "," << At.Y;
    }
    EXPECT_EQ(Image.pixel(29, 40), QColor(Qt::red).rgb());
}

TEST(PicDBRecords, DateTextOfARecord)
{
    TFolder F;
    WriteJpeg(F / "x.jpg", 10, 10);
    SetFileTime(F / "x.jpg", LocalTime(2023, 3, 14, 13, 5, 9));
    TTestDB DB;
    DB.SetDirectory(F.Path);
    QDateTime DT;
    ASSERT_TRUE(picdb::FileAgeToDateTime(DB.Records(0)->FileAge, DT));
    EXPECT_EQ(DT, QDateTime(QDate(2023, 3, 14), QTime(13, 5, 8)));
    EXPECT_EQ(DB.GetDateText(0), picdb::DateTimeToStr(DT));
    DB.Records(0)->FileAge = int32_t((43u << 25) | (13u << 21) | (1u << 16)); // month 13
    EXPECT_EQ(DB.GetDateText(0), "????");
}

TEST(PicDBRecords, FileTypesChooseThePicturesAndIgnoreCase)
{
    TFolder F;
    WriteBmp(F / "a.bmp", 10, 10);
    WriteJpeg(F / "b.jpg", 10, 10);
    WriteJpeg(F / "c.Jpg", 10, 10);
    TTestDB DB;
    DB.SetFileTypes(" JPG , ,gif");
    EXPECT_TRUE(DB.IsKnownType("jpg"));
    EXPECT_TRUE(DB.IsKnownType("GIF"));
    EXPECT_FALSE(DB.IsKnownType("bmp"));
    EXPECT_FALSE(DB.IsKnownType(""));
    DB.SetDirectory(F.Path);
    EXPECT_EQ(DB.Names(), (std::vector<std::string>{"b.jpg", "c.Jpg"}));
}
