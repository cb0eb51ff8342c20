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

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Whether this process can draw in Roboto (installed for the system or loaded privately).
bool RobotoIsUsable() {
    LOGFONTW wanted{};
    wcscpy(wanted.lfFaceName, L"Roboto");
    HDC screen = ::GetDC(nullptr);
    bool found = false;
    ::EnumFontFamiliesExW(screen, &wanted, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
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
    EXPECT_TRUE(RobotoIsUsable()) << "Roboto is usable after the install";

    // Every later start: "Font installed" and the extracted file is gone.
    LogMark later;
    InstallFont();
    EXPECT_EQ(later.NewMessages(), std::vector<std::string>{"Font installed"});
    EXPECT_FALSE(PathExists(extracted));
}

// On Windows a standard user cannot write the fonts folder, so this is the road most users take.
// CTest runs it as its own entry (sys_tests_fonts_locked) with the prefix's fonts folder made
// unwritable and the installed copy removed.
TEST(InstallFont, WithoutWriteAccessToTheFontsFolderUsesAPrivateCopy) {
    if (!::GetEnvironmentVariableW(L"TELVISTA_FONTS_LOCKED", nullptr, 0)) {
        GTEST_SKIP() << "runs as sys_tests_fonts_locked";
    }
    const std::wstring installed = InstalledFontPath();
    const std::wstring probe = installed.substr(0, installed.rfind(L'\\')) + L"\\probe.tmp";
    UniqueFile written(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (written) {
        written.reset();
        ::DeleteFileW(probe.c_str());
        GTEST_SKIP() << "this file system cannot make the fonts folder unwritable (chattr +i)";
    }
    ASSERT_FALSE(PathExists(installed));
    ResolveInstallPaths();  // as at start-up, before the font

    LogMark mark;
    InstallFont();
    EXPECT_EQ(mark.NewMessages(), std::vector<std::string>{"Font install failed, using private copy"});
    EXPECT_FALSE(PathExists(installed));
    EXPECT_FALSE(PathExists(GetTempFolder() + L"\\Roboto-Regular.ttf"));

    // A window's font asked for by name gets Roboto.
    UniqueGdiObject font(::CreateFontW(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                                       0, L"Roboto"));
    HDC screen = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(screen, font.get());
    wchar_t face[LF_FACESIZE] = {};
    ::GetTextFaceW(screen, LF_FACESIZE, face);
    ::SelectObject(screen, old);
    ::ReleaseDC(nullptr, screen);
    EXPECT_STREQ(face, L"Roboto");
    EXPECT_TRUE(RobotoIsUsable());
}

}  // namespace
