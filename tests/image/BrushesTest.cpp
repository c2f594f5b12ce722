// Brush state, the stroke walker and the four strokes. The strokes are checked against literal
// versions (kept here): every dab of the plain walk, every pixel through GetPixel and GetItem.
#include "EffectsTestSupport.h"

#include "image/EffectsBitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

using namespace effects_test;

namespace {

// Exposes the stroke walker: records the centre of every dab it places.
class TStrokeProbe : public TEffectsBitmap {
public:
    using TEffectsBitmap::TEffectsBitmap;
    std::vector<std::pair<long, long>> Centres(int X1, int Y1, int X2, int Y2)
    {
        std::vector<std::pair<long, long>> out;
        StrokeLine(X1, Y1, X2, Y2, CurrentDabShape(), [&](int64_t X, int64_t Y) { out.push_back({long(X), long(Y)}); });
        return out;
    }
};

// ---- Literal versions ----------------------------------------------------------------------------

long RoundEven(double v) { return long(std::nearbyint(v)); }

// Every dab centre of the walk, the ones far outside the picture included.
void LiteralWalk(int W, long X1, long Y1, long X2, long Y2, const std::function<void(long, long)>& Dab)
{
    const long step = long(W / 10.0 + 0.5) + 1;
    if (std::abs(X1 - X2) <= std::abs(Y1 - Y2)) {
        if (Y1 > Y2)
            std::swap(X1, X2), std::swap(Y1, Y2);
        const double r = X1 != X2 ? double(Y2 - Y1) / (X2 - X1) : 0;
        for (long y = Y1; y <= Y2; y += step)
            Dab(r == 0 ? X1 : RoundEven((y - Y1) / r) + X1, y);
    } else {
        if (X1 > X2)
            std::swap(X1, X2), std::swap(Y1, Y2);
        const double r = double(Y2 - Y1) / (X2 - X1);
        for (long x = X1; x <= X2; x += step)
            Dab(x, RoundEven((x - X1) * r) + Y1);
    }
}

// Calls Fn (x, y) for every pixel of the dab centred on (X, Y) inside the picture that the shape
// leaves in, in the order rows from the top, pixels from the left.
void LiteralDab(const TBitmap& B, int W, const TBool2DArray* Shape, long X, long Y,
                const std::function<void(int, int)>& Fn)
{
    const long half = W / 2, rest = W - half - 1, left = X - half, top = Y - half;
    const bool shaped = Shape && W <= Shape->Width && W <= Shape->Height;
    for (long y = std::max(top, 0L); y <= std::min(Y + rest, long(B.Height() - 1)); ++y)
        for (long x = std::max(left, 0L); x <= std::min(X + rest, long(B.Width() - 1)); ++x)
            if (!shaped || !Shape->GetItem(int(x - left), int(y - top)))
                Fn(int(x), int(y));
}

enum TStroke { kPen, kReplace, kSmudge, kSpray };

struct TStrokeArgs {
    TStroke Kind;
    int X1, Y1, X2, Y2;
    int Value = 0;     // tolerance, strength or opacity
    int Diffusion = 0; // spraying
};

void LiteralStroke(TBitmap& B, int W, const TBool2DArray* Shape, TColor Pen, TColor Replace, const TStrokeArgs& a,
                   TRandomGenerator& Random)
{
    const TColor pen = Pen & 0xFFFFFF;
    LiteralWalk(W, a.X1, a.Y1, a.X2, a.Y2, [&](long X, long Y) {
        LiteralDab(B, W, Shape, X, Y, [&](int x, int y) {
            const TColor c = B.GetPixel(x, y);
            switch (a.Kind) {
            case kPen:
                B.SetPixelColor(x, y, pen);
                break;
            case kReplace:
                if (std::abs(RedOf(c) - RedOf(pen)) <= a.Value && std::abs(GreenOf(c) - GreenOf(pen)) <= a.Value &&
                    std::abs(BlueOf(c) - BlueOf(pen)) <= a.Value)
                    B.SetPixelColor(x, y, Replace & 0xFFFFFF);
                break;
            case kSmudge: {
                const double s = std::min(a.Value, 100) / 100.0;
                int channel[3];
                for (int k = 0; k < 3; ++k) {
                    int sum = 0;
                    for (int ny = y - 1; ny <= y + 1; ++ny)
                        for (int nx = x - 1; nx <= x + 1; ++nx) {
                            const TColor n = B.GetPixel(std::clamp(nx, 0, B.Width() - 1), std::clamp(ny, 0, B.Height() - 1));
                            sum += (n >> (8 * k)) & 0xFF;
                        }
                    const int v = (c >> (8 * k)) & 0xFF;
                    channel[k] = v - int((v - sum / 9) * s);
                }
                B.SetPixelColor(x, y, RGB(uint8_t(channel[0]), uint8_t(channel[1]), uint8_t(channel[2])));
                break;
            }
            case kSpray:
                if (Random.Next(99 - a.Value + 1) == 0) {
                    const int r = Random.Next(a.Diffusion), b = Random.Next(a.Diffusion), g = Random.Next(a.Diffusion);
                    B.SetPixelColor(x, y, RGB(uint8_t(std::max(0, RedOf(pen) - r)), uint8_t(std::max(0, GreenOf(pen) - g)),
                                              uint8_t(std::max(0, BlueOf(pen) - b))));
                }
                break;
            }
        });
    });
}

void RunStroke(TEffectsBitmap& B, const TStrokeArgs& a)
{
    switch (a.Kind) {
    case kPen: B.PenLine(a.X1, a.Y1, a.X2, a.Y2); break;
    case kReplace: B.ColourReplaceLine(a.X1, a.Y1, a.X2, a.Y2, a.Value); break;
    case kSmudge: B.SmudgeLine(a.X1, a.Y1, a.X2, a.Y2, a.Value); break;
    case kSpray: B.SprayLine(a.X1, a.Y1, a.X2, a.Y2, a.Value, a.Diffusion); break;
    }
}

// A shape bitmap: white (not painted) where Masked says so.
std::unique_ptr<TBitmap> ShapeBitmap(int W, int H, const std::function<bool(int, int)>& Masked)
{
    auto b = std::make_unique<TBitmap>(W, H, pf24bit);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            b->Row24(y)[x] = Masked(x, y) ? WhiteTriple : TRGBTriple{};
    return b;
}

std::vector<TPoint> PaintedBy(TEffectsBitmap& B, const std::function<void()>& Stroke)
{
    auto before = ClonePicture(B);
    Stroke();
    return ChangedPixels(*before, B);
}

std::vector<TPoint> Square(int X0, int Y0, int X1, int Y1)
{
    std::vector<TPoint> out;
    for (int y = Y0; y <= Y1; ++y)
        for (int x = X0; x <= X1; ++x)
            out.push_back({x, y});
    return out;
}

} // namespace

// ---- Brush state -------------------------------------------------------------------------------

TEST(BrushState, PenColourReplaceColourShapeAndClear)
{
    auto b = MakePicture(4, 3);
    b->SetPenColour(0x336699);
    EXPECT_EQ(b->Canvas().Pen.Color, 0x336699);
    EXPECT_EQ(b->PenRGB, Triple(0x99, 0x66, 0x33));
    b->SetReplaceColour(clBlue);
    EXPECT_EQ(b->ReplaceRGB, Triple(0, 0, 255));

    EXPECT_EQ(b->PenMask, nullptr);
    auto shape = ShapeBitmap(3, 2, [](int x, int y) { return x == 1 && y == 0; });
    b->SetPenMask(shape.get());
    ASSERT_NE(b->PenMask, nullptr);
    EXPECT_EQ(b->PenMask->Width, 3);
    EXPECT_TRUE(b->PenMask->GetItem(1, 0));
    EXPECT_FALSE(b->PenMask->GetItem(0, 0));
    b->SetPenMask(nullptr);
    EXPECT_EQ(b->PenMask, nullptr);

    b->Canvas().Brush.Style = bsClear;
    b->Clear(clAqua);
    auto aqua = MakePicture(4, 3, clAqua);
    EXPECT_TRUE(SamePixels(*b, *aqua));
}

TEST(ProgressScope, StartStepsEndAndNoEndOnFailure)
{
    struct TProbe : TEffectsBitmap {
        void Run(int Max, bool Fail)
        {
            TProgressScope p(*this, Max);
            for (int i = 0; i < Max; ++i)
                p.Step();
            if (Fail)
                throw Exception("failed");
        }
    } b;
    TProgressLog log;
    log.Attach(b);
    b.Run(3, false);
    EXPECT_EQ(log.Order, "S3 P P P E ");
    TProgressLog failed;
    failed.Attach(b);
    EXPECT_THROW(b.Run(2, true), Exception);
    EXPECT_EQ(failed.Order, "S2 P P ");
}

TEST(RandomGenerator, LinearCongruentialStream)
{
    TRandomGenerator r(0);
    EXPECT_EQ(r.Next(100), 0); // seed 1
    EXPECT_EQ(r.Seed(), 1u);
    r.Next(100);
    EXPECT_EQ(r.Seed(), 134775814u);
    TRandomGenerator a(42), b(42);
    for (int i = 0; i < 1000; ++i) {
        const int v = a.Next(7);
        EXPECT_EQ(v, b.Next(7));
        EXPECT_GE(v, 0);
        EXPECT_LT(v, 7);
    }
    EXPECT_EQ(a.Next(0), 0);
    EXPECT_EQ(a.Next(-5), 0);
    EXPECT_NE(a.Seed(), TRandomGenerator(42).Seed());
}

// ---- Stroke walker -----------------------------------------------------------------------------

TEST(StrokeLine, DabCentres)
{
    using C = std::vector<std::pair<long, long>>;
    struct Case {
        int Width, X1, Y1, X2, Y2;
        C Centres;
    } cases[] = {
        {1, 0, 0, 3, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
        {5, 0, 0, 3, 0, {{0, 0}, {2, 0}}},  // step 2: no dab on the far end
        {5, 5, 5, 5, 5, {{5, 5}}},           // a single point
        {1, 3, 0, 0, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
        {15, 0, 0, 0, 7, {{0, 0}, {0, 3}, {0, 6}}}, // step 3
        {1, 10, 0, 0, 10, {{10, 0}, {9, 1}, {8, 2}, {7, 3}, {6, 4}, {5, 5}, {4, 6}, {3, 7}, {2, 8}, {1, 9}, {0, 10}}},
        // Shallow: walks from the smaller X; halves round to even (x 5: -4.5 -> -4).
        {1, 10, 0, 0, 9, {{0, 9}, {1, 8}, {2, 7}, {3, 6}, {4, 5}, {5, 5}, {6, 4}, {7, 3}, {8, 2}, {9, 1}, {10, 0}}},
        {1, 0, 4, 2, 0, {{2, 0}, {2, 1}, {1, 2}, {0, 3}, {0, 4}}}, // steep from the smaller Y; 0.5 -> 0, 1.5 -> 2
    };
    for (const Case& c : cases) {
        TStrokeProbe b(40, 40, pf24bit);
        b.Canvas().Pen.Width = c.Width;
        EXPECT_EQ(b.Centres(c.X1, c.Y1, c.X2, c.Y2), c.Centres)
            << "width " << c.Width << " (" << c.X1 << "," << c.Y1 << ")-(" << c.X2 << "," << c.Y2 << ")";
    }
}

TEST(StrokeLine, FarEndpointsVisitOnlyDabsThatTouchThePicture)
{
    struct Case {
        int Width, X1, Y1, X2, Y2;
    } cases[] = {
        {1, -1000000, 5, 1000000, 5},  {7, -1000003, -20, 999999, 30}, {4, 3, -2000000000, 9, 2000000000},
        {12, -300, -250, 260, 310},    {3, 25, 12, -40, 12},          {20, 100, 100, 120, 130},
    };
    for (const Case& c : cases) {
        TStrokeProbe b(20, 10, pf24bit);
        b.Canvas().Pen.Width = c.Width;
        const auto got = b.Centres(c.X1, c.Y1, c.X2, c.Y2);
        const long half = c.Width / 2, rest = c.Width - half - 1;
        const bool steep = std::abs(long(c.X1) - c.X2) <= std::abs(long(c.Y1) - c.Y2);
        auto touches = [&](long x, long y) {
            const long v = steep ? y : x, size = steep ? 10 : 20;
            return v + rest >= 0 && v - half <= size - 1;
        };
        if (std::abs(long(c.Y1) - c.Y2) > 10000000) { // too long for the plain walk
            EXPECT_FALSE(got.empty());
            for (auto& p : got)
                EXPECT_TRUE(touches(p.first, p.second));
            continue;
        }
        // The plain walk's centres near the picture, in order.
        std::vector<std::pair<long, long>> expected;
        LiteralWalk(c.Width, c.X1, c.Y1, c.X2, c.Y2, [&](long x, long y) {
            if (touches(x, y))
                expected.push_back({x, y});
        });
        EXPECT_EQ(got, expected) << "width " << c.Width;
    }
    // A long horizontal stroke through a 20-wide picture paints its whole row.
    auto b = MakePicture(20, 10, clBlack);
    b->SetPenColour(clWhite);
    b->PenLine(-1000000, 5, 1000000, 5);
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(PixelAt(*b, x, 5), WhiteTriple) << x;
}

// ---- Dab geometry and shapes -------------------------------------------------------------------

TEST(PenLine, DabGeometry)
{
    struct Case {
        int Width, X, Y;
        std::vector<TPoint> Painted;
    } cases[] = {
        {1, 3, 2, Square(3, 2, 3, 2)},
        {4, 10, 10, Square(8, 8, 11, 11)},   // even width: centre right of and below the middle
        {5, 10, 10, Square(8, 8, 12, 12)},
        {4, 0, 0, Square(0, 0, 1, 1)},       // clipped at the top left
        {6, 19, 14, Square(16, 11, 19, 14)}, // clipped at the bottom right
        {3, -5, 3, {}},                      // wholly outside
    };
    for (const Case& c : cases) {
        auto b = MakePicture(20, 15, clBlack);
        b->SetPenColour(clRed);
        b->Canvas().Pen.Width = c.Width;
        EXPECT_EQ(PaintedBy(*b, [&] { b->PenLine(c.X, c.Y, c.X, c.Y); }).size(), c.Painted.size());
        auto expected = MakePicture(20, 15, clBlack);
        for (const TPoint& p : c.Painted)
            SetPixelAt(*expected, p.X, p.Y, ColorToTriple(clRed));
        EXPECT_TRUE(SamePixels(*b, *expected)) << "width " << c.Width << " at " << c.X << "," << c.Y;
    }
}

TEST(PenLine, ShapeAnchoredAtTheUnclippedCornerAndIgnoredWhenSmall)
{
    // A 3 x 3 ring: only the centre of the shape is masked.
    auto ring = ShapeBitmap(3, 3, [](int x, int y) { return x == 1 && y == 1; });
    // Dab at (0, 0) with width 3 covers -1..1: the masked centre item lands on (0, 0).
    auto b = MakePicture(6, 6, clBlack);
    b->SetPenColour(clWhite);
    b->Canvas().Pen.Width = 3;
    b->SetPenMask(ring.get());
    b->PenLine(0, 0, 0, 0);
    EXPECT_EQ(PixelAt(*b, 0, 0), ColorToTriple(clBlack));
    EXPECT_EQ(PixelAt(*b, 1, 0), WhiteTriple);
    EXPECT_EQ(PixelAt(*b, 1, 1), WhiteTriple);
    EXPECT_EQ(PixelAt(*b, 0, 1), WhiteTriple);

    // Width 4 is larger than the shape: full squares.
    b->Canvas().Pen.Width = 4;
    FillPicture(*b, clBlack);
    EXPECT_EQ(PaintedBy(*b, [&] { b->PenLine(3, 3, 3, 3); }).size(), 16u);

    // A larger shape: only its top-left W x W part counts.
    auto big = ShapeBitmap(5, 5, [](int x, int y) { return x >= 2 || y >= 2; });
    b->SetPenMask(big.get());
    b->Canvas().Pen.Width = 2;
    FillPicture(*b, clBlack);
    EXPECT_EQ(PaintedBy(*b, [&] { b->PenLine(3, 3, 3, 3); }).size(), 4u);
}

// ---- The strokes' own rules ------------------------------------------------------------------

TEST(ColourReplaceLine, ReplacesPenColourWithinTolerance)
{
    struct Case {
        int Tolerance;
        std::vector<bool> Replaced;
    } cases[] = {{0, {true, false, false}}, {5, {true, true, false}}, {6, {true, true, true}}};
    for (const Case& c : cases) {
        auto b = MakePicture(3, 1);
        SetPixelAt(*b, 0, 0, Triple(100, 100, 100));
        SetPixelAt(*b, 1, 0, Triple(105, 95, 100));
        SetPixelAt(*b, 2, 0, Triple(100, 100, 106));
        b->SetPenColour(RGB(100, 100, 100));
        b->SetReplaceColour(clLime);
        b->ColourReplaceLine(0, 0, 2, 0, c.Tolerance);
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(PixelAt(*b, x, 0) == ColorToTriple(clLime), c.Replaced[x]) << c.Tolerance << " " << x;
    }
}

TEST(SmudgeLine, StrengthRange)
{
    TRng rng(5);
    auto original = RandomPicture(rng, 9, 9);
    struct Case {
        int Strength, ActsAs;
    } cases[] = {{0, 0}, {-40, 0}, {100, 100}, {250, 100}, {37, 37}};
    for (const Case& c : cases) {
        auto a = ClonePicture(*original), b = ClonePicture(*original);
        a->Canvas().Pen.Width = b->Canvas().Pen.Width = 5;
        a->SmudgeLine(2, 2, 6, 7, c.Strength);
        if (c.ActsAs == 0) {
            EXPECT_TRUE(SamePixels(*a, *original)) << c.Strength;
            continue;
        }
        b->SmudgeLine(2, 2, 6, 7, c.ActsAs);
        EXPECT_TRUE(SamePixels(*a, *b)) << c.Strength;
        EXPECT_FALSE(SamePixels(*a, *original)) << c.Strength;
    }
    // Strength 100 on one pixel: its truncated 3 x 3 mean (edges counted twice at the border).
    auto p = MakePicture(3, 3, clBlack);
    SetPixelAt(*p, 0, 0, Triple(90, 0, 9));
    p->SmudgeLine(0, 0, 0, 0, 100);
    EXPECT_EQ(PixelAt(*p, 0, 0), Triple(90 * 4 / 9, 0, 9 * 4 / 9));
}

TEST(SprayLine, OpacityAndDiffusion)
{
    auto b = MakePicture(30, 30, clBlack);
    b->SetPenColour(RGB(200, 100, 50));
    b->Canvas().Pen.Width = 30;
    for (int opacity : {99, 100}) {
        FillPicture(*b, clBlack);
        ProgramRandom().SetSeed(1);
        b->SprayLine(15, 15, 15, 15, opacity, 0);
        EXPECT_TRUE(SamePixels(*b, *MakePicture(30, 30, RGB(200, 100, 50)))) << opacity;
    }
    // Opacity 0: about one pixel in a hundred, each in exactly the pen colour at diffusion 0 or 1.
    for (int diffusion : {0, 1}) {
        FillPicture(*b, clBlack);
        ProgramRandom().SetSeed(77);
        for (int i = 0; i < 20; ++i)
            b->SprayLine(15, 15, 15, 15, 0, diffusion);
        int painted = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x)
                if (!(PixelAt(*b, x, y) == TRGBTriple{})) {
                    ++painted;
                    EXPECT_EQ(PixelAt(*b, x, y), Triple(200, 100, 50));
                }
        EXPECT_GT(painted, 60);  // 20 x 900 / 100 = 180 expected, minus overlaps
        EXPECT_LT(painted, 300);
    }
    // Diffusion darkens each channel by less than Diffusion, never below 0.
    FillPicture(*b, clWhite);
    b->SetPenColour(RGB(200, 5, 50));
    b->SprayLine(15, 15, 15, 15, 100, 20);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const TRGBTriple p = PixelAt(*b, x, y);
            EXPECT_TRUE(p.rgbtRed > 180 && p.rgbtRed <= 200 && p.rgbtGreen <= 5 && p.rgbtBlue > 30 && p.rgbtBlue <= 50)
                << TripleText(p);
        }
}

TEST(Strokes, SwitchOtherPixelFormatsTo24Bit)
{
    auto b = std::make_unique<TEffectsBitmap>(6, 4, pf8bit);
    b->SetPenColour(clRed);
    b->PenLine(0, 1, 5, 1);
    EXPECT_EQ(b->PixelFormat(), pf24bit);
    EXPECT_EQ(PixelAt(*b, 3, 1), ColorToTriple(clRed));
}

// ---- Fast equals literal -------------------------------------------------------------------------

TEST(Strokes, FastEqualsLiteralOnRandomPictures)
{
    TRng rng(2024);
    for (int round = 0; round < 400; ++round) {
        const int w = 1 + int(rng() % 40), h = 1 + int(rng() % 30);
        auto picture = RandomPicture(rng, w, h, round % 2 ? 4 : 0);
        const int width = 1 + int(rng() % 16);
        std::unique_ptr<TBitmap> shape;
        if (rng() % 2) {
            const int sw = width + int(rng() % 4) - 1, sh = width + int(rng() % 4) - 1;
            auto mask = RandomMask(rng, std::max(sw, 1), std::max(sh, 1), 0.4);
            shape = ShapeBitmap(mask->Width, mask->Height, [&](int x, int y) { return mask->GetItem(x, y); });
        }
        std::uniform_int_distribution<int> xs(-width - 5, w + width + 5), ys(-width - 5, h + width + 5);
        TStrokeArgs a{TStroke(round % 4), xs(rng), ys(rng), xs(rng), ys(rng)};
        switch (a.Kind) {
        case kPen: break;
        case kReplace: a.Value = int(rng() % 120); break;
        case kSmudge: a.Value = int(rng() % 130); break;
        case kSpray: a.Value = int(rng() % 101), a.Diffusion = int(rng() % 40); break;
        }
        const TColor pen = picture->GetPixel(int(rng() % w), int(rng() % h)) ^ int(rng() % 3);
        const TColor replace = int(rng() & 0xFFFFFF);

        auto fast = ClonePicture(*picture);
        fast->Canvas().Pen.Width = width;
        fast->SetPenColour(pen);
        fast->SetReplaceColour(replace);
        fast->SetPenMask(shape.get());
        auto literal = ClonePicture(*picture);
        const uint32_t seed = uint32_t(rng());
        ProgramRandom().SetSeed(seed);
        TRandomGenerator random(seed);
        RunStroke(*fast, a);
        LiteralStroke(*literal, width, fast->PenMask.get(), pen, replace, a, random);
        ASSERT_TRUE(SamePixels(*fast, *literal))
            << "round " << round << " kind " << a.Kind << " width " << width << " (" << a.X1 << "," << a.Y1 << ")-(" << a.X2
            << "," << a.Y2 << ") value " << a.Value;
        EXPECT_EQ(ProgramRandom().Seed(), random.Seed()) << "round " << round;
    }
}
