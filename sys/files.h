#pragma once
// File-system utilities shared by the flows: folder chains, folder trees, the installer's own
// path and its embedded files. None keeps state; none writes to the install log.
#include <windows.h>

#include <string>

#include "sys/handle.h"

// Creates every missing folder along `path` (backslash-separated). False when one cannot be
// created; folders made before it stay. A path that starts with a backslash fails at once.
bool MakePathExist(const std::wstring& path);

// Deletes the tree at `path` as far as it can; what cannot be deleted (a read-only file, a file in
// use) stays, with the folders above it. Paths of 3 characters or fewer (drive roots) are left
// alone. Junctions and symbolic links are removed as links: nothing they point to is touched.
void RemoveFolder(const std::wstring& path);

struct ModulePathParts {
    std::wstring fullPath;  // the running executable
    std::wstring folder;    // without a trailing backslash
    std::wstring fileName;
};
ModulePathParts GetModulePathParts();

// Writes the installer's resource `id` of type FILE to `target`, replacing any file there (an
// existing target is deleted first, also when the resource turns out to be missing).
bool ReleaseResourceToFile(WORD id, const std::wstring& target);

// The bytes of resource `id` of `type` ("FILE", "PNG") in `module` (the installer when null);
// empty when it is missing. The bytes live as long as the module.
struct ResourceBytes {
    const void* data = nullptr;
    DWORD size = 0;
    explicit operator bool() const { return data && size; }
};
ResourceBytes FindResourceBytes(WORD id, const wchar_t* type, HMODULE module = nullptr);

// True when `path` names an existing file or folder.
bool PathExists(const std::wstring& path);

// Opens an existing file for reading and lets others only read it while the handle is held: no
// one can write, replace, rename or delete it, so a file that was checked stays the file that is
// then started. Fails while someone else has it open for writing or deleting.
UniqueFile OpenForRunning(const std::wstring& path);

// True when the file behind `file` holds exactly `size` bytes equal to `data` (read from its start).
bool FileHoldsBytes(HANDLE file, const void* data, DWORD size);
