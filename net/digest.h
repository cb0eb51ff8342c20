#pragma once
// SHA-1 checks of downloaded files against the size and digest that the release records publish.
// CryptoHash wraps the CryptoAPI hash and keeps a status instead of failing loudly; HashFile runs
// a file through it; ToHex writes the digest as text. Nothing here writes to the install log:
// callers log the outcome.
#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "sys/handle.h"

struct CryptProviderTraits {
    static HCRYPTPROV invalid() { return 0; }
    static void close(HCRYPTPROV h) { ::CryptReleaseContext(h, 0); }
};
struct CryptHashTraits {
    static HCRYPTHASH invalid() { return 0; }
    static void close(HCRYPTHASH h) { ::CryptDestroyHash(h); }
};
using UniqueCryptProvider = Unique<HCRYPTPROV, CryptProviderTraits>;
using UniqueCryptHash = Unique<HCRYPTHASH, CryptHashTraits>;

// The outcome of the last CryptoHash operation: the system error code at the failure (0 when the
// failure was not a system call's) and a message, empty after success.
struct HashStatus {
    DWORD code = 0;
    std::string message;
};

// One SHA-1 digest at a time: Begin, any number of Updates, Finish. Between a successful Begin
// and Finish the provider and the hash are held together; Finish (or the object's end) releases
// both. Every operation first resets the status and returns true on success.
class CryptoHash {
public:
    bool Begin();
    bool Update(const void* data, DWORD size);
    bool Finish();

    const HashStatus& status() const { return status_; }
    const std::vector<BYTE>& digest() const { return digest_; }

private:
    bool Fail(DWORD code, const char* message);
    void Release();

    // Declared before the hash, so the hash is destroyed first.
    HashStatus status_;
    UniqueCryptProvider provider_;
    UniqueCryptHash hash_;
    std::vector<BYTE> digest_;
};

// The SHA-1 digest of the file's bytes, read untranslated in 8 KiB pieces; empty when the file
// cannot be opened, is empty, cannot be read whole, or hashing failed. `status` receives the
// hash's status once hashing has begun.
std::vector<BYTE> HashFile(const std::wstring& path, HashStatus& status);

// Two hexadecimal digits per byte, in order; small letters unless `upperCase`.
std::string ToHex(const std::vector<BYTE>& bytes, bool upperCase);

// True when `path` is a file of exactly `expectedSize` bytes whose SHA-1 digest in hexadecimal is
// `expectedDigest` (letter case aside). A file of the wrong size is not read.
bool CheckDownloadFile(const std::wstring& path, const std::wstring& expectedDigest,
                       int expectedSize);
