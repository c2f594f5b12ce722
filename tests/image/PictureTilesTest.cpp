// A picture kept tile by tile: each tile is copied once, before its first change, whatever the
// rectangles that reach it, and putting the tiles back gives the picture as it was.
#include "image/PictureTiles.h"

#include "image/EffectsTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace effects_test;

namespace {

constexpr int kTile = TPictureTiles::kTileSize;

void Paint(TBitmap& B, const TRect& R, TRGBTriple C)
{
    for (int y = std::max(R.Top, 0); y < std::min(R.Bottom, B.Height()); ++y)
        for (int x = std::max(R.Left, 0); x < std::min(R.Right, B.Width()); ++x)
            B.Row24(y)[x] = C;
}

} // namespace

TEST(PictureTiles, EachTileIsSavedOnceBeforeItsFirstChangeAndRestoredExactly)
{
    struct Case {
        const char* Name;
        std::vector<TRect> Changes; // saved, then painted, one after another
        int Tiles;
        size_t Bytes;
    };
    // 150 x 70: tiles of 64 x 64, 22 wide at the right, 6 high at the bottom.
    const size_t full = size_t(kTile) * kTile * 3;
    const Case cases[] = {
        {"one pixel", {Rect(5, 5, 6, 6)}, 1, full},
        {"the same tile twice", {Rect(5, 5, 20, 20), Rect(30, 40, 60, 60)}, 1, full},
        {"a second change over a saved tile keeps its first pixels", {Rect(0, 0, 10, 10), Rect(0, 0, 10, 10)}, 1, full},
        {"across four tiles", {Rect(60, 60, 70, 66)}, 4, 2 * full + 2 * size_t(kTile) * 6 * 3},
        {"the narrow corner tile", {Rect(140, 68, 150, 70)}, 1, size_t(22) * 6 * 3},
        {"beyond every edge", {Rect(-50, -50, 500, 500)}, 6, size_t(150) * 70 * 3},
        {"wholly outside", {Rect(-20, -20, -1, -1), Rect(150, 0, 160, 10)}, 0, 0},
        {"empty", {Rect(10, 10, 10, 20)}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TEffectsBitmap picture(150, 70);
        TRng rng(7);
        RandomizePicture(picture, rng);
        const auto before = ClonePicture(picture);
        TPictureTiles tiles(picture);
        uint8_t shade = 0;
        for (const TRect& r : c.Changes) {
            tiles.Save(picture, r);
            Paint(picture, r, TRGBTriple{shade, uint8_t(255 - shade), 7});
            shade = uint8_t(shade + 90);
        }
        EXPECT_EQ(tiles.TileCount(), c.Tiles);
        EXPECT_EQ(tiles.HeldBytes(), c.Bytes);
        tiles.Restore(picture);
        EXPECT_TRUE(SamePixels(picture, *before));
    }
}

TEST(PictureTiles, APictureOfAnotherSizeOrFormatIsNotSavedAndGetsTheSizeBackOnRestore)
{
    TEffectsBitmap picture(100, 80);
    TRng rng(9);
    RandomizePicture(picture, rng);
    const auto before = ClonePicture(picture);
    TPictureTiles tiles(picture);
    tiles.Save(picture, Rect(0, 0, 10, 10));

    TEffectsBitmap other(90, 80);
    tiles.Save(other, Rect(70, 0, 80, 10));
    TEffectsBitmap indexed(100, 80, pf8bit);
    tiles.Save(indexed, Rect(70, 0, 80, 10));
    EXPECT_EQ(tiles.TileCount(), 1);

    // Only the saved tile comes back; the picture takes the kept size first.
    Paint(picture, Rect(0, 0, 10, 10), TRGBTriple{1, 2, 3});
    picture.SetSize(30, 30);
    tiles.Restore(picture);
    EXPECT_EQ(picture.Width(), 100);
    EXPECT_EQ(picture.Height(), 80);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(PixelAt(picture, x, y), PixelAt(*before, x, y));
}

// Fills and colour replacement save what they change while a picture saves into tiles; the tiles
// that are never reached stay unsaved.
TEST(PictureTiles, FillsAndColourReplacementSaveWhatTheyChange)
{
    struct Case {
        const char* Name;
        std::function<void(TEffectsBitmap&)> Change;
        bool Everywhere; // every tile is reached
    };
    const TColor plain = RGB(40, 160, 90);
    const Case cases[] = {
        {"exact fill", [&](TEffectsBitmap& P) { P.FloodFill(20, 20, clRed, 0); }, false},
        {"tolerant fill", [&](TEffectsBitmap& P) { P.FloodFill(20, 20, clRed, 10); }, false},
        {"tolerant fill with a colour the seed matches", [&](TEffectsBitmap& P) { P.FloodFill(20, 20, RGB(42, 158, 91), 10); }, false},
        {"fill where every colour matches", [&](TEffectsBitmap& P) { P.FloodFill(20, 20, clRed, 255); }, true},
        {"colour replaced everywhere", [&](TEffectsBitmap& P) { P.ReplaceColour(plain, clBlue, 5); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        // Noise with a plain block in the top left, reaching into the second tile row and column.
        TEffectsBitmap picture(300, 200);
        TRng rng(4);
        RandomizePicture(picture, rng);
        Paint(picture, Rect(0, 0, 90, 80), ColorToTriple(plain));
        const auto before = ClonePicture(picture);
        TPictureTiles tiles(picture);
        picture.UndoTiles = &tiles;
        c.Change(picture);
        picture.UndoTiles = nullptr;
        EXPECT_FALSE(SamePixels(picture, *before));
        if (c.Everywhere)
            EXPECT_EQ(tiles.TileCount(), 5 * 4);
        else
            EXPECT_LT(tiles.TileCount(), 5 * 4);
        tiles.Restore(picture);
        EXPECT_TRUE(SamePixels(picture, *before));
    }
}
