#include "pipeline/release_check.h"

#include <windows.h>
#include <shlwapi.h>

#include "net/http.h"
#include "sys/detectors.h"
#include "sys/handle.h"
#include "sys/log.h"

namespace {

constexpr wchar_t kWindowsVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// Debugger-only diagnostics; they also reach the install log, where a user's report carries them.
void Diagnostic(const wchar_t* text) {
    ::OutputDebugStringW(text);
    InstallLog::WriteLine(text);
}

// Reads the registry's Windows version and logs it. True on Windows 10.0, which Windows 11
// reports as well. Systems before Windows 10 lack both values.
bool IsWindows10_0() {
    HKEY raw = nullptr;
    LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWindowsVersionKey, 0,
                                     KEY_READ | kInstallerRegistryView, &raw);
    if (status != ERROR_SUCCESS) {
        InstallLog::WriteLine(L"Failed to open registry key. Error code: %d\n",
                              static_cast<int>(status));
        return false;
    }
    UniqueRegKey key(raw);
    DWORD major = 0;
    DWORD minor = 0;
    DWORD size = sizeof major;
    if (::RegQueryValueExW(key.get(), L"CurrentMajorVersionNumber", nullptr, nullptr,
                           reinterpret_cast<BYTE*>(&major), &size) != ERROR_SUCCESS) {
        return false;
    }
    size = sizeof minor;
    if (::RegQueryValueExW(key.get(), L"CurrentMinorVersionNumber", nullptr, nullptr,
                           reinterpret_cast<BYTE*>(&minor), &size) != ERROR_SUCCESS) {
        return false;
    }
    InstallLog::WriteLine(L"Current Windows version: %ld.%ld", static_cast<long>(major),
                          static_cast<long>(minor));
    return major == 10 && minor == 0;
}

}  // namespace

bool CheckReleases(ReleaseCheck& check, const std::wstring& base) {
    check.installerConfig = FetchReleaseConfig(base + kInstallerConfigPath);
    if (IsVersionNotNewer(check.installerConfig.version, GetOwnVersion())) {
        check.installerConfig.upToDate = 1;
    }

    check.appConfig = FetchReleaseConfig(base + kPackageConfigPath);
    std::wstring installed = GetInstalledVersion(check);
    // With nothing installed the package is always wanted.
    if (!installed.empty() && IsVersionNotNewer(check.appConfig.version, installed)) {
        check.appConfig.upToDate = 1;
    }

    if (!IsDotNetInstalled()) {
        check.dotNetConfig = FetchReleaseConfig(base + kDotNetConfigPath);
        // The offline installer the server names is always 4.5.2, whatever its reply says.
        check.dotNetConfig.version = kDotNetVersion;
        check.dotNetConfig.required = 1;
    } else {
        Diagnostic(L".net framework is installed.");
    }

    // Both questions are asked (and the version logged) on every system; the runtime matters
    // only for the x64 application on Windows 10 and 11.
    bool windows10 = IsWindows10_0();
    bool windows64 = IsWindows64Bit();
    if (windows10 && windows64) {
        if (CheckVcRuntimeRegistry() && CheckVcRuntimeFile()) {
            check.vcRuntimeConfig.required = 0;
            Diagnostic(L"vc redist is installed.");
        } else {
            check.vcRuntimeConfig.required = 1;
            Diagnostic(L"vc redist is not installed");
            check.vcRuntimeConfig.download_url = base + kVcRuntimeInstallerPath;
            check.vcRuntimeConfig.hash = kVcRuntimeHash;
            check.vcRuntimeConfig.version = kVcRuntimeVersion;
            check.vcRuntimeConfig.size = kVcRuntimeSize;
            check.vcRuntimeConfig.release_notes.clear();
        }
    }
    return true;
}

std::wstring GetInstalledVersion(ReleaseCheck& check) {
    // HKEY_CURRENT_USER\Software is one tree for 32-bit and 64-bit programs, so both builds
    // read the key the uninstall registration wrote without naming a view.
    HKEY raw = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kProductUninstallKey, 0, nullptr, 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &raw,
                          nullptr) != ERROR_SUCCESS) {
        return {};
    }
    UniqueRegKey key(raw);
    // 260 characters are read; the extra unit keeps a value stored without its terminator
    // terminated.
    wchar_t location[261] = {};
    DWORD size = 260 * sizeof(wchar_t);
    if (::RegQueryValueExW(key.get(), L"InstallLocation", nullptr, nullptr,
                           reinterpret_cast<BYTE*>(location), &size) != ERROR_SUCCESS) {
        return {};
    }
    check.installLocation = location;
    std::wstring exe = check.installLocation + L"\\" + kProductExeName;
    if (!::PathFileExistsW(exe.c_str())) return {};
    wchar_t version[261] = {};
    size = 260 * sizeof(wchar_t);
    if (::RegQueryValueExW(key.get(), L"DisplayVersion", nullptr, nullptr,
                           reinterpret_cast<BYTE*>(version), &size) != ERROR_SUCCESS) {
        return {};
    }
    return version;
}
