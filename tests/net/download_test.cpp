#include "net/download.h"

#include <gtest/gtest.h>

#include <algorithm>

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
constexpr int kResetError = 10054;     // WSAECONNRESET, passed through by Wine
constexpr int kNoReplyError = 12152;  // ERROR_HTTP_INVALID_SERVER_RESPONSE

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
        EXPECT_EQ(outcome.lines, expected);

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

}  // namespace
