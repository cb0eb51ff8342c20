#pragma once
// The release server's API base: the one built in, or the override in "TestServer.txt" in the
// user's Downloads folder.
#include <string>

// The built-in API base (the build setting TELVISTA_API_BASE); it ends with "/".
std::wstring DefaultApiBase();

// The API base for this run. The override file is read as UTF-8 JSON (at most its first 1024
// bytes, no byte-order mark): a non-empty string "ApplicationUpdate" of its root object replaces
// the default exactly as written, so it has to end with "/" like the default. A missing or
// unreadable file, or one without such a member, leaves the default, silently. The override is
// not read when there is no Downloads folder, nor when the installer runs under another account
// than its session's user (one log line says so).
std::wstring SelectServer();

// Whether the override file may steer a process of `processUser` whose session belongs to
// `logonUser`: not when the process runs under another account (see IsOtherAccount).
bool OverrideAllowed(const std::wstring& processUser, const std::wstring& logonUser);

// The base that the override file's bytes give, or empty when they give none.
std::wstring ParseServerOverride(const std::string& bytes);
