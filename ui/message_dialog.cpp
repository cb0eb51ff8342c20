#include "ui/message_dialog.h"

#include "res/resource.h"
#include "ui/control_ids.h"
#include "ui/strings.h"

namespace {

constexpr COLORREF kBorder = RGB(216, 216, 216);
constexpr COLORREF kMessageText = RGB(74, 74, 74);
constexpr int kCorner = 13;

// A round-rectangle region leaves out its right column and bottom row; one more of each keeps
// the border's right line and second bottom row inside the window.
UniqueRegion RoundedRegion(int width, int height) {
    return UniqueRegion(::CreateRoundRectRgn(0, 0, width + 1, height + 1, kCorner, kCorner));
}

}  // namespace

CMessageDialog::CMessageDialog(UINT templateId, HWND owner, UINT leftText, UINT rightText)
    : CDialog(templateId, owner), leftText_(leftText), rightText_(rightText) {}

void CMessageDialog::OnCreate() {
    RECT frame{0, 0, kWidth, kHeight};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
    ::SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CMessageDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    RECT window{};
    ::GetWindowRect(hwnd_, &window);
    UniqueRegion region = RoundedRegion(window.right - window.left, window.bottom - window.top);
    // The window owns the region once it has taken it.
    if (region && ::SetWindowRgn(hwnd_, region.get(), TRUE)) region.release();

    background_.reset(::CreateSolidBrush(RGB(255, 255, 255)));
    PlaceTexts();

    closeButton_ = std::make_unique<CDesignButton>(&OnButtonClicked, IDC_DLG_CLOSE,
                                                   IDP_DIALOG_CLOSE, IDP_DIALOG_CLOSE,
                                                   IDP_DIALOG_CLOSE, this);
    closeButton_->Create(hwnd_, L"", RECT{496, 18, 516, 38});
    rightButton_ = std::make_unique<CDesignButton>(&OnButtonClicked, IDC_DLG_RIGHT, 0, 0, 0, this);
    rightButton_->Create(hwnd_, LoadText(rightText_), RECT{280, 230, 480, 270});
    leftButton_ = std::make_unique<CDesignButton>(&OnButtonClicked, IDC_DLG_LEFT, 0, 0, 0, this);
    leftButton_->Create(hwnd_, LoadText(leftText_), RECT{60, 230, 260, 270});
    return TRUE;
}

void CMessageDialog::OnCancel() {
    OnClose();
    EndDialog(IDCANCEL);
}

int CMessageDialog::OnButtonClicked(int, int, UINT controlId, void* context, int) {
    auto* self = static_cast<CMessageDialog*>(context);
    switch (controlId) {
    case IDC_DLG_CLOSE:
        self->OnClose();
        break;
    case IDC_DLG_LEFT:
        self->OnLeft();
        break;
    case IDC_DLG_RIGHT:
        self->OnRight();
        break;
    }
    self->EndDialog(controlId);
    return 1;
}

void CMessageDialog::SetText(UINT id, UINT textId, HFONT font) {
    HWND text = ::GetDlgItem(hwnd_, static_cast<int>(id));
    ::SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SetWindowTextW(text, LoadText(textId).c_str());
}

void CMessageDialog::FillBackground(HDC dc) {
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    UniqueRegion region = RoundedRegion(client.right, client.bottom);
    if (region) ::FillRgn(dc, region.get(), background_.get());
}

void CMessageDialog::EraseBackground(HDC dc) {
    FillBackground(dc);
    RECT window{};
    ::GetWindowRect(hwnd_, &window);
    const int width = window.right - window.left, height = window.bottom - window.top;
    WindowDc whole(hwnd_, true);
    if (!whole) return;
    FillSolid(whole.get(), RECT{0, 0, width, 1}, kBorder);
    FillSolid(whole.get(), RECT{0, 0, 1, height}, kBorder);
    FillSolid(whole.get(), RECT{0, height - 2, width, height}, kBorder);
    FillSolid(whole.get(), RECT{width - 1, 0, width, height}, kBorder);
}

COLORREF CMessageDialog::TextColor(UINT) const { return kMessageText; }

INT_PTR CMessageDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    switch (message) {
    case WM_ERASEBKGND:
        EraseBackground(reinterpret_cast<HDC>(wParam));
        handled = true;
        return TRUE;
    case WM_PAINT: {
        PaintDc paint(hwnd_);
        EraseBackground(paint.get());
        PaintContent(paint.get());
        handled = true;
        return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetBkMode(dc, TRANSPARENT);
        const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        ::SetTextColor(dc, TextColor(static_cast<UINT>(id)));
        handled = true;
        return reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH));
    }
    }
    return CDialog::OnMessage(message, wParam, lParam, handled);
}

CQuestionDialog::CQuestionDialog(HWND owner, UINT messageText, const RECT& place, UINT leftText,
                                 UINT rightText)
    : CMessageDialog(IDD_MESSAGE_DIALOG, owner, leftText, rightText),
      messageText_(messageText),
      place_(place) {}

void CQuestionDialog::PlaceTexts() {
    messageFont_ = CreatePointFont(130);
    HWND message = ::GetDlgItem(hwnd_, IDC_MESSAGE_TEXT);
    ::SetWindowLongPtrW(message, GWL_STYLE,
                        (::GetWindowLongPtrW(message, GWL_STYLE) & ~SS_TYPEMASK) | SS_CENTER);
    ::MoveWindow(message, place_.left, place_.top, place_.right - place_.left,
                 place_.bottom - place_.top, FALSE);
    SetText(IDC_MESSAGE_TEXT, messageText_, messageFont_.get());
    LoadPngResource(attention_, IDP_ATTENTION);
}

void CQuestionDialog::PaintContent(HDC dc) {
    attention_.Draw(dc, RECT{221, 40, 319, 128});
}
