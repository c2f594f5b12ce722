// Extension blocks: choosing the class, reading, writing back, and the graphic control extension.
#include "GIFTestSupport.h"

#include "gif/gifstrings.h"

using namespace gif_test;

namespace {

// Reads the extension list in Data (followed by a trailer byte) into a frame of a fresh image.
struct TExtensionsRead {
    TWarnedImage Owner;
    TGIFSubImage* Frame = nullptr;
    std::string Error;
    int64_t Position = 0;

    explicit TExtensionsRead(const Bytes& Data, int GlobalColors = 0)
    {
        for (int i = 0; i < GlobalColors; ++i)
            Owner.Image.GlobalColorMap().Add(RGB(static_cast<uint8_t>(i), 0, 0));
        Frame = AddFrame(Owner.Image, 1, 1, {}, 0);
        Bytes All = Data;
        All.push_back(0x3B);
        TBytesStream S(All.data(), static_cast<int64_t>(All.size()));
        Error = RaisedMessage([&] { Frame->Extensions.LoadFromStream(S, Frame); });
        Position = S.Position();
    }
    Bytes Saved() const
    {
        TMemoryStream Out;
        Frame->Extensions.SaveToStream(Out);
        return StreamBytes(Out);
    }
};

Bytes AppBlock(uint8_t Size, const std::string& Identifier, const Bytes& SubBlocks)
{
    TGIFBuilder G;
    G.Raw({0x21, 0xFF, Size}).Raw(Identifier).Raw(SubBlocks);
    return G.B;
}

} // namespace

TEST(GIFExtensions, FindExtensionChoosesClass)
{
    struct Case {
        const char* Name;
        Bytes Data; // after the 0x21 byte
        TGIFExtensionClass Expected;
    };
    const Case Cases[] = {
        {"graphic control", {0xF9, 4, 0, 0, 0, 0, 0}, &TGIFGraphicControlExtension::ClassInfo},
        {"comment", {0xFE, 0}, &TGIFCommentExtension::ClassInfo},
        {"plain text", {0x01, 12}, &TGIFTextExtension::ClassInfo},
        {"loop", AppBlock(11, "NETSCAPE2.0", {0}), &TGIFAppExtNSLoop::ClassInfo},
        {"loop, other name", AppBlock(11, "ANIMEXTS1.0", {0}), &TGIFAppExtNSLoop::ClassInfo},
        {"other application", AppBlock(11, "XMP DataXMP", {0}), &TGIFUnknownAppExtension::ClassInfo},
        {"application of size 10", AppBlock(10, "ABCDEFGHIJ", {0}), &TGIFUnknownAppExtension::ClassInfo},
        {"application of size 12", AppBlock(12, "ABCDEFGHIJKL", {0}), &TGIFUnknownAppExtension::ClassInfo},
        {"application cut short", AppBlock(11, "NETS", {}), &TGIFUnknownAppExtension::ClassInfo},
        {"unregistered label", {0x99, 0}, nullptr},
        {"nothing", {}, nullptr},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        Bytes Data = C.Data;
        if (C.Data.size() > 1 && C.Data[0] == 0x21)
            Data.erase(Data.begin()); // AppBlock starts with the introducer
        TBytesStream S(Data.data(), static_cast<int64_t>(Data.size()));
        EXPECT_EQ(TGIFExtension::FindExtension(S), C.Expected);
        if (!Data.empty()) {
            EXPECT_EQ(S.Position(), 0);
        }
    }
}

// Application blocks: what is read, kept and written back.
TEST(GIFExtensions, ApplicationBlocks)
{
    const Bytes Blocks = {3, 'a', 'b', 'c', 1, 'd', 0};
    struct Case {
        const char* Name;
        Bytes Data;
        const char* Error;
        Bytes Saved; // empty: the same bytes
    };
    Bytes Size10Saved = AppBlock(11, std::string("ABCDEFGHIJ") + '\0', Blocks);
    const Case Cases[] = {
        {"unknown identifier", AppBlock(11, "XMP DataXMP", Blocks), "", {}},
        {"size 10", AppBlock(10, "ABCDEFGHIJ", Blocks), "", Size10Saved},
        {"size 12", AppBlock(12, "ABCDEFGHIJKL", Blocks), "", AppBlock(11, "ABCDEFGHIJK", Blocks)},
        {"size 9", AppBlock(9, "ABCDEFGHI", Blocks), "Unsupported Application Extension block size", {}},
        {"cut short in the identifier", AppBlock(11, "NETSCAPE", {}), "Premature end of data", {}},
        {"cut short in a block", AppBlock(11, "XMP DataXMP", {5, 'a'}), "Premature end of data", {}},
        {"loop", AppBlock(11, "NETSCAPE2.0", {3, 1, 5, 0, 0}), "", {}},
        {"loop with buffer size", AppBlock(11, "ANIMEXTS1.0", {3, 1, 0, 1, 5, 2, 1, 2, 3, 4, 0}), "", {}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TExtensionsRead R(C.Data);
        EXPECT_EQ(R.Error, C.Error);
        if (*C.Error)
            continue;
        ASSERT_EQ(R.Frame->Extensions.Count(), 1);
        EXPECT_EQ(R.Saved(), C.Saved.empty() ? C.Data : C.Saved);
        EXPECT_EQ(R.Position, static_cast<int64_t>(C.Data.size())) << "stream left at the trailer";
    }
}

TEST(GIFExtensions, LoopData)
{
    struct Case {
        Bytes SubBlocks;
        const char* Error;
        int Loops;
        uint32_t BufferSize;
    };
    const Case Cases[] = {
        {{3, 1, 0x34, 0x12, 0}, "", 0x1234, 0},
        {{5, 2, 1, 0, 0, 0, 3, 1, 2, 0, 0}, "", 2, 1},
        {{2, 1, 7, 0}, "Invalid GIF data", 0, 0},
        {{4, 2, 1, 2, 3, 0}, "Invalid GIF data", 0, 0},
        {{3, 7, 9, 9, 3, 9, 4, 0, 0}, "", 4, 0}, // id 7 skipped; id 9 has low bits 1
        {{}, "", 0, 0},
    };
    for (const Case& C : Cases) {
        TExtensionsRead R(AppBlock(11, "NETSCAPE2.0", C.SubBlocks));
        EXPECT_EQ(R.Error, C.Error);
        if (*C.Error)
            continue;
        auto* Loop = dynamic_cast<TGIFAppExtNSLoop*>(R.Frame->Extensions.GetExtension(0));
        ASSERT_NE(Loop, nullptr);
        EXPECT_EQ(Loop->Loops, C.Loops);
        EXPECT_EQ(Loop->BufferSize, C.BufferSize);
    }
}

// A label no class is registered for is valid GIF89a: skipped with a warning, not an error.
TEST(GIFExtensions, UnregisteredLabelSkipped)
{
    TGIFBuilder G;
    G.Header(2, 1).Raw({0x21, 0x77}).SubBlocks({1, 2, 3, 4}).Comment("kept").Descriptor(0, 0, 2, 1);
    G.Codes(2, PackCodes(3, {4, 1, 2, 5})).Trailer();
    TWarnedImage W;
    W.Load(G.B);
    ASSERT_EQ(W.Image.Images.Count(), 1);
    TGIFSubImage* Frame = W.Image.Images.GetFrame(0);
    ASSERT_EQ(Frame->Extensions.Count(), 1);
    EXPECT_EQ(Frame->Extensions.GetExtension(0)->BlockLabel(), 0xFE);
    EXPECT_EQ(Frame->Data, (Bytes{1, 2}));
    EXPECT_TRUE(W.Warned("Unknown GIF block type"));
}

TEST(GIFExtensions, TextAndCommentWrittenBack)
{
    TGIFBuilder G;
    G.Raw({0x21, 0xFE}).SubBlocks(Bytes(300, 'c'));
    G.Raw({0x21, 0x01, 12, 1, 0, 2, 0, 30, 0, 8, 0, 4, 8, 1, 0}).SubBlocks({'h', 'i', '\n', 0});
    TExtensionsRead R(G.B);
    EXPECT_EQ(R.Error, "");
    ASSERT_EQ(R.Frame->Extensions.Count(), 2);
    auto* Comment = dynamic_cast<TGIFCommentExtension*>(R.Frame->Extensions.GetExtension(0));
    ASSERT_NE(Comment, nullptr);
    EXPECT_EQ(Comment->Text.Count(), 2);
    EXPECT_EQ(R.Saved(), G.B);
}

TEST(GIFExtensions, GraphicControlFields)
{
    TGIFBuilder G;
    G.Raw({0x21, 0xF9, 4, 0xE3 /* reserved bits, user input, transparent */, 0x10, 0x27, 3, 0});
    TExtensionsRead R(G.B, 16);
    auto* GCE = R.Frame->GraphicControlExtension;
    ASSERT_NE(GCE, nullptr);
    EXPECT_TRUE(GCE->GetTransparent());
    EXPECT_TRUE(R.Frame->Transparent);
    EXPECT_TRUE(GCE->UserInput());
    EXPECT_EQ(GCE->GetDelay(), 10000);
    EXPECT_EQ(GCE->GetTransparentColor(), RGB(3, 0, 0));
    GCE->SetDisposal(10);
    EXPECT_EQ(GCE->GetDisposal(), 2);
    EXPECT_TRUE(GCE->GetTransparent());
    EXPECT_TRUE(GCE->UserInput());
    EXPECT_EQ(GCE->Rec().PackedFields & 0xE0, 0xE0);
    GCE->SetTransparent(false);
    EXPECT_FALSE(R.Frame->Transparent);

    // Cut short: a warning, the block keeps what was read.
    TExtensionsRead Short(Bytes{0x21, 0xF9, 4, 1});
    EXPECT_EQ(Short.Error, "");
    EXPECT_TRUE(Short.Owner.Warned("Premature end of data"));
}

TEST(GIFExtensions, TransparentColorIndexChecked)
{
    struct Case {
        int MapColors;
        int Value;
        int Stored;
        bool Warned;
    };
    const Case Cases[] = {{256, 300, 44, false}, {16, 20, 0, true}, {16, 15, 15, false}, {0, 300, 44, false}};
    for (const Case& C : Cases) {
        TWarnedImage W;
        TGIFSubImage* Frame = AddFrame(W.Image, 1, 1, {0}, C.MapColors);
        auto* GCE = new TGIFGraphicControlExtension(Frame);
        Frame->Extensions.Add(GCE);
        GCE->SetTransparentColorIndex(C.Value);
        EXPECT_EQ(GCE->TransparentColorIndex(), C.Stored) << C.MapColors << " " << C.Value;
        EXPECT_EQ(W.Warned("Invalid color index"), C.Warned);
    }
}

TEST(GIFExtensions, FrameKeepsFirstGraphicControl)
{
    TGIFImage Image;
    TGIFSubImage* Frame = AddFrame(Image, 1, 1, {0}, 2);
    auto* First = new TGIFGraphicControlExtension(Frame);
    Frame->Extensions.Add(First);
    auto* Second = new TGIFGraphicControlExtension(Frame);
    Frame->Extensions.Add(Second);
    EXPECT_EQ(Frame->GraphicControlExtension, First);
    Second->SetTransparent(true);
    EXPECT_FALSE(Frame->Transparent) << "only the frame's own graphic control sets its transparency";
    First->SetTransparent(true);
    EXPECT_TRUE(Frame->Transparent);
    delete First; // leaves the list and the frame
    EXPECT_EQ(Frame->GraphicControlExtension, nullptr);
    EXPECT_FALSE(Frame->Transparent);
    EXPECT_EQ(Frame->Extensions.Count(), 1);
    EXPECT_EQ(Frame->Extensions.IndexOfLabel(0xF9, 0), 0);
}
