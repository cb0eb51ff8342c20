#include "pipeline/package.h"

#include <windows.h>

#include "pipeline/install_pipeline.h"
#include "net/digest.h"
#include "net/download.h"
#include "sys/files.h"
#include "sys/log.h"
#include "sys/paths.h"
#include "sys/process.h"

namespace {

bool IsDeviceName(const std::wstring& name) {
    std::wstring stem = name.substr(0, name.find(L'.'));
    // Windows also ignores trailing spaces of a device name ("NUL .zip" is NUL).
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    for (wchar_t& c : stem) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" ||
        stem == L"CONIN$" || stem == L"CONOUT$") {
        return true;
    }
    return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

}  // namespace

bool IsPlainFileName(const std::wstring& name) {
    if (name.empty() || name.find(L"..") != std::wstring::npos) return false;
    bool onlyDotsAndSpaces = true;
    for (wchar_t c : name) {
        if (c < 32 || wcschr(L"<>:\"/\\|?*", c)) return false;
        if (c != L'.' && c != L' ') onlyDotsAndSpaces = false;
    }
    return !onlyDotsAndSpaces && !IsDeviceName(name);
}

std::wstring ExtractParameters(const std::wstring& archive, const std::wstring& folder) {
    if (archive.find(L'"') != std::wstring::npos || folder.find(L'"') != std::wstring::npos) {
        return {};
    }
    std::wstring out = folder;
    while (out.size() > 1 && out.back() == L'\\') out.pop_back();
    return L"x \"" + archive + L"\" -y -aoa -o\"" + out + L"\"";
}

std::wstring InstallPipeline::DownloadAndCheck(ReleaseConfig record, const std::wstring& fileName,
                                               int basePercent, int spanPercent, bool unpack) {
    InstallLog::WriteLine(L"Download: %s", record.download_url.c_str());
    if (!IsPlainFileName(fileName)) {
        InstallLog::WriteLine(L"Not a file name: " + fileName);
        return {};
    }
    const std::wstring temp = GetTempFolder();
    const std::wstring path = temp + L"\\" + fileName;
    const int size = static_cast<int>(record.size);

    // A file an earlier run completed is used as it is: asking for the range after its last byte
    // would only bring a refusal, and a failed download.
    if (CheckDownloadFile(path, record.hash, size)) {
        InstallLog::WriteLine(L"Download ok");
        OnDownloadProgress(window, basePercent + spanPercent, 1);
    } else {
        const DownloadResult result = GetUrlFile(record.download_url, path, OnDownloadProgress,
                                                 window, basePercent, spanPercent);
        if (result != Download_ok) {
            InstallLog::WriteLine(L"Download failed");
            return {};
        }
        InstallLog::WriteLine(L"Download ok");
        if (!CheckDownloadFile(path, record.hash, size)) {
            InstallLog::WriteLine(L"CheckDownloadFile failed");
            return {};
        }
    }
    if (!unpack) return path;

    const std::wstring folder = temp + L"\\extract-" + fileName;
    if (!DecompressPackage(path, folder)) {
        InstallLog::WriteLine(L"DecompressPackage failed");
        return {};
    }
    if (!PathExists(folder)) return {};
    return folder;
}

bool InstallPipeline::HoldArchiveTool(const std::wstring& tool) {
    archiveTool_ = OpenForRunning(tool);
    return static_cast<bool>(archiveTool_);
}

void InstallPipeline::ReleaseArchiveTool() { archiveTool_.reset(); }

bool InstallPipeline::DecompressPackage(const std::wstring& archive, const std::wstring& folder) {
    const std::wstring temp = GetTempFolder();
    const std::wstring tool = temp + L"\\" + kArchiveToolName;
    if (!PathExists(tool)) return false;
    if (archive.find(L'\\') == std::wstring::npos) return false;
    const std::wstring parameters = ExtractParameters(archive, folder);
    if (parameters.empty()) return false;

    // The temporary folder may be writable by a lesser user than the one running the installer:
    // the tool is held so that it cannot change, and compared with the installer's own copy,
    // before it runs.
    if (!archiveTool_ && !HoldArchiveTool(tool)) {
        InstallLog::WriteLine(L"7za.exe cannot be opened");
        return false;
    }
    const ResourceBytes original = FindResourceBytes(kArchiveToolResource, L"FILE");
    if (!original || !FileHoldsBytes(archiveTool_.get(), original.data, original.size)) {
        InstallLog::WriteLine(L"7za.exe differs from the installer's own");
        ReleaseArchiveTool();
        return false;
    }

    // Files of an earlier, different archive of the same name must not be installed with this one.
    RemoveFolder(folder);
    if (PathExists(folder)) {
        InstallLog::WriteLine(L"Cannot empty " + folder);
        return false;
    }

    DWORD exitCode = 0;
    const bool ran = RunProcessForExitCode(temp + L"\\", tool, parameters, SW_HIDE, exitCode);
    ReleaseArchiveTool();
    if (!ran) return false;
    InstallLog::WriteLine(L"7za exit code: %d", static_cast<int>(exitCode));
    return IsArchiveToolSuccess(exitCode);
}
