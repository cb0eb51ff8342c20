#include "pipeline/release_check.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "pipeline/install_pipeline.h"
#include "sys/detectors.h"
#include "tests/fixtures/http_fixture.h"
#include "tests/pipeline/pipeline_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr wchar_t kDotNetKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full\\";
constexpr wchar_t kVcRuntimeKey[] = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
constexpr wchar_t kWindowsKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr REGSAM kView32 = KEY_WOW64_32KEY;  // what the shipped 32-bit installer sees

// This test program's product version (pipeline_tests.rc): the running installer's version here.
constexpr char kRunningVersion[] = "1.0.9.0";

std::string ConfigReply(const std::string& version, const std::string& url = "http://dl/f.bin") {
    return R"({"result": {"download_url": ")" + url + R"(", "version": ")" + version +
           R"(", "size": 4096, "hash": "0123456789abcdef0123456789abcdef01234567", )"
           R"("release_notes": ""}})";
}

constexpr char dotNetPresent[] = ".net framework is installed.";

// The lines CheckReleases writes itself (the transfer lines of the requests left out).
std::vector<std::string> DecisionLines(const LogMark& mark) {
    const char* prefixes[] = {"Current Windows version", "Failed to open registry key",
                              "Reg VC_Runtime",          "CheckFile",
                              ".net framework",          "vc redist"};
    std::vector<std::string> lines;
    for (const std::string& line : mark.NewMessages()) {
        for (const char* prefix : prefixes) {
            if (line.rfind(prefix, 0) == 0) lines.push_back(line);
        }
    }
    return lines;
}

// A machine in a known state for each test, every value put back afterwards: .NET 4.8 present,
// the product not installed, Windows 7 (no CurrentMajorVersionNumber), no VC++ runtime. The
// server answers every path 404 until a test scripts it.
class CheckReleasesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.available());
        ASSERT_TRUE(server.Script({}));
        dotNetRelease.SetDword(528040);
        installLocation.DeleteKey();
        windowsMajor.Delete();
        windowsMinor.Delete();
        vcVersion.Delete();
        ::DeleteFileW(vcFile.c_str());
    }

    void Serve(const std::string& installer, const std::string& package,
               const std::string& dotNet = "") {
        std::vector<FixtureRoute> routes;
        if (!installer.empty()) {
            routes.push_back({"/api/release/windows_installer/config",
                              {FixtureReply::Text(ConfigReply(installer))}});
        }
        if (!package.empty()) {
            routes.push_back({"/api/release/windows_update_package/config",
                              {FixtureReply::Text(ConfigReply(package))}});
        }
        if (!dotNet.empty()) {
            routes.push_back({"/api/release/net_framework/config",
                              {FixtureReply::Text(ConfigReply(dotNet, "http://dl/ndp452.exe"))}});
        }
        ASSERT_TRUE(server.Script(routes));
    }

    void Install(const std::wstring& version, bool withExe) {
        if (withExe) WriteFileBytes(scratch / L"Telvista.exe", "MZ");
        installLocation.SetString(scratch.path());
        displayVersion.SetString(version);
    }

    void RunningOnWindows10x64() {
        windowsMajor.SetDword(10);
        windowsMinor.SetDword(0);
    }

    std::wstring Base() const { return server.Url("/api/"); }

    HttpFixture& server = HttpFixture::Get();
    ScratchFolder scratch;
    RegistryValueGuard dotNetRelease{HKEY_LOCAL_MACHINE, kDotNetKey, L"Release", kView32};
    RegistryValueGuard windowsMajor{HKEY_LOCAL_MACHINE, kWindowsKey, L"CurrentMajorVersionNumber",
                                    kView32};
    RegistryValueGuard windowsMinor{HKEY_LOCAL_MACHINE, kWindowsKey, L"CurrentMinorVersionNumber",
                                    kView32};
    RegistryValueGuard vcVersion{HKEY_LOCAL_MACHINE, kVcRuntimeKey, L"Version", kView32};
    RegistryValueGuard installLocation{HKEY_CURRENT_USER, kProductUninstallKey,
                                       L"InstallLocation"};
    RegistryValueGuard displayVersion{HKEY_CURRENT_USER, kProductUninstallKey, L"DisplayVersion"};
    std::wstring vcFile = VcRuntimeFilePath();
    FileGuard vcFileGuard{vcFile};
    NativeDllOverride nativeVcRuntime{L"vcruntime140"};
    InstallPipeline pipeline;
};

TEST_F(CheckReleasesTest, InstallerUpdatesOnlyWhenTheServersTextIsGreater) {
    ASSERT_EQ(Narrow(GetOwnVersion()), kRunningVersion);
    struct Case {
        const char* server;  // "" : the request fails
        int upToDate;
    };
    const Case cases[] = {
        {"1.0.9.0", 1},   // equal to the running version
        {"1.0.8.0", 1},   // older
        {"1.0.10.0", 1},  // newer as numbers, smaller as text
        {"1.0.9", 1},     // a prefix is the smaller
        {"1.1.0.0", 0},
        {"1.0.9.0.1", 0},
        {"", 1},          // nothing fetched: never an update
    };
    for (const Case& c : cases) {
        Serve(c.server, "");
        InstallPipeline run;
        EXPECT_TRUE(run.CheckReleases(Base()));
        const ReleaseConfig& installer = run.releaseCheck.installerConfig;
        EXPECT_EQ(installer.upToDate, c.upToDate) << c.server;
        EXPECT_EQ(IsValid(installer), c.upToDate == 0) << c.server;
        EXPECT_EQ(Narrow(installer.version), c.server);
    }

    // The three records come from the base's paths, in this order (the .NET record only when
    // the framework is missing).
    dotNetRelease.Delete();
    Serve("1.0.9.0", "", "");
    pipeline.CheckReleases(Base());
    std::vector<std::string> lines;
    for (const RecordedRequest& request : server.Requests()) lines.push_back(request.requestLine);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "GET /api/release/windows_installer/config HTTP/1.0",
                         "GET /api/release/windows_update_package/config HTTP/1.0",
                         "GET /api/release/net_framework/config HTTP/1.0"}));
}

TEST_F(CheckReleasesTest, ProductNeverInstalledAlwaysWantsThePackage) {
    Serve("", "0.0.0.1");
    EXPECT_TRUE(pipeline.CheckReleases(Base()));
    const ReleaseCheck& check = pipeline.releaseCheck;
    EXPECT_EQ(check.appConfig.upToDate, 0);
    EXPECT_TRUE(IsValid(check.appConfig));
    EXPECT_EQ(check.installLocation, L"");
    // Looking created the product's key, empty.
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kProductUninstallKey, 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD values = 99;
    ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(key);
    EXPECT_EQ(values, 0u);
}

TEST_F(CheckReleasesTest, InstalledProductIsComparedWithThePackage) {
    Install(L"2.0.0.0", true);
    struct Case {
        const char* server;
        int upToDate;
    };
    const Case cases[] = {
        {"2.0.0.0", 1}, {"1.9.9.9", 1}, {"10.0.0.0", 1}, {"2.0.0.1", 0}, {"3.0", 0}, {"", 1},
    };
    for (const Case& c : cases) {
        Serve("", c.server);
        InstallPipeline run;
        run.CheckReleases(Base());
        EXPECT_EQ(run.releaseCheck.appConfig.upToDate, c.upToDate) << c.server;
        EXPECT_EQ(run.releaseCheck.installLocation, scratch.path());
    }
    EXPECT_EQ(pipeline.GetInstalledVersion(), L"2.0.0.0");
}

TEST_F(CheckReleasesTest, InstalledProductWithoutItsExecutableCountsAsNotInstalled) {
    Install(L"2.0.0.0", false);
    Serve("", "1.0.0.0");
    pipeline.CheckReleases(Base());
    EXPECT_EQ(pipeline.releaseCheck.appConfig.upToDate, 0);
    EXPECT_TRUE(IsValid(pipeline.releaseCheck.appConfig));
    EXPECT_EQ(pipeline.releaseCheck.installLocation, scratch.path());  // still taken from the key
    EXPECT_EQ(pipeline.GetInstalledVersion(), L"");
}

TEST_F(CheckReleasesTest, InstalledVersionNeedsTheLocation) {
    // "DisplayVersion" without "InstallLocation": nothing installed, and the location read
    // earlier stays.
    displayVersion.SetString(L"2.0.0.0");
    pipeline.releaseCheck.installLocation = L"C:\\earlier";
    EXPECT_EQ(pipeline.GetInstalledVersion(), L"");
    EXPECT_EQ(pipeline.releaseCheck.installLocation, L"C:\\earlier");

    // A location longer than 260 characters cannot be read either.
    installLocation.SetString(L"C:\\" + std::wstring(300, L'a'));
    EXPECT_EQ(pipeline.GetInstalledVersion(), L"");
    EXPECT_EQ(pipeline.releaseCheck.installLocation, L"C:\\earlier");

    // The executable present but no "DisplayVersion": empty, with the location taken.
    Install(L"", true);
    displayVersion.Delete();
    EXPECT_EQ(pipeline.GetInstalledVersion(), L"");
    EXPECT_EQ(pipeline.releaseCheck.installLocation, scratch.path());
}

TEST_F(CheckReleasesTest, MissingDotNetIsRequiredAsVersion452) {
    dotNetRelease.SetDword(378389);  // 4.5 itself is too old
    Serve("", "", "4.8.1");
    LogMark mark;
    pipeline.CheckReleases(Base());
    const ReleaseConfig& dotNet = pipeline.releaseCheck.dotNetConfig;
    EXPECT_EQ(dotNet.required, 1);
    EXPECT_EQ(dotNet.version, L"4.5.2");  // whatever the server says
    EXPECT_EQ(dotNet.download_url, L"http://dl/ndp452.exe");
    EXPECT_EQ(dotNet.size, 4096u);
    EXPECT_TRUE(IsValid(dotNet));
    EXPECT_TRUE(DecisionLines(mark).empty());

    // The fetch failing: still required, with nothing to download.
    Serve("", "", "");
    InstallPipeline failed;
    failed.CheckReleases(Base());
    EXPECT_EQ(failed.releaseCheck.dotNetConfig.required, 1);
    EXPECT_EQ(failed.releaseCheck.dotNetConfig.version, L"4.5.2");
    EXPECT_EQ(failed.releaseCheck.dotNetConfig.download_url, L"");
    EXPECT_FALSE(IsValid(failed.releaseCheck.dotNetConfig));
}

TEST_F(CheckReleasesTest, InstalledDotNetIsNotFetched) {
    Serve("", "", "4.8.1");
    LogMark mark;
    pipeline.CheckReleases(Base());
    const ReleaseConfig& dotNet = pipeline.releaseCheck.dotNetConfig;
    EXPECT_EQ(dotNet.required, 0);
    EXPECT_EQ(dotNet.version, L"");
    EXPECT_EQ(dotNet.download_url, L"");
    EXPECT_EQ(DecisionLines(mark), std::vector<std::string>{dotNetPresent});
    for (const RecordedRequest& request : server.Requests()) {
        EXPECT_EQ(request.requestLine.find("net_framework"), std::string::npos);
    }
}

TEST_F(CheckReleasesTest, OldRuntimeOn64BitWindows10GetsTheFixedRecord) {
    RunningOnWindows10x64();
    struct Case {
        const char* name;
        const wchar_t* registry;  // nullptr: no value
        FileVersion file;         // {0}: no file
        int required;
        std::vector<std::string> lines;
    };
    const std::string checkFile = "CheckFile " + Narrow(vcFile) + " VC_Runtime version ";
    const Case cases[] = {
        {"no runtime", nullptr, {}, 1,
         {dotNetPresent, "Current Windows version: 10.0", "vc redist is not installed"}},
        {"old runtime", L"v14.29.30133.00", {14, 40, 33810, 0}, 1,
         {dotNetPresent, "Current Windows version: 10.0", "Reg VC_Runtime version v14.29.30133.00",
          "vc redist is not installed"}},
        {"registry current, file old", L"v14.40.33810.00", {14, 29, 30133, 0}, 1,
         {dotNetPresent, "Current Windows version: 10.0", "Reg VC_Runtime version v14.40.33810.00",
          checkFile + "14.29.30133.0", "vc redist is not installed"}},
        {"registry current, file missing", L"v14.40.33810.00", {}, 1,
         {dotNetPresent, "Current Windows version: 10.0", "Reg VC_Runtime version v14.40.33810.00", checkFile,
          "vc redist is not installed"}},
        {"current runtime", L"v14.40.33810.00", {14, 40, 33810, 0}, 0,
         {dotNetPresent, "Current Windows version: 10.0", "Reg VC_Runtime version v14.40.33810.00",
          checkFile + "14.40.33810.0", "vc redist is installed."}},
    };
    for (const Case& c : cases) {
        if (c.registry) {
            vcVersion.SetString(c.registry);
        } else {
            vcVersion.Delete();
        }
        ::DeleteFileW(vcFile.c_str());
        if (c.file.major) {
            ASSERT_TRUE(WriteVersionedFile(vcFile, c.file, c.file)) << c.name;
        }

        LogMark mark;
        InstallPipeline run;
        run.CheckReleases(Base());
        const ReleaseConfig& vc = run.releaseCheck.vcRuntimeConfig;
        EXPECT_EQ(DecisionLines(mark), c.lines) << c.name;
        EXPECT_EQ(vc.required, c.required) << c.name;
        if (c.required) {
            EXPECT_EQ(vc.download_url, Base() + L"release/vc/VC_redist.x64%202015-2022.exe");
            EXPECT_EQ(vc.hash, L"c483f66c48ba83e99c764d957729789317b09c6b");
            EXPECT_EQ(vc.version, L"14.36.32532.0");
            EXPECT_EQ(vc.size, 25355496u);
            EXPECT_EQ(vc.release_notes, L"");
            EXPECT_TRUE(IsValid(vc));
        } else {
            EXPECT_EQ(vc.download_url, L"") << c.name;
            EXPECT_FALSE(IsValid(vc));
        }
    }
}

TEST_F(CheckReleasesTest, RuntimeIsNotConsideredOutsideWindows10) {
    struct Case {
        const char* name;
        DWORD major, minor;  // major 0: the values are missing (before Windows 10)
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"Windows 8.1", 6, 3, {dotNetPresent, "Current Windows version: 6.3"}},
        {"a later 10.x", 10, 1, {dotNetPresent, "Current Windows version: 10.1"}},
        {"no version values", 0, 0, {dotNetPresent}},
    };
    for (const Case& c : cases) {
        if (c.major) {
            windowsMajor.SetDword(c.major);
            windowsMinor.SetDword(c.minor);
        } else {
            windowsMajor.Delete();
            windowsMinor.Delete();
        }
        LogMark mark;
        InstallPipeline run;
        run.CheckReleases(Base());
        EXPECT_EQ(DecisionLines(mark), c.lines) << c.name;
        EXPECT_EQ(run.releaseCheck.vcRuntimeConfig.required, 0) << c.name;
        EXPECT_EQ(run.releaseCheck.vcRuntimeConfig.download_url, L"") << c.name;
    }
}

TEST_F(CheckReleasesTest, UnreadableWindowsVersionIsLoggedWithItsErrorCode) {
    RunningOnWindows10x64();
    KeyAccessDenied denied(HKEY_LOCAL_MACHINE, kWindowsKey, kView32);
    ASSERT_TRUE(denied.applied());
    LogMark mark;
    pipeline.CheckReleases(Base());
    // The message ends with a line feed of its own, which leaves an empty line behind it.
    EXPECT_EQ(DecisionLines(mark), (std::vector<std::string>{
                                       dotNetPresent, "Failed to open registry key. Error code: 5"}));
    std::vector<std::string> all = mark.NewMessages();
    auto failed = std::find(all.begin(), all.end(), "Failed to open registry key. Error code: 5");
    ASSERT_NE(failed, all.end());
    ASSERT_NE(failed + 1, all.end());
    EXPECT_EQ(*(failed + 1), "");
    EXPECT_EQ(pipeline.releaseCheck.vcRuntimeConfig.required, 0);
}

}  // namespace
