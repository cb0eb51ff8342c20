#pragma once
// Helpers of the install tests: the stand-in programs, their record file, what the install leaves
// in the registry, on the desktops and in the Start menu, and trees of files compared byte for
// byte. Everything a test installs is removed again by InstalledProductCleanup.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/pipeline/pipeline_support.h"

inline constexpr wchar_t kUninstallKeyPath[] =
    L"SOFTWARE\\Microsoft\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\Telvista";
inline constexpr wchar_t kRunKeyPath[] = L"SOFTWARE\\Microsoft\\WINDOWS\\CURRENTVERSION\\RUN";
inline constexpr wchar_t kDotNetFullKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
inline constexpr wchar_t kVcRuntimeKeyPath[] = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";

// build/x64/tests/standins/<name>: Telvista.exe, Tandemix.Updater.exe, uninstaller.exe,
// dotnet-installer.exe, VC_redist.x64.exe.
std::wstring StandIn(const wchar_t* name);

// The stand-ins' record file (TELVISTA_STANDIN_RECORD), set for this process and its children
// while the object lives; one entry per line: who, working folder, command line (, extra).
class StandInRecord {
public:
    StandInRecord();
    ~StandInRecord();
    std::vector<std::vector<std::wstring>> Entries() const;
    // The entries of `who`, in order.
    std::vector<std::vector<std::wstring>> Of(const std::wstring& who) const;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// A registry value as read: absent, or its type and bytes.
struct RegValue {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
    std::wstring Text() const;  // REG_SZ data without its terminating zero
    DWORD Number() const;
    bool operator==(const RegValue&) const = default;
};
RegValue ReadValue(HKEY root, const std::wstring& subKey, const std::wstring& name, REGSAM view = 0);
// The nine values of the uninstall entry by name.
std::map<std::wstring, RegValue> ReadUninstallEntry();

// The target of the shell link `linkFile`, read back through IShellLinkW; empty when it does not
// load.
std::wstring ShortcutTarget(const std::wstring& linkFile);
// "<name>.lnk" in the user's desktop, the all-users desktop, the all-users and the user's Programs.
std::wstring UserDesktopLink(const std::wstring& name);
std::wstring CommonDesktopLink(const std::wstring& name);
std::wstring CommonProgramsLink(const std::wstring& name);
std::wstring UserProgramsLink(const std::wstring& name);

// Relative path -> size and SHA-1 of every file below `folder` (folders as "<path>\" -> "").
std::map<std::wstring, std::string> ReadTree(const std::wstring& folder);

// Removes, when made and when it ends: the Uninstall key, the Run value "Telvista" (the Run key
// is made for the test when the prefix has none, and removed again), the shortcuts named
// `displayName` in the four places, and the .NET and VC++ values the stand-ins write (put back as
// they were). Ends running stand-in products.
class InstalledProductCleanup {
public:
    explicit InstalledProductCleanup(std::wstring displayName);
    ~InstalledProductCleanup();

private:
    void Clean();
    std::wstring displayName_;
    std::vector<std::unique_ptr<RegistryValueGuard>> guards_;
};

// Sets the event the stand-in product waits on and waits until no Telvista.exe runs.
void EndStandInProducts();
