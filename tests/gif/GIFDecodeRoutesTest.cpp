// The decoder's two routes: copying the strings of a sound table from where they were written, and
// building them through the prefix chains (the route every damaged stream takes). On every input
// both give the same pixels, warnings, errors and stream position.
#include "GIFTestSupport.h"

#include "gif/GIFCoders.h"
#include "support/Fixtures.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

using namespace gif_test;

namespace {

Bytes ReadFile(const std::filesystem::path& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

struct TOutcome {
    Bytes Pixels;
    std::vector<std::string> Warnings;
    std::string Error;
    int64_t End = 0; // where the stream was left
};

// A frame's pixel data within a GIF file, with what its decoding depends on.
struct TFrameData {
    size_t At = 0; // the minimum code size byte
    int Width = 0, Height = 0;
    bool Interlaced = false;
    int Transparent = -1;
};

TOutcome DecodeWith(TLZWRoute Route, const Bytes& File, const TFrameData& F)
{
    TWarnedImage Owner;
    TGIFSubImage* Frame = AddFrame(Owner.Image, F.Width, F.Height, {}, 0);
    if (F.Interlaced)
        Frame->Descriptor().PackedFields |= 0x40;
    if (F.Transparent >= 0) {
        auto* GCE = new TGIFGraphicControlExtension(Frame);
        Frame->Extensions.Add(GCE);
        GCE->SetTransparent(true);
        GCE->SetTransparentColorIndex(F.Transparent);
    }
    TBytesStream In(File.data() + F.At, static_cast<int64_t>(File.size() - F.At));
    TOutcome O;
    O.Error = RaisedMessage([&] { DecompressFrameData(*Frame, In, Route); });
    O.Pixels = Frame->Data;
    O.Warnings = Owner.Warnings;
    O.End = In.Position();
    return O;
}

size_t SkipSubBlocks(const Bytes& F, size_t P)
{
    while (P < F.size() && F[P] != 0)
        P += F[P] + 1u;
    return P + 1;
}

// The frames of a GIF file, found by walking its blocks as far as they are whole.
std::vector<TFrameData> FramesOf(const Bytes& F)
{
    std::vector<TFrameData> Frames;
    if (F.size() < 13)
        return Frames;
    const int ScreenWidth = F[6] | (F[7] << 8), ScreenHeight = F[8] | (F[9] << 8);
    size_t P = 13;
    if (F[10] & 0x80)
        P += 3u * (2u << (F[10] & 7));
    int Transparent = -1;
    while (P < F.size()) {
        if (F[P] == 0x21 && P + 1 < F.size()) {
            if (F[P + 1] == 0xF9 && P + 7 < F.size() && F[P + 2] == 4)
                Transparent = (F[P + 3] & 1) ? F[P + 6] : -1;
            P = SkipSubBlocks(F, P + 2);
        } else if (F[P] == 0x2C && P + 10 <= F.size()) {
            TFrameData D;
            D.Width = F[P + 5] | (F[P + 6] << 8);
            D.Height = F[P + 7] | (F[P + 8] << 8);
            if (D.Width == 0 || D.Height == 0) // such a frame takes the screen's size
                D = {0, ScreenWidth, ScreenHeight, false, -1};
            D.Interlaced = (F[P + 9] & 0x40) != 0;
            D.Transparent = Transparent;
            P += 10;
            if (F[P - 1] & 0x80)
                P += 3u * (2u << (F[P - 1] & 7));
            D.At = P;
            if (P < F.size())
                Frames.push_back(D);
            Transparent = -1;
            P = SkipSubBlocks(F, P + 1);
        } else {
            break;
        }
    }
    return Frames;
}

// Every frame of File decodes alike on both routes; when the whole file loads, its frames hold the
// careful route's pixels. A file of whole blocks (MustLoad) loads unless its data raise an error.
// Gives the number of frames compared.
size_t ExpectRoutesAgree(const Bytes& File, bool MustLoad = true)
{
    const std::vector<TFrameData> Frames = FramesOf(File);
    std::vector<Bytes> Careful;
    for (size_t i = 0; i < Frames.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "frame " << i);
        const TOutcome Fast = DecodeWith(TLZWRoute::Fast, File, Frames[i]);
        const TOutcome Slow = DecodeWith(TLZWRoute::Careful, File, Frames[i]);
        EXPECT_EQ(Fast.Pixels, Slow.Pixels);
        EXPECT_EQ(Fast.Warnings, Slow.Warnings);
        EXPECT_EQ(Fast.Error, Slow.Error);
        EXPECT_EQ(Fast.End, Slow.End);
        Careful.push_back(Slow.Pixels);
    }
    TGIFImage Image;
    try {
        TBytesStream In(File.data(), static_cast<int64_t>(File.size()));
        Image.LoadFromStream(In);
    } catch (const EInvalidGraphic& E) {
        if (MustLoad && std::find_if(Frames.begin(), Frames.end(), [&](const TFrameData& F) {
                return !DecodeWith(TLZWRoute::Careful, File, F).Error.empty();
            }) == Frames.end())
            ADD_FAILURE() << "the file does not load: " << E.Message;
        return Frames.size();
    }
    for (int i = 0; i < Image.Images.Count() && static_cast<size_t>(i) < Careful.size(); ++i)
        EXPECT_EQ(Image.Images.GetFrame(i)->Data, Careful[static_cast<size_t>(i)]) << "loaded frame " << i;
    return Frames.size();
}

// Codes at the widths a decoder reads them: the table grows by one entry per code but the first
// after a clear, and the width by one bit when the next free entry reaches it (below 4096).
// Tracks the string lengths of a sound table, so that the pixel count of the codes is known.
class TCodeWriter {
public:
    explicit TCodeWriter(int MinCodeSize) : FMin(MinCodeSize), ClearCode(1 << MinCodeSize) { Reset(); }
    void Clear()
    {
        Put(ClearCode);
        Reset();
    }
    void End() { Put(ClearCode + 1); }
    void Code(int C)
    {
        Put(C);
        const int Len = C < ClearCode ? 1 : C < FMaxCode ? FLength[static_cast<size_t>(C)] : FOldLength + 1;
        Pixels += Len;
        if (!JustCleared && FMaxCode < 4096) {
            FLength[static_cast<size_t>(FMaxCode)] = FOldLength + 1;
            if (++FMaxCode >= FMaxCodeSize && FMaxCodeSize < 4096) {
                FMaxCodeSize *= 2;
                ++FSize;
            }
        }
        JustCleared = false;
        FOldLength = Len;
    }
    int NextFree() const { return FMaxCode; }
    int Width() const { return FSize; }
    Bytes Packed() const { return PackCodes(FCodes); }

    const int FMin;
    const int ClearCode;
    bool JustCleared = true;
    int64_t Pixels = 0; // decoded by the codes so far, when the table is sound

private:
    void Reset()
    {
        FSize = FMin + 1;
        FMaxCodeSize = 2 * ClearCode;
        FMaxCode = ClearCode + 2;
        JustCleared = true;
    }
    void Put(int C) { FCodes.emplace_back(C, FSize); }
    int FSize = 0, FMaxCodeSize = 0, FMaxCode = 0, FOldLength = 0;
    std::vector<int> FLength = std::vector<int>(4096, 0);
    std::vector<std::pair<int, int>> FCodes;
};

struct TStreamCase {
    const char* Name;
    int MinCodeSize;
    int Codes;          // codes of a sound table
    int ClearEvery;     // a clear code after every so many codes; 0: none, the table fills up
    int KwKwK;          // percent of codes naming the entry being made
    int DamageAt;       // from this code on, the first that can be beyond the table is (-1: none)
    bool DamageAfterClear; // the first code after the first clear is beyond the roots
    bool EndCode;
    int FramePercent;   // the frame's pixels against those the codes decode
    int Width;
    bool Interlaced;
    int Transparent;
    int CutBytes;       // taken off the end of the file, terminator and trailer included (0: none)
};

Bytes MakeStream(const TStreamCase& C, unsigned Seed)
{
    std::mt19937 Rng(Seed);
    TCodeWriter W(C.MinCodeSize);
    auto Pixel = [&] { return static_cast<int>(Rng() % static_cast<unsigned>(W.ClearCode)); };
    W.Clear();
    if (C.DamageAfterClear)
        W.Code(W.ClearCode + 2 + static_cast<int>(Rng() % 3));
    bool Damaged = false;
    for (int i = 0; i < C.Codes; ++i) {
        if (C.ClearEvery > 0 && i > 0 && i % C.ClearEvery == 0)
            W.Clear();
        const int Free = W.NextFree();
        const int Limit = (1 << W.Width()) - 1; // the largest code of this width
        if (!Damaged && C.DamageAt >= 0 && i >= C.DamageAt && !W.JustCleared && Free < Limit) {
            W.Code(Free + 1 + static_cast<int>(Rng() % static_cast<unsigned>(Limit - Free)));
            Damaged = true;
            continue;
        }
        const int R = static_cast<int>(Rng() % 100);
        if (W.JustCleared || (Free == W.ClearCode + 2 && R >= C.KwKwK))
            W.Code(Pixel());
        else if (R < C.KwKwK && Free < 4096)
            W.Code(Free);
        else if (R < C.KwKwK + 25)
            W.Code(Pixel());
        else
            W.Code(W.ClearCode + 2 + static_cast<int>(Rng() % static_cast<unsigned>(std::min(Free, 4096) - W.ClearCode - 2)));
    }
    if (C.EndCode)
        W.End();
    const int64_t Pixels = std::max<int64_t>(1, W.Pixels * C.FramePercent / 100);
    const int Height = static_cast<int>(std::min<int64_t>(65535, (Pixels + C.Width - 1) / C.Width));
    TGIFBuilder G;
    G.Header(C.Width, Height, 256);
    if (C.Transparent >= 0)
        G.GCE(true, static_cast<uint8_t>(C.Transparent));
    G.Descriptor(0, 0, C.Width, Height, C.Interlaced ? 0x40 : 0).Codes(C.MinCodeSize, W.Packed()).Trailer();
    G.B.resize(G.B.size() - static_cast<size_t>(C.CutBytes));
    return G.B;
}

} // namespace

// Every GIF among the fixtures of the codec and of the picture files (by content: a fixture named
// .gif may hold another format).
TEST(GIFDecodeRoutes, FixturesDecodeAlike)
{
    size_t Frames = 0;
    for (const char* Folder : {"gif/fixtures", "image/fixtures"})
        for (const auto& Entry : std::filesystem::recursive_directory_iterator(FixturePath(Folder))) {
            if (!Entry.is_regular_file())
                continue;
            const Bytes File = ReadFile(Entry.path());
            if (File.size() < 6 || std::string(File.begin(), File.begin() + 3) != "GIF")
                continue;
            SCOPED_TRACE(Entry.path().filename().string());
            Frames += ExpectRoutesAgree(File, false);
        }
    EXPECT_GE(Frames, 30u) << "the fixtures were not found";
}

// Streams of generated codes: sound tables of every shape, and damaged and cut ones.
TEST(GIFDecodeRoutes, GeneratedStreamsDecodeAlike)
{
    // Name, min code size, codes, clear every, KwKwK %, damage at, damage after clear, end code,
    // frame %, width, interlaced, transparent, cut bytes.
    std::vector<TStreamCase> Cases = {
        {"clears mid-frame", 8, 20000, 1500, 10, -1, false, true, 100, 301, false, -1, 0},
        {"full table without a clear", 8, 12000, 0, 10, -1, false, true, 100, 640, false, -1, 0},
        {"full table, then a deferred clear", 8, 12000, 6000, 10, -1, false, true, 100, 640, false, -1, 0},
        {"full table from small roots", 2, 9000, 0, 30, -1, false, true, 100, 97, false, -1, 0},
        {"runs of codes naming the next entry", 4, 3000, 1000, 80, -1, false, true, 100, 512, false, -1, 0},
        {"pixel count reached before the end code", 8, 5000, 0, 10, -1, false, true, 60, 128, false, -1, 0},
        {"pixel count reached mid-string", 8, 5000, 0, 40, -1, false, true, 99, 1, false, -1, 0},
        {"end code before the pixel count", 8, 5000, 0, 10, -1, false, true, 150, 128, false, 5, 0},
        {"terminator before the pixel count", 8, 5000, 0, 10, -1, false, false, 150, 128, false, -1, 0},
        {"stream cut inside a sub-block", 8, 5000, 0, 10, -1, false, true, 100, 128, false, 3, 300},
        {"code beyond the table", 8, 8000, 3000, 10, 2000, false, true, 100, 200, false, -1, 0},
        {"code beyond the table, short data", 5, 3000, 0, 20, 1000, false, false, 300, 200, false, 7, 0},
        {"code beyond the table, many clears", 3, 8000, 300, 20, 100, false, true, 100, 77, true, -1, 0},
        {"first code after a clear beyond the roots", 6, 2000, 700, 10, -1, true, true, 100, 50, false, -1, 0},
        {"interlaced", 8, 9000, 2000, 15, -1, false, true, 100, 37, true, -1, 0},
        {"interlaced, pixel count reached early", 8, 9000, 0, 15, -1, false, true, 70, 41, true, -1, 0},
        {"interlaced, data ending early", 7, 4000, 0, 15, -1, false, true, 180, 53, true, 9, 0},
        {"interlaced, damaged", 8, 9000, 2000, 15, 5000, false, true, 100, 64, true, 1, 0},
    };
    for (int Min = 1; Min <= 8; ++Min)
        Cases.push_back({"code size", Min, 7000, 0, 20, -1, false, true, 100, 111, false, -1, 0});
    Cases.push_back({"code size", 11, 7000, 0, 20, -1, false, true, 100, 111, false, -1, 0});

    for (const TStreamCase& C : Cases)
        for (unsigned Seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(::testing::Message() << C.Name << ", minimum code size " << C.MinCodeSize << ", seed " << Seed);
            EXPECT_EQ(ExpectRoutesAgree(MakeStream(C, Seed)), 1u);
        }
}

// Hand-made codes around the edges of the table (minimum code size 2: clear 4, end 5).
TEST(GIFDecodeRoutes, TableEdgesDecodeAlike)
{
    struct Case {
        const char* Name;
        std::vector<std::pair<int, int>> Codes;
        int Width;
    };
    const Case Cases[] = {
        // 1, then 6 = "1 1", then 7 = "1 1 1": codes naming the entry being made.
        {"KwKwK chain", {{4, 3}, {1, 3}, {6, 3}, {7, 3}, {8, 4}, {5, 4}}, 10},
        {"KwKwK right after a clear", {{4, 3}, {2, 3}, {6, 3}, {4, 3}, {3, 3}, {6, 3}, {5, 3}}, 6},
        {"code one beyond the next free", {{4, 3}, {1, 3}, {7, 3}, {5, 3}}, 8},
        {"code far beyond the table", {{4, 3}, {1, 3}, {2, 3}, {1, 3}, {15, 4}, {5, 4}}, 8},
        // Seven pixels, then code 6 ("1 2"), a code beyond the table and the end: the careful route
        // writes three pixels for the damaged code and leaves the rest of the frame filled.
        {"damage after a copy", {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 4}, {2, 4}, {3, 4}, {1, 4}, {6, 4}, {15, 4}, {5, 4}}, 30},
        {"a string longer than the frame", {{4, 3}, {3, 3}, {6, 3}, {7, 3}, {8, 4}, {9, 4}, {5, 4}}, 7},
        {"no clear at the start", {{0, 3}, {6, 3}, {7, 3}, {5, 4}}, 6},
        {"clear after clear", {{4, 3}, {4, 3}, {4, 3}, {1, 3}, {5, 3}}, 2},
        {"end code right after the clear", {{4, 3}, {5, 3}}, 3},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TGIFBuilder G;
        G.Header(C.Width, 1, 4).Descriptor(0, 0, C.Width, 1).Codes(2, PackCodes(C.Codes)).Trailer();
        EXPECT_EQ(ExpectRoutesAgree(G.B), 1u);
    }
}

// A frame larger than the logical screen keeps its own size, and decodes alike on both routes.
TEST(GIFDecodeRoutes, FrameLargerThanScreenDecodesAlike)
{
    const TStreamCase C = {"", 8, 4000, 0, 20, -1, false, true, 100, 90, false, -1, 0};
    Bytes File = MakeStream(C, 9);
    File[6] = 10; // the screen: 10 x 10
    File[7] = 0;
    File[8] = 10;
    File[9] = 0;
    EXPECT_EQ(ExpectRoutesAgree(File), 1u);
}
