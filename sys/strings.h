#pragma once
// The installer's texts from its string table. The lookup sits below the flows, which need the
// product's display name (string 123) for the uninstall entry and the shortcuts; the window's
// layer uses the same lookup.
#include <windows.h>

#include <string>

// The text of string `id` in the language the platform picks for the running thread (its user
// interface language and the platform's fallbacks; the installer never picks one itself). Where
// that language's table lacks the row, the English row is given instead, so no prompt ever shows
// an empty message. Empty only when English lacks the row as well.
std::wstring LoadText(UINT id);

// The same lookup in the resources of `module` (a loaded executable or a data-file module).
std::wstring LoadText(HMODULE module, UINT id);
