#include "tests/app/window_support.h"

#include "app/installer_app.h"
#include "sys/files.h"
#include "sys/paths.h"
#include "tests/support/test_support.h"
#include "ui/gdi.h"
#include "ui/png_resource.h"

namespace {

constexpr wchar_t kSyncClass[] = L"TelvistaTestSync";
constexpr UINT kSync = WM_APP + 40;

LRESULT CALLBACK SyncProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kSync) {
        ::SetEvent(reinterpret_cast<HANDLE>(lParam));
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

struct ThreadSearch {
    HWND except;
    bool layered;  // look for the cover instead of a dialog
    HWND found;
};

BOOL CALLBACK FindThreadWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ThreadSearch*>(param);
    if (window == search->except || !::IsWindowVisible(window)) return TRUE;
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    const bool layered = (::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    if (std::wstring(name) == L"#32770" && layered == search->layered) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string StandInPackage() { return ReadFileBytes(Widen(TELVISTA_WINDOW_PACKAGE)); }


std::vector<FixtureRoute> FirstInstallRoutes(const std::string& package,
                                             FixtureReply packageReply) {
    HttpFixture& server = HttpFixture::Get();
    return {
        {"/api/release/windows_installer/config",
         {FixtureReply::Text(ConfigReplyFor("1.0.0.0", server.Url("/files/setup.exe"), "setup"))}},
        {"/api/release/windows_update_package/config",
         {FixtureReply::Text(ConfigReplyFor("2.0.0.0", server.Url("/files/package.zip"), package))}},
        {"/api/release/net_framework/config",
         {FixtureReply::Text(ConfigReplyFor("4.5.2", server.Url("/files/dotnet.exe"), "dotnet"))}},
        {"/files/package.zip", {packageReply}},
    };
}

void MainWindowTest::SetUp() {
    ASSERT_TRUE(server.available());
    ASSERT_TRUE(server.SetNetwork(true));
    ASSERT_TRUE(server.Script(FirstInstallRoutes("not a package", FixtureReply::Status(404).Delay(1500))));
    // .NET present, no Windows 10 values (no VC++ runtime), the product not installed.
    dotNetRelease.SetDword(528040);
    windowsMajor.Delete();
    installLocation.DeleteKey();
    serverFile = GetDownloadFolder() + L"\\TestServer.txt";
    WriteFileBytes(serverFile, "{\"ApplicationUpdate\": \"" + Narrow(server.Url("/api/")) + "\"}");
    // An empty temporary folder, as the installer's start makes it.
    RemoveFolder(GetTempFolder());
    MakePathExist(GetTempFolder());
    LoadInterfaceFont();
    downloadDoneOfProcess = 0;
    presetInstallFolder.clear();
    synced_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ui.Run([&] {
        static bool registered = [] {
            WNDCLASSW sync{};
            sync.lpfnWndProc = SyncProc;
            sync.hInstance = ::GetModuleHandleW(nullptr);
            sync.lpszClassName = kSyncClass;
            return ::RegisterClassW(&sync) != 0;
        }();
        (void)registered;
        sync_ = ::CreateWindowExW(0, kSyncClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    });
}

void MainWindowTest::TearDown() {
    if (dialog && !closed) {
        // What a flow does at its end: the window ends at once.
        dialog->Close();
        EXPECT_TRUE(WaitClosed());
    }
    // The window object stays (its workers may still hold it), but the archive tool its start-up
    // check holds open is let go, so the next window can write its own.
    if (dialog) dialog->pipeline_.ReleaseArchiveTool();
    ui.Run([&] { ::DestroyWindow(sync_); });
    ::CloseHandle(synced_);
    server.SetNetwork(true);
    RemoveFolder(GetTempFolder());
    ::DeleteFileW(serverFile.c_str());
}

void MainWindowTest::Open(int left, int top, bool untilReady) {
    dialog = new CInstallerDlg;
    dialog->initialLeft = left;
    dialog->initialTop = top;
    closed = false;
    ui.Post([this] {
        dialog->DoModal();
        closed = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return dialog->GetSafeHwnd() != nullptr; }, 10000));
    hwnd = dialog->GetSafeHwnd();
    // Answered once the dialog's own loop runs, that is after its initialisation.
    ui.Run([] {});
    if (untilReady) {
        ASSERT_TRUE(WaitForPage(PageState::Ready, 30000));
        // The start-up check ends right after the page: let it go before the test drives.
        ::Sleep(200);
    }
}

std::vector<PageState> MainWindowTest::Pages() {
    std::vector<PageState> pages;
    ui.Run([&] {
        for (PageState page : dialog->pagesShown)
            if (pages.empty() || pages.back() != page) pages.push_back(page);
    });
    return pages;
}

PageState MainWindowTest::CurrentPage() {
    PageState page = PageState::Checking;
    ui.Run([&] {
        if (!dialog->pagesShown.empty()) page = dialog->pagesShown.back();
    });
    return page;
}

bool MainWindowTest::WaitForPage(PageState page, DWORD timeoutMs) {
    return WaitUntil([&] { return !closed && CurrentPage() == page; }, timeoutMs);
}

bool MainWindowTest::WaitClosed(DWORD timeoutMs) {
    return WaitUntil([&] { return closed.load(); }, timeoutMs);
}

std::set<UINT> MainWindowTest::VisibleControls(const std::vector<UINT>& ids) const {
    std::set<UINT> visible;
    for (UINT id : ids)
        if (::IsWindowVisible(Item(id))) visible.insert(id);
    return visible;
}

void MainWindowTest::Settle() {
    ::PostMessageW(sync_, kSync, 0, reinterpret_cast<LPARAM>(synced_));
    EXPECT_EQ(::WaitForSingleObject(synced_, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
}

void MainWindowTest::Click(UINT id) { ClickIn(hwnd, id); }

void MainWindowTest::ClickIn(HWND window, UINT id) {
    HWND control = ::GetDlgItem(window, static_cast<int>(id));
    ASSERT_NE(control, nullptr) << id;
    RECT rect{};
    ::GetClientRect(control, &rect);
    const LPARAM point = MAKELPARAM(rect.right / 2, rect.bottom / 2);
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::PostMessageW(control, WM_LBUTTONUP, 0, point);
    Settle();
}

void MainWindowTest::PressKey(UINT key, bool alt) {
    const LPARAM down = 1 | (alt ? (1 << 29) : 0);
    const LPARAM up = down | (1u << 30) | (1u << 31);
    ::PostMessageW(hwnd, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, down);
    ::PostMessageW(hwnd, alt ? WM_SYSKEYUP : WM_KEYUP, key, up);
    Settle();
}

void MainWindowTest::Tick(UINT_PTR id) { ::SendMessageW(hwnd, WM_TIMER, id, 0); }

HWND MainWindowTest::OtherDialog(DWORD timeoutMs) {
    for (DWORD waited = 0;; waited += 20) {
        ThreadSearch search{hwnd, false, nullptr};
        ::EnumThreadWindows(ui.Id(), FindThreadWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            Settle();
            return search.found;
        }
        if (waited >= timeoutMs) return nullptr;
        ::Sleep(20);
    }
}

bool MainWindowTest::CoverIsShown() {
    ThreadSearch search{hwnd, true, nullptr};
    ::EnumThreadWindows(ui.Id(), FindThreadWindow, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
}

Pixels MainWindowTest::Shot() { return CaptureOn(ui, hwnd); }

std::wstring MainWindowTest::TempMarker() {
    const std::wstring temp = GetTempFolder();
    EXPECT_FALSE(temp.empty());
    MakePathExist(temp);
    const std::wstring marker = temp + L"\\marker.txt";
    WriteFileBytes(marker, "left by the test");
    EXPECT_TRUE(PathExists(marker));
    return marker;
}

COLORREF BitmapPixel(UINT id, int x, int y) {
    UniqueBitmap bitmap(static_cast<HBITMAP>(::LoadImageW(
        ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap) return CLR_INVALID;
    MemoryDc dc(nullptr);
    SelectObjectGuard select(dc.get(), bitmap.get());
    return ::GetPixel(dc.get(), x, y);
}

COLORREF PngPixel(UINT id, int x, int y) {
    PngImage image;
    if (!LoadPngResource(image, id)) return CLR_INVALID;
    const std::uint32_t p = image.Pixels()[static_cast<size_t>(y) * image.Width() + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

POINT OpaquePoint(UINT id) {
    PngImage image;
    if (!LoadPngResource(image, id)) return POINT{0, 0};
    const int w = image.Width(), h = image.Height();
    for (int r = 0; r < std::max(w, h) / 2; ++r) {
        for (int dy = -r; dy <= r; ++dy) {
            for (int dx = -r; dx <= r; ++dx) {
                const int x = w / 2 + dx, y = h / 2 + dy;
                if (x < 0 || y < 0 || x >= w || y >= h) continue;
                if ((image.Pixels()[static_cast<size_t>(y) * w + x] >> 24) == 0xFF) return {x, y};
            }
        }
    }
    return POINT{0, 0};
}

bool SaveBitmap(const Pixels& pixels, const std::wstring& path) {
    const int stride = (pixels.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = pixels.width;
    info.biHeight = pixels.height;  // bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(stride * pixels.height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    std::string row(static_cast<size_t>(stride), '\0');
    for (int y = pixels.height - 1; y >= 0; --y) {
        for (int x = 0; x < pixels.width; ++x) {
            const COLORREF c = pixels.At(x, y);
            row[static_cast<size_t>(x) * 3] = static_cast<char>(GetBValue(c));
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<char>(GetGValue(c));
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<char>(GetRValue(c));
        }
        bytes += row;
    }
    WriteFileBytes(path, bytes);
    return ReadFileBytes(path).size() == bytes.size();
}
