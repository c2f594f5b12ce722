// The cache file "picbrowser.pbf": its layout field by field, byte-exact round trips, the old
// version-0 layout, and damaged files of every kind falling back to a scan.
#include "PicDBTestSupport.h"

#include <functional>

#include <sys/resource.h>
#include <unistd.h>

using namespace picdbtest;

namespace {

int32_t Int32At(const std::vector<uint8_t>& B, size_t At)
{
    return int32_t(uint32_t(B[At]) | uint32_t(B[At + 1]) << 8 | uint32_t(B[At + 2]) << 16 | uint32_t(B[At + 3]) << 24);
}

// The same JPEG claiming another frame size (its first SOF segment rewritten).
std::vector<uint8_t> WithFrameSize(std::vector<uint8_t> J, int W, int H)
{
    for (size_t I = 2; I + 9 < J.size() && J[I] == 0xFF;) {
        const uint8_t Marker = J[I + 1];
        if (Marker >= 0xC0 && Marker <= 0xC2) {
            J[I + 5] = uint8_t(H >> 8);
            J[I + 6] = uint8_t(H);
            J[I + 7] = uint8_t(W >> 8);
            J[I + 8] = uint8_t(W);
            return J;
        }
        I += 2 + (size_t(J[I + 2]) << 8 | J[I + 3]);
    }
    ADD_FAILURE() << "no frame header";
    return J;
}

// Two real pictures whose cache entries claim the size 1234 x 567: a database that shows that size
// read the cache, one that shows 40 x 30 scanned the folder.
struct TCachedFolder {
    TFolder F;
    std::vector<uint8_t> Jpeg1 = JpegBytes(16, 12, 1), Jpeg2 = JpegBytes(12, 16, 2);
    int32_t Age1 = 0, Age2 = 0;
    TCachedFolder()
    {
        WriteJpeg(F / "one.jpg", 40, 30, 1);
        WriteJpeg(F / "two.jpg", 40, 30, 2);
        Age1 = FileAgeOf(F / "one.jpg");
        Age2 = FileAgeOf(F / "two.jpg");
    }
    // A version-1 file: thumbnails stored in the other order, junk after the names and after the
    // last thumbnail, all of which a reader must accept.
    TCacheWriter Valid(uint8_t Pad = 0xAB) const
    {
        TCacheWriter W;
        W.Magic();
        W.Int32(1);
        W.Int32(2);
        W.Record("one.jpg", Age1, 1234, 567, int32_t(Jpeg2.size()), int32_t(Jpeg1.size()), Pad);
        W.Record("two.jpg", Age2, 1234, 567, 0, int32_t(Jpeg2.size()), Pad);
        W.Append(Jpeg2);
        W.Append(Jpeg1);
        W.Append({1, 2, 3, 4, 5});
        return W;
    }
};

} // namespace

TEST(PicDBCacheFile, WrittenFieldByFieldLittleEndian)
{
    TFolder F;
    WriteJpeg(F / "b.jpg", 40, 30, 1);
    WriteBmp(F / "a.bmp", 20, 10, 2);
    TTestDB DB;
    DB.SetDirectory(F.Path);
    const int32_t L0 = DB.Records(0)->Length, L1 = DB.Records(1)->Length;
    DB.Close(false);
    const std::vector<uint8_t> B = ReadBytes(F.Cache());
    ASSERT_EQ(B.size(), size_t(24 + 2 * 275 + L0 + L1));
    EXPECT_EQ(std::string(B.begin(), B.begin() + 16), "\x0FPicture Browser");
    EXPECT_EQ(Int32At(B, 16), 1);
    EXPECT_EQ(Int32At(B, 20), 2);
    const size_t R0 = 24, R1 = 24 + 275;
    EXPECT_EQ(B[R0], 5);
    EXPECT_EQ(std::string(B.begin() + R0 + 1, B.begin() + R0 + 6), "a.bmp");
    EXPECT_TRUE(std::all_of(B.begin() + R0 + 6, B.begin() + R0 + 255, [](uint8_t V) { return V == 0; }));
    EXPECT_EQ(Int32At(B, R0 + 255), FileAgeOf(F / "a.bmp")); // FileAge comes before the size on disk
    EXPECT_EQ(Int32At(B, R0 + 259), 20);
    EXPECT_EQ(Int32At(B, R0 + 263), 10);
    EXPECT_EQ(Int32At(B, R0 + 267), 0);
    EXPECT_EQ(Int32At(B, R0 + 271), L0);
    EXPECT_EQ(std::string(B.begin() + R1 + 1, B.begin() + R1 + 6), "b.jpg");
    EXPECT_EQ(Int32At(B, R1 + 267), L0);
    EXPECT_EQ(Int32At(B, R1 + 271), L1);
    const size_t Area = 24 + 2 * 275;
    EXPECT_EQ(B[Area], 0xFF);
    EXPECT_EQ(B[Area + 1], 0xD8);
    EXPECT_EQ(B[Area + L0], 0xFF);
    EXPECT_EQ(B[Area + L0 + 1], 0xD8);
}

TEST(PicDBCacheFile, RoundTripsByteForByte)
{
    // A cache we wrote ourselves: reading it and writing it again gives the same bytes.
    {
        TFolder F;
        WriteJpeg(F / "x.jpg", 50, 20, 1);
        WriteJpeg(F / "y.jpg", 20, 50, 2);
        WriteBmp(F / "z.bmp", 33, 33, 3);
        {
            TTestDB DB;
            DB.SetDirectory(F.Path);
        }
        const std::vector<uint8_t> First = ReadBytes(F.Cache());
        TTestDB DB;
        DB.SetDirectory(F.Path);
        ASSERT_FALSE(DB.Modified());
        ASSERT_TRUE(DB.Sort(skName, true)); // the same order, but marked as changed
        DB.Close(false);
        EXPECT_EQ(ReadBytes(F.Cache()), First);
    }
    // A cache from elsewhere, with junk in the undefined bytes, thumbnails out of order and bytes
    // after the last thumbnail: all kept.
    TCachedFolder C;
    const std::vector<uint8_t> Original = C.Valid().Bytes;
    WriteBytes(C.F.Cache(), Original);
    TTestDB DB;
    DB.SetDirectory(C.F.Path);
    ASSERT_EQ(DB.GetDimensionsText(0), "1234 x 567");
    ASSERT_FALSE(DB.Modified());
    ASSERT_TRUE(::unlink(C.F.Cache().c_str()) == 0);
    ASSERT_TRUE(DB.WriteCache());
    EXPECT_EQ(ReadBytes(C.F.Cache()), Original);
}

TEST(PicDBCacheFile, OldVersionZeroLayoutIsReadAndRewritten)
{
    TCachedFolder C;
    // No magic, no version: the count at 0, records from 4, offsets counted from the file's start.
    TCacheWriter W;
    W.Int32(2);
    const int32_t Area = 4 + 2 * 275;
    W.Record("one.jpg", C.Age1, 1234, 567, Area, int32_t(C.Jpeg1.size()));
    W.Record("two.jpg", C.Age2, 1234, 567, Area + int32_t(C.Jpeg1.size()), int32_t(C.Jpeg2.size()));
    W.Append(C.Jpeg1);
    W.Append(C.Jpeg2);
    WriteBytes(C.F.Cache(), W.Bytes);

    TTestDB DB;
    DB.SetDirectory(C.F.Path);
    ASSERT_EQ(DB.Names(), (std::vector<std::string>{"one.jpg", "two.jpg"}));
    EXPECT_EQ(DB.GetDimensionsText(1), "1234 x 567");
    EXPECT_EQ(DB.Records(0)->Offset, 0);
    EXPECT_EQ(DB.Records(1)->Offset, int32_t(C.Jpeg1.size()));
    EXPECT_EQ(DB.ThumbSize(1), std::make_pair(12, 16));
    EXPECT_TRUE(DB.Modified());
    EXPECT_TRUE(DB.Events.empty());
    DB.Close(false);

    const std::vector<uint8_t> B = ReadBytes(C.F.Cache());
    ASSERT_EQ(B.size(), 24 + 2 * 275 + C.Jpeg1.size() + C.Jpeg2.size());
    EXPECT_EQ(std::string(B.begin(), B.begin() + 16), "\x0FPicture Browser");
    EXPECT_EQ(Int32At(B, 16), 1);
    EXPECT_EQ(std::vector<uint8_t>(B.begin() + 24 + 550, B.begin() + 24 + 550 + long(C.Jpeg1.size())), C.Jpeg1);
}

TEST(PicDBCacheFile, MagicIgnoresCaseAndAnyVersionIsRead)
{
    TCachedFolder C;
    struct Case {
        const char* Magic;
        int32_t Version;
    } Cases[] = {{"PICTURE browser", 1}, {"Picture Browser", 7}, {"Picture Browser", -3}};
    for (const Case& K : Cases) {
        TCacheWriter W = C.Valid(0);
        std::copy(K.Magic, K.Magic + 15, W.Bytes.begin() + 1);
        W.Bytes[16] = uint8_t(K.Version);
        W.Bytes[17] = W.Bytes[18] = W.Bytes[19] = K.Version < 0 ? 0xFF : 0;
        WriteBytes(C.F.Cache(), W.Bytes);
        TTestDB DB;
        DB.SetDirectory(C.F.Path);
        EXPECT_EQ(DB.GetDimensionsText(0), "1234 x 567") << K.Magic << " " << K.Version;
        EXPECT_FALSE(DB.Modified());
        DB.Close(true);
    }
    // The magic with version 0: offsets count from the start of the file, after the long header.
    TCacheWriter W;
    W.Magic();
    W.Int32(0);
    W.Int32(1);
    W.Record("one.jpg", C.Age1, 1234, 567, 24 + 275, int32_t(C.Jpeg1.size()));
    W.Append(C.Jpeg1);
    WriteBytes(C.F.Cache(), W.Bytes);
    TTestDB DB;
    DB.SetDirectory(C.F.Path);
    ASSERT_EQ(DB.Count(), 2); // two.jpg is new
    EXPECT_EQ(DB.GetDimensionsText(0), "1234 x 567");
    EXPECT_EQ(DB.Records(0)->Offset, 0);
    EXPECT_EQ(DB.GetDimensionsText(1), "40 x 30");
}

TEST(PicDBCacheFile, DamagedFilesFallBackToAScan)
{
    TCachedFolder C;
    const int32_t L1 = int32_t(C.Jpeg1.size()), L2 = int32_t(C.Jpeg2.size());
    const auto Records = [&](TCacheWriter& W, const std::string& Name1, int32_t Off1, int32_t Len1, const std::string& Name2,
                             int32_t Off2, int32_t Len2) {
        W.Magic();
        W.Int32(1);
        W.Int32(2);
        W.Record(Name1, C.Age1, 1234, 567, Off1, Len1);
        W.Record(Name2, C.Age2, 1234, 567, Off2, Len2);
        W.Append(C.Jpeg1);
        W.Append(C.Jpeg2);
    };
    const auto WithRecords = [&](std::string N1, int32_t O1, int32_t Len1, std::string N2, int32_t O2, int32_t Len2) {
        return [=](TCacheWriter& W) { Records(W, N1, O1, Len1, N2, O2, Len2); };
    };
    // The first thumbnail claims a frame of W x H; the box is 94 x 98.
    const auto WithFirstThumbnailOf = [&](int W, int H) {
        return [&C, L2, W, H](TCacheWriter& Out) {
            const std::vector<uint8_t> Big = WithFrameSize(C.Jpeg1, W, H);
            Out.Magic();
            Out.Int32(1);
            Out.Int32(2);
            Out.Record("one.jpg", C.Age1, 1234, 567, 0, int32_t(Big.size()));
            Out.Record("two.jpg", C.Age2, 1234, 567, int32_t(Big.size()), L2);
            Out.Append(Big);
            Out.Append(C.Jpeg2);
        };
    };
    struct Case {
        const char* What;
        std::function<void(TCacheWriter&)> Build;
    } Cases[] = {
        {"empty file", [](TCacheWriter&) {}},
        {"shorter than 16 bytes", [](TCacheWriter& W) { W.Int32(0); W.Int32(0); }},
        {"magic without version", [](TCacheWriter& W) { W.Magic(); W.Int32(1); }},
        {"negative count", [&](TCacheWriter& W) { W.Magic(); W.Int32(1); W.Int32(-1); W.Append(C.Jpeg1); }},
        {"count beyond the file", [&](TCacheWriter& W) { Records(W, "one.jpg", 0, L1, "two.jpg", L1, L2); W.Bytes[20] = 200; W.Bytes.resize(24 + 275 * 3); }},
        {"huge count", [&](TCacheWriter& W) { Records(W, "one.jpg", 0, L1, "two.jpg", L1, L2); W.Bytes[23] = 0x7F; }},
        {"cut inside the records", [&](TCacheWriter& W) { Records(W, "one.jpg", 0, L1, "two.jpg", L1, L2); W.Bytes.resize(24 + 275 + 100); }},
        {"offset past the area", WithRecords("one.jpg", 0, L1, "two.jpg", L1 + 1, L2)},
        {"length past the area", WithRecords("one.jpg", 0, L1, "two.jpg", L1, L2 + 1)},
        {"negative offset", WithRecords("one.jpg", -4, L1, "two.jpg", L1, L2)},
        {"negative length", WithRecords("one.jpg", 0, -L1, "two.jpg", L1, L2)},
        {"zero length", WithRecords("one.jpg", 0, 0, "two.jpg", L1, L2)},
        {"overflowing offset", WithRecords("one.jpg", 0x7FFFFFF0, 0x7FFFFFF0, "two.jpg", L1, L2)},
        {"overlapping thumbnails", WithRecords("one.jpg", 0, L1, "two.jpg", L1 - 10, L2)},
        {"shared thumbnail", WithRecords("one.jpg", 0, L1, "two.jpg", 0, L1)},
        {"duplicate name", WithRecords("one.jpg", 0, L1, "one.jpg", L1, L2)},
        {"name with a slash", WithRecords("one.jpg", 0, L1, "../two.jpg", L1, L2)},
        {"name dot dot", WithRecords("one.jpg", 0, L1, "..", L1, L2)},
        {"name dot", WithRecords(".", 0, L1, "two.jpg", L1, L2)},
        {"empty name", WithRecords("", 0, L1, "two.jpg", L1, L2)},
        {"name with NUL", WithRecords(std::string("one\0.jpg", 8), 0, L1, "two.jpg", L1, L2)},
        {"name length 255", [&](TCacheWriter& W) {
             W.Magic(); W.Int32(1); W.Int32(1);
             W.Record(std::string(254, 'n'), C.Age1, 1, 1, 0, L1, 'n', 255);
             W.Append(C.Jpeg1);
         }},
        {"thumbnail that is no JPEG", [&](TCacheWriter& W) {
             W.Magic(); W.Int32(1); W.Int32(2);
             W.Record("one.jpg", C.Age1, 1234, 567, 0, 20);
             W.Record("two.jpg", C.Age2, 1234, 567, 20, L2);
             W.Append(std::vector<uint8_t>(20, 0x55));
             W.Append(C.Jpeg2);
         }},
        {"thumbnail wider than the box", WithFirstThumbnailOf(95, 12)},
        {"thumbnail taller than the box", WithFirstThumbnailOf(16, 99)},
        {"thumbnail of 16000 x 16000", WithFirstThumbnailOf(16000, 16000)},
        {"version 0 with offsets before the area", [&](TCacheWriter& W) {
             W.Int32(1);
             W.Record("one.jpg", C.Age1, 1234, 567, 0, L1);
             W.Append(C.Jpeg1);
         }},
        {"garbage", [](TCacheWriter& W) { for (int I = 0; I < 4000; ++I) W.Bytes.push_back(uint8_t(I * 131 + 7)); }},
    };
    for (const Case& K : Cases) {
        TCacheWriter W;
        K.Build(W);
        WriteBytes(C.F.Cache(), W.Bytes);
        TTestDB DB;
        DB.SetDirectory(C.F.Path);
        ASSERT_EQ(DB.Names(), (std::vector<std::string>{"one.jpg", "two.jpg"})) << K.What;
        EXPECT_EQ(DB.GetDimensionsText(0), "40 x 30") << K.What;
        EXPECT_EQ(DB.GetDimensionsText(1), "40 x 30") << K.What;
        EXPECT_EQ(DB.Events.front(), "start 2") << K.What;
        ASSERT_NE(DB.DrawCell(1, true), nullptr) << K.What;
        DB.Close(false);
        // The damaged file was replaced by a good one.
        TTestDB Again;
        Again.SetDirectory(C.F.Path);
        EXPECT_TRUE(Again.Events.empty()) << K.What;
        EXPECT_EQ(Again.GetDimensionsText(1), "40 x 30") << K.What;
        Again.Close(true);
    }
}

TEST(PicDBCacheFile, RandomlyDamagedFilesNeverReadOutsideThemselves)
{
    TCachedFolder C;
    const std::vector<uint8_t> Good = C.Valid().Bytes;
    uint32_t Seed = 2024;
    const auto Next = [&Seed](uint32_t Range) {
        Seed = Seed * 1664525u + 1013904223u;
        return (Seed >> 8) % Range;
    };
    for (int Round = 0; Round < 150; ++Round) {
        std::vector<uint8_t> Bytes = Good;
        // Damage the header and records, where sizes, counts and offsets live; sometimes cut the file.
        for (uint32_t K = 0, N = 1 + Next(6); K < N; ++K)
            Bytes[Next(24 + 2 * 275)] = uint8_t(Next(256));
        if (Next(4) == 0)
            Bytes.resize(Next(uint32_t(Bytes.size())));
        WriteBytes(C.F.Cache(), Bytes);
        TTestDB DB;
        DB.SetDirectory(C.F.Path);
        ASSERT_LE(DB.Count(), 2) << Round;
        for (int I = 0; I < DB.Count(); ++I) {
            const TFileRecord& R = *DB.Records(I);
            ASSERT_GE(R.Offset, 0) << Round;
            ASSERT_LE(int64_t(R.Offset) + R.Length, DB.ThumbnailsSize()) << Round;
            DB.DrawCell(I, I == 0);
        }
        DB.Close(true);
    }
}

namespace {

// The peak memory of this process so far, in bytes.
int64_t PeakMemory()
{
    struct rusage Usage {};
    getrusage(RUSAGE_SELF, &Usage);
    return int64_t(Usage.ru_maxrss) * 1024;
}

// The same JPEG with its first quantisation table stored under another number: the header still
// reads, but the frame then asks for a table that was never defined and decoding fails.
std::vector<uint8_t> WithMissingQuantTable(std::vector<uint8_t> J)
{
    for (size_t I = 2; I + 4 < J.size() && J[I] == 0xFF;) {
        if (J[I + 1] == 0xDB) {
            J[I + 4] = uint8_t((J[I + 4] & 0xF0) | 3);
            return J;
        }
        I += 2 + (size_t(J[I + 2]) << 8 | J[I + 3]);
    }
    ADD_FAILURE() << "no quantisation table";
    return J;
}

} // namespace

TEST(PicDBCacheFile, AFileFarLargerThanItsRecordsNeedIsRefusedUnread)
{
    TCachedFolder C;
    const TCacheWriter Valid = C.Valid();
    // A few kilobytes of junk after the thumbnails are still read.
    {
        std::vector<uint8_t> Padded = Valid.Bytes;
        Padded.resize(Padded.size() + 8000, 0x11);
        WriteBytes(C.F.Cache(), Padded);
        TTestDB DB;
        DB.SetDirectory(C.F.Path);
        EXPECT_TRUE(DB.Events.empty());
        EXPECT_EQ(DB.GetDimensionsText(0), "1234 x 567") << "read from the cache";
        DB.Close(true);
    }
    // The same file made 1.5 GB long (sparse, so cheap): refused before it is read, so the
    // process never holds it; the folder is scanned instead and the cache written anew.
    WriteBytes(C.F.Cache(), Valid.Bytes);
    ASSERT_EQ(::truncate(C.F.Cache().c_str(), int64_t(1536) << 20), 0);
    const int64_t PeakBefore = PeakMemory();
    {
        TTestDB DB;
        DB.SetDirectory(C.F.Path);
        EXPECT_EQ(DB.Events.front(), "start 2");
        EXPECT_EQ(DB.GetDimensionsText(0), "40 x 30");
        DB.Close(false);
    }
    EXPECT_LT(PeakMemory() - PeakBefore, int64_t(256) << 20);
    struct stat St {};
    ASSERT_EQ(::stat(C.F.Cache().c_str(), &St), 0);
    EXPECT_LT(St.st_size, 100000);
}

TEST(PicDBCacheFile, AThumbnailThatDoesNotDecodeIsMadeAgainOnce)
{
    TCachedFolder C;
    const std::vector<uint8_t> Broken = WithMissingQuantTable(C.Jpeg1);
    {
        // The damage is past the header: only decoding finds it.
        int W = 0, H = 0;
        ASSERT_TRUE(TJPEGImage::ReadHeaderSize(Broken.data(), Broken.size(), W, H));
        TBitmap Out;
        TJPEGImage J;
        TBytesStream S(Broken.data(), int64_t(Broken.size()));
        J.LoadFromStream(S);
        EXPECT_THROW(J.AssignTo(Out), Exception);
    }
    TCacheWriter W;
    W.Magic();
    W.Int32(1);
    W.Int32(2);
    W.Record("one.jpg", C.Age1, 1234, 567, 0, int32_t(Broken.size()));
    W.Record("two.jpg", C.Age2, 1234, 567, int32_t(Broken.size()), int32_t(C.Jpeg2.size()));
    W.Append(Broken);
    W.Append(C.Jpeg2);
    WriteBytes(C.F.Cache(), W.Bytes);
    {
        TTestDB DB;
        DB.SetDirectory(C.F.Path);
        ASSERT_TRUE(DB.Events.empty()) << "the cache was read";
        EXPECT_FALSE(DB.Modified());
        const TBitmap* Cell = DB.DrawCell(0, false);
        ASSERT_NE(Cell, nullptr);
        // The picture's own thumbnail now: its true size, and a thumbnail of it in the cell.
        EXPECT_EQ(DB.GetDimensionsText(0), "40 x 30");
        EXPECT_EQ(DB.ThumbSize(0), (std::pair<int, int>{40, 30}));
        EXPECT_TRUE(DB.Modified());
        EXPECT_EQ(DB.GetDimensionsText(1), "1234 x 567") << "the other record stays as cached";
        DB.Close(false);
    }
    // The cache was written with the new thumbnail: the next opening decodes it as it is.
    TTestDB Again;
    Again.SetDirectory(C.F.Path);
    EXPECT_TRUE(Again.Events.empty());
    ASSERT_NE(Again.DrawCell(0, true), nullptr);
    EXPECT_FALSE(Again.Modified());
    EXPECT_EQ(Again.GetDimensionsText(0), "40 x 30");
    Again.Close(true);
}
