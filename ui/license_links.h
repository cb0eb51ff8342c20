#pragma once
// The two licence pages on the product web site, opened from the main window's licence row and
// from the licence dialog.
#include <windows.h>

#include <string>

enum class LicensePage { Privacy, Terms };

// The page's secure address: the web site of the build (TELVISTA_WEBSITE) and
// "/license/privacy.html" or "/license/terms.html".
std::wstring LicensePageUrl(LicensePage page);
// Opens the page in the user's browser through the shell.
void OpenLicensePage(LicensePage page);
