#pragma once
// The install phase (InstallPipeline::RunInstallPhase) and the steps it is made of: checking the
// install folder, copying the unpacked package, running the prerequisite installers it has
// verified, and the updater's command line.
#include <windows.h>

#include <string>

#include "pipeline/release_config.h"
#include "sys/handle.h"

inline constexpr wchar_t kCompanyFolderName[] = L"Orvane";
inline constexpr wchar_t kProductFolderName[] = L"Telvista";
inline constexpr wchar_t kUpdaterExeName[] = L"Tandemix.Updater.exe";
inline constexpr wchar_t kPrerequisiteParameters[] = L"/q /norestart";
inline constexpr wchar_t kAutoStartValueName[] = L"Telvista";

// True for "X:\...\Orvane\Telvista": a drive path whose last two names are "Orvane" and
// "Telvista" (letter case aside), with no forward slash and no trailing backslash. The install
// phase replaces the folder it installs into as a whole, so it only ever touches a folder of the
// product's own name: a preset folder such as a user's profile is never deleted.
bool IsProductInstallFolder(const std::wstring& folder);

// The folder a chosen folder stands for: `chosen` + "\Orvane\Telvista".
std::wstring ProductFolderBelow(const std::wstring& chosen);

// True when `path` is `folder` or lies inside it (letter case aside, whole names only).
bool IsPathWithin(const std::wstring& path, const std::wstring& folder);

// Copies every file of the tree `source` into the existing folder `target`, making its folders,
// overwriting files of the same name, hidden and system files included. False at the first file
// that cannot be copied. A missing or empty source copies nothing and succeeds; an empty source
// path (which would name the root of the current drive) fails.
bool CopytoInstallPath(const std::wstring& source, const std::wstring& target);

// The updater's parameters: -l, a space and the product's path in double quotes.
std::wstring UpdaterParameters(const std::wstring& productExe);

// A downloaded installer held open for reading, shared for reading only, so that nobody can write,
// replace or delete it between its check and its start (the installer may run elevated while
// the file lies in a folder the user can write). Empty when the file does not open or its size or
// SHA-1 digest is not the record's.
UniqueFile OpenVerifiedInstaller(const std::wstring& path, const ReleaseConfig& record);
