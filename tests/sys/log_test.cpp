#include "sys/log.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "sys/files.h"
#include "sys/handle.h"
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

}  // namespace
