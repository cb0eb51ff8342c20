#include "pipeline/server_selection.h"

#include <gtest/gtest.h>

#include "pipeline/release_config.h"
#include "sys/desktop.h"
#include "sys/files.h"
#include "sys/paths.h"
#include "tests/pipeline/pipeline_support.h"
#include "tests/support/test_support.h"

namespace {

TEST(ServerSelection, DefaultIsTheBuildsApiBase) {
    EXPECT_EQ(DefaultApiBase(), Widen(TELVISTA_API_BASE));
    EXPECT_EQ(DefaultApiBase().back(), L'/');
}

TEST(ServerSelection, OverrideFileInDownloadsFolder) {
    const std::wstring path = GetDownloadFolder() + L"\\TestServer.txt";
    ASSERT_NE(path, L"\\TestServer.txt");
    FileGuard guard(path);
    const std::wstring fallback = DefaultApiBase();

    const std::string padding(1100, ' ');
    struct Case {
        const char* name;
        const char* content;  // nullptr: no file
        std::wstring base;
    };
    const Case cases[] = {
        {"no file", nullptr, fallback},
        {"valid", R"({"ApplicationUpdate": "http://127.0.0.1:8080/api/"})",
         L"http://127.0.0.1:8080/api/"},
        {"other members ignored", R"({"x": 1, "ApplicationUpdate": "https://a.example/api/"})",
         L"https://a.example/api/"},
        {"first of repeated names",
         R"({"ApplicationUpdate": "http://one.example/", "ApplicationUpdate": "http://two.example/"})",
         L"http://one.example/"},
        {"byte-order mark", "\xEF\xBB\xBF{\"ApplicationUpdate\": \"http://127.0.0.1/api/\"}",
         fallback},
        {"not an object", R"(["http://127.0.0.1/api/"])", fallback},
        {"not JSON", "ApplicationUpdate=http://127.0.0.1/api/", fallback},
        {"member missing", R"({"applicationupdate": "http://127.0.0.1/api/"})", fallback},
        {"member not a string", R"({"ApplicationUpdate": 8080})", fallback},
        {"member empty", R"({"ApplicationUpdate": ""})", fallback},
        {"trailing text", R"({"ApplicationUpdate": "http://127.0.0.1/api/"} x)", fallback},
        {"empty file", "", fallback},
        {"non-ASCII host kept as written",
         "{\"ApplicationUpdate\": \"http://b\xC3\xBC" "cher.example/api/\"}",
         L"http://b\u00FCcher.example/api/"},
        {"deeply nested", std::string(1024, '[').c_str(), fallback},
        {"without the final slash", R"({"ApplicationUpdate": "http://127.0.0.1:8080/api"})",
         L"http://127.0.0.1:8080/api"},
    };
    for (const Case& c : cases) {
        ::DeleteFileW(path.c_str());
        if (c.content) WriteFileBytes(path, c.content);
        EXPECT_EQ(SelectServer(), c.base) << c.name;
    }

    // Only the first 1024 bytes are read: white space that pushes the end past them cuts the
    // JSON, while the same file within the limit counts.
    const std::string member = R"("ApplicationUpdate": "http://127.0.0.1:8080/api/"})";
    WriteFileBytes(path, std::string("{").append(1024 - 1 - member.size(), ' ') + member);
    EXPECT_EQ(SelectServer(), L"http://127.0.0.1:8080/api/");
    WriteFileBytes(path, std::string("{").append(1024 - member.size(), ' ') + member);
    EXPECT_EQ(SelectServer(), fallback);
    // A zero byte ends the text early, as the end of the buffer does.
    WriteFileBytes(path, std::string(R"({"ApplicationUpdate": "http://127.0.0.1/api/"})") +
                             std::string(1, '\0') + "garbage");
    EXPECT_EQ(SelectServer(), L"http://127.0.0.1/api/");
}

// The override steers which programs the installer downloads and runs, and the digests they are
// checked against: it is read only from the process account's own Downloads folder, never when
// the installer runs under another account than its session's user (whose folder that would be).
TEST(ServerSelection, OverrideOnlyForTheSessionsOwnUser) {
    struct Case {
        const wchar_t* processUser;
        const wchar_t* logonUser;
        bool allowed;
    };
    const Case cases[] = {
        {L"Owner", L"Owner", true},
        {L"owner", L"OWNER", true},     // the same account, letters in another case
        {L"Admin", L"Owner", false},    // an administrator's credentials given for Owner
        {L"\u00c9mile", L"\u00e9mile", false},
        {L"Admin", L"", true},          // no session user known: the folders stay the process's own
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OverrideAllowed(c.processUser, c.logonUser), c.allowed)
            << Narrow(c.processUser) << " / " << Narrow(c.logonUser);
    }
    // Under Wine the process user is the session's user: the override counts.
    ASSERT_TRUE(OverrideAllowed(ProcessUserName(), LogonUserName()));
    const std::wstring path = GetDownloadFolder() + L"\\TestServer.txt";
    FileGuard guard(path);
    WriteFileBytes(path, R"({"ApplicationUpdate": "http://127.0.0.1:8080/api/"})");
    LogMark mark;
    EXPECT_EQ(SelectServer(), L"http://127.0.0.1:8080/api/");
    EXPECT_TRUE(mark.NewMessages().empty());
}

// When the shell gives no Downloads, desktop or application-data folder, a path built on the empty
// folder would be the root of the current drive: "\\TestServer.txt" read as the override,
// "\\Roboto-Regular.ttf" written and deleted there. Nothing is read or written, and the empty
// folders are asked for once, not again with all their log lines at every read.
TEST(EmptyFolders, NothingIsReadOrWrittenAtTheRootOfTheDrive) {
    LogMark before;  // the log's own folder is known from here on
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(L"C:\\"));
    FileGuard plantedOverride(L"C:\\TestServer.txt");
    FileGuard fontAtRoot(L"C:\\Roboto-Regular.ttf");
    WriteFileBytes(L"C:\\TestServer.txt", R"({"ApplicationUpdate": "http://planted.example/api/"})");
    {
        const wchar_t key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
        RegistryValueGuard appData(HKEY_CURRENT_USER, key, L"AppData");
        RegistryValueGuard desktop(HKEY_CURRENT_USER, key, L"Desktop");
        RegistryValueGuard downloads(HKEY_CURRENT_USER, key, L"{374DE290-123F-4565-9164-39C4925E467B}");
        for (RegistryValueGuard* value : {&appData, &desktop, &downloads}) {
            value->SetRaw(REG_EXPAND_SZ, L"", sizeof(wchar_t));
        }

        LogMark mark;
        ResolveInstallPaths();
        const InstallPaths paths = CurrentInstallPaths();
        for (const std::wstring& folder : {paths.downloadFolder, paths.appDataFolder,
                                           paths.tempFolder, paths.logFolder, paths.desktopFolder}) {
            EXPECT_TRUE(folder.empty()) << Narrow(folder);
        }
        const size_t resolutionLines = mark.NewMessages().size();
        EXPECT_EQ(GetTempFolder(), L"");
        EXPECT_EQ(GetDesktopFolder(), L"");
        EXPECT_EQ(GetDownloadFolder(), L"");
        EXPECT_EQ(mark.NewMessages().size(), resolutionLines) << "resolved again";

        EXPECT_EQ(SelectServer(), DefaultApiBase());
        InstallFont();
        EXPECT_FALSE(PathExists(L"C:\\Roboto-Regular.ttf"));
        std::vector<std::string> messages = mark.NewMessages();
        EXPECT_EQ(std::vector<std::string>(messages.begin() + resolutionLines, messages.end()),
                  std::vector<std::string>{"Release font file failed"});
    }
    ::SetCurrentDirectoryW(previous);
    ResolveInstallPaths();  // the folders of the other tests
    EXPECT_FALSE(CurrentInstallPaths().tempFolder.empty());
}

}  // namespace
