#pragma once
// How the download phase divides the progress bar between its three files.
#include "pipeline/release_check.h"

// Whole percent of the bar per file: the .NET installer over [0, net], the VC++ runtime over
// [net, net + vc], the package over [net + vc, 100].
struct ProgressShares {
    int net = 0;
    int vc = 0;
    int app = 100;
};

// By the sizes of the needed items (.NET and VC++ when valid and required, the package when
// valid). The numerators are the records' sizes as they stand. With nothing needed the package
// gets the whole bar.
ProgressShares ComputeProgressShares(const ReleaseCheck& check);

// Local file names of the downloads in the temporary folder.
inline constexpr wchar_t kDotNetInstallerFileName[] =
    L"4.5.2_offine_installer_NDP452-KB2901907-x86-x64-AllOS-ENU.exe";
inline constexpr wchar_t kVcRedistFileName[] = L"vc_redist.x64.exe";
