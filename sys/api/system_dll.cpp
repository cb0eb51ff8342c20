#include "sys/api/system_dll.h"

#include <string>


void HardenDllSearch() {
    // SetDefaultDllDirectories exists from Windows 8 (and Windows 7 with KB2533623); look it up so
    // the installer still starts where it is missing.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
                                   ::GetProcAddress(kernel, "SetDefaultDllDirectories")))
                             : nullptr;
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        // Takes the current folder out of the search order at least.
        ::SetDllDirectoryW(L"");
    }
}

HMODULE LoadSystemDll(const wchar_t* name) {
    HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER) {
        // Systems without the search flags: name the file in the system folder explicitly.
        wchar_t system[MAX_PATH] = {};
        UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return nullptr;
        std::wstring path = std::wstring(system) + L"\\" + name;
        module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    // Kept loaded for the life of the process: the wrappers cache function addresses.
    return module;
}
