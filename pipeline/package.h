#pragma once
// Helpers of the package check and extraction (InstallPipeline::DownloadAndCheck and
// DecompressPackage): names and command lines, kept apart so they can be checked on their own.
#include <string>

// The archive tool's file name in the temporary folder and its resource (type FILE).
inline constexpr wchar_t kArchiveToolName[] = L"7za.exe";
inline constexpr unsigned short kArchiveToolResource = 156;

// True when `name` can stand as one file name inside a folder: not empty, no folder separator,
// drive colon or "..", no character Windows refuses in names (controls, < > : " / \ | ? *),
// not only dots and spaces, and not a device name (CON, NUL, COM1, ...) before its first dot.
// The package's version from the server becomes "<version>.zip" and "extract-<version>.zip".
bool IsPlainFileName(const std::wstring& name);

// The archive tool's parameters: x "<archive>" -y -aoa -o"<folder>" (extract with full paths,
// yes to every question, overwrite, into folder). Trailing backslashes of the folder are dropped
// (inside quotes, "\"" would read as an escaped quote). Empty when a path holds a double quote.
std::wstring ExtractParameters(const std::wstring& archive, const std::wstring& folder);

// 7-Zip's exit codes: 0 no error, 1 warnings only (for example a file it could not overwrite),
// 2 fatal error, 7 bad command line, 8 out of memory, 255 stopped by the user.
inline bool IsArchiveToolSuccess(unsigned long exitCode) { return exitCode <= 1; }
