#pragma once
// Generated pictures shared by the benchmark programs.
#include "platform/Graphics.h"

#include <algorithm>
#include <cstdint>

// Smooth gradients with a little noise: compresses and filters like a photo, not like a flat test card.
inline void PaintPhotoLike(TBitmap& Bmp)
{
    uint32_t Seed = 12345;
    for (int Y = 0; Y < Bmp.Height(); ++Y) {
        TRGBTriple* Row = Bmp.Row24(Y);
        for (int X = 0; X < Bmp.Width(); ++X) {
            Seed = Seed * 1664525u + 1013904223u;
            const int Noise = static_cast<int>(Seed >> 28) - 8;
            auto Channel = [Noise](int V) { return static_cast<uint8_t>(std::clamp(V + Noise, 0, 255)); };
            Row[X] = {Channel((X * 255) / Bmp.Width()), Channel(((X + Y) * 127) / (Bmp.Width() + Bmp.Height()) + 64),
                      Channel((Y * 255) / Bmp.Height())};
        }
    }
}
