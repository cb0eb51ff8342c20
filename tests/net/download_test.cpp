#include "net/download.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sys/files.h"
#include "sys/handle.h"
#include "tests/fixtures/http_fixture.h"
#include "tests/support/test_support.h"

namespace {

using Lines = std::vector<std::string>;

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Lines kStart = {"GetUrlFile", "GetUrlFile1", "GetUrlFile2"};
const Lines kResume = {"Resume download."};
const Lines kSend = {"GetUrlFile3", "SendRequest", "SendRequest success!"};
const Lines kSentOnce = {"SendRequest", "SendRequest success!"};
const Lines kOk = {"Thread end 0", "Download_ok"};

Lines Body(int status, int length) {
    return {"GetUrlFile3.5", "QueryInfoStatusCode: " + std::to_string(status), "GetUrlFile3.6",
            "QueryInfo HTTP_QUERY_CONTENT_LENGTH: " + std::to_string(length), "GetUrlFile3.7",
            "GetUrlFile4"};
}

Lines FailedSends(int error, int times = 3) {
    Lines lines;
    for (int i = 0; i < times; ++i) {
        lines.insert(lines.end(), {"SendRequest", "SendRequest Exception:" + std::to_string(error),
                                   "Sleep: 500 ms"});
    }
    return lines;
}

// The lines of a reconnect after a failed read, up to the status of the new reply.
Lines Reconnect(int readError, int status) {
    return {"Exception:" + std::to_string(readError), "Retry connect network again", "SendRequest",
            "SendRequest success!", "QueryInfoStatusCode: " + std::to_string(status)};
}

// What the callback saw, and when it says stop.
struct Progress {
    std::vector<std::pair<int, int>> calls;  // percent, finished
    int stopAt = 1000;                       // returns false from this percent on

    static bool Record(void* context, int percent, int finished) {
        auto* progress = static_cast<Progress*>(context);
        progress->calls.emplace_back(percent, finished);
        return percent < progress->stopAt;
    }
};

struct Outcome {
    DownloadResult result;
    Lines lines;           // without the "download : " lines
    Lines chunkLines;      // the "download : " lines
    std::string bytes;     // the file afterwards
    std::vector<RecordedRequest> requests;
};

class DownloadTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.available()) << "run through http_server.py";
        clock.randValues = {0};  // every back-off wait is 500 ms
    }

    Outcome Download(const std::wstring& url, Progress* progress = nullptr, int base = 0,
                     int span = 100) {
        Outcome outcome;
        LogMark mark;
        outcome.result = GetUrlFile(url, path, progress ? &Progress::Record : nullptr, progress,
                                    base, span);
        for (std::string& line : mark.NewMessages()) {
            (line.rfind("download : ", 0) == 0 ? outcome.chunkLines : outcome.lines)
                .push_back(std::move(line));
        }
        outcome.bytes = ReadFileBytes(path);
        outcome.requests = server.Requests();
        return outcome;
    }

    std::string Path() const { return Narrow(path); }

    HttpFixture& server = HttpFixture::Get();
    FakeClock clock;
    ScratchFolder folder;
    std::wstring path = folder / L"package.zip";
};

// A connection reset in the middle of the body, and one reset before any reply.
constexpr int kResetError = 10054;  // WSAECONNRESET, passed through by Wine
constexpr int kNoReplyError = -1;   // see SameNoReplyErrors

// A reset before any reply fails the send with ERROR_INTERNET_CONNECTION_ABORTED when it reaches
// WinINet while the request is still going out, and with ERROR_HTTP_INVALID_SERVER_RESPONSE
// (SendRequest's own code) when it comes after: either is the same failed send.
Lines SameNoReplyErrors(Lines lines) {
    for (std::string& line : lines) {
        if (line == "SendRequest Exception:12030" || line == "SendRequest Exception:12152") {
            line = "SendRequest Exception:-1";
        }
    }
    return lines;
}

struct DownloadCase {
    const char* name;
    std::string before;  // the file's bytes before the call; "-" for no file
    std::vector<FixtureReply> replies;
    DownloadResult result;
    std::string after;   // the file's bytes afterwards
    Lines lines;         // every line but the "download : " ones; "@" stands for the path
    std::vector<std::string> ranges;  // the Range header of each request ("" for none)
};

TEST_F(DownloadTest, DownloadsResumesAndRestartsAsTheServerAnswers) {
    const std::string content = PatternBytes(50000);
    const std::string junk(1000, 'x');
    const Lines body = Body(200, 50000);
    const DownloadCase cases[] = {
        {"fresh download", "-", {FixtureReply::Pattern(50000)}, Download_ok, content,
         Concat({kStart, kSend, Body(200, 50000), kOk}), {""}},
        {"resume from 1000 bytes with 206", content.substr(0, 1000),
         {FixtureReply::Pattern(50000)}, Download_ok, content,
         Concat({kStart, kResume, kSend, Body(206, 49000), kOk}), {"bytes=1000-"}},
        {"a 200 to the range restarts the file", junk, {FixtureReply::Pattern(50000).IgnoreRange()},
         Download_ok, content,
         Concat({kStart, kResume, kSend,
                 {"GetUrlFile3.5", "QueryInfoStatusCode: 200",
                  "Range not honoured, download from the start"},
                 Lines(body.begin() + 2, body.end()), kOk}),
         {"bytes=1000-"}},
        {"ranged send fails, the whole file is fetched again", junk,
         {FixtureReply::Pattern(50000).HangUpOnRange()}, Download_ok, content,
         Concat({kStart, kResume, {"GetUrlFile3"}, FailedSends(kNoReplyError),
                 {"Partial_Download SendRequest failed, try SendRequest again without AddRequestHeaders"},
                 kSentOnce, Body(200, 50000), kOk}),
         {"bytes=1000-", "bytes=1000-", "bytes=1000-", ""}},
        {"connection dropped mid-body reconnects with a range", "-",
         {FixtureReply::Pattern(50000).DropAfter(20480), FixtureReply::Pattern(50000)},
         Download_ok, content,
         Concat({kStart, kSend, Body(200, 50000), Reconnect(kResetError, 206), kOk}),
         {"", "bytes=20480-"}},
        {"a 200 to a reconnect restarts the file", "-",
         {FixtureReply::Pattern(50000).DropAfter(20480), FixtureReply::Pattern(50000).IgnoreRange()},
         Download_ok, content,
         Concat({kStart, kSend, Body(200, 50000), Reconnect(kResetError, 200),
                 {"Range not honoured, download from the start"}, kOk}),
         {"", "bytes=20480-"}},
        {"reconnect answered 404", "-",
         {FixtureReply::Pattern(50000).DropAfter(20480), FixtureReply::Status(404)},
         Download_failed_networkError, content.substr(0, 20480),
         Concat({kStart, kSend, Body(200, 50000), Reconnect(kResetError, 404),
                 {"!isPartial_Download  Download_failed_networkError", "Thread end 0",
                  "Download failed: @"}}),
         {"", "bytes=20480-"}},
        {"body ends short", "-", {FixtureReply::Pattern(50000).CutAfter(49990)},
         Download_failed_networkError, content.substr(0, 49990),
         Concat({kStart, kSend, Body(200, 50000), {"Thread end 0", "Download failed: @"}}), {""}},
        {"the rest of a short body", content.substr(0, 49990), {FixtureReply::Pattern(50000)},
         Download_ok, content, Concat({kStart, kResume, kSend, Body(206, 10), kOk}),
         {"bytes=49990-"}},
    };
    for (const DownloadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(path.c_str());
        if (c.before != "-") WriteFileBytes(path, c.before);
        ASSERT_TRUE(server.Script({{"/package.zip", c.replies}}));

        Outcome outcome = Download(server.Url("/package.zip"));
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_TRUE(outcome.bytes == c.after) << outcome.bytes.size() << " bytes, not " << c.after.size();
        Lines expected = c.lines;
        for (std::string& line : expected) {
            if (line.size() && line.back() == '@') line = line.substr(0, line.size() - 1) + Path();
        }
        EXPECT_EQ(SameNoReplyErrors(outcome.lines), expected);

        ASSERT_EQ(outcome.requests.size(), c.ranges.size());
        for (size_t i = 0; i < c.ranges.size(); ++i) {
            EXPECT_EQ(outcome.requests[i].requestLine, "GET /package.zip HTTP/1.0");
            EXPECT_EQ(outcome.requests[i].Header("Range"), c.ranges[i]) << "request " << i;
        }
        // One line per chunk, in whole KiB, ending at what the file holds.
        ASSERT_FALSE(outcome.chunkLines.empty());
        EXPECT_EQ(outcome.chunkLines.back(),
                  "download : " + std::to_string(outcome.bytes.size() / 1024));
    }
}


struct FailureCase {
    const char* name;
    std::string before;  // "-" for no file
    std::vector<FixtureReply> replies;
    HttpFixture::Listener listener;
    DownloadResult result;
    Lines lines;  // "@" at the end of a line stands for the path
    std::string after = "=";  // the file afterwards; "=" for as it was before
};

TEST_F(DownloadTest, EveryFailureEndsWithItsLinesAndKeepsTheFile) {
    const std::string content = PatternBytes(50000);
    const std::string prefix = content.substr(0, 1000);
    const int refused = 12029;      // ERROR_INTERNET_CANNOT_CONNECT
    const int wrongHost = 12038;    // ERROR_INTERNET_SEC_CERT_CN_INVALID
    const Lines connectionFailed = {"Connection failed: @"};
    const Lines downloadFailed = {"Thread end 0", "Download failed: @"};
    ASSERT_TRUE(server.TrustTestCa());

    std::vector<FailureCase> cases = {
        {"send refused, no range", "-", {}, HttpFixture::Refused, Download_failed_networkError,
         Concat({kStart, {"GetUrlFile3"}, FailedSends(refused),
                 {"SendRequest failed, return Download_failed_networkError"}, connectionFailed})},
        {"send refused with a range, and without", prefix, {}, HttpFixture::Refused,
         Download_failed_networkError,
         Concat({kStart, kResume, {"GetUrlFile3"}, FailedSends(refused),
                 {"Partial_Download SendRequest failed, try SendRequest again without AddRequestHeaders"},
                 FailedSends(refused), {"SendRequest failed, return Download_failed_networkError"},
                 connectionFailed})},
        {"certificate for another host", "-", {FixtureReply::Pattern(50000)},
         HttpFixture::WrongHost, Download_failed_networkError,
         Concat({kStart, {"GetUrlFile3"}, FailedSends(wrongHost),
                 {"SendRequest failed, return Download_failed_networkError"}, connectionFailed})},
        {"status 404", "-", {FixtureReply::Status(404, "gone")}, HttpFixture::Http,
         Download_failed_networkError,
         Concat({kStart, kSend,
                 {"GetUrlFile3.5", "QueryInfoStatusCode: 404",
                  "!isPartial_Download  Download_failed_networkError"},
                 connectionFailed})},
        // A body is taken only as the reply to what was asked: a 206 to a request without a
        // range (a proxy's partial answer) would be written as the file from its first byte.
        {"206 to a request without a range", "-", {FixtureReply::Pattern(50000).Code(206)},
         HttpFixture::Http, Download_failed_networkError,
         Concat({kStart, kSend,
                 {"GetUrlFile3.5", "QueryInfoStatusCode: 206",
                  "!isPartial_Download  Download_failed_networkError"},
                 connectionFailed})},
        {"range past the end of a complete file: 416", content, {FixtureReply::Pattern(50000)},
         HttpFixture::Http, Download_failed_networkError,
         Concat({kStart, kResume, kSend,
                 {"GetUrlFile3.5", "QueryInfoStatusCode: 416",
                  "!isPartial_Download  Download_failed_networkError"},
                 connectionFailed})},
        {"no content length", "-", {FixtureReply::Pattern(50000).NoLength()}, HttpFixture::Http,
         Download_failed_otherError,
         Concat({kStart, kSend,
                 {"GetUrlFile3.5", "QueryInfoStatusCode: 200", "GetUrlFile3.6",
                  "QueryInfo HTTP_QUERY_CONTENT_LENGTH: 0"},
                 connectionFailed})},
        {"chunked resumed reply", prefix, {FixtureReply::Pattern(50000).Chunked()},
         HttpFixture::Http, Download_failed_otherError,
         Concat({kStart, kResume, kSend,
                 {"GetUrlFile3.5", "QueryInfoStatusCode: 206", "GetUrlFile3.6",
                  "QueryInfo HTTP_QUERY_CONTENT_LENGTH: 0"},
                 connectionFailed})},
        {"reconnect cannot be sent", "-",
         {FixtureReply::Pattern(50000).DropAfter(20480), FixtureReply::Pattern(50000).HangUp()},
         HttpFixture::Http, Download_failed_networkError,
         Concat({kStart, kSend, Body(200, 50000),
                 {"Exception:" + std::to_string(kResetError), "Retry connect network again"},
                 FailedSends(kNoReplyError),
                 {"Retry SendRequest failed, return Download_failed_networkError!"},
                 downloadFailed}),
         content.substr(0, 20480)},
    };
    // A server that accepts every request and fails every read: five reconnects, then the end.
    Lines endless = Concat({kStart, kSend, Body(200, 50000)});
    for (int i = 0; i < 5; ++i) endless = Concat({endless, Reconnect(kResetError, 200)});
    cases.push_back({"reads that always fail", "-", {FixtureReply::Pattern(50000).DropAfter(0)},
                     HttpFixture::Http, Download_failed_networkError,
                     Concat({endless,
                             {"Exception:" + std::to_string(kResetError),
                              "Too many reconnects without data, return Download_failed_networkError!"},
                             downloadFailed})});

    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(path.c_str());
        if (c.before != "-") WriteFileBytes(path, c.before);
        ASSERT_TRUE(server.Script({{"/package.zip", c.replies}}));

        Outcome outcome = Download(server.Url("/package.zip", c.listener));
        EXPECT_EQ(outcome.result, c.result);
        const std::string after = c.after != "=" ? c.after : c.before == "-" ? "" : c.before;
        EXPECT_TRUE(outcome.bytes == after) << outcome.bytes.size() << " bytes, not " << after.size();
        Lines expected = c.lines;
        for (std::string& line : expected) {
            if (!line.empty() && line.back() == '@') line = line.substr(0, line.size() - 1) + Path();
        }
        EXPECT_EQ(SameNoReplyErrors(outcome.lines), expected);
    }
}

TEST_F(DownloadTest, NothingHappensWithoutAUrlAPathOrAFolder) {
    const std::wstring url = server.Url("/package.zip");
    const std::wstring nowhere = folder / L"missing\\package.zip";
    struct Case {
        std::wstring url, path;
        Lines lines;
    } cases[] = {
        {L"", path, {"GetUrlFile"}},
        {url, L"", {"GetUrlFile"}},
        {L"not a url", path, {"GetUrlFile"}},
    };
    for (const Case& c : cases) {
        LogMark mark;
        EXPECT_EQ(GetUrlFile(c.url, c.path, nullptr, nullptr, 0, 100), Download_failed_otherError);
        EXPECT_EQ(mark.NewMessages(), c.lines);
    }
    EXPECT_FALSE(PathExists(path));

    // A file that cannot be opened (its folder is missing, or another opener holds it).
    ASSERT_TRUE(server.Script({{"/package.zip", {FixtureReply::Pattern(5000)}}}));
    UniqueFile held(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(held);
    for (const auto& [target, error] : {std::pair{nowhere, ERROR_PATH_NOT_FOUND},
                                        std::pair{path, ERROR_SHARING_VIOLATION}}) {
        SCOPED_TRACE(Narrow(target));
        LogMark mark;
        EXPECT_EQ(GetUrlFile(url, target, nullptr, nullptr, 0, 100), Download_failed_networkError);
        EXPECT_EQ(mark.NewMessages(),
                  Concat({kStart, {"Exception:" + std::to_string(error),
                                   "Exception Download failed: " + Narrow(target),
                                   "Connection failed: " + Narrow(target)}}));
    }
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(DownloadTest, HttpsDownloadWithATrustedCertificate) {
    ASSERT_TRUE(server.TrustTestCa());
    ASSERT_TRUE(server.Script({{"/package.zip", {FixtureReply::Pattern(50000)}}}));
    WriteFileBytes(path, PatternBytes(1000));
    Outcome outcome = Download(server.Url("/package.zip", HttpFixture::Https));
    EXPECT_EQ(outcome.result, Download_ok);
    EXPECT_TRUE(outcome.bytes == PatternBytes(50000));
    ASSERT_EQ(outcome.requests.size(), 1u);
    EXPECT_EQ(outcome.requests[0].listener, "https");
    EXPECT_EQ(outcome.requests[0].Header("Range"), "bytes=1000-");
}

TEST_F(DownloadTest, ProgressRunsFromBaseToBasePlusSpan) {
    const int size = 1000000;
    const std::string content = PatternBytes(size);
    struct Case {
        const char* name;
        int have, base, span;
        int first;  // the first percentage reported
    } cases[] = {
        {"fresh, whole bar", 0, 0, 100, 0},
        {"resumed from a fifth, base 40 span 30", size / 5, 40, 30, 46},
        {"fresh, base 40 span 30", 0, 40, 30, 40},
    };
    ASSERT_TRUE(server.Script({{"/package.zip", {FixtureReply::Pattern(size)}}}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(path.c_str());
        if (c.have) WriteFileBytes(path, content.substr(0, c.have));
        Progress progress;
        Outcome outcome = Download(server.Url("/package.zip"), &progress, c.base, c.span);
        ASSERT_EQ(outcome.result, Download_ok);
        EXPECT_TRUE(outcome.bytes == content);

        ASSERT_GE(progress.calls.size(), 2u);
        EXPECT_EQ(progress.calls.front(), std::make_pair(c.first, 0));
        EXPECT_EQ(progress.calls.back(), std::make_pair(c.base + c.span, 1));
        for (size_t i = 1; i < progress.calls.size(); ++i) {
            EXPECT_GE(progress.calls[i].first, progress.calls[i - 1].first);
            // After the first report, none while the share is still 0.
            EXPECT_GT(progress.calls[i].first, c.base);
            EXPECT_EQ(progress.calls[i].second, i + 1 == progress.calls.size() ? 1 : 0);
        }
        // Called after every chunk once the share has reached 1 (the first few chunks of a
        // fresh download with a span of 30 bring less than 1).
        EXPECT_LE(progress.calls.size(), outcome.chunkLines.size() + 1);
        if (c.have) {
            EXPECT_EQ(progress.calls.size(), outcome.chunkLines.size() + 1);
        }
    }
}

TEST_F(DownloadTest, CallbackStopsTheDownloadAndKeepsWhatArrived) {
    const int size = 200000;
    ASSERT_TRUE(server.Script({{"/package.zip", {FixtureReply::Pattern(size)}}}));
    Progress progress;
    progress.stopAt = 50;
    Outcome outcome = Download(server.Url("/package.zip"), &progress);
    EXPECT_EQ(outcome.result, Download_failed_otherError);
    EXPECT_GE(progress.calls.back().first, 50);
    EXPECT_LT(progress.calls[progress.calls.size() - 2].first, 50);
    EXPECT_GE(outcome.bytes.size(), size / 2u);
    EXPECT_LT(outcome.bytes.size(), size / 2u + 10240);
    EXPECT_TRUE(outcome.bytes == PatternBytes(static_cast<int64_t>(outcome.bytes.size())));
    // The first line ends in CR LF of its own, which the log stores as CR CR LF.
    EXPECT_EQ(outcome.lines, Concat({kStart, kSend, Body(200, size),
                                     {"yes canceld\r", "", "Canceled by user!",
                                      "Connection failed: " + Path()}}));
}

}  // namespace
