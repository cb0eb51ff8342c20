#include "net/http.h"

#include <gtest/gtest.h>

#include "tests/fixtures/http_fixture.h"
#include "tests/support/test_support.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kSentOnce = {"SendRequest", "SendRequest success!"};

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

class HttpTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.available()) << "run through http_server.py"; }

    // The lines of a call of GetUrlContent(url) up to the status line.
    static Lines SentLines(const std::wstring& url) {
        return Concat({{"GetUrlContent", Narrow(url), "GetUrlContent1", "GetUrlContent2",
                        "GetUrlContent3"},
                       kSentOnce,
                       {"GetUrlContent3.5"}});
    }

    HttpFixture& server = HttpFixture::Get();
    FakeClock clock;  // back-off waits are recorded, never slept
};

struct FlagCase {
    const wchar_t* url;
    DWORD json;
    DWORD download;
};

TEST(RequestFlags, SecureExactlyWhenFirstColonIsTheSixthCharacter) {
    const DWORD plain = 0x84000000, secureJson = 0x84800100, secureDownload = 0x84800180;
    const FlagCase cases[] = {
        {L"http://example.com/a", plain, plain},
        {L"https://example.com/a", secureJson, secureDownload},
        {L"HTTPS://example.com/a", secureJson, secureDownload},
        {L"hTtPs://example.com:8443/a", secureJson, secureDownload},
        {L"ftp://example.com/a", plain, plain},
        {L"example.com/https", plain, plain},
        {L"https//example.com:443/a", plain, plain},
        {L"abcde:whatever", secureJson, secureDownload},
        {L"", plain, plain},
    };
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(Narrow(c.url));
        EXPECT_EQ(RequestFlags(c.url, RequestKind::Json), c.json);
        EXPECT_EQ(RequestFlags(c.url, RequestKind::Download), c.download);
        EXPECT_EQ(IsSecureUrl(c.url), c.json != plain);
        // Certificates are always checked.
        EXPECT_EQ(RequestFlags(c.url, RequestKind::Download) &
                      (INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID),
                  0u);
    }
}

TEST(SplitUrl, GivesHostPortAndObject) {
    struct Case {
        const wchar_t* url;
        bool ok;
        const wchar_t* host;
        INTERNET_PORT port;
        const wchar_t* object;
    } cases[] = {
        {L"http://example.com/release/config?x=1&y=2", true, L"example.com", 80,
         L"/release/config?x=1&y=2"},
        {L"https://example.com/a", true, L"example.com", 443, L"/a"},
        {L"http://127.0.0.1:8080", true, L"127.0.0.1", 8080, L"/"},
        {L"https://localhost:9/a b", true, L"localhost", 9, L"/a%20b"},
        {L"not a url", false, L"", 0, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.url));
        UrlParts parts;
        ASSERT_EQ(SplitUrl(c.url, parts), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(parts.host, c.host);
        EXPECT_EQ(parts.port, c.port);
        EXPECT_EQ(parts.object, c.object);
    }
}

TEST_F(HttpTest, RequestIsHttp10GetWithTheFourJsonHeadersInOrder) {
    ASSERT_TRUE(server.TrustTestCa());
    for (HttpFixture::Listener listener : {HttpFixture::Http, HttpFixture::Https}) {
        ASSERT_TRUE(server.Script({{"/release/config", {FixtureReply::Text("{}")}}}));
        EXPECT_EQ(GetUrlContent(server.Url("/release/config?lang=en", listener)), L"{}");

        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u);
        const RecordedRequest& request = requests[0];
        EXPECT_EQ(request.listener, listener == HttpFixture::Http ? "http" : "https");
        EXPECT_EQ(request.requestLine, "GET /release/config?lang=en HTTP/1.0");
        EXPECT_EQ(request.Header("User-Agent"), "net_tests");
        EXPECT_FALSE(request.HasHeader("Range"));

        const std::pair<std::string, std::string> expected[] = {
            {"Accept", "*/*,application/json"},
            {"Accept-Charset", "UTF8"},
            {"Accept-Language", "zh-cn;q=0.8,en;q=0.6,ja;q=0.4"},
            {"Content-Type", "application/json"},
        };
        size_t next = 0;
        for (const auto& header : request.headers) {
            if (next < 4 && header.first == expected[next].first) {
                EXPECT_EQ(header.second, expected[next].second) << header.first;
                ++next;
            }
        }
        EXPECT_EQ(next, 4u) << "the four headers, in this order";
    }
}

struct ContentCase {
    const char* name;
    FixtureReply reply;
    std::wstring text;
    Lines tail;  // lines after "GetUrlContent3.5"
};

TEST_F(HttpTest, GetUrlContentReturnsTheBodyOfA200Only) {
    // 3000 bytes with two-byte sequences across the 1024-byte read boundaries.
    std::string big;
    std::wstring bigText;
    while (big.size() < 3000) {
        big += "\xc3\xa9z";
        bigText += L"\u00e9z";
    }
    const Lines ok = {"QueryInfoStatusCode: 200", "GetUrlContent3.6", "Download ok"};
    const ContentCase cases[] = {
        {"large body", FixtureReply::Text(big), bigText, ok},
        {"chunked body", FixtureReply::Text(big).Chunked(), bigText, ok},
        {"empty body", FixtureReply::Text(""), L"", ok},
        {"malformed UTF-8", FixtureReply::Bytes("a\xff" "b\xc3("), L"a\ufffdb\ufffd(", ok},
        {"204", FixtureReply::Status(204), L"",
         {"QueryInfoStatusCode: 204", "GetUrlContent failed"}},
        {"404", FixtureReply::Status(404, "{\"error\":1}"), L"",
         {"QueryInfoStatusCode: 404", "GetUrlContent failed"}},
        {"500", FixtureReply::Status(500, "{\"error\":2}"), L"",
         {"QueryInfoStatusCode: 500", "GetUrlContent failed"}},
        // A release record is a few hundred bytes; a reply past 1 MiB is refused, not read whole.
        {"1 MiB body", FixtureReply::Text(std::string(1024 * 1024, 'x')),
         std::wstring(1024 * 1024, L'x'), ok},
        {"body past 1 MiB", FixtureReply::Text(std::string(1024 * 1024 + 1, 'x')), L"",
         {"QueryInfoStatusCode: 200", "GetUrlContent3.6",
          "Reply longer than 1048576 bytes, not a release record", "GetUrlContent failed"}},
        {"redirect followed",
         FixtureReply::Status(302).Header("Location", "/moved"), L"{\"result\":7}", ok},
    };
    for (const ContentCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(server.Script({{"/doc", {c.reply}},
                                   {"/moved", {FixtureReply::Text("{\"result\":7}")}}}));
        const std::wstring url = server.Url("/doc");
        LogMark mark;
        EXPECT_EQ(GetUrlContent(url), c.text);
        EXPECT_EQ(mark.NewMessages(), Concat({SentLines(url), c.tail}));
    }
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(HttpTest, EmptyOrUnsplittableUrlLogsOnlyTheUrl) {
    for (const wchar_t* url : {L"", L"not a url", L"http://"}) {
        SCOPED_TRACE(Narrow(url));
        LogMark mark;
        EXPECT_EQ(GetUrlContent(url), L"");
        EXPECT_EQ(mark.NewMessages(), (Lines{"GetUrlContent", Narrow(url)}));
    }
}

TEST_F(HttpTest, UrlIsLoggedVerbatim) {
    ASSERT_TRUE(server.Script({{"/a%20b", {FixtureReply::Text("x")}}}));
    const std::wstring url = server.Url("/a%20b?q=%s%d%%");
    LogMark mark;
    EXPECT_EQ(GetUrlContent(url), L"x");
    Lines lines = mark.NewMessages();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], Narrow(url));
}

TEST_F(HttpTest, ThreeFailedSendsWaitThreeTimesThenGiveUp) {
    clock.randValues = {0, 9000, 4500};  // waits of 500, 5000 and 2750 ms
    const std::wstring url = server.Url("/doc", HttpFixture::Refused);
    LogMark mark;
    EXPECT_EQ(GetUrlContent(url), L"");
    EXPECT_EQ(clock.sleeps, (std::vector<DWORD>{500, 5000, 2750}));
    const std::string refused = "SendRequest Exception:12029";  // ERROR_INTERNET_CANNOT_CONNECT
    EXPECT_EQ(mark.NewMessages(),
              (Lines{"GetUrlContent", Narrow(url), "GetUrlContent1", "GetUrlContent2",
                     "GetUrlContent3", "SendRequest", refused, "Sleep: 500 ms", "SendRequest",
                     refused, "Sleep: 5000 ms", "SendRequest", refused, "Sleep: 2750 ms",
                     "Fail to send request", "GetUrlContent failed"}));
}

TEST_F(HttpTest, SendRetriesAfterAConnectionClosedWithoutReply) {
    ASSERT_TRUE(server.Script({{"/doc", {FixtureReply::Text("").HangUp(), FixtureReply::Text("ok")}}}));
    LogMark mark;
    EXPECT_EQ(GetUrlContent(server.Url("/doc")), L"ok");
    EXPECT_EQ(clock.sleeps.size(), 1u);
    EXPECT_EQ(server.Requests().size(), 2u);
    Lines lines = mark.NewMessages();
    // ERROR_INTERNET_CONNECTION_ABORTED or ERROR_HTTP_INVALID_SERVER_RESPONSE, depending on
    // whether the reset reaches WinINet before or after the request went out.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "SendRequest Exception:12030") +
                  std::count(lines.begin(), lines.end(), "SendRequest Exception:12152"),
              1);
}

struct CertificateCase {
    HttpFixture::Listener listener;
    const char* name;
    int error;
};

TEST_F(HttpTest, CertificatesAreValidated) {
    ASSERT_TRUE(server.TrustTestCa());
    ASSERT_TRUE(server.Script({{"/doc", {FixtureReply::Text("{\"result\":1}")}}}));
    // A certificate of the trusted CA for "localhost" is accepted, in either letter case of
    // the scheme.
    std::wstring upper = server.Url("/doc", HttpFixture::Https);
    upper.replace(0, 5, L"HTTPS");
    EXPECT_EQ(GetUrlContent(upper), L"{\"result\":1}");

    const CertificateCase cases[] = {
        {HttpFixture::WrongHost, "host name", 12038},  // ERROR_INTERNET_SEC_CERT_CN_INVALID
        {HttpFixture::Expired, "validity dates", 12037},  // ERROR_INTERNET_SEC_CERT_DATE_INVALID
    };
    for (const CertificateCase& c : cases) {
        SCOPED_TRACE(c.name);
        clock.sleeps.clear();
        LogMark mark;
        EXPECT_EQ(GetUrlContent(server.Url("/doc", c.listener)), L"");
        Lines lines = mark.NewMessages();
        const std::string failed = "SendRequest Exception:" + std::to_string(c.error);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), failed), 3);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], "Fail to send request");
        EXPECT_EQ(clock.sleeps.size(), 3u);
    }
    // The rejected connections never got as far as an HTTP request.
    for (const RecordedRequest& request : server.Requests()) EXPECT_EQ(request.listener, "https");
}

}  // namespace
