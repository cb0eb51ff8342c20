#pragma once
// The main window under test: the real CInstallerDlg run modally on a window thread of the test,
// found and driven from the test's thread. The test's thread is a foreign thread to the window,
// as the workers are, so the worker-to-window interface is called from here as they call it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "app/installer_dlg.h"
#include "tests/fixtures/http_fixture.h"
#include "tests/pipeline/pipeline_support.h"
#include "tests/ui/ui_support.h"

// The release server's replies for a first installation of `package` (bytes served at
// /files/package.zip with `packageReply`'s behaviour): the installer is current, .NET present, the
// package wanted.
std::vector<FixtureRoute> FirstInstallRoutes(const std::string& package,
                                             FixtureReply packageReply);
// The stand-in product packed as the application package (built with the tests).
std::string StandInPackage();

class MainWindowTest : public MachineStateTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs a new window at the given position (below 1: centred) and waits until it takes
    // requests and, with `untilReady`, until its start-up check has shown Ready. The window's
    // flows run for real against the fixture server, which TestServer.txt names; SetUp scripts a
    // first installation whose package download fails after 1.5 s (so a test sees Downloading
    // and the download phase ends with Error 103 by itself). The window object lives as long as the test program: its workers may still hold
    // it after it has closed, as in the installer, where the process ends with the window.
    void Open(int left = 0, int top = 0, bool untilReady = true);
    // The pages the window has shown, in order (consecutive repeats folded).
    std::vector<PageState> Pages();
    bool WaitForPage(PageState page, DWORD timeoutMs = 20000);
    PageState CurrentPage();
    // True once the window's modal loop has returned.
    bool WaitClosed(DWORD timeoutMs = 10000);

    HWND Item(UINT id) const { return ::GetDlgItem(hwnd, static_cast<int>(id)); }
    std::set<UINT> VisibleControls(const std::vector<UINT>& ids) const;

    // A user's left click in the middle of control `id` (of the window or of `dialog`): the
    // press and release are posted, as the input queue delivers them, and the window thread has
    // handled them (and whatever they opened) when this returns.
    void Click(UINT id);
    void ClickIn(HWND dialog, UINT id);
    // A key pressed and released on the window, with Alt held for `alt`.
    void PressKey(UINT key, bool alt);
    // Until the window thread has handled everything posted to it so far.
    void Settle();
    // WM_TIMER `id` as the timer delivers it.
    void Tick(UINT_PTR id);

    // The visible dialog of the window thread other than the window and the cover (a question,
    // the about box, the folder browser), once there is one; null after `timeoutMs`.
    HWND OtherDialog(DWORD timeoutMs = 10000);
    // Whether the translucent cover lies over the window.
    bool CoverIsShown();

    // The window's client area as drawn.
    Pixels Shot();
    // A file in the run's temporary folder, made now, so a test can see the folder go.
    std::wstring TempMarker();
    CDesignButton* Spinner() { return dialog->spinner_.get(); }

    HttpFixture& server = HttpFixture::Get();
    std::wstring serverFile;

    WindowThread ui;
    CInstallerDlg* dialog = nullptr;
    HWND hwnd = nullptr;
    std::atomic<bool> closed{false};

private:
    HWND sync_ = nullptr;
    HANDLE synced_ = nullptr;
};

// Pixel (x, y) of bitmap resource `id` and of PNG resource `id` (colours premultiplied).
COLORREF BitmapPixel(UINT id, int x, int y);
COLORREF PngPixel(UINT id, int x, int y);
// A fully opaque pixel of PNG `id` near its middle.
POINT OpaquePoint(UINT id);

// Writes `pixels` as a 24-bit BMP file.
bool SaveBitmap(const Pixels& pixels, const std::wstring& path);
