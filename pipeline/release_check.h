#pragma once
// The release records of one run and the decisions taken on them: which of the installer, the
// application package, the .NET Framework 4.5.2 and the VC++ 2015-2022 x64 runtime the
// installer has to fetch and install.
#include <string>

#include "pipeline/release_config.h"

struct ReleaseCheck {
    std::wstring installLocation;  // "InstallLocation" of the product's Uninstall key, once read
    ReleaseConfig installerConfig;
    ReleaseConfig appConfig;
    ReleaseConfig dotNetConfig;
    ReleaseConfig vcRuntimeConfig;  // filled here, never from a reply
};

// The Uninstall key of the product under HKEY_CURRENT_USER (the uninstall registration writes it).
inline constexpr wchar_t kProductUninstallKey[] =
    L"SOFTWARE\\Microsoft\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\Telvista";
inline constexpr wchar_t kProductExeName[] = L"Telvista.exe";

// The fixed record of the VC++ 2015-2022 x64 redistributable 14.36.32532.0.
inline constexpr wchar_t kVcRuntimeHash[] = L"c483f66c48ba83e99c764d957729789317b09c6b";
inline constexpr wchar_t kVcRuntimeVersion[] = L"14.36.32532.0";
inline constexpr uint32_t kVcRuntimeSize = 25355496;
inline constexpr wchar_t kDotNetVersion[] = L"4.5.2";

// Fetches the three records below `base` and marks them: the installer up to date unless the
// server's is newer than the running one, the package up to date when an installed product is
// not older, .NET required when 4.5.1 or later is missing (record version "4.5.2"), and on 64-bit
// Windows 10.0 (which Windows 11 reports too) the VC++ runtime required when it is missing or
// older than 14.34.31910.0. Failed fetches leave empty records; always reports success.
bool CheckReleases(ReleaseCheck& check, const std::wstring& base);

// The installed product's "DisplayVersion", or empty when the product is not registered, its
// "InstallLocation" cannot be read or its executable is missing there. Sets installLocation
// whenever "InstallLocation" is read. Creates the (empty) Uninstall key when it is missing.
std::wstring GetInstalledVersion(ReleaseCheck& check);
