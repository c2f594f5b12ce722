#include "image/PictureTiles.h"

#include "platform/HugePages.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

TPictureTiles::TPictureTiles(const TBitmap& Picture)
    : FWidth(std::max(Picture.Width(), 0)), FHeight(std::max(Picture.Height(), 0)),
      FColumns((FWidth + kTileSize - 1) / kTileSize), FRows((FHeight + kTileSize - 1) / kTileSize),
      FKept(size_t(FColumns) * size_t(FRows), 0)
{
}

void TPictureTiles::TFreeBlock::operator()(uint8_t* P) const { std::free(P); }

uint8_t* TPictureTiles::Allocate(size_t Bytes)
{
    if (FBlocks.empty() || FBlockSize - FBlockUsed < Bytes) {
        const size_t size = FBlocks.empty() ? kFirstBlock : std::min(2 * FBlockSize, kMaxBlock);
        void* block = size >= kMaxBlock ? AllocateOnHugePages(size) : std::malloc(size);
        if (!block)
            throw std::bad_alloc();
        FBlocks.emplace_back(static_cast<uint8_t*>(block));
        FBlockSize = size;
        FBlockUsed = 0;
    }
    uint8_t* result = FBlocks.back().get() + FBlockUsed;
    FBlockUsed += Bytes;
    return result;
}

void TPictureTiles::Save(const TBitmap& Picture, const TRect& R)
{
    if (Picture.Width() != FWidth || Picture.Height() != FHeight || !Accepts(Picture))
        return;
    const int left = std::max(R.Left, 0), top = std::max(R.Top, 0);
    const int right = std::min(R.Right, FWidth), bottom = std::min(R.Bottom, FHeight);
    if (left >= right || top >= bottom)
        return;
    for (int ty = top / kTileSize; ty <= (bottom - 1) / kTileSize; ++ty)
        for (int tx = left / kTileSize; tx <= (right - 1) / kTileSize; ++tx) {
            uint8_t& kept = FKept[size_t(ty) * size_t(FColumns) + size_t(tx)];
            if (kept)
                continue;
            TTile tile{tx * kTileSize, ty * kTileSize, 0, 0, nullptr};
            tile.Width = std::min(kTileSize, FWidth - tile.Left);
            tile.Height = std::min(kTileSize, FHeight - tile.Top);
            const size_t rowBytes = size_t(tile.Width) * 3;
            tile.Pixels = Allocate(rowBytes * size_t(tile.Height));
            for (int y = 0; y < tile.Height; ++y)
                std::memcpy(tile.Pixels + rowBytes * size_t(y), Picture.ScanLine(tile.Top + y) + size_t(tile.Left) * 3,
                            rowBytes);
            FTiles.push_back(tile);
            FHeldBytes += rowBytes * size_t(tile.Height);
            kept = 1;
        }
}

void TPictureTiles::Restore(TBitmap& Picture) const
{
    if (Picture.Width() != FWidth || Picture.Height() != FHeight)
        Picture.SetSize(FWidth, FHeight);
    if (!Accepts(Picture))
        Picture.SetPixelFormat(pf24bit);
    for (const TTile& tile : FTiles) {
        const size_t rowBytes = size_t(tile.Width) * 3;
        for (int y = 0; y < tile.Height; ++y)
            std::memcpy(Picture.ScanLine(tile.Top + y) + size_t(tile.Left) * 3, tile.Pixels + rowBytes * size_t(y),
                        rowBytes);
    }
}
