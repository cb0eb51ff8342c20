#include "sys/paths.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <mutex>

#include "sys/files.h"
#include "sys/log.h"
#include "sys/never_destroyed.h"
#include "sys/text.h"
#include "sys/api/wtsapi.h"

namespace {

// The record is read on worker threads while a later resolution may rewrite it; readers take
// copies under this lock. Neither is ever destroyed: workers may read them while the process ends.
NeverDestroyed<std::mutex> pathsLock;
NeverDestroyed<InstallPaths> paths;
// Set by the first resolution: a folder the shell did not give stays empty, and asking again at
// every read would only repeat the question and its log lines.
bool resolved = false;

std::wstring SpecialFolder(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return {};
    return buffer;
}

std::wstring KnownDownloadsFolder() {
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &path)) && path) {
        result = path;
    }
    ::CoTaskMemFree(path);
    return result;
}

}  // namespace

std::wstring ProcessUserName() {
    wchar_t name[256] = {};
    DWORD size = 256;
    if (!::GetUserNameW(name, &size)) return {};
    return name;
}

DWORD OwnSessionId() {
    DWORD session = 0;
    if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) return WTS_CURRENT_SESSION;
    return session;
}

std::wstring SessionUserName(DWORD session) {
    LPWSTR name = nullptr;
    DWORD bytes = 0;
    std::wstring result;
    if (wtsapi::QuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName, &name,
                                         &bytes) &&
        name) {
        result = name;
    }
    if (name) wtsapi::FreeMemory(name);
    return result;
}

std::wstring LogonUserName() { return SessionUserName(OwnSessionId()); }

bool IsOtherAccount(const std::wstring& processUser, const std::wstring& logonUser) {
    return !logonUser.empty() && LowerAscii(logonUser) != LowerAscii(processUser);
}

namespace {

std::wstring FieldAfterResolving(std::wstring InstallPaths::*field) {
    {
        std::lock_guard<std::mutex> hold(*pathsLock);
        if (resolved || !(paths.get().*field).empty()) return paths.get().*field;
    }
    ResolveInstallPaths();
    std::lock_guard<std::mutex> hold(*pathsLock);
    return paths.get().*field;
}

}  // namespace

std::wstring ReplaceAll(const std::wstring& text, const std::wstring& from, const std::wstring& to) {
    if (from.empty()) return text;
    std::wstring result;
    size_t start = 0;
    for (size_t hit = text.find(from); hit != std::wstring::npos; hit = text.find(from, start)) {
        result.append(text, start, hit - start);
        result += to;
        start = hit + from.size();
    }
    result.append(text, start, std::wstring::npos);
    return result;
}

std::wstring DownloadsBesideDesktop(const std::wstring& desktop) {
    size_t slash = desktop.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0) return {};
    return desktop.substr(0, slash + 1) + L"Downloads";
}

bool ApplyLogonUserRule(InstallPaths& record, const std::wstring& processUser,
                        const std::wstring& logonUser) {
    if (!IsOtherAccount(processUser, logonUser)) return false;
    const std::wstring from = L"\\" + processUser + L"\\";
    const std::wstring to = L"\\" + logonUser + L"\\";
    for (std::wstring InstallPaths::*field :
         {&InstallPaths::downloadFolder, &InstallPaths::appDataFolder, &InstallPaths::tempFolder,
          &InstallPaths::logFolder, &InstallPaths::desktopFolder}) {
        record.*field = ReplaceAll(record.*field, from, to);
    }
    return true;
}

void ResolveInstallPaths() {
    const std::wstring processUser = ProcessUserName();
    const std::wstring logonUser = LogonUserName();
    InstallLog::WriteLine(L"ProcessUser: %s, LogonUser: %s", processUser.c_str(),
                          logonUser.c_str());

    InstallPaths fresh;
    fresh.downloadFolder = KnownDownloadsFolder();
    InstallLog::WriteLine(L"Original download folder: %s", fresh.downloadFolder.c_str());

    // Without an AppData folder the three derived folders stay empty rather than becoming
    // relative paths such as "\Orvane\Telvista" that would land wherever the process stands.
    const std::wstring appData = SpecialFolder(CSIDL_APPDATA);
    if (!appData.empty()) {
        fresh.appDataFolder = appData + L"\\Orvane\\Telvista";
        fresh.tempFolder = fresh.appDataFolder + L"\\Temp";
        fresh.logFolder = fresh.appDataFolder + L"\\Log";
    }
    InstallLog::WriteLine(L"Original appdata folder: %s", fresh.appDataFolder.c_str());
    InstallLog::WriteLine(L"Original appdata tmp folder: %s", fresh.tempFolder.c_str());
    InstallLog::WriteLine(L"Original appdata log folder: %s", fresh.logFolder.c_str());

    fresh.desktopFolder = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    fresh.commonDesktopFolder = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);

    if (ApplyLogonUserRule(fresh, processUser, logonUser)) {
        InstallLog::WriteLine(L"logon user is different from process user, replace");
        InstallLog::WriteLine(L"After replace download folder: %s", fresh.downloadFolder.c_str());
        InstallLog::WriteLine(L"After replace appdata folder: %s", fresh.appDataFolder.c_str());
        InstallLog::WriteLine(L"After replace appdata tmp folder: %s", fresh.tempFolder.c_str());
        InstallLog::WriteLine(L"After replace appdata log folder: %s", fresh.logFolder.c_str());
        InstallLog::WriteLine(L"After replace desktop link: %s", fresh.desktopFolder.c_str());
    } else {
        InstallLog::WriteLine(L"logon user is process user, skipping replace");
    }

    for (const std::wstring* folder :
         {&fresh.downloadFolder, &fresh.appDataFolder, &fresh.tempFolder, &fresh.logFolder}) {
        if (!folder->empty()) MakePathExist(*folder);
    }

    std::lock_guard<std::mutex> hold(*pathsLock);
    *paths = std::move(fresh);
    resolved = true;
}

InstallPaths CurrentInstallPaths() {
    std::lock_guard<std::mutex> hold(*pathsLock);
    return *paths;
}

std::wstring GetTempFolder() { return FieldAfterResolving(&InstallPaths::tempFolder); }
std::wstring GetDesktopFolder() { return FieldAfterResolving(&InstallPaths::desktopFolder); }
std::wstring GetCommonDesktopFolder() {
    return FieldAfterResolving(&InstallPaths::commonDesktopFolder);
}

std::wstring GetDownloadFolder() {
    {
        std::lock_guard<std::mutex> hold(*pathsLock);
        if (!paths->downloadFolder.empty()) return paths->downloadFolder;
    }
    // The logon-user rule does not apply to this fallback: the process account's own desktop.
    std::wstring fallback = DownloadsBesideDesktop(SpecialFolder(CSIDL_DESKTOPDIRECTORY));
    if (fallback.empty()) return {};
    MakePathExist(fallback);
    std::lock_guard<std::mutex> hold(*pathsLock);
    paths->downloadFolder = fallback;
    return fallback;
}
