#pragma once
// Memory budgets of decodes made only to show a picture small (thumbnails, previews).
//
// While a TDecodeBudgetScope is active on a thread, the decoders on that thread charge what they are
// about to allocate (bitmaps, GIF frame pixels, JPEG coefficient buffers) through
// ChargeDecodeMemory; a picture that needs more than its budget fails with EInvalidGraphic before
// the memory is taken. The decodes of all budgets together draw from one TDecodeMemoryPool, so that
// many of them at once stay within a bound too. Without a scope nothing is charged: a picture opened
// in full keeps only the size limits of CheckPictureSize.
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Bytes shared by every budgeted decode of the process.
class TDecodeMemoryPool {
public:
    explicit TDecodeMemoryPool(int64_t Total) : FTotal(Total) {}
    TDecodeMemoryPool(const TDecodeMemoryPool&) = delete;
    TDecodeMemoryPool& operator=(const TDecodeMemoryPool&) = delete;

    int64_t Total() const { return FTotal; }
    // Takes Bytes when they are free and nobody is waiting for a whole budget; never waits.
    bool TryTake(int64_t Bytes);
    // Takes Bytes (at most Total), waiting until they are free.
    void Take(int64_t Bytes);
    void Give(int64_t Bytes);
    int64_t Used() const;
    // Takes waiting for their bytes.
    int Waiting() const;

    // The pool of the thumbnail and preview decodes.
    static TDecodeMemoryPool& Shared();

private:
    const int64_t FTotal;
    mutable std::mutex FLock;
    std::condition_variable FFreed;
    int64_t FUsed = 0;
    int FWaiting = 0;
};

// What one picture shown small may take, and what it has taken. Its share of the pool is held until
// the budget is destroyed (or reset), so it lives as long as the decoded picture does.
class TDecodeBudget {
public:
    explicit TDecodeBudget(int64_t Limit, TDecodeMemoryPool* Pool = nullptr) : FLimit(Limit), FPool(Pool) {}
    ~TDecodeBudget() { Reset(); }
    TDecodeBudget(const TDecodeBudget&) = delete;
    TDecodeBudget& operator=(const TDecodeBudget&) = delete;

    int64_t Limit() const { return FLimit; }
    int64_t Charged() const { return FCharged; }
    // The pool had not enough free for a charge: the decode failed for want of shared memory, not
    // because the picture is too large. A retry after ReserveWhole will not meet this again.
    bool PoolRefused() const { return FPoolRefused; }

    // Gives the pool share back and starts counting again from nothing.
    void Reset();
    // Takes the whole budget from the pool at once, waiting for it: every later charge is covered.
    void ReserveWhole();

private:
    friend void ChargeDecodeMemory(int64_t Bytes);
    friend void ChargeDecodedPicture(int64_t W, int64_t H);
    void Charge(int64_t Bytes);
    const int64_t FLimit;
    TDecodeMemoryPool* const FPool;
    int64_t FCharged = 0;
    int64_t FAhead = 0;    // charged before it was allocated
    int64_t FReserved = 0; // taken from the pool
    bool FPoolRefused = false;
};

// Makes Budget the one this thread's decoders charge, until the scope ends.
class TDecodeBudgetScope {
public:
    explicit TDecodeBudgetScope(TDecodeBudget& Budget);
    ~TDecodeBudgetScope();
    TDecodeBudgetScope(const TDecodeBudgetScope&) = delete;
    TDecodeBudgetScope& operator=(const TDecodeBudgetScope&) = delete;

private:
    TDecodeBudget* FOuter;
};

// Counts Bytes about to be allocated against this thread's budget, unless an earlier
// ChargeDecodedPicture covers them; raises EInvalidGraphic when they do not fit in it (or in the
// pool). Does nothing without a budget.
void ChargeDecodeMemory(int64_t Bytes);
// A decoder that has just read a picture's size (a bitmap's, a GIF's screen) charges the 24-bit
// picture of W x H that a picture shown small is worked on, before it allocates anything: a header
// claiming a huge picture fails at once. The allocations that follow count against this first.
void ChargeDecodedPicture(int64_t W, int64_t H);
// The current budget's whole limit, or 0 without one.
int64_t DecodeMemoryLimit();
