#pragma once
// Prerequisite detectors: whether the .NET Framework 4.5 or later and the VC++ 2015-2022 x64
// runtime are present, read from the registry and from version resources, and the version
// resource reader that gives the installer its own version. They only look: every failure
// (missing key, value or file, a value too long for its buffer) answers false or an empty text.
#include <windows.h>

#include <string>

// The shipped installer is a 32-bit program, so on 64-bit Windows its registry reads of
// HKEY_LOCAL_MACHINE\SOFTWARE see the 32-bit view; that is where the prerequisites' installers
// record what the installer looks for (the x64 VC++ runtime writes its Runtimes\x64 key there
// too). The x86_64 build of the same sources asks for that view explicitly, so both builds read
// the same values.
#ifdef _WIN64
inline constexpr REGSAM kInstallerRegistryView = KEY_WOW64_32KEY;
#else
inline constexpr REGSAM kInstallerRegistryView = 0;
#endif

// Versions are texts compared code unit by code unit as unsigned 16-bit values, like wcscmp:
// the first difference decides, and a text that is a prefix of the other is the smaller. Digits
// are not grouped into numbers ("1.0.10.0" < "1.0.9.0"). Negative, zero or positive.
int CompareVersionText(const std::wstring& a, const std::wstring& b);

// The VC++ runtime version the installed application needs at least.
inline constexpr wchar_t kVcRuntimeMinimumVersion[] = L"14.34.31910.0";
// The Release value of the .NET Framework 4.5; the application needs a higher one (4.5.1 on).
inline constexpr DWORD kDotNet45Release = 378389;

// True when HKLM "SOFTWARE\Microsoft\NET Framework Setup\NDP\v4\Full\" has a 4-byte "Release"
// above 378389. Writes no log line.
bool IsDotNetInstalled();

// True when the "Version" text of HKLM "SOFTWARE\Microsoft\VisualStudio\14.0\VC\Runtimes\x64",
// without a leading "v"/"V" and with ".0" appended to a three-part version, is not smaller than
// 14.34.31910.0. Logs "Reg VC_Runtime version %s" with the value as read.
bool CheckVcRuntimeRegistry();

// True when the product version of the x64 vcruntime140.dll is not smaller than 14.34.31910.0.
// Always logs "CheckFile %s VC_Runtime version %s".
bool CheckVcRuntimeFile();

// The x64 vcruntime140.dll as this process has to name it: in the system folder for a 64-bit
// process, through the "Sysnative" alias for a 32-bit process on 64-bit Windows.
std::wstring VcRuntimeFilePath();

// The product version of `path`'s fixed file information, "%d.%d.%d.%d" or, with `twoParts`,
// "%d.%d"; empty when the file has no version resource.
std::wstring GetFileVersionString(const std::wstring& path, bool twoParts);

// The running executable's product version in four parts.
std::wstring GetOwnVersion();

// True for a 32-bit process on 64-bit Windows; false where IsWow64Process is missing.
bool IsWow64();

// True on 64-bit Windows, whichever build of the installer asks.
bool IsWindows64Bit();
