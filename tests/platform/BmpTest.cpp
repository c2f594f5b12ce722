// BMP reading against ImageMagick's decoding of the same files, writing, and damaged files.
#include "platform/Graphics.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t Get32(const Bytes& b, size_t at) { return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24); }
void Set32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}
void Set16(Bytes& b, size_t at, uint32_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

// A binary PPM (maxval 255) as colours, row by row from the top.
struct TPpm {
    int W = 0, H = 0;
    std::vector<TColor> Pixels;
};
TPpm ReadPpm(const std::string& path)
{
    const Bytes b = ReadAll(path);
    TPpm p;
    int maxval = 0, consumed = 0;
    if (std::sscanf(reinterpret_cast<const char*>(b.data()), "P6 %d %d %d%n", &p.W, &p.H, &maxval, &consumed) != 3 || maxval != 255)
        return p;
    const uint8_t* px = b.data() + consumed + 1;
    for (int i = 0; i < p.W * p.H; ++i, px += 3)
        p.Pixels.push_back(RGB(px[0], px[1], px[2]));
    return p;
}

void LoadBytes(const Bytes& bytes, TBitmap& b)
{
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    s.SetPosition(0);
    b.LoadFromStream(s);
}

Bytes SaveBytes(TBitmap& b)
{
    TMemoryStream s;
    b.SaveToStream(s);
    return Bytes(s.Memory(), s.Memory() + s.Size());
}

void ExpectPixels(const TBitmap& b, const TPpm& expected)
{
    ASSERT_EQ(b.Width(), expected.W);
    ASSERT_EQ(b.Height(), expected.H);
    int wrong = 0;
    for (int y = 0; y < expected.H; ++y)
        for (int x = 0; x < expected.W; ++x)
            if (b.GetPixel(x, y) != expected.Pixels[size_t(y * expected.W + x)] && ++wrong <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << b.GetPixel(x, y) << " expected "
                              << expected.Pixels[size_t(y * expected.W + x)];
    EXPECT_EQ(wrong, 0);
}

std::string Fixture(const std::string& name) { return FixturePath("platform/fixtures/bmp/" + name); }

// A BMP with a 40-byte header around the given palette and pixel data.
Bytes MakeBmp(int32_t W, int32_t H, int Bpp, uint32_t Compression, const std::vector<TRGBQuad>& Palette, const Bytes& Data)
{
    Bytes b(54);
    b[0] = 'B';
    b[1] = 'M';
    Set32(b, 14, 40);
    Set32(b, 18, uint32_t(W));
    Set32(b, 22, uint32_t(H));
    Set16(b, 26, 1);
    Set16(b, 28, uint32_t(Bpp));
    Set32(b, 30, Compression);
    Set32(b, 34, uint32_t(Data.size()));
    Set32(b, 46, uint32_t(Palette.size()));
    for (const TRGBQuad& q : Palette)
        b.insert(b.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
    Set32(b, 10, uint32_t(b.size()));
    b.insert(b.end(), Data.begin(), Data.end());
    Set32(b, 2, uint32_t(b.size()));
    return b;
}

// ---- ImageMagick's files ---------------------------------------------------------------------------

struct FixtureCase {
    const char* Name;
    TPixelFormat Format;
    int RedBits = 8, GreenBits = 8, BlueBits = 8;
};

// ImageMagick widens a narrow channel by repeating its bits (5-bit 3 -> 24); we round
// (3 * 255 / 31 = 24.68 -> 25). Its top bits are the file's value, scaled here as we scale it.
TPpm RoundedChannels(TPpm p, int RedBits, int GreenBits, int BlueBits)
{
    const auto scale = [](uint8_t c, int bits) {
        const unsigned max = (1u << bits) - 1;
        return uint8_t(((c >> (8 - bits)) * 255 + max / 2) / max);
    };
    for (TColor& c : p.Pixels)
        c = RGB(scale(GetRValue(c), RedBits), scale(GetGValue(c), GreenBits), scale(GetBValue(c), BlueBits));
    return p;
}

TEST(BmpRead, EveryVariantGivesImageMagicksPixels)
{
    const FixtureCase cases[] = {
        {"core24", pf24bit}, {"core8", pf8bit},     {"info24", pf24bit}, {"v5_24", pf24bit},
        {"pal8", pf8bit},    {"pal4", pf4bit},      {"pal1", pf1bit},    {"rle8", pf8bit},
        {"rle4", pf4bit},    {"rgb565", pf24bit, 5, 6, 5},   {"rgb555", pf24bit, 5, 5, 5}, {"argb8888", pf32bit},
        {"bgra32", pf32bit},
    };
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TPpm expected = RoundedChannels(ReadPpm(Fixture(std::string(c.Name) + ".ppm")), c.RedBits, c.GreenBits, c.BlueBits);
        ASSERT_EQ(expected.W, 13);
        TBitmap b;
        b.LoadFromFile(Fixture(std::string(c.Name) + ".bmp"));
        EXPECT_EQ(b.PixelFormat(), c.Format);
        ExpectPixels(b, expected);
    }
}

// The same file stored top-down (negative height, rows from the top).
Bytes TopDown(const Bytes& file)
{
    Bytes out = file;
    const int32_t W = int32_t(Get32(file, 18)), H = int32_t(Get32(file, 22));
    const int bpp = file[28];
    const uint32_t off = Get32(file, 10);
    const size_t stride = ((size_t(W) * bpp + 31) / 32) * 4;
    for (int32_t r = 0; r < H; ++r)
        std::copy_n(file.begin() + off + r * stride, stride, out.begin() + off + (H - 1 - r) * stride);
    Set32(out, 22, uint32_t(-H));
    return out;
}

TEST(BmpRead, TopDownRowsReadTheSame)
{
    for (const char* name : {"info24", "pal8", "pal1"}) {
        SCOPED_TRACE(name);
        TBitmap b;
        LoadBytes(TopDown(ReadAll(Fixture(std::string(name) + ".bmp"))), b);
        ExpectPixels(b, ReadPpm(Fixture(std::string(name) + ".ppm")));
    }
}

TEST(BmpRead, PixelOffsetAndShortPalettesAreHonoured)
{
    // A gap between colour table and pixels: bfOffBits says where the pixels start.
    Bytes gap = ReadAll(Fixture("pal8.bmp"));
    const uint32_t off = Get32(gap, 10);
    gap.insert(gap.begin() + off, 37, 0xEE);
    Set32(gap, 10, off + 37);
    TBitmap b;
    LoadBytes(gap, b);
    ExpectPixels(b, ReadPpm(Fixture("pal8.ppm")));

    // Twelve colour-table entries where sixteen could be.
    Bytes shortPal = ReadAll(Fixture("pal4.bmp"));
    shortPal.erase(shortPal.begin() + 54 + 12 * 4, shortPal.begin() + 54 + 16 * 4);
    Set32(shortPal, 46, 12);
    Set32(shortPal, 10, 54 + 12 * 4);
    LoadBytes(shortPal, b);
    ExpectPixels(b, ReadPpm(Fixture("pal4.ppm")));
    EXPECT_EQ(b.Palette().size(), 16u);

    // A colour table cut short by bfOffBits.
    const std::vector<TRGBQuad> two{{0, 0, 255, 0}, {255, 0, 0, 0}};
    Bytes cut = MakeBmp(2, 1, 8, 0, two, {1, 0, 0, 0});
    Set32(cut, 46, 0); // claims 256 entries
    LoadBytes(cut, b);
    EXPECT_EQ(b.GetPixel(0, 0), clBlue);
    EXPECT_EQ(b.GetPixel(1, 0), clRed);
}

TEST(BmpRead, StartsAtTheStreamPositionAndStopsAfterThePixels)
{
    const Bytes file = ReadAll(Fixture("info24.bmp"));
    TMemoryStream s;
    s.WriteBuffer("junk!", 5);
    s.WriteBuffer(file.data(), int64_t(file.size()));
    s.WriteBuffer("TAIL", 4);
    s.SetPosition(5);
    TBitmap b;
    b.LoadFromStream(s);
    ExpectPixels(b, ReadPpm(Fixture("info24.ppm")));
    EXPECT_EQ(s.Position(), 5 + int64_t(file.size()));
    char tail[4];
    s.ReadBuffer(tail, 4);
    EXPECT_EQ(std::string(tail, 4), "TAIL");
}

TEST(BmpRead, MissingPaddingOfTheLastRowIsAccepted)
{
    Bytes file = ReadAll(Fixture("info24.bmp")); // 13 pixels: 39 bytes and 1 of padding per row
    file.pop_back();
    TBitmap b;
    LoadBytes(file, b);
    ExpectPixels(b, ReadPpm(Fixture("info24.ppm")));
}

TEST(BmpRead, RleRunsAreClippedAtTheRowEnd)
{
    const std::vector<TRGBQuad> pal{{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}};
    // Row 0 (bottom): a run of 5 in a 2-pixel row; row 1: an absolute run of 3 (odd, padded).
    TBitmap b;
    LoadBytes(MakeBmp(2, 2, 8, 1, pal, {5, 1, 0, 0, 0, 3, 2, 2, 2, 0, 0, 1}), b);
    EXPECT_EQ(b.GetPixel(0, 1), clRed);
    EXPECT_EQ(b.GetPixel(1, 1), clRed);
    EXPECT_EQ(b.GetPixel(0, 0), clLime);
    EXPECT_EQ(b.GetPixel(1, 0), clLime);
    // A delta skips pixels, which keep index 0: to (1, 1) counted from the bottom left.
    LoadBytes(MakeBmp(3, 2, 8, 1, pal, {0, 2, 1, 1, 1, 2, 0, 1}), b);
    EXPECT_EQ(b.GetPixel(1, 0), clLime);
    for (TPoint p : {Point(0, 0), Point(2, 0), Point(0, 1), Point(1, 1), Point(2, 1)})
        EXPECT_EQ(b.GetPixel(p.X, p.Y), clBlack) << p.X << ", " << p.Y;
}

// A one-row bit-field picture: the header of HeaderSize bytes (40: masks after it, 108 or 124: masks
// inside it), or BI_RGB when Masks is empty (16 bits: 5-5-5).
Bytes MakeFieldBmp(int HeaderSize, int Bpp, const std::vector<uint32_t>& Masks, const std::vector<uint32_t>& Pixels)
{
    const bool fields = !Masks.empty();
    Bytes b(size_t(14 + HeaderSize), 0);
    b[0] = 'B';
    b[1] = 'M';
    Set32(b, 14, uint32_t(HeaderSize));
    Set32(b, 18, uint32_t(Pixels.size()));
    Set32(b, 22, 1);
    Set16(b, 26, 1);
    Set16(b, 28, uint32_t(Bpp));
    Set32(b, 30, fields ? 3 : 0);
    if (fields) {
        if (HeaderSize == 40)
            b.resize(b.size() + 12);
        for (size_t i = 0; i < 3; ++i)
            Set32(b, 54 + 4 * i, Masks[i]);
    }
    Set32(b, 10, uint32_t(b.size()));
    for (uint32_t v : Pixels)
        for (int i = 0; i < Bpp / 8; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
    while ((b.size() - Get32(b, 10)) % 4)
        b.push_back(0);
    Set32(b, 2, uint32_t(b.size()));
    return b;
}

TEST(BmpRead, ChannelsOfOtherThanEightBitsAreScaledWithRounding)
{
    // Channel: which of red, green, blue the measured mask is; the other masks hold zeros.
    const struct {
        const char* Name;
        int HeaderSize, Bpp;
        std::vector<uint32_t> Masks; // red, green, blue; empty: BI_RGB
        int Channel;
    } cases[] = {
        {"5-bit red, 16-bit BI_RGB", 40, 16, {}, 0},
        {"5-bit blue, 5-6-5 fields after the header", 40, 16, {0xF800, 0x07E0, 0x001F}, 2},
        {"6-bit green, 5-6-5 fields in a V4 header", 108, 16, {0xF800, 0x07E0, 0x001F}, 1},
        {"10-bit red, 10-10-10 fields", 40, 32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0},
        {"11-bit green, 11-11-10 fields in a V5 header", 124, 32, {0xFFE00000, 0x001FFC00, 0x000003FF}, 1},
        {"11-bit blue, 16-bit fields", 40, 16, {0xF800, 0, 0x07FF}, 2},
        {"18-bit blue", 40, 32, {0xFFFC0000, 0, 0x0003FFFF}, 2},
        {"32-bit red", 40, 32, {0xFFFFFFFF, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const uint32_t mask = c.Masks.empty() ? 0x7C00 : c.Masks[size_t(c.Channel)];
        const int shift = std::countr_zero(mask), bits = std::popcount(mask);
        const uint64_t max = (uint64_t(1) << bits) - 1;
        const uint64_t values[] = {0, 1, (max + 1) / 2, max};
        std::vector<uint32_t> pixels;
        for (uint64_t v : values)
            pixels.push_back(uint32_t(v << shift));
        TBitmap b;
        LoadBytes(MakeFieldBmp(c.HeaderSize, c.Bpp, c.Masks, pixels), b);
        ASSERT_EQ(b.Width(), 4);
        for (int x = 0; x < 4; ++x) {
            const TColor px = b.GetPixel(x, 0);
            const uint8_t got[3] = {GetRValue(px), GetGValue(px), GetBValue(px)};
            const uint64_t expected = (values[x] * 255 + max / 2) / max;
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_EQ(got[ch], ch == c.Channel ? expected : 0) << "value " << values[x] << ", channel " << ch;
        }
    }
    // The case that bit repetition got wrong: 5-bit 3 is 24.68, so 25.
    TBitmap b;
    LoadBytes(MakeFieldBmp(40, 16, {}, {3u << 10}), b);
    EXPECT_EQ(GetRValue(b.GetPixel(0, 0)), 25);
}

TEST(BmpRead, EveryChannelWidthRoundsToTheNearestLevel)
{
    // Red of every width from 1 to 32 bits at the top of a 32-bit pixel, blue in the bits below
    // it; the nearest of the 256 levels is never a tie, as max is odd.
    for (int bits = 1; bits <= 32; ++bits) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        const uint64_t max = (uint64_t(1) << bits) - 1;
        const int shift = 32 - bits;
        const uint32_t red = uint32_t(max << shift), blue = bits == 32 ? 0 : uint32_t((uint64_t(1) << shift) - 1);
        std::vector<uint64_t> values{0, 1, max / 3, max / 2, (max + 1) / 2, max - 1, max};
        for (uint64_t level = 1; level < 255; level += 23) // just above and below the midpoint of two levels
            for (uint64_t v : {(2 * level - 1) * max / 510, (2 * level - 1) * max / 510 + 1})
                values.push_back(std::min(v, max));
        std::vector<uint32_t> pixels;
        for (uint64_t v : values)
            pixels.push_back(uint32_t(v << shift) | (blue & 0x5A5A5A5A));
        TBitmap b;
        LoadBytes(MakeFieldBmp(40, 32, {red, 0, blue}, pixels), b);
        ASSERT_EQ(b.Width(), int(values.size()));
        for (size_t i = 0; i < values.size(); ++i) {
            const long expected = std::lround(double(values[i]) * 255.0 / double(max));
            EXPECT_EQ(GetRValue(b.GetPixel(int(i), 0)), expected) << "value " << values[i] << " of " << max;
        }
    }
}

// ---- Writing ---------------------------------------------------------------------------------------

void RandomBitmap(TBitmap& b, TPixelFormat pf, unsigned seed)
{
    b.SetPixelFormat(pf);
    b.SetSize(13, 5);
    std::mt19937 rng(seed);
    if (pf == pf8bit)
        for (auto& q : b.Palette())
            q = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x)
            b.SetPixelColor(x, y, TColor(rng() & 0xFFFFFF));
}

TEST(BmpWrite, EveryFormatReadsBackTheSame)
{
    const struct {
        TPixelFormat Written, Read;
        int Bits;
    } cases[] = {{pf1bit, pf1bit, 1},   {pf4bit, pf4bit, 4},   {pf8bit, pf8bit, 8},   {pf15bit, pf24bit, 16},
                 {pf16bit, pf24bit, 16}, {pf24bit, pf24bit, 24}, {pf32bit, pf32bit, 32}};
    for (const auto& c : cases) {
        SCOPED_TRACE(BitsPerPixel(c.Written));
        TBitmap b;
        RandomBitmap(b, c.Written, 7);
        const Bytes file = SaveBytes(b);
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(Get32(file, 2), file.size());
        EXPECT_EQ(Get32(file, 14), 40u);
        EXPECT_EQ(int32_t(Get32(file, 22)), 5); // bottom-up
        EXPECT_EQ(file[28], c.Bits);
        EXPECT_EQ(Get32(file, 10) + 5 * uint32_t(b.RowBytes()), file.size());
        TBitmap r;
        LoadBytes(file, r);
        EXPECT_EQ(r.PixelFormat(), c.Read);
        if (c.Written == c.Read) {
            EXPECT_EQ(r.Palette(), b.Palette());
        }
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(r.GetPixel(x, y), b.GetPixel(x, y)) << x << ", " << y;
    }
}

TEST(BmpWrite, PaddingIsWrittenAsZeros)
{
    // Rows ending in part of a byte, and whole-byte rows written from the bitmap's own rows.
    const struct {
        TPixelFormat Format;
        int Width;
        Bytes Row;
    } cases[] = {
        {pf4bit, 3, {0xFF, 0xF0, 0, 0}},
        {pf24bit, 1, {0xFF, 0xFF, 0xFF, 0}},
        {pf24bit, 2, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}},
        {pf16bit, 1, {0xFF, 0xFF, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(BitsPerPixel(c.Format));
        TBitmap b(c.Width, 3, c.Format);
        for (int y = 0; y < 3; ++y)
            std::memset(b.ScanLine(y), 0xFF, size_t(b.RowBytes()));
        const Bytes file = SaveBytes(b);
        const size_t off = Get32(file, 10);
        ASSERT_EQ(file.size(), off + 3 * c.Row.size());
        for (int y = 0; y < 3; ++y)
            EXPECT_EQ(Bytes(file.begin() + long(off + y * c.Row.size()), file.begin() + long(off + (y + 1) * c.Row.size())), c.Row);
    }
}

TEST(BmpWrite, AnEmptyBitmapIsNotWritten)
{
    TBitmap empty;
    TMemoryStream s;
    EXPECT_THROW(empty.SaveToStream(s), EInvalidGraphic);
    EXPECT_EQ(s.Size(), 0);
}

TEST(BmpWrite, ImageMagickReadsOurFilesWithTheSamePixels)
{
    if (std::system("command -v convert > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bmp-write-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        SCOPED_TRACE(BitsPerPixel(pf));
        TBitmap b;
        RandomBitmap(b, pf, 11);
        const std::string bmp = (dir / "out.bmp").string(), ppm = (dir / "out.ppm").string();
        b.SaveToFile(bmp);
        ASSERT_EQ(std::system(("convert " + bmp + " -depth 8 ppm:" + ppm + " 2>/dev/null").c_str()), 0);
        const int greenBits = pf == pf15bit ? 5 : pf == pf16bit ? 6 : 8, otherBits = greenBits == 8 ? 8 : 5;
        ExpectPixels(b, RoundedChannels(ReadPpm(ppm), otherBits, greenBits, otherBits));
    }
    std::filesystem::remove_all(dir);
}

// ---- Damaged files ---------------------------------------------------------------------------------

struct DamageCase {
    const char* Name;
    const char* Base;
    std::function<void(Bytes&)> Damage;
};

Bytes Rle8(const Bytes& data) { return MakeBmp(4, 3, 8, 1, {{0, 0, 0, 0}, {255, 255, 255, 0}}, data); }

TEST(BmpDamage, DamagedFilesRaiseAndKeepTheOldPicture)
{
    auto cut = [](size_t n) { return [n](Bytes& b) { b.resize(std::min(n, b.size())); }; };
    auto cutBy = [](size_t n) { return [n](Bytes& b) { b.resize(b.size() - n); }; };
    auto put32 = [](size_t at, uint32_t v) { return [at, v](Bytes& b) { Set32(b, at, v); }; };
    auto put16 = [](size_t at, uint32_t v) { return [at, v](Bytes& b) { Set16(b, at, v); }; };
    auto replace = [](Bytes with) { return [with](Bytes& b) { b = with; }; };
    const DamageCase cases[] = {
        {"empty", "info24", cut(0)},
        {"one byte", "info24", cut(1)},
        {"file header cut", "info24", cut(13)},
        {"no info header", "info24", cut(14)},
        {"info header cut", "info24", cut(30)},
        {"no pixels", "info24", cut(54)},
        {"last pixel missing", "info24", cutBy(2)},
        {"palette cut", "pal8", cut(54 + 100)},
        {"core header cut", "core24", cut(20)},
        {"not BM", "info24", [](Bytes& b) { b[0] = 'X'; }},
        {"width 70000", "info24", put32(18, 70000)},
        {"height 70000", "info24", put32(22, 70000)},
        {"20000 x 20000", "info24", [](Bytes& b) { Set32(b, 18, 20000); Set32(b, 22, 20000); }},
        {"width 0", "info24", put32(18, 0)},
        {"height 0", "info24", put32(22, 0)},
        {"width -5", "info24", put32(18, uint32_t(-5))},
        {"height INT_MIN", "info24", put32(22, uint32_t(INT_MIN))},
        {"core width 0", "core24", put16(18, 0)},
        {"bits 7", "info24", put16(28, 7)},
        {"bits 0", "info24", put16(28, 0)},
        {"bits 64", "info24", put16(28, 64)},
        {"compression 9", "info24", put32(30, 9)},
        {"RLE8 at 24 bits", "info24", put32(30, 1)},
        {"bit fields at 24 bits", "info24", put32(30, 3)},
        {"RLE4 at 8 bits", "rle8", put32(30, 2)},
        {"JPEG inside", "info24", put32(30, 4)},
        {"palette count huge", "pal8", put32(46, 0x7FFFFFFF)},
        {"palette count 257", "pal8", put32(46, 257)},
        {"pixels past the end", "info24", put32(10, 0xFFFFFF00)},
        {"pixels inside the header", "pal8", put32(10, 20)},
        {"header size 0", "info24", put32(14, 0)},
        {"header size 13", "info24", put32(14, 13)},
        {"header size 1000", "info24", put32(14, 1000)},
        {"header size huge", "info24", put32(14, 0xFFFFFFFF)},
        {"RLE data cut", "rle8", cutBy(100)},
        {"RLE without end code", "rle8", cutBy(2)},
        {"RLE delta past the bottom", "rle8", replace(Rle8({0, 2, 0, 9, 0, 1}))},
        {"RLE delta past the right", "rle8", replace(Rle8({0, 2, 200, 0, 0, 1}))},
        {"RLE absolute run cut", "rle8", replace(Rle8({0, 40, 1, 1}))},
        {"RLE delta cut", "rle8", replace(Rle8({0, 2, 1}))},
        {"RLE huge picture, no data", "rle8",
         [](Bytes& b) { b = Rle8({0, 0}); Set32(b, 18, 16384); Set32(b, 22, 16384); }},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Bytes file = ReadAll(Fixture(std::string(c.Base) + ".bmp"));
        ASSERT_FALSE(file.empty());
        c.Damage(file);
        TBitmap b(2, 2);
        b.SetPixelColor(1, 1, clRed);
        try {
            LoadBytes(file, b);
            ADD_FAILURE() << "loaded " << b.Width() << " x " << b.Height();
        } catch (const EInvalidGraphic&) {
        } catch (const EReadError&) {
        }
        EXPECT_EQ(b.Width(), 2);
        EXPECT_EQ(b.Height(), 2);
        EXPECT_EQ(b.GetPixel(1, 1), clRed);
    }
}

TEST(BmpDamage, RandomlyDamagedFilesLoadOrRaise)
{
    std::mt19937 rng(2024);
    for (const char* name : {"core24", "core8", "info24", "v5_24", "pal8", "pal4", "pal1", "rle8", "rle4",
                             "rgb565", "argb8888"}) {
        SCOPED_TRACE(name);
        const Bytes original = ReadAll(Fixture(std::string(name) + ".bmp"));
        for (int i = 0; i < 300; ++i) {
            Bytes file = original;
            const int changes = 1 + int(rng() % 4);
            for (int k = 0; k < changes; ++k) {
                // Mostly the headers and the start of the data, where the sizes and codes are.
                const size_t at = rng() % 3 ? rng() % std::min<size_t>(file.size(), 70) : rng() % file.size();
                file[at] = uint8_t(rng());
            }
            if (rng() % 4 == 0)
                file.resize(rng() % file.size());
            TBitmap b;
            try {
                LoadBytes(file, b);
                EXPECT_GT(b.Width(), 0);
            } catch (const EInvalidGraphic&) {
            } catch (const EReadError&) {
            }
        }
    }
}

TEST(BmpDamage, MessagesNameTheProblem)
{
    Bytes file = ReadAll(Fixture("info24.bmp"));
    file[1] = 'N';
    TBitmap b;
    try {
        LoadBytes(file, b);
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Bitmap image is not valid");
    }
    file[1] = 'M';
    Set32(file, 18, 70000);
    try {
        LoadBytes(file, b);
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Picture of 70000 x 7 pixels is too large");
    }
}

} // namespace
