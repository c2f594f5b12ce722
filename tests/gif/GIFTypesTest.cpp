// Header, colour maps, sub-block strings and the scan-line writer.
#include "GIFTestSupport.h"

#include "gif/gifstrings.h"

using namespace gif_test;

TEST(GIFTypes, BitsForColorCount)
{
    const std::pair<int, int> Cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {128, 7}, {129, 8}, {256, 8}, {257, 9}};
    for (auto [N, Bits] : Cases)
        EXPECT_EQ(BitsForColorCount(N), Bits) << N;
}

// The signature test ignores case and the version; a 4-byte prefix is allowed, other prefixes not.
TEST(GIFTypes, HeaderSignature)
{
    struct Case {
        std::string Prefix, Signature;
        bool Valid;
    };
    const Case Cases[] = {{"", "GIF89a", true}, {"", "gif87a", true}, {"", "GiFxyz", true}, {"ABCD", "GIF89a", true},
                          {"ABC", "GIF89a", false}, {"ABCDE", "GIF89a", false}, {"", "PNG89a", false}};
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Prefix + C.Signature);
        TGIFBuilder G;
        G.Raw(C.Prefix).Raw(C.Signature).Word(3).Word(2).Byte(0).Byte(0).Byte(0);
        TGIFHeader Header(nullptr);
        TBytesStream S(G.B.data(), static_cast<int64_t>(G.B.size()));
        const std::string Message = RaisedMessage([&] { Header.LoadFromStream(S); });
        EXPECT_EQ(Message, C.Valid ? "" : "Invalid GIF signature");
        if (C.Valid) {
            EXPECT_EQ(Header.Descriptor.Width, 3);
            EXPECT_EQ(Header.Descriptor.Height, 2);
        }
    }
}

TEST(GIFTypes, HeaderColorTableSizes)
{
    for (auto [Packed, Colors] : {std::pair{0x87, 256}, {0x80, 2}, {0x83, 16}, {0x00, 0}}) {
        TGIFBuilder G;
        G.Raw("GIF89a").Word(1).Word(1).Byte(static_cast<uint8_t>(Packed)).Byte(0).Byte(0).Grays(Colors);
        TGIFHeader Header(nullptr);
        TBytesStream S(G.B.data(), static_cast<int64_t>(G.B.size()));
        Header.LoadFromStream(S);
        EXPECT_EQ(Header.ColorMap.Count(), Colors);
        EXPECT_EQ(S.Position(), S.Size());
    }
    // A table cut short.
    TGIFBuilder G;
    G.Raw("GIF89a").Word(1).Word(1).Byte(0x87).Byte(0).Byte(0).Grays(100);
    TGIFHeader Header(nullptr);
    TBytesStream S(G.B.data(), static_cast<int64_t>(G.B.size()));
    EXPECT_EQ(RaisedMessage([&] { Header.LoadFromStream(S); }), "Premature end of data");
}

// Sizes are checked before anything is allocated: a tiny file cannot ask for a huge picture.
TEST(GIFTypes, HugeSizesRejectedBeforeAllocation)
{
    // Logical screen of 65535 x 65535.
    {
        TGIFBuilder G;
        G.Header(65535, 65535).Descriptor(0, 0, 1, 1).Codes(2, PackCodes(3, {4, 1, 5})).Trailer();
        TWarnedImage W;
        EXPECT_THROW(W.Load(G.B), GIFException);
    }
    // A frame of 65535 x 65535 in a small screen: a 30-byte file.
    {
        TGIFBuilder G;
        G.Header(10, 10, 0).Descriptor(0, 0, 65535, 65535).Codes(2, PackCodes(3, {4, 1, 5})).Trailer();
        EXPECT_LT(G.B.size(), 40u);
        TWarnedImage W;
        EXPECT_THROW(W.Load(G.B), GIFException);
    }
    // A frame that fits alone but not at its position.
    {
        TGIFBuilder G;
        G.Header(10, 10, 0).Descriptor(65000, 0, 16000, 16000).Codes(2, PackCodes(3, {4, 1, 5})).Trailer();
        TWarnedImage W;
        EXPECT_THROW(W.Load(G.B), GIFException);
    }
}

TEST(GIFTypes, ColorMapAddAndCapacity)
{
    TGIFImage Image;
    TGIFColorMap& Map = Image.GlobalColorMap();
    const std::pair<int, int> Capacities[] = {{1, 16}, {16, 16}, {17, 32}, {33, 64}, {255, 256}, {256, 256}};
    int Added = 0;
    for (auto [Count, Capacity] : Capacities) {
        for (; Added < Count; ++Added)
            EXPECT_EQ(Map.Add(RGB(static_cast<uint8_t>(Added), 0, 0)), Added);
        EXPECT_EQ(Map.Capacity(), Capacity) << Count;
    }
    EXPECT_EQ(RaisedMessage([&] { Map.Add(clWhite); }), "Color table overflow");
    EXPECT_EQ(Map.Count(), 256);
    EXPECT_EQ(RaisedMessage([&] { Map.Delete(256); }), "Invalid color index");
    Map.Delete(0);
    EXPECT_EQ(Map.Count(), 255);
    EXPECT_EQ(Map.GetColor(0), RGB(1, 0, 0));
}

TEST(GIFTypes, ColorMapLookups)
{
    TWarnedImage W;
    TGIFColorMap& Map = W.Image.GlobalColorMap();
    for (TColor C : {clBlack, clWhite, clRed, clBlue, clGreen, clRed})
        Map.Add(C);
    EXPECT_EQ(Map.IndexOf(clRed), 5);
    Map.Optimized = true;
    EXPECT_EQ(Map.IndexOf(clRed), 2);
    EXPECT_EQ(Map.IndexOf(clYellow), -1);
    EXPECT_EQ(Map.AddUnique(clBlue), 3);

    // A bad index warns and gives entry 0; an empty map raises after the warning.
    EXPECT_EQ(Map.GetColor(300), clBlack);
    EXPECT_TRUE(W.Warned("Invalid color index"));
    EXPECT_EQ(W.Senders.back(), &Map);
    Map.Clear();
    W.Warnings.clear();
    EXPECT_EQ(RaisedMessage([&] { Map.GetColor(0); }), "Color table is empty");
    EXPECT_TRUE(W.Warned("Invalid color index"));
}

TEST(GIFTypes, ColorMapPaletteExchange)
{
    TGIFImage Image;
    TGIFColorMap& Map = Image.GlobalColorMap();
    const TGIFPalette Palette = {{1, 2, 3, 0}, {10, 20, 30, 4}};
    Map.ImportPalette(Palette);
    ASSERT_EQ(Map.Count(), 2);
    EXPECT_EQ(Map.GetColor(0), RGB(3, 2, 1));
    const TGIFPalette Back = Map.ExportPalette();
    ASSERT_EQ(Back.size(), 2u);
    EXPECT_EQ(Back[1].rgbRed, 30);
    EXPECT_EQ(Back[1].rgbBlue, 10);
    TBitmap Indexed(4, 4, pf8bit);
    Map.ImportDIBColors(Indexed);
    EXPECT_EQ(Map.Count(), static_cast<int>(Indexed.Palette().size()));
}

// Reordering by use: the histogram counts the pixels of the frames that use the map.
TEST(GIFTypes, ColorMapOptimize)
{
    struct Case {
        Bytes Pixels;
        bool Reordered;
        int CountAfter;
    };
    const Case Cases[] = {
        {{0, 0, 0, 0, 0, 1, 1, 1}, false, 3}, // used 5, 3, 0 times: order kept, nothing dropped
        {{2, 2, 2, 2, 2, 1, 1, 1}, true, 2},  // used 0, 3, 5 times: reversed, the unused colour dropped
    };
    for (const Case& C : Cases) {
        TGIFImage Image;
        TGIFSubImage* Frame = AddFrame(Image, 8, 1, C.Pixels, 0);
        for (TColor Col : {clRed, clGreen, clBlue})
            Frame->ColorMap.Add(Col);
        EXPECT_TRUE(Frame->ColorMap.Optimize());
        EXPECT_TRUE(Frame->ColorMap.Optimized);
        EXPECT_EQ(Frame->ColorMap.Count(), C.CountAfter);
        if (C.Reordered) {
            EXPECT_EQ(Frame->ColorMap.GetColor(0), clBlue);
            EXPECT_EQ(Frame->ColorMap.GetColor(1), clGreen);
            EXPECT_EQ(Frame->Data, (Bytes{0, 0, 0, 0, 0, 1, 1, 1}));
        } else {
            EXPECT_EQ(Frame->ColorMap.GetColor(0), clRed);
            EXPECT_EQ(Frame->Data, C.Pixels);
        }
    }
    // Fewer than two colours: nothing to do.
    TGIFImage Image;
    TGIFSubImage* Frame = AddFrame(Image, 1, 1, {0}, 1);
    EXPECT_FALSE(Frame->ColorMap.Optimize());
    EXPECT_FALSE(Frame->ColorMap.Optimized);
}

// The header announces the largest table of the file and writes the global one at that size.
TEST(GIFTypes, HeaderWritesAnnouncedTableSize)
{
    TGIFImage Image;
    for (int i = 0; i < 5; ++i)
        Image.GlobalColorMap().Add(RGB(9, 9, static_cast<uint8_t>(i)));
    AddFrame(Image, 2, 2, {0, 1, 2, 3}, 100);
    const Bytes Out = SaveImage(Image);
    EXPECT_EQ(Out[10] & 0x87, 0x86); // table present, size field 6
    // 128 entries: 5 colours, then 123 times 0, 0, 0; then the frame's descriptor.
    EXPECT_EQ(Out[13 + 4 * 3 + 2], 4);
    for (int i = 5 * 3; i < 128 * 3; ++i)
        ASSERT_EQ(Out[13 + static_cast<size_t>(i)], 0) << i;
    EXPECT_EQ(Out[13 + 128 * 3], 0x2C);
}

TEST(GIFTypes, SubBlockStrings)
{
    TStringList Lines;
    Lines.Add(std::string(255, 'a') + "b");
    Lines.Add("");
    Lines.Add("xy");
    TMemoryStream Out;
    WriteSubBlockStrings(Out, Lines);
    Bytes Expected = {255};
    Expected.insert(Expected.end(), 255, 'a');
    Expected.insert(Expected.end(), {1, 'b', 2, 'x', 'y', 0});
    EXPECT_EQ(StreamBytes(Out), Expected);

    Out.SetPosition(0);
    TStringList Back;
    ReadSubBlockStrings(Out, Back);
    ASSERT_EQ(Back.Count(), 3); // each sub-block is a line of its own
    EXPECT_EQ(Back[0], std::string(255, 'a'));
    EXPECT_EQ(Back[1], "b");
    EXPECT_EQ(Back[2], "xy");
}

TEST(GIFTypes, DIBWriter)
{
    TBitmap B;
    EXPECT_EQ(RaisedMessage([&] { TDIBWriter W(B, pf4bit, 0, 5, {}); }), "Unsupported PixelFormat");
    EXPECT_EQ(RaisedMessage([&] { TDIBWriter W(B, pf8bit, 0, 5, {}); }), "Invalid image dimensions");
    EXPECT_EQ(RaisedMessage([&] { TDIBWriter W(B, pf24bit, 5, 0, {}); }), "Invalid image dimensions");
    const TGIFPalette Palette(256, TRGBQuad{7, 8, 9, 0});
    {
        TDIBWriter W(B, pf8bit, 3, 2, Palette);
        W.ScanLine(1)[2] = 5;
    }
    EXPECT_EQ(B.Width(), 3);
    EXPECT_EQ(B.Height(), 2);
    EXPECT_EQ(B.PixelFormat(), pf8bit);
    EXPECT_EQ(B.Palette(), Palette);
    EXPECT_EQ(B.ScanLine(1)[2], 5);
    TDIBReader R(B, pf24bit);
    EXPECT_EQ(B.PixelFormat(), pf24bit);
    EXPECT_EQ(B.GetPixel(2, 1), RGB(9, 8, 7));
}
