#pragma once
// The timer behind a selection's marching ants. Selections create their timers through one
// program-wide factory: by default a QTimer on the GUI thread's event loop; tests install a
// TManualAntsClock and move time on by hand.
#include <functional>
#include <memory>
#include <vector>

class IAntsTimer {
public:
    virtual ~IAntsTimer() = default;
    // A new timer is disabled; while enabled it calls its tick handler every interval. A timer may
    // be destroyed from inside its own tick handler.
    virtual void SetEnabled(bool Value) = 0;
    virtual bool Enabled() const = 0;
};

using TAntsTimerFactory = std::function<std::unique_ptr<IAntsTimer>(int IntervalMs, std::function<void()> OnTick)>;

// Replaces the factory; an empty one restores the QTimer factory. Returns the previous factory.
TAntsTimerFactory SetAntsTimerFactory(TAntsTimerFactory Factory);
std::unique_ptr<IAntsTimer> CreateAntsTimer(int IntervalMs, std::function<void()> OnTick);

// A clock for tests: while it exists, every ants timer created is one of its own, which ticks only
// when Advance moves the clock past its interval.
class TManualAntsClock {
public:
    TManualAntsClock();
    ~TManualAntsClock();
    TManualAntsClock(const TManualAntsClock&) = delete;
    TManualAntsClock& operator=(const TManualAntsClock&) = delete;

    // Moves time on by Ms milliseconds: each enabled timer ticks once for every whole interval
    // completed since it was enabled.
    void Advance(int Ms);
    // Timers alive, and of those the enabled ones.
    int Timers() const;
    int EnabledTimers() const;

    struct TState;

private:
    std::vector<std::weak_ptr<TState>> FTimers;
    TAntsTimerFactory FPrevious;
};
