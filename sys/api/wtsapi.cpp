#include "sys/api/wtsapi.h"

#include "sys/api/system_dll_impl.h"

namespace wtsapi {

BOOL QuerySessionInformationW(HANDLE server, DWORD sessionId, WTS_INFO_CLASS infoClass,
                              LPWSTR* buffer, DWORD* bytesReturned) {
    SYSTEM_API_CALL(L"wtsapi32.dll", WTSQuerySessionInformationW, FALSE, server, sessionId,
                    infoClass, buffer, bytesReturned);
}

void FreeMemory(PVOID memory) { SYSTEM_API_CALL_VOID(L"wtsapi32.dll", WTSFreeMemory, memory); }

}  // namespace wtsapi
