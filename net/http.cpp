#include "net/http.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "sys/clock.h"
#include "sys/files.h"
#include "sys/log.h"

namespace {

constexpr DWORD kTimeoutMs = 60000;
constexpr DWORD kConnectRetries = 3;
constexpr int kSendAttempts = 3;
constexpr DWORD kContentReadSize = 1024;
// A release record is a few hundred bytes. A longer reply is not one, and reading it whole could
// exhaust the memory of the process.
constexpr size_t kMaxContentBytes = 1024 * 1024;

constexpr DWORD kPlainFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
// No INTERNET_FLAG_IGNORE_CERT_CN_INVALID or INTERNET_FLAG_IGNORE_CERT_DATE_INVALID: the release
// records and the files they point to are only as trustworthy as the server that sent them, so a
// certificate for another host or out of its validity dates must fail the request.
constexpr DWORD kSecureJsonFlags = kPlainFlags | INTERNET_FLAG_SECURE | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr DWORD kSecureDownloadFlags = kSecureJsonFlags | INTERNET_FLAG_CACHE_ASYNC;

const wchar_t* const kJsonHeaders[] = {
    L"Accept: */*,application/json",
    L"Accept-Charset:UTF8",
    L"Accept-Language: zh-cn;q=0.8,en;q=0.6,ja;q=0.4",
    L"Content-Type:application/json",
};

// The agent string: the running executable's file name without its extension.
std::wstring AgentName() {
    std::wstring name = GetModulePathParts().fileName;
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

// A pseudo-random wait of 500 to 5000 ms: k in 1000..10000 taken as k / 1000 half-seconds.
DWORD BackOffMilliseconds() {
    int r = DrawRandom();
    int k = 1000 + r % 9001;
    float halfSeconds = static_cast<float>(k / 1000.0);
    return static_cast<DWORD>(halfSeconds * 500);
}

std::wstring Utf8ToWide(const std::string& bytes) {
    int length = ::MultiByteToWideChar(CP_UTF8, 0, bytes.c_str(), -1, nullptr, 0);
    if (length <= 0) return {};
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.c_str(), -1, text.data(), length);
    return text.data();
}

// Handles of one transfer; members end in reverse order: request, connection, Internet handle.
struct Transfer {
    UniqueInternet internet;
    UniqueInternet connection;
    UniqueInternet request;
    void Close() {
        request.reset();
        connection.reset();
        internet.reset();
    }
};

enum class ReadOutcome { Complete, Failed, TooLong };

// Reads the whole body in pieces of at most 1024 bytes. A piece is taken up to its first zero
// byte, as the text it is meant to be. Failed when a read fails (the last error tells why);
// TooLong as soon as the body passes kMaxContentBytes.
ReadOutcome ReadContent(HINTERNET request, std::string& body) {
    char buffer[kContentReadSize + 1] = {};
    size_t received = 0;
    for (;;) {
        DWORD read = 0;
        if (!wininet::InternetReadFile(request, buffer, kContentReadSize, &read)) {
            return ReadOutcome::Failed;
        }
        if (read == 0) return ReadOutcome::Complete;
        received += read;
        if (received > kMaxContentBytes) return ReadOutcome::TooLong;
        buffer[read] = '\0';
        body += buffer;
        std::memset(buffer, 0, sizeof buffer);
    }
}

}  // namespace

bool IsSecureUrl(const std::wstring& url) { return url.find(L':') == 5; }

DWORD RequestFlags(const std::wstring& url, RequestKind kind) {
    if (!IsSecureUrl(url)) return kPlainFlags;
    return kind == RequestKind::Json ? kSecureJsonFlags : kSecureDownloadFlags;
}

bool SplitUrl(const std::wstring& url, UrlParts& parts) {
    DWORD length = static_cast<DWORD>(url.size()) * 3 + 64;
    std::vector<wchar_t> canonical(length, L'\0');
    if (!wininet::InternetCanonicalizeUrlW(url.c_str(), canonical.data(), &length,
                                           ICU_BROWSER_MODE)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        canonical.assign(static_cast<size_t>(length) + 1, L'\0');
        length = static_cast<DWORD>(canonical.size());
        if (!wininet::InternetCanonicalizeUrlW(url.c_str(), canonical.data(), &length,
                                               ICU_BROWSER_MODE)) {
            return false;
        }
    }

    // Non-zero lengths with null pointers: the parts come back as pointers into `canonical`.
    URL_COMPONENTSW components{};
    components.dwStructSize = sizeof components;
    components.dwHostNameLength = 1;
    components.dwUrlPathLength = 1;
    components.dwExtraInfoLength = 1;
    if (!wininet::InternetCrackUrlW(canonical.data(), 0, 0, &components)) return false;
    if (!components.lpszHostName || components.dwHostNameLength == 0) return false;

    parts.host.assign(components.lpszHostName, components.dwHostNameLength);
    parts.port = components.nPort;
    parts.object.clear();
    if (components.lpszUrlPath) parts.object.assign(components.lpszUrlPath, components.dwUrlPathLength);
    if (components.lpszExtraInfo) {
        parts.object.append(components.lpszExtraInfo, components.dwExtraInfoLength);
    }
    return true;
}

UniqueInternet OpenInternet() {
    UniqueInternet internet(wininet::InternetOpenW(AgentName().c_str(),
                                                   INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                                   nullptr, 0));
    if (!internet) return internet;
    const DWORD options[][2] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, kTimeoutMs},
        {INTERNET_OPTION_SEND_TIMEOUT, kTimeoutMs},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, kTimeoutMs},
        {INTERNET_OPTION_CONNECT_RETRIES, kConnectRetries},
    };
    for (const auto& option : options) {
        DWORD value = option[1];
        wininet::InternetSetOptionW(internet.get(), option[0], &value, sizeof value);
    }
    return internet;
}

UniqueInternet ConnectTo(HINTERNET internet, const UrlParts& parts) {
    return UniqueInternet(wininet::InternetConnectW(internet, parts.host.c_str(), parts.port,
                                                    nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                                                    0));
}

UniqueInternet OpenGetRequest(HINTERNET connection, const std::wstring& object, DWORD flags) {
    return UniqueInternet(wininet::HttpOpenRequestW(connection, L"GET", object.c_str(),
                                                    L"HTTP/1.0", nullptr, nullptr, flags, 0));
}

void AddRequestHeader(HINTERNET request, const std::wstring& header) {
    wininet::HttpAddRequestHeadersW(request, header.c_str(), static_cast<DWORD>(header.size()),
                                    HTTP_ADDREQ_FLAG_ADD_IF_NEW);
}

bool SendRequest(HINTERNET request) {
    int failures = 0;
    for (;;) {
        InstallLog::WriteLine(L"SendRequest");
        bool sent = wininet::HttpSendRequestW(request, nullptr, 0, nullptr, 0) != 0;
        // A connection closed before any reply is a failed send. Windows reports it so; Wine's
        // WinINet reports a sent request without a status line, which would otherwise end the
        // transfer as a refused status instead of trying again.
        if (sent && QueryStatusCode(request) == 0) {
            sent = false;
            ::SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
        }
        if (sent) {
            InstallLog::WriteLine(L"SendRequest success!");
            return true;
        }
        DWORD error = ::GetLastError();
        ++failures;
        InstallLog::WriteLine(L"SendRequest Exception:%d", static_cast<int>(error));
        DWORD wait = BackOffMilliseconds();
        SleepFor(wait);
        InstallLog::WriteLine(L"Sleep: %d ms", static_cast<int>(wait));
        if (failures >= kSendAttempts) return false;
    }
}

DWORD QueryStatusCode(HINTERNET request) {
    wchar_t text[40] = {};
    DWORD length = sizeof text;
    if (!wininet::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, text, &length, nullptr)) return 0;
    return static_cast<DWORD>(std::wcstoul(text, nullptr, 10));
}

std::wstring GetUrlContent(const std::wstring& url) {
    InstallLog::WriteLine(L"GetUrlContent");
    InstallLog::WriteLine(url);
    if (url.empty()) return {};

    UrlParts parts;
    if (!SplitUrl(url, parts)) return {};

    Transfer transfer;
    auto fail = [&transfer]() {
        transfer.Close();
        InstallLog::WriteLine(L"GetUrlContent failed");
        return std::wstring();
    };
    auto failWithError = [&fail](DWORD error) {
        InstallLog::WriteLine(L"Exception:%d", static_cast<int>(error));
        return fail();
    };

    InstallLog::WriteLine(L"GetUrlContent1");
    transfer.internet = OpenInternet();
    // Without an Internet handle nothing can be fetched: the same failure as any other.
    if (!transfer.internet) return failWithError(::GetLastError());
    InstallLog::WriteLine(L"GetUrlContent2");

    transfer.connection = ConnectTo(transfer.internet.get(), parts);
    if (!transfer.connection) {
        InstallLog::WriteLine(L"GetHttpConnection failed");
        return fail();
    }
    transfer.request = OpenGetRequest(transfer.connection.get(), parts.object,
                                      RequestFlags(url, RequestKind::Json));
    if (!transfer.request) {
        InstallLog::WriteLine(L"OpenRequest failed");
        return fail();
    }
    for (const wchar_t* header : kJsonHeaders) AddRequestHeader(transfer.request.get(), header);

    InstallLog::WriteLine(L"GetUrlContent3");
    if (!SendRequest(transfer.request.get())) {
        InstallLog::WriteLine(L"Fail to send request");
        return fail();
    }

    InstallLog::WriteLine(L"GetUrlContent3.5");
    DWORD status = QueryStatusCode(transfer.request.get());
    InstallLog::WriteLine(L"QueryInfoStatusCode: %d", static_cast<int>(status));
    if (status != HTTP_STATUS_OK) return fail();

    InstallLog::WriteLine(L"GetUrlContent3.6");
    std::string body;
    switch (ReadContent(transfer.request.get(), body)) {
        case ReadOutcome::Complete: break;
        case ReadOutcome::Failed: return failWithError(::GetLastError());
        case ReadOutcome::TooLong:
            InstallLog::WriteLine(L"Reply longer than %d bytes, not a release record",
                                  static_cast<int>(kMaxContentBytes));
            return fail();
    }
    std::wstring text = Utf8ToWide(body);

    transfer.Close();
    InstallLog::WriteLine(L"Download ok");
    return text;
}
