#include "pipeline/installer_window.h"

#include "sys/clock.h"

bool OnDownloadProgress(void* context, int percent, int /*finished*/) {
    if (context) static_cast<InstallerWindow*>(context)->ReportPercent(percent);
    return true;
}

bool WaitWhileExitPromptOpen(InstallerWindow& window) {
    while (window.IsExitPromptOpen()) SleepFor(100);
    return window.IsExitConfirmed();
}
