// Whole files: the block loop, versions, sizes, copying, and files made by other tools.
#include "GIFTestSupport.h"

#include "support/Fixtures.h"
#include "gif/gifstrings.h"

#include <QMimeData>

#include <cstring>
#include <fstream>
#include <iterator>

using namespace gif_test;

namespace {

Bytes ReadFile(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// A two-pixel frame with the global grey table.
TGIFBuilder& TwoPixels(TGIFBuilder& G)
{
    return G.Descriptor(0, 0, 2, 1).Codes(2, PackCodes(3, {4, 1, 2, 5}));
}

// The RGB pixels of a frame through its active colour map.
Bytes FrameRGB(TGIFSubImage& Frame)
{
    Bytes Out;
    TGIFColorMap& Map = Frame.ActiveColorMap();
    for (uint8_t P : Frame.Data) {
        const TGIFColor C = P < Map.Count() ? Map.Colors()[P] : TGIFColor{};
        Out.insert(Out.end(), {C.Red, C.Green, C.Blue});
    }
    return Out;
}

const char* const kFixtures[] = {"depth1", "depth2", "depth3", "depth4", "depth5", "depth6", "depth7", "depth8",
                                 "interlaced", "gsinterlaced", "transparent", "offset", "local", "animation"};

} // namespace

// Files made by ImageMagick and gifsicle: every frame decodes to the pixels ImageMagick decodes.
TEST(GIFImage, FramesMatchImageMagick)
{
    for (const char* Name : kFixtures) {
        SCOPED_TRACE(Name);
        TWarnedImage W;
        W.Load(ReadFile(FixturePath(std::string("gif/fixtures/") + Name + ".gif")));
        EXPECT_TRUE(W.Warnings.empty()) << W.Warnings.front();
        ASSERT_GE(W.Image.Images.Count(), 1);
        for (int i = 0; i < W.Image.Images.Count(); ++i) {
            const Bytes Expected =
                ReadFile(FixturePath(std::string("gif/fixtures/") + Name + "." + std::to_string(i) + ".rgb"));
            ASSERT_FALSE(Expected.empty()) << "frame " << i;
            EXPECT_EQ(FrameRGB(*W.Image.Images.GetFrame(i)), Expected) << "frame " << i;
        }
    }
}

// Loading and saving keeps every frame's pixels, positions and extensions.
TEST(GIFImage, SaveAndReloadKeepsFrames)
{
    for (const char* Name : kFixtures)
        for (uint8_t Compression : {CompressLZW, CompressRLE}) {
            SCOPED_TRACE(::testing::Message() << Name << (Compression == CompressRLE ? " RLE" : " LZW"));
            TWarnedImage A;
            A.Load(ReadFile(FixturePath(std::string("gif/fixtures/") + Name + ".gif")));
            A.Image.Compression = Compression;
            const Bytes Saved = SaveImage(A.Image);
            TWarnedImage B;
            B.Load(Saved);
            ASSERT_EQ(B.Image.Images.Count(), A.Image.Images.Count());
            EXPECT_EQ(B.Image.Width(), A.Image.Width());
            for (int i = 0; i < A.Image.Images.Count(); ++i) {
                TGIFSubImage& FA = *A.Image.Images.GetFrame(i);
                TGIFSubImage& FB = *B.Image.Images.GetFrame(i);
                EXPECT_EQ(FrameRGB(FB), FrameRGB(FA));
                EXPECT_EQ(FB.BoundsRect(), FA.BoundsRect());
                TMemoryStream EA, EB;
                FA.Extensions.SaveToStream(EA);
                FB.Extensions.SaveToStream(EB);
                EXPECT_EQ(StreamBytes(EB), StreamBytes(EA));
            }
        }
}

TEST(GIFImage, BlockLoop)
{
    // Zero bytes between blocks are skipped; a stream without trailer loads without a warning.
    {
        TGIFBuilder G;
        G.Header(2, 1).Byte(0).Byte(0);
        TwoPixels(G).Byte(0);
        TwoPixels(G);
        TWarnedImage W;
        W.Load(G.B);
        EXPECT_EQ(W.Image.Images.Count(), 2);
        EXPECT_TRUE(W.Warnings.empty());
    }
    // A stray byte ends the frame list; the frames before it are kept.
    {
        TGIFBuilder G;
        G.Header(2, 1);
        TwoPixels(G).Byte(0x42).Byte(0x3B);
        TWarnedImage W;
        W.Load(G.B);
        EXPECT_EQ(W.Image.Images.Count(), 1);
        ASSERT_EQ(W.Warnings.size(), 2u);
        EXPECT_EQ(W.Warnings[0], "Unknown GIF block type");
        EXPECT_EQ(W.Warnings[1], "Invalid Image trailer");
        EXPECT_EQ(W.Senders[0], &W.Image.Images);
    }
}

// A broken file raises and puts the stream back where loading began.
TEST(GIFImage, FailedLoadRestoresStream)
{
    TGIFBuilder G;
    G.Raw({1, 2, 3}).Header(2, 1);
    TwoPixels(G).Descriptor(0, 0, 2, 1, 0x87).Grays(10);
    TWarnedImage W;
    TBytesStream S(G.B.data(), static_cast<int64_t>(G.B.size()));
    S.SetPosition(3);
    EXPECT_EQ(RaisedMessage([&] { W.Image.LoadFromStream(S); }), "Premature end of data");
    EXPECT_EQ(S.Position(), 3);
}

// A file with no frame holding pixels is not a picture.
TEST(GIFImage, NoPixelsIsInvalid)
{
    const Bytes Files[] = {
        TGIFBuilder().Header(4, 4).Trailer().B,
        TGIFBuilder().Header(4, 4).Comment("only a comment").Trailer().B,
        TGIFBuilder().Header(4, 4).Byte(0x99).B,
        TGIFBuilder().Header(4, 4).B,
    };
    for (const Bytes& F : Files) {
        TWarnedImage W;
        EXPECT_THROW(W.Load(F), EInvalidGraphic);
    }
    // A frame of extensions first, then a frame with pixels: loads.
    TGIFBuilder G;
    G.Header(2, 1).Comment("first").Byte(0);
    TwoPixels(G).Trailer();
    TWarnedImage W;
    W.Load(G.B);
    ASSERT_EQ(W.Image.Images.Count(), 2);
    EXPECT_TRUE(W.Image.Images.GetFrame(0)->Empty());
    EXPECT_FALSE(W.Image.Images.GetFrame(1)->Empty());
}

TEST(GIFImage, VersionWritten)
{
    TGIFImage Image;
    EXPECT_EQ(RaisedMessage([&] { SaveImage(Image); }), "Unsupported GIF version");
    TGIFSubImage* Frame = AddFrame(Image, 2, 2, {0, 1, 1, 0}, 2);
    Bytes Out = SaveImage(Image);
    EXPECT_EQ(std::string(Out.begin(), Out.begin() + 6), "GIF87a");
    EXPECT_EQ(Out.back(), 0x3B);
    Frame->Extensions.Add(new TGIFGraphicControlExtension(Frame));
    Out = SaveImage(Image);
    EXPECT_EQ(std::string(Out.begin(), Out.begin() + 6), "GIF89a");
}

TEST(GIFImage, ScreenSizeSetters)
{
    TGIFImage Image;
    AddFrame(Image, 5, 4, Bytes(20, 0), 2);
    EXPECT_EQ(RaisedMessage([&] { Image.SetWidth(4); }), "Image width too small for contained frames");
    EXPECT_EQ(RaisedMessage([&] { Image.SetHeight(3); }), "Image height too small for contained frames");
    EXPECT_EQ(Image.Width(), 5);
    Image.SetWidth(8);
    EXPECT_EQ(Image.Width(), 8);
}

TEST(GIFImage, BitsPerPixelIsLargestTable)
{
    TGIFImage Image;
    for (int i = 0; i < 5; ++i)
        Image.GlobalColorMap().Add(RGB(0, 0, static_cast<uint8_t>(i)));
    EXPECT_EQ(Image.BitsPerPixel(), 3);
    AddFrame(Image, 1, 1, {0}, 100);
    EXPECT_EQ(Image.BitsPerPixel(), 7);
    EXPECT_EQ(Image.ColorResolution(), 6);
}

TEST(GIFImage, AssignCopiesFramesAndSettings)
{
    TWarnedImage Source;
    Source.Load(ReadFile(FixturePath("gif/fixtures/animation.gif")));
    Source.Image.DrawOptions = DrawTiled;
    Source.Image.DitherMode = 3;
    Source.Image.Compression = CompressRLE;
    Source.Image.AnimationSpeed = 50;
    TGIFImage Copy;
    Copy.Assign(&Source.Image);
    ASSERT_EQ(Copy.Images.Count(), 2);
    EXPECT_EQ(Copy.Width(), 40);
    EXPECT_EQ(Copy.GlobalColorMap().Count(), Source.Image.GlobalColorMap().Count());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(FrameRGB(*Copy.Images.GetFrame(i)), FrameRGB(*Source.Image.Images.GetFrame(i)));
        EXPECT_EQ(Copy.Images.GetFrame(i)->Extensions.Count(), Source.Image.Images.GetFrame(i)->Extensions.Count());
    }
    EXPECT_EQ(Copy.DrawOptions, DrawTiled);
    EXPECT_EQ(Copy.DitherMode, 3);
    EXPECT_EQ(Copy.Compression, CompressLZW) << "not copied";
    EXPECT_EQ(Copy.AnimationSpeed, 100) << "not copied";
    EXPECT_FALSE(Copy.OnWarning) << "the source's events serve only during the copy";
    Copy.Assign(nullptr);
    EXPECT_TRUE(Copy.Empty());
}

TEST(GIFImage, RegisteredAsPictureFormat)
{
    RegisterGIFFormat();
    const TFileFormat* Format = FindFileFormat("gif");
    ASSERT_NE(Format, nullptr);
    EXPECT_EQ(Format->Description, "GIF Image");
    auto Graphic = Format->Create();
    EXPECT_NE(dynamic_cast<TGIFImage*>(Graphic.get()), nullptr);
    EXPECT_STREQ(GIFClipboardFormat, "image/gif");
}

TEST(GIFImage, Clipboard)
{
    TWarnedImage Source;
    Source.Load(ReadFile(FixturePath("gif/fixtures/depth5.gif")));
    QMimeData Data;
    Source.Image.SaveToClipboardFormat(Data);
    EXPECT_TRUE(Data.hasImage());
    ASSERT_TRUE(Data.hasFormat(GIFClipboardFormat));
    TGIFImage Pasted;
    Pasted.LoadFromClipboardFormat(Data);
    ASSERT_EQ(Pasted.Images.Count(), 1);
    EXPECT_EQ(FrameRGB(*Pasted.Images.GetFrame(0)), FrameRGB(*Source.Image.Images.GetFrame(0)));

    QMimeData Text;
    Text.setText("not a picture");
    EXPECT_EQ(RaisedMessage([&] { Pasted.LoadFromClipboardFormat(Text); }), "Unsupported clipboard format");
}

// Taking the picture's rendering gives exactly what GetBitmap gives (pixels, format, palette,
// transparency), whether the frame's own rendering is taken or the image's; the image renders the
// same again when asked afterwards, and an empty image empties the destination.
TEST(GIFImage, TakeBitmapGivesTheRendering)
{
    auto ExpectSame = [](TBitmap& A, TBitmap& B) {
        ASSERT_EQ(A.Width(), B.Width());
        ASSERT_EQ(A.Height(), B.Height());
        ASSERT_EQ(A.PixelFormat(), B.PixelFormat());
        EXPECT_EQ(A.Palette(), B.Palette());
        EXPECT_EQ(A.Transparent(), B.Transparent());
        EXPECT_EQ(A.TransparentColor(), B.TransparentColor());
        for (int Y = 0; Y < A.Height(); ++Y)
            EXPECT_EQ(0, std::memcmp(A.ScanLine(Y), B.ScanLine(Y), static_cast<size_t>(A.RowBytes()))) << "row " << Y;
    };
    for (const char* Name : kFixtures) {
        SCOPED_TRACE(Name);
        const Bytes File = ReadFile(FixturePath(std::string("gif/fixtures/") + Name + ".gif"));
        TWarnedImage Reference, Taken;
        Reference.Load(File);
        Taken.Load(File);
        TBitmap Dest(3, 3);
        Taken.Image.TakeBitmap(Dest);
        ExpectSame(*Reference.Image.GetBitmap(), Dest);
        ExpectSame(*Reference.Image.GetBitmap(), *Taken.Image.GetBitmap());
    }
    TGIFImage Empty;
    TBitmap Dest(3, 3);
    Empty.TakeBitmap(Dest);
    EXPECT_TRUE(Dest.Empty());
}
