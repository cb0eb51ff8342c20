// Desktop integration: the desktop shortcut, its Start-menu copy and the autostart value.
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "sys/desktop.h"
#include "sys/com.h"
#include "sys/files.h"
#include "sys/handle.h"
#include "tests/pipeline/install_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr wchar_t kName[] = L"Telvista Shortcut Test";

TEST(DesktopShortcuts, ReplacesTheDesktopShortcutAndLeavesTheStartMenusAlone) {
    InstalledProductCleanup cleanup(kName);
    FakeClock clock;
    ScratchFolder scratch;
    const std::wstring target = scratch / L"Telvista.exe";
    WriteFileBytes(target, "program");

    // An older shortcut on the all-users desktop and one on the user's: both deleted.
    WriteFileBytes(CommonDesktopLink(kName), "old common");
    WriteFileBytes(UserDesktopLink(kName), "old own");
    DeleteDesktopShortcuts(kName);
    EXPECT_FALSE(PathExists(CommonDesktopLink(kName)));
    EXPECT_FALSE(PathExists(UserDesktopLink(kName)));

    // A Start-menu shortcut of that name stays as it was.
    WriteFileBytes(CommonProgramsLink(kName), "kept");
    EXPECT_TRUE(CreateShortcut(target, kName));
    EXPECT_EQ(ShortcutTarget(UserDesktopLink(kName)), target);
    EXPECT_FALSE(PathExists(CommonDesktopLink(kName)));
    EXPECT_EQ(ReadFileBytes(CommonProgramsLink(kName)), "kept");
    EXPECT_FALSE(PathExists(UserProgramsLink(kName)));
    EXPECT_EQ(clock.sleeps, std::vector<DWORD>{1000});

    // Without one, the Start menu gets a copy of the desktop shortcut.
    ::DeleteFileW(CommonProgramsLink(kName).c_str());
    EXPECT_TRUE(CreateShortcut(target, kName));
    EXPECT_EQ(ReadFileBytes(CommonProgramsLink(kName)), ReadFileBytes(UserDesktopLink(kName)));
    EXPECT_EQ(ShortcutTarget(CommonProgramsLink(kName)), target);
    EXPECT_EQ(GetStartMenuShortcutPath(kName), CommonProgramsLink(kName));
}

TEST(DesktopShortcuts, OnlyTheTargetIsSet) {
    InstalledProductCleanup cleanup(kName);
    FakeClock clock;
    ScratchFolder scratch;
    const std::wstring target = scratch / L"Telvista.exe";
    WriteFileBytes(target, "program");
    ASSERT_TRUE(CreateShortcut(target, kName));

    ComApartment com;
    ComPtr<IShellLinkW> link;
    ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IShellLinkW, link.put_void())));
    ComPtr<IPersistFile> file;
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void())));
    ASSERT_TRUE(SUCCEEDED(file->Load(UserDesktopLink(kName).c_str(), STGM_READ)));
    wchar_t text[MAX_PATH] = {};
    link->GetArguments(text, MAX_PATH);
    EXPECT_STREQ(text, L"");
    text[0] = 0;
    link->GetWorkingDirectory(text, MAX_PATH);
    EXPECT_STREQ(text, L"");
    text[0] = 0;
    link->GetDescription(text, MAX_PATH);
    EXPECT_STREQ(text, L"");
    WORD hotkey = 1;
    link->GetHotkey(&hotkey);
    EXPECT_EQ(hotkey, 0);
}

// A standard user cannot write the all-users Programs folder; Wine's user always can, so the
// failing copy is shown with an all-users place that cannot take the file.
TEST(DesktopShortcuts, StartMenuCopyFallsBackToTheUsersOwnPrograms) {
    ScratchFolder scratch;
    const std::wstring link = scratch / L"made.lnk";
    WriteFileBytes(link, "new link");
    const std::wstring unwritable = scratch / L"no such folder\\Pantavi.lnk";
    ::CreateDirectoryW((scratch / L"common").c_str(), nullptr);
    ::CreateDirectoryW((scratch / L"own").c_str(), nullptr);
    const std::wstring common = scratch / L"common\\Pantavi.lnk";
    const std::wstring own = scratch / L"own\\Pantavi.lnk";

    struct Case {
        const char* name;
        std::wstring allUsers;
        const char* inCommon;  // present before, or null
        const char* inOwn;
        StartMenuCopy result;
        const char* commonAfter;  // null: absent
        const char* ownAfter;
    };
    const Case cases[] = {
        {"all-users folder takes it", common, nullptr, nullptr, StartMenuCopy::AllUsers, "new link", nullptr},
        {"all-users has one: left alone, none of our own", common, "old", nullptr,
         StartMenuCopy::AlreadyThere, "old", nullptr},
        {"all-users refuses: the user's own", unwritable, nullptr, nullptr, StartMenuCopy::User,
         nullptr, "new link"},
        {"all-users refuses, the user has one: left alone", unwritable, nullptr, "old",
         StartMenuCopy::AlreadyThere, nullptr, "old"},
        {"no all-users folder named", L"", nullptr, nullptr, StartMenuCopy::User, nullptr, "new link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(common.c_str());
        ::DeleteFileW(own.c_str());
        if (c.inCommon) WriteFileBytes(common, c.inCommon);
        if (c.inOwn) WriteFileBytes(own, c.inOwn);
        EXPECT_EQ(CopyToStartMenu(link, c.allUsers, own), c.result);
        EXPECT_EQ(PathExists(common), c.commonAfter != nullptr);
        if (c.commonAfter) {
            EXPECT_EQ(ReadFileBytes(common), c.commonAfter);
        }
        EXPECT_EQ(PathExists(own), c.ownAfter != nullptr);
        if (c.ownAfter) {
            EXPECT_EQ(ReadFileBytes(own), c.ownAfter);
        }
    }
    EXPECT_EQ(CopyToStartMenu(link, unwritable, scratch / L"missing too\\Pantavi.lnk"),
              StartMenuCopy::Failed);
}

TEST(AutoStart, WritesTheRunValueIntoTheExistingKeyOnly) {
    InstalledProductCleanup cleanup(kName);  // makes the Run key when the prefix has none
    ASSERT_TRUE(SetAutoStart(L"Telvista", L"C:\\Apps\\Telvista\\Telvista.exe"));
    const RegValue value = ReadValue(HKEY_CURRENT_USER, kRunKeyPath, L"Telvista");
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.Text(), L"\"C:\\Apps\\Telvista\\Telvista.exe\" /WinStart");
    EXPECT_EQ(value.data.size(), (value.Text().size() + 1) * 2);
    // Overwritten by the next install.
    ASSERT_TRUE(SetAutoStart(L"Telvista", L"D:\\Orvane\\Telvista\\Telvista.exe"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRunKeyPath, L"Telvista").Text(),
              L"\"D:\\Orvane\\Telvista\\Telvista.exe\" /WinStart");

    // A Run key that cannot be opened is not worked around.
    KeyAccessDenied denied(HKEY_CURRENT_USER, kRunKeyPath, 0);
    ASSERT_TRUE(denied.applied());
    EXPECT_FALSE(SetAutoStart(L"Telvista", L"C:\\Apps\\Telvista\\Telvista.exe"));
}

TEST(AutoStart, NeverCreatesTheRunKey) {
    const wchar_t kMissing[] = L"SOFTWARE\\Microsoft\\WINDOWS\\CURRENTVERSION\\RUN";
    UniqueRegKey run;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kMissing, 0, KEY_READ, run.put()) == ERROR_SUCCESS) {
        DWORD values = 0, subKeys = 0;
        ::RegQueryInfoKeyW(run.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                           &values, nullptr, nullptr, nullptr, nullptr);
        run.reset();
        // Only an empty key is taken away for the test, so nothing of the prefix is lost.
        if (values || subKeys) GTEST_SKIP() << "the Run key holds values";
        ASSERT_EQ(::RegDeleteKeyW(HKEY_CURRENT_USER, kMissing), ERROR_SUCCESS);
    }
    EXPECT_FALSE(SetAutoStart(L"Telvista", L"C:\\Apps\\Telvista\\Telvista.exe"));
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, kMissing, 0, KEY_READ, run.put()), ERROR_SUCCESS);
    UniqueRegKey made;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kMissing, 0, nullptr, 0, KEY_READ, nullptr, made.put(),
                      nullptr);
}

}  // namespace
