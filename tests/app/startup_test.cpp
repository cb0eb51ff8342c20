// The start-up sequence end to end, with real installer processes: the x86_64 build of the
// installer next to this test program is copied into scratch folders under the names the
// scenarios need.
#include <gtest/gtest.h>

#include <algorithm>

#include "sys/files.h"
#include "sys/process.h"
#include "tests/support/test_support.h"

namespace {

std::wstring Installer() { return TestBinaryFolder() + L"\\..\\TelvistaSetup.exe"; }
std::wstring Sleeper() { return TestBinaryFolder() + L"\\sleeper.exe"; }

std::wstring ImageOf(DWORD pid) {
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!process || !::QueryFullProcessImageNameW(process.get(), 0, path, &size)) return {};
    return path;
}

// The visible top-level windows of processes running the executable `image`.
struct WindowSearch {
    std::wstring image;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindowOf(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (::IsWindowVisible(window) && ::GetParent(window) == nullptr &&
        lstrcmpiW(ImageOf(pid).c_str(), search->image.c_str()) == 0) {
        search->found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> WindowsOf(const std::wstring& image) {
    WindowSearch search{image, {}};
    ::EnumWindows(CollectWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

void CloseAndWait(HWND window, const std::wstring& imageName) {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsProcessRunning(imageName); }));
}

TEST(Startup, SelfReplacementWaitsCopiesRestartsAndCleansUp) {
    ScratchFolder folder;
    const std::wstring target = folder / L"setup.exe";
    const std::wstring copy = folder / L"tmpsetup.exe";
    // The old installer: any program named setup.exe that is still running.
    ASSERT_TRUE(::CopyFileW(Sleeper().c_str(), target.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(Installer().c_str(), copy.c_str(), FALSE));
    const std::string installerBytes = ReadFileBytes(copy);

    LogMark mark;
    UniqueHandle old = StartProcess(target, L"3000 0", folder.path());
    ASSERT_TRUE(old);
    ASSERT_TRUE(WaitUntil([] { return IsProcessRunning(L"setup.exe"); }));
    UniqueHandle replacement = StartProcess(copy, L"u 100 200", folder.path());
    ASSERT_TRUE(replacement);

    // While the old installer runs, the copy only waits.
    ::Sleep(1000);
    EXPECT_EQ(::WaitForSingleObject(replacement.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_NE(ReadFileBytes(target), installerBytes);

    // Then it copies itself over the old file, starts it with "T L" and ends.
    ASSERT_EQ(::WaitForSingleObject(old.get(), 10000), WAIT_OBJECT_0);
    ASSERT_EQ(::WaitForSingleObject(replacement.get(), 20000), WAIT_OBJECT_0);
    EXPECT_EQ(ReadFileBytes(target), installerBytes);

    // The new installer deletes the leftover copy and opens its window where the old one stood.
    std::vector<HWND> windows;
    ASSERT_TRUE(WaitUntil([&] { return !(windows = WindowsOf(target)).empty(); }));
    RECT frame{};
    ::GetWindowRect(windows[0], &frame);
    EXPECT_EQ(frame.left, 200);
    EXPECT_EQ(frame.top, 100);
    EXPECT_EQ(frame.right - frame.left, 960);
    EXPECT_EQ(frame.bottom - frame.top, 600);
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(copy); }));

    const std::vector<std::string> lines = mark.NewMessages();
    const std::string copyLine = "copy file from " + Narrow(copy) + " to " + Narrow(target);
    for (const std::string& expected :
         {Narrow(copy), std::string("cmdline: u 100 200"), copyLine, std::string("Copy ok"),
          Narrow(target), std::string("cmdline: 100 200"), "delete file: " + Narrow(copy),
          std::string("Delete ok")}) {
        EXPECT_TRUE(Contains(lines, expected)) << expected;
    }
    EXPECT_LT(IndexOf(lines, copyLine), IndexOf(lines, "Copy ok"));
    EXPECT_LT(IndexOf(lines, "Copy ok"), IndexOf(lines, "cmdline: 100 200"));

    CloseAndWait(windows[0], L"setup.exe");
}

TEST(Startup, ReplacementFormUnderPlainNameEndsAtOnce) {
    ScratchFolder folder;
    const std::wstring setup = folder / L"setup.exe";
    ASSERT_TRUE(::CopyFileW(Installer().c_str(), setup.c_str(), FALSE));
    LogMark mark;
    UniqueHandle process = StartProcess(setup, L"u 100 200", folder.path());
    ASSERT_TRUE(process);
    ASSERT_EQ(::WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
    EXPECT_TRUE(WindowsOf(setup).empty());
    const std::vector<std::string> lines = mark.NewMessages();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "cmdline: u 100 200");  // nothing after it: no copy, no lock, no window
}

TEST(Startup, SecondInstanceEndsAtTheLockWithoutWindow) {
    ScratchFolder folder;
    const std::wstring first = folder / L"first.exe";
    const std::wstring second = folder / L"second.exe";
    ASSERT_TRUE(::CopyFileW(Installer().c_str(), first.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(Installer().c_str(), second.c_str(), FALSE));

    UniqueHandle running = StartProcess(first, L"", folder.path());
    std::vector<HWND> windows;
    ASSERT_TRUE(WaitUntil([&] { return !(windows = WindowsOf(first)).empty(); }));

    // Empty command line: centred in the work area.
    RECT frame{}, work{};
    ::GetWindowRect(windows[0], &frame);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(frame.left, (work.right - (frame.right - frame.left)) / 2);
    EXPECT_EQ(frame.top, (work.bottom - (frame.bottom - frame.top)) / 2);

    UniqueHandle other = StartProcess(second, L"", folder.path());
    ASSERT_TRUE(other);
    ASSERT_EQ(::WaitForSingleObject(other.get(), 20000), WAIT_OBJECT_0);
    EXPECT_TRUE(WindowsOf(second).empty());
    EXPECT_EQ(::WaitForSingleObject(running.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    CloseAndWait(windows[0], L"first.exe");
    // With the first gone, an installer starts again.
    UniqueHandle again = StartProcess(second, L"", folder.path());
    ASSERT_TRUE(WaitUntil([&] { return !(windows = WindowsOf(second)).empty(); }));
    CloseAndWait(windows[0], L"second.exe");
}

}  // namespace
