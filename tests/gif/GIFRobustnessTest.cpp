// Damaged files: every way of cutting or spoiling a GIF gives a picture or the invalid-graphic
// exception, never a crash, a hang or another kind of error.
#include "GIFTestSupport.h"

#include "support/Fixtures.h"

#include <fstream>
#include <iterator>
#include <random>

using namespace gif_test;

namespace {

Bytes ReadFixture(const std::string& Name)
{
    std::ifstream In(FixturePath("gif/fixtures/" + Name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// Loads and, when that works, saves again; false when an exception other than EInvalidGraphic
// (GIFException is one) came out.
::testing::AssertionResult LoadsOrRejects(const Bytes& Data)
{
    TGIFImage Image;
    try {
        TBytesStream S(Data.data(), static_cast<int64_t>(Data.size()));
        Image.LoadFromStream(S);
        TMemoryStream Out;
        Image.SaveToStream(Out);
    } catch (const EInvalidGraphic&) {
    } catch (const std::exception& E) {
        return ::testing::AssertionFailure() << "unexpected exception: " << E.what();
    }
    return ::testing::AssertionSuccess();
}

// Where the first frame's width and height stand (spoiling them would only ask for big pictures).
size_t FrameSizeOffset(const Bytes& F)
{
    size_t P = 13;
    if (F[10] & 0x80)
        P += 3u * (2u << (F[10] & 7));
    while (P < F.size() && F[P] == 0x21) {
        P += 2;
        while (P < F.size() && F[P] != 0)
            P += F[P] + 1u;
        ++P;
    }
    return P + 5;
}

} // namespace

// Inputs found by fuzzing: a stray byte after the extensions was once read as an image descriptor,
// which asked for a frame of tens of millions of pixels of garbage.
TEST(GIFRobustness, FuzzFindings)
{
    for (const char* Name : {"fuzz-stray-descriptor-1.gif", "fuzz-stray-descriptor-2.gif"}) {
        const Bytes Data = ReadFixture(Name);
        ASSERT_FALSE(Data.empty()) << Name;
        TWarnedImage W;
        EXPECT_THROW(W.Load(Data), EInvalidGraphic) << Name;
        EXPECT_TRUE(W.Warned("Invalid extension introducer")) << Name;
        for (int i = 0; i < W.Image.Images.Count(); ++i)
            EXPECT_TRUE(W.Image.Images.GetFrame(i)->Empty()) << Name;
    }
}

// Broken files of every kind named by the block they spoil.
TEST(GIFRobustness, BrokenFiles)
{
    const Bytes Pixels = PackCodes(3, {4, 1, 2, 5});
    struct Case {
        const char* Name;
        Bytes File;
    };
    const Case Cases[] = {
        {"code size 12", TGIFBuilder().Header(2, 1).Descriptor(0, 0, 2, 1).Codes(12, PackCodes(13, {4096, 1})).B},
        {"code size 255", TGIFBuilder().Header(2, 1).Descriptor(0, 0, 2, 1).Codes(255, Pixels).B},
        {"code size 0", TGIFBuilder().Header(2, 1).Descriptor(0, 0, 2, 1).Codes(0, Bytes(40, 0x55)).B},
        {"huge screen", TGIFBuilder().Header(65535, 65535).Descriptor(0, 0, 2, 1).Codes(2, Pixels).B},
        {"huge frame", TGIFBuilder().Header(2, 1).Descriptor(0, 0, 65535, 65535).Codes(2, Pixels).B},
        {"circular chain", TGIFBuilder().Header(2, 1).Descriptor(0, 0, 50, 1).Codes(2, PackCodes({{4, 3}, {1, 3}, {7, 3}, {0, 3}, {7, 4}})).B},
        {"application block of size 12", TGIFBuilder().Header(2, 1).Raw({0x21, 0xFF, 12}).Raw("ABCDEFGHIJKL").Byte(0).Descriptor(0, 0, 2, 1).Codes(2, Pixels).B},
        {"application block of size 255", TGIFBuilder().Header(2, 1).Raw({0x21, 0xFF, 255}).Raw(std::string(40, 'x')).B},
        {"no frames", TGIFBuilder().Header(2, 1).Trailer().B},
        {"garbage blocks", TGIFBuilder().Header(2, 1).Raw(Bytes(64, 0xAA)).B},
        {"only a signature", TGIFBuilder().Raw("GIF89a").B},
        {"nothing", Bytes{}},
    };
    for (const Case& C : Cases)
        EXPECT_TRUE(LoadsOrRejects(C.File)) << C.Name;
}

// Every fixture cut at every length.
TEST(GIFRobustness, TruncatedEverywhere)
{
    for (const char* Name : {"depth1.gif", "transparent.gif", "local.gif", "animation.gif", "offset.gif"}) {
        const Bytes Full = ReadFixture(Name);
        ASSERT_FALSE(Full.empty()) << Name;
        for (size_t Length = 0; Length < Full.size(); ++Length)
            ASSERT_TRUE(LoadsOrRejects(Bytes(Full.begin(), Full.begin() + static_cast<std::ptrdiff_t>(Length))))
                << Name << " cut at " << Length;
    }
}

// Random bytes spoiled, the frame size excepted.
TEST(GIFRobustness, SpoiledBytes)
{
    std::mt19937 Rng(2024);
    for (const char* Name : {"depth3.gif", "interlaced.gif", "local.gif", "animation.gif"}) {
        const Bytes Full = ReadFixture(Name);
        ASSERT_FALSE(Full.empty()) << Name;
        const size_t SizeAt = FrameSizeOffset(Full);
        for (int Round = 0; Round < 400; ++Round) {
            Bytes Data = Full;
            const int Spoils = 1 + static_cast<int>(Rng() % 4);
            for (int i = 0; i < Spoils; ++i) {
                size_t P = Rng() % Data.size();
                if (P >= SizeAt && P < SizeAt + 4)
                    continue;
                Data[P] = static_cast<uint8_t>(Rng());
            }
            ASSERT_TRUE(LoadsOrRejects(Data)) << Name << " round " << Round;
        }
    }
}

// A small file of many frames without data: each takes the 1024 x 1024 screen, so together they would
// need gigabytes; the load is refused once the frames pass the limit, long before that.
TEST(GIFRobustness, ManyEmptyScreenSizedFramesAreRefused)
{
    Bytes Data = {'G', 'I', 'F', '8', '9', 'a', 0x00, 0x04, 0x00, 0x04, 0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF};
    const Bytes Frame = {0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x00};
    for (int i = 0; i < 300; ++i)
        Data.insert(Data.end(), Frame.begin(), Frame.end());
    Data.push_back(0x3B);
    TGIFImage Image;
    TBytesStream S(Data.data(), static_cast<int64_t>(Data.size()));
    EXPECT_THROW(Image.LoadFromStream(S), GIFException);
}
