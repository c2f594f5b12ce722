#pragma once
// Pixel access shared by the bitmap, the BMP codec and the canvas: rows decoded to and encoded from
// 32-bit BGRA in every pixel format, nearest colour-table lookups and the binary raster operations.
#include "platform/Graphics.h"

#include <array>
#include <cstdint>
#include <vector>

namespace pixelrows {

// Bytes of one row of W pixels at Bpp bits, padded to 4 bytes.
inline int64_t RowStride(int64_t W, int Bpp) { return ((W * Bpp + 31) / 32) * 4; }

// Storage format of a pixel format: pfDevice is kept as 24 bits.
inline TPixelFormat StoredFormat(TPixelFormat pf) { return pf == pfDevice ? pf24bit : pf; }

inline bool IsIndexed(TPixelFormat pf) { return pf == pf1bit || pf == pf4bit || pf == pf8bit; }

// Palette index X of an indexed row (Bpp 1, 4 or 8; the leftmost pixel in the high bits).
inline unsigned GetIndex(const uint8_t* Row, int X, int Bpp)
{
    switch (Bpp) {
    case 1: return (Row[X >> 3] >> (7 - (X & 7))) & 1u;
    case 4: return (X & 1) ? Row[X >> 1] & 0x0Fu : Row[X >> 1] >> 4;
    default: return Row[X];
    }
}
inline void SetIndex(uint8_t* Row, int X, int Bpp, unsigned V)
{
    switch (Bpp) {
    case 1: {
        const uint8_t bit = uint8_t(0x80u >> (X & 7));
        Row[X >> 3] = V & 1u ? uint8_t(Row[X >> 3] | bit) : uint8_t(Row[X >> 3] & ~bit);
        break;
    }
    case 4:
        Row[X >> 1] = (X & 1) ? uint8_t((Row[X >> 1] & 0xF0u) | (V & 0x0Fu))
                              : uint8_t((Row[X >> 1] & 0x0Fu) | ((V & 0x0Fu) << 4));
        break;
    default: Row[X] = uint8_t(V); break;
    }
}

// 5 and 6-bit channels widened to 8 bits with rounding, as a BMP reader scales them (31 -> 255, 3 -> 25).
inline uint8_t Expand5(unsigned V) { return uint8_t((V * 255 + 15) / 31); }
inline uint8_t Expand6(unsigned V) { return uint8_t((V * 255 + 31) / 63); }

inline TColor QuadColor(const TRGBQuad& Q) { return RGB(Q.rgbRed, Q.rgbGreen, Q.rgbBlue); }
inline TRGBQuad ColorQuad(TColor C)
{
    return TRGBQuad{GetBValue(C), GetGValue(C), GetRValue(C), 255};
}

// The colour-table entries every indexed format starts with: black and white; the sixteen
// standard colours; those sixteen, a 6 x 6 x 6 colour cube and a grey ramp.
const std::vector<TRGBQuad>& DefaultPalette(int Bpp);

// Nearest colour-table entry (smallest squared RGB distance, lowest index on ties), with a small
// cache of recent answers. An empty table answers 0.
class TNearestColor {
public:
    explicit TNearestColor(const std::vector<TRGBQuad>& Palette) : FPalette(Palette) { FCache.fill({}); }
    unsigned Index(uint8_t R, uint8_t G, uint8_t B);

private:
    struct Slot {
        uint32_t Key = 0; // RGB | 0x1000000 when filled
        uint8_t Index = 0;
    };
    const std::vector<TRGBQuad>& FPalette;
    std::array<Slot, 4096> FCache;
};

// Count pixels of Row from column X0 as BGRA (alpha 255 except in 32-bit rows; indices past the end
// of the colour table give black).
void DecodeRow(TPixelFormat pf, const std::vector<TRGBQuad>& Palette, const uint8_t* Row, int X0,
               int Count, TRGBQuad* Out);
// Count BGRA pixels into Row from column X0; indexed formats take the nearest entry of Nearest's table.
void EncodeRow(TPixelFormat pf, TNearestColor* Nearest, const TRGBQuad* In, int X0, int Count, uint8_t* Row);

// The binary raster operation of a pen mode on packed 24-bit values.
inline uint32_t RasterOp(TPenMode Mode, uint32_t P, uint32_t D)
{
    uint32_t r;
    switch (Mode) {
    case pmBlack: r = 0; break;
    case pmWhite: r = ~0u; break;
    case pmNop: r = D; break;
    case pmNot: r = ~D; break;
    case pmCopy: r = P; break;
    case pmNotCopy: r = ~P; break;
    case pmMergePenNot: r = P | ~D; break;
    case pmMaskPenNot: r = P & ~D; break;
    case pmMergeNotPen: r = ~P | D; break;
    case pmMaskNotPen: r = ~P & D; break;
    case pmMerge: r = P | D; break;
    case pmNotMerge: r = ~(P | D); break;
    case pmMask: r = P & D; break;
    case pmNotMask: r = ~(P & D); break;
    case pmXor: r = P ^ D; break;
    default: r = ~(P ^ D); break; // pmNotXor
    }
    return r & 0xFFFFFFu;
}

} // namespace pixelrows
