#include "image/EffectsRowsImpl.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

namespace effects_impl {

int EffectThreadCount()
{
    if (const char* Env = std::getenv("CANVELLO_THREADS")) {
        int N = 0;
        const char* End = Env + std::strlen(Env);
        const auto [Ptr, Err] = std::from_chars(Env, End, N);
        if (Err == std::errc() && Ptr == End && N >= 1 && N <= 1024)
            return N;
    }
    cpu_set_t Set;
    CPU_ZERO(&Set);
    if (sched_getaffinity(0, sizeof(Set), &Set) == 0) {
        const int N = CPU_COUNT(&Set);
        if (N > 0)
            return N;
    }
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

namespace {

// Below this many pixels per thread the threads cost more than they save.
constexpr int64_t kMinWorkPerThread = 1 << 16;

int WorkerCount(int Chunks, int64_t TotalWork)
{
    const int hw = EffectThreadCount();
    const int64_t byWork = std::max<int64_t>(1, TotalWork / kMinWorkPerThread);
    return static_cast<int>(std::min<int64_t>({int64_t(hw), byWork, int64_t(Chunks)}));
}

} // namespace

void ParallelRows(int Count, int Grain, int64_t WorkPerItem, const std::function<void(int, int)>& Body,
                  const std::function<void()>& Step)
{
    if (Count <= 0)
        return;
    Grain = std::max(1, Grain);
    const int chunks = static_cast<int>((int64_t(Count) + Grain - 1) / Grain);
    const int workers = WorkerCount(chunks, int64_t(Count) * std::max<int64_t>(1, WorkPerItem));

    if (workers <= 1) {
        for (int begin = 0; begin < Count; begin += Grain) {
            const int end = std::min(Count, begin + Grain);
            Body(begin, end);
            if (Step)
                for (int i = begin; i < end; ++i)
                    Step();
        }
        return;
    }

    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::condition_variable changed;
    int done = 0;
    std::exception_ptr error;

    auto work = [&] {
        for (;;) {
            const int chunk = next.fetch_add(1, std::memory_order_relaxed);
            if (chunk >= chunks || stop.load(std::memory_order_relaxed))
                return;
            const int begin = chunk * Grain;
            const int end = std::min(Count, begin + Grain);
            try {
                Body(begin, end);
            } catch (...) {
                std::lock_guard<std::mutex> g(lock);
                if (!error)
                    error = std::current_exception();
                stop = true;
                changed.notify_one();
                return;
            }
            std::lock_guard<std::mutex> g(lock);
            done += end - begin;
            changed.notify_one();
        }
    };

    std::vector<std::thread> threads;
    threads.reserve(workers);
    try {
        for (int i = 0; i < workers; ++i)
            threads.emplace_back(work);
    } catch (...) {
        // Fewer threads than wanted: the ones that started share the work.
        if (threads.empty())
            throw;
    }

    int fired = 0;
    try {
        while (fired < Count) {
            int finished;
            {
                std::unique_lock<std::mutex> g(lock);
                changed.wait(g, [&] { return done > fired || error; });
                if (error)
                    break;
                finished = done;
            }
            for (; fired < finished; ++fired)
                if (Step)
                    Step();
        }
    } catch (...) {
        std::lock_guard<std::mutex> g(lock);
        if (!error)
            error = std::current_exception();
        stop = true;
    }
    for (auto& t : threads)
        t.join();
    if (error)
        std::rethrow_exception(error);
}

TMaskRows::TMaskRows(const TBool2DArray* Mask, int Width, int Height)
{
    CheckMaskCovers(Mask, Width, Height);
    if (Mask && Width > 0 && Height > 0)
        FMask = Mask;
}

void WrapErrors(const char* Prefix, const std::function<void()>& Work)
{
    try {
        Work();
    } catch (const Exception& e) {
        throw EXBitmapError(std::string(Prefix) + e.Message);
    } catch (const std::bad_alloc&) {
        throw EXBitmapError(std::string(Prefix) + "Out of memory");
    } catch (const std::exception& e) {
        throw EXBitmapError(std::string(Prefix) + e.what());
    }
}

TRGBTriple ColourTriple(TColor Colour)
{
    const TColor c = ColorToRGB(Colour);
    return TRGBTriple{GetBValue(c), GetGValue(c), GetRValue(c)};
}

std::vector<TRGBTriple*> RowTable(TBitmap& Bitmap)
{
    std::vector<TRGBTriple*> rows(Bitmap.Height());
    for (int y = 0; y < Bitmap.Height(); ++y)
        rows[y] = Bitmap.Row24(y);
    return rows;
}

void Make24(TBitmap& Dest, int Width, int Height)
{
    CheckPictureSize(Width, Height);
    Dest.SetPixelFormat(pf24bit);
    Dest.SetSize(Width, Height);
}

} // namespace effects_impl
