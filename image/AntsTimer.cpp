#include "image/AntsTimer.h"

#include <QTimer>

#include <algorithm>

namespace {

class TQtAntsTimer final : public IAntsTimer {
public:
    TQtAntsTimer(int IntervalMs, std::function<void()> OnTick)
        : FTimer(new QTimer), FOnTick(std::move(OnTick)), FAlive(std::make_shared<bool>(true))
    {
        FTimer->setInterval(IntervalMs);
        QObject::connect(FTimer, &QTimer::timeout, [this] {
            // Copies: the handler may destroy this timer.
            const std::shared_ptr<bool> alive = FAlive;
            const std::function<void()> tick = FOnTick;
            FInTick = true;
            if (tick)
                tick();
            if (*alive)
                FInTick = false;
        });
    }
    ~TQtAntsTimer() override
    {
        *FAlive = false;
        FTimer->stop();
        FTimer->disconnect();
        // A timer destroyed from inside its own timeout goes once the signal has returned.
        if (FInTick)
            FTimer->deleteLater();
        else
            delete FTimer;
    }
    void SetEnabled(bool Value) override
    {
        if (Value)
            FTimer->start();
        else
            FTimer->stop();
    }
    bool Enabled() const override { return FTimer->isActive(); }

private:
    QTimer* FTimer;
    std::function<void()> FOnTick;
    std::shared_ptr<bool> FAlive;
    bool FInTick = false;
};

TAntsTimerFactory QtFactory()
{
    return [](int IntervalMs, std::function<void()> OnTick) -> std::unique_ptr<IAntsTimer> {
        return std::make_unique<TQtAntsTimer>(IntervalMs, std::move(OnTick));
    };
}

TAntsTimerFactory& CurrentFactory()
{
    static TAntsTimerFactory factory = QtFactory();
    return factory;
}

} // namespace

TAntsTimerFactory SetAntsTimerFactory(TAntsTimerFactory Factory)
{
    TAntsTimerFactory previous = std::move(CurrentFactory());
    CurrentFactory() = Factory ? std::move(Factory) : QtFactory();
    return previous;
}

std::unique_ptr<IAntsTimer> CreateAntsTimer(int IntervalMs, std::function<void()> OnTick)
{
    return CurrentFactory()(IntervalMs, std::move(OnTick));
}

// ---- Manual clock ------------------------------------------------------------------------------------

struct TManualAntsClock::TState {
    int Interval = 0;
    int Elapsed = 0;
    bool Enabled = false;
    bool Alive = true;
    std::function<void()> OnTick;
};

namespace {

class TManualAntsTimer final : public IAntsTimer {
public:
    explicit TManualAntsTimer(std::shared_ptr<TManualAntsClock::TState> State) : FState(std::move(State)) {}
    ~TManualAntsTimer() override { FState->Alive = false; }
    void SetEnabled(bool Value) override
    {
        if (Value && !FState->Enabled)
            FState->Elapsed = 0;
        FState->Enabled = Value;
    }
    bool Enabled() const override { return FState->Enabled; }

private:
    std::shared_ptr<TManualAntsClock::TState> FState;
};

} // namespace

TManualAntsClock::TManualAntsClock()
{
    FPrevious = SetAntsTimerFactory([this](int IntervalMs, std::function<void()> OnTick) -> std::unique_ptr<IAntsTimer> {
        auto state = std::make_shared<TState>();
        state->Interval = std::max(IntervalMs, 1);
        state->OnTick = std::move(OnTick);
        FTimers.push_back(state);
        return std::make_unique<TManualAntsTimer>(state);
    });
}

TManualAntsClock::~TManualAntsClock() { SetAntsTimerFactory(std::move(FPrevious)); }

void TManualAntsClock::Advance(int Ms)
{
    // Ticks may create and destroy timers; work on the timers alive now.
    std::vector<std::shared_ptr<TState>> timers;
    for (const auto& w : FTimers)
        if (auto s = w.lock(); s && s->Alive)
            timers.push_back(std::move(s));
    for (const auto& s : timers) {
        if (!s->Alive || !s->Enabled)
            continue;
        s->Elapsed += Ms;
        while (s->Alive && s->Enabled && s->Elapsed >= s->Interval) {
            s->Elapsed -= s->Interval;
            if (s->OnTick)
                s->OnTick();
        }
    }
    std::erase_if(FTimers, [](const std::weak_ptr<TState>& w) {
        const auto s = w.lock();
        return !s || !s->Alive;
    });
}

int TManualAntsClock::Timers() const
{
    return int(std::count_if(FTimers.begin(), FTimers.end(), [](const std::weak_ptr<TState>& w) {
        const auto s = w.lock();
        return s && s->Alive;
    }));
}

int TManualAntsClock::EnabledTimers() const
{
    return int(std::count_if(FTimers.begin(), FTimers.end(), [](const std::weak_ptr<TState>& w) {
        const auto s = w.lock();
        return s && s->Alive && s->Enabled;
    }));
}
