#include "ui/license_dlg.h"

#include "res/resource.h"
#include "ui/license_links.h"
#include "ui/strings.h"

namespace {
constexpr COLORREF kLinkText = RGB(119, 11, 252);
}

CLicenseDlg::CLicenseDlg(HWND owner)
    : CMessageDialog(IDD_LICENSE, owner, IDS_CANCEL, IDS_OK) {}

SIZE CLicenseDlg::PlaceMeasured(UINT id, int x, int y, HFONT font) {
    HWND text = ::GetDlgItem(hwnd_, static_cast<int>(id));
    wchar_t buffer[512] = {};
    ::GetWindowTextW(text, buffer, 512);
    SIZE size = MeasureText(text, font, buffer);
    ::MoveWindow(text, x, y, size.cx, size.cy, FALSE);
    return size;
}

void CLicenseDlg::PlaceTexts() {
    titleFont_ = CreatePointFont(240);
    textFont_ = CreatePointFont(120);
    linkFont_ = CreatePointFont(120, true);

    SetText(IDC_LICENSE_TITLE, IDS_HINT, titleFont_.get());
    ::MoveWindow(::GetDlgItem(hwnd_, IDC_LICENSE_TITLE), 196, 63, 148, 40, FALSE);

    SetText(IDC_LICENSE_NOTICE, IDS_WITH_OK_YOU_ACCEPT, textFont_.get());
    HWND notice = ::GetDlgItem(hwnd_, IDC_LICENSE_NOTICE);
    const SIZE noticeSize = MeasureText(notice, textFont_.get(), LoadText(IDS_WITH_OK_YOU_ACCEPT));
    ::MoveWindow(notice, (kWidth - noticeSize.cx) / 2, 120, noticeSize.cx, noticeSize.cy, FALSE);

    SetText(IDC_LICENSE_PRIVACY_LINK, IDS_PRIVACY_POLICY, linkFont_.get());
    SetText(IDC_LICENSE_AND_TEXT, IDS_AND, textFont_.get());
    SetText(IDC_LICENSE_TERMS_LINK, IDS_TERMS_OF_SERVICE, linkFont_.get());
    LayOutLinkLine();
}

void CLicenseDlg::LayOutLinkLine() {
    auto width = [&](UINT id, HFONT font) {
        HWND text = ::GetDlgItem(hwnd_, static_cast<int>(id));
        wchar_t buffer[512] = {};
        ::GetWindowTextW(text, buffer, 512);
        return MeasureText(text, font, buffer).cx;
    };
    const int privacy = width(IDC_LICENSE_PRIVACY_LINK, linkFont_.get());
    const int conjunction = width(IDC_LICENSE_AND_TEXT, textFont_.get());
    const int terms = width(IDC_LICENSE_TERMS_LINK, linkFont_.get());
    const int x1 = (524 - privacy - conjunction - terms) / 2;
    PlaceMeasured(IDC_LICENSE_PRIVACY_LINK, x1, 140, linkFont_.get());
    PlaceMeasured(IDC_LICENSE_AND_TEXT, x1 + privacy + 8, 140, textFont_.get());
    PlaceMeasured(IDC_LICENSE_TERMS_LINK, x1 + privacy + conjunction + 16, 140, linkFont_.get());
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

COLORREF CLicenseDlg::TextColor(UINT id) const {
    if (id == IDC_LICENSE_PRIVACY_LINK || id == IDC_LICENSE_TERMS_LINK) return kLinkText;
    return CMessageDialog::TextColor(id);
}

INT_PTR CLicenseDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_LICENSE_PRIVACY_LINK:
            OpenLicensePage(LicensePage::Privacy);
            handled = true;
            return TRUE;
        case IDC_LICENSE_TERMS_LINK:
            OpenLicensePage(LicensePage::Terms);
            handled = true;
            return TRUE;
        }
    }
    return CMessageDialog::OnMessage(message, wParam, lParam, handled);
}
