#pragma once
// Pieces of the start-up check (InstallPipeline::RunStartupCheck) that are worth naming.
#include <string>

#include "pipeline/installer_window.h"

// The installer's parameters for its new copy: "u <top> <left>" of the window's rectangle.
std::wstring SelfUpdateParameters(const RECT& window);
// The installed product's parameters: "<top> <left>".
std::wstring ProductStartParameters(const RECT& window);

// Passes of the self-update that may fail for another reason than a lost network before this
// version runs instead.
inline constexpr int kSelfUpdateAttempts = 3;
