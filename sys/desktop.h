#pragma once
// Desktop integration: the font the installer draws with, and the shortcuts and the autostart
// value the install phase makes for the installed product.
#include <string>

// Writes the Roboto font (resource FILE 208) to the temporary folder and installs it into the
// Windows fonts folder for the user, unless a font of that file name is already there. When the
// fonts folder is not writable, the font is still made available to this process.
void InstallFont();

// Deletes "<name>.lnk" from the all-users desktop and from the user's desktop, where there is
// one. The Start-menu copy stays. Failures are ignored.
void DeleteDesktopShortcuts(const std::wstring& name);

// Saves a shell link to `target` (nothing but the target set) as "<name>.lnk" on the desktop of
// the logon user (the folders are resolved afresh first), then copies it into the Start menu
// unless a shortcut of that name is there already (CopyToStartMenu). True in every case: the
// install goes on without shortcuts.
bool CreateShortcut(const std::wstring& target, const std::wstring& name);

// "<all-users Programs folder>\<name>.lnk"; empty when the shell names no such folder.
std::wstring GetStartMenuShortcutPath(const std::wstring& name);
// "<the user's own Programs folder>\<name>.lnk"; empty when the shell names no such folder.
std::wstring GetUserStartMenuShortcutPath(const std::wstring& name);

enum class StartMenuCopy { AllUsers, User, AlreadyThere, Failed };

// Copies `linkFile` to `allUsersPath`, never over an existing file. A standard user may not write
// the all-users folder; when the copy fails for any reason but an existing shortcut of that name,
// the link goes to `userPath` instead, by the same rule, so the product still appears in that
// user's Start menu. An existing shortcut in either place is left as it is.
StartMenuCopy CopyToStartMenu(const std::wstring& linkFile, const std::wstring& allUsersPath,
                              const std::wstring& userPath);

// Writes `valueName` = "\"<programPath>\" /WinStart" (REG_SZ) into the current user's existing
// Run key; the key is never created. True when the value was written.
bool SetAutoStart(const std::wstring& valueName, const std::wstring& programPath);
