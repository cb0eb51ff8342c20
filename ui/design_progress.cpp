#include "ui/design_progress.h"

#include "ui/gdi.h"

int ProgressFill(int pos, int lower, int upper, int width) {
    // An empty range would divide by zero: such a bar shows nothing.
    if (upper <= lower) return 0;
    const double perUnit = static_cast<double>(width - 20) / (upper - lower);
    return static_cast<int>((pos - lower) * perUnit);
}

COLORREF ProgressBlockColor(int x, int width) {
    auto channel = [&](double start, double span) {
        return static_cast<BYTE>(static_cast<int>(start + x * (span / width)) & 0xFF);
    };
    return RGB(channel(11, 241), channel(128, -93), channel(251, -3));
}

void CDesignProgress::Render(HDC dc, int width, int height) {
    const RECT all{0, 0, width, height};
    FillSolid(dc, all, RGB(255, 255, 255));
    HWND parent = ::GetParent(hwnd_);
    if (parent) {
        // The parent's background shows inside the frame, where the parent draws it on request.
        RECT place{};
        ::GetWindowRect(hwnd_, &place);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
        SavedDcState saved(dc);
        ::SetWindowOrgEx(dc, place.left, place.top, nullptr);
        ::SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    }
    FrameRectangle(dc, all, kFramePurple);

    int lower = 0, upper = 0;
    GetRange(lower, upper);
    const int fill = ProgressFill(GetPos(), lower, upper, width);
    for (int x = 10; x < fill; x += 20) {
        FillSolid(dc, RECT{x, 6, x + 20, 20}, ProgressBlockColor(x, width));
    }
}

LRESULT CDesignProgress::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT: {
        RECT client{};
        ::GetClientRect(hwnd_, &client);
        const int width = client.right, height = client.bottom;
        if (message == WM_PRINTCLIENT) {
            Render(reinterpret_cast<HDC>(wParam), width, height);
            return 0;
        }
        PaintDc paint(hwnd_);
        // Drawn off screen first, so the blocks never flicker over the white track.
        UniqueBitmap bitmap(::CreateCompatibleBitmap(paint.get(), width, height));
        MemoryDc memory(paint.get());
        if (!memory || !bitmap) {
            Render(paint.get(), width, height);
            return 0;
        }
        {
            SelectObjectGuard select(memory.get(), bitmap.get());
            Render(memory.get(), width, height);
            ::BitBlt(paint.get(), 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
        }
        return 0;
    }
    }
    return CProgressCtrl::WindowProc(message, wParam, lParam);
}
