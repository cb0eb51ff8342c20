#include "net/download.h"

#include <windows.h>
#include <wininet.h>

#include <cwchar>
#include <memory>
#include <optional>

#include "net/http.h"
#include "sys/handle.h"
#include "sys/log.h"

namespace {

constexpr DWORD kChunkSize = 10240;

// A reconnect that brings no new bytes counts against this bound; one that brings bytes resets
// it. Without it a full disk, or a server that accepts every request and fails every read, would
// reconnect for ever.
constexpr int kReconnectsWithoutData = 5;

// The local file: opened for writing, shared with nobody, never deleted. Every chunk is flushed
// to the disk before the next read, so after any interruption the file holds a prefix of the
// content that the next call resumes from. Each operation reports failure with the last error
// set, like the system calls under it.
class LocalFile {
public:
    bool Open(const std::wstring& path) {
        handle_.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(handle_);
    }
    void Close() { handle_.reset(); }

    bool Length(ULONGLONG& length) const {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(handle_.get(), &size)) return false;
        length = static_cast<ULONGLONG>(size.QuadPart);
        return true;
    }
    bool SeekToEnd() {
        LARGE_INTEGER zero{};
        return ::SetFilePointerEx(handle_.get(), zero, nullptr, FILE_END) != 0;
    }
    // Cuts the file to length 0; the position is then 0.
    bool Empty() {
        LARGE_INTEGER zero{};
        return ::SetFilePointerEx(handle_.get(), zero, nullptr, FILE_BEGIN) &&
               ::SetEndOfFile(handle_.get());
    }
    // Writes all of `data` at the position and flushes it to the disk.
    bool Append(const char* data, DWORD size) {
        DWORD written = 0;
        if (!::WriteFile(handle_.get(), data, size, &written, nullptr)) return false;
        if (written != size) {
            ::SetLastError(ERROR_DISK_FULL);  // a short write to a disk file means no space
            return false;
        }
        return ::FlushFileBuffers(handle_.get()) != 0;
    }

private:
    UniqueFile handle_;
};

void AddRangeHeader(HINTERNET request, ULONGLONG length) {
    wchar_t header[64] = {};
    // Low 32 bits as a signed number: resumable files are below 2 GiB.
    _snwprintf(header, 63, L"Range:bytes=%d-", static_cast<int>(static_cast<DWORD>(length)));
    AddRequestHeader(request, header);
}

// The reply's Content-Length; 0 when it has none or it cannot be read.
DWORD QueryContentLength(HINTERNET request) {
    DWORD length = 0;
    DWORD size = sizeof length;
    if (!wininet::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                                 &length, &size, nullptr)) {
        return 0;
    }
    return length;
}

// The statuses whose body is taken: 200, and 206 where a range was asked for.
bool AcceptedStatus(DWORD status, bool ranged) {
    return status == HTTP_STATUS_OK || (status == HTTP_STATUS_PARTIAL_CONTENT && ranged);
}

// One call of GetUrlFile. Its two exits: Cleanup for every way out before the body (the file is
// kept as it is, "Connection failed"), Finish once the body has started (complete or not).
class FileDownload {
public:
    FileDownload(const std::wstring& url, const std::wstring& path, const UrlParts& parts,
                 ProgressCallback callback, void* context, int basePercent, int spanPercent)
        : path_(path),
          parts_(parts),
          flags_(RequestFlags(url, RequestKind::Download)),
          callback_(callback),
          context_(context),
          base_(basePercent),
          span_(spanPercent) {}

    DownloadResult Run();

private:
    DownloadResult StartBody();
    DownloadResult ReadBody();
    // Opens and sends a new request for the rest of the file after an error in the body.
    // Nothing when the body goes on; otherwise the download's end.
    std::optional<DownloadResult> Reconnect();
    // Takes a reply of 200 to a request that asked for a range: the content starts again from
    // its first byte, so the bytes already in the file go.
    bool RestartFile();

    void Release();  // closes the file and the handles, frees the buffer
    DownloadResult Cleanup();
    DownloadResult Cleanup(DownloadResult result) {
        result_ = result;
        return Cleanup();
    }
    DownloadResult Finish();
    DownloadResult Finish(DownloadResult result) {
        result_ = result;
        return Finish();
    }
    DownloadResult Abort(DWORD error);  // a local failure: "Exception Download failed"

    // span * downloaded / total: the product in 64 bits, the quotient cut to 32.
    DWORD Share() const;
    bool Complete() const { return downloaded_ == total_; }

    const std::wstring& path_;
    const UrlParts& parts_;
    const DWORD flags_;
    const ProgressCallback callback_;
    void* const context_;
    const int base_;
    const int span_;

    UniqueInternet internet_;
    UniqueInternet connection_;
    UniqueInternet request_;
    LocalFile file_;
    std::unique_ptr<char[]> buffer_;

    ULONGLONG downloaded_ = 0;
    DWORD total_ = 0;  // content length plus the bytes there were; wraps at 32 bits
    bool resumed_ = false;
    DownloadResult result_ = Download_failed_otherError;
};

DownloadResult FileDownload::Run() {
    InstallLog::WriteLine(L"GetUrlFile1");
    internet_ = OpenInternet();
    // Without an Internet handle nothing can be fetched: a failure like any other.
    if (!internet_) {
        InstallLog::WriteLine(L"Exception:%d", static_cast<int>(::GetLastError()));
        return Cleanup();
    }
    InstallLog::WriteLine(L"GetUrlFile2");

    connection_ = ConnectTo(internet_.get(), parts_);
    if (!connection_) {
        InstallLog::WriteLine(L"GetHttpConnection failed");
        return Cleanup();
    }
    request_ = OpenGetRequest(connection_.get(), parts_.object, flags_);
    if (!request_) {
        InstallLog::WriteLine(L"OpenRequest failed");
        return Cleanup();
    }

    if (!file_.Open(path_)) return Abort(::GetLastError());
    ULONGLONG length = 0;
    if (!file_.Length(length)) return Abort(::GetLastError());
    if (length > 0) {
        InstallLog::WriteLine(L"Resume download.");
        if (!file_.SeekToEnd()) return Abort(::GetLastError());
        AddRangeHeader(request_.get(), length);
        resumed_ = true;
    }

    InstallLog::WriteLine(L"GetUrlFile3");
    if (!SendRequest(request_.get())) {
        if (!resumed_) {
            InstallLog::WriteLine(L"SendRequest failed, return Download_failed_networkError");
            return Cleanup(Download_failed_networkError);
        }
        InstallLog::WriteLine(
            L"Partial_Download SendRequest failed, try SendRequest again without AddRequestHeaders");
        request_.reset();
        request_ = OpenGetRequest(connection_.get(), parts_.object, flags_);
        if (!request_) {
            InstallLog::WriteLine(L"OpenRequest failed");
            return Cleanup();
        }
        if (!SendRequest(request_.get())) {
            InstallLog::WriteLine(L"SendRequest failed, return Download_failed_networkError");
            return Cleanup(Download_failed_networkError);
        }
        if (!file_.Empty()) return Abort(::GetLastError());
    }
    return StartBody();
}

DownloadResult FileDownload::StartBody() {
    InstallLog::WriteLine(L"GetUrlFile3.5");
    DWORD status = QueryStatusCode(request_.get());
    InstallLog::WriteLine(L"QueryInfoStatusCode: %d", static_cast<int>(status));
    if (!AcceptedStatus(status, resumed_)) {
        InstallLog::WriteLine(L"!isPartial_Download  Download_failed_networkError");
        return Cleanup(Download_failed_networkError);
    }
    if (status == HTTP_STATUS_OK && !RestartFile()) return Abort(::GetLastError());

    InstallLog::WriteLine(L"GetUrlFile3.6");
    DWORD contentLength = QueryContentLength(request_.get());
    InstallLog::WriteLine(L"QueryInfo HTTP_QUERY_CONTENT_LENGTH: %d", static_cast<int>(contentLength));
    if (contentLength == 0) return Cleanup();

    InstallLog::WriteLine(L"GetUrlFile3.7");
    buffer_.reset(new char[kChunkSize]);
    InstallLog::WriteLine(L"GetUrlFile4");
    if (!file_.Length(downloaded_)) return Abort(::GetLastError());
    total_ = contentLength + static_cast<DWORD>(downloaded_);

    // The first report only shows where the download starts; its answer is not looked at.
    if (callback_) callback_(context_, base_ + static_cast<int>(Share()), Complete() ? 1 : 0);
    return ReadBody();
}

bool FileDownload::RestartFile() {
    ULONGLONG length = 0;
    if (!file_.Length(length)) return false;
    if (length == 0) return true;
    InstallLog::WriteLine(L"Range not honoured, download from the start");
    return file_.Empty();
}

DownloadResult FileDownload::ReadBody() {
    int reconnectsWithoutData = 0;
    for (;;) {
        DWORD read = 0;
        bool ok = wininet::InternetReadFile(request_.get(), buffer_.get(), kChunkSize, &read) != 0;
        if (ok && read == 0) {
            // A body that ends before (or runs past) the expected total.
            return Complete() ? Finish() : Finish(Download_failed_networkError);
        }
        if (ok) ok = file_.Append(buffer_.get(), read);
        if (ok) {
            downloaded_ += read;
            reconnectsWithoutData = 0;
            InstallLog::WriteLine(L"download : %d", static_cast<int>(static_cast<DWORD>(downloaded_ / 1024)));
            if (!callback_) continue;
            DWORD share = Share();
            if (share == 0 && !Complete()) continue;
            if (callback_(context_, base_ + static_cast<int>(share), Complete() ? 1 : 0)) continue;
            InstallLog::WriteLine(L"yes canceld\r\n");
            InstallLog::WriteLine(L"Canceled by user!");
            return Cleanup(Download_failed_otherError);
        }

        InstallLog::WriteLine(L"Exception:%d", static_cast<int>(::GetLastError()));
        if (++reconnectsWithoutData > kReconnectsWithoutData) {
            InstallLog::WriteLine(L"Too many reconnects without data, return Download_failed_networkError!");
            return Finish(Download_failed_networkError);
        }
        if (std::optional<DownloadResult> end = Reconnect()) return *end;
    }
}

std::optional<DownloadResult> FileDownload::Reconnect() {
    InstallLog::WriteLine(L"Retry connect network again");
    request_.reset();
    request_ = OpenGetRequest(connection_.get(), parts_.object, flags_);
    if (!request_) {
        InstallLog::WriteLine(L"Retry OpenRequest failed");
        return Finish();
    }
    // The file's length, not the count of bytes read, says where to go on: a write that failed
    // half-way may have left part of a chunk in the file.
    ULONGLONG length = 0;
    if (!file_.Length(length)) return Abort(::GetLastError());
    if (length > 0) {
        if (!file_.SeekToEnd()) return Abort(::GetLastError());
        AddRangeHeader(request_.get(), length);
    }
    if (!SendRequest(request_.get())) {
        InstallLog::WriteLine(L"Retry SendRequest failed, return Download_failed_networkError!");
        return Finish(Download_failed_networkError);
    }

    // A server may answer the range with the whole content, or not serve the file any more: the
    // body is only taken where it continues or restarts the file.
    DWORD status = QueryStatusCode(request_.get());
    InstallLog::WriteLine(L"QueryInfoStatusCode: %d", static_cast<int>(status));
    bool ranged = length > 0;
    if (!AcceptedStatus(status, ranged)) {
        InstallLog::WriteLine(L"!isPartial_Download  Download_failed_networkError");
        return Finish(Download_failed_networkError);
    }
    if (status == HTTP_STATUS_OK && ranged) {
        if (!RestartFile()) return Abort(::GetLastError());
        length = 0;
    }
    downloaded_ = length;
    return std::nullopt;
}

DWORD FileDownload::Share() const {
    if (total_ == 0) return 0;  // only when the length wrapped at 4 GiB
    LONGLONG product = static_cast<LONGLONG>(span_) * static_cast<LONGLONG>(downloaded_);
    return static_cast<DWORD>(static_cast<ULONGLONG>(product) / total_);
}

void FileDownload::Release() {
    file_.Close();
    buffer_.reset();
    request_.reset();
    connection_.reset();
    internet_.reset();
}

DownloadResult FileDownload::Cleanup() {
    Release();
    InstallLog::WriteLine(L"Connection failed: " + path_);
    return result_;
}

DownloadResult FileDownload::Finish() {
    Release();
    InstallLog::WriteLine(L"Thread end 0");
    if (Complete()) {
        InstallLog::WriteLine(L"Download_ok");
        return Download_ok;
    }
    InstallLog::WriteLine(L"Download failed: " + path_);
    return result_;
}

DownloadResult FileDownload::Abort(DWORD error) {
    InstallLog::WriteLine(L"Exception:%d", static_cast<int>(error));
    InstallLog::WriteLine(L"Exception Download failed: " + path_);
    return Cleanup(Download_failed_networkError);
}

}  // namespace

DownloadResult GetUrlFile(const std::wstring& url, const std::wstring& path,
                          ProgressCallback callback, void* context, int basePercent,
                          int spanPercent) {
    InstallLog::WriteLine(L"GetUrlFile");
    if (url.empty() || path.empty()) return Download_failed_otherError;
    UrlParts parts;
    if (!SplitUrl(url, parts)) return Download_failed_otherError;
    return FileDownload(url, path, parts, callback, context, basePercent, spanPercent).Run();
}
