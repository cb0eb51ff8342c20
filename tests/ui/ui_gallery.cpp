// The installer's controls in their states and its dialogs over a window, shown one screen after
// the other for tests/ui/screenshots.sh: for each screen the program prints "ready <name>" once it
// has been drawn and goes on when a line arrives on its input. The window stands at the screen's
// origin, 960 x 600, as the main window would.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/ui/ui_support.h"
#include "ui/about_dlg.h"
#include "ui/admin_dlg.h"
#include "ui/control_ids.h"
#include "ui/cover_dlg.h"
#include "ui/design_button.h"
#include "ui/design_progress.h"
#include "ui/dl_edit.h"
#include "ui/exit_option.h"
#include "ui/gdi.h"
#include "ui/license_dlg.h"
#include "ui/strings.h"

namespace {

constexpr wchar_t kPageClass[] = L"TelvistaGalleryPage";
UINT pageBitmap = IDB_PLAIN_BACKGROUND;
COLORREF pageColor = CLR_INVALID;  // a plain colour instead of the bitmap

void PaintPage(HWND hwnd, HDC dc) {
    RECT client{};
    ::GetClientRect(hwnd, &client);
    if (pageColor != CLR_INVALID) {
        FillSolid(dc, client, pageColor);
        return;
    }
    UniqueBitmap bitmap(static_cast<HBITMAP>(::LoadImageW(
        ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(pageBitmap), IMAGE_BITMAP, 0, 0, 0)));
    MemoryDc memory(dc);
    if (!bitmap || !memory) return;
    SelectObjectGuard select(memory.get(), bitmap.get());
    ::BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
    case WM_PRINTCLIENT:
        PaintPage(hwnd, reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_DRAWITEM:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (LRESULT answer = ReflectToControl(message, wParam, lParam)) return answer;
        break;
    case WM_APP:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreatePage() {
    WNDCLASSW page{};
    page.lpfnWndProc = PageProc;
    page.hInstance = ::GetModuleHandleW(nullptr);
    page.lpszClassName = kPageClass;
    ::RegisterClassW(&page);
    HWND window = ::CreateWindowExW(WS_EX_APPWINDOW, kPageClass, L"Gallery", WS_POPUP, 0, 0, 960,
                                    600, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    return window;
}

// Waits on its own thread until the screen has settled, announces it and waits for the go-ahead;
// then `finish` ends the screen (closes a dialog or the page's loop).
struct Announcement {
    std::string name;
    DWORD uiThread;
    std::vector<HWND> except;
    HWND page;
    bool dialog;
};

DWORD WINAPI Announce(void* param) {
    std::unique_ptr<Announcement> what(static_cast<Announcement*>(param));
    HWND dialog = what->dialog ? WaitForDialog(what->uiThread, what->except) : nullptr;
    ::Sleep(800);  // drawn and composited
    std::printf("ready %s\n", what->name.c_str());
    std::fflush(stdout);
    char line[64];
    if (!std::fgets(line, sizeof(line), stdin)) {
        // No one takes screenshots: end at once.
    }
    if (what->dialog) {
        ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    } else {
        ::PostMessageW(what->page, WM_APP, 0, 0);
    }
    return 0;
}

void StartAnnouncement(const std::string& name, HWND page, bool dialog,
                       std::vector<HWND> except = {}) {
    auto* what = new Announcement{name, ::GetCurrentThreadId(), std::move(except), page, dialog};
    HANDLE thread = ::CreateThread(nullptr, 0, Announce, what, 0, nullptr);
    if (thread) ::CloseHandle(thread);
}

void RunLoop() {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

int Ignore(int, int, UINT, void*, int) { return 1; }

void ControlsScreen(HWND page) {
    std::vector<std::unique_ptr<CDesignButton>> buttons;
    auto add = [&](UINT id, UINT normal, UINT pressed, RECT rect, const std::wstring& text) {
        buttons.push_back(std::make_unique<CDesignButton>(&Ignore, id, normal, normal, pressed,
                                                          page));
        buttons.back()->Create(page, text, rect);
        return buttons.back().get();
    };
    add(IDC_BTN_MINIMIZE, IDP_MINIMIZE, IDP_MINIMIZE, {864, 20, 904, 60}, L"");
    add(IDC_BTN_CLOSE, IDP_CLOSE, IDP_CLOSE, {908, 20, 948, 60}, L"");
    add(IDC_ANIMATION, 0, 0, {60, 40, 150, 130}, L"");
    add(IDC_ANIMATION, 0, 0, {170, 40, 260, 130}, L"")->SetFrame(15);
    add(IDC_ANIMATION, 0, 0, {280, 40, 370, 130}, L"")->SetFrame(29);
    add(IDC_BTN_INSTALL, 0, 0, {275, 374, 685, 444}, LoadText(IDS_INSTALL));
    add(IDC_BTN_OK, 0, 0, {500, 150, 910, 220}, LoadText(IDS_OK));
    add(IDC_DLG_LEFT, 0, 0, {500, 240, 700, 280}, LoadText(IDS_CANCEL));
    add(IDC_DLG_RIGHT, 0, 0, {710, 240, 910, 280}, LoadText(IDS_RESUME));
    add(IDC_CHK_ACCEPT, IDP_CHECK_OFF, IDP_CHECK_ON, {300, 460, 320, 480}, L"");
    CDesignButton* ticked =
        add(IDC_CHK_ACCEPT, IDP_CHECK_OFF, IDP_CHECK_ON, {340, 460, 360, 480}, L"");
    Press(ticked->GetSafeHwnd(), 5, 5);
    Release(ticked->GetSafeHwnd(), 5, 5);
    add(IDC_BTN_BROWSE, 0, 0, {860, 520, 900, 560}, L"");

    std::vector<std::unique_ptr<CDesignProgress>> bars;
    int y = 160;
    for (int pos : {16, 500, 1000}) {
        HWND bar = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 60, y, 400,
                                     26, page, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        bars.push_back(std::make_unique<CDesignProgress>());
        bars.back()->SubclassWindow(bar);
        bars.back()->SetRange(0, 1000);
        bars.back()->SetPos(pos);
        y += 40;
    }
    HWND full = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 110, 310, 740,
                                  26, page, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    bars.push_back(std::make_unique<CDesignProgress>());
    bars.back()->SubclassWindow(full);
    bars.back()->SetRange(0, 1000);
    bars.back()->SetPos(630);

    CDLEdit field;
    field.Create(page, RECT{60, 520, 860, 560}, IDC_EDIT_PATH);
    field.SetWindowText(L"C:\\Users\\Alex\\AppData\\Local\\Orvane\\Telvista");

    ::RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
    StartAnnouncement("controls", page, false);
    RunLoop();
    for (auto& button : buttons) ::DestroyWindow(button->GetSafeHwnd());
    for (auto& bar : bars) ::DestroyWindow(bar->GetSafeHwnd());
    ::DestroyWindow(field.GetSafeHwnd());
}

template <typename Dialog>
void DialogScreen(const std::string& name, HWND page, bool covered) {
    CCoverDlg cover(page);
    if (covered) cover.ShowOver(page);
    Dialog dialog(page);
    StartAnnouncement(name, page, true, {page, cover.GetSafeHwnd()});
    dialog.DoModal();
    cover.DestroyWindow();
}

}  // namespace

int main() {
    LoadInterfaceFont();
    HWND page = CreatePage();

    pageBitmap = IDB_SCENE_BACKGROUND;
    ::InvalidateRect(page, nullptr, TRUE);
    ControlsScreen(page);

    // The veil alone over a plain colour, to compare the blend with its arithmetic.
    pageColor = RGB(255, 200, 0);
    ::InvalidateRect(page, nullptr, TRUE);
    {
        CCoverDlg cover(page);
        cover.ShowOver(page);
        StartAnnouncement("cover", page, false);
        RunLoop();
        cover.DestroyWindow();
    }

    pageColor = CLR_INVALID;
    ::InvalidateRect(page, nullptr, TRUE);
    DialogScreen<CExitOption>("exit", page, true);
    DialogScreen<CAdminDlg>("admin", page, true);
    DialogScreen<CLicenseDlg>("license", page, true);
    DialogScreen<CAboutDlg>("about", page, false);
    ::DestroyWindow(page);
    return 0;
}
