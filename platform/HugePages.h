#pragma once
// Memory for big pixel buffers: allocations that ask the kernel for huge pages, and mapping pages
// before their first touch. Header only, so that the benchmarks' reference programs allocate alike.
#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

inline constexpr size_t kHugePageBytes = size_t(2) << 20;

// Bytes bytes starting on a huge-page boundary, freed with std::free; every whole huge page of them
// is asked for in huge pages (a fault per 2 MB rather than per 4 KB at the first touch).
inline void* AllocateOnHugePages(size_t Bytes)
{
    void* p = nullptr;
    if (posix_memalign(&p, kHugePageBytes, Bytes) != 0)
        throw std::bad_alloc();
    if (const size_t whole = Bytes & ~(kHugePageBytes - 1); whole > 0)
        madvise(p, whole, MADV_HUGEPAGE);
    return p;
}

// The first and the end address of the whole 4 KB pages of [P, P + Bytes).
inline std::pair<uintptr_t, uintptr_t> WholePages(void* P, size_t Bytes)
{
    constexpr uintptr_t kPage = 4096;
    const uintptr_t data = reinterpret_cast<uintptr_t>(P);
    return {(data + kPage - 1) & ~(kPage - 1), (data + Bytes) & ~(kPage - 1)};
}

// Maps the whole pages of [P, P + Bytes) now, many a call instead of a fault each; a kernel without
// the call simply leaves them to fault. The call holds the process's memory map while it works, so a
// big buffer is mapped a few megabytes at a time: another thread's allocation (a window's paint) is
// never kept waiting long.
inline void MapPagesNow(void* P, size_t Bytes)
{
#ifdef MADV_POPULATE_WRITE
    constexpr size_t kStep = size_t(8) << 20;
    const auto [first, last] = WholePages(P, Bytes);
    for (uintptr_t at = first; at < last; at += kStep)
        madvise(reinterpret_cast<void*>(at), std::min<size_t>(kStep, last - at), MADV_POPULATE_WRITE);
#else
    (void)P;
    (void)Bytes;
#endif
}

// Leaves the whole pages of [P, P + Bytes) to small pages, for a buffer whose rows several threads
// touch first: each thread then clears only its own pages, at once. A huge page would be cleared
// whole by whichever thread touches it first, and, where memory is fragmented, only after the kernel
// has compacted room for it (measured here: a 72 MB copy on eight threads took 40-50 ms into fresh
// huge pages, 9 ms into small ones).
inline void KeepPagesSmall(void* P, size_t Bytes)
{
    const auto [first, last] = WholePages(P, Bytes);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_NOHUGEPAGE);
}
