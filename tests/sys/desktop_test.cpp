#include "sys/desktop.h"

#include <gtest/gtest.h>

#include "sys/files.h"
#include "sys/handle.h"
#include "sys/paths.h"
#include "tests/support/test_support.h"

namespace {

std::wstring InstalledFontPath() {
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\Fonts\\Roboto-Regular.ttf";
}

std::wstring FontValue() {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0,
                        KEY_READ, key.put()) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t data[MAX_PATH] = {};
    DWORD bytes = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key.get(), L"Roboto-Regular (TrueType)", nullptr, &type,
                           reinterpret_cast<BYTE*>(data), &bytes) != ERROR_SUCCESS || type != REG_SZ) {
        return {};
    }
    return data;
}

TEST(InstallFont, InstallsOnceThenFindsItInstalled) {
    const std::wstring installed = InstalledFontPath();
    ::RemoveFontResourceW(installed.c_str());
    ::DeleteFileW(installed.c_str());
    ASSERT_FALSE(PathExists(installed));
    const std::wstring extracted = GetTempFolder() + L"\\Roboto-Regular.ttf";

    // First start on a machine without the font: copied and registered, nothing logged, the
    // extracted file stays.
    LogMark first;
    InstallFont();
    EXPECT_TRUE(first.NewMessages().empty());
    EXPECT_EQ(ReadFileBytes(installed), ReadFileBytes(Widen(TELVISTA_ROBOTO_TTF)));
    EXPECT_EQ(FontValue(), L"Roboto-Regular.ttf");
    EXPECT_TRUE(PathExists(extracted));
    LOGFONTW wanted{};
    wcscpy(wanted.lfFaceName, L"Roboto");
    HDC screen = ::GetDC(nullptr);
    bool found = false;
    ::EnumFontFamiliesExW(
        screen, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
            *reinterpret_cast<bool*>(found) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    EXPECT_TRUE(found) << "Roboto is usable after the install";

    // Every later start: "Font installed" and the extracted file is gone.
    LogMark later;
    InstallFont();
    EXPECT_EQ(later.NewMessages(), std::vector<std::string>{"Font installed"});
    EXPECT_FALSE(PathExists(extracted));
}

}  // namespace
