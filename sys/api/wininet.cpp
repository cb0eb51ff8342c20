#include "sys/api/wininet.h"

#include "sys/api/system_dll_impl.h"

namespace wininet {
namespace {
constexpr const wchar_t* kDll = L"wininet.dll";
}

BOOL InternetCanonicalizeUrlW(LPCWSTR url, LPWSTR buffer, LPDWORD bufferLength, DWORD flags) {
    SYSTEM_API_CALL(kDll, InternetCanonicalizeUrlW, FALSE, url, buffer, bufferLength, flags);
}

BOOL InternetCrackUrlW(LPCWSTR url, DWORD urlLength, DWORD flags, LPURL_COMPONENTSW components) {
    SYSTEM_API_CALL(kDll, InternetCrackUrlW, FALSE, url, urlLength, flags, components);
}

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass,
                        DWORD flags) {
    SYSTEM_API_CALL(kDll, InternetOpenW, nullptr, agent, accessType, proxy, proxyBypass, flags);
}

BOOL InternetSetOptionW(HINTERNET internet, DWORD option, LPVOID buffer, DWORD bufferLength) {
    SYSTEM_API_CALL(kDll, InternetSetOptionW, FALSE, internet, option, buffer, bufferLength);
}

HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR serverName, INTERNET_PORT serverPort,
                           LPCWSTR userName, LPCWSTR password, DWORD service, DWORD flags,
                           DWORD_PTR context) {
    SYSTEM_API_CALL(kDll, InternetConnectW, nullptr, internet, serverName, serverPort, userName,
                    password, service, flags, context);
}

HINTERNET HttpOpenRequestW(HINTERNET connect, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                           LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags,
                           DWORD_PTR context) {
    SYSTEM_API_CALL(kDll, HttpOpenRequestW, nullptr, connect, verb, objectName, version, referrer,
                    acceptTypes, flags, context);
}

BOOL HttpAddRequestHeadersW(HINTERNET request, LPCWSTR headers, DWORD headersLength,
                            DWORD modifiers) {
    SYSTEM_API_CALL(kDll, HttpAddRequestHeadersW, FALSE, request, headers, headersLength,
                    modifiers);
}

BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength) {
    SYSTEM_API_CALL(kDll, HttpSendRequestW, FALSE, request, headers, headersLength, optional,
                    optionalLength);
}

BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                    LPDWORD index) {
    SYSTEM_API_CALL(kDll, HttpQueryInfoW, FALSE, request, infoLevel, buffer, bufferLength, index);
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD numberOfBytesToRead,
                      LPDWORD numberOfBytesRead) {
    SYSTEM_API_CALL(kDll, InternetReadFile, FALSE, file, buffer, numberOfBytesToRead,
                    numberOfBytesRead);
}

BOOL InternetCloseHandle(HINTERNET internet) {
    SYSTEM_API_CALL(kDll, InternetCloseHandle, FALSE, internet);
}

BOOL InternetGetConnectedState(LPDWORD flags, DWORD reserved) {
    SYSTEM_API_CALL(kDll, InternetGetConnectedState, FALSE, flags, reserved);
}

}  // namespace wininet
