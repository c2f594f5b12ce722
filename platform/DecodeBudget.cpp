// Memory budgets of decodes made only to show a picture small.
#include "platform/DecodeBudget.h"

#include "platform/SysUtils.h"

#include <algorithm>

namespace {
thread_local TDecodeBudget* CurrentBudget = nullptr;

// What all the thumbnail and preview decodes of the program may hold at once.
constexpr int64_t kSharedPoolBytes = int64_t(1) << 30;
} // namespace

// ---- Pool ------------------------------------------------------------------------------------------

bool TDecodeMemoryPool::TryTake(int64_t Bytes)
{
    std::lock_guard Lock(FLock);
    // Someone waiting for a whole budget goes first; small takes would otherwise keep it waiting.
    if (FWaiting > 0 || FUsed + Bytes > FTotal)
        return false;
    FUsed += Bytes;
    return true;
}

void TDecodeMemoryPool::Take(int64_t Bytes)
{
    Bytes = std::min(Bytes, FTotal);
    std::unique_lock Lock(FLock);
    ++FWaiting;
    FFreed.wait(Lock, [&] { return FUsed + Bytes <= FTotal; });
    --FWaiting;
    FUsed += Bytes;
}

void TDecodeMemoryPool::Give(int64_t Bytes)
{
    {
        std::lock_guard Lock(FLock);
        FUsed -= Bytes;
    }
    FFreed.notify_all();
}

int64_t TDecodeMemoryPool::Used() const
{
    std::lock_guard Lock(FLock);
    return FUsed;
}

int TDecodeMemoryPool::Waiting() const
{
    std::lock_guard Lock(FLock);
    return FWaiting;
}

TDecodeMemoryPool& TDecodeMemoryPool::Shared()
{
    static TDecodeMemoryPool Pool(kSharedPoolBytes);
    return Pool;
}

// ---- Budget ----------------------------------------------------------------------------------------

void TDecodeBudget::Reset()
{
    if (FPool && FReserved > 0)
        FPool->Give(FReserved);
    FReserved = 0;
    FCharged = 0;
    FAhead = 0;
    FPoolRefused = false;
}

void TDecodeBudget::ReserveWhole()
{
    Reset();
    if (!FPool)
        return;
    const int64_t Whole = std::min(FLimit, FPool->Total());
    FPool->Take(Whole);
    FReserved = Whole;
}

TDecodeBudgetScope::TDecodeBudgetScope(TDecodeBudget& Budget) : FOuter(CurrentBudget)
{
    CurrentBudget = &Budget;
}

TDecodeBudgetScope::~TDecodeBudgetScope()
{
    CurrentBudget = FOuter;
}

void TDecodeBudget::Charge(int64_t Bytes)
{
    if (Bytes > FLimit - FCharged)
        throw EInvalidGraphic(Format("Picture needs more than %d MB to be shown small", static_cast<int>(FLimit >> 20)));
    if (FPool && FCharged + Bytes > FReserved) {
        const int64_t More = FCharged + Bytes - FReserved;
        if (!FPool->TryTake(More)) {
            FPoolRefused = true;
            throw EInvalidGraphic("Not enough memory free to show the picture small just now");
        }
        FReserved += More;
    }
    FCharged += Bytes;
}

void ChargeDecodeMemory(int64_t Bytes)
{
    TDecodeBudget* B = CurrentBudget;
    if (!B || Bytes <= 0)
        return;
    const int64_t Covered = std::min(Bytes, B->FAhead);
    B->FAhead -= Covered;
    B->Charge(Bytes - Covered);
}

void ChargeDecodedPicture(int64_t W, int64_t H)
{
    TDecodeBudget* B = CurrentBudget;
    if (!B || W <= 0 || H <= 0)
        return;
    // W and H are within CheckPictureSize's limits, so this cannot overflow.
    const int64_t Bytes = W * H * 3;
    B->Charge(Bytes);
    B->FAhead += Bytes;
}

int64_t DecodeMemoryLimit()
{
    return CurrentBudget ? CurrentBudget->Limit() : 0;
}
