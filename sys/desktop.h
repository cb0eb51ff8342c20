#pragma once
// Desktop integration: the font the installer draws with (and, with the install phase,
// shortcuts and autostart).

// Writes the Roboto font (resource FILE 208) to the temporary folder and installs it into the
// Windows fonts folder for the user, unless a font of that file name is already there. When the
// fonts folder is not writable, the font is still made available to this process.
void InstallFont();
