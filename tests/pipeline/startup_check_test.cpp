#include "pipeline/startup_check.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "pipeline/package.h"
#include "sys/files.h"
#include "sys/text.h"
#include "tests/pipeline/flow_support.h"

namespace {

// CommandLineToArgvW of a whole command line, as the started program reads it.
std::vector<std::string> Arguments(const std::wstring& commandLine) {
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(Narrow(argv[i]));
    ::LocalFree(argv);
    return out;
}

TEST(StartupParameters, ParseBackAsTopAndLeft) {
    struct Case {
        RECT rect;
        std::vector<std::string> update, product;
    };
    const Case cases[] = {
        {{120, 80, 1080, 680}, {"u", "80", "120"}, {"80", "120"}},
        {{-1900, -20, -940, 580}, {"u", "-20", "-1900"}, {"-20", "-1900"}},
        {{0, 0, 960, 600}, {"u", "0", "0"}, {"0", "0"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> update = Arguments(L"x.exe " + SelfUpdateParameters(c.rect));
        update.erase(update.begin());
        EXPECT_EQ(update, c.update);
        std::vector<std::string> product = Arguments(L"x.exe " + ProductStartParameters(c.rect));
        product.erase(product.begin());
        EXPECT_EQ(product, c.product);
    }
}

// How run_recorder was started: its working folder, its arguments and its show mode.
struct StartedRun {
    std::string folder;
    std::vector<std::string> arguments;  // without the program
    int show = -1;
};

bool ReadRun(const std::wstring& program, StartedRun& run) {
    const std::string text = ReadFileBytes(program + L".run.txt");
    size_t first = text.find('\n');
    size_t second = first == std::string::npos ? first : text.find('\n', first + 1);
    if (second == std::string::npos || text.back() != '\n') return false;
    run.folder = text.substr(0, first);
    run.arguments = Arguments(Widen(text.substr(first + 1, second - first - 1)));
    if (!run.arguments.empty()) run.arguments.erase(run.arguments.begin());
    run.show = std::stoi(text.substr(second + 1));
    return true;
}

class StartupCheckTest : public FlowTest {
protected:
    void SetUp() override {
        FlowTest::SetUp();
        if (HasFatalFailure()) return;
        const ModulePathParts self = GetModulePathParts();
        copy = self.folder + L"\\tmp" + self.fileName;
        selfFolder = self.folder;
        RemoveCopy();
        recorder = ReadFileBytes(TestBinaryFolder() + L"\\run_recorder.exe");
        ASSERT_FALSE(recorder.empty());
    }
    void TearDown() override {
        RemoveCopy();
        FlowTest::TearDown();
    }
    void RemoveCopy() {
        // A started copy may still be running for a moment.
        WaitUntil([&] { return !PathExists(copy) || ::DeleteFileW(copy.c_str()); }, 10000);
        ::DeleteFileW((copy + L".run.txt").c_str());
    }

    // The release server: the installer record (version "" for none, served from
    // /TelvistaSetup.exe with `installerReplies`), a package record, and the .NET record.
    void Serve(const std::string& installerVersion, std::vector<FixtureReply> installerReplies,
               const std::string& packageVersion, const std::string& dotNetVersion = "") {
        std::vector<FixtureRoute> routes;
        if (!installerVersion.empty()) {
            routes.push_back({"/api/release/windows_installer/config",
                              {FixtureReply::Text(ConfigReplyFor(
                                  installerVersion, server.Url("/TelvistaSetup.exe"), recorder))}});
            routes.push_back({"/TelvistaSetup.exe", installerReplies});
        }
        if (!packageVersion.empty()) {
            routes.push_back({"/api/release/windows_update_package/config",
                              {FixtureReply::Text(ConfigReplyFor(
                                  packageVersion, server.Url("/package.zip"), "zip bytes"))}});
        }
        if (!dotNetVersion.empty()) {
            routes.push_back({"/api/release/net_framework/config",
                              {FixtureReply::Text(ConfigReplyFor(
                                  dotNetVersion, server.Url("/ndp.exe"), "ndp bytes"))}});
        }
        ASSERT_TRUE(server.Script(routes));
    }
    FixtureReply Installer() const { return FixtureReply::Bytes(recorder); }

    int InstallerRequests() {
        int count = 0;
        for (const RecordedRequest& r : server.Requests())
            if (r.requestLine == "GET /TelvistaSetup.exe HTTP/1.0") ++count;
        return count;
    }

    void Install(const std::string& version, bool withExe) {
        if (withExe) {
            WriteFileBytes(scratch / L"Telvista.exe", recorder);
        }
        installLocation.SetString(scratch.path());
        displayVersion.SetString(Widen(version));
    }

    std::wstring copy, selfFolder;
    std::string recorder;
};

using Lines = std::vector<std::string>;

TEST_F(StartupCheckTest, NoConnectionAtStartShowsNoInternetUntilItIsBack) {
    Serve("1.0.9.0", {}, "2.0.1");
    Network(false);
    int looks = 0;
    clock.onSleep = [&](DWORD) {
        if (++looks == 3) Network(true);
    };
    pipeline.RunStartupCheck(window);
    EXPECT_EQ(window.Pages(), (Lines{"NoInternet", "Checking", "Blank", "Ready"}));
    ASSERT_GE(clock.sleeps.size(), 3u);
    EXPECT_EQ(std::vector<DWORD>(clock.sleeps.begin(), clock.sleeps.begin() + 3),
              std::vector<DWORD>(3, 500));
}

TEST_F(StartupCheckTest, WaysOutWithoutAnUpdate) {
    struct Case {
        const char* name;
        const char* installer;   // version on the server ("" none)
        const char* package;     // version on the server ("" none)
        bool dotNetMissing;
        const char* installed;   // registered version ("" not registered)
        bool exePresent;
        Lines pages;
        int error;
        Lines lines;  // the flow's own lines among the log's
    };
    const Case cases[] = {
        {"installer up to date, package valid", "1.0.9.0", "2.0.1", false, "", false,
         {"Checking", "Blank", "Ready"}, 0, {"Run this..."}},
        {"installer older, package newer than installed", "1.0.8.0", "2.0.1", false, "2.0.0",
         true, {"Checking", "Blank", "Ready"}, 0, {"Run this..."}},
        {".NET required, package current", "1.0.9.0", "2.0.0", true, "2.0.0", true,
         {"Checking", "Blank", "Ready"}, 0, {"Run this..."}},
        {"nothing fetched, never installed", "", "", false, "", false,
         {"Checking", "Blank", "Error"}, 117,
         {"Run this...", "app is never installed and no valid app to download"}},
        {"registered, executable missing, no package", "1.0.9.0", "", false, "2.0.0", false,
         {"Checking", "Blank", "Error"}, 117,
         {"Run this...", "app is never installed and no valid app to download"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogMark mark;
        RecordingWindow w;
        InstallPipeline run;
        installLocation.DeleteKey();
        ::DeleteFileW((scratch / L"Telvista.exe").c_str());
        if (*c.installed) Install(c.installed, c.exePresent);
        if (c.dotNetMissing) dotNetRelease.SetDword(378389); else dotNetRelease.SetDword(528040);
        Serve(c.installer, {Installer()}, c.package, c.dotNetMissing ? "4.5.2" : "");
        run.RunStartupCheck(w);
        run.ReleaseArchiveTool();
        EXPECT_EQ(w.Pages(), c.pages);
        EXPECT_EQ(w.errorTextId, c.error);
        EXPECT_FALSE(w.closed);
        const Lines messages = mark.NewMessages();
        EXPECT_EQ(OnlyLines(messages, {"Run this...",
                                       "app is never installed and no valid app to download",
                                       "app exe not exist", "Installer new version exist"}),
                  c.lines);
        EXPECT_NE(std::find(messages.begin(), messages.end(), "Server: " + Narrow(Base())),
                  messages.end());
        EXPECT_EQ(InstallerRequests(), 0);
    }
}

TEST_F(StartupCheckTest, ReadyHoldsTheArchiveToolWrittenFromTheResource) {
    Serve("1.0.9.0", {}, "2.0.1");
    pipeline.RunStartupCheck(window);
    EXPECT_EQ(window.Pages(), (Lines{"Checking", "Blank", "Ready"}));
    const std::wstring tool = Temp() + L"\\7za.exe";
    const ResourceBytes original = FindResourceBytes(kArchiveToolResource, L"FILE");
    ASSERT_TRUE(original);
    EXPECT_EQ(ReadFileBytes(tool),
              std::string(static_cast<const char*>(original.data), original.size));
    // Held for the download phase: nobody may change or delete it meanwhile.
    UniqueFile writer(::CreateFileW(tool.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer);
    EXPECT_FALSE(::DeleteFileW(tool.c_str()));
    pipeline.ReleaseArchiveTool();
    EXPECT_TRUE(::DeleteFileW(tool.c_str()));
}

TEST_F(StartupCheckTest, InstalledAndCurrentStartsTheProductAndCloses) {
    Install("2.0.0", true);
    Serve("1.0.9.0", {}, "2.0.0");
    pipeline.RunStartupCheck(window);
    EXPECT_EQ(window.Pages(), (Lines{"Checking", "Blank", "Complete"}));
    EXPECT_EQ(window.Calls().back(), "close");
    EXPECT_EQ(OnlyLines(log.NewMessages(),
                        {"No valid app to download, start the installed one: " +
                         Narrow(scratch.path())}).size(), 1u);
    StartedRun run;
    ASSERT_TRUE(WaitUntil([&] { return ReadRun(scratch / L"Telvista.exe", run); }));
    EXPECT_EQ(Narrow(LowerAscii(Widen(run.folder))), Narrow(LowerAscii(scratch.path())));
    EXPECT_EQ(run.arguments, (Lines{"80", "120"}));  // top and left of the window
    EXPECT_EQ(run.show, SW_SHOW);
    // Nothing to install: the tool is not kept, so the temporary folder can go.
    EXPECT_TRUE(::DeleteFileW((Temp() + L"\\7za.exe").c_str()));
}

TEST_F(StartupCheckTest, ArchiveToolThatCannotBeWrittenIsUnknownErrorBeforeAnyUpdate) {
    Serve("1.1.0.0", {Installer()}, "2.0.1");
    const std::wstring tool = Temp() + L"\\7za.exe";
    WriteFileBytes(tool, "in use");
    UniqueFile holder(::CreateFileW(tool.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
    ASSERT_TRUE(holder);
    pipeline.RunStartupCheck(window);
    EXPECT_EQ(window.Pages(), (Lines{"Checking", "Error"}));
    EXPECT_EQ(window.errorTextId, 118);
    EXPECT_EQ(OnlyLines(log.NewMessages(), {"7za.exe error", "Installer new version exist"}),
              Lines{"7za.exe error"});
    EXPECT_EQ(InstallerRequests(), 0);
}

TEST_F(StartupCheckTest, PackageVersionThatIsNoPlainNameIsNeverDownloaded) {
    for (const char* version : {"../../evil", "..\\\\x", "C:x", "a/b", "CON", "..", " . ", "a|b"}) {
        SCOPED_TRACE(version);
        RecordingWindow w;
        InstallPipeline run;
        LogMark mark;
        Serve("1.0.9.0", {}, version);
        run.RunStartupCheck(w);
        EXPECT_EQ(w.Pages(), (Lines{"Checking", "Blank", "Error"}));
        EXPECT_EQ(w.errorTextId, 117);
        EXPECT_FALSE(IsValid(run.releaseCheck.appConfig));
        const Lines messages = mark.NewMessages();
        bool said = false;
        for (const std::string& line : messages)
            said = said || line.rfind("Package version is not a file name, package ignored: ", 0) == 0;
        EXPECT_TRUE(said);
        for (const RecordedRequest& r : server.Requests())
            EXPECT_EQ(r.requestLine.find("package.zip"), std::string::npos);
    }
}

// --- self-update ---

TEST_F(StartupCheckTest, NewerInstallerIsDownloadedCheckedStartedHiddenAndTheWindowCloses) {
    Serve("1.1.0.0", {Installer().Slow(1)}, "2.0.1");
    pipeline.RunStartupCheck(window);
    EXPECT_EQ(window.Pages(), (Lines{"Checking", "UpdatingInstaller"}));
    EXPECT_EQ(window.Calls().back(), "close");
    const std::vector<int> percents = window.Percents();
    ASSERT_GE(percents.size(), 3u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_LT(percents.front(), 100);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_EQ(OnlyLines(log.NewMessages(), {"Installer new version exist", "Download new installer ok",
                                            "Check new installer error", "Run this..."}),
              (Lines{"Installer new version exist", "Download new installer ok"}));
    StartedRun run;
    ASSERT_TRUE(WaitUntil([&] { return ReadRun(copy, run); }));
    EXPECT_EQ(Narrow(LowerAscii(Widen(run.folder))), Narrow(LowerAscii(selfFolder)));
    EXPECT_EQ(run.arguments, (Lines{"u", "80", "120"}));
    EXPECT_EQ(run.show, SW_HIDE);
    EXPECT_EQ(ReadFileBytes(copy), recorder);
}

TEST_F(StartupCheckTest, DigestMismatchDeletesTheCopyAndDownloadsAgainFromTheStart) {
    std::string corrupt = recorder;
    corrupt[corrupt.size() / 2] ^= 0x55;
    Serve("1.1.0.0", {FixtureReply::Bytes(corrupt), Installer()}, "2.0.1");
    pipeline.RunStartupCheck(window);
    EXPECT_EQ(window.Pages(), (Lines{"Checking", "UpdatingInstaller", "UpdatingInstaller"}));
    EXPECT_EQ(window.Calls().back(), "close");
    EXPECT_EQ(OnlyLines(log.NewMessages(), {"Download new installer ok", "Check new installer error"}),
              (Lines{"Download new installer ok", "Check new installer error",
                     "Download new installer ok"}));
    std::vector<RecordedRequest> requests;
    for (const RecordedRequest& r : server.Requests())
        if (r.requestLine == "GET /TelvistaSetup.exe HTTP/1.0") requests.push_back(r);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[1].HasHeader("Range"));
    StartedRun run;
    EXPECT_TRUE(WaitUntil([&] { return ReadRun(copy, run); }));
}

TEST_F(StartupCheckTest, UpdateThatKeepsFailingOnlineGivesUpAfterThreePasses) {
    std::string corrupt = recorder;
    corrupt[10] ^= 1;
    struct Case {
        const char* name;
        FixtureReply reply;
        const char* line;
    };
    const Case cases[] = {
        {"error page", FixtureReply::Status(404, "gone"),
         "Download failed for other reason but not network disconnect. Run this version"},
        {"wrong digest", FixtureReply::Bytes(corrupt), "Check new installer error"},
        {"wrong size", FixtureReply::Bytes(recorder + "x"), "Check new installer error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingWindow w;
        InstallPipeline run;
        LogMark mark;
        Serve("1.1.0.0", {c.reply}, "2.0.1");
        run.RunStartupCheck(w);
        run.ReleaseArchiveTool();
        EXPECT_EQ(w.Pages(), (Lines{"Checking", "UpdatingInstaller", "UpdatingInstaller",
                                    "UpdatingInstaller", "Blank", "Ready"}));
        EXPECT_FALSE(w.closed);
        EXPECT_EQ(OnlyLines(mark.NewMessages(),
                            {c.line, "Installer update failed 3 times, run this version",
                             "Run this..."}),
                  (Lines{c.line, c.line, c.line, "Installer update failed 3 times, run this version",
                         "Run this..."}));
        EXPECT_EQ(InstallerRequests(), 3);
        EXPECT_FALSE(PathExists(copy));
    }
}

// The connection goes when the first piece of the new installer has arrived.
class SelfUpdateNetworkTest : public StartupCheckTest {
protected:
    void LoseNetworkDuringDownload(DWORD backAfterMs) {
        window.onPercent = [&](int) {
            if (!lost) {
                lost = true;
                Network(false);
            }
        };
        window.onPage = [&](PageState page) {
            if (page == PageState::Checking && lost) waiting = true;
        };
        clock.onSleep = [&, backAfterMs](DWORD ms) {
            if (!waiting) return;
            waited += ms;
            if (backAfterMs && waited >= backAfterMs && waited - ms < backAfterMs) Network(true);
        };
    }
    bool lost = false, waiting = false;
    DWORD waited = 0;
};

TEST_F(SelfUpdateNetworkTest, LostAndBackWithinTheLimitDownloadsAgain) {
    Serve("1.1.0.0", {Installer().Slow(2)}, "2.0.1");
    clock.randValues = {9000};
    LoseNetworkDuringDownload(30000);
    pipeline.RunStartupCheck(window);
    EXPECT_EQ(window.Pages(),
              (Lines{"Checking", "UpdatingInstaller", "Checking", "UpdatingInstaller"}));
    EXPECT_EQ(window.Calls().back(), "close");
    EXPECT_EQ(OnlyLines(log.NewMessages(), {"Download failed for network reason. Run this version",
                                            "Download new installer ok", "retry time out, stop"}),
              (Lines{"Download failed for network reason. Run this version",
                     "Download new installer ok"}));
    const std::vector<RecordedRequest> requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_FALSE(requests.back().HasHeader("Range"));  // the copy was deleted: a fresh start
    StartedRun run;
    EXPECT_TRUE(WaitUntil([&] { return ReadRun(copy, run); }));
}

TEST_F(SelfUpdateNetworkTest, NotBackWithinTheLimitIsNoInternetAndDeletesTheCopy) {
    Serve("1.1.0.0", {Installer().Slow(2)}, "2.0.1");
    clock.randValues = {9000};
    LoseNetworkDuringDownload(0);
    pipeline.RunStartupCheck(window);
    EXPECT_EQ(window.Pages(), (Lines{"Checking", "UpdatingInstaller", "Checking", "Error"}));
    EXPECT_EQ(window.errorTextId, 103);
    EXPECT_FALSE(window.closed);
    EXPECT_EQ(OnlyLines(log.NewMessages(), {"Download failed for network reason. Run this version",
                                            "retry time out, stop"}),
              (Lines{"Download failed for network reason. Run this version",
                     "retry time out, stop"}));
    EXPECT_GT(waited, 600000u);
    EXPECT_FALSE(PathExists(copy));
}

TEST_F(StartupCheckTest, CancelPromptOpenWhenTheCopyIsReady) {
    for (bool leave : {true, false}) {
        SCOPED_TRACE(leave ? "leave" : "resume");
        RemoveCopy();
        FakeClock local;
        RecordingWindow w;
        InstallPipeline run;
        w.onPage = [&](PageState page) {
            if (page == PageState::UpdatingInstaller) w.exitPromptOpen = true;
        };
        int prompts = 0;
        bool writable = true, deletable = true;
        local.onSleep = [&](DWORD ms) {
            if (ms == 100 && prompts == 0) {
                // Checked and waiting to start: the copy cannot be changed or removed meanwhile.
                UniqueFile writer(::CreateFileW(copy.c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
                writable = static_cast<bool>(writer);
                deletable = ::DeleteFileW(copy.c_str()) != FALSE;
            }
            if (ms == 100 && ++prompts == 5) {
                w.exitConfirmed = leave;
                w.exitPromptOpen = false;
            }
        };
        Serve("1.1.0.0", {Installer()}, "2.0.1");
        run.RunStartupCheck(w);
        EXPECT_EQ(w.Calls().back(), "close");
        EXPECT_EQ(local.sleeps, std::vector<DWORD>(5, 100));
        EXPECT_FALSE(writable);
        EXPECT_FALSE(deletable);
        StartedRun started;
        if (leave) {
            ::Sleep(1000);
            EXPECT_FALSE(ReadRun(copy, started));
        } else {
            EXPECT_TRUE(WaitUntil([&] { return ReadRun(copy, started); }));
        }
    }
}

}  // namespace
