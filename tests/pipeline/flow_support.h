#pragma once
// What the flow tests share: a machine in a known state (the .NET Framework present, the product
// not installed, no Windows 10 values, so no VC++ runtime is considered), the fixture server as
// the release server through TestServer.txt, a fake clock, the recording window, an empty
// temporary folder and the connection switched on. The program runs in a private network
// namespace (tests/fixtures/netns_run.sh), so SetNetwork really switches what WinINet reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/install_pipeline.h"
#include "tests/fixtures/http_fixture.h"
#include "tests/pipeline/pipeline_support.h"
#include "tests/pipeline/recording_window.h"
#include "tests/support/test_support.h"


// The Unix path of a fixture file of the source tree (tests/fixtures/<name>) and its bytes.
std::string FixtureUnixPath(const std::string& name);
std::string FixtureBytes(const std::string& name);


// A record as the start-up check leaves it for a file of these bytes.
ReleaseConfig RecordFor(const std::string& version, const std::wstring& url,
                        const std::string& bytes);

// The messages among `lines` that are one of `wanted`, in order (the flows' own lines among the
// transfer lines of the network layer).
std::vector<std::string> OnlyLines(const std::vector<std::string>& lines,
                                   const std::vector<std::string>& wanted);

class FlowTest : public MachineStateTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The connection on or off (route and server). Fails the test when the switch is missing.
    void Network(bool up);
    // Takes the connection away once the first bytes of a download are on the disk (the second
    // progress report of `w`) and brings it back after `backAfterMs` of waiting on the page
    // Checking that follows (0: never). Starts the script afresh each time.
    void LoseNetworkDuringDownload(RecordingWindow& w, FakeClock& c, DWORD backAfterMs);
    void LoseNetworkDuringDownload(DWORD backAfterMs) {
        LoseNetworkDuringDownload(window, clock, backAfterMs);
    }
    std::wstring Base() const { return server.Url("/api/"); }
    std::wstring Temp() const { return temp; }

    HttpFixture& server = HttpFixture::Get();
    FakeClock clock;
    RecordingWindow window;
    InstallPipeline pipeline;
    LogMark log;
    ScratchFolder scratch;
    std::wstring temp;
    RegistryValueGuard displayVersion{HKEY_CURRENT_USER, kProductUninstallKey, L"DisplayVersion"};
    std::wstring serverFile;
    // The state of the network-loss script: connection taken away, waiting for it, reports seen,
    // milliseconds waited since.
    bool lost = false, waiting = false;
    int reports = 0;
    DWORD waited = 0;
};
