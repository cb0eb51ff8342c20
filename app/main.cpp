// Entry point: harden the process, then hand over to the application object.
#include <windows.h>

#include "app/command_line.h"
#include "app/installer_app.h"
#include "sys/api/system_dll.h"
#include "sys/process.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything can load a DLL: the installer runs from Downloads folders, where a planted
    // DLL must never be picked up.
    HardenDllSearch();
    CInstallerApp app;
    // Worker threads may still be running when the window has closed: they end with the process,
    // before anything they use could be destroyed.
    EndProcess(app.Run(CommandLineTail(::GetCommandLineW())));
}
