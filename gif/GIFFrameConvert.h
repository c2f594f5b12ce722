#pragma once
// Helpers of turning pictures into frames and frames into bitmaps.
#include "gif/GIFTypes.h"

// Maps 24-bit colours to colour-map indices, adding colours it has not seen. A ring of the eight
// most recent (colour, index) pairs spares most searches of the map: a lookup walks backward from
// the current position until it meets an empty pair or has tried all eight; a hit becomes the
// current position, a miss is added to the map and stored after the current position.
// More than 256 colours raise "Color table overflow".
class TGIFColorCache {
public:
    explicit TGIFColorCache(TGIFColorMap& Map) : FMap(Map) {}
    int IndexOf(TColor Color)
    {
        int P = FPosition;
        for (int n = 0; n < 8; ++n) {
            if (FPairs[P].Index < 0)
                break;
            if (FPairs[P].Color == Color) {
                FPosition = P;
                return FPairs[P].Index;
            }
            P = (P + 7) & 7;
        }
        const int Index = FMap.AddUnique(Color);
        FPosition = (FPosition + 1) & 7;
        FPairs[FPosition] = {Color, Index};
        return Index;
    }

private:
    struct TPair {
        TColor Color = 0;
        int Index = -1;
    };
    TGIFColorMap& FMap;
    TPair FPairs[8];
    int FPosition = 0;
};

// Bytes per row of a frame's transparency mask buffer: rows padded to 16 bits.
inline int MaskRowBytes(int Width) { return ((Width + 15) / 16) * 2; }
