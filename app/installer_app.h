#pragma once
// The application object: the start-up sequence that settles the command-line form, finishes or
// cleans up a self-replacement, takes the single-instance lock and runs the main window.
#include <string>

#include "sys/handle.h"

// The install folder to offer, when the installer was restarted with one (the administrator
// restart passes the chosen folder as its whole command line).
extern std::wstring presetInstallFolder;

class CInstallerApp {
public:
    // Runs the start-up sequence for `commandLine` (the text after the program's path) and
    // returns the process exit code once the main window has closed or the sequence ended early.
    int Run(const std::wstring& commandLine);

private:
    void FinishSelfReplacement(const std::wstring& parameters);
    bool TakeSingleInstanceLock();

    // Held until the process ends, so that a second installer stops at the lock.
    UniqueHandle instanceLock_;
};
