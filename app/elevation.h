#pragma once
// What the Install button needs to know about the user's rights, and the restart with
// administrator rights when the chosen folder needs them.
#include <string>

// Whether the process token is a member of the built-in Administrators group (S-1-5-32-544). A
// SID that cannot be built counts as no membership.
bool IsUserAdministrator();

// The rights probe: whether a folder can be made below `installPath` ("\CheckPermission\"). The
// probe folder is removed again; folders made above it stay.
bool CanWriteBelow(const std::wstring& installPath);

// The restart: the installer's own file, started with the verb "runas" and the install folder as
// its whole command line, unquoted (the restarted installer takes its raw command line as the
// preset folder).
struct ElevatedRestart {
    std::wstring file;
    std::wstring parameters;
};
ElevatedRestart ElevatedRestartFor(const std::wstring& installPath);
// Asks the shell to start it elevated; the result is not looked at (the caller ends either way).
void StartElevated(const ElevatedRestart& restart);
