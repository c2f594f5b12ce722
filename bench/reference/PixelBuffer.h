#pragma once
// The reference programs' pixel buffers, allocated as Canvello's bitmaps are, and the memory every
// timed run (Canvello's too) takes and gives back just before its clock starts.
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

// Touches and frees BENCH_WARM_MB megabytes (none when unset), to be called just before a clock
// starts. A virtual machine may hand memory that has stayed free for a moment back to its host, and
// taking it again then costs up to a few milliseconds per 2 MB: without this, that cost falls on
// whichever side allocates later after the previous run, not on the work timed. Memory just freed
// is what the timed work's allocations get next, on every side alike.
inline void WarmFreshMemory()
{
    const char* Value = std::getenv("BENCH_WARM_MB");
    const long Megabytes = Value ? std::atol(Value) : 0;
    if (Megabytes > 0)
        PixelBuffer(size_t(Megabytes) << 20);
}
