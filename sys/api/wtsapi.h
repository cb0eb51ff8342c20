#pragma once
// Terminal Services (wtsapi32.dll), loaded from the system folder.
#include <windows.h>
#include <wtsapi32.h>

namespace wtsapi {
BOOL QuerySessionInformationW(HANDLE server, DWORD sessionId, WTS_INFO_CLASS infoClass,
                              LPWSTR* buffer, DWORD* bytesReturned);
void FreeMemory(PVOID memory);
}  // namespace wtsapi
