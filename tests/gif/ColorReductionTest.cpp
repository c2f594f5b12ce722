// Colour reduction: fixed palettes, colour lookups, the octree quantizer, the error-diffusion
// kernels (against the literal implementation of ReductionTestSupport.h) and the transparent-aware reduction.
#include "gif/GIFColorReduction.h"
#include "gif/gifstrings.h"
#include "ReductionTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace reduce_test;

namespace {

const TGIFPalette& TwelveColours()
{
    static const TGIFPalette P = {Q(0, 0, 0),     Q(255, 255, 255), Q(200, 30, 30),  Q(30, 200, 30),
                                  Q(30, 30, 200), Q(240, 220, 40),  Q(90, 90, 90),   Q(170, 170, 170),
                                  Q(120, 60, 10), Q(10, 130, 140),  Q(230, 120, 200), Q(60, 0, 90)};
    return P;
}

} // namespace

// ---- Fixed palettes -----------------------------------------------------------------------------

TEST(FixedPalettes, SizesFirstEntriesAndFlags)
{
    struct Case {
        const char* Name;
        std::function<TGIFPalette()> Make;
        size_t Size;
        std::vector<std::pair<int, TRGBQuad>> Entries; // index, colour with flags
    };
    const std::vector<Case> Cases = {
        {"cube", Create216ColorPalette, 216,
         {{0, Q(0, 0, 0)}, {1, Q(0, 0, 51)}, {6, Q(0, 51, 0)}, {36, Q(51, 0, 0)}, {43, Q(51, 51, 51)},
          {215, Q(255, 255, 255)}}},
        {"gray256", CreateGrayPalette256, 256,
         {{0, Q(0, 0, 0, 4)}, {1, Q(1, 1, 1, 4)}, {128, Q(128, 128, 128, 4)}, {255, Q(255, 255, 255, 4)}}},
        {"black-white", CreateBlackWhitePalette, 2, {{0, Q(0, 0, 0, 4)}, {1, Q(255, 255, 255, 4)}}},
        {"gray4", CreateGrayPalette4, 4,
         {{0, Q(0, 0, 0, 4)}, {1, Q(0x80, 0x80, 0x80, 4)}, {2, Q(0xC0, 0xC0, 0xC0, 4)}, {3, Q(255, 255, 255, 4)}}},
        {"stock", [] { return StockDefaultPalette(); }, 20,
         {{0, Q(0, 0, 0)}, {1, Q(128, 0, 0)}, {7, Q(192, 192, 192)}, {8, Q(192, 220, 192)},
          {12, Q(128, 128, 128)}, {13, Q(255, 0, 0)}, {19, Q(255, 255, 255)}}},
        {"halftone", CreateScreenHalftonePalette, 256,
         {{0, Q(0, 0, 0)}, {9, Q(166, 202, 240)}, {10, Q(0, 0, 0)}, {11, Q(0, 0, 51)}, {225, Q(255, 255, 255)},
          {246, Q(255, 251, 240)}, {255, Q(255, 255, 255)}}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        const TGIFPalette P = C.Make();
        ASSERT_EQ(P.size(), C.Size);
        for (const auto& [Index, Entry] : C.Entries)
            EXPECT_EQ(P[Index], Entry) << "entry " << Index;
    }
}

TEST(FixedPalettes, HalftoneHoldsTheCubeAndTwentyFurtherGrays)
{
    const TGIFPalette P = CreateScreenHalftonePalette();
    const TGIFPalette Cube = Create216ColorPalette();
    EXPECT_TRUE(std::equal(Cube.begin(), Cube.end(), P.begin() + 10));
    std::set<int> CubeGrays;
    for (int i = 0; i < 6; ++i)
        CubeGrays.insert(i * 51);
    for (int i = 226; i < 246; ++i) {
        EXPECT_EQ(P[i].rgbRed, P[i].rgbGreen);
        EXPECT_EQ(P[i].rgbRed, P[i].rgbBlue);
        EXPECT_FALSE(CubeGrays.count(P[i].rgbRed)) << i;
        if (i > 226) {
            EXPECT_LT(P[i - 1].rgbRed, P[i].rgbRed) << i;
        }
    }
}

// ---- Lookups ------------------------------------------------------------------------------------

TEST(ColorLookups, ArithmeticLookupsGiveIndexAndColour)
{
    TNetscapeColorLookup Cube;
    TGrayScaleLookup Gray;
    TMonochromeLookup Mono;
    struct Case {
        TColorLookup* Lookup;
        int R, G, B;
        int Index, OutR, OutG, OutB;
    };
    const Case Cases[] = {
        {&Cube, 47, 47, 47, 0, 0, 0, 0},           {&Cube, 48, 48, 48, 43, 51, 51, 51},
        {&Cube, 255, 0, 100, 180 + 2, 255, 0, 102}, {&Cube, 0, 255, 0, 30, 0, 255, 0},
        {&Gray, 255, 255, 255, 255, 255, 255, 255}, {&Gray, 100, 0, 0, 30, 30, 30, 30},
        {&Gray, 0, 0, 200, 22, 22, 22, 22},         {&Mono, 128, 128, 128, 1, 255, 255, 255},
        {&Mono, 126, 126, 126, 0, 0, 0, 0},         {&Mono, 0, 217, 0, 1, 255, 255, 255},
    };
    for (const Case& C : Cases) {
        int R = -1, G = -1, B = -1;
        EXPECT_EQ(C.Lookup->Lookup(C.R, C.G, C.B, R, G, B), C.Index) << C.R << "," << C.G << "," << C.B;
        EXPECT_EQ(R, C.OutR);
        EXPECT_EQ(G, C.OutG);
        EXPECT_EQ(B, C.OutB);
    }
    EXPECT_EQ(Cube.Colors(), 216);
    EXPECT_EQ(Gray.Colors(), 256);
    EXPECT_EQ(Mono.Colors(), 2);
}

TEST(ColorLookups, FastLookupDecidesOncePerCellAndPrefersTheLowestIndex)
{
    const TGIFPalette P = {Q(0, 0, 0), Q(20, 0, 0), Q(20, 0, 0), Q(100, 100, 100)};
    int R, G, B;
    {
        // (8, 0, 0) is nearer entry 0; (15, 0, 0) of the same cell then takes it too.
        TFastColorLookup L(P);
        EXPECT_EQ(L.Colors(), 4);
        EXPECT_EQ(L.Lookup(8, 0, 0, R, G, B), 0);
        EXPECT_EQ(L.Lookup(15, 0, 0, R, G, B), 0);
    }
    {
        // Asked first, (15, 0, 0) finds entry 1 (the lower of two equal entries) for the cell.
        TFastColorLookup L(P);
        EXPECT_EQ(L.Lookup(15, 0, 0, R, G, B), 1);
        EXPECT_EQ(R, 20);
        EXPECT_EQ(L.Lookup(8, 0, 0, R, G, B), 1);
    }
    {
        // A palette colour's own cell is seeded with it, whatever else lies nearer.
        TFastColorLookup L(P);
        EXPECT_EQ(L.Lookup(103, 103, 103, R, G, B), 3);
        EXPECT_EQ(L.Lookup(23, 0, 0, R, G, B), 1);
    }
    TGIFPalette Big(300, Q(1, 2, 3));
    EXPECT_EQ(TFastColorLookup(Big).Colors(), 256);
}

// ---- Octree -------------------------------------------------------------------------------------

TEST(Octree, FewColoursComeBackExactly)
{
    const std::vector<TRGBTriple> Colours = {{0, 0, 0}, {255, 255, 255}, {10, 200, 30}, {11, 200, 30}, {7, 7, 250}};
    auto B = Picture(17, 9, [&](int X, int Y) { return Colours[(X * 3 + Y) % Colours.size()]; });
    for (bool Stock : {false, true}) {
        const TGIFPalette P = CreateOptimizedPaletteFromBitmap(*B, 256, 8, Stock);
        ASSERT_EQ(P.size(), 256u);
        const int Offset = Stock ? 10 : 0;
        std::set<int> Got, Want;
        for (size_t i = 0; i < Colours.size(); ++i) {
            Got.insert(Key(P[Offset + i]));
            Want.insert(Key(Colours[i]));
        }
        EXPECT_EQ(Got, Want);
        for (int i = Offset + int(Colours.size()); i < (Stock ? 246 : 256); ++i)
            EXPECT_EQ(P[i], TRGBQuad{}) << "unfilled entries are black";
        if (Stock) {
            EXPECT_TRUE(std::equal(P.begin(), P.begin() + 10, StockDefaultPalette().begin()));
            EXPECT_TRUE(std::equal(P.begin() + 246, P.end(), StockDefaultPalette().begin() + 10));
        }
    }
}

TEST(Octree, ExactlyAsManyColoursAsEntriesAreKept)
{
    // 236 distinct colours with the stock colours, and 256 without.
    for (int N : {236, 256}) {
        auto One = Picture(N, 1, [](int X, int) { return TRGBTriple{uint8_t(X), uint8_t(255 - X), 0}; });
        const TGIFPalette P = CreateOptimizedPaletteFromBitmap(*One, 256, 8, N == 236);
        std::set<int> Got, Want;
        for (int X = 0; X < N; ++X) {
            Want.insert(Key(0, 255 - X, X));
            Got.insert(Key(P[(N == 236 ? 10 : 0) + X]));
        }
        EXPECT_EQ(Got, Want) << N;
    }
}

TEST(Octree, MatchesTheLiteralTreeOnManyColours)
{
    struct Case {
        int Colors, Bits;
        bool Stock;
        int Levels;
    };
    const Case Cases[] = {{256, 8, false, 0}, {16, 8, false, 0}, {2, 8, false, 0}, {1, 8, false, 0},
                          {256, 8, true, 0},  {64, 5, false, 0}, {256, 3, false, 0}, {100, 8, false, 7}};
    unsigned Seed = 1;
    for (const Case& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Colors << " colours, " << C.Bits << " bits, stock " << C.Stock);
        auto B = RandomPicture(61, 47, Seed++, C.Levels);
        const int Max = C.Stock ? 236 : C.Colors;
        const std::vector<TRGBQuad> Want = RefOctree(Max, C.Bits).Run(*B);
        const TGIFPalette P = CreateOptimizedPaletteFromBitmap(*B, C.Colors, C.Bits, C.Stock);
        ASSERT_LE(int(Want.size()), Max);
        const int Offset = C.Stock ? 10 : 0;
        for (size_t i = 0; i < Want.size(); ++i)
            EXPECT_TRUE(SameColor(P[Offset + i], Want[i])) << "entry " << i;
    }
}

TEST(Octree, OneColourOverAVeryLargePictureDoesNotOverflow)
{
    // 2^24 + 1 white pixels: channel sums pass 32 bits.
    TColorQuantizer Quantizer(256, 8);
    for (int i = 0; i < (1 << 24) + 1; ++i)
        Quantizer.Add(255, 254, 253);
    const std::vector<TRGBQuad> T = Quantizer.ColorTable();
    ASSERT_EQ(T.size(), 1u);
    EXPECT_TRUE(SameColor(T[0], Q(255, 254, 253)));
}

TEST(Octree, DegenerateSizesStop)
{
    auto B = RandomPicture(20, 20, 9);
    EXPECT_TRUE(CreateOptimizedPaletteFromBitmap(*B, 0, 8, false).empty());
    EXPECT_EQ(CreateOptimizedPaletteFromBitmap(*B, 1000, 8, false).size(), 256u);
    EXPECT_EQ(CreateOptimizedPaletteFromBitmap(*B, 8, 0, false).size(), 8u);
    EXPECT_EQ(CreateOptimizedPaletteFromBitmap(*B, 8, 12, false).size(), 8u);
}

// ---- ReduceColors -------------------------------------------------------------------------------

TEST(ReduceColors, EveryKernelMatchesTheLiteralDiffusion)
{
    struct Method {
        int Value;
        const char* Name;
        RefLookup Lookup;
        TGIFPalette Palette; // for the given-palette method
    };
    const std::vector<Method> Methods = {
        {ReduceTwoColors, "two colours", RefMono(), {}},
        {ReduceGrayRamp, "gray ramp", RefGray(), {}},
        {ReduceColorCube, "cube", RefCube(), {}},
        {ReduceGivenPalette, "given palette", nullptr, TwelveColours()},
        {ReduceFourGrays, "four grays", nullptr, CreateGrayPalette4()},
        {ReduceStockPalette, "stock", nullptr, StockDefaultPalette()},
    };
    auto B = RandomPicture(13, 9, 42);
    for (const Method& M : Methods)
        for (int Mode = DitherNone; Mode <= DitherBurkes; ++Mode) {
            SCOPED_TRACE(testing::Message() << M.Name << ", dither " << Mode);
            auto R = ReduceColors(*B, M.Value, Mode, 8, M.Palette);
            ASSERT_EQ(R->PixelFormat(), pf8bit);
            ASSERT_EQ(R->Width(), 13);
            ASSERT_EQ(R->Height(), 9);
            const RefLookup L = M.Lookup ? M.Lookup : RefPalette(M.Palette);
            EXPECT_EQ(Indices(*R), RefDither(*B, Mode, L));
        }
}

TEST(ReduceColors, OctreeMethodsUseTheirPalette)
{
    auto B = RandomPicture(40, 30, 5);
    for (int Bits = 1; Bits <= 8; ++Bits) {
        auto R = ReduceColors(*B, ReduceOctree, DitherFloydSteinberg, Bits, {});
        ASSERT_EQ(R->Palette().size(), size_t(1) << Bits);
        const std::vector<uint8_t> I = Indices(*R);
        EXPECT_LT(*std::max_element(I.begin(), I.end()), 1 << Bits) << Bits;
        EXPECT_EQ(I, RefDither(*B, DitherFloydSteinberg, RefPalette(CreateOptimizedPaletteFromBitmap(*B, 1 << Bits, 8, false))));
    }
    auto S = ReduceColors(*B, ReduceOctreeWithStock, DitherNone, 0, {});
    EXPECT_EQ(Indices(*S), RefDither(*B, DitherNone, RefPalette(CreateOptimizedPaletteFromBitmap(*B, 256, 8, true))));
    // Bits outside 1..8 are taken as the nearest of them.
    EXPECT_EQ(ReduceColors(*B, ReduceOctree, DitherNone, 40, {})->Palette().size(), 256u);
    EXPECT_EQ(ReduceColors(*B, ReduceOctree, DitherNone, -3, {})->Palette().size(), 2u);
}

TEST(ReduceColors, SaveSettingsWithAFewColoursKeepThemExactly)
{
    // The picture-file path: a 256-colour octree palette, then Floyd-Steinberg with that palette.
    const std::vector<TRGBTriple> Colours = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {33, 66, 99}};
    auto B = Picture(30, 20, [&](int X, int Y) { return Colours[(X / 3 + Y / 2) % 4]; });
    const TGIFPalette P = CreateOptimizedPaletteFromBitmap(*B, 256, 8, false);
    auto R = ReduceColors(*B, ReduceGivenPalette, DitherFloydSteinberg, 0, P);
    EXPECT_EQ(Pixels(*R), Pixels(*B));
}

TEST(ReduceColors, TwoColoursDitherAMidGrayLineIntoAlternatingPixels)
{
    auto B = Picture(12, 1, [](int, int) { return TRGBTriple{128, 128, 128}; });
    auto R = ReduceColors(*B, ReduceTwoColors, DitherFloydSteinberg, 0, {});
    EXPECT_EQ(Indices(*R), (std::vector<uint8_t>{1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0}));
}

TEST(ReduceColors, TinyAndThinPicturesStayInsideTheErrorLines)
{
    for (auto [W, H] : std::initializer_list<std::pair<int, int>>{{1, 1}, {1, 7}, {7, 1}, {2, 2}})
        for (int Mode = DitherNone; Mode <= DitherBurkes; ++Mode) {
            auto B = RandomPicture(W, H, unsigned(W * 10 + H + Mode));
            auto R = ReduceColors(*B, ReduceColorCube, Mode, 0, {});
            EXPECT_EQ(Indices(*R), RefDither(*B, Mode, RefCube())) << W << "x" << H << " mode " << Mode;
        }
}

TEST(ReduceColors, NoneGivesA24BitCopyAndLeavesTheSourceAlone)
{
    auto B24 = RandomPicture(9, 5, 3, 4);
    TBitmap B8;
    B8.Assign(B24.get());
    B8.SetPixelFormat(pf8bit);
    const std::vector<TRGBTriple> Want = Pixels(B8);
    auto R = ReduceColors(B8, ReduceNone, DitherNone, 0, {});
    EXPECT_EQ(R->PixelFormat(), pf24bit);
    EXPECT_EQ(Pixels(*R), Want);
    EXPECT_EQ(B8.PixelFormat(), pf8bit);

    auto C = ReduceColors(B8, ReduceColorCube, DitherStucki, 0, {});
    EXPECT_EQ(B8.PixelFormat(), pf8bit) << "the source is only read";
    EXPECT_EQ(Pixels(B8), Want);
    EXPECT_EQ(C->PixelFormat(), pf8bit);
}

TEST(ReduceColors, EveryPixelFormatReducesLikeIts24BitPixels)
{
    auto B24 = RandomPicture(19, 7, 8, 2); // eight colours
    for (TPixelFormat F : {pf1bit, pf4bit, pf8bit, pf32bit}) {
        TBitmap B;
        B.Assign(B24.get());
        B.SetPixelFormat(F);
        TBitmap Same;
        Same.Assign(&B);
        Same.SetPixelFormat(pf24bit);
        auto R = ReduceColors(B, ReduceColorCube, DitherFloydSteinberg, 0, {});
        EXPECT_EQ(Indices(*R), RefDither(Same, DitherFloydSteinberg, RefCube())) << "format " << F;
    }
}

TEST(ReduceColors, UnknownMethodsAndEmptyInputs)
{
    auto B = RandomPicture(4, 4, 1);
    struct Case {
        int Method, Dither;
        TGIFPalette Palette;
    };
    const Case Empty[] = {{10, DitherNone, {}}, {255, DitherNone, {}}, {ReduceColorCube, 7, {}},
                          {ReduceGivenPalette, DitherFloydSteinberg, {}}, {-1, DitherNone, {}}};
    for (const Case& C : Empty) {
        auto R = ReduceColors(*B, C.Method, C.Dither, 8, C.Palette);
        EXPECT_TRUE(R->Empty()) << C.Method << "/" << C.Dither;
    }
    TBitmap Nothing;
    for (int M : {ReduceStockPalette, ReduceColorCube, ReduceOctree, ReduceGivenPalette}) {
        try {
            ReduceColors(Nothing, M, DitherFloydSteinberg, 8, TwelveColours());
            ADD_FAILURE() << "method " << M << " reduced an empty picture";
        } catch (const GIFException& E) {
            EXPECT_EQ(E.Message, gifstrings::sInvalidBitmap);
        }
    }
    EXPECT_TRUE(ReduceColors(Nothing, ReduceNone, DitherNone, 8, {})->Empty());
}

TEST(ReduceColors, ResultPaletteIsTheMethodsPalette)
{
    auto B = RandomPicture(6, 6, 2);
    struct Case {
        int Method;
        TGIFPalette Want;
    };
    const Case Cases[] = {{ReduceStockPalette, StockDefaultPalette()}, {ReduceHalftone, CreateScreenHalftonePalette()},
                          {ReduceFourGrays, CreateGrayPalette4()},      {ReduceTwoColors, CreateBlackWhitePalette()},
                          {ReduceGrayRamp, CreateGrayPalette256()},     {ReduceColorCube, Create216ColorPalette()},
                          {ReduceGivenPalette, TwelveColours()}};
    for (const Case& C : Cases) {
        auto R = ReduceColors(*B, C.Method, DitherSierra, 0, TwelveColours());
        const TGIFPalette& Got = R->Palette();
        ASSERT_EQ(Got.size(), C.Want.size()) << C.Method;
        for (size_t i = 0; i < Got.size(); ++i)
            EXPECT_TRUE(SameColor(Got[i], C.Want[i])) << C.Method << " entry " << i;
        const std::vector<uint8_t> I = Indices(*R);
        EXPECT_LT(*std::max_element(I.begin(), I.end()), int(C.Want.size()));
    }
}

// ---- Reduction keeping a transparent colour ---------------------------------------------------------

TEST(ReduceColorsTransparent, ExactlyTheTransparentPixelsGetItsIndex)
{
    for (unsigned Seed = 1; Seed <= 12; ++Seed) {
        std::mt19937 Rng(Seed);
        const int W = 5 + int(Rng() % 40), H = 3 + int(Rng() % 30);
        auto B = RandomPicture(W, H, Seed * 77, Seed % 3 == 0 ? 3 : 0);
        // Transparent pixels scattered; neighbours that differ from it by one step as well.
        const TRGBTriple T{uint8_t(Rng()), uint8_t(Rng()), uint8_t(Rng())};
        for (int i = 0; i < W * H / 4; ++i) {
            TRGBTriple& P = B->Row24(int(Rng() % H))[Rng() % W];
            P = T;
            if (i % 3 == 0) {
                TRGBTriple& N = B->Row24(int(Rng() % H))[Rng() % W];
                N = T;
                N.rgbtBlue ^= 1;
            }
        }
        const TColor TC = RGB(T.rgbtRed, T.rgbtGreen, T.rgbtBlue);
        const int Mode = int(Seed % 7);
        SCOPED_TRACE(testing::Message() << "seed " << Seed << " dither " << Mode);
        int Index = -2;
        auto R = ReduceColorsTransparent(*B, TC, Index, Mode);
        ASSERT_EQ(R->PixelFormat(), pf8bit);
        const TGIFPalette& P = R->Palette();
        ASSERT_GE(Index, 0);
        ASSERT_EQ(int(P.size()), Index + 1);
        ASSERT_LE(P.size(), 256u);
        EXPECT_EQ(Key(P[Index]), Key(T));
        for (int i = 0; i < Index; ++i)
            EXPECT_NE(Key(P[i]), Key(T)) << "entry " << i << " repeats the transparent colour";

        const std::vector<TRGBTriple> Src = Pixels(*B);
        const std::vector<uint8_t> Got = Indices(*R);
        for (size_t i = 0; i < Src.size(); ++i)
            ASSERT_EQ(Got[i] == Index, Src[i] == T) << "pixel " << i;

        // The other pixels diffuse among themselves only: the literal ditherer, skipping the
        // transparent pixels, over the quantized entries alone.
        const TGIFPalette Opaque(P.begin(), P.begin() + Index);
        EXPECT_EQ(Got, RefDither(*B, Mode, RefPalette(Opaque), [&](const TRGBTriple& X) { return X == T; }, Index));
    }
}

TEST(ReduceColorsTransparent, EdgeCases)
{
    int Index = -2;
    // Every pixel transparent: one entry.
    auto All = Picture(6, 4, [](int, int) { return TRGBTriple{1, 2, 3}; });
    auto R = ReduceColorsTransparent(*All, RGB(3, 2, 1), Index);
    EXPECT_EQ(Index, 0);
    ASSERT_EQ(R->Palette().size(), 1u);
    EXPECT_EQ(Indices(*R), std::vector<uint8_t>(24, 0));

    // The colour is absent: it still gets its own entry after the picture's colours.
    auto Two = Picture(6, 4, [](int X, int) { return X % 2 ? TRGBTriple{0, 0, 0} : TRGBTriple{255, 255, 255}; });
    R = ReduceColorsTransparent(*Two, clRed, Index);
    EXPECT_EQ(Index, 2);
    EXPECT_EQ(Key(R->Palette()[2]), Key(255, 0, 0));
    for (uint8_t I : Indices(*R))
        EXPECT_LT(I, 2);

    // Many colours: at most 255 of them beside the transparent one.
    auto Many = RandomPicture(64, 64, 4);
    R = ReduceColorsTransparent(*Many, clWhite, Index);
    EXPECT_LE(Index, 255);
    EXPECT_EQ(int(R->Palette().size()), Index + 1);

    // Errors: an unknown dither mode gives an empty bitmap; an empty source raises.
    EXPECT_TRUE(ReduceColorsTransparent(*Two, clRed, Index, 9)->Empty());
    TBitmap Nothing;
    EXPECT_THROW(ReduceColorsTransparent(Nothing, clRed, Index), GIFException);
}

// ---- Exact palettes ---------------------------------------------------------------------------------

namespace {

std::set<int> DistinctKeys(const TBitmap& B)
{
    std::set<int> Keys;
    for (const TRGBTriple& P : Pixels(B))
        Keys.insert(Key(P));
    return Keys;
}

// N distinct colours packed into few lookup cells (the low three bits of each channel vary), so
// that a cached nearest-colour lookup would merge them.
TRGBTriple CellMate(int I) { return TRGBTriple{uint8_t(I & 7), uint8_t(64 + ((I >> 3) & 7)), uint8_t(128 + (I >> 6))}; }

} // namespace

// A picture of at most 256 colours keeps every pixel: the palette is its colours in ascending order.
TEST(ReduceColorsExact, PicturesThatFitKeepEveryPixel)
{
    struct Case {
        const char* Name;
        std::unique_ptr<TBitmap> Bitmap;
    };
    Case Cases[] = {
        {"gray ramp", Picture(64, 64, [](int X, int Y) { const uint8_t V = uint8_t((Y * 64 + X) / 16); return TRGBTriple{V, V, V}; })},
        {"256 in few cells", Picture(40, 33, [](int X, int Y) { return CellMate((X * 7 + Y * 40) % 256); })},
        {"256 random", Picture(50, 50, [](int X, int Y) {
             std::mt19937 Rng(unsigned((X + Y * 50) % 256) + 1);
             return TRGBTriple{uint8_t(Rng()), uint8_t(Rng()), uint8_t(Rng())};
         })},
        {"one colour", Picture(7, 3, [](int, int) { return TRGBTriple{9, 8, 7}; })},
        {"1 x 1", Picture(1, 1, [](int, int) { return TRGBTriple{255, 255, 255}; })},
    };
    for (Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::set<int> Colours = DistinctKeys(*C.Bitmap);
        for (TPixelFormat Format : {pf24bit, pf32bit}) {
            TBitmap Source;
            Source.Assign(C.Bitmap.get());
            Source.SetPixelFormat(Format);
            auto R = ReduceColorsExact(Source);
            ASSERT_NE(R, nullptr);
            ASSERT_EQ(R->PixelFormat(), pf8bit);
            EXPECT_EQ(Pixels(*R), Pixels(*C.Bitmap));
            std::vector<int> PaletteKeys;
            for (const TRGBQuad& E : R->Palette())
                PaletteKeys.push_back(Key(E));
            EXPECT_EQ(PaletteKeys, std::vector<int>(Colours.begin(), Colours.end()));
        }
    }
    // An 8-bit picture (as a loaded GIF may be) reads through its palette.
    auto Ramp = Picture(32, 8, [](int X, int Y) { const uint8_t V = uint8_t(Y * 32 + X); return TRGBTriple{V, V, V}; });
    auto Eight = ReduceColors(*Ramp, ReduceGrayRamp, DitherNone, 0, {});
    auto R = ReduceColorsExact(*Eight);
    ASSERT_NE(R, nullptr);
    EXPECT_EQ(Pixels(*R), Pixels(*Ramp));
}

TEST(ReduceColorsExact, OneColourTooManyOrNoPixelsGivesNothing)
{
    auto Many = Picture(30, 30, [](int X, int Y) { return CellMate((X + Y * 30) % 257); });
    ASSERT_EQ(DistinctKeys(*Many).size(), 257u);
    EXPECT_EQ(ReduceColorsExact(*Many), nullptr);
    EXPECT_EQ(ReduceColorsExact(*RandomPicture(64, 64, 3)), nullptr);
    TBitmap Nothing;
    EXPECT_EQ(ReduceColorsExact(Nothing), nullptr);
    int Index = 7;
    EXPECT_EQ(ReduceColorsExactTransparent(Nothing, clRed, Index), nullptr);
    EXPECT_EQ(Index, -1);
}

// 255 colours beside the transparent one fit; the transparent colour takes the entry after them,
// exactly its pixels take that entry, and it counts whether or not the picture holds it.
TEST(ReduceColorsExact, TransparentColourHasAnEntryOfItsOwn)
{
    const TRGBTriple T{3, 2, 1}; // blue, green, red
    const TColor TC = RGB(1, 2, 3);
    struct Case {
        const char* Name;
        int Colours;      // besides the transparent one
        bool HasTransparent;
        bool Fits;
    };
    const Case Cases[] = {
        {"255 and transparent", 255, true, true},  {"255, transparent absent", 255, false, true},
        {"256 and transparent", 256, true, false}, {"2 and transparent", 2, true, true},
        {"transparent only", 0, true, true},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto B = Picture(40, 30, [&](int X, int Y) {
            const int I = X + Y * 40;
            if (C.Colours == 0 || (C.HasTransparent && I % 7 == 0))
                return T;
            return CellMate(I % C.Colours);
        });
        // A neighbour of the transparent colour is an ordinary colour.
        if (C.Colours > 1)
            B->Row24(29)[39] = CellMate(0);
        int Index = -2;
        auto R = ReduceColorsExactTransparent(*B, TC, Index);
        if (!C.Fits) {
            EXPECT_EQ(R, nullptr);
            EXPECT_EQ(Index, -1);
            continue;
        }
        ASSERT_NE(R, nullptr);
        EXPECT_EQ(Index, C.Colours);
        ASSERT_EQ(int(R->Palette().size()), C.Colours + 1);
        EXPECT_EQ(Key(R->Palette()[Index]), Key(T));
        const std::vector<TRGBTriple> Src = Pixels(*B);
        const std::vector<uint8_t> Got = Indices(*R);
        EXPECT_EQ(Pixels(*R), Src);
        for (size_t i = 0; i < Src.size(); ++i)
            ASSERT_EQ(Got[i] == Index, Src[i] == T) << "pixel " << i;
    }
}
