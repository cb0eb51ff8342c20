#include "ui/dialog.h"

#include <vector>

CDialog::CDialog(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {
    // A modeless dialog the caller forgot to destroy must not call back into a dead object.
    if (hwnd_ && modeless_) DestroyWindow();
}

INT_PTR CDialog::DoModal() {
    modeless_ = false;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent_,
                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool CDialog::Create() {
    modeless_ = true;
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_),
                                parent_, &CDialog::DialogProc,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
    if (!hwnd_) return;
    if (modeless_) {
        DestroyWindow();
    } else {
        ::EndDialog(hwnd_, result);
    }
}

void CDialog::DestroyWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

void CDialog::CenterOverOwner() {
    RECT window{};
    ::GetWindowRect(hwnd_, &window);
    RECT area{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT over = area;
    HWND owner = ::GetWindow(hwnd_, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &over);
    const int width = window.right - window.left, height = window.bottom - window.top;
    int left = (over.left + over.right - width) / 2;
    int top = (over.top + over.bottom - height) / 2;
    // Kept on the work area as far as it fits.
    if (left + width > area.right) left = area.right - width;
    if (left < area.left) left = area.left;
    if (top + height > area.bottom) top = area.bottom - height;
    if (top < area.top) top = area.top;
    ::SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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

namespace {

// The control a parent's request is about, when the request names one.
HWND RequestingControl(UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return item && item->CtlType != ODT_MENU ? item->hwndItem : nullptr;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<HWND>(lParam);
    }
    return nullptr;
}

}  // namespace

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
        self->OnCreate();
        RECT before{};
        ::GetWindowRect(hwnd, &before);
        const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
        BOOL result = self->OnInitDialog();
        RECT after{};
        if (self->hwnd_ && ::GetWindowRect(hwnd, &after) && ::EqualRect(&before, &after) &&
            !(style & (WS_CHILD | WS_VISIBLE))) {
            self->CenterOverOwner();
        }
        return result;
    }
    self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_CLOSE) {
        self->OnCancel();
        return TRUE;
    }
    if (HWND control = RequestingControl(message, wParam, lParam)) {
        if (::GetParent(control) == hwnd) {
            LRESULT answer = ::SendMessageW(control, kReflectedMessageBase + message, wParam,
                                            lParam);
            if (answer) return static_cast<INT_PTR>(answer);
        }
    }
    bool handled = false;
    INT_PTR result = self->OnMessage(message, wParam, lParam, handled);
    if (message == WM_NCDESTROY) {
        self->hwnd_ = nullptr;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    }
    return handled ? result : FALSE;
}

CControl::~CControl() {
    if (!hwnd_) return;
    HWND window = hwnd_;
    const bool created = created_;
    Unbind();
    if (created) ::DestroyWindow(window);
}

bool CControl::CreateControl(const wchar_t* className, const std::wstring& text, DWORD style,
                             DWORD exStyle, const RECT& rect, HWND parent, UINT id) {
    HWND window = ::CreateWindowExW(exStyle, className, text.c_str(), style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, parent,
                                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                    ::GetModuleHandleW(nullptr), nullptr);
    if (!window) return false;
    if (!SubclassWindow(window)) {
        ::DestroyWindow(window);
        return false;
    }
    created_ = true;
    return true;
}

bool CControl::SubclassWindow(HWND window) {
    if (!window || hwnd_) return false;
    if (!::SetWindowSubclass(window, &CControl::SubclassProc, 0,
                             reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    hwnd_ = window;
    created_ = false;
    return true;
}

void CControl::Unbind() {
    if (!hwnd_) return;
    ::RemoveWindowSubclass(hwnd_, &CControl::SubclassProc, 0);
    hwnd_ = nullptr;
    created_ = false;
}

std::wstring CControl::GetWindowText() const {
    const int length = ::GetWindowTextLengthW(hwnd_);
    if (length <= 0) return {};
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    const int got = ::GetWindowTextW(hwnd_, text.data(), length + 1);
    return std::wstring(text.data(), static_cast<size_t>(got > 0 ? got : 0));
}

LRESULT CControl::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK CControl::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<CControl*>(data);
    if (message == WM_NCDESTROY) {
        LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
        self->Unbind();
        return result;
    }
    return self->WindowProc(message, wParam, lParam);
}

void CProgressCtrl::GetRange(int& lower, int& upper) const {
    PBRANGE range{};
    ::SendMessageW(hwnd_, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    lower = range.iLow;
    upper = range.iHigh;
}
