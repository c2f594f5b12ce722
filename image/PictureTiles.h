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
        uint8_t* Pixels; // Height rows of Width pixels, no padding, in one of the blocks
    };
    // Room for Bytes more in the last block, or a new block twice the last one's size (at most
    // kMaxBlock): a few large allocations instead of one per tile. The largest blocks ask for huge
    // pages, so that a fill over millions of pixels takes a few page faults instead of thousands.
    uint8_t* Allocate(size_t Bytes);
    struct TFreeBlock {
        void operator()(uint8_t* P) const;
    };
    static constexpr size_t kFirstBlock = size_t(8) * kTileSize * kTileSize * 3, kMaxBlock = size_t(4) << 20;
    int FWidth, FHeight;
    int FColumns, FRows;
    std::vector<uint8_t> FKept; // one flag per tile, row by row
    std::vector<TTile> FTiles;
    std::vector<std::unique_ptr<uint8_t, TFreeBlock>> FBlocks;
    size_t FBlockSize = 0, FBlockUsed = 0; // of the last block
    size_t FHeldBytes = 0;
};
