#pragma once
// The worker-side object of the main window: the release records of the run, what the downloads
// produced and the install folder. The window creates it empty with itself; its start-up check,
// download phase and install phase run one after the other on worker threads and hand their
// results to each other through it, so it needs no lock.
#include <string>

#include "pipeline/installer_window.h"
#include "pipeline/release_check.h"
#include "sys/handle.h"

class InstallerWindow;

class InstallPipeline {
public:
    // Fills releaseCheck from the release server at `base` (see the free CheckReleases).
    bool CheckReleases(const std::wstring& base);
    // Reads the installed product's version afresh, refreshing releaseCheck.installLocation.
    std::wstring GetInstalledVersion();
    // The third flow (pipeline/install_phase.cpp): installs the prerequisites, puts the unpacked
    // package in place of the install folder, registers and starts the product, closes the window.
    void RunInstallPhase(InstallerWindow& window);

    // The start-up check (pipeline/startup_check.cpp): waits for a connection, fetches the
    // records, writes the archive tool, updates the installer when the server has a newer one,
    // and ends on Ready, Error or Complete (the installed product started), or closes the window
    // after starting the new installer.
    void RunStartupCheck(InstallerWindow& window);
    // The download phase (pipeline/download_phase.cpp): .NET, VC++ runtime and package in turn,
    // each waited for across a lost connection. False after it has shown Error 103.
    bool RunDownloadPhase(InstallerWindow& window);

    // Downloads `record` into the temporary folder as `fileName` (a complete earlier file is kept),
    // checks its size and digest and, with `unpack`, unpacks it into "extract-<fileName>" there.
    // The file's path or the unpack folder; empty on any failure (pipeline/package.cpp).
    std::wstring DownloadAndCheck(ReleaseConfig record, const std::wstring& fileName,
                                  int basePercent, int spanPercent, bool unpack);
    // Unpacks `archive` into `folder` (emptied first) with the archive tool of the temporary
    // folder, once its bytes are the installer's own; true when the tool reported success.
    bool DecompressPackage(const std::wstring& archive, const std::wstring& folder);
    // Lets go of the archive tool, which the start-up check holds from writing it until it has
    // run, so the temporary folder can be removed whole. The window calls it before its clean-up.
    void ReleaseArchiveTool();

    std::wstring dotNetInstallerPath;  // downloaded .NET Framework installer, empty until then
    std::wstring vcRedistPath;         // downloaded VC++ runtime installer, empty until then
    std::wstring packageFolder;        // where the application package was unpacked
    ReleaseCheck releaseCheck;
    std::wstring installFolder;        // the window's install folder, taken when installing starts
    InstallerWindow* window = nullptr;  // the window the running flow reports to

private:
    enum class SelfUpdateEnd { NotUpdated, Restarted, Failed };
    SelfUpdateEnd RunSelfUpdate();
    bool RunDownloadStep(const ReleaseConfig& record, const std::wstring& fileName,
                         int basePercent, int spanPercent, bool unpack,
                         const wchar_t* failedOnline, const wchar_t* failedOffline,
                         bool logAttempts, std::wstring& result);
    bool HoldArchiveTool(const std::wstring& tool);

    // Open for reading only, shared for reading only: nobody can change the tool meanwhile.
    UniqueFile archiveTool_;
};
