#include "pipeline/download_phase.h"

#include "pipeline/install_pipeline.h"
#include "pipeline/network_wait.h"
#include "sys/log.h"

ProgressShares ComputeProgressShares(const ReleaseCheck& check) {
    const ReleaseConfig& net = check.dotNetConfig;
    const ReleaseConfig& vc = check.vcRuntimeConfig;
    const ReleaseConfig& app = check.appConfig;
    uint64_t total = 0;
    if (IsValid(net) && net.required) total += net.size;
    if (IsValid(vc) && vc.required) total += vc.size;
    if (IsValid(app)) total += app.size;

    ProgressShares shares;
    if (total == 0) return shares;
    shares.net = static_cast<int>(net.size * 100.0 / static_cast<double>(total));
    shares.vc = static_cast<int>(static_cast<uint64_t>(vc.size) * 100 / total);
    shares.app = 100 - shares.net - shares.vc;
    return shares;
}

bool InstallPipeline::RunDownloadStep(const ReleaseConfig& record, const std::wstring& fileName,
                                      int basePercent, int spanPercent, bool unpack,
                                      const wchar_t* failedOnline, const wchar_t* failedOffline,
                                      bool logAttempts, std::wstring& result) {
    while (IsValid(record)) {
        window->SetPageState(PageState::Installing);
        window->SetProgressPos(basePercent * 10);
        result = DownloadAndCheck(record, fileName, basePercent, spanPercent, unpack);
        if (WaitWhileExitPromptOpen(*window) || !result.empty()) return true;
        if (IsInternetConnected()) {
            if (failedOnline) InstallLog::WriteLine(failedOnline);
            window->SetErrorTextId(103);
            window->SetPageState(PageState::Error);
            return false;
        }
        InstallLog::WriteLine(failedOffline);
        if (!NetworkWait(*window, logAttempts)) {
            InstallLog::WriteLine(L"retry time out, stop");
            window->SetErrorTextId(103);
            window->SetPageState(PageState::Error);
            return false;
        }
    }
    return true;
}

bool InstallPipeline::RunDownloadPhase(InstallerWindow& target) {
    window = &target;
    const ReleaseConfig& net = releaseCheck.dotNetConfig;
    const ReleaseConfig& vc = releaseCheck.vcRuntimeConfig;
    const ReleaseConfig& app = releaseCheck.appConfig;

    InstallLog::WriteLine(IsValid(net) ? L"valid config" : L"invalid config");
    InstallLog::WriteLine(net.required ? L"need install .net" : L"not need install .net");
    InstallLog::WriteLine(L"Download check .net framework");
    InstallLog::WriteLine(IsValid(net) && net.required ? L".net framework download needed"
                                                       : L".net framework download not needed");
    InstallLog::WriteLine(IsValid(vc) && vc.required ? L"vc download needed"
                                                     : L"vc download not needed");
    InstallLog::WriteLine(IsValid(app) ? L"app download needed" : L"app download not needed");
    const ProgressShares shares = ComputeProgressShares(releaseCheck);

    constexpr wchar_t kOfflineLine[] = L"Download app failed for network disconnect, continue";

    if (!RunDownloadStep(net, kDotNetInstallerFileName, 0, shares.net, false, nullptr,
                         kOfflineLine, true, dotNetInstallerPath)) {
        return false;
    }
    // Once the user has confirmed leaving, the window is closing and removing the temporary
    // folder: starting the next download would only write into it again.
    if (window->IsExitConfirmed()) return true;
    if (!RunDownloadStep(vc, kVcRedistFileName, shares.net, shares.vc, false,
                         L"Download vc failed for other reason, stop",
                         L"Download vc failed for network disconnect, continue", false,
                         vcRedistPath)) {
        return false;
    }
    if (window->IsExitConfirmed()) return true;
    return RunDownloadStep(app, app.version + L".zip", shares.net + shares.vc, shares.app, true,
                           nullptr, kOfflineLine, true, packageFolder);
}
