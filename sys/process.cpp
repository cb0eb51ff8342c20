#include "sys/process.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include "sys/handle.h"
#include "sys/log.h"
#include "sys/text.h"

namespace {

constexpr DWORD kTerminateGraceMs = 3000;

}  // namespace

bool RunProcess(const std::wstring& folder, const std::wstring& program,
                const std::wstring& parameters, int showMode, bool wait) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No shell error box: a program that cannot be started is a result the flows report on their
    // own page; a system message box would stall the worker thread until someone clicks it.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = showMode;
    BOOL started = ::ShellExecuteExW(&info);
    UniqueHandle process(info.hProcess);
    if (wait && process) {
        ::WaitForSingleObject(process.get(), INFINITE);
        DWORD exitCode = 0;
        ::GetExitCodeProcess(process.get(), &exitCode);
        return true;
    }
    return started != FALSE;
}

bool RunProcessForExitCode(const std::wstring& folder, const std::wstring& program,
                           const std::wstring& parameters, int showMode, DWORD& exitCode) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = showMode;
    if (!::ShellExecuteExW(&info)) return false;
    UniqueHandle process(info.hProcess);
    // Without a process handle (the shell handed the file to something else) there is no end to
    // wait for and no exit code to judge the run by.
    if (!process) return false;
    if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) return false;
    return ::GetExitCodeProcess(process.get(), &exitCode) != FALSE;
}

bool IsProcessRunning(const std::wstring& name) {
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    std::wstring wanted = LowerAscii(name);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (LowerAscii(entry.szExeFile) == wanted) return true;
    }
    return false;
}

bool TerminateProcessByName(const std::wstring& name) {
    InstallLog::WriteLine(L"Searching for process %s", name.c_str());
    DWORD pid = 0;
    bool found = false;
    {
        UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (snapshot) {
            PROCESSENTRY32W entry{};
            entry.dwSize = sizeof entry;
            for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
                 more = ::Process32NextW(snapshot.get(), &entry)) {
                if (entry.szExeFile[0] && ::lstrcmpiW(entry.szExeFile, name.c_str()) == 0) {
                    pid = entry.th32ProcessID;
                    found = true;
                    break;
                }
            }
        }
    }
    if (!found) {
        InstallLog::WriteLine(L"Process not found");
        return true;
    }
    InstallLog::WriteLine(L"Found process");
    InstallLog::WriteLine(L"PID = %d", static_cast<int>(pid));

    UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
    if (!process) return true;
    if (::WaitForSingleObject(process.get(), kTerminateGraceMs) == WAIT_OBJECT_0) return true;
    return ::TerminateProcess(process.get(), 1) != FALSE;
}

void EndProcess(int exitCode) { ::ExitProcess(static_cast<UINT>(exitCode)); }
