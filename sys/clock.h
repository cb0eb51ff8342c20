#pragma once
// The installer's one source of time: sleeping, the tick clock, local time for log stamps and the
// C runtime's rand() draws behind the back-off waits. Production code calls the free functions;
// a test installs its own Clock so that long waits cost nothing and can be asserted.
#include <windows.h>

class Clock {
public:
    virtual ~Clock() = default;
    virtual void Sleep(DWORD milliseconds) = 0;
    virtual ULONGLONG TickCount() = 0;
    virtual SYSTEMTIME LocalTime() = 0;
    virtual int Rand() = 0;
};

// The system's clock: ::Sleep, GetTickCount64, GetLocalTime and the C runtime's rand().
Clock& SystemClock();

// Installs `clock` for the whole process (nullptr restores the system clock); returns the previous.
Clock* SetClock(Clock* clock);

void SleepFor(DWORD milliseconds);
ULONGLONG TickCountNow();
SYSTEMTIME LocalTimeNow();
int DrawRandom();
