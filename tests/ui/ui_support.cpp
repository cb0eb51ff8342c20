#include "tests/ui/ui_support.h"

#include <cstdio>
#include <cstdlib>

#include "sys/files.h"
#include "ui/dialog.h"
#include "ui/gdi.h"

namespace {

constexpr UINT kRunWork = WM_APP + 1;
constexpr UINT kPostWork = WM_APP + 2;
constexpr wchar_t kWorkerClass[] = L"TelvistaTestWorker";
constexpr wchar_t kHostClass[] = L"TelvistaTestHost";

LRESULT CALLBACK WorkerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunWork) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    if (message == kPostWork) {
        auto* work = reinterpret_cast<std::function<void()>*>(lParam);
        (*work)();
        delete work;
        auto* pending = reinterpret_cast<LONG*>(wParam);
        if (::InterlockedDecrement(pending) == 0) {
            ::SetEvent(reinterpret_cast<HANDLE>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
        }
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto color = static_cast<COLORREF>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_PRINTCLIENT:
        if (!::GetPropW(hwnd, L"PrintsBackground")) break;
        [[fallthrough]];
    case WM_ERASEBKGND: {
        RECT client{};
        ::GetClientRect(hwnd, &client);
        FillSolid(reinterpret_cast<HDC>(wParam), client, color);
        return 1;
    }
    case WM_DRAWITEM:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        // The installer's windows reflect these to their controls; the host does the same.
        if (LRESULT answer = ReflectToControl(message, wParam, lParam)) return answer;
        break;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterClasses() {
    static bool done = [] {
        WNDCLASSW worker{};
        worker.lpfnWndProc = WorkerProc;
        worker.hInstance = ::GetModuleHandleW(nullptr);
        worker.lpszClassName = kWorkerClass;
        ::RegisterClassW(&worker);
        WNDCLASSW host{};
        host.lpfnWndProc = HostProc;
        host.hInstance = ::GetModuleHandleW(nullptr);
        host.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        host.lpszClassName = kHostClass;
        ::RegisterClassW(&host);
        return true;
    }();
    (void)done;
}

}  // namespace

WindowThread::WindowThread() {
    RegisterClasses();
    ready_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    idle_ = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    thread_ = ::CreateThread(nullptr, 0, &WindowThread::Main, this, 0, &threadId_);
    ::WaitForSingleObject(ready_, INFINITE);
}

WindowThread::~WindowThread() {
    ::PostMessageW(worker_, WM_CLOSE, 0, 0);
    ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    ::WaitForSingleObject(thread_, 10000);
    ::CloseHandle(thread_);
    ::CloseHandle(ready_);
    ::CloseHandle(idle_);
}

DWORD WINAPI WindowThread::Main(void* param) {
    auto* self = static_cast<WindowThread*>(param);
    self->worker_ = ::CreateWindowExW(0, kWorkerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(self->worker_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self->idle_));
    ::SetEvent(self->ready_);
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    ::DestroyWindow(self->worker_);
    return 0;
}

void WindowThread::Run(const std::function<void()>& work) {
    ::SendMessageW(worker_, kRunWork, 0, reinterpret_cast<LPARAM>(&work));
}

void WindowThread::Post(std::function<void()> work) {
    if (::InterlockedIncrement(&pending_) == 1) ::ResetEvent(idle_);
    auto* copy = new std::function<void()>(std::move(work));
    ::PostMessageW(worker_, kPostWork, reinterpret_cast<WPARAM>(&pending_),
                   reinterpret_cast<LPARAM>(copy));
}

bool WindowThread::Wait(DWORD timeoutMs) {
    return ::WaitForSingleObject(idle_, timeoutMs) == WAIT_OBJECT_0;
}

HWND CreateHostWindow(int left, int top, int width, int height, COLORREF color,
                      bool printsBackground) {
    RegisterClasses();
    HWND host = ::CreateWindowExW(0, kHostClass, L"Host", WS_POPUP, left, top, width, height,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(host, GWLP_USERDATA, static_cast<LONG_PTR>(color));
    if (printsBackground) ::SetPropW(host, L"PrintsBackground", reinterpret_cast<HANDLE>(1));
    ::ShowWindow(host, SW_SHOW);
    ::UpdateWindow(host);
    return host;
}

namespace {
struct Search {
    const std::vector<HWND>& except;
    HWND found;
};
BOOL CALLBACK FindVisible(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    for (HWND other : search->except) {
        if (window == other) return TRUE;
    }
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (::IsWindowVisible(window) && std::wstring(name) == L"#32770") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND WaitForDialog(DWORD threadId, std::vector<HWND> except, DWORD timeoutMs) {
    for (DWORD waited = 0;; waited += 20) {
        Search search{except, nullptr};
        ::EnumThreadWindows(threadId, FindVisible, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (waited >= timeoutMs) return nullptr;
        ::Sleep(20);
    }
}

COLORREF Pixels::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    std::uint32_t p = data[static_cast<size_t>(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

Pixels CopyPixels(HDC source, int left, int top, int width, int height) {
    std::uint32_t* bits = nullptr;
    UniqueBitmap dib = CreateTopDownDib(width, height, &bits);
    if (!dib) return {};
    {
        MemoryDc memory(source);
        SelectObjectGuard select(memory.get(), dib.get());
        ::BitBlt(memory.get(), 0, 0, width, height, source, left, top, SRCCOPY);
        ::GdiFlush();
    }
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.data.assign(bits, bits + static_cast<size_t>(width) * height);
    for (auto& value : pixels.data) value &= 0xFFFFFF;
    return pixels;
}

Pixels Capture(HWND window, bool wholeWindow) {
    ::RedrawWindow(::GetAncestor(window, GA_ROOT), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::GdiFlush();
    RECT rect{};
    if (wholeWindow) {
        ::GetWindowRect(window, &rect);
        ::OffsetRect(&rect, -rect.left, -rect.top);
    } else {
        ::GetClientRect(window, &rect);
    }
    WindowDc source(window, wholeWindow);
    return CopyPixels(source.get(), 0, 0, rect.right, rect.bottom);
}

Pixels CaptureOn(WindowThread& thread, HWND window, bool wholeWindow) {
    Pixels pixels;
    thread.Run([&] { pixels = Capture(window, wholeWindow); });
    return pixels;
}

LRESULT ReflectToControl(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = message == WM_DRAWITEM
                       ? reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem
                       : reinterpret_cast<HWND>(lParam);
    return ::SendMessageW(control, kReflectedMessageBase + message, wParam, lParam);
}

void Press(HWND window, int x, int y) {
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

void Release(HWND window, int x, int y) {
    ::SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return a != CLR_INVALID && b != CLR_INVALID &&
           std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::string ColorText(COLORREF color) {
    if (color == CLR_INVALID) return "(outside)";
    char text[32];
    std::snprintf(text, sizeof(text), "RGB(%d, %d, %d)", GetRValue(color), GetGValue(color),
                  GetBValue(color));
    return text;
}

void LoadInterfaceFont() {
    static bool loaded = [] {
        const ResourceBytes font = FindResourceBytes(208, L"FILE");
        DWORD count = 0;
        return font && ::AddFontMemResourceEx(const_cast<void*>(font.data), font.size, nullptr,
                                               &count) != nullptr;
    }();
    (void)loaded;
}

RECT PlaceInParent(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}
