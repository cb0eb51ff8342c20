// The release records fetched from the fixture server: replies as records, and request URLs
// below an overriding API base. Needs GetUrlContent (net/http.h) and the HTTP fixture.
#include <gtest/gtest.h>

#include "pipeline/release_check.h"
#include "pipeline/release_config.h"
#include "pipeline/server_selection.h"
#include "sys/paths.h"
#include "tests/fixtures/http_fixture.h"
#include "tests/pipeline/pipeline_support.h"
#include "tests/pipeline/reply_cases.h"
#include "tests/support/test_support.h"

namespace {

using namespace reply_cases;

TEST(ReleaseConfigReply, RecordsFromTheServersReplies) {
    HttpFixture& server = HttpFixture::Get();
    ASSERT_TRUE(server.available());
    const std::vector<ReplyCase> cases = ReplyCases();
    std::vector<FixtureRoute> routes;
    for (size_t i = 0; i < cases.size(); ++i) {
        routes.push_back({"/case/" + std::to_string(i), {FixtureReply::Text(cases[i].body)}});
    }
    ASSERT_TRUE(server.Script(routes));
    for (size_t i = 0; i < cases.size(); ++i) {
        ReleaseConfig got = FetchReleaseConfig(server.Url("/case/" + std::to_string(i)));
        ExpectRecord(got, cases[i].want, cases[i].name);
        EXPECT_EQ(IsValid(got), cases[i].valid) << cases[i].name;
    }
}

TEST(ReleaseConfigReply, FailedOrMarkedRepliesGiveTheEmptyRecord) {
    HttpFixture& server = HttpFixture::Get();
    ASSERT_TRUE(server.available());
    const std::string full = ReplyCases().front().body;
    ASSERT_TRUE(server.Script({
        // The mark survives the conversion to UTF-16 and is not white space to the parser.
        {"/bom", {FixtureReply::Bytes("\xEF\xBB\xBF" + full)}},
        {"/404", {FixtureReply::Status(404, full)}},
        {"/500", {FixtureReply::Status(500, full)}},
        {"/204", {FixtureReply::Status(204)}},
        {"/ok", {FixtureReply::Text(full)}},
    }));
    for (const char* path : {"/bom", "/404", "/500", "/204", "/missing"}) {
        ReleaseConfig got = FetchReleaseConfig(server.Url(path));
        ExpectRecord(got, ReleaseConfig{}, path);
        EXPECT_FALSE(IsValid(got)) << path;
    }
    EXPECT_TRUE(IsValid(FetchReleaseConfig(server.Url("/ok"))));
}

}  // namespace

namespace {

TEST(ServerSelection, RequestsGoBelowTheOverrideAsWritten) {
    HttpFixture& server = HttpFixture::Get();
    ASSERT_TRUE(server.available());
    const std::wstring path = GetDownloadFolder() + L"\\TestServer.txt";
    FileGuard guard(path);
    const std::string reply =
        R"({"result": {"download_url": "http://dl/i.exe", "version": "9.0.0.0", "size": 1, )"
        R"("hash": "0123456789abcdef0123456789abcdef01234567"}})";

    struct Case {
        const char* name;
        std::string base;
        std::string expectedPath;
    };
    const Case cases[] = {
        {"ends with a slash", "/api/", "/api/release/windows_installer/config"},
        // Without the final "/" every path runs into the last segment of the base.
        {"without the final slash", "/api", "/apirelease/windows_installer/config"},
    };
    for (const Case& c : cases) {
        WriteFileBytes(path, R"({"ApplicationUpdate": ")" + Narrow(server.Url(c.base)) + R"("})");
        const std::wstring base = SelectServer();
        EXPECT_EQ(base, server.Url(c.base)) << c.name;
        ASSERT_TRUE(server.Script({{c.expectedPath, {FixtureReply::Text(reply)}}}));
        ReleaseCheck check;
        CheckReleases(check, base);
        EXPECT_EQ(check.installerConfig.version, L"9.0.0.0") << c.name;
        std::vector<RecordedRequest> requests = server.Requests();
        ASSERT_FALSE(requests.empty()) << c.name;
        EXPECT_EQ(requests.front().requestLine, "GET " + c.expectedPath + " HTTP/1.0") << c.name;
    }
}

}  // namespace
