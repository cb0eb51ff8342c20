// Download benchmark, run under Wine by tools/bench-download.sh against the fixture server:
//   download_bench.exe <url> <file> <sha1> <size>
// Downloads <url> into <file> with GetUrlFile, checks it with CheckDownloadFile, and prints the
// figures (throughput, peak working set) as "name value" lines. Then it times the pieces a
// download is made of, one chunk's worth at a time (read, write and flush, log line), so that the
// figures say where the time goes.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/digest.h"
#include "net/download.h"
#include "net/http.h"
#include "sys/api/wininet.h"
#include "sys/handle.h"
#include "sys/log.h"
#include "tests/support/test_support.h"

namespace {

constexpr DWORD kChunk = 10240;

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double MiB(ULONGLONG bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

SIZE_T WorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

// The largest working set seen while the download runs, sampled every 10 ms by a thread.
struct WorkingSetWatch {
    volatile bool stop = false;
    SIZE_T peak = 0;
    UniqueHandle thread;

    static DWORD WINAPI Run(void* self) {
        auto* watch = static_cast<WorkingSetWatch*>(self);
        while (!watch->stop) {
            SIZE_T now = WorkingSet();
            if (now > watch->peak) watch->peak = now;
            ::Sleep(10);
        }
        return 0;
    }
    void Start() { thread.reset(::CreateThread(nullptr, 0, &Run, this, 0, nullptr)); }
    void Stop() {
        stop = true;
        ::WaitForSingleObject(thread.get(), INFINITE);
    }
};

ULONGLONG FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The WinINet reads of a download without the file and the log: the network's share.
double TimeReadsOnly(const std::wstring& url, ULONGLONG& bytes) {
    UrlParts parts;
    if (!SplitUrl(url, parts)) return 0;
    UniqueInternet internet = OpenInternet();
    UniqueInternet connection = ConnectTo(internet.get(), parts);
    UniqueInternet request =
        OpenGetRequest(connection.get(), parts.object, RequestFlags(url, RequestKind::Download));
    double start = Seconds();
    if (!wininet::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return 0;
    std::vector<char> buffer(kChunk);
    bytes = 0;
    for (;;) {
        DWORD read = 0;
        if (!wininet::InternetReadFile(request.get(), buffer.data(), kChunk, &read) || read == 0) break;
        bytes += read;
    }
    return Seconds() - start;
}

// Writing and flushing `count` chunks of 10 KiB to a new file: the disk's share.
double TimeWriteAndFlush(const std::wstring& path, int count) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<char> chunk(kChunk, 'x');
    double start = Seconds();
    for (int i = 0; i < count; ++i) {
        DWORD written = 0;
        ::WriteFile(file.get(), chunk.data(), kChunk, &written, nullptr);
        ::FlushFileBuffers(file.get());
    }
    double elapsed = Seconds() - start;
    file.reset();
    ::DeleteFileW(path.c_str());
    return elapsed;
}

// `count` lines of the install log: the log's share.
double TimeLogLines(int count) {
    double start = Seconds();
    for (int i = 0; i < count; ++i) InstallLog::WriteLine(L"download : %d", i);
    return Seconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: download_bench <url> <file> <sha1> <size>\n");
        return 2;
    }
    const std::wstring url = Widen(argv[1]);
    const std::wstring path = Widen(argv[2]);
    const std::wstring sha1 = Widen(argv[3]);
    const int size = std::atoi(argv[4]);
    ::DeleteFileW(path.c_str());

    std::printf("peak_working_set_before_mib %.1f\n", MiB(PeakWorkingSet()));
    WorkingSetWatch watch;
    watch.Start();
    double start = Seconds();
    DownloadResult result = GetUrlFile(url, path, nullptr, nullptr, 0, 100);
    double download = Seconds() - start;
    watch.Stop();
    ULONGLONG bytes = FileSize(path);
    std::printf("download_result %d\n", static_cast<int>(result));
    std::printf("download_bytes %llu\n", bytes);
    std::printf("download_seconds %.3f\n", download);
    std::printf("download_mib_per_s %.1f\n", MiB(bytes) / download);
    std::printf("working_set_during_download_max_mib %.1f\n", MiB(watch.peak));
    std::printf("peak_working_set_after_mib %.1f\n", MiB(PeakWorkingSet()));

    start = Seconds();
    bool ok = CheckDownloadFile(path, sha1, size);
    double check = Seconds() - start;
    std::printf("check_ok %d\n", ok ? 1 : 0);
    std::printf("check_seconds %.3f\n", check);
    std::printf("check_mib_per_s %.1f\n", MiB(bytes) / check);

    // Where the time of the download goes, measured piece by piece for the same number of chunks.
    const int chunks = static_cast<int>((bytes + kChunk - 1) / kChunk);
    ULONGLONG readBytes = 0;
    double reads = TimeReadsOnly(url, readBytes);
    std::printf("reads_only_seconds %.3f\n", reads);
    std::printf("reads_only_mib_per_s %.1f\n", reads > 0 ? MiB(readBytes) / reads : 0.0);
    std::printf("write_and_flush_seconds %.3f\n", TimeWriteAndFlush(path + L".probe", chunks));
    std::printf("log_lines_seconds %.3f\n", TimeLogLines(chunks));
    std::printf("chunks %d\n", chunks);
    return result == Download_ok && ok ? 0 : 1;
}
