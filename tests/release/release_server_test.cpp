// The installer's network code against the local release server: nginx serving a tree that
// tools/publish_release.py wrote, over HTTPS with the throwaway CA that tools/release-server.sh
// made trusted in this prefix, found through the TestServer.txt it wrote.
//
// tests/release/run_release_server.py publishes, starts the server and runs this program with
//   TELVISTA_RELEASE_EXPECTED  a UTF-8 file, one line per record as the tool published it:
//                              name TAB version TAB size TAB SHA-1 TAB download URL TAB notes
//   TELVISTA_RELEASE_API_BASE  the API base the server script printed
//   TELVISTA_RELEASE_PACKAGE   the published package file (its first bytes become a partial file)
//   TELVISTA_RELEASE_LOG       nginx's access log
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "net/digest.h"
#include "net/download.h"
#include "pipeline/release_check.h"
#include "pipeline/release_config.h"
#include "pipeline/server_selection.h"
#include "sys/detectors.h"
#include "tests/support/test_support.h"

namespace {

// This program's product version (release_server_tests.rc), older than any installer published.
constexpr wchar_t kOwnVersion[] = L"0.9.0.0";
// The partial file's length: not a multiple of the download's 10 KiB chunks.
constexpr size_t kPartial = 123457;

std::wstring Env(const wchar_t* name) {
    wchar_t value[4096] = {};
    DWORD length = ::GetEnvironmentVariableW(name, value, 4096);
    return length && length < 4096 ? value : L"";
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);) {
        if (!part.empty() && part.back() == '\r') part.pop_back();
        parts.push_back(part);
    }
    return parts;
}

std::map<std::string, ReleaseConfig> Published() {
    std::map<std::string, ReleaseConfig> records;
    for (const std::string& line : Split(ReadFileBytes(Env(L"TELVISTA_RELEASE_EXPECTED")), '\n')) {
        std::vector<std::string> fields = Split(line, '\t');
        if (fields.size() < 5) continue;
        ReleaseConfig& record = records[fields[0]];
        record.version = Widen(fields[1]);
        record.size = static_cast<uint32_t>(std::stoul(fields[2]));
        record.hash = Widen(fields[3]);
        record.download_url = Widen(fields[4]);
        record.release_notes = fields.size() > 5 ? Widen(fields[5]) : L"";
    }
    return records;
}

void ExpectRecord(const ReleaseConfig& got, const ReleaseConfig& want, const char* what) {
    EXPECT_EQ(got.download_url, want.download_url) << what;
    EXPECT_EQ(got.version, want.version) << what;
    EXPECT_EQ(got.hash, want.hash) << what;
    EXPECT_EQ(got.size, want.size) << what;
    EXPECT_EQ(got.release_notes, want.release_notes) << what;
}

// The access log's lines: method, URI, status, body bytes, "Range".
std::vector<std::vector<std::string>> AccessLog() {
    std::vector<std::vector<std::string>> lines;
    for (const std::string& line : Split(ReadFileBytes(Env(L"TELVISTA_RELEASE_LOG")), '\n')) {
        if (!line.empty()) lines.push_back(Split(line, ' '));
    }
    return lines;
}

// The URL's path as the request line carries it.
std::string PathOf(const std::wstring& url) {
    std::string text = Narrow(url);
    size_t host = text.find("//");
    size_t path = text.find('/', host == std::string::npos ? 0 : host + 2);
    return path == std::string::npos ? "/" : text.substr(path);
}

class ReleaseServer : public testing::Test {
protected:
    void SetUp() override {
        apiBase = Env(L"TELVISTA_RELEASE_API_BASE");
        ASSERT_FALSE(apiBase.empty()) << "run through tests/release/run_release_server.py";
        published = Published();
        ASSERT_EQ(published.size(), 3u);
    }

    std::wstring apiBase;
    std::map<std::string, ReleaseConfig> published;
};

TEST_F(ReleaseServer, TheOverrideFilePointsAtTheServer) {
    EXPECT_EQ(GetOwnVersion(), kOwnVersion);
    EXPECT_EQ(SelectServer(), apiBase);
}

TEST_F(ReleaseServer, TheThreeDocumentsReadAsPublished) {
    const std::pair<const wchar_t*, const char*> documents[] = {
        {kInstallerConfigPath, "windows_installer"},
        {kPackageConfigPath, "windows_update_package"},
        {kDotNetConfigPath, "net_framework"},
    };
    for (const auto& [path, name] : documents) {
        ReleaseConfig record = FetchReleaseConfig(apiBase + path);
        ExpectRecord(record, published[name], name);
        EXPECT_TRUE(IsValid(record)) << name;
    }

    ReleaseCheck check;
    ASSERT_TRUE(CheckReleases(check, SelectServer()));
    // Published for a newer installer than this program, and nothing installed yet.
    ExpectRecord(check.installerConfig, published["windows_installer"], "installer");
    EXPECT_TRUE(IsValid(check.installerConfig));
    ExpectRecord(check.appConfig, published["windows_update_package"], "package");
    EXPECT_TRUE(IsValid(check.appConfig));
    if (check.dotNetConfig.required) {
        ReleaseConfig dotNet = published["net_framework"];
        dotNet.version = kDotNetVersion;
        ExpectRecord(check.dotNetConfig, dotNet, ".NET");
        EXPECT_TRUE(IsValid(check.dotNetConfig));
    }
    if (check.vcRuntimeConfig.required) {
        EXPECT_EQ(check.vcRuntimeConfig.download_url, apiBase + kVcRuntimeInstallerPath);
    }

    std::vector<std::string> configs;
    for (const auto& line : AccessLog()) {
        if (line.size() >= 3 && line[1].size() > 7 && line[1].rfind("/config") == line[1].size() - 7) {
            configs.push_back(line[1] + " " + line[2]);
        }
    }
    EXPECT_GE(configs.size(), 5u);
    for (const std::string& line : configs) EXPECT_NE(line.find(" 200"), std::string::npos) << line;
}

TEST_F(ReleaseServer, ThePackageDownloadResumesAndChecks) {
    const ReleaseConfig& package = published["windows_update_package"];
    const std::string bytes = ReadFileBytes(Env(L"TELVISTA_RELEASE_PACKAGE"));
    ASSERT_EQ(bytes.size(), package.size);
    ASSERT_GT(bytes.size(), kPartial + 10 * 10240) << "the package must outlast the partial file";

    ScratchFolder scratch;
    const std::wstring path = scratch / (package.version + L".zip");
    WriteFileBytes(path, bytes.substr(0, kPartial));
    LogMark mark;
    ASSERT_EQ(GetUrlFile(package.download_url, path, nullptr, nullptr, 0, 100), Download_ok);
    EXPECT_TRUE(CheckDownloadFile(path, package.hash, package.size));
    EXPECT_EQ(ReadFileBytes(path), bytes);
    std::vector<std::string> lines = mark.NewMessages();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Resume download."), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "QueryInfoStatusCode: 206"), lines.end());

    // nginx answered the range itself: the rest of the file, once.
    const std::string uri = PathOf(package.download_url);
    std::vector<std::string> seen;
    for (const auto& line : AccessLog()) {
        if (line.size() >= 5 && line[1] == uri) {
            seen.push_back(line[2] + " " + line[3] + " " + line[4]);
        }
    }
    const std::string want = "206 " + std::to_string(bytes.size() - kPartial) + " \"bytes=" +
                             std::to_string(kPartial) + "-\"";
    EXPECT_EQ(seen, std::vector<std::string>{want});
}

TEST_F(ReleaseServer, TheInstallerDownloadsWhole) {
    const ReleaseConfig& installer = published["windows_installer"];
    ScratchFolder scratch;
    const std::wstring path = scratch / L"TelvistaSetup.exe";
    ASSERT_EQ(GetUrlFile(installer.download_url, path, nullptr, nullptr, 0, 100), Download_ok);
    EXPECT_TRUE(CheckDownloadFile(path, installer.hash, installer.size));
    // The version the server states is the one the downloaded file reports when it runs.
    EXPECT_EQ(GetFileVersionString(path, false), installer.version);
}

}  // namespace
