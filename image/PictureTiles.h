#pragma once
// The pixels of a 24-bit picture kept tile by tile, each tile copied just before its first change,
// so that they can be put back later: what the undo step of a stroke keeps. Its cost and memory
// follow the area the stroke touches, never the picture's size.
#include "platform/Graphics.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TPictureTiles {
public:
    // Sides of a tile in pixels (the tiles of the right and bottom edges may be smaller).
    static constexpr int kTileSize = 64;

    // Tiles of Picture's size; nothing is kept yet.
    explicit TPictureTiles(const TBitmap& Picture);
    TPictureTiles(const TPictureTiles&) = delete;
    TPictureTiles& operator=(const TPictureTiles&) = delete;

    // Only 24-bit pictures are kept this way.
    static bool Accepts(const TBitmap& Picture) { return Picture.PixelFormat() == pf24bit; }

    // Copies out every tile that R (clipped to the picture) reaches and that is not kept yet. A
    // picture of another size or format than the one the tiles were made for keeps nothing.
    void Save(const TBitmap& Picture, const TRect& R);
    // Puts every kept tile back, giving Picture the kept size and 24 bits first when it has others.
    void Restore(TBitmap& Picture) const;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int TileCount() const { return static_cast<int>(FTiles.size()); }
    // The bytes of pixels kept.
    size_t HeldBytes() const { return FHeldBytes; }

private:
    struct TTile {
        int Left, Top, Width, Height;
        std::unique_ptr<uint8_t[]> Pixels; // Height rows of Width pixels, no padding
    };
    int FWidth, FHeight;
    int FColumns, FRows;
    std::vector<uint8_t> FKept; // one flag per tile, row by row
    std::vector<TTile> FTiles;
    size_t FHeldBytes = 0;
};
