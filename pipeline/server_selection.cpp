#include "pipeline/server_selection.h"

#include <windows.h>

#include <rapidjson/document.h>

#include "sys/handle.h"
#include "sys/log.h"
#include "sys/paths.h"

#ifndef TELVISTA_API_BASE
#error "TELVISTA_API_BASE comes from the build settings"
#endif
#define TELVISTA_WIDEN2(text) L##text
#define TELVISTA_WIDEN(text) TELVISTA_WIDEN2(text)

namespace {

constexpr DWORD kOverrideReadLimit = 1024;

std::wstring FromUtf8(const char* text, size_t length) {
    if (length == 0) return {};
    int units = ::MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0);
    if (units <= 0) return {};
    std::wstring result(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), result.data(), units);
    return result;
}

}  // namespace

std::wstring DefaultApiBase() { return TELVISTA_WIDEN(TELVISTA_API_BASE); }

std::wstring ParseServerOverride(const std::string& bytes) {
    // The buffer is parsed up to its first zero byte.
    std::string text(bytes.c_str());
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(text.c_str());  // no recursion, as for replies
    if (document.HasParseError() || !document.IsObject()) return {};
    auto member = document.FindMember("ApplicationUpdate");
    if (member == document.MemberEnd() || !member->value.IsString()) return {};
    // The file is UTF-8, so its text is converted from UTF-8 (not through the ANSI code page,
    // which would mangle every non-ASCII character of the address).
    return FromUtf8(member->value.GetString(), member->value.GetStringLength());
}

bool OverrideAllowed(const std::wstring& processUser, const std::wstring& logonUser) {
    return !IsOtherAccount(processUser, logonUser);
}

std::wstring SelectServer() {
    std::wstring base = DefaultApiBase();
    // Run under another account than the session's user (an administrator's credentials given
    // for a standard user), the Downloads folder is that user's: a file planted there must not
    // choose the server whose programs this account then runs, nor the digests they are checked
    // against.
    if (!OverrideAllowed(ProcessUserName(), LogonUserName())) {
        InstallLog::WriteLine(L"Running as another user than the logon user, TestServer.txt ignored");
        return base;
    }
    // Without a Downloads folder there is no override: "\TestServer.txt" would be the root of
    // the current drive.
    const std::wstring folder = GetDownloadFolder();
    if (folder.empty()) return base;
    std::wstring path = folder + L"\\TestServer.txt";
    char buffer[kOverrideReadLimit + 1] = {};
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer, kOverrideReadLimit, &read, nullptr)) read = 0;
        buffer[read] = '\0';
    }
    std::wstring override = ParseServerOverride(buffer);
    if (!override.empty()) base = override;
    return base;
}
