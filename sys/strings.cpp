#include "sys/strings.h"

namespace {

constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// Strings are stored sixteen to a block: block id / 16 + 1, entry id % 16, each entry a length
// and that many UTF-16 units (length 0 for an absent string).
std::wstring EnglishText(HMODULE module, UINT id) {
    HRSRC info = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), kEnglish);
    if (!info) return {};
    HGLOBAL loaded = ::LoadResource(module, info);
    const auto* entry = loaded ? static_cast<const WCHAR*>(::LockResource(loaded)) : nullptr;
    if (!entry) return {};
    const WCHAR* end = entry + ::SizeofResource(module, info) / sizeof(WCHAR);
    for (UINT index = 0; index < id % 16; ++index) {
        if (entry >= end) return {};
        entry += 1 + *entry;
    }
    if (entry >= end || entry + 1 + *entry > end) return {};
    return std::wstring(entry + 1, *entry);
}

}  // namespace

std::wstring LoadText(HMODULE module, UINT id) {
    const wchar_t* text = nullptr;
    // With a buffer size of 0 LoadStringW hands out the resource's own read-only text.
    int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length > 0 && text) return std::wstring(text, static_cast<size_t>(length));
    return EnglishText(module, id);
}

std::wstring LoadText(UINT id) { return LoadText(::GetModuleHandleW(nullptr), id); }
