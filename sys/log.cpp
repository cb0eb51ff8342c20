#include "sys/log.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "sys/clock.h"
#include "sys/files.h"
#include "sys/handle.h"
#include "sys/never_destroyed.h"

namespace InstallLog {
namespace {

// Another thread or process may hold the file for the instant it takes to append its line; a
// writer that finds it busy tries again for about 100 ms before it gives up its own line.
constexpr int kOpenAttempts = 20;
constexpr DWORD kOpenRetryMs = 5;

// The process account's AppData folder does not change while the process runs, and asking the
// shell for it costs more than writing a line (under Wine a walk through the registry): it is
// asked once. An empty answer stays empty.
const std::wstring& LogFolder() {
    static NeverDestroyed<const std::wstring> folder([] {
        wchar_t appData[MAX_PATH] = {};
        if (!::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE) || !appData[0]) {
            return std::wstring();
        }
        return std::wstring(appData) + L"\\Orvane\\Telvista\\Log";
    }());
    return *folder;
}

void Append(const std::string& bytes) {
    const std::wstring& folder = LogFolder();
    if (folder.empty()) return;
    const std::wstring path = folder + L"\\Install.log";

    bool folderMade = false;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        // Readers may look; no other writer may open the file while this line goes in, so lines
        // never interleave.
        UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;
            ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                        nullptr);
            return;
        }
        DWORD error = ::GetLastError();
        // The folders are made when they are missing, also when someone deleted them while the
        // installer runs; checking them on every line would cost as much as the line itself.
        if (error == ERROR_PATH_NOT_FOUND && !folderMade) {
            folderMade = true;
            MakePathExist(folder);
            continue;
        }
        if (error != ERROR_SHARING_VIOLATION) return;
        SleepFor(kOpenRetryMs);
    }
}

void Write(const std::wstring& message) { Append(EncodeLine(FormatStamp(LocalTimeNow()), message)); }

}  // namespace

std::wstring FormatStamp(const SYSTEMTIME& time) {
    wchar_t stamp[100] = {};
    _snwprintf(stamp, 99, L"%04u-%02u-%02u, %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay,
               time.wHour, time.wMinute, time.wSecond);
    return stamp;
}

std::string EncodeLine(const std::wstring& stamp, const std::wstring& message) {
    std::wstring line = stamp + L" - " + message + L"\n";
    std::string bytes;
    bytes.reserve(line.size() + line.size() / 8);
    for (wchar_t c : line) {
        if (c == L'\n') {
            bytes += "\r\n";
        } else if (c <= 0xFF) {
            bytes += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            bytes += escape;
        }
    }
    return bytes;
}

std::wstring LogFilePath() {
    const std::wstring& folder = LogFolder();
    return folder.empty() ? folder : folder + L"\\Install.log";
}

void WriteLine(const std::wstring& text) { Write(text); }

void WriteLine(const wchar_t* text) { Write(text ? text : L""); }

void WriteFormatted(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = _vscwprintf(format, measure);
    va_end(measure);
    std::wstring message;
    if (length > 0) {
        std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
        _vsnwprintf(buffer.data(), buffer.size(), format, args);
        message.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(args);
    Write(message);
}

}  // namespace InstallLog
