#include "ui/dialog.h"

CDialog::CDialog(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

INT_PTR CDialog::DoModal() {
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent_,
                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result) {
    if (hwnd_) ::EndDialog(hwnd_, result);
}

INT_PTR CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            handled = true;
            return TRUE;
        case IDCANCEL:
            OnCancel();
            handled = true;
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
        return self->OnInitDialog();
    }
    self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_CLOSE) {
        self->OnCancel();
        return TRUE;
    }
    bool handled = false;
    INT_PTR result = self->OnMessage(message, wParam, lParam, handled);
    if (message == WM_NCDESTROY) self->hwnd_ = nullptr;
    return handled ? result : FALSE;
}
