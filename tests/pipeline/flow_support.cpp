#include "tests/pipeline/flow_support.h"

#include "net/digest.h"
#include "sys/files.h"
#include "sys/paths.h"

std::string Sha1Hex(const std::string& bytes) {
    CryptoHash hash;
    if (!hash.Begin() || !hash.Update(bytes.data(), static_cast<DWORD>(bytes.size())) ||
        !hash.Finish()) {
        return {};
    }
    return ToHex(hash.digest(), false);
}

std::string FixtureUnixPath(const std::string& name) {
    return std::string(TELVISTA_FIXTURES_UNIX) + "/" + name;
}

std::string FixtureBytes(const std::string& name) {
    return ReadFileBytes(Widen("Z:" + FixtureUnixPath(name)));
}

std::string ConfigReplyFor(const std::string& version, const std::wstring& url,
                           const std::string& bytes) {
    return R"({"result": {"download_url": ")" + Narrow(url) + R"(", "version": ")" + version +
           R"(", "size": )" + std::to_string(bytes.size()) + R"(, "hash": ")" + Sha1Hex(bytes) +
           R"(", "release_notes": ""}})";
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
