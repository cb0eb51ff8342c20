#include "sys/log.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "sys/files.h"
#include "sys/handle.h"
#include "sys/paths.h"
#include "tests/support/test_support.h"

namespace {

struct EncodeCase {
    const wchar_t* message;
    std::string bytes;
};

TEST(InstallLog, EncodesLinesAsSingleByteTextWithCrLf) {
    const std::string stamp = "2025-01-07, 09:05:03 - ";
    const EncodeCase cases[] = {
        {L"Found process", stamp + "Found process\r\n"},
        {L"", stamp + "\r\n"},
        {L"ends with a newline\n", stamp + "ends with a newline\r\n\r\n"},
        {L"already CR LF\r\n", stamp + "already CR LF\r\r\n\r\n"},
        {L"a\nb", stamp + "a\r\nb\r\n"},
        {L"100% %s %d", stamp + "100% %s %d\r\n"},
        {L"caf\u00e9 \u00ff", stamp + "caf\xe9 \xff\r\n"},
        {L"C:\\Users\\\u4e2d\u6587", stamp + "C:\\Users\\\\u4E2D\\u6587\r\n"},
        {L"\U0001F600", stamp + "\\uD83D\\uDE00\r\n"},
    };
    SYSTEMTIME at{2025, 1, 2, 7, 9, 5, 3, 0};
    for (const EncodeCase& c : cases) {
        EXPECT_EQ(InstallLog::EncodeLine(InstallLog::FormatStamp(at), c.message), c.bytes)
            << testing::PrintToString(std::wstring(c.message));
    }
}

TEST(InstallLog, StampHasFixedWidthFields) {
    SYSTEMTIME at{2024, 12, 0, 31, 23, 59, 58, 999};
    EXPECT_EQ(InstallLog::FormatStamp(at), L"2024-12-31, 23:59:58");
}

TEST(InstallLog, FirstLineCreatesFolderAndFile) {
    const std::wstring path = InstallLog::LogFilePath();
    ASSERT_FALSE(path.empty());
    const std::wstring folder = path.substr(0, path.rfind(L'\\'));
    InstallLog::WriteLine(L"a line before the folders go");
    // The whole chain goes, as if deleted while the installer runs: the next line makes it again.
    const std::wstring chain = folder.substr(0, folder.find(L"\\Orvane\\") + 7);
    RemoveFolder(chain);
    ASSERT_FALSE(PathExists(chain));

    FakeClock clock;
    clock.now = SYSTEMTIME{2025, 1, 2, 7, 9, 5, 3, 0};
    InstallLog::WriteLine(L"Found process");
    EXPECT_EQ(ReadFileBytes(path), "2025-01-07, 09:05:03 - Found process\r\n");
    EXPECT_NE(path.find(L"\\Orvane\\Telvista\\Log\\Install.log"), std::wstring::npos);
}

TEST(InstallLog, TextIsVerbatimAndFormatsUsePlatformRules) {
    FakeClock clock;
    LogMark mark;
    InstallLog::WriteLine(L"GET http://h/a%20b?x=%s%d");
    InstallLog::WriteLine(std::wstring(L"path with 50% off"));
    InstallLog::WriteLine(L"copy file from %s to %s", L"C:\\a", L"D:\\b");
    InstallLog::WriteLine(L"PID = %d, size %ld", -42, 7L);
    EXPECT_EQ(mark.NewBytes(),
              "2025-01-07, 09:05:03 - GET http://h/a%20b?x=%s%d\r\n"
              "2025-01-07, 09:05:03 - path with 50% off\r\n"
              "2025-01-07, 09:05:03 - copy file from C:\\a to D:\\b\r\n"
              "2025-01-07, 09:05:03 - PID = -42, size 7\r\n");
}

TEST(InstallLog, LongMessageIsWrittenWhole) {
    LogMark mark;
    std::wstring big(100000, L'x');
    InstallLog::WriteLine(L"%s", big.c_str());
    auto messages = mark.NewMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].size(), big.size());
}

TEST(InstallLog, WriterWaitsForFileHeldByAnother) {
    InstallLog::WriteLine(L"make sure the file exists");
    LogMark mark;
    UniqueFile held(::CreateFileW(InstallLog::LogFilePath().c_str(), FILE_APPEND_DATA, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    std::thread release([&] {
        ::Sleep(30);
        held.reset();
    });
    InstallLog::WriteLine(L"written after the other writer let go");
    release.join();
    EXPECT_EQ(mark.NewMessages(), std::vector<std::string>{"written after the other writer let go"});
}

TEST(InstallLog, ConcurrentWritersKeepEveryLineWhole) {
    LogMark mark;
    constexpr int kLines = 150;
    auto writer = [](const wchar_t* name) {
        for (int i = 0; i < kLines; ++i) InstallLog::WriteLine(L"%s line %d of this writer", name, i);
    };
    std::thread a(writer, L"first");
    std::thread b(writer, L"second");
    a.join();
    b.join();
    std::set<std::string> seen;
    for (const std::string& message : mark.NewMessages()) seen.insert(message);
    EXPECT_EQ(seen.size(), 2u * kLines);
    for (int i = 0; i < kLines; ++i) {
        EXPECT_TRUE(seen.count("first line " + std::to_string(i) + " of this writer"));
        EXPECT_TRUE(seen.count("second line " + std::to_string(i) + " of this writer"));
    }
}

// The process ends (as the installer does once its window has closed) while a worker thread still
// writes lines and reads the folders: every line it got in is whole and names the right folder,
// and no file or folder appears anywhere else (a destroyed path text would put the log or the
// folders wherever it pointed, the current folder or the root of the drive among them).
TEST(InstallLog, AProcessEndingUnderALoggingWorkerKeepsEveryLineWhole) {
    ResolveInstallPaths();
    const std::string temp = Narrow(CurrentInstallPaths().tempFolder);
    ScratchFolder current;
    const bool rootLogBefore = PathExists(L"C:\\Install.log");
    const std::regex stamp(R"(^\d{4}-\d\d-\d\d, \d\d:\d\d:\d\d - )");
    const std::string workerLine = "worker line ";

    LogMark mark;
    int workerLines = 0;
    for (int run = 0; run < 20; ++run) {
        UniqueHandle process = StartProcess(TestBinaryFolder() + L"\\exit_logger.exe",
                                            std::to_wstring(5 + run * 7), current.path());
        ASSERT_TRUE(process);
        ASSERT_EQ(::WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
        DWORD code = 1;
        ::GetExitCodeProcess(process.get(), &code);
        EXPECT_EQ(code, 0u) << "run " << run;
    }

    const std::string bytes = mark.NewBytes();
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    size_t start = 0;
    for (size_t end = bytes.find("\r\n"); end != std::string::npos;
         start = end + 2, end = bytes.find("\r\n", start)) {
        const std::string line = bytes.substr(start, end - start);
        ASSERT_TRUE(std::regex_search(line, stamp)) << line;
        const std::string message = line.substr(23);
        if (message.rfind(workerLine, 0) != 0) continue;  // the start-up lines of the folders
        ++workerLines;
        const size_t number = message.find(' ', workerLine.size());
        ASSERT_NE(number, std::string::npos) << message;
        EXPECT_EQ(message.substr(number), " temp " + temp) << message;
    }
    EXPECT_EQ(start, bytes.size()) << "a line without its end";
    EXPECT_GE(workerLines, 20 * 5);

    WIN32_FIND_DATAW found;
    UniqueFind anything(::FindFirstFileW((current.path() + L"\\*").c_str(), &found));
    std::vector<std::wstring> made;
    if (anything) {
        do {
            if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L"..")) {
                made.push_back(found.cFileName);
            }
        } while (::FindNextFileW(anything.get(), &found));
    }
    EXPECT_TRUE(made.empty()) << Narrow(made.empty() ? L"" : made.front());
    EXPECT_EQ(PathExists(L"C:\\Install.log"), rootLogBefore);
}

}  // namespace
