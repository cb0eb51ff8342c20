#pragma once
// The one place where the installer reaches DLLs outside the always-system-loaded set.
//
// The installer is started from Downloads folders, where any page can drop a file named like a
// Windows DLL. Its import table therefore names only DLLs that Windows always takes from the
// system folder; every other DLL is loaded here, after HardenDllSearch, from the system folder
// only, and its functions are reached through the typed wrappers below. A wrapper whose DLL or
// function is missing fails the way the function itself fails, with ERROR_PROC_NOT_FOUND.
#include <windows.h>

// The typed wrappers live beside this file, one pair per DLL (sys/api/wtsapi.h, ...), each in a
// namespace named after its DLL, with the function's own name and signature.

// Restricts DLL loading to the system folder. The first statement of the program.
void HardenDllSearch();

// Loads `name` (for example L"wininet.dll") from the system folder; the module stays loaded for
// the life of the process. nullptr when it cannot be loaded.
HMODULE LoadSystemDll(const wchar_t* name);

// The address of `name` in the system DLL `dll`, typed; nullptr when either is missing.
template <typename Fn>
Fn SystemProc(const wchar_t* dll, const char* name) {
    HMODULE module = LoadSystemDll(dll);
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)))
                  : nullptr;
}
