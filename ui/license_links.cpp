#include "ui/license_links.h"

#include <shellapi.h>

#ifndef TELVISTA_WEBSITE
#error "TELVISTA_WEBSITE comes from the build settings"
#endif
#define TELVISTA_WIDEN2(text) L##text
#define TELVISTA_WIDEN(text) TELVISTA_WIDEN2(text)

std::wstring LicensePageUrl(LicensePage page) {
    return std::wstring(TELVISTA_WIDEN(TELVISTA_WEBSITE)) +
           (page == LicensePage::Privacy ? L"/license/privacy.html" : L"/license/terms.html");
}

void OpenLicensePage(LicensePage page) {
    const std::wstring url = LicensePageUrl(page);
    ::ShellExecuteW(nullptr, L"open", L"explorer.exe", url.c_str(), nullptr, SW_SHOW);
}
