#include "sys/desktop.h"

#include <windows.h>

#include "sys/files.h"
#include "sys/handle.h"
#include "sys/log.h"
#include "sys/paths.h"

namespace {

constexpr WORD kFontResource = 208;
constexpr wchar_t kFontFile[] = L"Roboto-Regular.ttf";
constexpr wchar_t kFontValue[] = L"Roboto-Regular (TrueType)";
constexpr wchar_t kUserFontsKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

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
