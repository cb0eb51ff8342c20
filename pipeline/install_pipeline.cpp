#include "pipeline/install_pipeline.h"

bool InstallPipeline::CheckReleases(const std::wstring& base) {
    return ::CheckReleases(releaseCheck, base);
}

std::wstring InstallPipeline::GetInstalledVersion() { return ::GetInstalledVersion(releaseCheck); }
