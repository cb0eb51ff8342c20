#include "pipeline/network_wait.h"

#include "sys/api/wininet.h"
#include "sys/clock.h"
#include "sys/log.h"

namespace {

constexpr ULONGLONG kWaitLimitSeconds = 600;
constexpr DWORD kSettleMs = 2000;

ULONGLONG NowSeconds() { return TickCountNow() / 1000; }

}  // namespace

bool IsInternetConnected() {
    DWORD flags = 0;
    return wininet::InternetGetConnectedState(&flags, 0) != FALSE;
}

DWORD NetworkWaitPause(int draw) {
    const int r = draw % 9001;
    return static_cast<DWORD>(static_cast<float>((r + 1000) / 1000.0) * 500.0);
}

bool NetworkWait(InstallerWindow& window, bool logAttempts) {
    const ULONGLONG start = NowSeconds();
    window.SetPageState(PageState::Checking);
    int attempt = 0;
    if (!IsInternetConnected()) {
        for (;;) {
            SleepFor(NetworkWaitPause(DrawRandom()));
            if (logAttempts) InstallLog::WriteLine(L"Retry: %d", attempt++);
            if (NowSeconds() - start > kWaitLimitSeconds) return false;
            if (IsInternetConnected()) break;
        }
    }
    // The first moments of a returning connection are unreliable; give it time before the
    // caller starts a transfer on it.
    SleepFor(kSettleMs);
    return true;
}
