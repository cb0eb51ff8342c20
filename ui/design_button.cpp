#include "ui/design_button.h"

#include <windowsx.h>

#include "res/resource.h"
#include "ui/control_ids.h"

namespace {

constexpr COLORREF kCheckBoxBackground = RGB(25, 10, 46);
constexpr COLORREF kDarkButtonText = RGB(24, 24, 24);
constexpr COLORREF kWhite = RGB(255, 255, 255);

bool IsTextButton(UINT id) {
    return id == IDC_BTN_INSTALL || id == IDC_BTN_CANCEL || id == IDC_BTN_OK ||
           id == IDC_DLG_RIGHT || id == IDC_DLG_LEFT;
}

// The buttons of the message dialogs write in 10.5 pt, those of the main window in 18 pt.
int TextSizeTenths(UINT id) { return id == IDC_DLG_RIGHT || id == IDC_DLG_LEFT ? 105 : 180; }

}  // namespace

CDesignButton::CDesignButton(ButtonClickCallback onClick, UINT controlId, UINT normalImage,
                             UINT hoverImage, UINT pressedImage, void* context)
    : currentImage_(normalImage),
      controlId_(controlId),
      normalImage_(normalImage),
      hoverImage_(hoverImage),
      pressedImage_(pressedImage),
      onClick_(onClick),
      context_(context) {}

bool CDesignButton::Create(HWND parent, const std::wstring& text, const RECT& rect) {
    if (IsTextButton(controlId_)) font_ = CreatePointFont(TextSizeTenths(controlId_));
    if (!CButton::Create(text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{0, 0, 0, 0}, parent,
                         controlId_)) {
        return false;
    }
    ::MoveWindow(hwnd_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 TRUE);
    ::SetWindowLongPtrW(hwnd_, GWL_STYLE, ::GetWindowLongPtrW(hwnd_, GWL_STYLE) | BS_OWNERDRAW);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
    return true;
}

void CDesignButton::DrawImage(HDC dc, UINT pngId, const RECT& rect) {
    auto found = images_.find(pngId);
    if (found == images_.end()) {
        PngImage image;
        // An image that cannot be loaded is not drawn; it is not looked for again either.
        LoadPngResource(image, pngId);
        found = images_.emplace(pngId, std::move(image)).first;
    }
    found->second.Draw(dc, rect);
}

void CDesignButton::Draw(HDC dc, const RECT& rect) {
    switch (controlId_) {
    case IDC_BTN_BROWSE:
        FrameRectangle(dc, rect, kFramePurple);
        DrawImage(dc, IDP_FOLDER, RECT{rect.left + 5, rect.top + 7, rect.left + 31, rect.top + 30});
        return;
    case IDC_ANIMATION:
        // Past the last frame lie other pictures (PNG 287 is the problem picture).
        if (frame_ >= 1 && frame_ <= IDP_SPINNER_FRAMES) {
            DrawImage(dc, static_cast<UINT>(IDP_SPINNER_FIRST - 1 + frame_), rect);
        }
        return;
    case IDC_CHK_ACCEPT:
        FillSolid(dc, rect, kCheckBoxBackground);
        DrawImage(dc, currentImage_, rect);
        return;
    }
    if (!IsTextButton(controlId_)) {
        DrawImage(dc, currentImage_, rect);
        return;
    }
    SavedDcState saved(dc);
    ::SetBkMode(dc, TRANSPARENT);
    const bool secondary = controlId_ == IDC_DLG_LEFT;
    DrawImage(dc, secondary ? IDP_BUTTON_SECONDARY : IDP_BUTTON_PRIMARY, rect);
    ::SetTextColor(dc, secondary ? kDarkButtonText : kWhite);
    SelectObjectGuard select(dc, font_.get());
    std::wstring text = GetWindowText();
    RECT area = rect;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void CDesignButton::Repaint() {
    // The images are blended over what lies below them: the parent paints that part again first,
    // so a semi-transparent edge is never blended over its own previous drawing.
    HWND parent = ::GetParent(hwnd_);
    RECT area{};
    ::GetWindowRect(hwnd_, &area);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    ::RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CDesignButton::OnPress() {
    if (controlId_ == IDC_CHK_ACCEPT && currentImage_ == pressedImage_) {
        currentImage_ = normalImage_;
    } else {
        currentImage_ = pressedImage_;
    }
    Repaint();
}

void CDesignButton::OnRelease(WPARAM wParam, LPARAM lParam) {
    if (controlId_ != IDC_CHK_ACCEPT) currentImage_ = normalImage_;
    HWND window = hwnd_;
    bool standard = true;
    if (onClick_ && context_) {
        standard = onClick_(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), controlId_, context_,
                            currentImage_ == pressedImage_ ? 1 : 0) != 0;
    }
    // The callback may have closed the window that holds this button.
    if (!::IsWindow(window) || hwnd_ != window) return;
    if (standard) DefaultProc(WM_LBUTTONUP, wParam, lParam);
    Repaint();
}

LRESULT CDesignButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    // A quick second click is a press as well: the check box toggles on every click.
    case WM_LBUTTONDBLCLK:
        OnPress();
        return 0;
    case WM_LBUTTONUP:
        OnRelease(wParam, lParam);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case kReflectedMessageBase + WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        Draw(item->hDC, item->rcItem);
        return TRUE;
    }
    }
    return CButton::WindowProc(message, wParam, lParam);
}
