#pragma once
// The per-user folders of this run, resolved once at start-up and again on demand, moved into the
// profile of the user of the installer's own session when the installer runs under another account
// (for example elevated with an administrator's credentials).
#include <string>

struct InstallPaths {
    std::wstring downloadFolder;
    std::wstring appDataFolder;        // <AppData>\Orvane\Telvista
    std::wstring tempFolder;           // <AppData>\Orvane\Telvista\Temp
    std::wstring logFolder;            // <AppData>\Orvane\Telvista\Log
    std::wstring desktopFolder;
    std::wstring commonDesktopFolder;
};

// The account the process runs as (GetUserNameW), and the user logged on to the process's own
// session (Terminal Services; on a multi-session machine the console may belong to someone else).
// Empty when unknown.
std::wstring ProcessUserName();
std::wstring LogonUserName();
// The Terminal Services user of `session`; empty when unknown.
std::wstring SessionUserName(unsigned long session);
// The process's own session (ProcessIdToSessionId), or WTS_CURRENT_SESSION when that fails.
unsigned long OwnSessionId();

// Whether the process runs under another account than the session's user: the logon-user rule
// applies and the per-user folders are the session user's, not the process account's.
// A-Z compared without case; an unknown logon user never counts as another account.
bool IsOtherAccount(const std::wstring& processUser, const std::wstring& logonUser);

// Fills every field from scratch, applies the logon-user rule, creates the download, app-data,
// temporary and log folders, and logs what it found. Safe to call again; each call logs again.
void ResolveInstallPaths();

// A copy of the record as it stands (fields may be empty before the first resolution).
InstallPaths CurrentInstallPaths();

// Readers of single fields: each resolves first when nothing was resolved yet. A folder that the
// first resolution could not give stays empty (and callers must not build paths on it).
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
