#include "sys/files.h"

#include <cstring>

#include "sys/handle.h"

bool PathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

bool EnsureFolder(const std::wstring& folder) {
    if (PathExists(folder)) return true;
    if (folder.size() == 2 && folder[1] == L':') return true;  // a drive prefix such as C:
    return ::CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
}

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

}  // namespace

bool MakePathExist(const std::wstring& path) {
    for (size_t pos = path.find(L'\\'); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1)) {
        if (!EnsureFolder(path.substr(0, pos))) return false;
    }
    return EnsureFolder(path);
}

void RemoveFolder(const std::wstring& path) {
    if (path.size() <= 3) return;

    // A link given as the folder itself: remove the link, never the tree behind it.
    DWORD self = ::GetFileAttributesW(path.c_str());
    if (self != INVALID_FILE_ATTRIBUTES && IsLink(self)) {
        ::RemoveDirectoryW(path.c_str());
        return;
    }

    std::wstring base = path;
    if (base.back() != L'\\') base += L'\\';
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((base + L"*.*").c_str(), &entry));
    if (find) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = base + name;
            bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (folder && IsLink(entry.dwFileAttributes)) {
                // Junctions and directory symlinks: removing the link leaves its target intact;
                // recursing would delete files outside the folder being removed.
                ::RemoveDirectoryW(full.c_str());
            } else if (folder) {
                RemoveFolder(full);
            } else {
                ::DeleteFileW(full.c_str());
            }
        } while (::FindNextFileW(find.get(), &entry));
    }
    find.reset();
    ::RemoveDirectoryW(path.c_str());
}

ModulePathParts GetModulePathParts() {
    ModulePathParts parts;
    wchar_t buffer[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    parts.fullPath.assign(buffer, length < MAX_PATH ? length : MAX_PATH);
    size_t slash = parts.fullPath.rfind(L'\\');
    if (slash != std::wstring::npos && slash > 0) {
        parts.folder = parts.fullPath.substr(0, slash);
        parts.fileName = parts.fullPath.substr(slash + 1);
    }
    return parts;
}

ResourceBytes FindResourceBytes(WORD id, const wchar_t* type, HMODULE module) {
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = info ? ::LoadResource(module, info) : nullptr;
    ResourceBytes bytes;
    bytes.data = loaded ? ::LockResource(loaded) : nullptr;
    if (bytes.data) bytes.size = ::SizeofResource(module, info);
    return bytes;
}

bool ReleaseResourceToFile(WORD id, const std::wstring& target) {
    if (PathExists(target)) ::DeleteFileW(target.c_str());

    const ResourceBytes resource = FindResourceBytes(id, L"FILE");
    if (!resource.data) return false;
    const void* data = resource.data;
    const DWORD size = resource.size;

    UniqueFile file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    // A short write is reported: a truncated tool or font is worse than none.
    return ::WriteFile(file.get(), data, size, &written, nullptr) && written == size;
}

UniqueFile OpenForRunning(const std::wstring& path) {
    return UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool FileHoldsBytes(HANDLE file, const void* data, DWORD size) {
    LARGE_INTEGER length{};
    if (!::GetFileSizeEx(file, &length) || length.QuadPart != static_cast<LONGLONG>(size)) {
        return false;
    }
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    const BYTE* expected = static_cast<const BYTE*>(data);
    BYTE buffer[64 * 1024];
    DWORD compared = 0;
    while (compared < size) {
        DWORD read = 0;
        const DWORD want = size - compared < sizeof buffer ? size - compared : sizeof buffer;
        if (!::ReadFile(file, buffer, want, &read, nullptr) || read == 0) return false;
        if (std::memcmp(buffer, expected + compared, read) != 0) return false;
        compared += read;
    }
    return true;
}
