#include "sys/process.h"

#include <gtest/gtest.h>

#include "sys/files.h"
#include "tests/support/test_support.h"

namespace {

std::wstring Sleeper() { return TestBinaryFolder() + L"\\sleeper.exe"; }

// A copy of the sleeper under `name` in a scratch folder, so tests own the image name.
struct NamedSleeper {
    explicit NamedSleeper(const std::wstring& name) : path(scratch / name) {
        ::CopyFileW(Sleeper().c_str(), path.c_str(), FALSE);
    }
    ScratchFolder scratch;
    std::wstring path;
};

DWORD ExitCode(HANDLE process) {
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    return code;
}

TEST(RunProcess, StartsWaitsAndReportsStartOnly) {
    NamedSleeper sleeper(L"run_wait.exe");
    EXPECT_FALSE(RunProcess(sleeper.scratch.path(), sleeper.scratch / L"missing.exe", L"", SW_HIDE, true));
    // Waits for the end; the exit code 5 does not make it a failure.
    EXPECT_TRUE(RunProcess(sleeper.scratch.path(), sleeper.path, L"300 5", SW_HIDE, true));
    EXPECT_FALSE(IsProcessRunning(L"run_wait.exe"));
    // Without waiting it returns while the program still runs.
    EXPECT_TRUE(RunProcess(sleeper.scratch.path(), sleeper.path, L"1500 0", SW_SHOW, false));
    EXPECT_TRUE(IsProcessRunning(L"run_wait.exe"));
    EXPECT_TRUE(WaitUntil([] { return !IsProcessRunning(L"run_wait.exe"); }));
}

TEST(RunProcessForExitCode, WaitsAndReadsTheChildsExitCode) {
    NamedSleeper sleeper(L"exit code.exe");
    for (DWORD expected : {0ul, 1ul, 2ul, 255ul}) {
        DWORD code = 12345;
        EXPECT_TRUE(RunProcessForExitCode(sleeper.scratch.path(), sleeper.path,
                                          L"10 " + std::to_wstring(expected), SW_HIDE, code));
        EXPECT_EQ(code, expected);
    }
    DWORD code = 12345;
    EXPECT_FALSE(RunProcessForExitCode(sleeper.scratch.path(), sleeper.scratch / L"missing.exe",
                                       L"", SW_HIDE, code));
    EXPECT_EQ(code, 12345u);
}

TEST(IsProcessRunning, ComparesAsciiLettersWithoutCase) {
    NamedSleeper sleeper(L"Sl\u00e4per.exe");
    UniqueHandle process = StartProcess(sleeper.path, L"20000 0");
    ASSERT_TRUE(process);
    ASSERT_TRUE(WaitUntil([] { return IsProcessRunning(L"Sl\u00e4per.exe"); }));
    EXPECT_TRUE(IsProcessRunning(L"SL\u00e4PER.EXE"));
    EXPECT_TRUE(IsProcessRunning(L"sl\u00e4per.exe"));
    EXPECT_FALSE(IsProcessRunning(L"SL\u00c4PER.EXE"));  // only A-Z fold; \u00e4 and \u00c4 differ
    EXPECT_FALSE(IsProcessRunning(L"Sl\u00e4per"));
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 5000);
}

TEST(TerminateProcessByName, NotRunning) {
    LogMark mark;
    EXPECT_TRUE(TerminateProcessByName(L"no_such_program.exe"));
    EXPECT_EQ(mark.NewMessages(),
              (std::vector<std::string>{"Searching for process no_such_program.exe", "Process not found"}));
}

TEST(TerminateProcessByName, ProcessEndingWithinGraceIsNotTerminated) {
    NamedSleeper sleeper(L"ends_soon.exe");
    UniqueHandle process = StartProcess(sleeper.path, L"1000 3");
    ASSERT_TRUE(process);
    ASSERT_TRUE(WaitUntil([] { return IsProcessRunning(L"ends_soon.exe"); }));
    LogMark mark;
    EXPECT_TRUE(TerminateProcessByName(L"ENDS_SOON.EXE"));
    ASSERT_EQ(::WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(process.get()), 3u);  // its own exit code, not the 1 of a termination
    EXPECT_EQ(mark.NewMessages(),
              (std::vector<std::string>{"Searching for process ENDS_SOON.EXE", "Found process",
                                        "PID = " + std::to_string(::GetProcessId(process.get()))}));
}

TEST(TerminateProcessByName, ProcessStillRunningAfterGraceIsTerminated) {
    NamedSleeper sleeper(L"stubborn.exe");
    UniqueHandle process = StartProcess(sleeper.path, L"60000 0");
    ASSERT_TRUE(process);
    ASSERT_TRUE(WaitUntil([] { return IsProcessRunning(L"stubborn.exe"); }));
    EXPECT_TRUE(TerminateProcessByName(L"stubborn.exe"));
    ASSERT_EQ(::WaitForSingleObject(process.get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(process.get()), 1u);
}

}  // namespace
