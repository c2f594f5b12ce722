#pragma once
// The reference programs' pixel buffers, mapped as Canvello's big bitmaps are, and the memory every
// timed run (Canvello's too) takes and gives back just before its clock starts.
#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

// Bytes bytes in whole 2 MB-aligned huge pages, every page mapped in a few calls before the first
// touch and no byte set by the program (the kernel's pages come zeroed), as Canvello's bitmaps of
// 4 MB and more are.
class TPixelBuffer {
public:
    explicit TPixelBuffer(size_t Bytes) : FSize(Bytes)
    {
        constexpr size_t Huge = size_t(2) << 20, Step = size_t(8) << 20;
        FMapped = (Bytes + Huge - 1) / Huge * Huge;
        void* P = mmap(nullptr, FMapped + Huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (P == MAP_FAILED)
            throw std::bad_alloc();
        const uintptr_t Start = reinterpret_cast<uintptr_t>(P), Aligned = (Start + Huge - 1) & ~(Huge - 1);
        if (Aligned > Start)
            munmap(P, Aligned - Start);
        if (const size_t Tail = Start + FMapped + Huge - (Aligned + FMapped); Tail > 0)
            munmap(reinterpret_cast<void*>(Aligned + FMapped), Tail);
        FData = reinterpret_cast<unsigned char*>(Aligned);
        madvise(FData, FMapped, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
        for (size_t At = 0; At < FMapped; At += Step)
            madvise(FData + At, std::min(Step, FMapped - At), MADV_POPULATE_WRITE);
#endif
    }
    ~TPixelBuffer() { munmap(FData, FMapped); }
    TPixelBuffer(const TPixelBuffer&) = delete;
    TPixelBuffer& operator=(const TPixelBuffer&) = delete;
    unsigned char* data() const { return FData; }
    size_t size() const { return FSize; }

private:
    unsigned char* FData = nullptr;
    size_t FSize = 0, FMapped = 0;
};

// Takes and frees BENCH_WARM_MB megabytes (none when unset), to be called just before a clock
// starts. A virtual machine may hand memory that has stayed free for a moment back to its host, and
// taking it again then costs up to a few milliseconds per 2 MB: without this, that cost falls on
// whichever side allocates later after the previous run, not on the work timed. Memory just freed
// is what the timed work's allocations get next, on every side alike.
inline void WarmFreshMemory()
{
    const char* Value = std::getenv("BENCH_WARM_MB");
    const long Megabytes = Value ? std::atol(Value) : 0;
    if (Megabytes > 0) {
        TPixelBuffer Taken(size_t(Megabytes) << 20);
        for (size_t At = 0; At < Taken.size(); At += 4096)
            Taken.data()[At] = 1; // touched, also where the kernel gives no early mapping
    }
}
