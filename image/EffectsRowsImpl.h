#pragma once
// Shared machinery of the picture effects: rows on several threads with progress on the calling
// thread, row-major mask access and the wrapping of failures into EXBitmapError.
#include "image/EffectsBitmap.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace effects_impl {

// Rows per chunk of work handed to a thread by the row-wise effects.
constexpr int kRowGrain = 8;

// The number of threads the effects may use: CANVELLO_THREADS when it holds a whole number from 1 to
// 1024, else the CPUs this process may run on (its affinity mask), so that a benchmark or a user can
// set the count and a process confined to fewer CPUs does not start more threads than it can run.
int EffectThreadCount();

// Runs Body(Begin, End) over [0, Count) in chunks of Grain items, on worker threads when the work
// (Count x WorkPerItem, in pixels) is large enough. The calling thread fires Step once per finished
// item until all Count items are done; the order of the items never changes a result, so Body must
// only write what its own items own. An exception from Body or Step stops the remaining chunks and
// is raised again on the calling thread once every worker has finished.
void ParallelRows(int Count, int Grain, int64_t WorkPerItem, const std::function<void(int, int)>& Body,
                  const std::function<void()>& Step);

// The rows of a mask (null for no mask). A mask smaller than Width x Height raises the mask's own
// "GetItem - Invalid Index" before anything is changed.
class TMaskRows {
public:
    TMaskRows(const TBool2DArray* Mask, int Width, int Height);
    // Row Y of the mask (true = masked), or null without a mask.
    const bool* Row(int Y) const { return FMask ? FMask->Row(Y) : nullptr; }
    // Distance between one row's items and the next row's.
    ptrdiff_t Stride() const { return FMask ? FMask->Width : 0; }
    bool Empty() const { return !FMask; }

private:
    const TBool2DArray* FMask = nullptr;
};

// Runs Work; any exception it raises becomes EXBitmapError with Prefix followed by the exception's
// message (out of memory gives "Out of memory").
void WrapErrors(const char* Prefix, const std::function<void()>& Work);

// A plain colour as pixel bytes (system colours resolved first).
TRGBTriple ColourTriple(TColor Colour);

// The rows of a 24-bit bitmap, taken on the calling thread before any worker starts.
std::vector<TRGBTriple*> RowTable(TBitmap& Bitmap);

// Makes Dest a 24-bit Width x Height bitmap; its pixels are left for the caller to fill.
void Make24(TBitmap& Dest, int Width, int Height);

} // namespace effects_impl
