#pragma once
// Starting programs and finding or ending processes by image name.
#include <windows.h>

#include <string>

// Starts `program` with `parameters` in `folder` through the shell ("open"), with `showMode`
// (SW_HIDE 0, SW_SHOW 5). With `wait`, blocks until the started process ends. True when the shell
// started it; the child's exit code is not looked at.
bool RunProcess(const std::wstring& folder, const std::wstring& program,
                const std::wstring& parameters, int showMode, bool wait);

// As RunProcess with waiting, and the child's exit code in `exitCode`. False when the program
// could not be started or its end and exit code could not be read.
bool RunProcessForExitCode(const std::wstring& folder, const std::wstring& program,
                           const std::wstring& parameters, int showMode, DWORD& exitCode);

// True when a process with image name `name` runs; the letters A-Z compare without case.
bool IsProcessRunning(const std::wstring& name);

// Ends the first process named `name` (compared without case): waits up to 3 s for it to end by
// itself, then terminates it. False only when it had to be terminated and that failed. Logs.
bool TerminateProcessByName(const std::wstring& name);

// Ends the process with `exitCode` at once (ExitProcess): the other threads end first, so a
// worker still logging or reading the folders never meets an object destroyed by the C runtime's
// exit, which a return from the entry point would run while the workers go on.
[[noreturn]] void EndProcess(int exitCode);
