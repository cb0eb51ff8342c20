#include "pipeline/download_phase.h"

#include <algorithm>

#include "pipeline/package.h"
#include "sys/files.h"
#include "tests/pipeline/flow_support.h"

namespace {

using Lines = std::vector<std::string>;

ReleaseConfig Sized(uint32_t size, int required = 0) {
    ReleaseConfig record;
    record.download_url = L"http://127.0.0.1/f";
    record.hash = L"0123456789abcdef0123456789abcdef01234567";
    record.version = L"1";
    record.size = size;
    record.required = required;
    return record;
}

TEST(ProgressShares, BySizesOfTheNeededItems) {
    struct Case {
        const char* name;
        ReleaseConfig net, vc, app;
        int shareNet, shareVc, shareApp;
    };
    ReleaseConfig invalidNet;  // a failed fetch: only version and required set
    invalidNet.version = L"4.5.2";
    invalidNet.required = 1;
    const Case cases[] = {
        {"only the package", {}, {}, Sized(5000), 0, 0, 100},
        {"all three", Sized(300, 1), Sized(100, 1), Sized(600), 30, 10, 60},
        {"cut toward zero, the package takes the rest", Sized(1, 1), Sized(1, 1), Sized(1), 33, 33,
         34},
        {".NET required with an invalid record", invalidNet, {}, Sized(7000), 0, 0, 100},
        {"nothing needed", invalidNet, {}, {}, 0, 0, 100},
        {"sizes near the 32-bit limit", Sized(4000000000u, 1), Sized(4000000000u, 1),
         Sized(4000000000u), 33, 33, 34},
    };
    for (const Case& c : cases) {
        ReleaseCheck check;
        check.dotNetConfig = c.net;
        check.vcRuntimeConfig = c.vc;
        check.appConfig = c.app;
        const ProgressShares shares = ComputeProgressShares(check);
        EXPECT_EQ(shares.net, c.shareNet) << c.name;
        EXPECT_EQ(shares.vc, c.shareVc) << c.name;
        EXPECT_EQ(shares.app, c.shareApp) << c.name;
    }
}

const Lines kPhaseLines = {"valid config",
                           "invalid config",
                           "need install .net",
                           "not need install .net",
                           "Download check .net framework",
                           ".net framework download needed",
                           ".net framework download not needed",
                           "vc download needed",
                           "vc download not needed",
                           "app download needed",
                           "app download not needed",
                           "Download app failed for network disconnect, continue",
                           "Download vc failed for network disconnect, continue",
                           "Download vc failed for other reason, stop",
                           "retry time out, stop",
                           "CheckDownloadFile failed",
                           "Download failed"};

class DownloadPhaseTest : public FlowTest {
public:
    void SetUp() override {
        FlowTest::SetUp();
        if (HasFatalFailure()) return;
        zip = FixtureBytes("package.zip");
        largeZip = ReadFileBytes(Widen(TELVISTA_LARGE_PACKAGE));
        ASSERT_GT(largeZip.size(), 160000u);
        ASSERT_TRUE(ReleaseResourceToFile(kArchiveToolResource, Temp() + L"\\7za.exe"));
        net = PatternBytes(60000);
        vc = PatternBytes(40000, 7);
    }
    void NeedNet() {
        pipeline.releaseCheck.dotNetConfig = RecordFor("4.5.2", server.Url("/ndp.exe"), net);
        pipeline.releaseCheck.dotNetConfig.required = 1;
    }
    void NeedVc() {
        pipeline.releaseCheck.vcRuntimeConfig = RecordFor("14.36", server.Url("/vc.exe"), vc);
        pipeline.releaseCheck.vcRuntimeConfig.required = 1;
    }
    void NeedApp() {
        pipeline.releaseCheck.appConfig = RecordFor("2.0.1", server.Url("/package.zip"), zip);
    }
    std::vector<std::string> Gets() {
        std::vector<std::string> lines;
        for (const RecordedRequest& r : server.Requests()) lines.push_back(r.requestLine);
        return lines;
    }
    std::string zip, largeZip, net, vc;
};

TEST_F(DownloadPhaseTest, EachFileInOrderWithItsShareOfTheBar) {
    NeedNet();
    NeedVc();
    NeedApp();
    const ProgressShares shares = ComputeProgressShares(pipeline.releaseCheck);
    // 60000 : 40000 : 598 bytes.
    ASSERT_EQ(shares.net, 59);
    ASSERT_EQ(shares.vc, 39);
    ASSERT_EQ(shares.app, 2);
    ASSERT_TRUE(server.Script({{"/ndp.exe", {FixtureReply::Bytes(net)}},
                               {"/vc.exe", {FixtureReply::Bytes(vc)}},
                               {"/package.zip", {FixtureReply::Bytes(zip)}}}));
    // Each step begins with its page change; the reports after it belong to that step's file.
    std::vector<std::vector<int>> reports;
    window.onPage = [&](PageState) { reports.emplace_back(); };
    window.onPercent = [&](int percent) { reports.back().push_back(percent); };
    EXPECT_TRUE(pipeline.RunDownloadPhase(window));
    const std::pair<int, int> ranges[] = {{0, 59}, {59, 98}, {98, 100}};
    ASSERT_EQ(reports.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_FALSE(reports[i].empty());
        EXPECT_GE(reports[i].front(), ranges[i].first);
        EXPECT_TRUE(std::is_sorted(reports[i].begin(), reports[i].end()));
        EXPECT_EQ(reports[i].back(), ranges[i].second);
    }
    EXPECT_EQ(pipeline.dotNetInstallerPath, Temp() + L"\\" + kDotNetInstallerFileName);
    EXPECT_EQ(pipeline.vcRedistPath, Temp() + L"\\vc_redist.x64.exe");
    EXPECT_EQ(pipeline.packageFolder, Temp() + L"\\extract-2.0.1.zip");
    EXPECT_EQ(ReadFileBytes(pipeline.dotNetInstallerPath), net);
    EXPECT_EQ(ReadFileBytes(pipeline.vcRedistPath), vc);
    EXPECT_EQ(ReadFileBytes(pipeline.packageFolder + L"\\sub folder\\notes.txt").size(), 540u);
    EXPECT_EQ(Gets(), (Lines{"GET /ndp.exe HTTP/1.0", "GET /vc.exe HTTP/1.0",
                             "GET /package.zip HTTP/1.0"}));
    EXPECT_EQ(window.Calls(), (Lines{"page Installing", "pos 0", "page Installing", "pos 590",
                                     "page Installing", "pos 980"}));
    EXPECT_EQ(OnlyLines(log.NewMessages(), kPhaseLines),
              (Lines{"valid config", "need install .net", "Download check .net framework",
                     ".net framework download needed", "vc download needed",
                     "app download needed"}));
}

TEST_F(DownloadPhaseTest, OnlyThePackageGetsTheWholeBar) {
    NeedApp();
    // .NET required but its record could not be fetched: skipped.
    pipeline.releaseCheck.dotNetConfig.version = L"4.5.2";
    pipeline.releaseCheck.dotNetConfig.required = 1;
    ASSERT_TRUE(server.Script({{"/package.zip", {FixtureReply::Bytes(zip)}}}));
    EXPECT_TRUE(pipeline.RunDownloadPhase(window));
    EXPECT_EQ(pipeline.dotNetInstallerPath, L"");
    EXPECT_EQ(window.Calls(), (Lines{"page Installing", "pos 0"}));
    EXPECT_EQ(OnlyLines(log.NewMessages(), kPhaseLines),
              (Lines{"invalid config", "need install .net", "Download check .net framework",
                     ".net framework download not needed", "vc download not needed",
                     "app download needed"}));
    EXPECT_EQ(window.Percents().back(), 100);
}

TEST_F(DownloadPhaseTest, NothingNeededIsDoneAtOnce) {
    EXPECT_TRUE(pipeline.RunDownloadPhase(window));
    EXPECT_TRUE(window.Calls().empty());
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(DownloadPhaseTest, DigestMismatchWhileOnlineIsAnErrorAtOnce) {
    struct Case {
        const char* name;
        void (DownloadPhaseTest::*need)();
        const char* path;
        Lines lines;
    };
    const Case cases[] = {
        {".NET", &DownloadPhaseTest::NeedNet, "/ndp.exe", {"CheckDownloadFile failed"}},
        {"VC++", &DownloadPhaseTest::NeedVc, "/vc.exe",
         {"CheckDownloadFile failed", "Download vc failed for other reason, stop"}},
        {"package", &DownloadPhaseTest::NeedApp, "/package.zip", {"CheckDownloadFile failed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingWindow w;
        InstallPipeline run;
        LogMark mark;
        pipeline.releaseCheck = {};
        (this->*c.need)();
        run.releaseCheck = pipeline.releaseCheck;
        ASSERT_TRUE(server.Script({{c.path, {FixtureReply::Pattern(5000)}}}));
        RemoveFolder(Temp());
        MakePathExist(Temp());
        EXPECT_FALSE(run.RunDownloadPhase(w));
        EXPECT_EQ(w.Pages(), (Lines{"Installing", "Error"}));
        EXPECT_EQ(w.errorTextId, 103);
        Lines lines = OnlyLines(mark.NewMessages(), kPhaseLines);
        lines.erase(lines.begin(), lines.begin() + 6);
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(server.Requests().size(), 1u);
    }
}

// The connection goes once the first bytes of the file are on the disk (FlowTest's script).
using DownloadNetworkTest = DownloadPhaseTest;

TEST_F(DownloadNetworkTest, LostForThirtySecondsResumesTheSameFile) {
    struct Case {
        const char* name;
        void (DownloadPhaseTest::*need)();
        const char* path;
        const char* line;
        bool retryLines;
    };
    const Case cases[] = {
        {".NET", &DownloadPhaseTest::NeedNet, "/ndp.exe",
         "Download app failed for network disconnect, continue", true},
        {"VC++", &DownloadPhaseTest::NeedVc, "/vc.exe",
         "Download vc failed for network disconnect, continue", false},
        {"package", &DownloadPhaseTest::NeedApp, "/package.zip",
         "Download app failed for network disconnect, continue", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeClock local;
        local.randValues = {9000};  // 5 s pauses: 6 of them make the 30 s
        RecordingWindow w;
        InstallPipeline run;
        LogMark mark;
        pipeline.releaseCheck = {};
        (this->*c.need)();
        run.releaseCheck = pipeline.releaseCheck;
        run.window = &w;
        RemoveFolder(Temp());
        MakePathExist(Temp());
        ASSERT_TRUE(ReleaseResourceToFile(kArchiveToolResource, Temp() + L"\\7za.exe"));
        if (c.path == std::string("/package.zip")) {
            run.releaseCheck.appConfig = RecordFor("2.0.1", server.Url("/package.zip"), largeZip);
        }
        const std::string& bytes = c.path == std::string("/ndp.exe") ? net
                                   : c.path == std::string("/vc.exe") ? vc : largeZip;
        // Slow enough that the loss arrives in the middle of the body: the whole body takes
        // about 3 s, so a client that stalls for a moment (a busy machine) still has most of it
        // to read when the network goes, and the server cuts it.
        const int perKiB = std::max(8, static_cast<int>(3000 * 1024 / bytes.size()));
        ASSERT_TRUE(server.Script({{c.path, {FixtureReply::Bytes(bytes).Slow(perKiB)}}}));
        LoseNetworkDuringDownload(w, local, 30000);

        EXPECT_TRUE(run.RunDownloadPhase(w));
        EXPECT_EQ(w.Pages(), (Lines{"Installing", "Checking", "Installing"}));
        const Lines messages = mark.NewMessages();
        EXPECT_EQ(OnlyLines(messages, {c.line}).size(), 1u);
        Lines retries;
        for (const std::string& line : messages)
            if (line.rfind("Retry: ", 0) == 0) retries.push_back(line);
        if (c.retryLines) {
            EXPECT_EQ(retries, (Lines{"Retry: 0", "Retry: 1", "Retry: 2", "Retry: 3", "Retry: 4",
                                      "Retry: 5"}));
        } else {
            EXPECT_TRUE(retries.empty());
        }
        // The wait ends with the 2 s settle.
        EXPECT_EQ(std::count(local.sleeps.begin(), local.sleeps.end(), 2000u), 1);
        // The same file again, from where the first attempt ended.
        const std::vector<RecordedRequest> requests = server.Requests();
        ASSERT_GE(requests.size(), 2u);
        EXPECT_FALSE(requests.front().HasHeader("Range"));
        const std::string range = requests.back().Header("Range");
        std::string transcript;
        for (const RecordedRequest& r : requests) transcript += r.requestLine + " " + r.Header("Range") + "\n";
        for (const std::string& line : messages) transcript += line + "\n";
        EXPECT_EQ(range.rfind("bytes=", 0), 0u) << transcript;
        EXPECT_NE(range, "bytes=0-");
        const std::wstring result = c.path == std::string("/ndp.exe") ? run.dotNetInstallerPath
                                    : c.path == std::string("/vc.exe") ? run.vcRedistPath
                                                                        : run.packageFolder;
        EXPECT_FALSE(result.empty());
        if (c.path != std::string("/package.zip")) {
            EXPECT_EQ(ReadFileBytes(result), bytes);
        } else {
            EXPECT_EQ(ReadFileBytes(result + L"\\data\\big.bin"), PatternBytes(120000));
        }
    }
}

TEST_F(DownloadNetworkTest, LostForMoreThanSixHundredSecondsStops) {
    clock.randValues = {9000};
    pipeline.releaseCheck.appConfig = RecordFor("2.0.1", server.Url("/package.zip"), largeZip);
    ASSERT_TRUE(server.Script({{"/package.zip", {FixtureReply::Bytes(largeZip).Slow(3)}}}));
    LoseNetworkDuringDownload(window, clock, 0);
    EXPECT_FALSE(pipeline.RunDownloadPhase(window));
    EXPECT_EQ(window.Pages(), (Lines{"Installing", "Checking", "Error"}));
    EXPECT_EQ(window.errorTextId, 103);
    Lines lines = OnlyLines(log.NewMessages(), kPhaseLines);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
              (Lines{"Download app failed for network disconnect, continue",
                     "retry time out, stop"}));
    EXPECT_GT(waited, 600000u);
}

TEST_F(DownloadPhaseTest, LeavingConfirmedDuringADownloadIgnoresItsOutcome) {
    NeedNet();
    NeedApp();
    // The .NET file fails its check while the user is asked; the user leaves.
    pipeline.releaseCheck.dotNetConfig.hash = Widen(Sha1Hex("other"));
    ASSERT_TRUE(server.Script({{"/ndp.exe", {FixtureReply::Bytes(net)}},
                               {"/package.zip", {FixtureReply::Bytes(zip)}}}));
    window.onPage = [&](PageState page) {
        if (page == PageState::Installing) window.exitPromptOpen = true;
    };
    int prompts = 0;
    clock.onSleep = [&](DWORD ms) {
        if (ms == 100 && ++prompts == 3) {
            window.exitConfirmed = true;
            window.exitPromptOpen = false;
        }
    };
    EXPECT_TRUE(pipeline.RunDownloadPhase(window));
    EXPECT_EQ(window.Pages(), Lines{"Installing"});
    EXPECT_EQ(window.errorTextId, 0);
    EXPECT_EQ(clock.sleeps, std::vector<DWORD>(3, 100));
    // Frozen while asked, and no further download once the user has left.
    EXPECT_TRUE(window.Percents().empty());
    EXPECT_EQ(Gets(), Lines{"GET /ndp.exe HTTP/1.0"});
}

}  // namespace
