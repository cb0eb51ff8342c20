#include "app/command_line.h"

#include <climits>
#include <cwctype>

#include "pipeline/install_phase.h"

int ReadDecimal(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<int>(value);
}

bool IsAbsoluteFolderPath(const std::wstring& text) {
    return text.size() >= 3 && std::iswalpha(text[0]) && text[0] < 128 && text[1] == L':' &&
           text[2] == L'\\';
}

StartCommand ParseCommandLine(const std::wstring& commandLine) {
    StartCommand command;
    if (commandLine.size() < 2) return command;
    if (commandLine[0] == L'u') {
        command.form = StartForm::SelfReplacement;
        command.replacementParameters = commandLine.substr(2);
        return command;
    }
    command.form = StartForm::Other;
    // Only the administrator restart passes a folder; the position forms must never become a
    // preset folder, or an install would go to a folder named "100 200". The install replaces
    // the folder as a whole, so only a folder of the product's own name is taken: a command line
    // naming a user's profile gets the default folder instead.
    if (IsAbsoluteFolderPath(commandLine) && IsProductInstallFolder(commandLine)) {
        command.presetInstallFolder = commandLine;
    }
    size_t space = commandLine.find(L' ');
    if (space != std::wstring::npos && space != 0) {
        command.top = ReadDecimal(commandLine.substr(0, space));
        command.left = ReadDecimal(commandLine.substr(space + 1));
    }
    return command;
}

std::wstring CommandLineTail(const wchar_t* full) {
    if (!full) return {};
    const wchar_t* p = full;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}
