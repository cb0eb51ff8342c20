#pragma once
// Resumable file download over HTTP and HTTPS. A file that already holds bytes is continued with
// a range request; an error in the middle of the body reconnects and goes on where the file ends.
// The file is never deleted: whatever arrived stays for the next call, and its contents are
// judged afterwards by CheckDownloadFile. Every step writes a line to the install log.
#include <cstdint>
#include <string>

enum DownloadResult : int32_t {
    Download_ok = 0,                   // the file holds exactly the expected number of bytes
    Download_failed_networkError = 1,  // may be a lost network: callers ask the system
    Download_failed_otherError = 3,    // never started, no usable length, or stopped by the callback
};

// Called between two reads with the caller's context, the percentage reached and 1 once the file
// is complete (else 0). Returning false stops the download.
using ProgressCallback = bool (*)(void* context, int percent, int finished);

// Downloads `url` into `path` (created when missing, existing bytes resumed from). The callback
// (may be null) sees basePercent + spanPercent * downloaded / total.
DownloadResult GetUrlFile(const std::wstring& url, const std::wstring& path,
                          ProgressCallback callback, void* context, int basePercent,
                          int spanPercent);
