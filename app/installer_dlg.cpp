#include "app/installer_dlg.h"

#include <string>

#include "res/resource.h"
#include "sys/handle.h"

namespace {

constexpr int kClientWidth = 960;
constexpr int kClientHeight = 600;
constexpr COLORREF kBackground = RGB(0x1E, 0x12, 0x3A);  // night purple of the installer's field

std::wstring LoadText(UINT id) {
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace

POINT WindowOrigin(int left, int top, int width, int height, const RECT& workArea) {
    POINT origin{left, top};
    if (left < 1) origin.x = (workArea.right - width) / 2;
    if (top < 1) origin.y = (workArea.bottom - height) / 2;
    return origin;
}

CInstallerDlg::CInstallerDlg() : CDialog(IDD_INSTALLER_DIALOG) {}

BOOL CInstallerDlg::OnInitDialog() {
    std::wstring title = LoadText(IDS_PRODUCT_DISPLAY_NAME);
    ::SetWindowTextW(hwnd_, title.empty() ? L"Pantavi" : title.c_str());
    PlaceWindow();
    return TRUE;
}

void CInstallerDlg::PlaceWindow() {
    RECT frame{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(hwnd_, GWL_EXSTYLE)));
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    RECT workArea{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    POINT origin = WindowOrigin(initialLeft, initialTop, width, height, workArea);
    ::SetWindowPos(hwnd_, nullptr, origin.x, origin.y, width, height, SWP_NOZORDER);
}

void CInstallerDlg::OnPaint() {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(hwnd_, &paint);
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    UniqueGdiObject brush(::CreateSolidBrush(kBackground));
    ::FillRect(dc, &client, static_cast<HBRUSH>(brush.get()));

    // The product's name in the installer's face until the pages are drawn.
    UniqueGdiObject font(::CreateFontW(-48, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                       CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Roboto"));
    HGDIOBJ previous = ::SelectObject(dc, font.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    wchar_t title[128] = {};
    ::GetWindowTextW(hwnd_, title, 128);
    ::DrawTextW(dc, title, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, previous);
    ::EndPaint(hwnd_, &paint);
}

INT_PTR CInstallerDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message == WM_PAINT) {
        OnPaint();
        handled = true;
        return TRUE;
    }
    if (message == WM_ERASEBKGND) {
        handled = true;
        return TRUE;
    }
    return CDialog::OnMessage(message, wParam, lParam, handled);
}
