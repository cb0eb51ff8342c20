#include "pipeline/startup_check.h"

#include "net/digest.h"
#include "net/download.h"
#include "pipeline/install_pipeline.h"
#include "pipeline/network_wait.h"
#include "pipeline/package.h"
#include "pipeline/server_selection.h"
#include "sys/clock.h"
#include "sys/files.h"
#include "sys/log.h"
#include "sys/paths.h"
#include "sys/process.h"

std::wstring SelfUpdateParameters(const RECT& window) {
    return L"u " + std::to_wstring(window.top) + L" " + std::to_wstring(window.left);
}

std::wstring ProductStartParameters(const RECT& window) {
    return std::to_wstring(window.top) + L" " + std::to_wstring(window.left);
}

namespace {

void ShowError(InstallerWindow& window, int stringId) {
    window.SetErrorTextId(stringId);
    window.SetPageState(PageState::Error);
}

}  // namespace

InstallPipeline::SelfUpdateEnd InstallPipeline::RunSelfUpdate() {
    const ReleaseConfig& installer = releaseCheck.installerConfig;
    const ModulePathParts self = GetModulePathParts();
    const std::wstring copy = self.folder + L"\\tmp" + self.fileName;
    int failedPasses = 0;
    while (IsValid(installer)) {
        InstallLog::WriteLine(L"Installer new version exist");
        window->SetPageState(PageState::UpdatingInstaller);
        const DownloadResult result =
            GetUrlFile(installer.download_url, copy, OnDownloadProgress, window, 0, 100);
        if (result == Download_ok) {
            InstallLog::WriteLine(L"Download new installer ok");
            // The installer's folder may be writable by a lesser user than the one running it:
            // from the check until the copy has started, no one may change the file.
            UniqueFile held = OpenForRunning(copy);
            if (held && CheckDownloadFile(copy, installer.hash, static_cast<int>(installer.size))) {
                ::OutputDebugStringW(L"Check new installer ok");
                const std::wstring parameters = SelfUpdateParameters(window->GetWindowRectangle());
                if (!WaitWhileExitPromptOpen(*window)) {
                    RunProcess(self.folder, copy, parameters, SW_HIDE, false);
                }
                held.reset();
                return SelfUpdateEnd::Restarted;
            }
            InstallLog::WriteLine(L"Check new installer error");
            ++failedPasses;
        } else if (result == Download_failed_networkError && !IsInternetConnected()) {
            InstallLog::WriteLine(L"Download failed for network reason. Run this version");
            if (!NetworkWait(*window, false)) {
                InstallLog::WriteLine(L"retry time out, stop");
                ShowError(*window, 103);
                ::DeleteFileW(copy.c_str());
                return SelfUpdateEnd::Failed;
            }
        } else {
            InstallLog::WriteLine(
                L"Download failed for other reason but not network disconnect. Run this version");
            ++failedPasses;
        }
        ::DeleteFileW(copy.c_str());
        // A record that can never be fetched or never matches would otherwise keep the user on
        // "Updating installer..." for ever; this version can still install.
        if (failedPasses >= kSelfUpdateAttempts) {
            InstallLog::WriteLine(L"Installer update failed %d times, run this version",
                                  failedPasses);
            break;
        }
    }
    return SelfUpdateEnd::NotUpdated;
}

void InstallPipeline::RunStartupCheck(InstallerWindow& target) {
    window = &target;
    if (!IsInternetConnected()) {
        window->SetPageState(PageState::NoInternet);
        while (!IsInternetConnected()) SleepFor(500);
    }
    window->SetPageState(PageState::Checking);

    const std::wstring base = SelectServer();
    InstallLog::WriteLine(L"Server: %s", base.c_str());
    CheckReleases(base);

    // The version names the package's file and unpack folder in the temporary folder; one that
    // is not a plain name would place them elsewhere, so the record is not offered at all.
    ReleaseConfig& app = releaseCheck.appConfig;
    if (IsValid(app) && (!IsPlainFileName(app.version) || !IsPlainFileName(app.version + L".zip"))) {
        InstallLog::WriteLine(L"Package version is not a file name, package ignored: " + app.version);
        app.version.clear();
    }

    const std::wstring tool = GetTempFolder() + L"\\" + kArchiveToolName;
    if (!ReleaseResourceToFile(kArchiveToolResource, tool) || !HoldArchiveTool(tool)) {
        InstallLog::WriteLine(L"7za.exe error");
        ShowError(*window, 118);
        return;
    }

    const SelfUpdateEnd update = RunSelfUpdate();
    if (update != SelfUpdateEnd::NotUpdated) {
        ReleaseArchiveTool();
        if (update == SelfUpdateEnd::Restarted) window->Close();
        return;
    }

    InstallLog::WriteLine(L"Run this...");
    window->SetPageState(PageState::Blank);
    if (releaseCheck.dotNetConfig.required == 1 || IsValid(app)) {
        // The archive tool stays held for the download phase.
        window->SetPageState(PageState::Ready);
        return;
    }
    // Nothing to install: the temporary folder may go with the window, tool included.
    ReleaseArchiveTool();

    const std::wstring installed = GetInstalledVersion();
    if (installed.empty()) {
        InstallLog::WriteLine(L"app is never installed and no valid app to download");
        ShowError(*window, 117);
        return;
    }
    const std::wstring& location = releaseCheck.installLocation;
    InstallLog::WriteLine(L"No valid app to download, start the installed one: %s",
                          location.c_str());
    const std::wstring exe = location + L"\\" + kProductExeName;
    if (!PathExists(exe)) {
        InstallLog::WriteLine(L"app exe not exist");
        ShowError(*window, 117);
        return;
    }
    window->SetPageState(PageState::Complete);
    RunProcess(location, exe, ProductStartParameters(window->GetWindowRectangle()), SW_SHOW, false);
    window->Close();
}
