#pragma once
// The install log: one time-stamped line per event in
// <roaming AppData>\Orvane\Telvista\Log\Install.log, appended and closed on every call, from any
// thread, with nothing to set up first and no failure ever reported to the caller.
//
// On disk the file is single-byte text: LF is stored as CR LF, characters U+0001..U+00FF as the
// byte of that value, and every character above U+00FF as the six characters \uXXXX (four
// upper-case hexadecimal digits; a surrogate pair gives two such escapes), so that user names and
// paths in any script survive in a file that stays one byte per character.
#include <windows.h>

#include <string>
#include <type_traits>

namespace InstallLog {

// Writes `text` unchanged: a percent sign in it is not interpreted.
void WriteLine(const std::wstring& text);
void WriteLine(const wchar_t* text);

// Formats with the platform's wide printf rules (%s takes a wide string, %d a 32-bit integer).
void WriteFormatted(const wchar_t* format, ...);

template <typename First, typename... Rest>
void WriteLine(const wchar_t* format, First first, Rest... rest) {
    static_assert(((std::is_arithmetic_v<First> || std::is_pointer_v<First>) && ... &&
                   (std::is_arithmetic_v<Rest> || std::is_pointer_v<Rest>)),
                  "pass .c_str() for text arguments");
    WriteFormatted(format, first, rest...);
}

// The bytes that WriteLine appends for `message` stamped with `stamp` (see the file comment).
std::string EncodeLine(const std::wstring& stamp, const std::wstring& message);

// The stamp of a line written at `time`: "%Y-%m-%d, %H:%M:%S".
std::wstring FormatStamp(const SYSTEMTIME& time);

// <roaming AppData>\Orvane\Telvista\Log\Install.log of the process account; empty when the shell
// gives no AppData folder (the line is then lost).
std::wstring LogFilePath();

}  // namespace InstallLog
