#pragma once
// The worker-side object of the main window: the release records of the run, what the downloads
// produced and the install folder. The window creates it empty with itself; its start-up check,
// download phase and install phase run one after the other on worker threads and hand their
// results to each other through it, so it needs no lock.
#include <string>

#include "pipeline/release_check.h"

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

    std::wstring dotNetInstallerPath;  // downloaded .NET Framework installer, empty until then
    std::wstring vcRedistPath;         // downloaded VC++ runtime installer, empty until then
    std::wstring packageFolder;        // where the application package was unpacked
    ReleaseCheck releaseCheck;
    std::wstring installFolder;        // the window's install folder, taken when installing starts
};
