#pragma once
// The main window: dialog 102, its pages, its buttons and timers, and the three worker threads
// that run the install pipeline's flows one after the other. The workers reach the window only
// through the worker-to-window interface; every change they ask for is carried out on the window
// thread by a synchronous message, so it has taken effect when their call returns.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/page_table.h"
#include "pipeline/install_pipeline.h"
#include "pipeline/installer_window.h"
#include "ui/design_button.h"
#include "ui/design_progress.h"
#include "ui/dialog.h"
#include "ui/dl_edit.h"
#include "ui/main_look.h"

// 1 once a download phase has succeeded. ConfirmExit reads this copy: from then on the install
// phase runs or is about to, and the installer can no longer be cancelled.
extern std::atomic<int> downloadDoneOfProcess;

class MainWindowTest;

class CInstallerDlg : public CDialog, public InstallerWindow {
    friend class MainWindowTest;  // the spinner's frame, the pipeline's archive tool

public:
    CInstallerDlg();
    ~CInstallerDlg() override;

    int initialLeft = 0;
    int initialTop = 0;

    // The worker-to-window interface. Callable from any thread.
    void SetPageState(PageState state) override;
    void SetErrorTextId(int stringId) override;
    void SetProgressPos(int position) override;
    int GetProgressPos() override;
    void ReportPercent(int percent) override;
    void SetProgressTarget(int target) override;
    void StartProgressCreep() override;
    void StopProgressCreep() override;
    bool IsExitPromptOpen() override { return exitPromptOpen.load() != 0; }
    bool IsExitConfirmed() override { return exitConfirmed.load() != 0; }
    std::wstring GetInstallPath() override;
    RECT GetWindowRectangle() override;
    void Close() override;

    // The window thread's part; the interface above carries its callers here.
    void ShowStatusText(bool show, UINT stringId, bool withProgress);
    void SetProgressText(int percent);
    void ShowLicenseRow(bool show);

    // The thread procedures, each given the window; a null window returns at once.
    static DWORD WINAPI StartupCheckThread(LPVOID window);
    static DWORD WINAPI DownloadThread(LPVOID window);
    static DWORD WINAPI InstallThread(LPVOID window);

    // The ButtonClickCallback of every button of the window; dispatches by control ID.
    static int OnButtonClicked(int x, int y, UINT controlId, void* window, int checked);

    // Flags shared with the workers, which poll them.
    std::atomic<int> exitPromptOpen{0};
    std::atomic<int> exitConfirmed{0};
    std::atomic<int> downloadDone{0};
    std::atomic<int> folderBrowserOpen{0};
    std::atomic<int> errorTextId{0};
    std::atomic<int> progressTarget{0};

    int licenseAccepted = 0;
    std::wstring installPath;  // window thread only; workers ask through GetInstallPath

    // What the page shows now, read by the painting.
    MainLook::Decoration decoration;
    // Every page shown so far, in order (window thread only).
    std::vector<PageState> pagesShown;

    // The cover and question of the administrator restart; true when the user agreed. The page
    // does not change either way.
    bool AskAdministratorRestart();

protected:
    BOOL OnInitDialog() override;
    // WM_CLOSE: the flows close the window with it once they are done, so it ends at once.
    void OnCancel() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    void PlaceWindow();
    void CreateControls();
    void PlaceMeasured(HWND control, HFONT font, int x, int y);
    void PlaceLicenceRow();
    void ApplyPage(PageState state);
    void SetSpinnerRunning(bool running);

    void OnInstallClicked();
    void OnBrowseClicked();
    void ConfirmExit();
    void OnOkClicked();
    void OnTimer(UINT_PTR id);
    void OnPaint();
    void EndWithCleanup();

    void StartThread(LPTHREAD_START_ROUTINE procedure);
    // Starts the install phase unless it has been started already (it runs once at most).
    void StartInstallPhase();

    // Runs `work` on the window thread and returns when it is done.
    template <typename Work>
    void OnWindowThread(Work&& work);
    static void RunCall(void* work);

    HWND Item(UINT id) const { return ::GetDlgItem(hwnd_, static_cast<int>(id)); }

    MainLook::Fonts fonts_;
    HICON appIcon_ = nullptr;
    std::unique_ptr<CDesignButton> installButton_;
    std::unique_ptr<CDesignButton> cancelButton_;
    std::unique_ptr<CDesignButton> okButton_;
    std::unique_ptr<CDesignButton> browseButton_;
    std::unique_ptr<CDesignButton> spinner_;
    std::unique_ptr<CDesignButton> closeButton_;
    std::unique_ptr<CDesignButton> minimizeButton_;
    std::unique_ptr<CDesignButton> acceptBox_;
    std::unique_ptr<CDLEdit> pathField_;
    CDesignProgress progressBar_;
    InstallPipeline pipeline_;

    DWORD windowThread_ = 0;
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> installStarted_{false};
};

// Where a window of `width` x `height` goes: `left`/`top` as given, or centred in `workArea` on
// an axis whose value is below 1.
POINT WindowOrigin(int left, int top, int width, int height, const RECT& workArea);
