#pragma once
// Helpers shared by the test executables: a clock that records instead of sleeping, scratch
// folders, reading the install log, and starting fixture programs.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "sys/clock.h"
#include "sys/handle.h"

// Replaces the process clock while alive: sleeps return at once and are recorded, time stands at
// `now` (advanced by the sleeps), and rand() draws come from a script.
class FakeClock : public Clock {
public:
    FakeClock();
    ~FakeClock() override;

    void Sleep(DWORD milliseconds) override;
    ULONGLONG TickCount() override;
    SYSTEMTIME LocalTime() override;
    int Rand() override;

    std::vector<DWORD> sleeps;
    std::vector<int> randValues;  // returned in turn, the last one repeated; 0 when empty
    SYSTEMTIME now{2025, 1, 2, 7, 9, 5, 3, 0};
    ULONGLONG ticks = 1000000;
    // Called after each sleep has been recorded and the time advanced (on the sleeping thread),
    // so a test can act at a moment of the code's own waiting.
    std::function<void(DWORD)> onSleep;

private:
    size_t nextRand_ = 0;
    Clock* previous_;
};

// A fresh folder under the Windows temporary folder, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// The bytes of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);

// Remembers the install log's length, so a test reads only the lines written after it.
class LogMark {
public:
    LogMark();
    std::string NewBytes() const;
    // The new lines without their stamps ("2025-01-07, 09:05:03 - " cut off), CR LF removed.
    std::vector<std::string> NewMessages() const;

private:
    size_t offset_;
};

// The folder of the running test executable (where the fixture programs are built).
std::wstring TestBinaryFolder();

// Starts `exe` with `arguments` through CreateProcessW; the handle owns the process.
UniqueHandle StartProcess(const std::wstring& exe, const std::wstring& arguments,
                          const std::wstring& folder = L"");

// Polls `predicate` every 50 ms until it holds or `timeoutMs` has passed; the last answer.
template <typename Predicate>
bool WaitUntil(Predicate predicate, DWORD timeoutMs = 20000) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (predicate()) return true;
        ::Sleep(50);
    }
    return predicate();
}

std::string Narrow(const std::wstring& text);  // UTF-8
std::wstring Widen(const std::string& text);   // from UTF-8
