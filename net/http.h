#pragma once
// HTTP and HTTPS requests over WinINet: the request set-up that every transfer shares (splitting
// the URL, an Internet handle with fixed time-outs, the connection, a GET request with fixed
// flags), sending with a bounded number of attempts, and fetching one JSON document as text.
// Every step writes a line to the install log; callers get only the result.
#include <windows.h>
#include <wininet.h>

#include <string>

#include "sys/api/wininet.h"

// GETs `url` (absolute) and returns the body of a 200 reply converted from UTF-8 (a malformed
// sequence becomes U+FFFD). Every failure, and an empty body, gives an empty text; the reason is
// in the install log. Opens and closes its own handles: nothing is kept between calls.
std::wstring GetUrlContent(const std::wstring& url);

// --- The pieces below are shared with the file download (net/download.cpp). ---

enum class RequestKind { Json, Download };

// Secure exactly when the first ':' of the URL stands at index 5, as after "https" in any letter
// case; a URL without ':' is plain.
bool IsSecureUrl(const std::wstring& url);

// The flags a GET request for `url` is opened with. Plain requests always reload and never write
// the cache; secure ones add TLS and no-cache, and downloads also the asynchronous cache flag.
// Certificates are always checked: a wrong host name or an expired certificate fails the send.
DWORD RequestFlags(const std::wstring& url, RequestKind kind);

struct UrlParts {
    std::wstring host;
    INTERNET_PORT port = 0;  // the scheme's default port when the URL names none
    std::wstring object;     // path and query
};

// Canonicalises `url` (browser mode) and splits it. False when it cannot be split.
bool SplitUrl(const std::wstring& url, UrlParts& parts);

// A new Internet handle (system proxy settings, the running executable's name as agent) with the
// connect, send and receive time-outs of 60 s and 3 connect retries. Empty on failure.
UniqueInternet OpenInternet();

// The HTTP connection to the host and port of `parts`; empty on failure.
UniqueInternet ConnectTo(HINTERNET internet, const UrlParts& parts);

// A "GET <object> HTTP/1.0" request with `flags`; empty on failure.
UniqueInternet OpenGetRequest(HINTERNET connection, const std::wstring& object, DWORD flags);

// Adds one header line (without CR LF) unless a header of that name is already set; the outcome
// is not looked at.
void AddRequestHeader(HINTERNET request, const std::wstring& header);

// Sends `request` (no extra headers, no body), at most three times. Every failed attempt is
// followed by a pseudo-random wait of 500 to 5000 ms from the process clock. True once sent.
bool SendRequest(HINTERNET request);

// The status code of the reply; 0 when it cannot be read.
DWORD QueryStatusCode(HINTERNET request);
