#pragma once
// The reference programs' pixel buffers, mapped as Canvello's big bitmaps are, and the memory every
// timed run (Canvello's too) takes and gives back just before its clock starts.
#include "../../platform/HugePages.h"

#include <cstddef>
#include <cstdlib>

// Bytes bytes allocated and mapped as Canvello's bitmaps of 4 MB and more are (huge pages, every
// page mapped before the first touch), their bytes not set: the caller writes them all.
class TPixelBuffer {
public:
    explicit TPixelBuffer(size_t Bytes) : FData(static_cast<unsigned char*>(AllocateOnHugePages(Bytes))), FSize(Bytes)
    {
        MapPagesNow(FData, Bytes);
    }
    ~TPixelBuffer() { std::free(FData); }
    TPixelBuffer(const TPixelBuffer&) = delete;
    TPixelBuffer& operator=(const TPixelBuffer&) = delete;
    unsigned char* data() const { return FData; }
    size_t size() const { return FSize; }

private:
    unsigned char* FData;
    size_t FSize;
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
