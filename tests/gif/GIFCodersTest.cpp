// LZW decoding and the LZW and run-length encoders.
#include "GIFTestSupport.h"

#include "gif/GIFCoders.h"
#include "gif/gifstrings.h"

#include <random>

using namespace gif_test;

namespace {

enum class Coder { LZW, RLE };

Bytes Encode(Coder C, int Bits, int W, int H, bool Interlace, const Bytes& Pixels, int MaxColor = -1)
{
    TMemoryStream Out;
    std::unique_ptr<TGIFEncoder> E;
    if (C == Coder::LZW)
        E = std::make_unique<TLZWEncoder>();
    else
        E = std::make_unique<TRLEEncoder>();
    E->Compress(Out, Bits, W, H, Interlace, Pixels.data(), MaxColor < 0 ? 1 << Bits : MaxColor);
    return StreamBytes(Out);
}

// Decodes data (code size byte, sub-blocks) into a frame of W x H.
struct TDecoded {
    TWarnedImage Owner;
    TGIFSubImage* Frame = nullptr;
};

std::unique_ptr<TDecoded> Decode(const Bytes& Data, int W, int H, bool Interlaced, int TransparentIndex = -1)
{
    auto D = std::make_unique<TDecoded>();
    D->Frame = AddFrame(D->Owner.Image, W, H, {}, 0);
    if (Interlaced)
        D->Frame->Descriptor().PackedFields |= 0x40;
    if (TransparentIndex >= 0) {
        auto* GCE = new TGIFGraphicControlExtension(D->Frame);
        D->Frame->Extensions.Add(GCE);
        GCE->SetTransparent(true);
        GCE->SetTransparentColorIndex(TransparentIndex);
    }
    TBytesStream In(Data.data(), static_cast<int64_t>(Data.size()));
    DecompressFrameData(*D->Frame, In);
    EXPECT_EQ(In.Position(), In.Size()) << "the data are read up to and including the terminator";
    return D;
}

Bytes Pattern(const std::string& Kind, int Bits, int W, int H, unsigned Seed)
{
    Bytes P(static_cast<size_t>(W) * static_cast<size_t>(H));
    std::mt19937 Rng(Seed);
    const int Colors = 1 << Bits;
    for (size_t i = 0; i < P.size(); ++i) {
        const int X = static_cast<int>(i % static_cast<size_t>(W)), Y = static_cast<int>(i / static_cast<size_t>(W));
        int V = 0;
        if (Kind == "noise")
            V = static_cast<int>(Rng() % static_cast<unsigned>(Colors));
        else if (Kind == "flat")
            V = Colors - 1;
        else if (Kind == "bands") // long runs with short interruptions
            V = (X / 37 + Y / 5) % Colors;
        else
            V = (X * 3 + Y * 7) % Colors;
        P[i] = static_cast<uint8_t>(V);
    }
    return P;
}

} // namespace

// Both encoders, several depths, sizes and patterns, interlaced or not: the decoder gives back
// exactly the pixels, and the code size byte is the depth (at least 2).
TEST(GIFCoders, EncodeDecodeRoundTrip)
{
    const std::pair<int, int> Sizes[] = {{1, 1}, {7, 3}, {1000, 1}, {1, 9}, {64, 64}, {333, 211}};
    for (Coder C : {Coder::LZW, Coder::RLE})
        for (int Bits : {1, 2, 3, 4, 7, 8})
            for (const auto& [W, H] : Sizes)
                for (const char* Kind : {"noise", "flat", "bands", "ramp"})
                    for (bool Interlace : {false, true}) {
                        SCOPED_TRACE(::testing::Message() << (C == Coder::LZW ? "LZW " : "RLE ") << Bits << " bits "
                                                          << W << "x" << H << " " << Kind
                                                          << (Interlace ? " interlaced" : ""));
                        const Bytes Pixels = Pattern(Kind, Bits, W, H, static_cast<unsigned>(W * 31 + H + Bits));
                        const Bytes Data = Encode(C, Bits, W, H, Interlace, Pixels);
                        ASSERT_FALSE(Data.empty());
                        EXPECT_EQ(Data[0], std::max(Bits, 2));
                        auto D = Decode(Data, W, H, Interlace);
                        EXPECT_EQ(D->Frame->Data, Pixels);
                        EXPECT_TRUE(D->Owner.Warnings.empty());
                    }
}

// Rows go in the order 0, 8, ...; 4, 12, ...; 2, 6, ...; 1, 3, ... both ways, each row once.
TEST(GIFCoders, InterlacedRowOrder)
{
    for (int H = 1; H <= 20; ++H) {
        SCOPED_TRACE(H);
        const int W = 3;
        Bytes Rows;
        for (int Y = 0; Y < H; ++Y)
            Rows.insert(Rows.end(), W, static_cast<uint8_t>(Y));
        std::vector<int> Order;
        for (auto [Start, Step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int Y = Start; Y < H; Y += Step)
                Order.push_back(Y);
        Bytes FileOrder;
        for (int Y : Order)
            FileOrder.insert(FileOrder.end(), W, static_cast<uint8_t>(Y));

        for (Coder C : {Coder::LZW, Coder::RLE}) {
            // The encoder writes rows in file order...
            auto AsStored = Decode(Encode(C, 8, W, H, true, Rows), W, H, false);
            EXPECT_EQ(AsStored->Frame->Data, FileOrder);
            // ...and the decoder puts rows in file order back in place.
            auto Placed = Decode(Encode(C, 8, W, H, false, FileOrder), W, H, true);
            EXPECT_EQ(Placed->Frame->Data, Rows);
        }
    }
}

// Data that fill an exact multiple of 255 bytes end with a full sub-block and the terminator.
TEST(GIFCoders, DataOfExactSubBlockMultiple)
{
    std::mt19937 Rng(5);
    int Found = 0;
    for (int W = 100; W < 3000 && Found < 3; ++W) {
        Bytes Pixels(static_cast<size_t>(W) * 4);
        for (auto& P : Pixels)
            P = static_cast<uint8_t>(Rng() % 256);
        const Bytes Data = Encode(Coder::LZW, 8, W, 4, false, Pixels);
        // Data[0] is the code size; the rest are sub-blocks of 256 bytes each, then the terminator.
        if ((Data.size() - 2) % 256 != 0)
            continue;
        ++Found;
        for (size_t Pos = 1; Pos + 1 < Data.size(); Pos += 256)
            EXPECT_EQ(Data[Pos], 255) << "block at " << Pos;
        EXPECT_EQ(Data.back(), 0);
        EXPECT_EQ(Decode(Data, W, 4, false)->Frame->Data, Pixels);
    }
    EXPECT_EQ(Found, 3) << "no widths found whose data end on a block boundary";
}

TEST(GIFCoders, RunLengthEncoderShortensRuns)
{
    const Bytes Pixels(1000, 2);
    const Bytes Data = Encode(Coder::RLE, 2, 1000, 1, false, Pixels);
    // 1000 plain 3-bit codes would take 375 bytes; runs take a few dozen codes.
    EXPECT_LT(Data.size(), 60u);
    EXPECT_EQ(Decode(Data, 1000, 1, false)->Frame->Data, Pixels);
}

TEST(GIFCoders, PixelOutsideColorTableRaises)
{
    for (Coder C : {Coder::LZW, Coder::RLE}) {
        Bytes Pixels = {0, 1, 2, 3, 4};
        TMemoryStream Out;
        EXPECT_EQ(RaisedMessage([&] { Encode(C, 3, 5, 1, false, Pixels, 4); }), "Color not in color table");
        Pixels.back() = 3;
        EXPECT_EQ(RaisedMessage([&] { Encode(C, 3, 5, 1, false, Pixels, 4); }), "");
    }
}

TEST(GIFCoders, RunLengthArithmetic)
{
    EXPECT_EQ(TRLEEncoder::ISqrt(15), 3);
    EXPECT_EQ(TRLEEncoder::ISqrt(16), 4);
    EXPECT_EQ(TRLEEncoder::ISqrt(1), 1);
    EXPECT_EQ(TRLEEncoder::ISqrt(1000000), 1000);
    EXPECT_EQ(TRLEEncoder::TriangleCount(10, 100), 4);
    EXPECT_EQ(TRLEEncoder::TriangleCount(11, 100), 5);
    EXPECT_EQ(TRLEEncoder::TriangleCount(15, 4), 7); // a full triangle of 10 in 4 codes, then 5 in 3
}

// Codes written by hand: minimum code size 2 (clear 4, end 5), 3-bit codes.
TEST(GIFCoders, DecoderStartsFromClearedTable)
{
    const Bytes WithClear = PackCodes(3, {4, 1, 2, 6, 5});
    const Bytes WithoutClear = PackCodes(3, {1, 2, 6, 5});
    const Bytes Expected = {1, 2, 1, 2};
    for (const Bytes& Codes : {WithClear, WithoutClear}) {
        TGIFBuilder G;
        G.Codes(2, Codes);
        EXPECT_EQ(Decode(G.B, 4, 1, false)->Frame->Data, Expected);
    }
}

// Pixels the data do not reach keep the fill value, and no error is raised.
TEST(GIFCoders, ShortDataKeepFill)
{
    struct Case {
        const char* Name;
        Bytes Data;
        int Transparent;
        Bytes Expected;
        const char* Warning;
    };
    const Bytes Two = PackCodes(3, {4, 1, 2});
    const Case Cases[] = {
        {"end code", TGIFBuilder().Codes(2, PackCodes(3, {4, 1, 2, 5})).B, -1, {1, 2, 0, 0, 0}, nullptr},
        {"end code, transparent fill", TGIFBuilder().Codes(2, PackCodes(3, {4, 1, 2, 5})).B, 3, {1, 2, 3, 3, 3}, nullptr},
        {"terminator without end code", TGIFBuilder().Codes(2, Two).B, -1, {1, 2, 0, 0, 0}, "Decoder bit buffer under-run"},
        {"stream ends without terminator", TGIFBuilder().Codes(2, Two, false).B, -1, {1, 2, 0, 0, 0}, nullptr},
        {"sub-block longer than the stream", Bytes{2, 9, Two[0]}, -1, {1, 0, 0, 0, 0}, "Premature end of data"},
        {"no data at all", Bytes{}, 3, {3, 3, 3, 3, 3}, nullptr},
        {"clear then end", TGIFBuilder().Codes(2, PackCodes(3, {4, 5})).B, -1, {0, 0, 0, 0, 0}, nullptr},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto D = Decode(C.Data, 5, 1, false, C.Transparent);
        EXPECT_EQ(D->Frame->Data, C.Expected);
        if (C.Warning)
            EXPECT_TRUE(D->Owner.Warned(C.Warning));
        else
            EXPECT_TRUE(D->Owner.Warnings.empty());
    }
}

TEST(GIFCoders, DamagedDataNeverReadPastTables)
{
    // Minimum code size 12 would need a 4096-entry root table: rejected.
    EXPECT_THROW(Decode(TGIFBuilder().Codes(12, PackCodes(13, {4096, 1, 4097})).B, 3, 1, false), GIFException);
    // 11 is the largest that works.
    EXPECT_EQ(Decode(TGIFBuilder().Codes(11, PackCodes(12, {2048, 7, 300, 2049})).B, 3, 1, false)->Frame->Data,
              (Bytes{7, 300 & 0xFF, 0}));

    // A table entry that names itself: code 7 arrives before entry 6 exists, so entry 7 becomes
    // its own prefix; reading it is the circular-entry error.
    {
        const Bytes Codes = PackCodes({{4, 3}, {1, 3}, {7, 3}, {0, 3}, {7, 4}});
        EXPECT_EQ(RaisedMessage([&] { Decode(TGIFBuilder().Codes(2, Codes).B, 50, 1, false); }),
                  "Circular decoder table entry");
    }
    // Two entries that name each other: the chain would run forever; decoding stops with what it
    // has and a warning.
    {
        const Bytes Codes = PackCodes(4, {8, 1, 12, 11, 2, 11, 9});
        auto D = Decode(TGIFBuilder().Codes(3, Codes).B, 100, 1, false);
        EXPECT_TRUE(D->Owner.Warned("Circular decoder table entry"));
        EXPECT_EQ(D->Frame->Data[0], 1);
    }
}

// The probe sequence of the string table is bounded: a table with no room left answers
// "not found" and "no room" instead of searching forever.
TEST(GIFCoders, HashTableProbesEnd)
{
    THashTable Table;
    int Inserted = 0;
    for (uint32_t Key = 0; Key < 20000; ++Key)
        if (Table.Insert(Key, static_cast<int>(Key & 0xFFF)))
            ++Inserted;
    EXPECT_GT(Inserted, 4000);
    EXPECT_LE(Inserted, THashTable::HashSize);
    EXPECT_EQ(Table.Lookup(0xFFFF0), -1);
    EXPECT_EQ(Table.Lookup(3), 3);
}

TEST(GIFCoders, SubBlockWriterRejectsReadAndSeek)
{
    TMemoryStream Out;
    TGIFWriter W(Out);
    char Buf[4];
    EXPECT_EQ(RaisedMessage([&] { W.Read(Buf, 4); }), "Invalid stream operation");
    EXPECT_EQ(RaisedMessage([&] { W.Seek(0, soBeginning); }), "Invalid stream operation");
    W.Write("abc", 3);
    W.Finish();
    EXPECT_EQ(StreamBytes(Out), (Bytes{3, 'a', 'b', 'c'}));
}
