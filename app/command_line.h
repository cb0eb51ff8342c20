#pragma once
// The installer's command-line forms.
//
//   (fewer than 2 characters)   normal start
//   u T L                       this is the new installer, started as tmp<name> by the old one:
//                               replace <name> with this file and start it with "T L"
//   T L                         normal start at window position top T, left L (after a
//                               self-replacement); a leftover tmp<name> is deleted first
//   <folder>                    normal start with a preset install folder (the administrator
//                               restart passes the chosen folder); only a folder ending in
//                               Orvane\Telvista becomes one
#include <string>

enum class StartForm { Short, SelfReplacement, Other };

struct StartCommand {
    StartForm form = StartForm::Short;
    int top = 0;   // window position; below 1 centres on that axis
    int left = 0;
    std::wstring replacementParameters;  // SelfReplacement: the text after "u "
    std::wstring presetInstallFolder;    // Other: the command line when it is an absolute folder
                                         // of the product's own name (X:\...\Orvane\Telvista)
};

StartCommand ParseCommandLine(const std::wstring& commandLine);

// Decimal reading as the C runtime's atoi does it: leading white space, an optional sign, digits
// up to the first non-digit; no digits give 0.
int ReadDecimal(const std::wstring& text);

// True for "X:\..." : a drive letter, a colon and a backslash.
bool IsAbsoluteFolderPath(const std::wstring& text);

// The raw command line after the program's own path, as the C runtime hands it to WinMain: the
// program token (quoted or not) and the white space after it are skipped.
std::wstring CommandLineTail(const wchar_t* fullCommandLine);
