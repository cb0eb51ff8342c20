#pragma once
// What the worker flows may ask of the main window, and all they know of it. The flows run on
// worker threads; the window carries out every request on its own thread before the call returns
// (the progress position read back by ReportPercent depends on it). The flags the window writes
// for the workers (exitPromptOpen, exitConfirmed) are read here at any time from any thread.
#include <windows.h>

#include <string>

// The pages of the main window. There is no 6.
enum class PageState : int {
    Checking = 0,
    NoInternet = 1,
    UpdatingInstaller = 2,
    Blank = 3,
    Ready = 4,
    Downloading = 5,
    Installing = 7,
    Complete = 8,
    Error = 9,
};

// Progress is kept in tenths of a percent on the bar (0-1000) and reported in whole percent.
inline constexpr int kProgressRange = 1000;

class InstallerWindow {
public:
    // Switch the page. For PageState::Error the text is the one set with SetErrorTextId before.
    virtual void SetPageState(PageState state) = 0;
    // The string ID the Error page shows (117, 118, 103 or 121); set right before Error.
    virtual void SetErrorTextId(int stringId) = 0;

    // The bar's position (PBM_SETPOS / PBM_GETPOS), 0-1000.
    virtual void SetProgressPos(int position) = 0;
    virtual int GetProgressPos() = 0;
    // Unless the cancel confirmation is open: position = percent * 10, and the status text shows
    // the percentage when it rose past what the bar showed before.
    virtual void ReportPercent(int percent) = 0;

    // The ceiling of the creep timer (timer 2, 500 ms, +2 per tick while it stays <= target),
    // which the install phase starts and stops.
    virtual void SetProgressTarget(int target) = 0;
    virtual void StartProgressCreep() = 0;
    virtual void StopProgressCreep() = 0;

    // 1 while the cancel confirmation is shown; 1 once the user has confirmed leaving.
    virtual bool IsExitPromptOpen() = 0;
    virtual bool IsExitConfirmed() = 0;

    // The install folder shown in the path field.
    virtual std::wstring GetInstallPath() = 0;
    // The window's rectangle on the screen (GetWindowRect).
    virtual RECT GetWindowRectangle() = 0;
    // Ends the dialog (WM_CLOSE sent synchronously); the process ends with it.
    virtual void Close() = 0;

protected:
    ~InstallerWindow() = default;
};

// The ProgressCallback the flows give GetUrlFile, with the window as context: reports the percent
// to the window and always goes on. A null context is ignored.
bool OnDownloadProgress(void* context, int percent, int finished);

// Sleeps in steps of 100 ms (through the time source) while the window's cancel confirmation is
// open; returns whether the user has then confirmed leaving.
bool WaitWhileExitPromptOpen(InstallerWindow& window);
