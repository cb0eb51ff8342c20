#include "app/elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "sys/files.h"

bool IsUserAdministrator() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    if (!::CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
    ::FreeSid(administrators);
    return member != FALSE;
}

bool CanWriteBelow(const std::wstring& installPath) {
    const std::wstring probe = installPath + L"\\CheckPermission\\";
    if (!MakePathExist(probe)) return false;
    ::RemoveDirectoryW(probe.c_str());
    return true;
}

ElevatedRestart ElevatedRestartFor(const std::wstring& installPath) {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return ElevatedRestart{std::wstring(self, length < MAX_PATH ? length : 0), installPath};
}

void StartElevated(const ElevatedRestart& restart) {
    ::ShellExecuteW(nullptr, L"runas", restart.file.c_str(), restart.parameters.c_str(), nullptr,
                    SW_SHOWNORMAL);
}
