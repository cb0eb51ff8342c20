#pragma once
// Helpers of the pipeline and detector tests: registry values that are put back as they were,
// files that are put back as they were, and executables stamped with a chosen version resource.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/release_check.h"

// One registry value in one view, remembered when the guard is made and put back when it ends:
// the value's old type and data, or its absence, and keys that did not exist are deleted again.
// So a test can set the system's own values (Windows version, .NET, VC++ runtime) in the
// throwaway prefix and leave them as it found them.
class RegistryValueGuard {
public:
    RegistryValueGuard(HKEY root, std::wstring subKey, std::wstring name, REGSAM view = 0);
    ~RegistryValueGuard();
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

    void SetDword(DWORD value);
    void SetString(const std::wstring& value);
    void SetRaw(DWORD type, const void* data, DWORD size);
    void Delete();      // the value only
    void DeleteKey();   // the key with everything below it

private:
    HKEY root_;
    std::wstring subKey_;
    std::wstring name_;
    REGSAM view_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
    std::wstring firstMissingKey_;  // the topmost key of subKey_ that did not exist
};

// Denies every access to one registry key (an empty DACL) while the guard lives, then puts its
// DACL back: a key that exists but cannot be opened.
class KeyAccessDenied {
public:
    KeyAccessDenied(HKEY root, const std::wstring& subKey, REGSAM view);
    ~KeyAccessDenied();
    KeyAccessDenied(const KeyAccessDenied&) = delete;
    KeyAccessDenied& operator=(const KeyAccessDenied&) = delete;
    bool applied() const { return applied_; }

private:
    HKEY key_ = nullptr;
    std::vector<BYTE> saved_;
    bool applied_ = false;
};

// Moves the file at `path` aside (if there is one) and puts it back when the guard ends; whatever
// the test left at `path` is deleted first.
class FileGuard {
public:
    explicit FileGuard(std::wstring path);
    ~FileGuard();
    FileGuard(const FileGuard&) = delete;
    FileGuard& operator=(const FileGuard&) = delete;

private:
    std::wstring path_;
    std::wstring saved_;
};

// Wine answers for a file in the system folder that bears the name of one of its built-in DLLs
// (vcruntime140.dll among them) with the built-in DLL, which has no version resource. While this
// guard lives, Wine takes such a file as it is on disk, as Windows always does.
class NativeDllOverride {
public:
    explicit NativeDllOverride(const wchar_t* dllName);

private:
    RegistryValueGuard value_;
};

struct FileVersion {
    WORD major, minor, build, revision;
};

// Copies a small fixture executable to `target` and gives it a version resource whose fixed file
// information holds `product` and `file`. False when that fails.
bool WriteVersionedFile(const std::wstring& target, FileVersion product, FileVersion file);

// SHA-1 of bytes in hexadecimal (small letters), by CryptoAPI.
std::string Sha1Hex(const std::string& bytes);

// A release-config reply for a file of these bytes at `url`.
std::string ConfigReplyFor(const std::string& version, const std::wstring& url,
                           const std::string& bytes);

// The registry values a run of the flows depends on (.NET's Release number, the Windows major
// version, the installed product's location), put back as they were after each test: the flow
// and window tests set them to the machine they need.
class MachineStateTest : public testing::Test {
protected:
    RegistryValueGuard dotNetRelease{HKEY_LOCAL_MACHINE,
                                     L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full\\",
                                     L"Release", KEY_WOW64_32KEY};
    RegistryValueGuard windowsMajor{HKEY_LOCAL_MACHINE,
                                    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                    L"CurrentMajorVersionNumber", KEY_WOW64_32KEY};
    RegistryValueGuard installLocation{HKEY_CURRENT_USER, kProductUninstallKey,
                                       L"InstallLocation"};
};
