#include "sys/detectors.h"

#include <gtest/gtest.h>

#include "tests/pipeline/pipeline_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr wchar_t kDotNetKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full\\";
constexpr wchar_t kVcRuntimeKey[] = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";

// The view the shipped 32-bit installer reads on 64-bit Windows, named explicitly here so that a
// value in the other view shows a detector reading the wrong one.
constexpr REGSAM kView32 = KEY_WOW64_32KEY;
constexpr REGSAM kView64 = KEY_WOW64_64KEY;

TEST(VersionText, ComparesCodeUnitsNotNumbers) {
    struct Case {
        const wchar_t* version;
        bool notSmaller;
    };
    const Case cases[] = {
        {L"14.34.31910.0", true},   {L"14.34.31910.00", true}, {L"14.34.31938.0", true},
        {L"14.38.33135.00", true},  {L"14.40.33810.0", true},  {L"14.34.31909.0", false},
        {L"14.29.30133.0", false},  {L"14.4.0.0", true},       {L"14.100.0.0", false},
        {L"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareVersionText(c.version, kVcRuntimeMinimumVersion) >= 0, c.notSmaller)
            << Narrow(c.version);
    }
    // Units above 0x7FFF compare as unsigned values.
    EXPECT_GT(CompareVersionText(L"\xFF10", L"1"), 0);
}

TEST(DotNetDetector, NeedsAReleaseAbove45) {
    struct Case {
        const char* name;
        DWORD type;
        std::string data;
        bool installed;
    };
    auto dword = [](DWORD value) { return std::string(reinterpret_cast<char*>(&value), 4); };
    const std::wstring text = L"528040";
    const Case cases[] = {
        {"4.5 exactly", REG_DWORD, dword(378389), false},
        {"4.5.1", REG_DWORD, dword(378390), true},
        {"4.8", REG_DWORD, dword(528040), true},
        {"zero", REG_DWORD, dword(0), false},
        {"top bit set compares unsigned", REG_DWORD, dword(0x80000000u), true},
        {"stored as text", REG_SZ,
         std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2), false},
        {"too long for 4 bytes", REG_QWORD, dword(528040) + dword(0), false},
    };
    for (const Case& c : cases) {
        RegistryValueGuard release(HKEY_LOCAL_MACHINE, kDotNetKey, L"Release", kView32);
        release.SetRaw(c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        LogMark mark;
        EXPECT_EQ(IsDotNetInstalled(), c.installed) << c.name;
        EXPECT_TRUE(mark.NewMessages().empty()) << c.name;
    }
}

TEST(DotNetDetector, MissingValueOrKeyAndTheOtherViewMeanNotInstalled) {
    {
        RegistryValueGuard release(HKEY_LOCAL_MACHINE, kDotNetKey, L"Release", kView32);
        release.Delete();
        EXPECT_FALSE(IsDotNetInstalled());
        release.DeleteKey();
        EXPECT_FALSE(IsDotNetInstalled());
    }
    // Only the 32-bit view counts, in both builds of the installer.
    RegistryValueGuard release32(HKEY_LOCAL_MACHINE, kDotNetKey, L"Release", kView32);
    RegistryValueGuard release64(HKEY_LOCAL_MACHINE, kDotNetKey, L"Release", kView64);
    release32.Delete();
    release64.SetDword(528040);
    EXPECT_FALSE(IsDotNetInstalled());
    release32.SetDword(528040);
    release64.Delete();
    EXPECT_TRUE(IsDotNetInstalled());
}

TEST(VcRuntimeRegistry, NormalisesTheVersionBeforeComparing) {
    struct Case {
        const wchar_t* stored;
        bool installed;
    };
    const Case cases[] = {
        {L"v14.34.31931.00", true},  // "v" removed, four parts kept
        {L"V14.34.31910", true},     // "V" removed, ".0" appended
        {L"14.34.31909", false},     // becomes 14.34.31909.0
        {L"14.34.31910.0", true},
        {L"v14.29.30133.00", false},
        {L"14.4.0.0", true},         // compared as text: "4" after "14." beats "3"
        {L"14.100.0.0", false},      // and "1" loses to it
        {L"14.34.31910", true},      // ".0" appended without a letter too
        {L"14.34", false},           // one dot: nothing appended
        {L"", false},
    };
    for (const Case& c : cases) {
        RegistryValueGuard version(HKEY_LOCAL_MACHINE, kVcRuntimeKey, L"Version", kView32);
        version.SetString(c.stored);
        LogMark mark;
        EXPECT_EQ(CheckVcRuntimeRegistry(), c.installed) << Narrow(c.stored);
        EXPECT_EQ(mark.NewMessages(),
                  std::vector<std::string>{"Reg VC_Runtime version " + Narrow(c.stored)});
    }
}

TEST(VcRuntimeRegistry, UnreadableValuesAreNotInstalledAndNotLogged) {
    RegistryValueGuard version(HKEY_LOCAL_MACHINE, kVcRuntimeKey, L"Version", kView32);
    RegistryValueGuard version64(HKEY_LOCAL_MACHINE, kVcRuntimeKey, L"Version", kView64);
    version64.SetString(L"v14.40.33810.00");  // the other view never counts

    LogMark mark;
    version.DeleteKey();
    EXPECT_FALSE(CheckVcRuntimeRegistry());
    version.Delete();
    EXPECT_FALSE(CheckVcRuntimeRegistry());
    version.SetString(L"14.40.33810.0" + std::wstring(300, L'0'));  // longer than 260 characters
    EXPECT_FALSE(CheckVcRuntimeRegistry());
    EXPECT_TRUE(mark.NewMessages().empty());
}

TEST(FileVersion, ReadsTheProductVersionInFourOrTwoParts) {
    ScratchFolder scratch;
    const std::wstring file = scratch / L"versioned.dll";
    ASSERT_TRUE(WriteVersionedFile(file, {3, 2, 1, 7}, {9, 8, 7, 6}));
    EXPECT_EQ(GetFileVersionString(file, false), L"3.2.1.7");
    EXPECT_EQ(GetFileVersionString(file, true), L"3.2");

    ASSERT_TRUE(WriteVersionedFile(file, {65535, 0, 65535, 1}, {1, 0, 0, 0}));
    EXPECT_EQ(GetFileVersionString(file, false), L"65535.0.65535.1");

    EXPECT_EQ(GetFileVersionString(TestBinaryFolder() + L"\\sleeper.exe", false), L"");
    EXPECT_EQ(GetFileVersionString(scratch / L"missing.dll", false), L"");
    EXPECT_EQ(GetFileVersionString(L"", true), L"");
}

TEST(FileVersion, OwnVersionIsTheRunningFilesProductVersion) {
    // This test program carries product version 1.0.9.0 and file version 7.7.7.7.
    EXPECT_EQ(GetOwnVersion(), L"1.0.9.0");
}

TEST(FileVersion, BuiltInstallerCarriesTheBuildVersion) {
    const std::wstring installer = TestBinaryFolder() + L"\\..\\TelvistaSetup.exe";
    EXPECT_EQ(GetFileVersionString(installer, false), Widen(TELVISTA_VERSION));
}

TEST(VcRuntimeFile, JudgesTheX64RuntimeByItsProductVersion) {
    const std::wstring path = VcRuntimeFilePath();
#ifdef _WIN64
    // A 64-bit process finds the x64 runtime in the system folder itself.
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring expected = std::wstring(system) + L"\\vcruntime140.dll";
#else
    // For a 32-bit process on 64-bit Windows the system folder is the 32-bit one; the x64
    // runtime is reached through Sysnative.
    ASSERT_TRUE(IsWow64()) << "the 32-bit tests run in a WoW64 prefix";
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring expected = std::wstring(windows) + L"\\Sysnative\\vcruntime140.dll";
#endif
    EXPECT_EQ(_wcsicmp(path.c_str(), expected.c_str()), 0) << Narrow(path);

    struct Case {
        const char* name;
        FileVersion product;
        FileVersion file;
        std::string logged;
        bool installed;
    };
    const Case cases[] = {
        {"minimum product version, newer file version", {14, 34, 31910, 0}, {14, 34, 31938, 0},
         "14.34.31910.0", true},
        {"newer runtime", {14, 40, 33810, 0}, {14, 40, 33810, 0}, "14.40.33810.0", true},
        {"older runtime", {14, 29, 30133, 0}, {14, 29, 30133, 0}, "14.29.30133.0", false},
        {"older product version, newer file version", {14, 34, 31909, 0}, {14, 36, 0, 0},
         "14.34.31909.0", false},
    };
    FileGuard guard(path);
    NativeDllOverride native(L"vcruntime140");
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteVersionedFile(path, c.product, c.file)) << c.name;
        LogMark mark;
        EXPECT_EQ(CheckVcRuntimeFile(), c.installed) << c.name;
        EXPECT_EQ(mark.NewMessages(),
                  std::vector<std::string>{"CheckFile " + Narrow(path) + " VC_Runtime version " +
                                           c.logged})
            << c.name;
    }

    ::DeleteFileW(path.c_str());
    LogMark mark;
    EXPECT_FALSE(CheckVcRuntimeFile());
    EXPECT_EQ(mark.NewMessages(),
              std::vector<std::string>{"CheckFile " + Narrow(path) + " VC_Runtime version "});
}

TEST(Bitness, BothBuildsKnowTheyRunOn64BitWindows) {
#ifdef _WIN64
    EXPECT_FALSE(IsWow64());  // a 64-bit process is never a WoW64 process
#else
    EXPECT_TRUE(IsWow64());   // the 32-bit installer on 64-bit Windows
#endif
    EXPECT_TRUE(IsWindows64Bit());
}

}  // namespace
