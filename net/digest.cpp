#include "net/digest.h"

#include <cstdio>

#include "sys/files.h"
#include "sys/text.h"

namespace {

constexpr DWORD kReadSize = 8192;

// The size of the file through a C runtime stream; -1 when it does not open.
LONGLONG MeasureFile(const std::wstring& path) {
    FILE* stream = _wfopen(path.c_str(), L"rb");
    if (!stream) return -1;
    LONGLONG size = -1;
    if (_fseeki64(stream, 0, SEEK_END) == 0) size = _ftelli64(stream);
    std::fclose(stream);
    return size;
}

}  // namespace

bool CryptoHash::Fail(DWORD code, const char* message) {
    status_.code = code;
    status_.message = message;
    return false;
}

void CryptoHash::Release() {
    hash_.reset();
    provider_.reset();
}

bool CryptoHash::Begin() {
    status_ = HashStatus();
    if (provider_ && hash_) return Fail(0, "Cryptographic provider already acquired!");
    digest_.clear();
    if (!::CryptAcquireContextW(provider_.put(), nullptr, nullptr, PROV_RSA_FULL,
                                CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET)) {
        return Fail(::GetLastError(), "Failed to acquire cryptographic context.");
    }
    if (!::CryptCreateHash(provider_.get(), CALG_SHA1, 0, 0, hash_.put())) {
        DWORD error = ::GetLastError();
        Release();
        return Fail(error, "Failed to acquire cryptographic context.");
    }
    return true;
}

bool CryptoHash::Update(const void* data, DWORD size) {
    status_ = HashStatus();
    if (!provider_ || !hash_) return Fail(0, "Cryptographic provider not acquired!");
    if (!::CryptHashData(hash_.get(), static_cast<const BYTE*>(data), size, 0)) {
        return Fail(::GetLastError(), "Updating hash failed!");
    }
    return true;
}

bool CryptoHash::Finish() {
    status_ = HashStatus();
    if (!provider_ || !hash_) return Fail(0, "Cryptographic provider not acquired!");
    bool ok = false;
    DWORD hashSize = 0;
    DWORD sizeLength = sizeof hashSize;
    if (!::CryptGetHashParam(hash_.get(), HP_HASHSIZE, reinterpret_cast<BYTE*>(&hashSize),
                             &sizeLength, 0)) {
        Fail(::GetLastError(), "Failed computing hash length!");
    } else {
        digest_.assign(hashSize, 0);
        DWORD valueLength = hashSize;
        if (hashSize > 0) {
            if (::CryptGetHashParam(hash_.get(), HP_HASHVAL, digest_.data(), &valueLength, 0)) {
                ok = true;
            } else {
                Fail(::GetLastError(), "Failed retrieving hash value!");
            }
        }
    }
    Release();
    return ok;
}

std::vector<BYTE> HashFile(const std::wstring& path, HashStatus& status) {
    // Others may go on reading and writing the file; it is only read here.
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return {};
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart == 0) return {};

    CryptoHash hash;
    ULONGLONG total = static_cast<ULONGLONG>(size.QuadPart);
    ULONGLONG count = 0;  // bytes hashed
    if (hash.Begin()) {
        BYTE buffer[kReadSize];
        while (count < total) {
            DWORD want = static_cast<DWORD>(total - count < kReadSize ? total - count : kReadSize);
            DWORD read = 0;
            if (!::ReadFile(file.get(), buffer, want, &read, nullptr) || read == 0) break;
            if (!hash.Update(buffer, read)) break;
            count += read;
        }
        // Only a hash of every byte is finished: a digest of part of the file would look real.
        if (count == total) hash.Finish();
    }
    status = hash.status();
    // Begin cleared the digest, so a hash that did not reach Finish gives an empty one.
    return count == total ? hash.digest() : std::vector<BYTE>();
}

std::string ToHex(const std::vector<BYTE>& bytes, bool upperCase) {
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (BYTE byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

bool CheckDownloadFile(const std::wstring& path, const std::wstring& expectedDigest,
                       int expectedSize) {
    if (!PathExists(path)) return false;
    LONGLONG size = MeasureFile(path);
    // A file that cannot be opened is never right, whatever size was expected.
    if (size < 0 || size != expectedSize) return false;

    HashStatus status;
    std::string hex = ToHex(HashFile(path, status), false);
    std::wstring digest(hex.begin(), hex.end());
    return LowerAscii(expectedDigest) == LowerAscii(digest);
}
