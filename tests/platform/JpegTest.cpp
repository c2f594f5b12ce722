// JPEG decoding and encoding against libjpeg's own tools: the expected pictures were written by djpeg
// (same library, so pixels match exactly) and, for CMYK and YCCK, by ImageMagick.
#include "platform/Jpeg.h"

#include "support/Fixtures.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <jpeglib.h>
#include <jerror.h>
#include <thread>

namespace {

std::vector<uint8_t> ReadBytes(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    EXPECT_TRUE(In.good()) << Path;
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

std::string JpegFixture(const std::string& Name)
{
    return FixturePath("platform/fixtures/jpeg/" + Name);
}

// A binary PGM (P5) or PPM (P6) with maxval 255, as RGB triples.
struct TPnm {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Rgb;
};

TPnm ReadPnm(const std::string& Path)
{
    const std::vector<uint8_t> Data = ReadBytes(Path);
    size_t Pos = 0;
    auto Token = [&] {
        while (Pos < Data.size() && std::isspace(Data[Pos]))
            ++Pos;
        std::string T;
        while (Pos < Data.size() && !std::isspace(Data[Pos]))
            T += static_cast<char>(Data[Pos++]);
        return T;
    };
    const std::string Magic = Token();
    TPnm P;
    P.Width = std::stoi(Token());
    P.Height = std::stoi(Token());
    EXPECT_EQ(Token(), "255");
    ++Pos;
    const size_t Pixels = static_cast<size_t>(P.Width) * P.Height;
    if (Magic == "P5") {
        for (size_t I = 0; I < Pixels; ++I)
            P.Rgb.insert(P.Rgb.end(), 3, Data.at(Pos + I));
    } else {
        EXPECT_EQ(Magic, "P6");
        P.Rgb.assign(Data.begin() + static_cast<ptrdiff_t>(Pos), Data.begin() + static_cast<ptrdiff_t>(Pos + Pixels * 3));
    }
    return P;
}

// The largest channel difference between a 24-bit bitmap and a picture, or -1 when the sizes differ.
int MaxDifference(const TBitmap& Bmp, const TPnm& Expected)
{
    if (Bmp.Width() != Expected.Width || Bmp.Height() != Expected.Height || Bmp.PixelFormat() != pf24bit)
        return -1;
    int Max = 0;
    for (int Y = 0; Y < Bmp.Height(); ++Y) {
        const TRGBTriple* Row = Bmp.Row24(Y);
        const uint8_t* E = &Expected.Rgb[static_cast<size_t>(Y) * Expected.Width * 3];
        for (int X = 0; X < Bmp.Width(); ++X, E += 3) {
            Max = std::max({Max, std::abs(Row[X].rgbtRed - E[0]), std::abs(Row[X].rgbtGreen - E[1]),
                            std::abs(Row[X].rgbtBlue - E[2])});
        }
    }
    return Max;
}

std::unique_ptr<TJPEGImage> LoadJpeg(const std::vector<uint8_t>& Bytes)
{
    auto Jpeg = std::make_unique<TJPEGImage>();
    TBytesStream Stream(Bytes.data(), static_cast<int64_t>(Bytes.size()));
    Jpeg->LoadFromStream(Stream);
    return Jpeg;
}

std::string JpegError(int Code)
{
    return Format("JPEG error #%d", Code);
}

// The message of the EInvalidGraphic that Fn raises, or a note that it raised none.
template <typename F> std::string InvalidGraphicMessage(F&& Fn)
{
    try {
        Fn();
    } catch (const EInvalidGraphic& E) {
        return E.Message;
    }
    return "(no EInvalidGraphic)";
}

// A small bitmap with smooth gradients, as photos have.
std::unique_ptr<TBitmap> GradientBitmap(int W, int H)
{
    auto Bmp = std::make_unique<TBitmap>(W, H, pf24bit);
    for (int Y = 0; Y < H; ++Y) {
        TRGBTriple* Row = Bmp->Row24(Y);
        for (int X = 0; X < W; ++X)
            Row[X] = {static_cast<uint8_t>(X * 255 / W), static_cast<uint8_t>(Y * 255 / H),
                      static_cast<uint8_t>((X + Y) * 127 / (W + H))};
    }
    return Bmp;
}

std::vector<uint8_t> Encode(const TBitmap& Bmp, int Quality = 90, bool Progressive = false)
{
    TJPEGImage Jpeg;
    Jpeg.CompressionQuality = Quality;
    Jpeg.ProgressiveEncoding = Progressive;
    Jpeg.Assign(Bmp);
    TMemoryStream Out;
    Jpeg.SaveToStream(Out);
    return Out.Bytes();
}

// Positions of the markers of a JPEG stream (a 0xFF followed by a marker code), up to the first scan.
std::vector<uint8_t> MarkersBeforeScan(const std::vector<uint8_t>& Bytes)
{
    std::vector<uint8_t> Markers;
    size_t I = 2;
    while (I + 3 < Bytes.size() && Bytes[I] == 0xFF) {
        const uint8_t M = Bytes[I + 1];
        Markers.push_back(M);
        if (M == 0xDA)
            break;
        I += 2 + ((Bytes[I + 2] << 8) | Bytes[I + 3]);
    }
    return Markers;
}

size_t FindMarker(const std::vector<uint8_t>& Bytes, uint8_t Code)
{
    for (size_t I = 0; I + 1 < Bytes.size(); ++I)
        if (Bytes[I] == 0xFF && Bytes[I + 1] == Code)
            return I;
    return std::string::npos;
}

} // namespace

// ---- Decoding ------------------------------------------------------------------------------------
struct TDecodeCase {
    const char* File;
    TJPEGScale Scale;
    TJPEGPerformance Performance;
    const char* Expected;
    int Tolerance;
};

class JpegDecode : public testing::TestWithParam<TDecodeCase> {};

TEST_P(JpegDecode, MatchesReferenceDecoder)
{
    const TDecodeCase& C = GetParam();
    auto Jpeg = LoadJpeg(ReadBytes(JpegFixture(C.File)));
    Jpeg->Scale = C.Scale;
    Jpeg->Performance = C.Performance;
    const TPnm Expected = ReadPnm(JpegFixture(C.Expected));
    EXPECT_EQ(Jpeg->NaturalWidth(), 37);
    EXPECT_EQ(Jpeg->NaturalHeight(), 23);
    EXPECT_EQ(Jpeg->Width(), Expected.Width);
    EXPECT_EQ(Jpeg->Height(), Expected.Height);

    TBitmap Bmp(3, 3, pf8bit); // decoding replaces size and format
    Jpeg->AssignTo(Bmp);
    const int Diff = MaxDifference(Bmp, Expected);
    EXPECT_GE(Diff, 0) << "size or format differs: " << Bmp.Width() << "x" << Bmp.Height();
    EXPECT_LE(Diff, C.Tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, JpegDecode,
    testing::Values(TDecodeCase{"baseline.jpg", jsFullSize, jpBestQuality, "baseline.pnm", 0}, // 4:2:0
                    TDecodeCase{"yuv422.jpg", jsFullSize, jpBestQuality, "yuv422.pnm", 0},
                    TDecodeCase{"yuv444.jpg", jsFullSize, jpBestQuality, "yuv444.pnm", 0},
                    TDecodeCase{"progressive.jpg", jsFullSize, jpBestQuality, "progressive.pnm", 0},
                    TDecodeCase{"grey.jpg", jsFullSize, jpBestQuality, "grey.pnm", 0},
                    TDecodeCase{"baseline.jpg", jsHalf, jpBestQuality, "baseline-half.pnm", 0},
                    TDecodeCase{"baseline.jpg", jsQuarter, jpBestQuality, "baseline-quarter.pnm", 0},
                    TDecodeCase{"baseline.jpg", jsEighth, jpBestQuality, "baseline-eighth.pnm", 0},
                    TDecodeCase{"baseline.jpg", jsFullSize, jpBestSpeed, "baseline-fast.pnm", 0},
                    TDecodeCase{"baseline.jpg", jsEighth, jpBestSpeed, "baseline-fast-eighth.pnm", 0},
                    // Cut in the middle of the scan: what is there decodes, as djpeg does.
                    TDecodeCase{"truncated.jpg", jsFullSize, jpBestQuality, "truncated.pnm", 0},
                    // Adobe (inverted) CMYK and YCCK against ImageMagick's conversion.
                    TDecodeCase{"cmyk.jpg", jsFullSize, jpBestQuality, "cmyk.pnm", 2},
                    TDecodeCase{"ycck.jpg", jsFullSize, jpBestQuality, "ycck.pnm", 2}));

TEST(Jpeg, LoadKeepsTheRestOfTheStreamAndWritesItBackUnchanged)
{
    const std::vector<uint8_t> File = ReadBytes(JpegFixture("baseline.jpg"));
    std::vector<uint8_t> Bytes = {'j', 'u', 'n', 'k'};
    Bytes.insert(Bytes.end(), File.begin(), File.end());
    TBytesStream In(Bytes.data(), static_cast<int64_t>(Bytes.size()));
    In.SetPosition(4);
    TJPEGImage Jpeg;
    Jpeg.LoadFromStream(In);
    EXPECT_FALSE(Jpeg.Empty());
    TMemoryStream Out;
    Jpeg.SaveToStream(Out);
    EXPECT_EQ(Out.Bytes(), File);
}

TEST(Jpeg, DecodesOnSeveralThreadsAtOnce)
{
    const std::vector<uint8_t> Bytes = ReadBytes(JpegFixture("progressive.jpg"));
    const TPnm Expected = ReadPnm(JpegFixture("progressive.pnm"));
    std::vector<int> Diffs(8, -2);
    std::vector<std::thread> Threads;
    for (size_t T = 0; T < Diffs.size(); ++T)
        Threads.emplace_back([&, T] {
            for (int I = 0; I < 20; ++I) {
                TBitmap Bmp;
                LoadJpeg(Bytes)->AssignTo(Bmp);
                Diffs[T] = std::max(Diffs[T], MaxDifference(Bmp, Expected));
            }
        });
    for (auto& T : Threads)
        T.join();
    for (int D : Diffs)
        EXPECT_EQ(D, 0);
}

// ---- Damaged files ---------------------------------------------------------------------------------
namespace {
// The baseline fixture with its frame header's height and width replaced.
std::vector<uint8_t> WithFrameSize(int W, int H)
{
    std::vector<uint8_t> Bytes = ReadBytes(JpegFixture("baseline.jpg"));
    const size_t Sof = FindMarker(Bytes, 0xC0);
    Bytes.at(Sof + 5) = static_cast<uint8_t>(H >> 8);
    Bytes.at(Sof + 6) = static_cast<uint8_t>(H);
    Bytes.at(Sof + 7) = static_cast<uint8_t>(W >> 8);
    Bytes.at(Sof + 8) = static_cast<uint8_t>(W);
    return Bytes;
}

std::vector<uint8_t> Prefix(size_t Count)
{
    std::vector<uint8_t> Bytes = ReadBytes(JpegFixture("baseline.jpg"));
    Bytes.resize(Count);
    return Bytes;
}
} // namespace

TEST(Jpeg, DamagedHeadersRaiseInvalidGraphic)
{
    std::vector<uint8_t> Garbage(3000);
    srand(12345);
    for (auto& B : Garbage)
        B = static_cast<uint8_t>(rand());
    std::vector<uint8_t> GarbageAfterSoi = Garbage;
    GarbageAfterSoi[0] = 0xFF;
    GarbageAfterSoi[1] = 0xD8;
    const size_t Sos = FindMarker(ReadBytes(JpegFixture("baseline.jpg")), 0xDA);

    const struct {
        const char* Name;
        std::vector<uint8_t> Bytes;
        std::string Message; // empty: any "JPEG error #"
    } Cases[] = {
        {"empty", {}, JpegError(JERR_INPUT_EMPTY)},
        {"not a JPEG", {'B', 'M', 0, 0, 0, 0}, JpegError(JERR_NO_SOI)},
        {"only the start marker", Prefix(2), JpegError(JERR_NO_IMAGE)},
        {"cut in a table", Prefix(100), ""},
        {"cut in the frame header", Prefix(163), ""},
        {"cut before the scan", Prefix(Sos), JpegError(JERR_SOF_NO_SOS)},
        {"cut in the scan header", Prefix(Sos + 6), ""},
        {"random bytes", Garbage, ""},
        {"random bytes after the start marker", GarbageAfterSoi, ""},
        {"zero height", WithFrameSize(37, 0), JpegError(JERR_EMPTY_IMAGE)},
        {"65535 x 65535, past the library's own limit", WithFrameSize(65535, 65535), JpegError(JERR_IMAGE_TOO_BIG)},
        {"65500 x 65500", WithFrameSize(65500, 65500), "Picture of 65500 x 65500 pixels is too large"},
        {"2^28 pixels and one row more", WithFrameSize(16384, 16385), "Picture of 16384 x 16385 pixels is too large"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Message = InvalidGraphicMessage([&] { LoadJpeg(C.Bytes); });
        if (C.Message.empty())
            EXPECT_EQ(Message.rfind("JPEG error #", 0), 0u) << Message;
        else
            EXPECT_EQ(Message, C.Message);
        // Decoding straight from the stream refuses it the same way.
        EXPECT_EQ(InvalidGraphicMessage([&] {
                      TBytesStream Stream(C.Bytes.data(), static_cast<int64_t>(C.Bytes.size()));
                      TBitmap Bmp;
                      int SW = 0, SH = 0;
                      TJPEGImage::DecodeStream(Stream, Bmp, [](int, int) { return jsFullSize; }, SW, SH);
                  }),
                  Message);
        int W = -1, H = -1;
        if (C.Message.rfind("Picture of", 0) != 0) {
            EXPECT_FALSE(TJPEGImage::ReadHeaderSize(C.Bytes.data(), C.Bytes.size(), W, H));
        }
    }
}

TEST(Jpeg, ReadHeaderSizeReadsOnlyTheHeader)
{
    // The header alone (scan cut off after its first bytes) is enough.
    const std::vector<uint8_t> Bytes = Prefix(FindMarker(ReadBytes(JpegFixture("baseline.jpg")), 0xDA) + 20);
    int W = 0, H = 0;
    ASSERT_TRUE(TJPEGImage::ReadHeaderSize(Bytes.data(), Bytes.size(), W, H));
    EXPECT_EQ(W, 37);
    EXPECT_EQ(H, 23);
    // Too large to decode, but the header itself is readable.
    const std::vector<uint8_t> Huge = WithFrameSize(65500, 65500);
    ASSERT_TRUE(TJPEGImage::ReadHeaderSize(Huge.data(), Huge.size(), W, H));
    EXPECT_EQ(W, 65500);
}

TEST(Jpeg, EndlessProgressionIsRefused)
{
    // The last scan of a progressive file repeated far more often than any real file has scans.
    const std::vector<uint8_t> File = ReadBytes(JpegFixture("progressive.jpg"));
    size_t LastScan = 0;
    for (size_t I = 0; I + 1 < File.size(); ++I)
        if (File[I] == 0xFF && File[I + 1] == 0xDA)
            LastScan = I;
    std::vector<uint8_t> Bytes(File.begin(), File.end() - 2);
    for (int I = 0; I < 600; ++I)
        Bytes.insert(Bytes.end(), File.begin() + static_cast<ptrdiff_t>(LastScan), File.end() - 2);
    Bytes.push_back(0xFF);
    Bytes.push_back(0xD9);
    auto Jpeg = LoadJpeg(Bytes);
    TBitmap Bmp;
    EXPECT_EQ(InvalidGraphicMessage([&] { Jpeg->AssignTo(Bmp); }), "JPEG picture has more than 500 scans");
}

// ---- Encoding ----------------------------------------------------------------------------------------
namespace {
// The quantisation tables and sampling of a JPEG stream, read back by the library.
struct THeaderFacts {
    std::vector<int> Luma, Chroma; // natural order
    int LumaH = 0, LumaV = 0;
    bool Progressive = false;
};

THeaderFacts ReadFacts(const std::vector<uint8_t>& Bytes)
{
    jpeg_decompress_struct Info{};
    jpeg_error_mgr Err;
    Info.err = jpeg_std_error(&Err);
    jpeg_create_decompress(&Info);
    jpeg_mem_src(&Info, Bytes.data(), static_cast<unsigned long>(Bytes.size()));
    jpeg_read_header(&Info, TRUE);
    THeaderFacts F;
    for (int I = 0; I < 64; ++I) {
        F.Luma.push_back(Info.quant_tbl_ptrs[0]->quantval[I]);
        F.Chroma.push_back(Info.quant_tbl_ptrs[1]->quantval[I]);
    }
    F.LumaH = Info.comp_info[0].h_samp_factor;
    F.LumaV = Info.comp_info[0].v_samp_factor;
    F.Progressive = Info.progressive_mode;
    jpeg_destroy_decompress(&Info);
    return F;
}

// The example tables of the JPEG standard scaled as libjpeg's quality setting scales them.
std::vector<int> ScaledTable(bool Chroma, int Quality)
{
    static const int Luma[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                 14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                 18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    static const int Chr[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
    const int Scale = Quality < 50 ? 5000 / Quality : 200 - Quality * 2;
    std::vector<int> T;
    for (int I = 0; I < 64; ++I)
        T.push_back(std::clamp(((Chroma ? Chr : Luma)[I] * Scale + 50) / 100, 1, 255));
    return T;
}
} // namespace

TEST(Jpeg, EncodesBaselineQuality90With420Sampling)
{
    auto Source = GradientBitmap(41, 29);
    const std::vector<uint8_t> Bytes = Encode(*Source);
    const std::vector<uint8_t> Markers = MarkersBeforeScan(Bytes);
    EXPECT_NE(std::find(Markers.begin(), Markers.end(), 0xC0), Markers.end()) << "no baseline frame";
    EXPECT_EQ(std::find(Markers.begin(), Markers.end(), 0xC2), Markers.end());
    const THeaderFacts F = ReadFacts(Bytes);
    EXPECT_EQ(F.Luma, ScaledTable(false, 90));
    EXPECT_EQ(F.Chroma, ScaledTable(true, 90));
    EXPECT_EQ(F.LumaH, 2);
    EXPECT_EQ(F.LumaV, 2);

    // Decodes back to the same picture within the loss of quality 90.
    TBitmap Back;
    LoadJpeg(Bytes)->AssignTo(Back);
    ASSERT_EQ(Back.Width(), 41);
    ASSERT_EQ(Back.Height(), 29);
    int64_t Sum = 0;
    for (int Y = 0; Y < 29; ++Y)
        for (int X = 0; X < 41; ++X) {
            const TRGBTriple A = Source->Row24(Y)[X], B = Back.Row24(Y)[X];
            Sum += std::abs(A.rgbtRed - B.rgbtRed) + std::abs(A.rgbtGreen - B.rgbtGreen) +
                   std::abs(A.rgbtBlue - B.rgbtBlue);
        }
    EXPECT_LT(static_cast<double>(Sum) / (41 * 29 * 3), 2.0);
    // Blue stays blue: the rows are read and written as blue, green, red.
    EXPECT_GT(Back.Row24(10)[40].rgbtBlue, 200);
    EXPECT_LT(Back.Row24(10)[40].rgbtRed, 100);
}

TEST(Jpeg, QualityAndProgressiveSettingsReachTheFile)
{
    auto Source = GradientBitmap(16, 16);
    const THeaderFacts Low = ReadFacts(Encode(*Source, 30));
    EXPECT_EQ(Low.Luma, ScaledTable(false, 30));
    EXPECT_FALSE(Low.Progressive);
    const std::vector<uint8_t> Prog = Encode(*Source, 90, true);
    EXPECT_TRUE(ReadFacts(Prog).Progressive);
    const std::vector<uint8_t> Markers = MarkersBeforeScan(Prog);
    EXPECT_NE(std::find(Markers.begin(), Markers.end(), 0xC2), Markers.end());
}

TEST(Jpeg, EncodesIndexedBitmapsAsTheirColours)
{
    TBitmap Source(8, 8, pf24bit);
    Source.Canvas().Brush.Color = clRed;
    Source.Canvas().FillRect(Rect(0, 0, 8, 8));
    Source.SetPixelFormat(pf8bit);
    TBitmap Back;
    LoadJpeg(Encode(Source))->AssignTo(Back);
    ASSERT_EQ(Back.Width(), 8);
    EXPECT_GT(Back.Row24(4)[4].rgbtRed, 240);
    EXPECT_LT(Back.Row24(4)[4].rgbtGreen, 16);
}

TEST(Jpeg, EncodingWithoutACopyWritesTheSameFile)
{
    auto Gradient = GradientBitmap(23, 17);
    TBitmap Indexed(5, 5, pf24bit);
    Indexed.Canvas().Brush.Color = clTeal;
    Indexed.Canvas().FillRect(Rect(0, 0, 5, 5));
    Indexed.SetPixelFormat(pf4bit);
    const TBitmap* Sources[] = {Gradient.get(), &Indexed};
    for (const TBitmap* Source : Sources) {
        TJPEGImage Jpeg;
        Jpeg.CompressionQuality = 75;
        TMemoryStream Direct;
        Jpeg.SaveBitmapToStream(*Source, Direct);
        EXPECT_EQ(Direct.Bytes(), Encode(*Source, 75));
    }
}

namespace {
// A stream that accepts only the first Limit bytes.
class TShortStream : public TMemoryStream {
public:
    explicit TShortStream(int64_t Limit) : FLimit(Limit) {}
    int64_t Write(const void* Buffer, int64_t Count) override
    {
        const int64_t Room = std::max<int64_t>(0, FLimit - Size());
        return TMemoryStream::Write(Buffer, std::min(Count, Room));
    }

private:
    int64_t FLimit;
};
} // namespace

TEST(Jpeg, StreamWriteErrorsPropagateAsThemselves)
{
    // Noise compresses badly, so the file passes the encoder's 64 KB buffer.
    TBitmap Source(300, 300, pf24bit);
    uint32_t Seed = 1;
    for (int Y = 0; Y < 300; ++Y)
        for (uint8_t* P = Source.ScanLine(Y); P < Source.ScanLine(Y) + 900; ++P)
            *P = static_cast<uint8_t>((Seed = Seed * 1103515245u + 12345u) >> 24);
    const size_t FullSize = Encode(Source).size();
    ASSERT_GT(FullSize, 70000u);
    for (int64_t Limit : {int64_t(0), int64_t(100), int64_t(70000), int64_t(FullSize - 1)}) {
        SCOPED_TRACE(Limit);
        TJPEGImage Jpeg;
        Jpeg.Assign(Source);
        TShortStream Out(Limit);
        EXPECT_THROW(Jpeg.SaveToStream(Out), EWriteError);
    }
}

TEST(Jpeg, EmptyPictureFailsToEncodeWithALibraryError)
{
    TBitmap Empty;
    TJPEGImage Jpeg;
    Jpeg.Assign(Empty);
    EXPECT_TRUE(Jpeg.Empty());
    TMemoryStream Out;
    EXPECT_EQ(InvalidGraphicMessage([&] { Jpeg.SaveToStream(Out); }), JpegError(JERR_EMPTY_IMAGE));
}

namespace {
// Hands out at most Chunk bytes per read, and raises EReadError once FailAt bytes have been read
// (never when FailAt is negative).
class TTrickleStream : public TBytesStream {
public:
    TTrickleStream(const std::vector<uint8_t>& Bytes, int64_t Chunk, int64_t FailAt = -1)
        : TBytesStream(Bytes.data(), static_cast<int64_t>(Bytes.size())), FChunk(Chunk), FFailAt(FailAt)
    {
    }
    int64_t Read(void* Buffer, int64_t Count) override
    {
        if (FFailAt >= 0 && Position() >= FFailAt)
            throw EReadError("read failed");
        return TBytesStream::Read(Buffer, std::min(Count, FChunk));
    }

private:
    int64_t FChunk;
    int64_t FFailAt;
};

// Bytes with a 100 KB comment segment after the start marker: the header reader skips it across
// several of the source's buffers.
std::vector<uint8_t> WithLongComment(const std::vector<uint8_t>& Bytes)
{
    std::vector<uint8_t> Out(Bytes.begin(), Bytes.begin() + 2);
    for (int Segment = 0; Segment < 2; ++Segment) {
        const size_t Length = 50000;
        Out.insert(Out.end(), {0xFF, 0xFE, uint8_t(Length >> 8), uint8_t(Length & 0xFF)});
        Out.insert(Out.end(), Length - 2, uint8_t('c'));
    }
    Out.insert(Out.end(), Bytes.begin() + 2, Bytes.end());
    return Out;
}

std::unique_ptr<TBitmap> NoiseBitmap(int W, int H)
{
    auto Bmp = std::make_unique<TBitmap>(W, H, pf24bit);
    uint32_t Seed = 7;
    for (int Y = 0; Y < H; ++Y)
        for (uint8_t* P = Bmp->ScanLine(Y); P < Bmp->ScanLine(Y) + 3 * W; ++P)
            *P = static_cast<uint8_t>((Seed = Seed * 1103515245u + 12345u) >> 24);
    return Bmp;
}

bool SamePixels(const TBitmap& A, const TBitmap& B)
{
    if (A.Width() != B.Width() || A.Height() != B.Height() || A.PixelFormat() != B.PixelFormat())
        return false;
    for (int Y = 0; Y < A.Height(); ++Y)
        if (std::memcmp(A.ScanLine(Y), B.ScanLine(Y), static_cast<size_t>(A.Width()) * 3) != 0)
            return false;
    return true;
}
} // namespace

TEST(Jpeg, DecodingFromTheStreamMakesThePixelsOfTheKeptBytes)
{
    const std::vector<uint8_t> Noise = Encode(*NoiseBitmap(500, 500));
    ASSERT_GT(Noise.size(), 2u * 64 * 1024); // past the source's buffer twice
    const struct {
        const char* Name;
        std::vector<uint8_t> Bytes;
    } Files[] = {
        {"baseline", ReadBytes(JpegFixture("baseline.jpg"))},
        {"progressive", ReadBytes(JpegFixture("progressive.jpg"))},
        {"grey", ReadBytes(JpegFixture("grey.jpg"))},
        {"cmyk", ReadBytes(JpegFixture("cmyk.jpg"))},
        {"truncated", ReadBytes(JpegFixture("truncated.jpg"))},
        {"noise, several buffers", Noise},
        {"noise cut in its scan", std::vector<uint8_t>(Noise.begin(), Noise.begin() + Noise.size() * 2 / 3)},
        {"long comment before the tables", WithLongComment(ReadBytes(JpegFixture("baseline.jpg")))},
        {"odd width, padded rows", Encode(*NoiseBitmap(37, 21))},
    };
    for (const auto& F : Files) {
        for (TJPEGScale Scale : {jsFullSize, jsHalf, jsEighth}) {
            for (int64_t Chunk : {int64_t(1) << 30, int64_t(1000)}) {
              for (TJPEGPerformance Performance : {jpBestSpeed, jpBestQuality}) {
                SCOPED_TRACE(testing::Message() << F.Name << ", scale " << Scale << ", reads of " << Chunk
                                                << ", performance " << Performance);
                auto Kept = LoadJpeg(F.Bytes);
                Kept->Scale = Scale;
                Kept->Performance = Performance;
                TBitmap Expected;
                Kept->AssignTo(Expected);

                TTrickleStream Stream(F.Bytes, Chunk);
                TBitmap Direct(3, 3, pf8bit); // decoding replaces size and format
                int W = 0, H = 0, PickedW = 0, PickedH = 0;
                TJPEGImage::DecodeStream(Stream, Direct, [&](int PW, int PH) {
                    PickedW = PW;
                    PickedH = PH;
                    return Scale;
                }, W, H, Performance);
                EXPECT_EQ(W, Kept->NaturalWidth());
                EXPECT_EQ(H, Kept->NaturalHeight());
                EXPECT_EQ(PickedW, W);
                EXPECT_EQ(PickedH, H);
                EXPECT_TRUE(SamePixels(Direct, Expected));
                // The rows are not filled before the decode: the bytes past each row's pixels
                // still come out zero.
                const size_t Used = size_t(Direct.Width()) * 3;
                const size_t Stride = size_t(Direct.Height() > 1 ? Direct.ScanLine(1) - Direct.ScanLine(0) : Used);
                for (int Y = 0; Y < Direct.Height(); ++Y)
                    for (size_t B = Used; B < Stride; ++B)
                        ASSERT_EQ(Direct.ScanLine(Y)[B], 0) << "row " << Y << ", byte " << B;
              }
            }
        }
    }
}

TEST(Jpeg, StreamReadErrorsPropagateAsThemselves)
{
    const std::vector<uint8_t> Noise = Encode(*NoiseBitmap(500, 500));
    // In the header and at a refill of the source's buffer: the error as the stream raised it.
    for (int64_t FailAt : {int64_t(0), int64_t(100), int64_t(64 * 1024)}) {
        SCOPED_TRACE(FailAt);
        TTrickleStream Stream(Noise, 100, FailAt);
        TBitmap Bmp;
        int W = 0, H = 0;
        EXPECT_THROW(TJPEGImage::DecodeStream(Stream, Bmp, [](int, int) { return jsFullSize; }, W, H), EReadError);
    }
}

// A read that fails midway through the scan (a failing disk): the rows decoded so far are the
// picture's, and every row from the first one the decode never reached to the bottom is white, not
// whatever the memory held. Bands of rows and the one-row CMYK path alike.
TEST(Jpeg, RowsAfterADecodeFailingMidwayAreAllWhite)
{
    const struct {
        const char* Name;
        std::vector<uint8_t> Bytes;
        TJPEGScale Scale;
        TJPEGPerformance Performance;
    } Files[] = {
        {"noise", Encode(*NoiseBitmap(500, 500)), jsFullSize, jpBestQuality},
        {"noise at 1/4, fast", Encode(*NoiseBitmap(500, 500)), jsQuarter, jpBestSpeed},
        {"cmyk", ReadBytes(JpegFixture("cmyk.jpg")), jsFullSize, jpBestQuality},
    };
    for (const auto& F : Files) {
        SCOPED_TRACE(F.Name);
        auto Whole = LoadJpeg(F.Bytes);
        Whole->Scale = F.Scale;
        Whole->Performance = F.Performance;
        TBitmap Full;
        Whole->AssignTo(Full);
        TTrickleStream Stream(F.Bytes, 100, static_cast<int64_t>(F.Bytes.size() * 2 / 3));
        TBitmap Bmp;
        int W = 0, H = 0;
        EXPECT_THROW(TJPEGImage::DecodeStream(Stream, Bmp, [&](int, int) { return F.Scale; }, W, H, F.Performance),
                     EReadError);
        ASSERT_EQ(Bmp.Width(), Full.Width());
        ASSERT_EQ(Bmp.Height(), Full.Height());
        const size_t RowBytes = static_cast<size_t>(Bmp.Width()) * 3;
        int Decoded = 0;
        while (Decoded < Bmp.Height() && std::memcmp(Bmp.ScanLine(Decoded), Full.ScanLine(Decoded), RowBytes) == 0)
            ++Decoded;
        EXPECT_GT(Decoded, 0) << "some rows were decoded";
        EXPECT_LT(Decoded, Bmp.Height()) << "the decode stopped before the bottom";
        const auto White = [&](int Y) {
            return std::all_of(Bmp.ScanLine(Y), Bmp.ScanLine(Y) + RowBytes, [](uint8_t V) { return V == 0xFF; });
        };
        int FirstWhite = 0;
        while (FirstWhite < Decoded && !White(FirstWhite))
            ++FirstWhite;
        EXPECT_EQ(FirstWhite, Decoded) << "a decoded row is white";
        int FirstNotWhite = Decoded;
        while (FirstNotWhite < Bmp.Height() && White(FirstNotWhite))
            ++FirstNotWhite;
        EXPECT_EQ(FirstNotWhite, Bmp.Height()) << "a row the decode never reached is not white";
    }
}
