#include "sys/api/version.h"

#include "sys/api/system_dll_impl.h"

namespace version {

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle) {
    SYSTEM_API_CALL(L"version.dll", GetFileVersionInfoSizeW, 0, fileName, handle);
}

BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, LPVOID data) {
    SYSTEM_API_CALL(L"version.dll", GetFileVersionInfoW, FALSE, fileName, handle, length, data);
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
    SYSTEM_API_CALL(L"version.dll", VerQueryValueW, FALSE, block, subBlock, buffer, length);
}

}  // namespace version
