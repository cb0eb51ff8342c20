#include "tests/pipeline/flow_support.h"

#include "sys/files.h"
#include "sys/paths.h"


std::string FixtureUnixPath(const std::string& name) {
    return std::string(TELVISTA_FIXTURES_UNIX) + "/" + name;
}

std::string FixtureBytes(const std::string& name) {
    return ReadFileBytes(Widen("Z:" + FixtureUnixPath(name)));
}


ReleaseConfig RecordFor(const std::string& version, const std::wstring& url,
                        const std::string& bytes) {
    ReleaseConfig record;
    record.download_url = url;
    record.version = Widen(version);
    record.hash = Widen(Sha1Hex(bytes));
    record.size = static_cast<uint32_t>(bytes.size());
    return record;
}

std::vector<std::string> OnlyLines(const std::vector<std::string>& lines,
                                   const std::vector<std::string>& wanted) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        for (const std::string& w : wanted) {
            if (line == w) {
                out.push_back(line);
                break;
            }
        }
    }
    return out;
}

void FlowTest::SetUp() {
    ASSERT_TRUE(server.available());
    ASSERT_TRUE(server.Script({}));
    Network(true);
    dotNetRelease.SetDword(528040);
    windowsMajor.Delete();
    installLocation.DeleteKey();
    serverFile = GetDownloadFolder() + L"\\TestServer.txt";
    ::DeleteFileW(serverFile.c_str());
    WriteFileBytes(serverFile, "{\"ApplicationUpdate\": \"" + Narrow(Base()) + "\"}");
    temp = GetTempFolder();
    ASSERT_FALSE(temp.empty());
    RemoveFolder(temp);
    MakePathExist(temp);
}

void FlowTest::TearDown() {
    pipeline.ReleaseArchiveTool();
    Network(true);
    ::DeleteFileW(serverFile.c_str());
    RemoveFolder(temp);
}

void FlowTest::Network(bool up) { ASSERT_TRUE(server.SetNetwork(up)) << "network switch"; }

void FlowTest::LoseNetworkDuringDownload(RecordingWindow& w, FakeClock& c, DWORD backAfterMs) {
    lost = waiting = false;
    reports = 0;
    waited = 0;
    w.onPercent = [this](int) {
        // The first report comes before any byte; the second after bytes are on the disk.
        if (++reports == 2) {
            lost = true;
            Network(false);
        }
    };
    w.onPage = [this](PageState page) {
        if (page == PageState::Checking && lost) waiting = true;
    };
    c.onSleep = [this, backAfterMs](DWORD ms) {
        if (!waiting) return;
        waited += ms;
        if (backAfterMs && waited >= backAfterMs && waited - ms < backAfterMs) Network(true);
    };
}
