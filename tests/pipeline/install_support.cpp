#include "tests/pipeline/install_support.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "net/digest.h"
#include "sys/com.h"
#include "sys/handle.h"
#include "sys/paths.h"
#include "sys/process.h"
#include "tests/support/test_support.h"

std::wstring StandIn(const wchar_t* name) { return TestBinaryFolder() + L"\\standins\\" + name; }

StandInRecord::StandInRecord() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"telvista-standins-" + std::to_wstring(::GetCurrentProcessId()) +
            L".txt";
    ::DeleteFileW(path_.c_str());
    ::SetEnvironmentVariableW(L"TELVISTA_STANDIN_RECORD", path_.c_str());
}

StandInRecord::~StandInRecord() {
    ::SetEnvironmentVariableW(L"TELVISTA_STANDIN_RECORD", nullptr);
    ::DeleteFileW(path_.c_str());
}

std::vector<std::vector<std::wstring>> StandInRecord::Entries() const {
    std::vector<std::vector<std::wstring>> entries;
    const std::wstring text = Widen(ReadFileBytes(path_));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        std::vector<std::wstring> fields;
        const std::wstring line = text.substr(start, end - start);
        size_t field = 0;
        for (size_t bar = line.find(L'|'); ; bar = line.find(L'|', field)) {
            fields.push_back(line.substr(field, bar == std::wstring::npos ? std::wstring::npos : bar - field));
            if (bar == std::wstring::npos) break;
            field = bar + 1;
        }
        entries.push_back(fields);
        start = end + 2;
    }
    return entries;
}

std::vector<std::vector<std::wstring>> StandInRecord::Of(const std::wstring& who) const {
    std::vector<std::vector<std::wstring>> found;
    for (auto& entry : Entries())
        if (!entry.empty() && entry[0] == who) found.push_back(entry);
    return found;
}

std::wstring RegValue::Text() const {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

DWORD RegValue::Number() const {
    DWORD number = 0;
    if (data.size() == sizeof number) memcpy(&number, data.data(), sizeof number);
    return number;
}

RegValue ReadValue(HKEY root, const std::wstring& subKey, const std::wstring& name, REGSAM view) {
    RegValue value;
    UniqueRegKey key;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return value;
    }
    value.data.resize(size);
    value.present = ::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type,
                                       value.data.data(), &size) == ERROR_SUCCESS;
    value.data.resize(size);
    return value;
}

std::map<std::wstring, RegValue> ReadUninstallEntry() {
    std::map<std::wstring, RegValue> entry;
    for (const wchar_t* name : {L"DisplayName", L"InstallLocation", L"Publisher", L"HelpLink",
                                L"DisplayVersion", L"UninstallString", L"DisplayIcon", L"NoModify",
                                L"NoRepair"}) {
        entry[name] = ReadValue(HKEY_CURRENT_USER, kUninstallKeyPath, name);
    }
    return entry;
}

std::wstring ShortcutTarget(const std::wstring& linkFile) {
    ComApartment com;
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.put_void()))) {
        return {};
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
        FAILED(file->Load(linkFile.c_str(), STGM_READ))) {
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    if (FAILED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH))) return {};
    return path;
}

namespace {

std::wstring LinkIn(int csidl, const std::wstring& name) {
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return std::wstring(path) + L"\\" + name + L".lnk";
}

void ListTree(const std::wstring& folder, const std::wstring& relative,
              std::map<std::wstring, std::string>& tree) {
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!find) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring rel = relative.empty() ? name : relative + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[rel + L"\\"] = "";
            ListTree(folder + L"\\" + name, rel, tree);
        } else {
            // Size and digest: equal trees compare as equal, and a failure stays readable.
            HashStatus status;
            const std::wstring file = folder + L"\\" + name;
            tree[rel] = std::to_string(ReadFileBytes(file).size()) + " bytes, SHA-1 " +
                        ToHex(HashFile(file, status), false);
        }
    } while (::FindNextFileW(find.get(), &entry));
}

}  // namespace

std::wstring UserDesktopLink(const std::wstring& name) { return GetDesktopFolder() + L"\\" + name + L".lnk"; }
std::wstring CommonDesktopLink(const std::wstring& name) {
    return GetCommonDesktopFolder() + L"\\" + name + L".lnk";
}
std::wstring CommonProgramsLink(const std::wstring& name) { return LinkIn(CSIDL_COMMON_PROGRAMS, name); }
std::wstring UserProgramsLink(const std::wstring& name) { return LinkIn(CSIDL_PROGRAMS, name); }

std::map<std::wstring, std::string> ReadTree(const std::wstring& folder) {
    std::map<std::wstring, std::string> tree;
    ListTree(folder, L"", tree);
    return tree;
}

void EndStandInProducts() {
    HANDLE end = ::CreateEventW(nullptr, TRUE, FALSE, L"Local\\TelvistaStandInEnd");
    ::SetEvent(end);
    WaitUntil([] { return !IsProcessRunning(L"Telvista.exe"); }, 10000);
    ::ResetEvent(end);
    ::CloseHandle(end);
}

InstalledProductCleanup::InstalledProductCleanup(std::wstring displayName)
    : displayName_(std::move(displayName)) {
    guards_.push_back(std::make_unique<RegistryValueGuard>(HKEY_CURRENT_USER, kRunKeyPath, L"Telvista"));
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        guards_.push_back(std::make_unique<RegistryValueGuard>(HKEY_LOCAL_MACHINE, kDotNetFullKey,
                                                               L"Release", view));
        guards_.push_back(std::make_unique<RegistryValueGuard>(HKEY_LOCAL_MACHINE,
                                                               kVcRuntimeKeyPath, L"Version", view));
    }
    // The Run key exists on every Windows; a fresh prefix may lack it.
    guards_[0]->SetString(L"placeholder");
    guards_[0]->Delete();
    Clean();
}

InstalledProductCleanup::~InstalledProductCleanup() {
    EndStandInProducts();
    Clean();
    guards_.clear();
}

void InstalledProductCleanup::Clean() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKeyPath);
    for (const std::wstring& link : {UserDesktopLink(displayName_), CommonDesktopLink(displayName_),
                                     CommonProgramsLink(displayName_), UserProgramsLink(displayName_)}) {
        ::DeleteFileW(link.c_str());
    }
}
