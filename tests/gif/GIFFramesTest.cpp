// Frames: reading and writing descriptors and tables, pixel access, bounds, cropping and merging.
#include "GIFTestSupport.h"

#include "gif/gifstrings.h"

using namespace gif_test;

namespace {

Bytes Ramp(int W, int H, int Colors)
{
    Bytes Pixels(static_cast<size_t>(W * H));
    for (size_t i = 0; i < Pixels.size(); ++i)
        Pixels[i] = static_cast<uint8_t>((i / 3) % static_cast<size_t>(std::max(Colors, 1)));
    return Pixels;
}

Bytes ReloadPixels(const Bytes& File)
{
    TWarnedImage W;
    W.Load(File);
    return W.Image.Images.GetFrame(0)->Data;
}

} // namespace

// A local map of N colours is written at the next power of two, the size field saying so.
TEST(GIFFrames, LocalTableSizes)
{
    for (auto [Colors, Entries, Field] : {std::tuple{3, 4, 1}, {200, 256, 7}, {1, 2, 0}, {2, 2, 0}, {17, 32, 4}}) {
        TGIFImage Image;
        AddFrame(Image, 4, 3, Ramp(4, 3, Colors), Colors);
        const Bytes Out = SaveImage(Image);
        // Header (13 bytes, no global table), then the descriptor.
        ASSERT_EQ(Out[13], 0x2C);
        const uint8_t Packed = Out[13 + 9];
        EXPECT_EQ(Packed & 0x80, 0x80);
        EXPECT_EQ(Packed & 0x07, Field) << Colors;
        // The minimum code size byte follows the table.
        EXPECT_EQ(Out[13 + 10 + 3 * static_cast<size_t>(Entries)], std::max(BitsForColorCount(Colors), 2)) << Colors;
        EXPECT_EQ(ReloadPixels(Out), Ramp(4, 3, Colors));
    }
}

// With a local table the interlace bit is not kept (the data follow suit); without one it is.
TEST(GIFFrames, InterlaceKeptOnlyWithoutLocalTable)
{
    const Bytes Pixels = Ramp(3, 10, 4);
    for (bool Local : {true, false}) {
        TGIFImage Image;
        if (!Local)
            for (int i = 0; i < 4; ++i)
                Image.GlobalColorMap().Add(RGB(static_cast<uint8_t>(i * 60), 0, 0));
        TGIFSubImage* Frame = AddFrame(Image, 3, 10, Pixels, Local ? 4 : 0);
        Frame->Descriptor().PackedFields |= 0x40;
        const Bytes Out = SaveImage(Image);
        const size_t D = Local ? 13 : 13 + 4 * 3;
        ASSERT_EQ(Out[D], 0x2C);
        EXPECT_EQ(Out[D + 9] & 0x40, Local ? 0 : 0x40);
        EXPECT_EQ(ReloadPixels(Out), Pixels);
    }
}

TEST(GIFFrames, DescriptorWithoutSizeTakesScreen)
{
    TGIFBuilder G;
    G.Header(3, 2).Descriptor(0, 0, 0, 5).Codes(2, PackCodes(3, {4, 1, 2, 3, 5})).Trailer();
    TWarnedImage W;
    W.Load(G.B);
    TGIFSubImage* Frame = W.Image.Images.GetFrame(0);
    EXPECT_EQ(Frame->Width(), 3);
    EXPECT_EQ(Frame->Height(), 2);
    EXPECT_TRUE(W.Warned("Image exceeds Logical Screen size"));
    EXPECT_EQ(Frame->Data, (Bytes{1, 2, 3, 0, 0, 0}));
}

// A frame larger than the logical screen grows the screen, with warnings.
TEST(GIFFrames, FrameBeyondScreenGrowsIt)
{
    TGIFBuilder G;
    G.Header(2, 2).Descriptor(1, 1, 3, 2).Codes(2, PackCodes(3, {4, 1, 2, 3, 5})).Trailer();
    TWarnedImage W;
    W.Load(G.B);
    EXPECT_EQ(W.Image.Width(), 4);
    EXPECT_EQ(W.Image.Height(), 3);
    EXPECT_TRUE(W.Warned("Image width too small for contained frames"));
    EXPECT_TRUE(W.Warned("Image height too small for contained frames"));
    EXPECT_TRUE(W.Warned("Image exceeds Logical Screen size"));
}

TEST(GIFFrames, PixelAccess)
{
    TGIFImage Image;
    TGIFSubImage* Frame = AddFrame(Image, 3, 2, {1, 2, 3, 4, 5, 6}, 8);
    EXPECT_EQ(Frame->GetPixel(2, 1), 6);
    EXPECT_EQ(Frame->GetScanLine(1)[0], 4);
    for (const auto& P : {std::pair{-1, 0}, {0, 2}, {3, 0}, {0, -1}})
        EXPECT_EQ(RaisedMessage([&] { Frame->GetPixel(P.first, P.second); }), "Invalid pixel coordinates")
            << P.first << "," << P.second;

    // A new width reallocates zeroed pixels.
    Frame->SetWidth(5);
    EXPECT_EQ(Frame->DataSize(), 10);
    EXPECT_EQ(Frame->Data, Bytes(10, 0));
    Frame->SetBounds(0, 0, 0, 0);
    EXPECT_TRUE(Frame->Empty());
    EXPECT_EQ(RaisedMessage([&] { Frame->NeedImage(); }), "Image is empty");
}

// Extensions followed by anything but an image separator (the trailer, a zero byte, a stray byte)
// make an empty frame that writes only them; a stray byte is not read as a descriptor.
TEST(GIFFrames, ExtensionsWithoutImage)
{
    for (uint8_t End : {uint8_t(0x3B), uint8_t(0x00), uint8_t(0x55)}) {
        SCOPED_TRACE(static_cast<int>(End));
        TGIFBuilder G;
        G.Comment("just a note").Byte(End).Descriptor(0, 0, 2, 1).Codes(2, PackCodes(3, {4, 1, 2, 5}));
        TWarnedImage W;
        TGIFSubImage Frame(&W.Image);
        TBytesStream S(G.B.data(), static_cast<int64_t>(G.B.size()));
        Frame.LoadFromStream(S);
        EXPECT_TRUE(Frame.Empty());
        EXPECT_EQ(Frame.Extensions.Count(), 1);
        EXPECT_EQ(S.Position(), 15) << "left at the byte that ended the list";
        EXPECT_EQ(W.Warned("Invalid extension introducer"), End != 0x3B);
        TMemoryStream Out;
        Frame.SaveToStream(Out);
        EXPECT_EQ(StreamBytes(Out), Bytes(G.B.begin(), G.B.begin() + 15));
    }
}

TEST(GIFFrames, IndexOfLabel)
{
    TGIFBuilder G;
    G.Comment("a").GCE(false, 0).Comment("b");
    G.Byte(0x3B);
    TGIFImage Image;
    TGIFSubImage Frame(&Image);
    TBytesStream S(G.B.data(), static_cast<int64_t>(G.B.size()));
    Frame.Extensions.LoadFromStream(S, &Frame);
    EXPECT_EQ(Frame.Extensions.IndexOfLabel(0xF9, 0), 1);
    EXPECT_EQ(Frame.Extensions.IndexOfLabel(0xFE, 1), 2);
    EXPECT_EQ(Frame.Extensions.IndexOfLabel(0xFE, 3), -1);
    EXPECT_EQ(Frame.Extensions.IndexOfLabel(0xFF, 0), -1);
}

TEST(GIFFrames, BadLocalTableAndDataRaise)
{
    struct Case {
        const char* Name;
        Bytes File;
        const char* Error;
    };
    const Case Cases[] = {
        {"table cut short", TGIFBuilder().Header(2, 1).Descriptor(0, 0, 2, 1, 0x82).Grays(3).B, "Premature end of data"},
        {"descriptor cut short", TGIFBuilder().Header(2, 1).Raw({0x2C, 0, 0, 0}).B, "Premature end of data"},
        {"extension cut short", TGIFBuilder().Header(2, 1).Raw({0x21, 0x01, 12, 0}).B, "Premature end of data"},
    };
    for (const Case& C : Cases) {
        TWarnedImage W;
        EXPECT_EQ(RaisedMessage([&] { W.Load(C.File); }), C.Error) << C.Name;
    }
}

TEST(GIFFrames, CropToOpaquePixels)
{
    TGIFImage Image;
    // 5 x 4, transparent index 0, opaque pixels in columns 1..3, rows 1..2.
    TGIFSubImage* Frame = AddFrame(Image, 5, 4,
                                   {0, 0, 0, 0, 0, //
                                    0, 1, 0, 2, 0, //
                                    0, 0, 3, 0, 0, //
                                    0, 0, 0, 0, 0},
                                   4);
    Frame->SetLeft(10);
    auto* GCE = new TGIFGraphicControlExtension(Frame);
    Frame->Extensions.Add(GCE);
    GCE->SetTransparent(true);
    GCE->SetTransparentColorIndex(0);
    Frame->Crop();
    EXPECT_EQ(Frame->BoundsRect(), Rect(11, 1, 14, 3));
    EXPECT_EQ(Frame->Data, (Bytes{1, 0, 2, 0, 3, 0}));

    // Every pixel transparent: the frame empties.
    TGIFSubImage* Clear = AddFrame(Image, 3, 3, Bytes(9, 2), 4);
    auto* GCE2 = new TGIFGraphicControlExtension(Clear);
    Clear->Extensions.Add(GCE2);
    GCE2->SetTransparent(true);
    GCE2->SetTransparentColorIndex(2);
    Clear->Crop();
    EXPECT_TRUE(Clear->Empty());
}

TEST(GIFFrames, MergeWithPrevious)
{
    for (int Disposal : {0, 1, 2, 3}) {
        SCOPED_TRACE(Disposal);
        TGIFImage Image;
        for (int i = 0; i < 4; ++i)
            Image.GlobalColorMap().Add(RGB(static_cast<uint8_t>(i * 50), 0, 0));
        TGIFSubImage* Previous = AddFrame(Image, 3, 1, {1, 2, 3}, 0);
        auto* PG = new TGIFGraphicControlExtension(Previous);
        Previous->Extensions.Add(PG);
        PG->SetDisposal(Disposal);
        TGIFSubImage* Frame = AddFrame(Image, 3, 1, {1, 0, 3}, 0);
        Frame->MergeWithPrevious(Previous);
        if (Disposal >= 2) {
            EXPECT_EQ(Frame->Data, (Bytes{1, 0, 3}));
            EXPECT_FALSE(Frame->Transparent);
        } else {
            // Repeated pixels take a new transparent entry of the global map.
            ASSERT_TRUE(Frame->Transparent);
            EXPECT_EQ(Frame->GraphicControlExtension->TransparentColorIndex(), 4);
            EXPECT_EQ(Image.GlobalColorMap().Count(), 5);
            EXPECT_EQ(Frame->Data, (Bytes{4, 0, 4}));
        }
    }
}

TEST(GIFFrames, TrailerWarnsOnStrayByte)
{
    for (auto [Data, Warns] : {std::pair{Bytes{0x3B}, false}, {Bytes{}, false}, {Bytes{0x20}, true}}) {
        TWarnedImage W;
        TGIFTrailer Trailer(&W.Image);
        TBytesStream S(Data.data(), static_cast<int64_t>(Data.size()));
        Trailer.LoadFromStream(S);
        EXPECT_EQ(W.Warned("Invalid Image trailer"), Warns);
    }
}
