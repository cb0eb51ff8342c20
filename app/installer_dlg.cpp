#include "app/installer_dlg.h"

#include <shlobj.h>
#include <shellapi.h>

#include <functional>
#include <string>

#include "app/elevation.h"
#include "app/installer_app.h"
#include "res/resource.h"
#include "sys/files.h"
#include "sys/handle.h"
#include "sys/paths.h"
#include "sys/process.h"
#include "sys/temp_folder.h"
#include "ui/about_dlg.h"
#include "ui/admin_dlg.h"
#include "ui/control_ids.h"
#include "ui/cover_dlg.h"
#include "ui/exit_option.h"
#include "ui/gdi.h"
#include "ui/license_dlg.h"
#include "ui/license_links.h"
#include "ui/strings.h"

std::atomic<int> downloadDoneOfProcess{0};

namespace {

using namespace MainLook;

// A worker's request, carried to the window thread: lParam is the work to run there.
constexpr UINT kRunOnWindowThread = WM_APP + 1;

constexpr UINT_PTR kAnimationTimer = 1;
constexpr UINT kAnimationIntervalMs = 40;
constexpr UINT_PTR kProgressCreepTimer = 2;
constexpr UINT kProgressCreepIntervalMs = 500;
constexpr int kProgressCreepStep = 2;

constexpr UINT kAboutCommand = 16;  // IDM_ABOUTBOX: the system menu's about item

constexpr wchar_t kCompanyName[] = L"Orvane";
constexpr wchar_t kProductName[] = L"Telvista";

void Show(HWND control, bool show) {
    if (control) ::ShowWindow(control, show ? SW_SHOW : SW_HIDE);
}

// `folder` + "\Orvane\Telvista". A drive root chosen in the browser ("C:\") carries its own
// backslash, which is not doubled.
std::wstring ProductFolderIn(std::wstring folder) {
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder + L"\\" + kCompanyName + L"\\" + kProductName;
}

}  // namespace

POINT WindowOrigin(int left, int top, int width, int height, const RECT& workArea) {
    POINT origin{left, top};
    if (left < 1) origin.x = (workArea.right - width) / 2;
    if (top < 1) origin.y = (workArea.bottom - height) / 2;
    return origin;
}

CInstallerDlg::CInstallerDlg() : CDialog(IDD_INSTALLER_DIALOG) {}

CInstallerDlg::~CInstallerDlg() = default;

// ---- Carrying the workers' requests to the window thread ----------------------------------

void CInstallerDlg::RunCall(void* work) { (*static_cast<std::function<void()>*>(work))(); }

template <typename Work>
void CInstallerDlg::OnWindowThread(Work&& work) {
    if (::GetCurrentThreadId() == windowThread_) {
        work();
        return;
    }
    // Before the window exists and after it has gone there is nothing to change.
    HWND window = window_.load();
    if (!window) return;
    std::function<void()> call(std::forward<Work>(work));
    ::SendMessageW(window, kRunOnWindowThread, 0, reinterpret_cast<LPARAM>(&call));
}

void CInstallerDlg::SetPageState(PageState state) {
    OnWindowThread([this, state] { ApplyPage(state); });
}

void CInstallerDlg::SetErrorTextId(int stringId) { errorTextId = stringId; }

void CInstallerDlg::SetProgressPos(int position) {
    OnWindowThread([this, position] { progressBar_.SetPos(position); });
}

int CInstallerDlg::GetProgressPos() {
    int position = 0;
    OnWindowThread([this, &position] { position = progressBar_.GetPos(); });
    return position;
}

void CInstallerDlg::ReportPercent(int percent) {
    OnWindowThread([this, percent] {
        // While the cancel confirmation is open the page stands still.
        if (exitPromptOpen) return;
        const int old = progressBar_.GetPos();
        progressBar_.SetPos(percent * 10);
        if (old / 10 < percent) SetProgressText(percent);
    });
}

void CInstallerDlg::SetProgressTarget(int target) { progressTarget = target; }

void CInstallerDlg::StartProgressCreep() {
    // A timer belongs to the thread of its window: only that thread may set it.
    OnWindowThread([this] {
        ::SetTimer(hwnd_, kProgressCreepTimer, kProgressCreepIntervalMs, nullptr);
    });
}

void CInstallerDlg::StopProgressCreep() {
    OnWindowThread([this] { ::KillTimer(hwnd_, kProgressCreepTimer); });
}

std::wstring CInstallerDlg::GetInstallPath() {
    std::wstring path;
    OnWindowThread([this, &path] { path = installPath; });
    return path;
}

RECT CInstallerDlg::GetWindowRectangle() {
    RECT rect{};
    OnWindowThread([this, &rect] { ::GetWindowRect(hwnd_, &rect); });
    return rect;
}

void CInstallerDlg::Close() {
    HWND window = window_.load();
    if (window) ::SendMessageW(window, WM_CLOSE, 0, 0);
}

// ---- Creation ------------------------------------------------------------------------------

void CInstallerDlg::PlaceWindow() {
    RECT frame{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT workArea{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    const POINT origin = WindowOrigin(initialLeft, initialTop, width, height, workArea);
    ::SetWindowPos(hwnd_, nullptr, origin.x, origin.y, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CInstallerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Placed here rather than on creation: the dialog layer centres a window that keeps its
    // place through its initialisation, which would override the position handed over.
    PlaceWindow();
    windowThread_ = ::GetCurrentThreadId();
    window_ = hwnd_;

    const std::wstring about = LoadText(IDS_ABOUTBOX);
    if (!about.empty()) {
        if (HMENU menu = ::GetSystemMenu(hwnd_, FALSE)) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(menu, MF_STRING, kAboutCommand, about.c_str());
        }
    }

    appIcon_ = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP_ICON));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon_));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appIcon_));

    ::SetWindowTextW(hwnd_, LoadText(IDS_PRODUCT_DISPLAY_NAME).c_str());

    CreateControls();
    ApplyPage(PageState::Checking);
    StartThread(&CInstallerDlg::StartupCheckThread);
    return TRUE;
}

void CInstallerDlg::CreateControls() {
    auto button = [this](UINT id, UINT normal, UINT hover, UINT pressed) {
        return std::make_unique<CDesignButton>(&CInstallerDlg::OnButtonClicked, id, normal, hover,
                                               pressed, this);
    };
    closeButton_ = button(IDC_BTN_CLOSE, IDP_CLOSE, IDP_CLOSE, IDP_CLOSE);
    closeButton_->Create(hwnd_, L"", kCloseButton);
    minimizeButton_ = button(IDC_BTN_MINIMIZE, IDP_MINIMIZE, IDP_MINIMIZE, IDP_MINIMIZE);
    minimizeButton_->Create(hwnd_, L"", kMinimizeButton);

    fonts_ = CreateFonts();
    ::SendMessageW(Item(IDC_STATUS_TEXT), WM_SETFONT,
                   reinterpret_cast<WPARAM>(fonts_.text.get()), FALSE);

    spinner_ = button(IDC_ANIMATION, 0, 0, 0);
    spinner_->Create(hwnd_, L"", kSpinner);

    progressBar_.SubclassDlgItem(IDC_PROGRESS, hwnd_);
    ::SendMessageW(progressBar_.GetSafeHwnd(), PBM_SETRANGE, 0, MAKELPARAM(0, kProgressRange));
    ::SendMessageW(progressBar_.GetSafeHwnd(), PBM_SETSTEP, 1, 0);
    ::MoveWindow(progressBar_.GetSafeHwnd(), kProgressBar.left, kProgressBar.top,
                 kProgressBar.right - kProgressBar.left, kProgressBar.bottom - kProgressBar.top,
                 FALSE);

    pathField_ = std::make_unique<CDLEdit>();
    pathField_->Create(hwnd_, kPathField, IDC_EDIT_PATH);
    browseButton_ = button(IDC_BTN_BROWSE, 0, 0, 0);
    browseButton_->Create(hwnd_, L"", kBrowseButton);

    HWND checking = Item(IDC_CHECKING_TEXT);
    ::SetWindowTextW(checking, LoadText(IDS_CHECKING_INTERNET).c_str());
    PlaceMeasured(checking, fonts_.checking.get(), -1, kCheckingTextTop);

    PlaceLicenceRow();

    installButton_ = button(IDC_BTN_INSTALL, 0, 0, 0);
    installButton_->Create(hwnd_, LoadText(IDS_INSTALL), kInstallButton);
    cancelButton_ = button(IDC_BTN_CANCEL, 0, 0, 0);
    cancelButton_->Create(hwnd_, LoadText(IDS_CANCEL), kCancelButton);
    okButton_ = button(IDC_BTN_OK, 0, 0, 0);
    okButton_->Create(hwnd_, LoadText(IDS_OK), kOkButton);
}

// Gives `control` its font and moves it to the size of its text as one line; x -1 centres it.
void CInstallerDlg::PlaceMeasured(HWND control, HFONT font, int x, int y) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), length + 1)));
    const SIZE size = MeasureText(control, font, text);
    ::MoveWindow(control, x < 0 ? CenteredLeft(size.cx) : x, y, size.cx, size.cy, FALSE);
}

void CInstallerDlg::PlaceLicenceRow() {
    struct Part {
        UINT id;
        UINT text;
        HFONT font;
        SIZE size;
    } parts[] = {{IDC_ACCEPT_TEXT, IDS_I_ACCEPT, fonts_.text.get(), {}},
                 {IDC_PRIVACY_LINK, IDS_PRIVACY_POLICY, fonts_.link.get(), {}},
                 {IDC_AND_TEXT, IDS_AND, fonts_.text.get(), {}},
                 {IDC_TERMS_LINK, IDS_TERMS_OF_SERVICE, fonts_.link.get(), {}}};
    for (Part& part : parts) {
        const std::wstring text = LoadText(part.text);
        ::SetWindowTextW(Item(part.id), text.c_str());
        ::SendMessageW(Item(part.id), WM_SETFONT, reinterpret_cast<WPARAM>(part.font), FALSE);
        part.size = MeasureText(Item(part.id), part.font, text);
    }
    const LicenceRow row =
        LayOutLicenceRow(parts[0].size.cx, parts[1].size.cx, parts[2].size.cx, parts[3].size.cx);
    const int lefts[] = {row.acceptText, row.privacyLink, row.andText, row.termsLink};
    for (int i = 0; i < 4; ++i) {
        ::MoveWindow(Item(parts[i].id), lefts[i], kLicenceRowTop, parts[i].size.cx,
                     parts[i].size.cy, FALSE);
    }
    acceptBox_ = std::make_unique<CDesignButton>(&CInstallerDlg::OnButtonClicked, IDC_CHK_ACCEPT,
                                                 IDP_CHECK_OFF, IDP_CHECK_OFF, IDP_CHECK_ON, this);
    acceptBox_->Create(hwnd_, L"",
                       RECT{row.checkBox, kLicenceRowTop, row.checkBox + kCheckBoxSize,
                            kLicenceRowTop + kCheckBoxSize});
}

// ---- Pages ---------------------------------------------------------------------------------

void CInstallerDlg::ApplyPage(PageState state) {
    const PageRow& row = PageRowOf(state);
    pagesShown.push_back(state);
    decoration = Decoration{};
    decoration.scene = row.decoration == PageDecoration::Scene;
    decoration.problem = row.decoration == PageDecoration::Problem;
    decoration.done = row.decoration == PageDecoration::Done;

    if (row.installFirst) Show(installButton_->GetSafeHwnd(), false);
    switch (row.status) {
    case StatusSource::Hidden:
        ShowStatusText(false, 0, false);
        break;
    case StatusSource::String:
        ShowStatusText(true, row.statusString, row.progress == Visibility::Shown);
        break;
    case StatusSource::ErrorText:
        ShowStatusText(true, static_cast<UINT>(errorTextId.load()), row.progress == Visibility::Shown);
        break;
    case StatusSource::Unchanged:
        break;
    }
    if (row.licenceRow != Visibility::Unchanged) ShowLicenseRow(row.licenceRow == Visibility::Shown);
    if (row.okButton != Visibility::Unchanged) Show(okButton_->GetSafeHwnd(), row.okButton == Visibility::Shown);
    SetSpinnerRunning(row.spinner);

    // The new decoration is painted over the whole window, the controls again over it.
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CInstallerDlg::SetSpinnerRunning(bool running) {
    Show(Item(IDC_CHECKING_TEXT), running);
    if (running) {
        ::SetTimer(hwnd_, kAnimationTimer, kAnimationIntervalMs, nullptr);
    } else {
        ::KillTimer(hwnd_, kAnimationTimer);
    }
    Show(spinner_->GetSafeHwnd(), running);
}

void CInstallerDlg::ShowStatusText(bool show, UINT stringId, bool withProgress) {
    HWND status = Item(IDC_STATUS_TEXT);
    if (!show) {
        Show(status, false);
        Show(progressBar_.GetSafeHwnd(), false);
        return;
    }
    const std::wstring text = ReplaceAll(LoadText(stringId), L"[ProductName]", kProductName);
    // Hidden while it changes, so the background is painted again under the old text.
    Show(status, false);
    ::SetWindowTextW(status, text.c_str());
    const SIZE size = MeasureText(status, fonts_.text.get(), text);
    ::MoveWindow(status, CenteredLeft(size.cx), StatusTextTop(stringId), size.cx,
                 StatusTextHeight(text, size.cy), FALSE);
    ::SetWindowLongPtrW(status, GWL_STYLE, ::GetWindowLongPtrW(status, GWL_STYLE) | SS_CENTER);
    ::InvalidateRect(status, nullptr, TRUE);
    Show(status, true);
    Show(progressBar_.GetSafeHwnd(), withProgress);
}

void CInstallerDlg::SetProgressText(int percent) {
    HWND status = Item(IDC_STATUS_TEXT);
    const std::wstring text = LoadText(IDS_INSTALLING) + L" " + std::to_wstring(percent) + L"%";
    Show(status, false);
    ::SetWindowTextW(status, text.c_str());
    const SIZE size = MeasureText(status, fonts_.text.get(), text);
    ::MoveWindow(status, CenteredLeft(size.cx), kPercentTextTop, size.cx, size.cy, FALSE);
    Show(status, true);
}

void CInstallerDlg::ShowLicenseRow(bool show) {
    for (UINT id : {IDC_PRIVACY_LINK, IDC_ACCEPT_TEXT, IDC_AND_TEXT, IDC_TERMS_LINK})
        Show(Item(id), show);
    Show(acceptBox_->GetSafeHwnd(), show);
    Show(installButton_->GetSafeHwnd(), show);
    Show(cancelButton_->GetSafeHwnd(), false);
    if (!show) {
        Show(browseButton_->GetSafeHwnd(), false);
        Show(pathField_->GetSafeHwnd(), false);
        return;
    }
    Show(pathField_->GetSafeHwnd(), true);
    if (presetInstallFolder.empty()) {
        wchar_t localAppData[MAX_PATH] = {};
        // Without the user's local application-data folder there is no default to offer (a path
        // built on nothing would start at the drive root).
        if (::SHGetSpecialFolderPathW(nullptr, localAppData, CSIDL_LOCAL_APPDATA, FALSE) &&
            localAppData[0]) {
            const std::wstring folder = ProductFolderIn(localAppData);
            MakePathExist(folder);
            presetInstallFolder = folder;
        }
    }
    installPath = presetInstallFolder;
    pathField_->SetWindowText(installPath);
    Show(browseButton_->GetSafeHwnd(), true);
}

// ---- The user's actions --------------------------------------------------------------------

int CInstallerDlg::OnButtonClicked(int, int, UINT controlId, void* window, int checked) {
    auto* self = static_cast<CInstallerDlg*>(window);
    switch (controlId) {
    case IDC_BTN_CLOSE: self->ConfirmExit(); break;
    case IDC_BTN_MINIMIZE: ::ShowWindow(self->hwnd_, SW_MINIMIZE); break;
    case IDC_BTN_INSTALL: self->OnInstallClicked(); break;
    case IDC_BTN_BROWSE: self->OnBrowseClicked(); break;
    case IDC_CHK_ACCEPT: self->licenseAccepted = checked ? 1 : 0; break;
    case IDC_BTN_OK: self->OnOkClicked(); break;
    }
    return 1;
}

bool CInstallerDlg::AskAdministratorRestart() {
    CCoverDlg cover(hwnd_);
    cover.ShowOver(hwnd_);
    CAdminDlg question(hwnd_);
    question.DoModal();
    return question.confirmed == 1;
}

void CInstallerDlg::OnInstallClicked() {
    if (!IsUserAdministrator() && !CanWriteBelow(installPath)) {
        if (!AskAdministratorRestart()) return;
        StartElevated(ElevatedRestartFor(installPath));
        // Whatever became of the restart, this installer ends here.
        EndProcess(0);
    }
    if (licenseAccepted != 1) {
        int accepted = 0;
        int quit = 0;
        {
            CCoverDlg cover(hwnd_);
            cover.ShowOver(hwnd_);
            Show(installButton_->GetSafeHwnd(), false);
            CLicenseDlg license(hwnd_);
            license.DoModal();
            accepted = license.accepted;
            quit = license.quit;
        }
        if (quit) {
            EndWithCleanup();
            return;
        }
        if (!accepted) {
            Show(installButton_->GetSafeHwnd(), true);
            return;
        }
    }
    ApplyPage(PageState::Downloading);
    progressBar_.SetPos(0);
    StartThread(&CInstallerDlg::DownloadThread);
}

void CInstallerDlg::OnBrowseClicked() {
    folderBrowserOpen = 1;
    // The browser's new style needs COM on this thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW browse{};
    browse.hwndOwner = hwnd_;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = L"";
    browse.ulFlags = BIF_NEWDIALOGSTYLE;
    if (PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse)) {
        wchar_t folder[MAX_PATH] = {};
        if (::SHGetPathFromIDListW(chosen, folder) && folder[0]) {
            installPath = ProductFolderIn(folder);
            pathField_->SetWindowText(installPath);
        }
        ::CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    folderBrowserOpen = 0;
    if (downloadDone && !installPath.empty()) StartInstallPhase();
}

void CInstallerDlg::ConfirmExit() {
    // Once the download phase has succeeded the install phase runs or is about to start: it is
    // not cancelled half-way.
    if (downloadDoneOfProcess) return;
    CCoverDlg cover(hwnd_);
    cover.ShowOver(hwnd_);
    exitConfirmed = 0;
    exitPromptOpen = 1;
    CExitOption question(hwnd_);
    question.DoModal();
    // The decision is in place before the paused worker sees the prompt close.
    if (question.confirmed == 1) exitConfirmed = 1;
    exitPromptOpen = 0;
    if (exitConfirmed) EndWithCleanup();
}

void CInstallerDlg::OnOkClicked() { EndWithCleanup(); }

void CInstallerDlg::EndWithCleanup() {
    // The archive tool the start-up check holds open goes first, so the folder goes whole.
    pipeline_.ReleaseArchiveTool();
    CleanupTempFolder();
    EndDialog(IDCANCEL);
}

void CInstallerDlg::OnCancel() { EndDialog(IDCANCEL); }

void CInstallerDlg::OnTimer(UINT_PTR id) {
    if (id == kAnimationTimer) {
        const int next = NextSpinnerFrame(spinner_->Frame());
        if (next) {
            spinner_->SetFrame(next);
        } else {
            ::KillTimer(hwnd_, kAnimationTimer);
        }
        // The frame is blended over the background, so the background goes under it first.
        HWND spinner = spinner_->GetSafeHwnd();
        Show(spinner, false);
        ::RedrawWindow(spinner, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        Show(spinner, true);
    } else if (id == kProgressCreepTimer) {
        const int position = progressBar_.GetPos();
        if (position + kProgressCreepStep <= progressTarget) {
            progressBar_.SetPos(position + kProgressCreepStep);
        }
    }
}

void CInstallerDlg::OnPaint() {
    PaintDc paint(hwnd_);
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    if (::IsIconic(hwnd_)) {
        ::SendMessageW(hwnd_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.get()), 0);
        PaintMinimized(paint.get(), client, appIcon_);
        return;
    }
    PaintPage(paint.get(), client, decoration);
}

INT_PTR CInstallerDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    switch (message) {
    case kRunOnWindowThread:
        RunCall(reinterpret_cast<void*>(lParam));
        handled = true;
        return TRUE;
    case WM_PAINT:
        OnPaint();
        handled = true;
        return TRUE;
    case WM_PRINTCLIENT: {
        // The progress bar asks for what lies under its track.
        RECT client{};
        ::GetClientRect(hwnd_, &client);
        PaintPage(reinterpret_cast<HDC>(wParam), client, decoration);
        handled = true;
        return TRUE;
    }
    case WM_ERASEBKGND:
        // The paint covers every pixel with the background.
        handled = true;
        return TRUE;
    case WM_TIMER:
        OnTimer(wParam);
        handled = true;
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, kTextColor);
        ::SetBkMode(dc, TRANSPARENT);
        handled = true;
        return reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH));
    }
    case WM_LBUTTONDOWN: {
        // The whole surface drags the window, as a caption would.
        POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ::ClientToScreen(hwnd_, &point);
        ::PostMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
        handled = true;
        return TRUE;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == kAboutCommand) {
            CAboutDlg about(hwnd_);
            about.DoModal();
            handled = true;
            return TRUE;
        }
        // Alt+F4 and the system menu's Close: asked like the close button.
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            ConfirmExit();
            handled = true;
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        // Escape: asked like the close button.
        if (LOWORD(wParam) == IDCANCEL) {
            ConfirmExit();
            handled = true;
            return TRUE;
        }
        if (HIWORD(wParam) == STN_CLICKED && LOWORD(wParam) == IDC_PRIVACY_LINK) {
            OpenLicensePage(LicensePage::Privacy);
            handled = true;
            return TRUE;
        }
        if (HIWORD(wParam) == STN_CLICKED && LOWORD(wParam) == IDC_TERMS_LINK) {
            OpenLicensePage(LicensePage::Terms);
            handled = true;
            return TRUE;
        }
        break;
    case WM_DESTROY:
        window_ = nullptr;
        ::KillTimer(hwnd_, kAnimationTimer);
        ::KillTimer(hwnd_, kProgressCreepTimer);
        break;
    }
    return CDialog::OnMessage(message, wParam, lParam, handled);
}

// ---- Threads -------------------------------------------------------------------------------

void CInstallerDlg::StartThread(LPTHREAD_START_ROUTINE procedure) {
    // Never joined: the process ends with the window, and the workers with it.
    UniqueHandle thread(::CreateThread(nullptr, 0, procedure, this, 0, nullptr));
}

void CInstallerDlg::StartInstallPhase() {
    if (installStarted_.exchange(true)) return;
    ApplyPage(PageState::Installing);
    progressBar_.SetPos(0);
    StartThread(&CInstallerDlg::InstallThread);
}

DWORD WINAPI CInstallerDlg::StartupCheckThread(LPVOID window) {
    if (!window) return 0;
    auto* self = static_cast<CInstallerDlg*>(window);
    self->pipeline_.RunStartupCheck(*self);
    return 0;
}

DWORD WINAPI CInstallerDlg::DownloadThread(LPVOID window) {
    if (!window) return 0;
    auto* self = static_cast<CInstallerDlg*>(window);
    const bool ok = self->pipeline_.RunDownloadPhase(*self);
    self->downloadDone = ok ? 1 : 0;
    downloadDoneOfProcess = ok ? 1 : 0;
    // Decided on the window thread, where the folder browser's closing decides as well.
    self->OnWindowThread([self, ok] {
        if (ok && !self->folderBrowserOpen && !self->pathField_->GetWindowText().empty()) {
            self->StartInstallPhase();
        }
    });
    return 0;
}

DWORD WINAPI CInstallerDlg::InstallThread(LPVOID window) {
    if (!window) return 0;
    auto* self = static_cast<CInstallerDlg*>(window);
    self->pipeline_.RunInstallPhase(*self);
    return 0;
}
