#include "pipeline/registration.h"

#include "pipeline/release_check.h"
#include "sys/handle.h"
#include "sys/strings.h"

namespace {

const wchar_t* const kValueNames[] = {
    L"DisplayName",     L"InstallLocation", L"Publisher", L"HelpLink",  L"DisplayVersion",
    L"UninstallString", L"DisplayIcon",     L"NoModify",  L"NoRepair",
};

// KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY (7). HKEY_CURRENT_USER\Software is one tree
// for 32-bit and 64-bit programs, so no view is named.
constexpr REGSAM kEntryAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

UniqueRegKey OpenEntry() {
    UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kProductUninstallKey, 0, nullptr, 0, kEntryAccess,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return UniqueRegKey();
    }
    return key;
}

bool SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

bool SetNumber(HKEY key, const wchar_t* name, DWORD number) {
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                            sizeof number) == ERROR_SUCCESS;
}

}  // namespace

std::wstring ProductHelpLink() {
    std::wstring site = L"" TELVISTA_WEBSITE;
    if (site.empty() || site.back() != L'/') site += L'/';
    return site;
}

bool RegisterToSystem(const std::wstring& installFolder, const std::wstring& displayVersion) {
    UniqueRegKey key = OpenEntry();
    if (!key) return false;
    const std::wstring uninstaller = L"\"" + installFolder + L"\\" + kUninstallerName + L"\"";
    return SetText(key.get(), L"DisplayName", LoadText(kDisplayNameStringId)) &&
           SetText(key.get(), L"InstallLocation", installFolder) &&
           SetText(key.get(), L"Publisher", kPublisher) &&
           SetText(key.get(), L"HelpLink", ProductHelpLink()) &&
           SetText(key.get(), L"DisplayVersion", displayVersion) &&
           SetText(key.get(), L"UninstallString", uninstaller) &&
           SetText(key.get(), L"DisplayIcon", uninstaller) &&
           SetNumber(key.get(), L"NoModify", 1) && SetNumber(key.get(), L"NoRepair", 1);
}

UninstallEntrySnapshot UninstallEntrySnapshot::Take() {
    UninstallEntrySnapshot snapshot;
    UniqueRegKey key;
    ::RegOpenKeyExW(HKEY_CURRENT_USER, kProductUninstallKey, 0, KEY_QUERY_VALUE, key.put());
    for (const wchar_t* name : kValueNames) {
        Value value;
        value.name = name;
        DWORD size = 0;
        if (key && ::RegQueryValueExW(key.get(), name, nullptr, &value.type, nullptr, &size) ==
                       ERROR_SUCCESS) {
            value.data.resize(size);
            value.present = ::RegQueryValueExW(key.get(), name, nullptr, &value.type,
                                               value.data.data(), &size) == ERROR_SUCCESS;
            value.data.resize(size);
        }
        snapshot.values_.push_back(std::move(value));
    }
    return snapshot;
}

bool UninstallEntrySnapshot::Restore() const {
    UniqueRegKey key = OpenEntry();
    if (!key) return false;
    bool restored = true;
    for (const Value& value : values_) {
        if (value.present) {
            restored &= ::RegSetValueExW(key.get(), value.name.c_str(), 0, value.type,
                                         value.data.data(),
                                         static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
        } else {
            LSTATUS status = ::RegDeleteValueW(key.get(), value.name.c_str());
            restored &= status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
        }
    }
    return restored;
}
