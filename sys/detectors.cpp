#include "sys/detectors.h"

#include <shlobj.h>

#include <vector>

#include "sys/api/version.h"
#include "sys/handle.h"
#include "sys/log.h"

namespace {

constexpr wchar_t kDotNetKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full\\";
constexpr wchar_t kVcRuntimeKey[] = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
constexpr wchar_t kVcRuntimeFile[] = L"vcruntime140.dll";

UniqueRegKey OpenMachineKey(const wchar_t* subKey) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ | kInstallerRegistryView, &key) !=
        ERROR_SUCCESS) {
        return UniqueRegKey();
    }
    return UniqueRegKey(key);
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR raw = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &raw)) && raw) folder = raw;
    ::CoTaskMemFree(raw);
    return folder;
}

}  // namespace

int CompareVersionText(const std::wstring& a, const std::wstring& b) {
    // std::wstring compares wchar_t, which is an unsigned 16-bit unit with MinGW.
    static_assert(sizeof(wchar_t) == 2 && static_cast<wchar_t>(-1) > 0);
    return a.compare(b);
}

bool IsDotNetInstalled() {
    UniqueRegKey key = OpenMachineKey(kDotNetKey);
    if (!key) return false;
    DWORD release = 0;
    DWORD size = sizeof release;
    if (::RegQueryValueExW(key.get(), L"Release", nullptr, nullptr,
                           reinterpret_cast<BYTE*>(&release), &size) != ERROR_SUCCESS) {
        return false;
    }
    // A value of another type that happens to fit the 4 bytes is read as it stands; a text
    // holding a number does not fit (it needs its terminator) and counts as not readable.
    return release > kDotNet45Release;
}

bool CheckVcRuntimeRegistry() {
    UniqueRegKey key = OpenMachineKey(kVcRuntimeKey);
    if (!key) return false;
    // 260 characters are read; the extra unit keeps the text terminated even when the stored
    // value lacks its terminator.
    wchar_t buffer[261] = {};
    DWORD size = 260 * sizeof(wchar_t);
    if (::RegQueryValueExW(key.get(), L"Version", nullptr, nullptr,
                           reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        return false;
    }
    std::wstring version = buffer;
    InstallLog::WriteLine(L"Reg VC_Runtime version %s", version.c_str());
    // The runtime's installer writes "v14.34.31910.00"; older ones wrote three parts.
    if (!version.empty() && (version[0] == L'v' || version[0] == L'V')) version.erase(0, 1);
    size_t dots = 0;
    for (wchar_t c : version) dots += c == L'.';
    if (dots == 2) version += L".0";
    return CompareVersionText(version, kVcRuntimeMinimumVersion) >= 0;
}

std::wstring VcRuntimeFilePath() {
    std::wstring system = KnownFolder(FOLDERID_System);
    if (system.empty()) {
        wchar_t buffer[MAX_PATH] = {};
        UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
        if (length > 0 && length < MAX_PATH) system = buffer;
    }
#ifndef _WIN64
    // A 32-bit process on 64-bit Windows is redirected from the system folder to SysWOW64, which
    // holds the x86 runtime. The x64 runtime is judged by its own file, which such a process
    // reaches through the "Sysnative" alias beside the system folder (a 64-bit process reads
    // the system folder directly).
    if (IsWow64()) {
        size_t slash = system.rfind(L'\\');
        if (slash != std::wstring::npos) system = system.substr(0, slash) + L"\\Sysnative";
    }
#endif
    return system + L"\\" + kVcRuntimeFile;
}

bool CheckVcRuntimeFile() {
    std::wstring path = VcRuntimeFilePath();
    std::wstring version = GetFileVersionString(path, false);
    InstallLog::WriteLine(L"CheckFile %s VC_Runtime version %s", path.c_str(), version.c_str());
    return CompareVersionText(version, kVcRuntimeMinimumVersion) >= 0;
}

std::wstring GetFileVersionString(const std::wstring& path, bool twoParts) {
    DWORD ignored = 0;
    DWORD size = version::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> data(size);
    if (!version::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!version::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
        !info || length < sizeof(VS_FIXEDFILEINFO)) {
        return {};
    }
    // The product version: the application and its runtime state their release there, while
    // the file version of the runtime's DLLs runs ahead of it.
    wchar_t text[64] = {};
    if (twoParts) {
        _snwprintf(text, 63, L"%d.%d", HIWORD(info->dwProductVersionMS),
                 LOWORD(info->dwProductVersionMS));
    } else {
        _snwprintf(text, 63, L"%d.%d.%d.%d", HIWORD(info->dwProductVersionMS),
                 LOWORD(info->dwProductVersionMS), HIWORD(info->dwProductVersionLS),
                 LOWORD(info->dwProductVersionLS));
    }
    return text;
}

std::wstring GetOwnVersion() {
    // A path longer than MAX_PATH would otherwise give no version at all, and with it an endless
    // self-update: every server version is newer than an empty text.
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return GetFileVersionString(path, false);
        }
        path.resize(path.size() * 2);
    }
    return {};
}

bool IsWow64() {
    // Looked up at run time: IsWow64Process is missing on the oldest systems.
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32");
    auto isWow64Process = kernel ? reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
                                       ::GetProcAddress(kernel, "IsWow64Process")))
                                 : nullptr;
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

bool IsWindows64Bit() {
#ifdef _WIN64
    // A 64-bit process runs only on 64-bit Windows; IsWow64Process answers false for it.
    return true;
#else
    return IsWow64();
#endif
}
