// Bitmap storage, pixel formats, transparency, QImage sharing and the picture-format registry.
#include "platform/Graphics.h"

#include "GraphicFakes.h"

#include <QImage>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

struct SizeCase {
    int64_t W, H;
    const char* Error; // nullptr: accepted
};

TEST(BitmapLimits, CheckPictureSizeAcceptsUpToTheLimitsAndNamesTheSize)
{
    const SizeCase cases[] = {
        {0, 0, nullptr},
        {65535, 1, nullptr},
        {16384, 16384, nullptr},
        {65536, 1, "Picture of 65536 x 1 pixels is too large"},
        {1, 65536, "Picture of 1 x 65536 pixels is too large"},
        {16384, 16385, "Picture of 16384 x 16385 pixels is too large"},
        {-1, 5, "Invalid picture size -1 x 5"},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.W << " x " << c.H);
        if (!c.Error) {
            EXPECT_NO_THROW(CheckPictureSize(c.W, c.H));
            continue;
        }
        try {
            CheckPictureSize(c.W, c.H);
            ADD_FAILURE() << "no exception";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, c.Error);
        }
    }
}

TEST(BitmapLimits, SetSizePastTheLimitsKeepsTheBitmap)
{
    TBitmap b(3, 2);
    b.SetPixelColor(1, 1, clRed);
    EXPECT_THROW(b.SetSize(70000, 2), EInvalidGraphic);
    EXPECT_THROW(b.SetSize(20000, 20000), EInvalidGraphic);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.GetPixel(1, 1), clRed);
}

struct FormatCase {
    TPixelFormat Format;
    int Bits;
    int RowBytes13; // row size for a width of 13
};
const FormatCase kFormats[] = {
    {pf1bit, 1, 4}, {pf4bit, 4, 8}, {pf8bit, 8, 16}, {pf15bit, 16, 28},
    {pf16bit, 16, 28}, {pf24bit, 24, 40}, {pf32bit, 32, 52},
};

TEST(BitmapStorage, RowsAreTopDownAndPaddedToFourBytes)
{
    EXPECT_EQ(BitsPerPixel(pfDevice), 24);
    for (const FormatCase& c : kFormats) {
        SCOPED_TRACE(c.Bits);
        EXPECT_EQ(BitsPerPixel(c.Format), c.Bits);
        TBitmap b(13, 3, c.Format);
        EXPECT_EQ(b.PixelFormat(), c.Format);
        EXPECT_EQ(b.RowBytes(), c.RowBytes13);
        EXPECT_EQ(b.ScanLine(0), b.Bits());
        EXPECT_EQ(b.ScanLine(2), b.Bits() + 2 * c.RowBytes13);
        for (int y : {-1, 3}) {
            try {
                b.ScanLine(y);
                ADD_FAILURE() << "row " << y;
            } catch (const EInvalidGraphic& e) {
                EXPECT_EQ(e.Message, "Scan line index out of range");
            }
        }
    }
    TBitmap device;
    device.SetPixelFormat(pfDevice);
    EXPECT_EQ(device.PixelFormat(), pf24bit);
    EXPECT_THROW(device.SetPixelFormat(pfCustom), EInvalidGraphic);
}

TEST(BitmapStorage, NewBitmapsAreWhiteAndIndexedOnesStartAtIndexZero)
{
    for (const FormatCase& c : kFormats) {
        SCOPED_TRACE(c.Bits);
        TBitmap b(5, 2, c.Format);
        const TColor expected = c.Bits <= 8 ? b.GetPixel(0, 0) : clWhite;
        if (c.Bits <= 8) {
            ASSERT_EQ(b.Palette().size(), size_t(1) << c.Bits);
            const TRGBQuad& q = b.Palette()[0];
            EXPECT_EQ(expected, RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
        }
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(b.GetPixel(x, y), expected);
    }
}

TEST(BitmapStorage, SetSizeKeepsThePixelsInsideBothSizes)
{
    for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf24bit, pf32bit}) {
        SCOPED_TRACE(BitsPerPixel(pf));
        TBitmap b(9, 3, pf);
        const TColor other = pf == pf1bit ? clWhite : clRed;
        const TColor blank = b.GetPixel(0, 0);
        for (int x = 0; x < 9; ++x)
            b.SetPixelColor(x, 1, other);
        b.SetSize(5, 2); // drops columns 5.. and row 2
        b.SetSize(12, 4);
        for (int x = 0; x < 12; ++x) {
            EXPECT_EQ(b.GetPixel(x, 0), blank) << x;
            EXPECT_EQ(b.GetPixel(x, 1), x < 5 ? other : blank) << x;
            EXPECT_EQ(b.GetPixel(x, 3), blank) << x;
        }
    }
    TBitmap empty;
    empty.SetSize(0, 0);
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.Bits(), nullptr);

    // No columns left while rows stay: nothing to copy, and growing again gives blank pixels.
    TBitmap narrow(4, 3, pf24bit);
    narrow.SetPixelColor(0, 0, clRed);
    narrow.SetWidth(0);
    EXPECT_TRUE(narrow.Empty());
    EXPECT_EQ(narrow.Height(), 3);
    narrow.SetWidth(4);
    EXPECT_EQ(narrow.GetPixel(0, 0), clWhite);
}

TEST(BitmapStorage, PixelsLastAcrossTheSizeWhereStorageMovesToHugePages)
{
    // 1000 x 1398 x 3 bytes is just under 4 MB, one more row just over; and a picture of many
    // huge pages. Corner pixels survive growing, shrinking, copying and taking; new ones are white.
    const struct {
        int W, H;
    } sizes[] = {{1000, 1398}, {1000, 1399}, {1000, 1400}, {2000, 2001}};
    const auto mark = [](int X, int Y) { return RGB(uint8_t(X), uint8_t(Y), 7); };
    for (const auto& from : sizes)
        for (const auto& to : sizes) {
            SCOPED_TRACE(std::to_string(from.W) + "x" + std::to_string(from.H) + " to " + std::to_string(to.W) + "x" +
                         std::to_string(to.H));
            TBitmap b(from.W, from.H, pf24bit);
            const TPoint corners[] = {{0, 0}, {from.W - 1, 0}, {0, from.H - 1}, {from.W - 1, from.H - 1}};
            for (const TPoint& p : corners)
                b.SetPixelColor(p.X, p.Y, mark(p.X, p.Y));
            TBitmap copy;
            copy.Assign(&b);
            b.SetSize(to.W, to.H);
            for (const TPoint& p : corners) {
                if (p.X < to.W && p.Y < to.H) {
                    EXPECT_EQ(b.GetPixel(p.X, p.Y), mark(p.X, p.Y)) << p.X << "," << p.Y;
                }
                EXPECT_EQ(copy.GetPixel(p.X, p.Y), mark(p.X, p.Y)) << p.X << "," << p.Y;
            }
            if (to.W > from.W || to.H > from.H) {
                EXPECT_EQ(b.GetPixel(to.W - 1, to.H - 1), clWhite);
            }
            b.ScanLine(to.H - 1)[to.W * 3 - 1] = 0x12; // the last byte of the storage is there
            TBitmap taken;
            taken.TakeFrom(copy);
            EXPECT_TRUE(copy.Empty());
            EXPECT_EQ(taken.GetPixel(from.W - 1, from.H - 1), mark(from.W - 1, from.H - 1));
        }
}

// Colours each format holds exactly, and a colour it has to approximate.
struct PixelCase {
    TPixelFormat Format;
    TColor Exact;
    TColor Asked, Got;
};

TEST(BitmapPixels, GetAndSetPixelInEveryFormat)
{
    const PixelCase cases[] = {
        {pf1bit, clBlack, RGB(200, 220, 210), clWhite},
        {pf4bit, clTeal, RGB(250, 10, 12), clRed},
        {pf8bit, RGB(153, 51, 204), RGB(150, 50, 205), RGB(153, 51, 204)},
        {pf15bit, RGB(132, 66, 255), RGB(135, 70, 255), RGB(132, 66, 255)},
        {pf16bit, RGB(132, 65, 255), RGB(135, 67, 255), RGB(132, 65, 255)},
        {pf24bit, RGB(1, 2, 3), RGB(1, 2, 3), RGB(1, 2, 3)},
        {pf32bit, RGB(250, 128, 7), RGB(250, 128, 7), RGB(250, 128, 7)},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(BitsPerPixel(c.Format));
        TBitmap b(4, 3, c.Format);
        b.SetPixelColor(2, 1, c.Exact);
        EXPECT_EQ(b.GetPixel(2, 1), c.Exact);
        b.SetPixelColor(3, 2, c.Asked);
        EXPECT_EQ(b.GetPixel(3, 2), c.Got);
        const TColor before = b.GetPixel(0, 0);
        b.SetPixelColor(-1, 0, c.Exact);
        b.SetPixelColor(4, 0, c.Exact);
        EXPECT_EQ(b.GetPixel(0, 0), before);
        EXPECT_EQ(b.GetPixel(-1, 0), -1);
        EXPECT_EQ(b.GetPixel(0, 3), -1);
    }
    TBitmap sys(1, 1);
    sys.SetPixelColor(0, 0, clBtnFace);
    EXPECT_EQ(sys.GetPixel(0, 0), ColorToRGB(clBtnFace));
}

TEST(BitmapPixels, ThirtyTwoBitPixelsAreOpaqueBgra)
{
    TBitmap b(2, 1, pf32bit);
    b.SetPixelColor(1, 0, RGB(10, 20, 30));
    const TRGBQuad* q = reinterpret_cast<const TRGBQuad*>(b.ScanLine(0)) + 1;
    EXPECT_EQ(*q, (TRGBQuad{30, 20, 10, 255}));
}

TEST(BitmapFormats, ConversionsKeepColoursEachFormatHolds)
{
    // The sixteen standard colours survive every format but 1-bit; black and white survive all.
    const TColor colours[] = {clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clGray,
                              clSilver, clRed, clLime, clYellow, clBlue, clFuchsia, clAqua, clWhite};
    for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        SCOPED_TRACE(BitsPerPixel(pf));
        TBitmap b(16, 2);
        for (int x = 0; x < 16; ++x) {
            b.SetPixelColor(x, 0, colours[x]);
            b.SetPixelColor(x, 1, x & 1 ? clWhite : clBlack);
        }
        b.SetPixelFormat(pf);
        b.SetPixelFormat(pf24bit);
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(b.GetPixel(x, 1), x & 1 ? clWhite : clBlack);
            if (pf == pf4bit || pf == pf8bit || pf == pf24bit || pf == pf32bit) {
                EXPECT_EQ(b.GetPixel(x, 0), colours[x]) << x;
            }
        }
    }
}

TEST(BitmapFormats, ReducingTakesTheNearestPaletteEntry)
{
    TBitmap b(3, 1);
    b.SetPixelColor(0, 0, RGB(240, 20, 30));  // near red
    b.SetPixelColor(1, 0, RGB(100, 120, 110)); // near grey
    b.SetPixelColor(2, 0, RGB(10, 10, 120));   // near navy
    b.SetPixelFormat(pf4bit);
    ASSERT_EQ(b.Palette().size(), 16u);
    EXPECT_EQ(b.GetPixel(0, 0), clRed);
    EXPECT_EQ(b.GetPixel(1, 0), clGray);
    EXPECT_EQ(b.GetPixel(2, 0), clNavy);
    b.SetPixelFormat(pf1bit);
    EXPECT_EQ(b.GetPixel(0, 0), clBlack);
    EXPECT_EQ(b.GetPixel(1, 0), clWhite); // grey 128 lies nearer white
    EXPECT_EQ(b.GetPixel(2, 0), clBlack);
}

TEST(BitmapFormats, IndexedToIndexedKeepsAPaletteThatFits)
{
    TBitmap b(3, 1, pf1bit);
    b.Palette() = {{0, 0, 255, 0}, {255, 0, 0, 0}}; // red, blue
    b.SetPixelColor(1, 0, clBlue);
    b.SetPixelFormat(pf8bit);
    ASSERT_EQ(b.Palette().size(), 256u);
    EXPECT_EQ(b.Palette()[0], (TRGBQuad{0, 0, 255, 0}));
    EXPECT_EQ(b.ScanLine(0)[1], 1);
    EXPECT_EQ(b.GetPixel(0, 0), clRed);
    EXPECT_EQ(b.GetPixel(1, 0), clBlue);
}

TEST(BitmapFormats, IndicesPastAShortPaletteReadAsBlack)
{
    TBitmap b(2, 1, pf8bit);
    b.Palette().resize(3);
    b.ScanLine(0)[1] = 200;
    EXPECT_EQ(b.GetPixel(1, 0), clBlack);
}

// 8-bit to 24-bit, at widths that leave every remainder of four pixels and every row padding:
// each pixel takes its palette colour (black past a short palette), the padding stays white.
TEST(BitmapFormats, EightBitRowsExpandToTheirColours)
{
    const std::vector<TRGBQuad> palette = {{1, 2, 3, 0}, {250, 128, 7, 0}, {0, 255, 90, 0}, {66, 77, 88, 0}};
    for (int w = 1; w <= 13; ++w) {
        SCOPED_TRACE(w);
        TBitmap b(w, 3, pf8bit);
        b.Palette().assign(palette.begin(), palette.end());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x)
                b.ScanLine(y)[x] = uint8_t(x * 7 + y * 3 == 11 ? 200 : (x * 7 + y * 3) % 4);
        b.SetPixelFormat(pf24bit);
        ASSERT_EQ(b.PixelFormat(), pf24bit);
        EXPECT_TRUE(b.Palette().empty());
        for (int y = 0; y < 3; ++y) {
            const uint8_t* row = b.ScanLine(y);
            for (int x = 0; x < w; ++x) {
                const int i = x * 7 + y * 3;
                const TRGBQuad c = i == 11 ? TRGBQuad{} : palette[size_t(i % 4)];
                EXPECT_EQ(row[3 * x], c.rgbBlue) << x << "," << y;
                EXPECT_EQ(row[3 * x + 1], c.rgbGreen) << x << "," << y;
                EXPECT_EQ(row[3 * x + 2], c.rgbRed) << x << "," << y;
            }
            for (int p = 3 * w; p < b.RowBytes(); ++p)
                EXPECT_EQ(row[p], 0xFF) << "padding of row " << y;
        }
    }
}

TEST(BitmapAssign, CopiesEverythingAndStaysIndependent)
{
    TBitmap a(3, 2, pf8bit);
    a.SetPixelColor(2, 1, clYellow);
    a.SetTransparent(true);
    a.SetTransparentColor(clYellow);
    TBitmap b(7, 7);
    b.Assign(&a);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.PixelFormat(), pf8bit);
    EXPECT_EQ(b.Palette(), a.Palette());
    EXPECT_TRUE(b.Transparent());
    EXPECT_EQ(b.TransparentMode, TBitmap::tmFixed);
    EXPECT_EQ(b.TransparentColor(), clYellow);
    EXPECT_EQ(b.GetPixel(2, 1), clYellow);
    EXPECT_NE(b.Bits(), a.Bits());
    a.SetPixelColor(2, 1, clBlack);
    EXPECT_EQ(b.GetPixel(2, 1), clYellow);

    b.Assign(&b);
    EXPECT_EQ(b.GetPixel(2, 1), clYellow);
    b.Assign(nullptr);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
}

TEST(BitmapAssign, TakeFromMakesWhatAssignMakesWithoutACopy)
{
    const auto Make = [](TPixelFormat Format, bool Transparent, TColor Fixed) {
        auto B = std::make_unique<TBitmap>(5, 3, Format);
        B->SetPixelColor(4, 2, clYellow);
        B->SetPixelColor(0, 0, clRed);
        B->SetTransparent(Transparent);
        if (Fixed != clDefault)
            B->SetTransparentColor(Fixed);
        return B;
    };
    const struct {
        const char* Name;
        TPixelFormat Format;
        bool Transparent;
        TColor Fixed;
    } Cases[] = {
        {"24-bit, opaque", pf24bit, false, clDefault},
        {"8-bit with its palette, fixed transparent colour", pf8bit, true, clYellow},
        {"1-bit, automatic transparency", pf1bit, true, clDefault},
        {"32-bit", pf32bit, false, clDefault},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Source = Make(C.Format, C.Transparent, C.Fixed);
        TBitmap Assigned(7, 7, pf4bit);
        Assigned.SetTransparent(!C.Transparent);
        Assigned.SetTransparentColor(clBlue);
        TBitmap Taken(7, 7, pf4bit);
        Taken.SetTransparent(!C.Transparent);
        Taken.SetTransparentColor(clBlue);
        Assigned.Assign(Source.get());
        const uint8_t* Pixels = Source->Bits();
        Taken.TakeFrom(*Source);

        EXPECT_EQ(Taken.Bits(), Pixels); // the storage itself, not a copy
        EXPECT_TRUE(Source->Empty());
        EXPECT_EQ(Taken.Width(), Assigned.Width());
        EXPECT_EQ(Taken.Height(), Assigned.Height());
        EXPECT_EQ(Taken.PixelFormat(), Assigned.PixelFormat());
        EXPECT_EQ(Taken.Palette(), Assigned.Palette());
        EXPECT_EQ(Taken.Transparent(), Assigned.Transparent());
        EXPECT_EQ(Taken.TransparentMode, Assigned.TransparentMode);
        EXPECT_EQ(Taken.TransparentColor(), Assigned.TransparentColor());
        for (int Y = 0; Y < 3; ++Y)
            for (int X = 0; X < 5; ++X)
                EXPECT_EQ(Taken.GetPixel(X, Y), Assigned.GetPixel(X, Y)) << X << "," << Y;
    }
    TBitmap Self(2, 2);
    Self.SetPixelColor(1, 1, clRed);
    Self.TakeFrom(Self);
    EXPECT_EQ(Self.GetPixel(1, 1), clRed);
}

TEST(BitmapAssign, OtherGraphicsRenderThemselvesOrRefuse)
{
    TBitmap b;
    TRenderedGraphic rendered;
    b.Assign(&rendered);
    EXPECT_EQ(b.GetPixel(0, 0), clLime);
    EXPECT_EQ(b.GetPixel(1, 0), clBlue);
    TOpaqueGraphic opaque;
    try {
        b.Assign(&opaque);
        ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "Cannot assign a TOpaqueGraphic to a TBitmap");
    }
}

TEST(BitmapTransparency, AutoModeTakesTheBottomLeftPixel)
{
    TBitmap b(3, 3);
    b.SetPixelColor(0, 2, clFuchsia);
    EXPECT_EQ(b.TransparentMode, TBitmap::tmAuto);
    EXPECT_EQ(b.TransparentColor(), clFuchsia);
    b.SetPixelColor(0, 2, clGreen);
    EXPECT_EQ(b.TransparentColor(), clGreen);
    b.SetTransparentColor(clRed);
    EXPECT_EQ(b.TransparentMode, TBitmap::tmFixed);
    EXPECT_EQ(b.TransparentColor(), clRed);
    b.SetTransparentColor(clDefault);
    EXPECT_EQ(b.TransparentMode, TBitmap::tmAuto);
    EXPECT_EQ(b.TransparentColor(), clGreen);
}

TEST(BitmapQImage, TwentyFourAndThirtyTwoBitRowsAreShared)
{
    for (TPixelFormat pf : {pf24bit, pf32bit}) {
        SCOPED_TRACE(BitsPerPixel(pf));
        TBitmap b(5, 3, pf);
        QImage image = b.AsQImage();
        ASSERT_EQ(image.width(), 5);
        ASSERT_EQ(image.height(), 3);
        EXPECT_EQ(image.constBits(), b.Bits());
        EXPECT_EQ(image.bytesPerLine(), b.RowBytes());
        image.setPixelColor(4, 2, QColor(10, 20, 30));
        EXPECT_EQ(b.GetPixel(4, 2), RGB(10, 20, 30));
        b.SetPixelColor(1, 0, RGB(200, 100, 50));
        EXPECT_EQ(image.pixelColor(1, 0), QColor(200, 100, 50));
    }
}

TEST(BitmapQImage, OtherFormatsGiveAConvertedCopy)
{
    TBitmap b(4, 2, pf4bit);
    b.SetPixelColor(3, 1, clOlive);
    const QImage image = b.AsQImage();
    EXPECT_EQ(image.pixelColor(3, 1), QColor(0x80, 0x80, 0));
    EXPECT_TRUE(TBitmap().AsQImage().isNull());
}

TEST(BitmapQImage, AssignQImageCopiesIntoTwentyFourBits)
{
    QImage image(7, 2, QImage::Format_ARGB32);
    image.fill(QColor(1, 2, 3));
    image.setPixelColor(6, 1, QColor(250, 0, 9));
    TBitmap b(2, 2, pf8bit);
    b.AssignQImage(image);
    EXPECT_EQ(b.PixelFormat(), pf24bit);
    EXPECT_EQ(b.Width(), 7);
    EXPECT_EQ(b.RowBytes(), 24);
    EXPECT_EQ(b.GetPixel(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(b.GetPixel(6, 1), RGB(250, 0, 9));
    b.AssignQImage(QImage());
    EXPECT_TRUE(b.Empty());
}

TEST(FileFormats, RegistryFindsByExtensionAndReplaces)
{
    const TFileFormat* bmp = FindFileFormat(".bmp");
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(std::string(bmp->Create()->ClassName()), "TBitmap");
    EXPECT_EQ(FindFileFormat("QQZ"), nullptr);

    RegisterFileFormat("QQZ", "First", [] { return std::unique_ptr<TGraphic>(new TBitmap); });
    const TFileFormat* first = FindFileFormat(".qqz");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Description, "First");
    RegisterFileFormat(".Qqz", "Second", [] { return std::unique_ptr<TGraphic>(new TBitmap); });
    EXPECT_EQ(FindFileFormat("qqz")->Description, "Second");
    EXPECT_EQ(first->Description, "First"); // an earlier answer stays readable
    int found = 0;
    for (const TFileFormat& f : RegisteredFileFormats())
        found += SameText(f.Extension, "QQZ");
    EXPECT_EQ(found, 1);
}

TEST(FileFormats, RegistryIsSafeFromSeveralThreads)
{
    std::atomic<int> misses{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &misses] {
            for (int i = 0; i < 200; ++i) {
                RegisterFileFormat("T" + std::to_string(t), "Thread", [] { return std::unique_ptr<TGraphic>(new TBitmap); });
                if (!FindFileFormat("bmp") || !FindFileFormat("t" + std::to_string(t)))
                    ++misses;
                RegisteredFileFormats();
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(misses, 0);
}

class BitmapFiles : public testing::Test {
protected:
    void SetUp() override
    {
        Dir = std::filesystem::temp_directory_path() /
              ("bitmap-files-" + std::to_string(::getpid()) + "-" + testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(Dir);
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }
    std::filesystem::path Dir;
};

TEST_F(BitmapFiles, SaveAndLoadThroughFiles)
{
    const std::string name = (Dir / "p.bmp").string();
    TBitmap b(6, 4);
    b.SetPixelColor(5, 3, clPurple);
    b.SaveToFile(name);
    TBitmap c;
    c.LoadFromFile(name);
    EXPECT_EQ(c.Width(), 6);
    EXPECT_EQ(c.GetPixel(5, 3), clPurple);
    EXPECT_THROW(c.LoadFromFile((Dir / "missing.bmp").string()), EFOpenError);
}

TEST_F(BitmapFiles, AFailedSaveLeavesTheOldFile)
{
    const std::string name = (Dir / "keep.bmp").string();
    {
        std::ofstream(name) << "old contents";
    }
    TBitmap empty;
    EXPECT_THROW(empty.SaveToFile(name), EInvalidGraphic);
    std::ifstream in(name);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "old contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir), std::filesystem::directory_iterator()), 1);
}

} // namespace
