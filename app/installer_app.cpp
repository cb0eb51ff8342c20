#include "app/installer_app.h"

#include <windows.h>
#include <commctrl.h>

#include "app/command_line.h"
#include "app/installer_dlg.h"
#include "sys/clock.h"
#include "sys/desktop.h"
#include "sys/files.h"
#include "sys/log.h"
#include "sys/process.h"

std::wstring presetInstallFolder;

namespace {

constexpr wchar_t kInstanceMutex[] = L"OrvaneTelvista_279C5CCB-445B-4FC4-BCB1-B752025BD432";
constexpr DWORD kOldInstallerPollMs = 100;

}  // namespace

int CInstallerApp::Run(const std::wstring& commandLine) {
    const StartCommand command = ParseCommandLine(commandLine);
    presetInstallFolder = command.presetInstallFolder;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    InstallFont();

    const ModulePathParts self = GetModulePathParts();
    InstallLog::WriteLine(self.fullPath);
    InstallLog::WriteLine(L"cmdline: " + commandLine);

    if (command.form == StartForm::SelfReplacement) {
        FinishSelfReplacement(command.replacementParameters);
        return 0;
    }
    if (command.form == StartForm::Other) {
        const std::wstring leftover = self.folder + L"\\tmp" + self.fileName;
        InstallLog::WriteLine(L"delete file: " + leftover);
        if (::DeleteFileW(leftover.c_str())) InstallLog::WriteLine(L"Delete ok");
    }

    if (!TakeSingleInstanceLock()) return 0;

    CInstallerDlg dialog;
    dialog.initialLeft = command.left;
    dialog.initialTop = command.top;
    dialog.DoModal();
    return 0;
}

void CInstallerApp::FinishSelfReplacement(const std::wstring& parameters) {
    const ModulePathParts self = GetModulePathParts();
    // Only the copy the old installer made, tmp<name>, may replace <name>.
    if (self.fileName.size() < 4 || self.fileName.compare(0, 3, L"tmp") != 0) return;
    const std::wstring plainName = self.fileName.substr(3);
    const std::wstring target = self.folder + L"\\" + plainName;

    // The old installer closes right after starting this copy; its file is replaceable once it
    // has gone.
    while (IsProcessRunning(plainName)) SleepFor(kOldInstallerPollMs);

    InstallLog::WriteLine(L"copy file from %s to %s", self.fullPath.c_str(), target.c_str());
    if (::CopyFileW(self.fullPath.c_str(), target.c_str(), FALSE)) {
        InstallLog::WriteLine(L"Copy ok");
    } else {
        InstallLog::WriteLine(L"Copy failed");
    }
    RunProcess(self.folder, target, parameters, SW_SHOW, false);
}

bool CInstallerApp::TakeSingleInstanceLock() {
    instanceLock_.reset(::CreateMutexW(nullptr, FALSE, kInstanceMutex));
    return instanceLock_ && ::GetLastError() != ERROR_ALREADY_EXISTS;
}
