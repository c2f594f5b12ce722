// The position stack, colour helpers and bitmap helpers. The fast helpers are checked against
// small literal versions (kept here) on random pictures, masks and rectangles.
#include "EffectsTestSupport.h"

#include "image/BitmapUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

using namespace effects_test;

namespace {

template <typename E, typename F> std::string MessageOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.Message;
    }
    return "(nothing raised)";
}

// ---- Literal versions: one candidate or one box at a time, pixels through GetPixel -------------

bool LiteralFindUnused(const TBitmap& B, const TBool2DArray* Mask, int X0, int Y0, int X1, int Y1, TColor& Colour)
{
    for (TColor c = 0; c <= 0xFFFFFF; ++c) {
        bool used = false;
        for (int y = Y0; y < Y1 && !used; ++y)
            for (int x = X0; x < X1 && !used; ++x)
                if ((!Mask || !Mask->GetItem(x, y)) && B.GetPixel(x, y) == c)
                    used = true;
        if (!used) {
            Colour = c;
            return true;
        }
    }
    return false;
}

void LiteralTables(int Src, int Dst, std::vector<int>& Start, std::vector<int>& End)
{
    Start.assign(Dst, 0);
    End.assign(Dst, 0);
    for (int i = 0; i < Dst; ++i) {
        End[i] = int(double(i + 1) * Src / Dst) - 1;
        if (End[i] < Start[i])
            End[i] = Start[i];
        if (i + 1 < Dst)
            Start[i + 1] = End[i] + 1;
    }
    End[Dst - 1] = Src - 1;
}

// Shrinking only: the literal tables run past the source when enlarging.
void LiteralSmoothResize(const TBitmap& S, TBitmap& D, int W, int H, const TBool2DArray* Mask, TColor Empty,
                         TBool2DArray* DestMask)
{
    D.SetSize(W, H);
    if (DestMask) {
        DestMask->SetSize(W, H);
        DestMask->Fill(false);
    }
    std::vector<int> xs, xe, ys, ye;
    LiteralTables(S.Width(), W, xs, xe);
    LiteralTables(S.Height(), H, ys, ye);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            long r = 0, g = 0, b = 0, n = 0;
            for (int sy = ys[y]; sy <= ye[y]; ++sy)
                for (int sx = xs[x]; sx <= xe[x]; ++sx) {
                    if (Mask && Mask->GetItem(sx, sy))
                        continue;
                    const TColor c = S.GetPixel(sx, sy);
                    r += RedOf(c), g += GreenOf(c), b += BlueOf(c), ++n;
                }
            if (n == 0 && Mask) {
                D.SetPixelColor(x, y, Empty);
                if (DestMask)
                    DestMask->SetItem(x, y, true);
                continue;
            }
            n = std::max(n, 1L);
            D.SetPixelColor(x, y, RGB(uint8_t(r / n), uint8_t(g / n), uint8_t(b / n)));
        }
}

// A picture whose colour values are small numbers, so that the lowest free one is found quickly
// by the literal search.
std::unique_ptr<TEffectsBitmap> SmallValuePicture(TRng& Rng, int W, int H, int MaxValue)
{
    auto B = MakePicture(W, H);
    std::uniform_int_distribution<int> value(0, MaxValue);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            SetPixelAt(*B, x, y, ColorToTriple(value(Rng)));
    return B;
}

} // namespace

// ---- Position stack --------------------------------------------------------------------------

TEST(PixelPosList, PushPopOrderAndPacking)
{
    TPixelPosList list;
    list.Push(3, 7);
    list.Push(65535, 0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.LastX(), 65535);
    EXPECT_EQ(list.LastY(), 0);
    EXPECT_EQ(list.GetX(0), 3);
    EXPECT_EQ(list.GetY(0), 7);
    list.DeleteLast();
    EXPECT_EQ(list.LastX(), 3);
    EXPECT_EQ(list.LastY(), 7);
    list.Push(0, 65535);
    EXPECT_EQ(list.LastX(), 0);
    EXPECT_EQ(list.LastY(), 65535);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(PixelPosList, ErrorsOnEmptyStackAndBadIndex)
{
    TPixelPosList list;
    const std::string empty = "Can not get last item - the list is empty";
    EXPECT_EQ(MessageOf<EPixelPosListException>([&] { list.LastX(); }), empty);
    EXPECT_EQ(MessageOf<EPixelPosListException>([&] { list.LastY(); }), empty);
    EXPECT_EQ(MessageOf<EPixelPosListException>([&] { list.DeleteLast(); }), empty);
    list.Push(1, 2);
    for (int index : {-1, 1}) {
        EXPECT_FALSE(list.ValidIndex(index));
        EXPECT_EQ(MessageOf<EPixelPosListException>([&] { list.GetX(index); }), "Invalid Index");
        EXPECT_EQ(MessageOf<EPixelPosListException>([&] { list.GetY(index); }), "Invalid Index");
    }
    EXPECT_EQ(list.Count(), 1);
}

// ---- Colour helpers ----------------------------------------------------------------------------

TEST(ColourHelpers, TripleBytesAndTolerance)
{
    const TRGBTriple t = ColorToTriple(0x336699);
    EXPECT_EQ(t.rgbtRed, 0x99);
    EXPECT_EQ(t.rgbtGreen, 0x66);
    EXPECT_EQ(t.rgbtBlue, 0x33);
    EXPECT_TRUE(SameTriple(ColorToTriple(0x7F336699), t)); // only the low three bytes count
    EXPECT_EQ(TripleToColor(t), 0x336699);

    const TRGBTriple a = Triple(100, 100, 100);
    struct Case {
        TRGBTriple B;
        int Tolerance;
        bool Match;
    } cases[] = {
        {a, 0, true},
        {Triple(100, 100, 110), 10, true},
        {Triple(100, 100, 110), 9, false},
        {Triple(90, 100, 100), 9, false},
        {Triple(100, 111, 100), 10, false},
        {Triple(110, 90, 110), 10, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TriplesWithinTolerance(c.Tolerance, a, c.B), c.Match) << TripleText(c.B) << " at " << c.Tolerance;
}

// ---- Copies ------------------------------------------------------------------------------------

TEST(CopyBitmap, ExactPixelsFormatAndPaletteButOwnTransparency)
{
    TBitmap source(5, 3, pf8bit);
    source.Palette().assign(256, TRGBQuad{});
    for (int i = 0; i < 256; ++i)
        source.Palette()[i] = TRGBQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            source.ScanLine(y)[x] = uint8_t(y * 5 + x + 40);
    source.SetTransparent(true);

    TBitmap dest(2, 2, pf24bit);
    CopyBitmap(source, dest);
    EXPECT_EQ(dest.PixelFormat(), pf8bit);
    ASSERT_EQ(dest.Width(), 5);
    ASSERT_EQ(dest.Height(), 3);
    EXPECT_EQ(dest.Palette(), source.Palette());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(dest.ScanLine(y)[x], source.ScanLine(y)[x]);
    EXPECT_TRUE(source.Transparent());
    EXPECT_FALSE(dest.Transparent());
}

// A copy of several megabytes is split into blocks of rows: every row, padding included, arrives once.
TEST(CopyBitmap, LargeCopySplitIntoRowBlocksIsExact)
{
    TRng rng(31);
    for (const auto& [w, h] : {std::pair{1501, 1001}, std::pair{4001, 700}}) {
        TBitmap source(w, h, pf24bit);
        const size_t bytes = size_t(source.RowBytes()) * size_t(h);
        for (size_t i = 0; i < bytes; ++i)
            source.Bits()[i] = uint8_t(rng());
        TBitmap dest(3, 3, pf8bit);
        CopyBitmap(source, dest);
        ASSERT_EQ(dest.Width(), w);
        ASSERT_EQ(dest.Height(), h);
        EXPECT_EQ(dest.PixelFormat(), pf24bit);
        EXPECT_EQ(std::memcmp(dest.Bits(), source.Bits(), bytes), 0) << w << " x " << h;
    }
}

TEST(IsGraphicEmpty, NullEmptyAndNot)
{
    EXPECT_TRUE(IsGraphicEmpty(nullptr));
    TBitmap empty;
    EXPECT_TRUE(IsGraphicEmpty(&empty));
    TBitmap one(1, 1);
    EXPECT_FALSE(IsGraphicEmpty(&one));
}

// ---- Unused colours ----------------------------------------------------------------------------

TEST(FindUnusedColour, LowestFreeValueWithRedFastest)
{
    auto black = MakePicture(4, 3, clBlack);
    TColor c = -5;
    ASSERT_TRUE(FindUnusedColour(*black, nullptr, c));
    EXPECT_EQ(c, 1);

    SetPixelAt(*black, 2, 1, Triple(1, 0, 0));
    ASSERT_TRUE(FindUnusedColour(*black, nullptr, c));
    EXPECT_EQ(c, 2);

    // Every red of green 0 used: the next candidate is green 1.
    auto reds = MakePicture(256, 1);
    for (int x = 0; x < 256; ++x)
        SetPixelAt(*reds, x, 0, Triple(uint8_t(x), 0, 0));
    ASSERT_TRUE(FindUnusedColour(*reds, nullptr, c));
    EXPECT_EQ(c, 0x000100);

    // A masked pixel's colour does not count.
    TBool2DArray mask;
    mask.SetSize(256, 1);
    mask.SetItem(7, 0, true);
    ASSERT_TRUE(FindUnusedColour(*reds, &mask, c));
    EXPECT_EQ(c, 7);
}

TEST(FindUnusedColour, FailuresGiveFalse)
{
    auto picture = MakePicture(4, 4, clBlack);
    TBool2DArray small;
    small.SetSize(3, 4);
    TColor c = 123;
    EXPECT_FALSE(FindUnusedColour(*picture, &small, c));
    EXPECT_EQ(c, 123);

    // Every one of the 2^24 colours present.
    TBitmap all(4096, 4096, pf24bit);
    for (int y = 0; y < 4096; ++y)
        for (int x = 0; x < 4096; ++x)
            all.Row24(y)[x] = ColorToTriple(y * 4096 + x);
    EXPECT_FALSE(FindUnusedColour(all, nullptr, c));
    all.Row24(4095)[4095] = ColorToTriple(0);
    ASSERT_TRUE(FindUnusedColour(all, nullptr, c));
    EXPECT_EQ(c, 0xFFFFFF);
}

TEST(FindUnusedColour, OtherPixelFormatsAreSearchedAsTheirColours)
{
    TBitmap indexed(3, 1, pf8bit);
    indexed.Palette().assign(256, TRGBQuad{});
    indexed.Palette()[1] = TRGBQuad{0, 0, 1, 0}; // red 1
    indexed.ScanLine(0)[0] = 0;
    indexed.ScanLine(0)[1] = 1;
    indexed.ScanLine(0)[2] = 0;
    TColor c = -1;
    ASSERT_TRUE(FindUnusedColour(indexed, nullptr, c));
    EXPECT_EQ(c, 2);
    EXPECT_EQ(indexed.PixelFormat(), pf8bit);
}

TEST(FindUnusedColourInRect, SearchesExactlyTheRectangleRightAndBottomExclusive)
{
    // Colour values 0..19 in a 5 x 4 picture: pixel (x, y) has value y * 5 + x.
    auto p = MakePicture(5, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            SetPixelAt(*p, x, y, ColorToTriple(y * 5 + x));
    struct Case {
        TRect R;
        bool Found;
        TColor Colour;
    } cases[] = {
        {Rect(0, 0, 1, 1), true, 1},    // one pixel, value 0
        {Rect(1, 0, 2, 1), true, 0},    // one pixel, value 1
        {Rect(0, 0, 2, 1), true, 2},    // values 0, 1; column 2 not included
        {Rect(0, 0, 5, 4), true, 20},   // the whole picture
        {Rect(-9, -9, 99, 99), true, 20}, // clipped to the picture
        {Rect(2, 1, 0, 0), true, 2},    // put in order: (0, 0, 2, 1)
        {Rect(0, 0, 1, 2), true, 1},    // values 0 and 5
        {Rect(3, 3, 3, 4), false, 0},   // no column
        {Rect(5, 0, 9, 4), false, 0},   // right of the picture
        {Rect(0, -3, 5, 0), false, 0},  // above the picture
    };
    for (const Case& c : cases) {
        TColor colour = -7;
        EXPECT_EQ(FindUnusedColourInRect(*p, c.R, colour), c.Found)
            << c.R.Left << "," << c.R.Top << "," << c.R.Right << "," << c.R.Bottom;
        EXPECT_EQ(colour, c.Found ? c.Colour : -7);
    }
}

TEST(FindUnusedColour, FastEqualsLiteralOnRandomPictures)
{
    TRng rng(101);
    for (int round = 0; round < 40; ++round) {
        const int w = 1 + int(rng() % 23), h = 1 + int(rng() % 19);
        auto p = SmallValuePicture(rng, w, h, int(rng() % (w * h + 4)));
        auto mask = RandomMask(rng, w, h, (rng() % 3) * 0.3);
        const TBool2DArray* m = round % 2 ? mask.get() : nullptr;
        TColor fast = -1, literal = -2;
        ASSERT_TRUE(FindUnusedColour(*p, m, fast));
        ASSERT_TRUE(LiteralFindUnused(*p, m, 0, 0, w, h, literal));
        EXPECT_EQ(fast, literal) << "round " << round;

        std::uniform_int_distribution<int> xs(-3, w + 3), ys(-3, h + 3);
        const TRect r = Rect(xs(rng), ys(rng), xs(rng), ys(rng));
        const int x0 = std::max(0, std::min(r.Left, r.Right)), x1 = std::min(w, std::max(r.Left, r.Right));
        const int y0 = std::max(0, std::min(r.Top, r.Bottom)), y1 = std::min(h, std::max(r.Top, r.Bottom));
        const bool expected = x1 > x0 && y1 > y0 && LiteralFindUnused(*p, nullptr, x0, y0, x1, y1, literal);
        fast = -1;
        EXPECT_EQ(FindUnusedColourInRect(*p, r, fast), expected) << "round " << round;
        if (expected) {
            EXPECT_EQ(fast, literal) << "round " << round;
        }
    }
}

// ---- Area averaging ----------------------------------------------------------------------------

TEST(BuildShrinkTables, BoxesCoverTheSourceOnce)
{
    struct Case {
        int Src, Dst;
        std::vector<int> Start, End;
    } cases[] = {
        {5, 2, {0, 2}, {1, 4}},
        {4, 2, {0, 2}, {1, 3}},
        {7, 7, {0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5, 6}},
        {10, 3, {0, 3, 6}, {2, 5, 9}},
        {6000, 1, {0}, {5999}},
        {2, 5, {0, 0, 0, 1, 1}, {0, 0, 0, 1, 1}}, // enlarging: the source index under each
        {0, 2, {0, 0}, {-1, -1}},                 // no source: empty boxes
    };
    for (const Case& c : cases) {
        TIntegerArray start, end;
        BuildShrinkTables(c.Src, c.Dst, start, end);
        EXPECT_EQ(std::vector<int>(start.begin(), start.end()), c.Start) << c.Src << " -> " << c.Dst;
        EXPECT_EQ(std::vector<int>(end.begin(), end.end()), c.End) << c.Src << " -> " << c.Dst;
    }
    TRng rng(7);
    for (int round = 0; round < 200; ++round) {
        const int src = 1 + int(rng() % 500), dst = 1 + int(rng() % src);
        TIntegerArray start, end;
        BuildShrinkTables(src, dst, start, end);
        std::vector<int> ls, le;
        LiteralTables(src, dst, ls, le);
        ASSERT_EQ(std::vector<int>(start.begin(), start.end()), ls);
        ASSERT_EQ(std::vector<int>(end.begin(), end.end()), le);
    }
}

TEST(SmoothResize, AveragesBoxes)
{
    // 4 x 4 to 2 x 2: 2 x 2 blocks; red holds x + 4y, green 10 * x.
    auto p = MakePicture(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            SetPixelAt(*p, x, y, Triple(uint8_t(x + 4 * y), uint8_t(10 * x), 200));
    TBitmap d;
    SmoothResize(*p, d, 2, 2);
    ASSERT_EQ(d.Width(), 2);
    EXPECT_EQ(d.PixelFormat(), pf24bit);
    EXPECT_EQ(PixelAt(d, 0, 0), Triple((0 + 1 + 4 + 5) / 4, 5, 200));
    EXPECT_EQ(PixelAt(d, 1, 1), Triple((10 + 11 + 14 + 15) / 4, 25, 200));

    // 5 x 5 to 2 x 2: boxes 0..1 and 2..4 on each axis.
    auto q = MakePicture(5, 5, clBlack);
    for (int y = 2; y < 5; ++y)
        for (int x = 2; x < 5; ++x)
            SetPixelAt(*q, x, y, Triple(90, 0, 0));
    SetPixelAt(*q, 1, 1, Triple(0, 100, 0));
    SmoothResize(*q, d, 2, 2);
    EXPECT_EQ(PixelAt(d, 0, 0), Triple(0, 25, 0));
    EXPECT_EQ(PixelAt(d, 1, 1), Triple(90, 0, 0));
    EXPECT_EQ(PixelAt(d, 1, 0), Triple(0, 0, 0));
}

TEST(SmoothResize, SameSizeCopiesAndEnlargingRepeatsPixels)
{
    TBitmap indexed(3, 2, pf8bit);
    TBitmap d;
    SmoothResize(indexed, d, 3, 2);
    EXPECT_EQ(d.PixelFormat(), pf8bit);

    auto p = MakePicture(2, 2);
    SetPixelAt(*p, 0, 0, Triple(1, 2, 3));
    SetPixelAt(*p, 1, 0, Triple(4, 5, 6));
    SetPixelAt(*p, 0, 1, Triple(7, 8, 9));
    SetPixelAt(*p, 1, 1, Triple(10, 11, 12));
    SmoothResize(*p, d, 4, 3);
    ASSERT_EQ(d.Width(), 4);
    ASSERT_EQ(d.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(PixelAt(d, x, y), PixelAt(*p, x * 2 / 4, y * 2 / 3)) << x << "," << y;
}

TEST(SmoothResize, FastEqualsLiteralAndInPlaceMatches)
{
    TRng rng(55);
    for (int round = 0; round < 30; ++round) {
        const int w = 1 + int(rng() % 60), h = 1 + int(rng() % 40);
        const int dw = 1 + int(rng() % w), dh = 1 + int(rng() % h);
        auto p = RandomPicture(rng, w, h);
        TBitmap fast, literal(1, 1);
        SmoothResize(*p, fast, dw, dh);
        LiteralSmoothResize(*p, literal, dw, dh, nullptr, 0, nullptr);
        ASSERT_TRUE(SamePixels(fast, literal)) << w << "x" << h << " -> " << dw << "x" << dh;
        SmoothResizeBitmap(*p, dw, dh);
        ASSERT_TRUE(SamePixels(*p, literal));
    }
}

TEST(SmoothResizeMasked, MaskedBoxesGiveEmptyColour)
{
    // Left half masked, shrunk to a quarter: boxes wholly in the left half are empty.
    TRng rng(3);
    auto p = RandomPicture(rng, 8, 8);
    TBool2DArray mask;
    mask.SetSize(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x)
            mask.SetItem(x, y, true);
    TBitmap d;
    TBool2DArray destMask;
    SmoothResizeMasked(*p, d, 2, 2, mask, clRed, &destMask);
    ASSERT_EQ(destMask.Width, 2);
    ASSERT_EQ(destMask.Height, 2);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(PixelAt(d, 0, y), ColorToTriple(clRed));
        EXPECT_TRUE(destMask.GetItem(0, y));
        EXPECT_FALSE(destMask.GetItem(1, y));
    }
    // A box half masked averages only its unmasked pixels.
    SmoothResizeMasked(*p, d, 1, 1, mask, clRed, nullptr);
    TBitmap right;
    auto half = MakePicture(4, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x)
            SetPixelAt(*half, x, y, PixelAt(*p, x + 4, y));
    SmoothResize(*half, right, 1, 1);
    EXPECT_EQ(PixelAt(d, 0, 0), PixelAt(right, 0, 0));
}

TEST(SmoothResizeMasked, SameSizeCopiesPictureAndMask)
{
    TRng rng(4);
    auto p = RandomPicture(rng, 6, 5);
    auto mask = RandomMask(rng, 6, 5, 0.5);
    TBitmap d;
    TBool2DArray destMask;
    destMask.SetSize(2, 2);
    SmoothResizeMasked(*p, d, 6, 5, *mask, clRed, &destMask);
    EXPECT_TRUE(SamePixels(d, *p));
    ASSERT_EQ(destMask.Width, 6);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(destMask.GetItem(x, y), mask->GetItem(x, y));
}

TEST(SmoothResizeMasked, FastEqualsLiteral)
{
    TRng rng(77);
    for (int round = 0; round < 30; ++round) {
        const int w = 1 + int(rng() % 40), h = 1 + int(rng() % 40);
        const int dw = 1 + int(rng() % w), dh = 1 + int(rng() % h);
        if (dw == w && dh == h)
            continue;
        auto p = RandomPicture(rng, w, h);
        auto mask = RandomMask(rng, w, h, 0.2 + 0.2 * (round % 4));
        TBitmap fast, literal(1, 1);
        TBool2DArray fastMask, literalMask;
        SmoothResizeMasked(*p, fast, dw, dh, *mask, 0x123456, &fastMask);
        LiteralSmoothResize(*p, literal, dw, dh, mask.get(), 0x123456, &literalMask);
        ASSERT_TRUE(SamePixels(fast, literal)) << "round " << round;
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x)
                ASSERT_EQ(fastMask.GetItem(x, y), literalMask.GetItem(x, y));
    }
}

// ---- Drawing through masks ---------------------------------------------------------------------

TEST(DrawMaskedBitmap, ShiftsClipsAndSkipsMaskedPixels)
{
    EXPECT_EQ(MessageOf<Exception>([] { DrawMaskedBitmap(nullptr, nullptr, 0, 0, nullptr); }),
              "DrawMaskedBitmap Error - Invalid bitmap/s");

    TRng rng(9);
    for (int round = 0; round < 40; ++round) {
        const int sw = 1 + int(rng() % 12), sh = 1 + int(rng() % 12), dw = 1 + int(rng() % 12), dh = 1 + int(rng() % 12);
        auto src = RandomPicture(rng, sw, sh);
        auto dst = RandomPicture(rng, dw, dh);
        auto mask = RandomMask(rng, sw, sh, 0.4);
        const TBool2DArray* m = round % 3 ? mask.get() : nullptr;
        const int dx = int(rng() % 25) - 12, dy = int(rng() % 25) - 12;
        auto expected = ClonePicture(*dst);
        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x)
                if (x + dx >= 0 && x + dx < dw && y + dy >= 0 && y + dy < dh && !(m && m->GetItem(x, y)))
                    SetPixelAt(*expected, x + dx, y + dy, PixelAt(*src, x, y));
        DrawMaskedBitmap(src.get(), dst.get(), dx, dy, m);
        ASSERT_TRUE(SamePixels(*dst, *expected)) << "shift " << dx << "," << dy;
    }

    // DX = -3 skips the first three source columns and writes from column 0.
    auto src = MakePicture(5, 1, clRed);
    SetPixelAt(*src, 3, 0, Triple(1, 2, 3));
    auto dst = MakePicture(5, 1, clBlack);
    DrawMaskedBitmap(src.get(), dst.get(), -3, 0, nullptr);
    EXPECT_EQ(PixelAt(*dst, 0, 0), Triple(1, 2, 3));
    EXPECT_EQ(PixelAt(*dst, 1, 0), ColorToTriple(clRed));
    EXPECT_EQ(PixelAt(*dst, 2, 0), ColorToTriple(clBlack));
}

// The masked draw copies runs of unmasked pixels, finding them sixteen mask items at a time, on
// several threads for large pictures: every width around the block size, runs that start and end at
// the row's edges and at every offset within a block, and a picture large enough to be split.
TEST(DrawMaskedBitmap, RunsOfUnmaskedPixelsMatchThePixelByPixelDraw)
{
    enum TPattern { pNone, pAll, pEdges, pFirstOnly, pLastOnly, pRuns, pSparse };
    TRng rng(77);
    auto fill = [&](TBool2DArray& mask, TPattern pattern) {
        const int w = mask.Width;
        for (int y = 0; y < mask.Height; ++y) {
            int run = 0;
            bool value = y % 2 == 0;
            for (int x = 0; x < w; ++x) {
                bool item = false;
                switch (pattern) {
                case pNone: item = false; break;
                case pAll: item = true; break;
                case pEdges: item = x == 0 || x == w - 1; break;
                case pFirstOnly: item = x != 0; break;
                case pLastOnly: item = x != w - 1; break;
                case pRuns:
                    // Runs of 1 to 40 items, so that they end before, on and after block borders.
                    if (run-- <= 0) {
                        value = !value;
                        run = int(rng() % 40);
                    }
                    item = value;
                    break;
                case pSparse: item = rng() % 23 == 0; break;
                }
                mask.SetItem(x, y, item);
            }
        }
    };
    struct Case {
        int SW, SH, DX, DY;
    };
    std::vector<Case> cases;
    for (int w = 1; w <= 17; ++w)
        cases.push_back({w, 3 + w % 4, 0, 0});
    cases.insert(cases.end(), {{31, 5, 2, 1}, {33, 7, -5, -2}, {47, 9, -17, 3}, {64, 3, 3, -1}, {701, 301, -3, 2}});
    for (const Case& c : cases) {
        for (TPattern pattern : {pNone, pAll, pEdges, pFirstOnly, pLastOnly, pRuns, pSparse}) {
            SCOPED_TRACE(std::to_string(c.SW) + " x " + std::to_string(c.SH) + " at " + std::to_string(c.DX) + "," +
                         std::to_string(c.DY) + ", pattern " + std::to_string(int(pattern)));
            auto src = RandomPicture(rng, c.SW, c.SH);
            auto dst = RandomPicture(rng, c.SW + 2, c.SH + 1);
            TBool2DArray mask;
            mask.SetSize(c.SW, c.SH);
            fill(mask, pattern);
            auto expected = ClonePicture(*dst);
            for (int y = 0; y < c.SH; ++y)
                for (int x = 0; x < c.SW; ++x)
                    if (x + c.DX >= 0 && x + c.DX < dst->Width() && y + c.DY >= 0 && y + c.DY < dst->Height() &&
                        !mask.GetItem(x, y))
                        SetPixelAt(*expected, x + c.DX, y + c.DY, PixelAt(*src, x, y));
            DrawMaskedBitmap(src.get(), dst.get(), c.DX, c.DY, &mask);
            ASSERT_TRUE(SamePixels(*dst, *expected));
        }
    }
}

TEST(ReplaceBitmapColour, ToleranceDecidesWhichPixelsChange)
{
    struct Case {
        int Tolerance;
        std::vector<bool> Changed;
    } cases[] = {{0, {true, false, false, false}}, {10, {true, true, false, true}}, {255, {true, true, true, true}}};
    const TRGBTriple pixels[] = {Triple(50, 60, 70), Triple(60, 60, 70), Triple(50, 71, 70), Triple(40, 50, 80)};
    for (const Case& c : cases) {
        auto p = MakePicture(4, 1);
        for (int x = 0; x < 4; ++x)
            SetPixelAt(*p, x, 0, pixels[x]);
        ReplaceBitmapColour(*p, RGB(50, 60, 70), clWhite, c.Tolerance);
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(PixelAt(*p, x, 0) == ColorToTriple(clWhite), c.Changed[x]) << "tolerance " << c.Tolerance << " x " << x;
    }
}

TEST(FillMaskedArea, PaintsMaskedPixelsOnly)
{
    TRng rng(12);
    auto p = RandomPicture(rng, 7, 6);
    auto before = ClonePicture(*p);
    auto mask = RandomMask(rng, 7, 6, 0.5);
    FillMaskedArea(p.get(), mask.get(), clLime);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(PixelAt(*p, x, y), mask->GetItem(x, y) ? ColorToTriple(clLime) : PixelAt(*before, x, y));

    FillMaskedArea(nullptr, mask.get(), clRed);
    FillMaskedArea(p.get(), nullptr, clRed);
    auto kept = ClonePicture(*p);
    TBool2DArray small;
    small.SetSize(7, 5);
    small.Fill(true);
    EXPECT_THROW(FillMaskedArea(p.get(), &small, clRed), EBool2DArrayError);
    EXPECT_TRUE(SamePixels(*p, *kept));
}
