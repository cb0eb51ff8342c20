#include "pipeline/install_phase.h"

#include <vector>

#include "net/digest.h"
#include "pipeline/install_pipeline.h"
#include "pipeline/installer_window.h"
#include "pipeline/registration.h"
#include "sys/clock.h"
#include "sys/desktop.h"
#include "sys/detectors.h"
#include "sys/files.h"
#include "sys/log.h"
#include "sys/paths.h"
#include "sys/process.h"
#include "sys/strings.h"
#include "sys/temp_folder.h"
#include "sys/text.h"

namespace {

constexpr int kInstallFailedText = 121;
constexpr DWORD kHashReadSize = 8192;
// A folder whose files are still in use (the product just ended, a virus scanner reading the new
// files) cannot be renamed; it is tried again for 5 s before the phase gives up.
constexpr int kMoveRetries = 10;
constexpr DWORD kMoveRetryMs = 500;
constexpr wchar_t kPreviousSuffix[] = L".old";

bool IsFolder(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring LastName(const std::wstring& path, size_t& start) {
    size_t slash = path.rfind(L'\\');
    start = slash == std::wstring::npos ? 0 : slash + 1;
    return path.substr(start);
}

// CopyFileW carries the read-only attribute over, so a package may leave read-only files in the
// product's folders; RemoveFolder keeps those. The product's own trees are cleared of it first.
// Links are not followed: nothing outside the tree is changed.
void ClearReadOnly(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((folder + L"\\*.*").c_str(), &entry));
    if (!find) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring full = folder + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
            ::SetFileAttributesW(full.c_str(), entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        }
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            ClearReadOnly(full);
        }
    } while (::FindNextFileW(find.get(), &entry));
}

// Removes one of the product's own trees (the install folder or its previous copy) and logs it.
void RemoveProductTree(const std::wstring& folder) {
    ClearReadOnly(folder);
    RemoveFolder(folder);
    InstallLog::WriteLine(L"RemoveFolder %s", folder.c_str());
}

// The system's error code of the last attempt, or 0 after a successful move.
DWORD MoveFolder(const std::wstring& from, const std::wstring& to) {
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(from.c_str(), to.c_str(), 0)) return 0;
        const DWORD error = ::GetLastError();
        if (attempt == kMoveRetries) return error ? error : ERROR_GEN_FAILURE;
        SleepFor(kMoveRetryMs);
    }
}

bool HashMatches(HANDLE file, const std::wstring& expected) {
    CryptoHash hash;
    if (!hash.Begin()) return false;
    BYTE buffer[kHashReadSize];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer, kHashReadSize, &read, nullptr)) return false;
        if (read == 0) break;
        if (!hash.Update(buffer, read)) return false;
    }
    if (!hash.Finish()) return false;
    const std::string hex = ToHex(hash.digest(), false);
    return LowerAscii(expected) == std::wstring(hex.begin(), hex.end());
}

// Runs a verified prerequisite installer silently in the temporary folder and waits for its end.
// The file stays held until then, so what runs is what was checked. False when the check fails
// (the installer is not started).
bool RunPrerequisite(const std::wstring& tempFolder, const std::wstring& path,
                     const ReleaseConfig& record) {
    UniqueFile held = OpenVerifiedInstaller(path, record);
    if (!held) {
        InstallLog::WriteLine(L"Installer check failed %s", path.c_str());
        return false;
    }
    RunProcess(tempFolder, path, kPrerequisiteParameters, SW_HIDE, true);
    return true;
}

void Fail(InstallerWindow& window) {
    window.SetErrorTextId(kInstallFailedText);
    window.SetPageState(PageState::Error);
    window.StopProgressCreep();
}

}  // namespace

bool IsProductInstallFolder(const std::wstring& folder) {
    if (folder.size() < 3 || folder[1] != L':' || folder[2] != L'\\') return false;
    const wchar_t drive = folder[0];
    if (!((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z'))) return false;
    if (folder.find(L'/') != std::wstring::npos) return false;
    size_t start = 0;
    const std::wstring product = LastName(folder, start);
    if (start < 4) return false;  // at least "X:\" before the company's folder
    const std::wstring company = LastName(folder.substr(0, start - 1), start);
    return LowerAscii(product) == LowerAscii(kProductFolderName) &&
           LowerAscii(company) == LowerAscii(kCompanyFolderName);
}

std::wstring ProductFolderBelow(const std::wstring& chosen) {
    return chosen + L"\\" + kCompanyFolderName + L"\\" + kProductFolderName;
}

bool IsPathWithin(const std::wstring& path, const std::wstring& folder) {
    if (folder.empty() || path.size() < folder.size()) return false;
    if (LowerAscii(path.substr(0, folder.size())) != LowerAscii(folder)) return false;
    return path.size() == folder.size() || path[folder.size()] == L'\\' || folder.back() == L'\\';
}

bool CopytoInstallPath(const std::wstring& source, const std::wstring& target) {
    if (source.empty()) return false;
    const std::wstring base = source.back() == L'\\' ? source : source + L"\\";
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((base + L"*.*").c_str(), &entry));
    if (!find) return true;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring from = base + name;
        const std::wstring to = target + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ::CreateDirectoryW(to.c_str(), nullptr);
            if (!CopytoInstallPath(from, to)) return false;
        } else if (!::CopyFileW(from.c_str(), to.c_str(), FALSE)) {
            return false;
        }
    } while (::FindNextFileW(find.get(), &entry));
    return true;
}

std::wstring UpdaterParameters(const std::wstring& productExe) {
    return L"-l \"" + productExe + L"\"";
}

UniqueFile OpenVerifiedInstaller(const std::wstring& path, const ReleaseConfig& record) {
    if (path.empty()) return UniqueFile();
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return UniqueFile();
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart != record.size || record.size == 0) {
        return UniqueFile();
    }
    if (!HashMatches(file.get(), record.hash)) return UniqueFile();
    return file;
}

void InstallPipeline::RunInstallPhase(InstallerWindow& window) {
    InstallLog::WriteLine(L"Install");
    window.SetPageState(PageState::Installing);
    const std::wstring tempFolder = GetTempFolder();

    window.SetProgressTarget(600);
    window.StartProgressCreep();

    if (IsValid(releaseCheck.dotNetConfig)) {
        // The six characters after "framwork" are part of the line as it has always been logged.
        InstallLog::WriteLine(std::wstring(L"Install .net framwork\u00EF\u00BF\u00BD\u00EF\u00BF\u00BD") +
                              dotNetInstallerPath);
        RunPrerequisite(tempFolder, dotNetInstallerPath, releaseCheck.dotNetConfig);
        if (!IsDotNetInstalled()) {
            InstallLog::WriteLine(L"Install .net framwork failed");
            Fail(window);
            return;
        }
        InstallLog::WriteLine(L"Install .net framwork ok");
    }
    if (IsValid(releaseCheck.vcRuntimeConfig)) {
        InstallLog::WriteLine(L"Install vc redist.");
        RunPrerequisite(tempFolder, vcRedistPath, releaseCheck.vcRuntimeConfig);
    }
    window.ReportPercent(60);
    window.SetProgressTarget(900);

    if (!IsValid(releaseCheck.appConfig)) {
        window.SetProgressTarget(1000);
        window.Close();
        return;
    }

    TerminateProcessByName(kProductExeName);
    InstallLog::WriteLine(L"TerminateProcess %s", kProductExeName);
    installFolder = window.GetInstallPath();

    // The folder is replaced as a whole, so it must be the product's own, and it must not hold
    // the package being installed or the installer's temporary files.
    if (!IsProductInstallFolder(installFolder) || IsPathWithin(tempFolder, installFolder) ||
        IsPathWithin(packageFolder, installFolder)) {
        InstallLog::WriteLine(L"Install folder refused %s", installFolder.c_str());
        Fail(window);
        return;
    }
    if (!IsFolder(packageFolder)) {
        InstallLog::WriteLine(L"Package folder missing %s", packageFolder.c_str());
        Fail(window);
        return;
    }

    // The installation the user has stays whole until the new one is in place: it is moved aside
    // to a sibling, and removed only once the new copy is complete and registered.
    const std::wstring previous = installFolder + kPreviousSuffix;
    if (PathExists(previous)) {
        // Left by an update that was interrupted: with the install folder gone it is the only
        // copy of the product and goes back first; beside a complete folder it is stale.
        if (!PathExists(installFolder)) {
            InstallLog::WriteLine(L"Restore %s to %s", previous.c_str(), installFolder.c_str());
            if (DWORD error = MoveFolder(previous, installFolder)) {
                InstallLog::WriteLine(L"Restore failed, error %d", static_cast<int>(error));
            }
        } else {
            RemoveProductTree(previous);
        }
    }
    const bool hadPrevious = PathExists(installFolder);
    if (hadPrevious) {
        InstallLog::WriteLine(L"MoveFolder %s to %s", installFolder.c_str(), previous.c_str());
        const DWORD error =
            PathExists(previous) ? ERROR_ALREADY_EXISTS : MoveFolder(installFolder, previous);
        if (error) {
            InstallLog::WriteLine(L"MoveFolder failed, error %d", static_cast<int>(error));
            Fail(window);
            return;
        }
    }
    auto putBack = [&]() {
        RemoveProductTree(installFolder);
        if (!hadPrevious) return;
        InstallLog::WriteLine(L"Restore %s to %s", previous.c_str(), installFolder.c_str());
        if (DWORD error = MoveFolder(previous, installFolder)) {
            InstallLog::WriteLine(L"Restore failed, error %d", static_cast<int>(error));
        }
    };

    const bool made = MakePathExist(installFolder);
    InstallLog::WriteLine(L"MakePathExist  %s", installFolder.c_str());
    if (!made || !CopytoInstallPath(packageFolder, installFolder)) {
        InstallLog::WriteLine(L"CopytoInstallPath failed");
        putBack();
        Fail(window);
        return;
    }
    InstallLog::WriteLine(L"CopytoInstallPath ok");
    window.ReportPercent(90);
    window.SetProgressTarget(1000);

    const UninstallEntrySnapshot entry = UninstallEntrySnapshot::Take();
    if (!RegisterToSystem(installFolder, releaseCheck.appConfig.version)) {
        InstallLog::WriteLine(L"RegisterToSystem failed");
        entry.Restore();
        putBack();
        Fail(window);
        return;
    }
    InstallLog::WriteLine(L"RegisterToSystem ok");
    if (hadPrevious) RemoveProductTree(previous);
    window.ReportPercent(100);
    window.StopProgressCreep();

    const std::wstring exe = installFolder + L"\\" + kProductExeName;
    const std::wstring name = LoadText(kDisplayNameStringId);
    DeleteDesktopShortcuts(name);
    CreateShortcut(exe, name);
    SetAutoStart(kAutoStartValueName, exe);

    window.SetPageState(PageState::Complete);
    CleanupTempFolder();

    const std::wstring updater = installFolder + L"\\" + kUpdaterExeName;
    const std::wstring parameters = UpdaterParameters(exe);
    InstallLog::WriteLine(L"Start application: %s %s", updater.c_str(), parameters.c_str());
    RunProcess(installFolder, updater, parameters, SW_HIDE, false);
    window.Close();
}
