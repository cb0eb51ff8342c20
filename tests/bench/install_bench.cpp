// Pieces of the install benchmark (tests/bench/bench_install.py), run under Wine:
//   install_bench.exe blank <title>        a blank Win32 window program: registers a class, shows
//                                          a 960 x 600 popup titled <title> and runs its message
//                                          loop for 60 s at most; what every window program pays
//                                          to start under this Wine
//   install_bench.exe copy <source> <target>  times CopytoInstallPath alone and prints
//                                          "copy_seconds <s>"
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "pipeline/install_phase.h"

namespace {

LRESULT CALLBACK BlankProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

int Blank(const wchar_t* title) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = BlankProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = L"TelvistaBlankBench";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(WS_EX_APPWINDOW, windowClass.lpszClassName, title,
                                    WS_POPUP | WS_VISIBLE, 160, 100, 960, 600, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
    if (!window) return 1;
    ::SetTimer(window, 1, 60000, nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER) ::DestroyWindow(window);
        ::DispatchMessageW(&message);
    }
    return 0;
}

double Seconds() {
    LARGE_INTEGER frequency, now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"blank") == 0) return Blank(argv[2]);
    if (argc == 4 && std::wcscmp(argv[1], L"copy") == 0) {
        double start = Seconds();
        bool ok = CopytoInstallPath(argv[2], argv[3]);
        std::printf("copy_seconds %.3f\ncopy_ok %d\n", Seconds() - start, ok ? 1 : 0);
        return ok ? 0 : 1;
    }
    std::fprintf(stderr, "usage: install_bench.exe blank <title> | copy <source> <target>\n");
    return 2;
}
