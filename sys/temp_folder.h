#pragma once
// The run's temporary folder (<AppData>\Orvane\Telvista\Temp: the archive tool, the downloads,
// the unpacked package) is removed when the installer is done with it: by the install phase once
// the product is in place, and by the window before it closes itself.

// Removes the temporary folder with everything in it, resolving the folders first when they have
// not been resolved yet. Nothing happens when no temporary folder can be named.
void CleanupTempFolder();
