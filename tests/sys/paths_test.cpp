#include "sys/paths.h"

#include <gtest/gtest.h>

#include "sys/files.h"
#include "tests/support/test_support.h"

namespace {

InstallPaths AdminProfile() {
    InstallPaths paths;
    paths.downloadFolder = L"C:\\Users\\Admin\\Downloads";
    paths.appDataFolder = L"C:\\Users\\Admin\\AppData\\Roaming\\Orvane\\Telvista";
    paths.tempFolder = L"C:\\Users\\Admin\\AppData\\Roaming\\Orvane\\Telvista\\Temp";
    paths.logFolder = L"C:\\Users\\Admin\\AppData\\Roaming\\Orvane\\Telvista\\Log";
    paths.desktopFolder = L"C:\\Users\\Admin\\Desktop";
    paths.commonDesktopFolder = L"C:\\Users\\Public\\Desktop";
    return paths;
}

struct RuleCase {
    const char* name;
    std::wstring processUser;
    std::wstring logonUser;
    bool applies;
    std::wstring expectedTemp;
    std::wstring expectedDesktop;
};

TEST(LogonUserRule, MovesPerUserFoldersIntoTheConsoleUsersProfile) {
    const RuleCase cases[] = {
        {"other console user", L"Admin", L"Owner", true,
         L"C:\\Users\\Owner\\AppData\\Roaming\\Orvane\\Telvista\\Temp", L"C:\\Users\\Owner\\Desktop"},
        {"same name, other case", L"admin", L"ADMIN", false,
         L"C:\\Users\\Admin\\AppData\\Roaming\\Orvane\\Telvista\\Temp", L"C:\\Users\\Admin\\Desktop"},
        {"no console user", L"Admin", L"", false,
         L"C:\\Users\\Admin\\AppData\\Roaming\\Orvane\\Telvista\\Temp", L"C:\\Users\\Admin\\Desktop"},
        // The search is exact: a process user "admin" does not match the profile folder "Admin".
        {"profile folder differs in case", L"admin", L"Owner", true,
         L"C:\\Users\\Admin\\AppData\\Roaming\\Orvane\\Telvista\\Temp", L"C:\\Users\\Admin\\Desktop"},
        // Non-ASCII letters only compare equal when identical.
        {"non-ASCII names differ", L"\u00c9mile", L"\u00e9mile", true,
         L"C:\\Users\\Admin\\AppData\\Roaming\\Orvane\\Telvista\\Temp", L"C:\\Users\\Admin\\Desktop"},
    };
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(c.name);
        InstallPaths paths = AdminProfile();
        EXPECT_EQ(ApplyLogonUserRule(paths, c.processUser, c.logonUser), c.applies);
        EXPECT_EQ(paths.tempFolder, c.expectedTemp);
        EXPECT_EQ(paths.desktopFolder, c.expectedDesktop);
        EXPECT_EQ(paths.commonDesktopFolder, L"C:\\Users\\Public\\Desktop");  // never rewritten
    }
}

TEST(LogonUserRule, RewritesAllFivePerUserFields) {
    InstallPaths paths = AdminProfile();
    ASSERT_TRUE(ApplyLogonUserRule(paths, L"Admin", L"Owner"));
    EXPECT_EQ(paths.downloadFolder, L"C:\\Users\\Owner\\Downloads");
    EXPECT_EQ(paths.appDataFolder, L"C:\\Users\\Owner\\AppData\\Roaming\\Orvane\\Telvista");
    EXPECT_EQ(paths.logFolder, L"C:\\Users\\Owner\\AppData\\Roaming\\Orvane\\Telvista\\Log");
}

TEST(ReplaceAll, LeftToRightWithoutOverlap) {
    EXPECT_EQ(ReplaceAll(L"\\a\\a\\a\\", L"\\a\\", L"\\b\\"), L"\\b\\a\\b\\");
    EXPECT_EQ(ReplaceAll(L"x\\Admin\\y\\Admin\\z", L"\\Admin\\", L"\\Owner\\"), L"x\\Owner\\y\\Owner\\z");
    EXPECT_EQ(ReplaceAll(L"nothing", L"\\Admin\\", L"\\Owner\\"), L"nothing");
    EXPECT_EQ(ReplaceAll(L"", L"\\Admin\\", L"\\Owner\\"), L"");
}

TEST(GetDownloadFolder, FallbackIsTheDesktopsDownloadsSibling) {
    EXPECT_EQ(DownloadsBesideDesktop(L"C:\\Users\\Owner\\Desktop"), L"C:\\Users\\Owner\\Downloads");
    EXPECT_EQ(DownloadsBesideDesktop(L"D:\\Desktop"), L"D:\\Downloads");
    EXPECT_EQ(DownloadsBesideDesktop(L"\\Desktop"), L"");  // backslash first
    EXPECT_EQ(DownloadsBesideDesktop(L"Desktop"), L"");
    EXPECT_EQ(DownloadsBesideDesktop(L""), L"");
}

TEST(ResolveInstallPaths, FillsCreatesAndLogsEveryCall) {
    LogMark mark;
    ResolveInstallPaths();
    ResolveInstallPaths();
    const InstallPaths paths = CurrentInstallPaths();

    wchar_t user[256] = {};
    DWORD size = 256;
    ::GetUserNameW(user, &size);
    const std::string expected[] = {
        "ProcessUser: " + Narrow(user) + ", LogonUser: " + Narrow(user),
        "Original download folder: " + Narrow(paths.downloadFolder),
        "Original appdata folder: " + Narrow(paths.appDataFolder),
        "Original appdata tmp folder: " + Narrow(paths.tempFolder),
        "Original appdata log folder: " + Narrow(paths.logFolder),
        "logon user is process user, skipping replace",
    };
    std::vector<std::string> twice(std::begin(expected), std::end(expected));
    twice.insert(twice.end(), std::begin(expected), std::end(expected));
    EXPECT_EQ(mark.NewMessages(), twice);

    EXPECT_EQ(paths.tempFolder, paths.appDataFolder + L"\\Temp");
    EXPECT_EQ(paths.logFolder, paths.appDataFolder + L"\\Log");
    EXPECT_NE(paths.appDataFolder.find(L"\\Orvane\\Telvista"), std::wstring::npos);
    for (const std::wstring& folder :
         {paths.downloadFolder, paths.appDataFolder, paths.tempFolder, paths.logFolder}) {
        EXPECT_TRUE(PathExists(folder)) << Narrow(folder);
        EXPECT_NE(folder.back(), L'\\');
    }
    EXPECT_FALSE(paths.desktopFolder.empty());
    EXPECT_FALSE(paths.commonDesktopFolder.empty());
    EXPECT_EQ(GetTempFolder(), paths.tempFolder);
    EXPECT_EQ(GetDownloadFolder(), paths.downloadFolder);
}

// The logon user is the user of the installer's own session: on a multi-session machine the
// console session may belong to someone else, whose profile must never receive this user's
// folders. (Wine has one session and one user, so both questions give the same answer there.)
TEST(LogonUser, IsTheUserOfTheProcesssOwnSession) {
    DWORD session = 0;
    ASSERT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &session));
    EXPECT_EQ(OwnSessionId(), session);
    EXPECT_EQ(LogonUserName(), SessionUserName(session));
    EXPECT_EQ(LogonUserName(), ProcessUserName());
    EXPECT_FALSE(IsOtherAccount(ProcessUserName(), LogonUserName()));
}

}  // namespace
