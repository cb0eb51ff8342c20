#include "sys/clock.h"

#include <atomic>
#include <cstdlib>

#include "sys/never_destroyed.h"

namespace {

class RealClock final : public Clock {
public:
    void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
    ULONGLONG TickCount() override { return ::GetTickCount64(); }
    SYSTEMTIME LocalTime() override {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        return now;
    }
    int Rand() override { return std::rand(); }
};

// Never destroyed: a worker may sleep or log while the process ends.
NeverDestroyed<RealClock> realClock;
std::atomic<Clock*> current{&realClock.get()};

}  // namespace

Clock& SystemClock() { return *realClock; }

Clock* SetClock(Clock* clock) { return current.exchange(clock ? clock : &realClock.get()); }

void SleepFor(DWORD milliseconds) { current.load()->Sleep(milliseconds); }
ULONGLONG TickCountNow() { return current.load()->TickCount(); }
SYSTEMTIME LocalTimeNow() { return current.load()->LocalTime(); }
int DrawRandom() { return current.load()->Rand(); }
