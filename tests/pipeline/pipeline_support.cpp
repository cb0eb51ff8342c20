#include "tests/pipeline/pipeline_support.h"

#include "net/digest.h"
#include "sys/handle.h"
#include "tests/support/test_support.h"

namespace {

bool KeyExists(HKEY root, const std::wstring& subKey, REGSAM view) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

UniqueRegKey CreateKey(HKEY root, const std::wstring& subKey, REGSAM view) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                          &key, nullptr) != ERROR_SUCCESS) {
        return UniqueRegKey();
    }
    return UniqueRegKey(key);
}

}  // namespace

RegistryValueGuard::RegistryValueGuard(HKEY root, std::wstring subKey, std::wstring name,
                                       REGSAM view)
    : root_(root), subKey_(std::move(subKey)), name_(std::move(name)), view_(view) {
    size_t end = 0;
    while (end != std::wstring::npos) {
        end = subKey_.find(L'\\', end + 1);
        std::wstring prefix = subKey_.substr(0, end);
        if (!prefix.empty() && prefix.back() == L'\\') prefix.pop_back();
        if (!KeyExists(root_, prefix, view_)) {
            firstMissingKey_ = prefix;
            return;
        }
    }
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_READ | view_, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD size = 0;
    if (::RegQueryValueExW(key, name_.c_str(), nullptr, &type_, nullptr, &size) ==
        ERROR_SUCCESS) {
        data_.resize(size);
        existed_ = ::RegQueryValueExW(key, name_.c_str(), nullptr, &type_, data_.data(),
                                      &size) == ERROR_SUCCESS;
        data_.resize(size);
    }
    ::RegCloseKey(key);
}

RegistryValueGuard::~RegistryValueGuard() {
    if (!firstMissingKey_.empty()) {
        size_t slash = firstMissingKey_.rfind(L'\\');
        std::wstring parentPath =
            slash == std::wstring::npos ? std::wstring() : firstMissingKey_.substr(0, slash);
        std::wstring leaf =
            slash == std::wstring::npos ? firstMissingKey_ : firstMissingKey_.substr(slash + 1);
        HKEY parent = nullptr;
        if (::RegOpenKeyExW(root_, parentPath.c_str(), 0, KEY_ALL_ACCESS | view_, &parent) ==
            ERROR_SUCCESS) {
            ::RegDeleteTreeW(parent, leaf.c_str());
            ::RegCloseKey(parent);
        }
        return;
    }
    UniqueRegKey key = CreateKey(root_, subKey_, view_);
    if (!key) return;
    if (existed_) {
        ::RegSetValueExW(key.get(), name_.c_str(), 0, type_, data_.data(),
                         static_cast<DWORD>(data_.size()));
    } else {
        ::RegDeleteValueW(key.get(), name_.c_str());
    }
}

void RegistryValueGuard::SetDword(DWORD value) { SetRaw(REG_DWORD, &value, sizeof value); }

void RegistryValueGuard::SetString(const std::wstring& value) {
    SetRaw(REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void RegistryValueGuard::SetRaw(DWORD type, const void* data, DWORD size) {
    UniqueRegKey key = CreateKey(root_, subKey_, view_);
    if (key) {
        ::RegSetValueExW(key.get(), name_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    }
}

void RegistryValueGuard::Delete() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_SET_VALUE | view_, &key) == ERROR_SUCCESS) {
        ::RegDeleteValueW(key, name_.c_str());
        ::RegCloseKey(key);
    }
}

void RegistryValueGuard::DeleteKey() {
    size_t slash = subKey_.rfind(L'\\');
    HKEY parent = nullptr;
    if (::RegOpenKeyExW(root_, subKey_.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS | view_,
                        &parent) == ERROR_SUCCESS) {
        ::RegDeleteTreeW(parent, subKey_.substr(slash + 1).c_str());
        ::RegCloseKey(parent);
    }
}

KeyAccessDenied::KeyAccessDenied(HKEY root, const std::wstring& subKey, REGSAM view) {
    // The owner keeps READ_CONTROL and WRITE_DAC through this handle, so the DACL can go back.
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, READ_CONTROL | WRITE_DAC | view, &key_) !=
        ERROR_SUCCESS) {
        key_ = nullptr;
        return;
    }
    DWORD size = 0;
    ::RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
    saved_.resize(size);
    if (size == 0 || ::RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data(),
                                         &size) != ERROR_SUCCESS) {
        return;
    }
    SECURITY_DESCRIPTOR denyAll{};
    ACL emptyAcl{};
    ::InitializeSecurityDescriptor(&denyAll, SECURITY_DESCRIPTOR_REVISION);
    ::InitializeAcl(&emptyAcl, sizeof emptyAcl, ACL_REVISION);
    ::SetSecurityDescriptorDacl(&denyAll, TRUE, &emptyAcl, FALSE);
    applied_ = ::RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &denyAll) == ERROR_SUCCESS;
}

KeyAccessDenied::~KeyAccessDenied() {
    if (!key_) return;
    if (applied_) ::RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data());
    ::RegCloseKey(key_);
}

FileGuard::FileGuard(std::wstring path) : path_(std::move(path)) {
    if (::GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    saved_ = path_ + L".telvista-test-saved";
    if (!::MoveFileExW(path_.c_str(), saved_.c_str(), MOVEFILE_REPLACE_EXISTING)) saved_.clear();
}

FileGuard::~FileGuard() {
    ::DeleteFileW(path_.c_str());
    if (!saved_.empty()) ::MoveFileExW(saved_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
}

NativeDllOverride::NativeDllOverride(const wchar_t* dllName)
    : value_(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", dllName) {
    value_.SetString(L"native");
}

bool WriteVersionedFile(const std::wstring& target, FileVersion product, FileVersion file) {
    // The sleeper fixture is a small executable without a version resource of its own.
    if (!::CopyFileW((TestBinaryFolder() + L"\\sleeper.exe").c_str(), target.c_str(), FALSE)) {
        return false;
    }
    // VS_VERSIONINFO with no children: a 6-byte header, the key "VS_VERSION_INFO" with its
    // terminator (32 bytes), one WORD of padding to the 32-bit boundary, then the fixed info.
    struct {
        WORD length;
        WORD valueLength;
        WORD type;
        wchar_t key[16];
        WORD padding;
        VS_FIXEDFILEINFO value;
    } block{};
    static_assert(sizeof block == 92);
    block.length = sizeof block;
    block.valueLength = sizeof(VS_FIXEDFILEINFO);
    block.type = 0;
    wcscpy(block.key, L"VS_VERSION_INFO");
    block.value.dwSignature = VS_FFI_SIGNATURE;
    block.value.dwStrucVersion = VS_FFI_STRUCVERSION;
    block.value.dwFileVersionMS = MAKELONG(file.minor, file.major);
    block.value.dwFileVersionLS = MAKELONG(file.revision, file.build);
    block.value.dwProductVersionMS = MAKELONG(product.minor, product.major);
    block.value.dwProductVersionLS = MAKELONG(product.revision, product.build);
    block.value.dwFileOS = VOS_NT_WINDOWS32;
    block.value.dwFileType = VFT_DLL;

    HANDLE update = ::BeginUpdateResourceW(target.c_str(), FALSE);
    if (!update) return false;
    if (!::UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO),
                           MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), &block, sizeof block)) {
        ::EndUpdateResourceW(update, TRUE);
        return false;
    }
    return ::EndUpdateResourceW(update, FALSE) != FALSE;
}

std::string Sha1Hex(const std::string& bytes) {
    CryptoHash hash;
    if (!hash.Begin() || !hash.Update(bytes.data(), static_cast<DWORD>(bytes.size())) ||
        !hash.Finish()) {
        return {};
    }
    return ToHex(hash.digest(), false);
}

std::string ConfigReplyFor(const std::string& version, const std::wstring& url,
                           const std::string& bytes) {
    return R"({"result": {"download_url": ")" + Narrow(url) + R"(", "version": ")" + version +
           R"(", "size": )" + std::to_string(bytes.size()) + R"(, "hash": ")" + Sha1Hex(bytes) +
           R"(", "release_notes": ""}})";
}
