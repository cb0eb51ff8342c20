#pragma once
// The per-user folders of this run, resolved once at start-up and again on demand, moved into the
// console user's profile when the installer runs under another account (for example elevated as
// an administrator).
#include <string>

struct InstallPaths {
    std::wstring downloadFolder;
    std::wstring appDataFolder;        // <AppData>\Orvane\Telvista
    std::wstring tempFolder;           // <AppData>\Orvane\Telvista\Temp
    std::wstring logFolder;            // <AppData>\Orvane\Telvista\Log
    std::wstring desktopFolder;
    std::wstring commonDesktopFolder;
};

// Fills every field from scratch, applies the logon-user rule, creates the download, app-data,
// temporary and log folders, and logs what it found. Safe to call again; each call logs again.
void ResolveInstallPaths();

// A copy of the record as it stands (fields may be empty before the first resolution).
InstallPaths CurrentInstallPaths();

// Readers of single fields: each resolves first when its field is empty.
std::wstring GetTempFolder();
std::wstring GetDesktopFolder();
std::wstring GetCommonDesktopFolder();

// The Downloads folder; when the known folder gave none, the Downloads sibling of the process
// account's desktop folder, created and remembered. Empty when neither exists. Never resolves.
std::wstring GetDownloadFolder();

// The logon-user rule on `paths`: when `logonUser` is not empty and differs from `processUser`
// (A-Z compared without case), every "\<processUser>\" in the five per-user fields becomes
// "\<logonUser>\". Returns whether the rule applied (also when no text changed).
bool ApplyLogonUserRule(InstallPaths& paths, const std::wstring& processUser,
                        const std::wstring& logonUser);

// The Downloads folder beside `desktop` in the same profile (C:\Users\a\Desktop gives
// C:\Users\a\Downloads); empty when `desktop` has no backslash after its first character.
std::wstring DownloadsBesideDesktop(const std::wstring& desktop);

// Every non-overlapping occurrence of `from` in `text`, left to right, replaced by `to`.
std::wstring ReplaceAll(const std::wstring& text, const std::wstring& from, const std::wstring& to);
