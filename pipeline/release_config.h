#pragma once
// Release records: what the release server says about one downloadable item, how a reply becomes
// a record, and the one rule that says whether an item is available.
#include <cstdint>
#include <string>

// One release item, copied into the flows by value. An empty record has empty texts and zeros.
struct ReleaseConfig {
    std::wstring download_url;
    std::wstring hash;     // SHA-1 of the file, 40 hexadecimal digits, letter case free
    std::wstring version;  // compared as text (IsVersionNotNewer)
    int32_t upToDate = 0;  // 1: the server's version is not newer than the local one
    int32_t required = 0;  // 1: the prerequisite must be downloaded and installed
    uint32_t size = 0;     // bytes
    std::wstring release_notes;
};

// Request paths below the API base, appended with nothing in between; the "%20" of the runtime
// installer's path is sent as it stands.
inline constexpr wchar_t kInstallerConfigPath[] = L"release/windows_installer/config";
inline constexpr wchar_t kPackageConfigPath[] = L"release/windows_update_package/config";
inline constexpr wchar_t kDotNetConfigPath[] = L"release/net_framework/config";
inline constexpr wchar_t kVcRuntimeInstallerPath[] = L"release/vc/VC_redist.x64%202015-2022.exe";

// Available: not up to date, with a URL, a digest, a version and a size above zero.
bool IsValid(const ReleaseConfig& record);

// True when the server's version text compares smaller than or equal to the local one, code
// unit by code unit (so "1.0.10.0" is not newer than "1.0.9.0"); an empty server version is never
// newer.
bool IsVersionNotNewer(const std::wstring& serverVersion, const std::wstring& localVersion);

// The record of a release-config reply: the object "result" of the root object, with its string
// members "download_url", "version", "hash", "release_notes" and the low 32 bits of its integer
// member "size". Names match exactly, the first of repeated names counts, and a missing or
// mistyped member leaves its field empty. Not a JSON object, or no object "result": empty record.
ReleaseConfig ParseReleaseConfig(const std::wstring& reply);

// ParseReleaseConfig of the reply at `url`; an empty record when the request fails.
ReleaseConfig FetchReleaseConfig(const std::wstring& url);
