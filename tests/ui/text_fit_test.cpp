// Every translation measured in Roboto by GDI against the place that shows it in the dialogs
// (the build's own check measures the same with FreeType; this one uses the fonts the dialogs
// make and the platform's line breaking).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/ui/ui_support.h"
#include "ui/gdi.h"

namespace {

const WORD kLanguages[] = {0x0409, 0x0004, 0x0404, 0x0007, 0x000A, 0x000C,
                           0x0010, 0x0011, 0x0012, 0x0013, 0x0016, 0x0019};

// Row `id` of one language's table as stored; empty when the table lacks it.
std::wstring Row(WORD language, UINT id) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!info) return {};
    auto entry = static_cast<const WCHAR*>(::LockResource(::LoadResource(module, info)));
    const WCHAR* end = entry + ::SizeofResource(module, info) / sizeof(WCHAR);
    for (UINT i = 0; i < id % 16 && entry < end; ++i) entry += 1 + *entry;
    return entry < end ? std::wstring(entry + 1, *entry) : std::wstring();
}

// Roboto has no Chinese, Japanese or Korean glyphs; the platform's fallback draws those, and
// what it measures there depends on the fonts the machine has.
bool RobotoWritesIt(WORD language) {
    return language != 0x0004 && language != 0x0404 && language != 0x0011 && language != 0x0012;
}

SIZE Extent(HDC dc, HFONT font, const std::wstring& text, int wrapWidth = 0) {
    SelectObjectGuard select(dc, font);
    RECT box{0, 0, wrapWidth ? wrapWidth : 10000, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
                DT_CALCRECT | DT_NOPREFIX | (wrapWidth ? DT_WORDBREAK | DT_CENTER : DT_SINGLELINE));
    return SIZE{box.right, box.bottom};
}

TEST(TextFit, EveryTranslationFitsItsPlaceInTheDialogs) {
    LoadInterfaceFont();
    MemoryDc dc(nullptr);
    UniqueFont button = CreatePointFont(105), message = CreatePointFont(130),
               title = CreatePointFont(240), text = CreatePointFont(120),
               link = CreatePointFont(120, true), big = CreatePointFont(180);
    for (WORD language : kLanguages) {
        if (!RobotoWritesIt(language)) continue;
        SCOPED_TRACE(testing::Message() << "language " << language);
        ASSERT_FALSE(Row(language, IDS_HINT).empty()) << "no table";
        for (UINT id : {IDS_CANCEL, IDS_RESUME, IDS_OK}) {
            EXPECT_LE(Extent(dc.get(), button.get(), Row(language, id)).cx, 200 - 16) << id;
        }
        for (UINT id : {IDS_INSTALL, IDS_OK}) {
            EXPECT_LE(Extent(dc.get(), big.get(), Row(language, id)).cx, 410 - 40) << id;
        }
        EXPECT_LE(Extent(dc.get(), title.get(), Row(language, IDS_HINT)).cx, 148);
        EXPECT_LE(Extent(dc.get(), message.get(), Row(language, IDS_EXIT_QUESTION), 338).cy, 60);
        const std::wstring admin = Row(language, IDS_ADMIN_RESTART);
        if (!admin.empty()) {
            EXPECT_LE(Extent(dc.get(), message.get(), admin, 500).cy, 54);
        }
        EXPECT_LE(Extent(dc.get(), text.get(), Row(language, IDS_WITH_OK_YOU_ACCEPT)).cx, 540);
        // The link line must not be cut by the dialog's edges (x1 >= 0).
        const int line = Extent(dc.get(), link.get(), Row(language, IDS_PRIVACY_POLICY)).cx +
                         Extent(dc.get(), text.get(), Row(language, IDS_AND)).cx +
                         Extent(dc.get(), link.get(), Row(language, IDS_TERMS_OF_SERVICE)).cx;
        EXPECT_GE((524 - line) / 2, 0) << "link line " << line + 16 << " px";
    }
}

}  // namespace
