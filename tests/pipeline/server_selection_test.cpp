#include "pipeline/server_selection.h"

#include <gtest/gtest.h>

#include "pipeline/release_config.h"
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

}  // namespace
