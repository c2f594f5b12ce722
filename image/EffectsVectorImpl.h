#pragma once
// Four-lane single-precision arithmetic for the filter loops. Each lane computes exactly what the
// scalar expression would (same operations in the same order), so vector and scalar paths agree
// bit for bit.
#include <cstddef>
#include <cstring>

namespace effects_impl {

typedef float TFloat4 __attribute__((vector_size(16)));

inline TFloat4 Load4(const float* P)
{
    TFloat4 v;
    std::memcpy(&v, P, sizeof v);
    return v;
}
inline void Store4(float* P, TFloat4 V) { std::memcpy(P, &V, sizeof V); }
inline TFloat4 Splat4(float F) { return TFloat4{F, F, F, F}; }

// Out[i] := sum over t = 0 .. Taps-1, in that order, of Weights[t] * Base[i + t * Stride], for
// i = 0 .. Count-1; each sum starts from 0.
inline void Convolve(const float* Base, ptrdiff_t Stride, const float* Weights, int Taps, float* Out, int Count)
{
    int i = 0;
    for (; i + 16 <= Count; i += 16) {
        TFloat4 a0 = Splat4(0), a1 = a0, a2 = a0, a3 = a0;
        for (int t = 0; t < Taps; ++t) {
            const float* p = Base + i + t * Stride;
            const TFloat4 w = Splat4(Weights[t]);
            a0 += w * Load4(p);
            a1 += w * Load4(p + 4);
            a2 += w * Load4(p + 8);
            a3 += w * Load4(p + 12);
        }
        Store4(Out + i, a0);
        Store4(Out + i + 4, a1);
        Store4(Out + i + 8, a2);
        Store4(Out + i + 12, a3);
    }
    for (; i + 4 <= Count; i += 4) {
        TFloat4 a = Splat4(0);
        for (int t = 0; t < Taps; ++t)
            a += Splat4(Weights[t]) * Load4(Base + i + t * Stride);
        Store4(Out + i, a);
    }
    for (; i < Count; ++i) {
        float a = 0;
        for (int t = 0; t < Taps; ++t)
            a += Weights[t] * Base[i + t * Stride];
        Out[i] = a;
    }
}

} // namespace effects_impl
