#pragma once
// The reference programs' pixel buffers, allocated as Canvello's bitmaps are.
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// A buffer of Bytes zero bytes, asking for huge pages before the first touch as Canvello's bitmaps
// do: in 4 KB pages a 6000 x 4000 picture's page faults alone cost more than its decode.
inline std::vector<unsigned char> PixelBuffer(size_t Bytes)
{
    std::vector<unsigned char> V;
    constexpr size_t Huge = size_t(2) << 20;
    V.reserve(Bytes);
    const uintptr_t Begin = (reinterpret_cast<uintptr_t>(V.data()) + Huge - 1) & ~(Huge - 1);
    const uintptr_t End = (reinterpret_cast<uintptr_t>(V.data()) + Bytes) & ~(Huge - 1);
    if (Bytes >= 2 * Huge && End > Begin)
        madvise(reinterpret_cast<void*>(Begin), End - Begin, MADV_HUGEPAGE);
    V.resize(Bytes);
    return V;
}
