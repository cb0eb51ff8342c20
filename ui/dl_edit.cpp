#include "ui/dl_edit.h"

CDLEdit::CDLEdit() : background_(::CreateSolidBrush(kFieldBackground)) {
    font_ = CreatePointFont(fontSize_, false, fontFace_);
}

bool CDLEdit::Create(HWND parent, const RECT& rect, UINT id) {
    if (!CEdit::Create(WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                       RECT{0, 0, 214, 36}, parent, id)) {
        return false;
    }
    ::MoveWindow(hwnd_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 TRUE);
    SetLimitText(512);
    SetReadOnly(true);
    FitFont();
    return true;
}

// The field's font, when it fits the field's height; the client area is then measured again
// for the new font, so the line stays in the middle.
void CDLEdit::FitFont() {
    ::GetWindowRect(hwnd_, &windowRect_);
    LOGFONTW description{};
    if (!font_ || !::GetObjectW(font_.get(), sizeof(description), &description)) return;
    const int fontHeight = description.lfHeight < 0 ? -description.lfHeight : description.lfHeight;
    if (fontHeight >= windowRect_.bottom - windowRect_.top) return;
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void CDLEdit::OnNcCalcSize(WPARAM wParam, LPARAM lParam) {
    RECT& client = wParam ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                          : *reinterpret_cast<RECT*>(lParam);
    // The line's height is that of the font the field draws with (before it has one, the
    // device context's own).
    TEXTMETRICW metrics{};
    {
        WindowDc dc(hwnd_);
        if (!dc) return;
        HFONT current = reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
        SelectObjectGuard select(dc.get(), current);
        if (!::GetTextMetricsW(dc.get(), &metrics)) return;
    }
    const int inset =
        (client.bottom - client.top - metrics.tmExternalLeading - metrics.tmHeight) / 2;
    if (inset > 0) {
        client.top += inset;
        client.bottom -= inset;
    }
}

void CDLEdit::OnNcPaint() {
    WindowDc dc(hwnd_, true);
    if (!dc) return;
    RECT window{};
    ::GetWindowRect(hwnd_, &window);
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    ::MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::OffsetRect(&client, -window.left, -window.top);
    ::OffsetRect(&window, -window.left, -window.top);
    // Only the frame is drawn in the border; the band between it and the line is the field's.
    ::ExcludeClipRect(dc.get(), client.left, client.top, client.right, client.bottom);
    FillSolid(dc.get(), window, kFieldBackground);
    FrameRectangle(dc.get(), window, frameColor_);
}

LRESULT CDLEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCALCSIZE: {
        LRESULT result = CEdit::WindowProc(message, wParam, lParam);
        OnNcCalcSize(wParam, lParam);
        return result;
    }
    case WM_NCPAINT:
        OnNcPaint();
        return 0;
    case WM_ERASEBKGND: {
        RECT now{};
        ::GetWindowRect(hwnd_, &now);
        if (!::EqualRect(&now, &windowRect_)) FitFont();
        break;
    }
    case kReflectedMessageBase + WM_CTLCOLOREDIT:
    case kReflectedMessageBase + WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetBkColor(dc, kFieldBackground);
        ::SetTextColor(dc, kFieldText);
        return reinterpret_cast<LRESULT>(background_.get());
    }
    }
    return CEdit::WindowProc(message, wParam, lParam);
}
