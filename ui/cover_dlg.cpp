#include "ui/cover_dlg.h"

#include "res/resource.h"

CCoverDlg::CCoverDlg(HWND window) : CDialog(IDD_COVER_DIALOG, window) {}

void CCoverDlg::OnCreate() {
    ::SetWindowPos(hwnd_, nullptr, 0, 0, 390, 180, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CCoverDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    brush_.reset(::CreateSolidBrush(kColor));
    ::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE,
                        ::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) | WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(hwnd_, 0, kOpacity, LWA_ALPHA);
    return TRUE;
}

bool CCoverDlg::ShowOver(HWND window) {
    if (!hwnd_ && !Create()) return false;
    RECT client{};
    ::GetClientRect(window, &client);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    ::SetWindowPos(hwnd_, HWND_TOP, origin.x, origin.y, client.right, client.bottom,
                   SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return true;
}

INT_PTR CCoverDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client{};
        ::GetClientRect(hwnd_, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, brush_.get());
        handled = true;
        return TRUE;
    }
    case WM_PAINT: {
        PaintDc paint(hwnd_);
        RECT client{};
        ::GetClientRect(hwnd_, &client);
        ::FillRect(paint.get(), &client, brush_.get());
        handled = true;
        return TRUE;
    }
    }
    return CDialog::OnMessage(message, wParam, lParam, handled);
}
