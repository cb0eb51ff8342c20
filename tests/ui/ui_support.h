#pragma once
// Support of the window tests: a thread of the test that owns the windows and runs their message
// loop, a plain host window to stand in for the main window, rendered pixels read back from a
// window, and the mouse messages of a click.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A thread with a message loop; work handed to it runs there, in order.
class WindowThread {
public:
    WindowThread();
    ~WindowThread();
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    // Runs `work` on the thread and waits for it (the windows it makes stay on the thread).
    void Run(const std::function<void()>& work);
    // Hands `work` to the thread and returns at once (for a modal dialog, whose loop then runs
    // there); Wait() waits until every such work has returned.
    void Post(std::function<void()> work);
    bool Wait(DWORD timeoutMs = 20000);
    DWORD Id() const { return threadId_; }

private:
    static DWORD WINAPI Main(void* self);
    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;
    HANDLE idle_ = nullptr;
    DWORD threadId_ = 0;
    HWND worker_ = nullptr;
    LONG pending_ = 0;
};

// A popup window of the given client size at `left`, `top` filled with `color`; it answers
// WM_PRINTCLIENT with the same colour, as the main window draws its background on request.
// With `printsBackground` false it leaves WM_PRINTCLIENT to the platform, which draws nothing.
HWND CreateHostWindow(int left, int top, int width, int height, COLORREF color,
                      bool printsBackground = true);

// The visible dialog window of `threadId` other than those in `except`, once there is one.
HWND WaitForDialog(DWORD threadId, std::vector<HWND> except = {}, DWORD timeoutMs = 10000);

// What a window shows, read from its surface: the whole window with `wholeWindow`, else its
// client area.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> data;  // 0x00RRGGBB, top row first
    COLORREF At(int x, int y) const;
    bool IsEmpty() const { return data.empty(); }
};
// Paints the window's top-level window and all its children completely first, so what the
// parent paints under a control is fresh. Call on the window's thread.
Pixels Capture(HWND window, bool wholeWindow = false);
// Capture on the thread that owns the window.
Pixels CaptureOn(WindowThread& thread, HWND window, bool wholeWindow = false);
// The rectangle of `source` at (left, top) of that size, as it is now.
Pixels CopyPixels(HDC source, int left, int top, int width, int height);

// What the installer's windows do with owner-draw and colour requests: hand them to the control
// they concern (WM_DRAWITEM, WM_CTLCOLOREDIT, WM_CTLCOLORSTATIC); 0 where it left them.
LRESULT ReflectToControl(UINT message, WPARAM wParam, LPARAM lParam);

// The messages a user's left click produces on `window` at client point (x, y); press and
// release may land on different windows.
void Press(HWND window, int x, int y);
void Release(HWND window, int x, int y);

// True when the two colours differ by at most `tolerance` in every channel.
bool Near(COLORREF a, COLORREF b, int tolerance = 0);
std::string ColorText(COLORREF color);

// Makes Roboto available to the process from the installer's copy (FILE 208), as the installer
// does where it could not install it.
void LoadInterfaceFont();

// The window's rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND window);
std::wstring WindowText(HWND window);
