#pragma once
// Case folding of the letters A-Z only: image names and user names compare this way, so that a
// name differing only in a non-ASCII letter's case stays a different name.
#include <string>

inline std::wstring LowerAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}
