#include "sys/desktop.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "sys/clock.h"
#include "sys/com.h"
#include "sys/files.h"
#include "sys/handle.h"
#include "sys/log.h"
#include "sys/paths.h"

namespace {

constexpr WORD kFontResource = 208;
constexpr wchar_t kFontFile[] = L"Roboto-Regular.ttf";
constexpr wchar_t kFontValue[] = L"Roboto-Regular (TrueType)";
constexpr wchar_t kUserFontsKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\WINDOWS\\CURRENTVERSION\\RUN";
constexpr DWORD kShortcutSettleMs = 1000;

// "<folder>\<name>.lnk", or empty without a folder: a bare "\<name>.lnk" would name the root of
// the current drive.
std::wstring LinkPathIn(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return {};
    return folder + L"\\" + name + L".lnk";
}

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) return {};
    return path;
}

void DeleteIfPresent(const std::wstring& path) {
    if (!path.empty() && PathExists(path)) ::DeleteFileW(path.c_str());
}

bool AlreadyExists(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// For this process only, straight from the resource: the windows still draw in Roboto on a
// machine whose fonts folder the user may not write.
void AddPrivateFontFromResource() {
    const ResourceBytes font = FindResourceBytes(kFontResource, L"FILE");
    if (!font) return;
    DWORD fonts = 0;
    ::AddFontMemResourceEx(const_cast<void*>(font.data), font.size, nullptr, &fonts);
}

bool SetStringValue(HKEY key, const wchar_t* name, const std::wstring& data) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

}  // namespace

void InstallFont() {
    // Without a temporary folder there is nowhere to write the file: "\<name>" would be the root
    // of the current drive.
    const std::wstring temp = GetTempFolder();
    const std::wstring source = temp + L"\\" + kFontFile;
    if (temp.empty() || !ReleaseResourceToFile(kFontResource, source)) {
        InstallLog::WriteLine(L"Release font file failed");
        AddPrivateFontFromResource();
        return;
    }
    const std::wstring fileName = source.substr(source.rfind(L'\\') + 1);

    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring destination = std::wstring(windows) + L"\\Fonts\\" + fileName;

    if (!::CopyFileW(source.c_str(), destination.c_str(), TRUE)) {
        if (PathExists(destination)) {
            InstallLog::WriteLine(L"Font installed");
        } else {
            // Not installed and not installable (no write access to the fonts folder).
            InstallLog::WriteLine(L"Font install failed, using private copy");
            AddPrivateFontFromResource();
        }
        ::DeleteFileW(source.c_str());
        return;
    }
    if (::AddFontResourceW(destination.c_str()) > 0) {
        UniqueRegKey key;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, kUserFontsKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                              key.put(), nullptr) == ERROR_SUCCESS) {
            SetStringValue(key.get(), kFontValue, fileName);
        }
    }
}

void DeleteDesktopShortcuts(const std::wstring& name) {
    DeleteIfPresent(LinkPathIn(GetCommonDesktopFolder(), name));
    DeleteIfPresent(LinkPathIn(GetDesktopFolder(), name));
}

std::wstring GetStartMenuShortcutPath(const std::wstring& name) {
    return LinkPathIn(SpecialFolder(CSIDL_COMMON_PROGRAMS), name);
}

std::wstring GetUserStartMenuShortcutPath(const std::wstring& name) {
    return LinkPathIn(SpecialFolder(CSIDL_PROGRAMS), name);
}

StartMenuCopy CopyToStartMenu(const std::wstring& linkFile, const std::wstring& allUsersPath,
                              const std::wstring& userPath) {
    if (!allUsersPath.empty()) {
        if (::CopyFileW(linkFile.c_str(), allUsersPath.c_str(), TRUE)) return StartMenuCopy::AllUsers;
        if (AlreadyExists(::GetLastError())) return StartMenuCopy::AlreadyThere;
    }
    if (userPath.empty()) return StartMenuCopy::Failed;
    if (::CopyFileW(linkFile.c_str(), userPath.c_str(), TRUE)) return StartMenuCopy::User;
    return AlreadyExists(::GetLastError()) ? StartMenuCopy::AlreadyThere : StartMenuCopy::Failed;
}

bool CreateShortcut(const std::wstring& target, const std::wstring& name) {
    // The desktop of the user at the console at this moment (the installer may run elevated as
    // another account).
    ResolveInstallPaths();
    ComApartment com;
    if (!com) return true;
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.put_void()))) {
        return true;
    }
    link->SetPath(target.c_str());
    const std::wstring linkFile = LinkPathIn(GetDesktopFolder(), name);
    {
        ComPtr<IPersistFile> file;
        if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return true;
        if (!linkFile.empty()) file->Save(linkFile.c_str(), FALSE);
    }
    SleepFor(kShortcutSettleMs);
    if (!linkFile.empty()) {
        CopyToStartMenu(linkFile, GetStartMenuShortcutPath(name), GetUserStartMenuShortcutPath(name));
    }
    return true;
}

bool SetAutoStart(const std::wstring& valueName, const std::wstring& programPath) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_WRITE, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    return SetStringValue(key.get(), valueName.c_str(), L"\"" + programPath + L"\" /WinStart");
}
