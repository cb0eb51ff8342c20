#include "tests/support/test_support.h"

#include "sys/files.h"
#include "sys/log.h"

FakeClock::FakeClock() : previous_(SetClock(this)) {}
FakeClock::~FakeClock() { SetClock(previous_); }

void FakeClock::Sleep(DWORD milliseconds) {
    sleeps.push_back(milliseconds);
    ticks += milliseconds;
    if (onSleep) onSleep(milliseconds);
}
ULONGLONG FakeClock::TickCount() { return ticks; }
SYSTEMTIME FakeClock::LocalTime() { return now; }
int FakeClock::Rand() {
    if (randValues.empty()) return 0;
    int value = randValues[nextRand_ < randValues.size() ? nextRand_ : randValues.size() - 1];
    ++nextRand_;
    return value;
}

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    path_ = std::wstring(temp) + L"telvista-test-" + std::to_wstring(::GetCurrentProcessId()) +
            L"-" + std::to_wstring(::InterlockedIncrement(&counter));
    RemoveFolder(path_);
    MakePathExist(path_);
}

ScratchFolder::~ScratchFolder() {
    // Read-only files would keep the folder: clear the attribute everywhere first.
    std::vector<std::wstring> pending{path_};
    while (!pending.empty()) {
        std::wstring folder = pending.back();
        pending.pop_back();
        WIN32_FIND_DATAW entry{};
        UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
        if (!find) continue;
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = folder + L"\\" + name;
            ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                pending.push_back(full);
            }
        } while (::FindNextFileW(find.get(), &entry));
    }
    RemoveFolder(path_);
}

std::string ReadFileBytes(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

LogMark::LogMark() : offset_(ReadFileBytes(InstallLog::LogFilePath()).size()) {}

std::string LogMark::NewBytes() const {
    std::string all = ReadFileBytes(InstallLog::LogFilePath());
    return all.size() > offset_ ? all.substr(offset_) : std::string();
}

std::vector<std::string> LogMark::NewMessages() const {
    std::vector<std::string> messages;
    std::string bytes = NewBytes();
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        size_t separator = line.find(" - ");
        messages.push_back(separator == std::string::npos ? line : line.substr(separator + 3));
        start = end + 2;
    }
    return messages;
}

std::wstring TestBinaryFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full = path;
    return full.substr(0, full.rfind(L'\\'));
}

UniqueHandle StartProcess(const std::wstring& exe, const std::wstring& arguments,
                          const std::wstring& folder) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        return UniqueHandle();
    }
    ::CloseHandle(info.hThread);
    return UniqueHandle(info.hProcess);
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                          size, nullptr, nullptr);
    return result;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0);
    std::wstring result(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                          size);
    return result;
}
