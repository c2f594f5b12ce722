// GIF pictures of the picture bitmap: loading with the first frame's transparency, saving with that
// transparency, exactly the picture's colours when they fit and 256 dithered colours when not,
// checked against independent decoders where installed.
#include "gif/GIFExtensions.h"
#include "gif/GIFImage.h"
#include "image/XBitmap.h"
#include "support/Fixtures.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;

std::string GifFixture(const std::string& Name)
{
    return FixturePath("gif/fixtures/" + Name);
}

Bytes ReadAll(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

TColor RGBAt(const Bytes& RGB, int W, int X, int Y)
{
    const size_t P = (static_cast<size_t>(Y) * static_cast<size_t>(W) + static_cast<size_t>(X)) * 3;
    return ::RGB(RGB[P], RGB[P + 1], RGB[P + 2]);
}

// A 24-bit picture of many colours (a smooth field with noise), with a block of Transparent.
void MakePhoto(TBitmap& B, int W, int H, TColor Transparent)
{
    B.SetPixelFormat(pf24bit);
    B.SetSize(W, H);
    std::mt19937 Rng(11);
    for (int Y = 0; Y < H; ++Y) {
        TRGBTriple* Row = B.Row24(Y);
        for (int X = 0; X < W; ++X) {
            const int N = static_cast<int>(Rng() % 9);
            Row[X] = {static_cast<uint8_t>((X * 255 / W + N) & 0xFF), static_cast<uint8_t>((Y * 255 / H + N) & 0xFF),
                      static_cast<uint8_t>(((X + Y) * 2 + N) & 0xFF)};
        }
    }
    if (Transparent >= 0)
        for (int Y = H / 4; Y < H / 2; ++Y)
            for (int X = W / 3; X < W / 2 + 3; ++X)
                B.Row24(Y)[X] = {GetBValue(Transparent), GetGValue(Transparent), GetRValue(Transparent)};
}

// The first frame of a saved GIF, read with the codec.
struct TSavedGif {
    TGIFImage Image;
    explicit TSavedGif(const std::string& Path)
    {
        TFileStream S(Path, fmOpenRead);
        Image.LoadFromStream(S);
    }
    TGIFSubImage& Frame() { return *Image.Images.GetFrame(0); }
};

class XBitmapGif : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    std::string Path(const char* Name) const { return Dir.filePath(Name).toStdString(); }
};

} // namespace

TEST(XBitmapGifLoad, PixelsAndTransparencyOfTheFirstFrame)
{
    struct Case {
        const char* Name;
        bool HasOptions;
        bool Transparent;
    };
    const Case Cases[] = {{"transparent", true, true}, {"depth4", true, false}, {"local", false, false}};
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TXBitmap Picture;
        Picture.LoadPictureFromFile(GifFixture(std::string(C.Name) + ".gif"), false);
        const Bytes Expected = ReadAll(GifFixture(std::string(C.Name) + ".0.rgb"));
        ASSERT_EQ(Picture.Width(), 40);
        ASSERT_EQ(Picture.Height(), 30);
        for (int Y = 0; Y < 30; ++Y)
            for (int X = 0; X < 40; ++X)
                ASSERT_EQ(Picture.GetPixel(X, Y), RGBAt(Expected, 40, X, Y)) << X << "," << Y;
        auto* Options = dynamic_cast<TGifLoadOptions*>(Picture.GifLoadOptions.get());
        EXPECT_EQ(Options != nullptr, C.HasOptions);
        if (Options) {
            EXPECT_EQ(Options->Transparent, C.Transparent);
            if (C.Transparent) {
                EXPECT_EQ(Options->TransparentColour, RGBAt(Expected, 40, 0, 0)) << "the corner is transparent";
            }
        }
    }
}

// A frame smaller than the logical screen sits at its place on the screen-sized picture.
TEST(XBitmapGifLoad, FrameAtItsPlace)
{
    TXBitmap Picture;
    Picture.LoadPictureFromFile(GifFixture("offset.gif"), false);
    ASSERT_EQ(Picture.Width(), 40);
    ASSERT_EQ(Picture.Height(), 30);
    const Bytes Frame = ReadAll(GifFixture("offset.0.rgb"));
    for (int Y = 0; Y < 14; ++Y)
        for (int X = 0; X < 20; ++X)
            ASSERT_EQ(Picture.GetPixel(X + 5, Y + 7), RGBAt(Frame, 20, X, Y)) << X << "," << Y;
}

// A picture of the first frame that holds pixels; a file with none is refused.
TEST(XBitmapGifLoad, FirstFrameWithPixels)
{
    const Bytes WithoutPixels = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0, 0, 0, 0x21, 0xFE, 1, 'x', 0, 0x3B};
    TXBitmap Picture;
    TBytesStream S(WithoutPixels.data(), static_cast<int64_t>(WithoutPixels.size()));
    EXPECT_THROW(Picture.LoadPictureFromStream(S, false), EInvalidGraphic);
    EXPECT_EQ(Picture.GifLoadOptions, nullptr);
}

TEST_F(XBitmapGif, LoadingAnotherFormatForgetsTransparency)
{
    TXBitmap Picture;
    Picture.LoadPictureFromFile(GifFixture("transparent.gif"), false);
    ASSERT_NE(Picture.GifLoadOptions, nullptr);
    Picture.SavePictureToFile(Path("p.bmp"), false);
    Picture.LoadPictureFromFile(Path("p.bmp"), false);
    EXPECT_EQ(Picture.GifLoadOptions, nullptr);
}

// Saved with transparency: exactly the pixels of the transparent colour take the transparent
// index, which holds that colour and no other pixel uses.
TEST_F(XBitmapGif, SaveMarksExactlyTheTransparentColour)
{
    for (TColor Transparent : {RGB(10, 200, 30), RGB(0, 0, 0), RGB(255, 255, 255)}) {
        SCOPED_TRACE(Transparent);
        TXBitmap Picture;
        MakePhoto(Picture, 120, 80, Transparent);
        auto Options = std::make_unique<TGifLoadOptions>();
        Options->Transparent = true;
        Options->TransparentColour = Transparent;
        Picture.GifLoadOptions = std::move(Options);
        TXBitmap Source;
        Source.Assign(&Picture);
        Picture.SavePictureToFile(Path("t.gif"), false);

        TSavedGif Saved(Path("t.gif"));
        TGIFSubImage& Frame = Saved.Frame();
        ASSERT_TRUE(Frame.Transparent);
        const int T = Frame.GraphicControlExtension->TransparentColorIndex();
        EXPECT_EQ(Frame.ActiveColorMap().GetColor(T), Transparent);
        for (int Y = 0; Y < 80; ++Y)
            for (int X = 0; X < 120; ++X)
                ASSERT_EQ(Frame.GetPixel(X, Y) == T, Source.GetPixel(X, Y) == Transparent) << X << "," << Y;

        // Loaded again, the transparency is remembered.
        TXBitmap Again;
        Again.LoadPictureFromFile(Path("t.gif"), false);
        auto* Kept = dynamic_cast<TGifLoadOptions*>(Again.GifLoadOptions.get());
        ASSERT_NE(Kept, nullptr);
        EXPECT_TRUE(Kept->Transparent);
        EXPECT_EQ(Kept->TransparentColour, Transparent);
    }
}

TEST_F(XBitmapGif, SaveWithoutTransparencyWritesNoGraphicControl)
{
    for (bool WithOptions : {false, true}) {
        TXBitmap Picture;
        MakePhoto(Picture, 64, 48, -1);
        if (WithOptions)
            Picture.GifLoadOptions = std::make_unique<TGifLoadOptions>(); // Transparent false
        Picture.SavePictureToFile(Path("o.gif"), false);
        TSavedGif Saved(Path("o.gif"));
        EXPECT_EQ(Saved.Image.Images.Count(), 1);
        EXPECT_EQ(Saved.Frame().Extensions.Count(), 0);
        EXPECT_LE(Saved.Frame().ActiveColorMap().Count(), 256);
        const Bytes File = ReadAll(Path("o.gif"));
        EXPECT_EQ(std::string(File.begin(), File.begin() + 6), "GIF87a");
    }
}

// What a saved GIF decodes to in giflib and ImageMagick is what this program reads back.
TEST_F(XBitmapGif, SavedFilesDecodeAlikeElsewhere)
{
    if (!QFile::exists("/usr/bin/gif2rgb") || !QFile::exists("/usr/bin/convert"))
        GTEST_SKIP() << "gif2rgb or ImageMagick not installed";
    for (auto [W, H, Transparent] : {std::tuple{1, 1, TColor(-1)}, {300, 200, TColor(-1)}, {257, 93, RGB(5, 6, 7)}}) {
        SCOPED_TRACE(::testing::Message() << W << "x" << H);
        TXBitmap Picture;
        MakePhoto(Picture, W, H, Transparent);
        if (Transparent >= 0) {
            auto Options = std::make_unique<TGifLoadOptions>();
            Options->Transparent = true;
            Options->TransparentColour = Transparent;
            Picture.GifLoadOptions = std::move(Options);
        }
        Picture.SavePictureToFile(Path("d.gif"), false);
        TXBitmap Back;
        Back.LoadPictureFromFile(Path("d.gif"), false);
        Bytes Ours;
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X) {
                const TColor C = Back.GetPixel(X, Y);
                Ours.insert(Ours.end(), {GetRValue(C), GetGValue(C), GetBValue(C)});
            }
        QProcess Giflib;
        Giflib.start("/usr/bin/gif2rgb", {"-1", "-o", QString::fromStdString(Path("d.rgb")),
                                          QString::fromStdString(Path("d.gif"))});
        ASSERT_TRUE(Giflib.waitForFinished(60000));
        EXPECT_EQ(ReadAll(Path("d.rgb")), Ours) << "giflib";
        QProcess IM;
        IM.start("/usr/bin/convert", {QString::fromStdString(Path("d.gif")), "-alpha", "off", "rgb:-"});
        ASSERT_TRUE(IM.waitForFinished(60000));
        const QByteArray Out = IM.readAllStandardOutput();
        EXPECT_EQ(Bytes(Out.begin(), Out.end()), Ours) << "ImageMagick";
    }
}

// The loader keeps no state between calls: GIFs load on several threads at once alike.
TEST(XBitmapGifLoad, SeveralThreadsAtOnce)
{
    const char* Names[] = {"transparent", "interlaced", "local", "offset", "animation", "depth1"};
    std::vector<std::vector<TColor>> Expected;
    auto Pixels = [](const std::string& Name) {
        TXBitmap Picture;
        Picture.LoadPictureFromFile(GifFixture(Name + ".gif"), false);
        std::vector<TColor> Out;
        for (int Y = 0; Y < Picture.Height(); ++Y)
            for (int X = 0; X < Picture.Width(); ++X)
                Out.push_back(Picture.GetPixel(X, Y));
        return Out;
    };
    for (const char* Name : Names)
        Expected.push_back(Pixels(Name));
    std::vector<std::thread> Threads;
    std::atomic<int> Mismatches{0};
    for (int T = 0; T < 8; ++T)
        Threads.emplace_back([&, T] {
            for (int Round = 0; Round < 20; ++Round) {
                const size_t I = static_cast<size_t>(T + Round) % std::size(Names);
                if (Pixels(Names[I]) != Expected[I])
                    ++Mismatches;
            }
        });
    for (auto& Thread : Threads)
        Thread.join();
    EXPECT_EQ(Mismatches, 0);
}

// A picture that already fits a GIF palette (256 colours, or 255 beside the transparent one) is
// written with exactly its colours: saved, read, saved again and read again, every pixel is kept.
// Its colours sit close together, where a cached nearest-colour lookup would merge them.
TEST_F(XBitmapGif, PictureThatFitsThePaletteSurvivesSaveAndLoad)
{
    const TColor Transparent = RGB(250, 0, 250);
    struct Case {
        const char* Name;
        std::function<TColor(int, int)> Pixel;
        bool WithTransparency;
    };
    const Case Cases[] = {
        {"256-level gray ramp", [](int X, int Y) { const int V = (Y * 64 + X) / 16; return RGB(V, V, V); }, false},
        {"256 neighbouring colours", [](int X, int Y) { const int I = (X + Y * 64) % 256; return RGB(100 + (I & 7), 50 + (I >> 3), 7); }, false},
        {"255 colours and transparent",
         [&](int X, int Y) {
             const int I = X + Y * 64;
             if (I % 7 == 3)
                 return Transparent;
             const int V = I % 255;
             return RGB(V, V, 255 - V);
         },
         true},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TXBitmap Picture;
        Picture.SetPixelFormat(pf24bit);
        Picture.SetSize(64, 64);
        std::set<TColor> Colours;
        for (int Y = 0; Y < 64; ++Y)
            for (int X = 0; X < 64; ++X) {
                const TColor P = C.Pixel(X, Y);
                Picture.Row24(Y)[X] = {GetBValue(P), GetGValue(P), GetRValue(P)};
                Colours.insert(P);
            }
        ASSERT_EQ(Colours.size(), 256u);
        if (C.WithTransparency) {
            auto Options = std::make_unique<TGifLoadOptions>();
            Options->Transparent = true;
            Options->TransparentColour = Transparent;
            Picture.GifLoadOptions = std::move(Options);
        }
        TXBitmap Current;
        Current.Assign(&Picture);
        Current.GifLoadOptions = std::move(Picture.GifLoadOptions);
        for (int Generation = 1; Generation <= 2; ++Generation) {
            SCOPED_TRACE(Generation);
            Current.SavePictureToFile(Path("fit.gif"), false);
            TXBitmap Back;
            Back.LoadPictureFromFile(Path("fit.gif"), false);
            ASSERT_EQ(Back.Width(), 64);
            ASSERT_EQ(Back.Height(), 64);
            int Changed = 0;
            for (int Y = 0; Y < 64; ++Y)
                for (int X = 0; X < 64; ++X)
                    Changed += Back.GetPixel(X, Y) != C.Pixel(X, Y);
            EXPECT_EQ(Changed, 0);
            auto* Kept = dynamic_cast<TGifLoadOptions*>(Back.GifLoadOptions.get());
            EXPECT_EQ(Kept != nullptr && Kept->Transparent, C.WithTransparency);
            if (C.WithTransparency && Kept) {
                EXPECT_EQ(Kept->TransparentColour, Transparent);
                TSavedGif Saved(Path("fit.gif"));
                TGIFSubImage& Frame = Saved.Frame();
                const int T = Frame.GraphicControlExtension->TransparentColorIndex();
                for (int Y = 0; Y < 64; ++Y)
                    for (int X = 0; X < 64; ++X)
                        ASSERT_EQ(Frame.GetPixel(X, Y) == T, C.Pixel(X, Y) == Transparent) << X << "," << Y;
            }
            Current.Assign(&Back);
            Current.GifLoadOptions = std::move(Back.GifLoadOptions);
        }
    }
}

// A picture of more colours still goes through the octree palette and the dithering.
TEST_F(XBitmapGif, PictureOfManyColoursIsStillQuantized)
{
    for (TColor Transparent : {TColor(-1), RGB(10, 200, 30)}) {
        SCOPED_TRACE(Transparent);
        TXBitmap Picture;
        MakePhoto(Picture, 160, 120, Transparent);
        if (Transparent >= 0) {
            auto Options = std::make_unique<TGifLoadOptions>();
            Options->Transparent = true;
            Options->TransparentColour = Transparent;
            Picture.GifLoadOptions = std::move(Options);
        }
        std::set<TColor> Before, After;
        int Changed = 0;
        TXBitmap Back;
        Picture.SavePictureToFile(Path("many.gif"), false);
        Back.LoadPictureFromFile(Path("many.gif"), false);
        for (int Y = 0; Y < 120; ++Y)
            for (int X = 0; X < 160; ++X) {
                Before.insert(Picture.GetPixel(X, Y));
                After.insert(Back.GetPixel(X, Y));
                Changed += Back.GetPixel(X, Y) != Picture.GetPixel(X, Y);
            }
        ASSERT_GT(Before.size(), 256u);
        EXPECT_LE(After.size(), 256u);
        EXPECT_GT(Changed, 0);
        // The octree palette of a picture this varied is nearly full.
        EXPECT_GT(After.size(), 128u);
    }
}
