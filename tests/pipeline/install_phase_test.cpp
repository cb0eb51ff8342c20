#include "pipeline/install_phase.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "net/digest.h"
#include "pipeline/install_pipeline.h"
#include "pipeline/registration.h"
#include "sys/files.h"
#include "sys/paths.h"
#include "sys/process.h"
#include "tests/pipeline/install_support.h"
#include "tests/pipeline/recording_window.h"
#include "tests/support/test_support.h"

namespace {

using Lines = std::vector<std::string>;

std::wstring Sleeper() { return TestBinaryFolder() + L"\\sleeper.exe"; }

// A record that IsValid accepts, for a file of `path` (its size and SHA-1) or a package.
ReleaseConfig RecordFor(const std::wstring& path, const wchar_t* version) {
    ReleaseConfig record;
    record.download_url = L"https://release.example/file";
    record.version = version;
    const std::string bytes = ReadFileBytes(path);
    record.size = static_cast<uint32_t>(bytes.size());
    HashStatus status;
    const std::string hex = ToHex(HashFile(path, status), false);
    record.hash = std::wstring(hex.begin(), hex.end());
    return record;
}

ReleaseConfig PackageRecord(const wchar_t* version) {
    ReleaseConfig record;
    record.download_url = L"https://release.example/package.zip";
    record.hash = L"0123456789abcdef0123456789abcdef01234567";
    record.version = version;
    record.size = 1000;
    return record;
}

// The install log's lines of a run without those of the folder resolution, which the shortcut
// step repeats (they are the folders' own business).
Lines PhaseLines(const LogMark& mark) {
    Lines lines;
    for (const std::string& line : mark.NewMessages()) {
        if (line.rfind("ProcessUser: ", 0) == 0 || line.rfind("Original ", 0) == 0 ||
            line.rfind("After replace ", 0) == 0 || line.rfind("logon user is ", 0) == 0) {
            continue;
        }
        lines.push_back(line);
    }
    return lines;
}

std::string Joined(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

bool Contains(const Lines& lines, const std::string& wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

size_t IndexOf(const Lines& lines, const std::string& wanted) {
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), wanted) - lines.begin());
}

// A clock whose sleeps let the test act between the attempts of a retried step.
class SteppingClock : public FakeClock {
public:
    void Sleep(DWORD milliseconds) override {
        FakeClock::Sleep(milliseconds);
        if (onSleep) onSleep(sleeps.size());
    }
    std::function<void(size_t)> onSleep;
};

class InstallPhase : public testing::Test {
protected:
    InstallPhase() : cleanup(L"Pantavi") {
        tempFolder = GetTempFolder();
        RemoveFolder(tempFolder);
        MakePathExist(tempFolder);
        installFolder = scratch / L"Apps\\Orvane\\Telvista";
        MakePathExist(scratch / L"Apps\\Orvane");
        pipeline.packageFolder = tempFolder + L"\\package";
        MakePackage(pipeline.packageFolder, "2.0");
        pipeline.releaseCheck.appConfig = PackageRecord(L"2.0.0.0");
        window.SetInstallPath(installFolder);
    }
    ~InstallPhase() override { RemoveFolder(tempFolder); }

    // A package as the download phase unpacks it: the stand-ins, nested folders, a hidden file.
    static void MakePackage(const std::wstring& folder, const std::string& tag) {
        MakePathExist(folder + L"\\data\\deep");
        ::CopyFileW(StandIn(L"Telvista.exe").c_str(), (folder + L"\\Telvista.exe").c_str(), FALSE);
        ::CopyFileW(StandIn(L"Tandemix.Updater.exe").c_str(),
                    (folder + L"\\Tandemix.Updater.exe").c_str(), FALSE);
        ::CopyFileW(StandIn(L"uninstaller.exe").c_str(), (folder + L"\\uninstaller.exe").c_str(), FALSE);
        WriteFileBytes(folder + L"\\data\\settings.json", "{\"package\": \"" + tag + "\"}");
        WriteFileBytes(folder + L"\\data\\deep\\model.bin", std::string(70000, 'm') + tag);
        WriteFileBytes(folder + L"\\data\\.hidden", "hidden " + tag);
        ::SetFileAttributesW((folder + L"\\data\\.hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    }

    // The .NET stand-in downloaded into the temporary folder, its record required and valid.
    void NeedDotNet(const std::wstring& installer) {
        pipeline.dotNetInstallerPath = tempFolder + L"\\dotnet-installer.exe";
        ::CopyFileW(installer.c_str(), pipeline.dotNetInstallerPath.c_str(), FALSE);
        pipeline.releaseCheck.dotNetConfig = RecordFor(pipeline.dotNetInstallerPath, L"4.5.2");
        pipeline.releaseCheck.dotNetConfig.required = 1;
        // Not installed until the installer has run (the cleanup puts the values back).
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            UniqueRegKey key;
            if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDotNetFullKey, 0, KEY_SET_VALUE | view,
                                key.put()) == ERROR_SUCCESS) {
                ::RegDeleteValueW(key.get(), L"Release");
            }
        }
    }
    void NeedVcRuntime() {
        pipeline.vcRedistPath = tempFolder + L"\\VC_redist.x64.exe";
        ::CopyFileW(StandIn(L"VC_redist.x64.exe").c_str(), pipeline.vcRedistPath.c_str(), FALSE);
        pipeline.releaseCheck.vcRuntimeConfig = RecordFor(pipeline.vcRedistPath, L"14.36.32532.0");
        pipeline.releaseCheck.vcRuntimeConfig.required = 1;
    }

    // An installation of version 1.0 made the way the phase makes one, registered.
    void InstallOldVersion() {
        InstallPipeline old;
        old.packageFolder = tempFolder + L"\\old-package";
        MakePackage(old.packageFolder, "1.0");
        WriteFileBytes(old.packageFolder + L"\\only-in-1.0.txt", "old");
        old.releaseCheck.appConfig = PackageRecord(L"1.0.0.0");
        RecordingWindow oldWindow;
        oldWindow.SetInstallPath(installFolder);
        const size_t started = record.Of(L"Telvista.exe").size();
        old.RunInstallPhase(oldWindow);
        ASSERT_TRUE(oldWindow.closed);
        // The updater starts the product after the phase has returned; it is ended once it runs.
        ASSERT_TRUE(WaitUntil([&] { return record.Of(L"Telvista.exe").size() > started; }));
        EndStandInProducts();
        ASSERT_TRUE(PathExists(installFolder + L"\\only-in-1.0.txt"));
        MakePathExist(tempFolder);
        MakePackage(pipeline.packageFolder, "2.0");
    }

    InstalledProductCleanup cleanup;
    StandInRecord record;
    FakeClock clock;
    ScratchFolder scratch;
    std::wstring tempFolder;
    std::wstring installFolder;
    InstallPipeline pipeline;
    RecordingWindow window;
};

TEST_F(InstallPhase, FirstInstallFromUnpackedPackageToStartedProduct) {
    NeedDotNet(StandIn(L"dotnet-installer.exe"));
    NeedVcRuntime();
    const auto package = ReadTree(pipeline.packageFolder);
    const std::wstring exe = installFolder + L"\\Telvista.exe";
    LogMark mark;

    pipeline.RunInstallPhase(window);

    EXPECT_EQ(window.Calls(), (Lines{"page Installing", "target 600", "creep on", "target 900",
                                     "target 1000", "creep off", "page Complete", "close"}));
    EXPECT_EQ(window.Percents(), (std::vector<int>{60, 90, 100}));
    EXPECT_EQ(pipeline.installFolder, installFolder);

    // The prerequisites ran silently in the temporary folder, and .NET is now found.
    const auto dotnet = record.Of(L"dotnet-installer");
    ASSERT_EQ(dotnet.size(), 1u);
    EXPECT_EQ(dotnet[0][1], tempFolder);
    EXPECT_EQ(dotnet[0][2].substr(dotnet[0][2].size() - 14), L" /q /norestart");
    const auto vc = record.Of(L"vc-redist");
    ASSERT_EQ(vc.size(), 1u);
    EXPECT_EQ(vc[0][1], tempFolder);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kDotNetFullKey, L"Release", KEY_WOW64_32KEY).Number(), 379893u);

    // The package's tree, hidden file included, is the install folder.
    EXPECT_EQ(ReadTree(installFolder), package);
    EXPECT_FALSE(PathExists(installFolder + L".old"));

    const auto entry = ReadUninstallEntry();
    EXPECT_EQ(entry.at(L"DisplayName").Text(), L"Pantavi");
    EXPECT_EQ(entry.at(L"InstallLocation").Text(), installFolder);
    EXPECT_EQ(entry.at(L"DisplayVersion").Text(), L"2.0.0.0");
    EXPECT_EQ(entry.at(L"UninstallString").Text(), L"\"" + installFolder + L"\\uninstaller.exe\"");
    EXPECT_EQ(entry.at(L"NoRepair").Number(), 1u);

    EXPECT_EQ(ShortcutTarget(UserDesktopLink(L"Pantavi")), exe);
    EXPECT_EQ(ReadFileBytes(CommonProgramsLink(L"Pantavi")), ReadFileBytes(UserDesktopLink(L"Pantavi")));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRunKeyPath, L"Telvista").Text(),
              L"\"" + exe + L"\" /WinStart");
    EXPECT_FALSE(PathExists(tempFolder));

    // The updater was started in the install folder with -l and the quoted product, and started it.
    ASSERT_TRUE(WaitUntil([&] { return !record.Of(L"Telvista.exe").empty(); }));
    const auto updater = record.Of(L"Tandemix.Updater.exe");
    ASSERT_EQ(updater.size(), 1u);
    EXPECT_EQ(updater[0][1], installFolder);
    EXPECT_EQ(updater[0][3], L"-l=" + exe);
    EXPECT_NE(updater[0][2].find(L" -l \"" + exe + L"\""), std::wstring::npos);
    EXPECT_EQ(record.Of(L"Telvista.exe")[0][1], installFolder);
    EXPECT_TRUE(IsProcessRunning(L"Telvista.exe"));

    const std::string folder = Narrow(installFolder);
    const std::string dotNetPath = Narrow(pipeline.dotNetInstallerPath);
    EXPECT_EQ(PhaseLines(mark),
              (Lines{"Install",
                     "Install .net framwork\xEF\xBF\xBD\xEF\xBF\xBD" + dotNetPath,
                     "Install .net framwork ok",
                     "Install vc redist.",
                     "Searching for process Telvista.exe",
                     "Process not found",
                     "TerminateProcess Telvista.exe",
                     "MakePathExist  " + folder,
                     "CopytoInstallPath ok",
                     "RegisterToSystem ok",
                     "Start application: " + folder + "\\Tandemix.Updater.exe -l \"" + folder +
                         "\\Telvista.exe\""}));
}

TEST_F(InstallPhase, DotNetStillMissingAfterItsInstallerStopsWithError) {
    // An "installer" that ends with 0 and writes nothing.
    NeedDotNet(Sleeper());
    LogMark mark;
    pipeline.RunInstallPhase(window);
    EXPECT_EQ(window.Calls(), (Lines{"page Installing", "target 600", "creep on", "error 121",
                                     "page Error", "creep off"}));
    EXPECT_FALSE(window.closed);
    EXPECT_TRUE(window.Percents().empty());
    EXPECT_TRUE(Contains(PhaseLines(mark), "Install .net framwork failed"));
    EXPECT_FALSE(PathExists(installFolder));
    EXPECT_FALSE(ReadUninstallEntry().at(L"InstallLocation").present);
}

TEST_F(InstallPhase, OnlyDotNetNeededClosesWithoutInstallingTheProduct) {
    NeedDotNet(StandIn(L"dotnet-installer.exe"));
    pipeline.releaseCheck.appConfig.upToDate = 1;
    pipeline.RunInstallPhase(window);
    EXPECT_EQ(window.Calls(), (Lines{"page Installing", "target 600", "creep on", "target 900",
                                     "target 1000", "close"}));
    EXPECT_EQ(window.Percents(), std::vector<int>{60});
    EXPECT_EQ(record.Of(L"dotnet-installer").size(), 1u);
    EXPECT_FALSE(PathExists(installFolder));
    EXPECT_FALSE(ReadUninstallEntry().at(L"InstallLocation").present);
    EXPECT_TRUE(record.Of(L"Tandemix.Updater.exe").empty());
}

// What runs is what was checked: a prerequisite whose bytes are not the record's is not started,
// and one that matches is held so that nobody can change it until it has run.
TEST_F(InstallPhase, PrerequisiteInstallersAreHeldAndCheckedBeforeTheyRun) {
    NeedDotNet(StandIn(L"dotnet-installer.exe"));
    UniqueFile held = OpenVerifiedInstaller(pipeline.dotNetInstallerPath, pipeline.releaseCheck.dotNetConfig);
    ASSERT_TRUE(held);
    const std::wstring installer = pipeline.dotNetInstallerPath;
    UniqueFile writer(::CreateFileW(installer.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer) << "opened for writing while held";
    EXPECT_FALSE(::DeleteFileW(installer.c_str()));
    EXPECT_FALSE(::MoveFileW(installer.c_str(), (installer + L".moved").c_str()));
    UniqueFile reader(::CreateFileW(installer.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(reader) << "others may still read it";
    reader.reset();
    held.reset();

    ReleaseConfig wrongSize = pipeline.releaseCheck.dotNetConfig;
    wrongSize.size += 1;
    EXPECT_FALSE(OpenVerifiedInstaller(installer, wrongSize));
    ReleaseConfig upperCase = pipeline.releaseCheck.dotNetConfig;
    for (wchar_t& c : upperCase.hash) c = static_cast<wchar_t>(towupper(c));
    EXPECT_TRUE(OpenVerifiedInstaller(installer, upperCase));
    EXPECT_FALSE(OpenVerifiedInstaller(L"", upperCase));

    // Replaced after the download was checked: not run, and .NET counts as not installed.
    ::CopyFileW(Sleeper().c_str(), installer.c_str(), FALSE);
    LogMark mark;
    pipeline.RunInstallPhase(window);
    EXPECT_TRUE(record.Of(L"dotnet-installer").empty());
    EXPECT_TRUE(Contains(PhaseLines(mark), "Installer check failed " + Narrow(installer)));
    EXPECT_EQ(window.errorTextId, 121);
    EXPECT_EQ(window.Pages(), (Lines{"Installing", "Error"}));
}

TEST_F(InstallPhase, RunningProductIsEndedBeforeTheCopy) {
    // A terminated process lets go of its folder a moment later: the phase's retries wait for it
    // in real time here.
    SteppingClock realTime;
    realTime.onSleep = [&](size_t count) { ::Sleep(realTime.sleeps[count - 1]); };
    struct Case {
        const char* name;
        const wchar_t* arguments;
        bool endsByItself;  // within the 3 s; otherwise it is terminated
    };
    const Case cases[] = {{"ends within 3 s", L"/end-after 1000", true}, {"keeps running", L"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakePathExist(installFolder);
        const std::wstring running = installFolder + L"\\Telvista.exe";
        ::CopyFileW(StandIn(L"Telvista.exe").c_str(), running.c_str(), FALSE);
        // Under Wine a terminated process keeps its folder in use while a handle to it is open,
        // so the test keeps none and learns from the record how the product ended.
        const size_t before = record.Of(L"Telvista.exe").size();
        ASSERT_TRUE(StartProcess(running, c.arguments, installFolder));
        ASSERT_TRUE(WaitUntil([&] { return record.Of(L"Telvista.exe").size() > before; }));
        const size_t ended = record.Of(L"Telvista.exe-ended").size();
        const size_t started = record.Of(L"Telvista.exe").size();
        RecordingWindow runWindow;
        runWindow.SetInstallPath(installFolder);
        LogMark mark;
        pipeline.RunInstallPhase(runWindow);
        const Lines lines = PhaseLines(mark);
        EXPECT_EQ(record.Of(L"Telvista.exe-ended").size(), ended + (c.endsByItself ? 1 : 0));
        EXPECT_LT(IndexOf(lines, "Found process"), IndexOf(lines, "TerminateProcess Telvista.exe"));
        EXPECT_LT(IndexOf(lines, "TerminateProcess Telvista.exe"),
                  IndexOf(lines, "MakePathExist  " + Narrow(installFolder)));
        EXPECT_TRUE(runWindow.closed) << Joined(lines);
        ASSERT_TRUE(WaitUntil([&] { return record.Of(L"Telvista.exe").size() > started; }));
        EndStandInProducts();
        MakePathExist(tempFolder);
        MakePackage(pipeline.packageFolder, "2.0");
    }
}

TEST_F(InstallPhase, MilestonesWhileTheCancelPromptIsOpenMoveOnlyTheTarget) {
    window.exitPromptOpen = true;
    pipeline.RunInstallPhase(window);
    EXPECT_TRUE(window.Percents().empty());
    EXPECT_EQ(window.GetProgressPos(), 0);
    EXPECT_EQ(window.Calls(), (Lines{"page Installing", "target 600", "creep on", "target 900",
                                     "target 1000", "creep off", "page Complete", "close"}));
}

// An update never leaves the user without a working product: the old folder is moved aside and
// only removed once the new one is complete and registered.
TEST_F(InstallPhase, UpdateReplacesTheOldInstallationWhole) {
    InstallOldVersion();
    ::SetFileAttributesW((installFolder + L"\\only-in-1.0.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    const auto package = ReadTree(pipeline.packageFolder);
    LogMark mark;
    pipeline.RunInstallPhase(window);
    EXPECT_EQ(window.Pages(), (Lines{"Installing", "Complete"})) << Joined(PhaseLines(mark));
    EXPECT_EQ(ReadTree(installFolder), package);  // nothing of 1.0 left, read-only file included
    EXPECT_FALSE(PathExists(installFolder + L".old"));
    EXPECT_EQ(ReadUninstallEntry().at(L"DisplayVersion").Text(), L"2.0.0.0");
    const std::string folder = Narrow(installFolder);
    const Lines lines = PhaseLines(mark);
    EXPECT_TRUE(Contains(lines, "MoveFolder " + folder + " to " + folder + ".old"));
    EXPECT_LT(IndexOf(lines, "RegisterToSystem ok"), IndexOf(lines, "RemoveFolder " + folder + ".old"));
}

TEST_F(InstallPhase, FailedCopyOrRegistrationPutsTheOldInstallationBack) {
    InstallOldVersion();
    const auto oldTree = ReadTree(installFolder);
    const auto oldEntry = ReadUninstallEntry();
    const std::string folder = Narrow(installFolder);

    for (const char* failure : {"copy", "registration"}) {
        SCOPED_TRACE(failure);
        RecordingWindow failWindow;
        failWindow.SetInstallPath(installFolder);
        LogMark mark;
        {
            // A package file held exclusively cannot be copied; an Uninstall key that denies
            // every access cannot be written.
            UniqueFile locked;
            std::unique_ptr<KeyAccessDenied> denied;
            if (std::string(failure) == "copy") {
                locked.reset(::CreateFileW((pipeline.packageFolder + L"\\data\\deep\\model.bin").c_str(),
                                           GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
                ASSERT_TRUE(locked);
            } else {
                denied = std::make_unique<KeyAccessDenied>(HKEY_CURRENT_USER, kUninstallKeyPath, 0);
                ASSERT_TRUE(denied->applied());
            }
            pipeline.RunInstallPhase(failWindow);
        }
        EXPECT_EQ(failWindow.errorTextId, 121);
        EXPECT_EQ(failWindow.Pages(), (Lines{"Installing", "Error"}));
        EXPECT_FALSE(failWindow.closed);
        EXPECT_FALSE(failWindow.creepRunning);
        EXPECT_EQ(ReadTree(installFolder), oldTree);
        EXPECT_FALSE(PathExists(installFolder + L".old"));
        EXPECT_EQ(ReadUninstallEntry(), oldEntry);
        const Lines lines = PhaseLines(mark);
        EXPECT_TRUE(Contains(lines, std::string(failure) == "copy" ? "CopytoInstallPath failed"
                                                                   : "RegisterToSystem failed"));
        EXPECT_TRUE(Contains(lines, "RemoveFolder " + folder));
        EXPECT_TRUE(Contains(lines, "Restore " + folder + ".old to " + folder));
        EXPECT_TRUE(record.Of(L"Tandemix.Updater.exe").size() == 1u) << "only the old install's";
    }
}

TEST_F(InstallPhase, FolderInUseIsRetriedForABoundedTimeThenNothingIsDeleted) {
    InstallOldVersion();
    const auto oldTree = ReadTree(installFolder);
    SteppingClock stepping;
    UniqueFile inUse(::CreateFileW(installFolder.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(inUse);
    ASSERT_FALSE(::MoveFileExW(installFolder.c_str(), (installFolder + L".probe").c_str(), 0))
        << "the platform renames a folder that is held open";

    LogMark mark;
    pipeline.RunInstallPhase(window);
    EXPECT_EQ(window.errorTextId, 121);
    EXPECT_EQ(window.Pages(), (Lines{"Installing", "Error"}));
    std::vector<DWORD> moveWaits;
    for (DWORD sleep : stepping.sleeps)
        if (sleep == 500) moveWaits.push_back(sleep);
    EXPECT_EQ(moveWaits.size(), 10u);
    const Lines lines = PhaseLines(mark);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("MoveFolder failed, error ", 0) == 0;
    })) << Joined(lines);
    inUse.reset();
    EXPECT_EQ(ReadTree(installFolder), oldTree);
    EXPECT_FALSE(PathExists(installFolder + L".old"));

    // Released while the phase waits: the update goes through.
    inUse.reset(::CreateFileW(installFolder.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const size_t before = stepping.sleeps.size();
    stepping.onSleep = [&](size_t count) {
        if (count == before + 3) inUse.reset();
    };
    RecordingWindow second;
    second.SetInstallPath(installFolder);
    pipeline.RunInstallPhase(second);
    EXPECT_EQ(second.Pages(), (Lines{"Installing", "Complete"}));
    EXPECT_FALSE(PathExists(installFolder + L"\\only-in-1.0.txt"));
}

TEST(InstallFolder, OnlyTheProductsOwnFolderIsAccepted) {
    wchar_t local[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, local, CSIDL_LOCAL_APPDATA, FALSE);
    wchar_t profile[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, profile, CSIDL_PROFILE, FALSE);
    const std::pair<std::wstring, bool> cases[] = {
        {std::wstring(local) + L"\\Orvane\\Telvista", true},  // the default
        {ProductFolderBelow(L"D:\\Chosen Folder"), true},    // a browsed folder
        {ProductFolderBelow(L"E:"), true},
        {L"c:\\apps\\ORVANE\\telvista", true},
        {L"C:\\", false},
        {profile, false},
        {L"C:\\Users\\bob", false},
        {L"C:\\Apps\\Telvista", false},
        {L"C:\\Apps\\Orvane\\Telvista\\", false},
        {L"C:\\Apps\\Orvane\\Telvista\\..", false},
        {L"C:\\Apps\\Orvane\\Telvista\\..\\..", false},
        {L"C:\\Apps/Orvane/Telvista", false},
        {L"C:\\Apps\\XOrvane\\Telvista", false},
        {L"\\\\server\\share\\Orvane\\Telvista", false},
        {L"Orvane\\Telvista", false},
        {L"", false},
    };
    for (const auto& [folder, accepted] : cases) {
        EXPECT_EQ(IsProductInstallFolder(folder), accepted) << Narrow(folder);
    }
    EXPECT_EQ(ProductFolderBelow(L"D:\\Chosen Folder"), L"D:\\Chosen Folder\\Orvane\\Telvista");
}

TEST_F(InstallPhase, AForeignFolderIsRefusedBeforeAnythingIsTouched) {
    const std::wstring profile = scratch / L"Users\\bob";
    MakePathExist(profile + L"\\Documents");
    WriteFileBytes(profile + L"\\Documents\\thesis.txt", "years of work");
    const std::wstring product = scratch / L"Users\\bob\\Telvista";
    MakePathExist(product);
    WriteFileBytes(product + L"\\mine.txt", "mine");
    for (const std::wstring& folder : {profile, product, std::wstring(L"C:\\")}) {
        SCOPED_TRACE(Narrow(folder));
        const auto before = ReadTree(profile);
        RecordingWindow foreign;
        foreign.SetInstallPath(folder);
        LogMark mark;
        pipeline.RunInstallPhase(foreign);
        EXPECT_EQ(foreign.errorTextId, 121);
        EXPECT_EQ(foreign.Pages(), (Lines{"Installing", "Error"}));
        EXPECT_EQ(ReadTree(profile), before);
        EXPECT_TRUE(Contains(PhaseLines(mark), "Install folder refused " + Narrow(folder)));
        EXPECT_FALSE(ReadUninstallEntry().at(L"InstallLocation").present);
    }
}

TEST(InstallFolder, CopyReproducesTheTreeAndFailsOnAnyFile) {
    ScratchFolder scratch;
    const std::wstring source = scratch / L"source";
    MakePathExist(source + L"\\a\\b\\c");
    WriteFileBytes(source + L"\\top.txt", "top");
    WriteFileBytes(source + L"\\a\\b\\c\\deep.txt", "deep");
    WriteFileBytes(source + L"\\a\\system.dat", "sys");
    ::SetFileAttributesW((source + L"\\a\\system.dat").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    const std::wstring target = scratch / L"target";
    MakePathExist(target);
    EXPECT_TRUE(CopytoInstallPath(source, target));
    EXPECT_EQ(ReadTree(target), ReadTree(source));
    EXPECT_TRUE(CopytoInstallPath(source + L"\\", scratch / L"target"));  // a final backslash

    // Empty or missing sources copy nothing; an empty path would be the drive's root.
    MakePathExist(scratch / L"empty");
    EXPECT_TRUE(CopytoInstallPath(scratch / L"empty", target));
    EXPECT_TRUE(CopytoInstallPath(scratch / L"missing", target));
    EXPECT_FALSE(CopytoInstallPath(L"", target));

    // A file deep in the tree that cannot be copied fails the whole copy.
    UniqueFile locked(::CreateFileW((source + L"\\a\\b\\c\\deep.txt").c_str(), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked);
    EXPECT_FALSE(CopytoInstallPath(source, scratch / L"second"));
}

TEST(UpdaterParameters, ParseBackToTheProductPath) {
    for (const wchar_t* exe : {L"C:\\Apps\\Orvane\\Telvista\\Telvista.exe",
                               L"C:\\Program Files (x86)\\Orvane\\Telvista\\Telvista.exe",
                               L"D:\\a  b\\Orvane\\Telvista\\Telvista.exe"}) {
        const std::wstring parameters = UpdaterParameters(exe);
        EXPECT_EQ(parameters, L"-l \"" + std::wstring(exe) + L"\"");
        int argc = 0;
        wchar_t** argv = ::CommandLineToArgvW((L"updater.exe " + parameters).c_str(), &argc);
        ASSERT_EQ(argc, 3);
        EXPECT_STREQ(argv[1], L"-l");
        EXPECT_STREQ(argv[2], exe);
        ::LocalFree(argv);
    }
}

TEST_F(InstallPhase, TheUninstallerStandInRemovesEverythingTheInstallMade) {
    pipeline.RunInstallPhase(window);
    ASSERT_TRUE(window.closed);
    ASSERT_TRUE(WaitUntil([&] { return IsProcessRunning(L"Telvista.exe"); }));
    ASSERT_TRUE(PathExists(UserDesktopLink(L"Pantavi")));

    // As Windows' list of installed programs runs it: the UninstallString.
    const std::wstring uninstall = ReadUninstallEntry().at(L"UninstallString").Text();
    UniqueHandle first = StartProcess(uninstall.substr(1, uninstall.size() - 2), L"", installFolder);
    ASSERT_TRUE(first);
    ASSERT_TRUE(WaitUntil([&] { return !record.Of(L"uninstaller-done").empty(); }));

    EXPECT_FALSE(PathExists(installFolder));
    EXPECT_FALSE(PathExists(scratch / L"Apps\\Orvane")) << "the company folder, left empty";
    EXPECT_FALSE(IsProcessRunning(L"Telvista.exe"));
    UniqueRegKey key;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKeyPath, 0, KEY_READ, key.put()), ERROR_SUCCESS);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRunKeyPath, L"Telvista").present);
    EXPECT_FALSE(PathExists(UserDesktopLink(L"Pantavi")));
    EXPECT_FALSE(PathExists(CommonProgramsLink(L"Pantavi")));
}

}  // namespace
