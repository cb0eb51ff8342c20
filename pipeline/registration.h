#pragma once
// The product's uninstall entry under HKEY_CURRENT_USER (kProductUninstallKey): what Windows
// lists under installed programs, and what later runs read the installed version and location
// from.
#include <windows.h>

#include <string>
#include <vector>

// String 123: the product's display name in the interface language.
inline constexpr UINT kDisplayNameStringId = 123;
inline constexpr wchar_t kPublisher[] = L"Orvane AG";
inline constexpr wchar_t kUninstallerName[] = L"uninstaller.exe";

// The product web site's home page: the build's TELVISTA_WEBSITE with a final "/".
std::wstring ProductHelpLink();

// Opens or creates the key and writes, in this order: DisplayName (string 123),
// InstallLocation (`installFolder`), Publisher, HelpLink, DisplayVersion (`displayVersion`),
// UninstallString and DisplayIcon (both "\"<installFolder>\uninstaller.exe\""), NoModify = 1 and
// NoRepair = 1. Texts are REG_SZ with their terminating zero counted. False at the first value
// that cannot be written (the ones before it stay) or when the key does not open.
bool RegisterToSystem(const std::wstring& installFolder, const std::wstring& displayVersion);

// The nine values of the uninstall entry as they stand, so that an update that fails after
// RegisterToSystem has begun can give the entry of the installation it puts back.
class UninstallEntrySnapshot {
public:
    static UninstallEntrySnapshot Take();
    // Writes every remembered value back and deletes those that were absent. True when all of
    // that succeeded.
    bool Restore() const;

private:
    struct Value {
        std::wstring name;
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    std::vector<Value> values_;
};
