// The resources of the real installer: its x86_64 build (build/x64/TelvistaSetup.exe, built from
// the same resource script as the shipped 32-bit file) is loaded as a data file and read the way
// the interface reads it: strings through the platform's lookup in the thread's interface
// language, PNG images through LoadPngResource (GDI+), bitmaps and the icon through USER.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "res/resource.h"
#include "sys/files.h"
#include "sys/process.h"
#include "tests/support/test_support.h"
#include "ui/png_resource.h"
#include "ui/strings.h"

namespace {

const std::wstring kEnglish129 =
    L"This path requires restarting the program to grant administrator rights for installation. "
    L"Do you want to restart?";

HMODULE Installer() {
    static HMODULE module = [] {
        std::wstring path = TestBinaryFolder() + L"\\..\\TelvistaSetup.exe";
        return ::LoadLibraryExW(path.c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }();
    return module;
}

struct Resource {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

Resource Find(LPCWSTR type, UINT id, WORD language = 0) {
    HMODULE module = Installer();
    HRSRC info = language ? ::FindResourceExW(module, type, MAKEINTRESOURCEW(id), language)
                          : ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!info) return {};
    HGLOBAL loaded = ::LoadResource(module, info);
    return {static_cast<const BYTE*>(::LockResource(loaded)), ::SizeofResource(module, info)};
}

// Row `id` of one language's table exactly as stored (no lookup fallbacks); empty when absent.
std::wstring StoredRow(WORD language, UINT id) {
    Resource block = Find(RT_STRING, id / 16 + 1, language);
    auto entry = reinterpret_cast<const WCHAR*>(block.data);
    if (!entry) return {};
    const WCHAR* end = entry + block.size / sizeof(WCHAR);
    for (UINT i = 0; i < id % 16 && entry < end; ++i) entry += 1 + *entry;
    return entry < end ? std::wstring(entry + 1, *entry) : std::wstring();
}

// What the platform's own lookup gives (LoadStringW: FindResource without a language).
std::wstring PlatformText(UINT id) {
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(Installer(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

// Switches the interface language of the calling thread for the platform's resource lookup.
// Windows takes it from the thread's preferred UI languages (SetThreadPreferredUILanguages,
// SetThreadUILanguage); Wine 8 has those as stubs and takes it from the thread locale
// (SetThreadLocale). Setting all three works on both.
class ThreadUiLanguage {
public:
    explicit ThreadUiLanguage(LANGID language) : previousLocale_(::GetThreadLocale()) {
        Apply(language);
    }
    ~ThreadUiLanguage() { Apply(LANGIDFROMLCID(previousLocale_)); }

private:
    static void Apply(LANGID language) {
        wchar_t list[8] = {};
        swprintf(list, 6, L"%04x", language);  // one entry, then the list's double null
        ::SetThreadPreferredUILanguages(MUI_LANGUAGE_ID, list, nullptr);
        ::SetThreadUILanguage(language);
        ::SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
    }
    LCID previousLocale_;
};

struct Language {
    const char* name;
    WORD table;        // the table's language identifier in the resources
    LANGID userUi;     // a user's interface language that the platform maps onto that table
    bool hasAdminRow;  // row 129
    bool twoLineFailure;
    const wchar_t* install;  // row 116: which table the lookup picked
};

const Language kLanguages[] = {
    {"English", 1033, 0x0409, true, true, L"Install"},
    {"Chinese (Simplified)", 4, 0x0804, true, true, L"立即安装"},
    {"Chinese (Traditional, Taiwan)", 1028, 0x0404, false, false, L"立即安裝"},
    {"German", 7, 0x0407, false, false, L"Installieren"},
    {"Spanish", 10, 0x0C0A, false, false, L"Instalar"},
    {"French", 12, 0x040C, false, false, L"Installer"},
    {"Italian", 16, 0x0410, false, false, L"Installa"},
    {"Japanese", 17, 0x0411, false, false, L"インストール"},
    {"Korean", 18, 0x0412, false, false, L"설치"},
    {"Dutch", 19, 0x0413, false, false, L"Installeren"},
    {"Portuguese", 22, 0x0416, false, false, L"Instalar"},
    {"Russian", 25, 0x0419, false, false, L"Установить"},
};

bool IsTwoLines(const std::wstring& text) {
    size_t at = text.find(L"\r\n");
    return at != std::wstring::npos && at > 0 && at + 2 < text.size() &&
           text.find(L"\r\n", at + 2) == std::wstring::npos;
}

}  // namespace

TEST(StringTables, EachLanguageHasExactlyItsRowsInTheirForms) {
    ASSERT_NE(Installer(), nullptr);
    std::wstring chineseName;
    for (const Language& lang : kLanguages) {
        SCOPED_TRACE(lang.name);
        for (UINT id = 96; id < 144; ++id) {
            bool listed = (id >= 101 && id <= 128) || (id == 129 && lang.hasAdminRow);
            EXPECT_EQ(!StoredRow(lang.table, id).empty(), listed) << "row " << id;
        }
        auto row = [&](UINT id) { return StoredRow(lang.table, id); };
        EXPECT_TRUE(IsTwoLines(row(103)));
        EXPECT_EQ(IsTwoLines(row(121)), lang.twoLineFailure);
        if (!lang.twoLineFailure) {
            EXPECT_EQ(row(121).find(L"\r\n"), std::wstring::npos);
        }
        EXPECT_NE(row(107).find(L"[ProductName]"), std::wstring::npos);
        EXPECT_TRUE(std::iswspace(row(108).back()));
        EXPECT_EQ(row(116), lang.install);
        std::wstring name = row(123);
        if (lang.table == 1033) {
            EXPECT_EQ(name, L"Pantavi");
        } else if (lang.table == 4 || lang.table == 1028) {
            // The Chinese display name: the same in both tables, without the " (PC)" suffix.
            EXPECT_EQ(name.find(L"(PC)"), std::wstring::npos);
            EXPECT_TRUE(std::none_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x80; }));
            // The same name in both, each in its own script (Simplified and Traditional).
            if (chineseName.empty()) chineseName = name;
            EXPECT_EQ(name.size(), chineseName.size());
            EXPECT_EQ(name.substr(0, 2), chineseName.substr(0, 2));
        } else {
            EXPECT_EQ(name, L"Pantavi (PC)");
        }
        // Translated, not copied: the longer sentences differ from the English ones.
        if (lang.table != 1033) {
            EXPECT_NE(row(119), StoredRow(1033, 119));
            EXPECT_NE(row(106), StoredRow(1033, 106));
        }
    }
}

TEST(StringTables, EnglishTextsAreTheInstallersOwn) {
    const std::map<UINT, std::wstring> english = {
        {101, L"&About Installer..."},
        {103, L"Slow or no internet connection.\r\nPlease connect to the internet to install."},
        {108, L"I accept the "},
        {113, L"Installing"},
        {116, L"Install"},
        {121, L"We're sorry. Service can't be installed successfully.\r\nPlease try later."},
        {123, L"Pantavi"},
        {129, kEnglish129},
    };
    for (const auto& [id, text] : english) EXPECT_EQ(StoredRow(1033, id), text) << id;
}

// What a user of `lang` sees: the text the platform picks, and LoadText with its English fallback.
void ExpectTableOf(const Language& lang) {
    SCOPED_TRACE(lang.name);
    EXPECT_EQ(PlatformText(116), lang.install);
    EXPECT_EQ(LoadText(Installer(), 116), lang.install);
    EXPECT_EQ(LoadText(Installer(), 103), StoredRow(lang.table, 103));
    EXPECT_EQ(LoadText(Installer(), 121), StoredRow(lang.table, 121));
    // Row 129: where the table lacks it the platform gives nothing and LoadText gives the
    // English row, so the administrator prompt never shows an empty message.
    EXPECT_EQ(PlatformText(129).empty(), !lang.hasAdminRow);
    EXPECT_EQ(LoadText(Installer(), 129),
              lang.hasAdminRow ? StoredRow(lang.table, 129) : kEnglish129);
}

// Switching the thread's interface language switches the table. Wine 8 follows the thread
// locale only to a table stored for exactly that language (en-US 1033, zh-TW 1028); the tables
// stored language-neutral (German 7, ...) it reaches through the user's language, which the
// per-language runs below set.
TEST(StringTables, ThePlatformPicksTheTableOfTheThreadsInterfaceLanguage) {
    for (const Language& lang : kLanguages) {
        if (lang.table != 1028 && lang.table != 1033) continue;
        ThreadUiLanguage ui(lang.userUi);
        ExpectTableOf(lang);
    }
    {
        ThreadUiLanguage taiwan(0x0404);
        EXPECT_EQ(PlatformText(IDS_INSTALL_FAILED).find(L"\r\n"), std::wstring::npos);
    }
    EXPECT_EQ(PlatformText(IDS_INSTALL), L"Install") << "the thread's language is restored";
}

// Run by CTest once per language, with the user's language set for the whole process (LC_ALL
// under Wine) and TELVISTA_UI_TABLE naming the table that user must get.
TEST(StringTables, TheUsersInterfaceLanguagePicksItsTable) {
    wchar_t table[16] = {};
    if (!::GetEnvironmentVariableW(L"TELVISTA_UI_TABLE", table, 16)) {
        GTEST_SKIP() << "runs per language from CTest";
    }
    const Language* lang = nullptr;
    for (const Language& candidate : kLanguages) {
        if (candidate.table == std::wcstoul(table, nullptr, 10)) lang = &candidate;
    }
    ASSERT_NE(lang, nullptr);
    ThreadUiLanguage ui(lang->userUi);  // what Windows takes the language from
    ExpectTableOf(*lang);
}

TEST(StringTables, ALanguageWithoutATableGetsThePlatformsFallback) {
    ThreadUiLanguage polish(0x0415);
    for (UINT id = 101; id <= 129; ++id) EXPECT_FALSE(LoadText(Installer(), id).empty()) << id;
    EXPECT_TRUE(LoadText(Installer(), 130).empty());
}

TEST(Images, EveryPngDecodesToItsSizeWithRealTransparency) {
    std::map<UINT, SIZE> sizes = {
        {IDP_LOGO, {335, 138}},         {IDP_PROBLEM, {295, 211}},
        {IDP_SUCCESS, {274, 246}},      {IDP_CLOSE, {40, 40}},
        {IDP_MINIMIZE, {40, 40}},       {IDP_FOLDER, {30, 30}},
        {IDP_CHECK_OFF, {20, 20}},      {IDP_CHECK_ON, {20, 20}},
        {IDP_BUTTON_PRIMARY, {410, 70}}, {IDP_BUTTON_SECONDARY, {200, 40}},
        {IDP_DIALOG_CLOSE, {20, 20}},   {IDP_ATTENTION, {98, 88}},
    };
    for (UINT id = IDP_SPINNER_FIRST; id <= IDP_SPINNER_LAST; ++id) sizes[id] = {200, 200};
    ASSERT_EQ(IDP_SPINNER_LAST - IDP_SPINNER_FIRST + 1, IDP_SPINNER_FRAMES);

    std::vector<std::uint32_t> previousFrame;
    for (const auto& [id, size] : sizes) {
        SCOPED_TRACE(id);
        Resource raw = Find(L"PNG", id);
        ASSERT_GT(raw.size, 33u);
        // 8-bit RGBA: the IHDR's bit depth 8 and colour type 6.
        EXPECT_EQ(std::memcmp(raw.data, "\x89PNG\r\n\x1a\n", 8), 0);
        EXPECT_EQ(raw.data[24], 8);
        EXPECT_EQ(raw.data[25], 6);

        PngImage image;
        ASSERT_TRUE(LoadPngResource(image, id, Installer()));
        EXPECT_EQ(image.Width(), size.cx);
        EXPECT_EQ(image.Height(), size.cy);
        bool transparent = false, opaque = false, partial = false, premultiplied = true;
        const size_t count = static_cast<size_t>(image.Width()) * image.Height();
        for (size_t i = 0; i < count; ++i) {
            std::uint32_t p = image.Pixels()[i], a = p >> 24;
            transparent |= a == 0;
            opaque |= a == 255;
            partial |= a > 0 && a < 255;
            for (int c = 0; c < 3; ++c) premultiplied &= ((p >> (8 * c)) & 0xFF) <= a;
        }
        EXPECT_TRUE(transparent && opaque && partial) << "anti-aliased alpha expected";
        EXPECT_TRUE(premultiplied);
        if (id >= IDP_SPINNER_FIRST && id <= IDP_SPINNER_LAST) {
            std::vector<std::uint32_t> frame(image.Pixels(), image.Pixels() + count);
            EXPECT_NE(frame, previousFrame) << "every spinner frame moves";
            previousFrame = std::move(frame);
        }
    }
}

TEST(Images, AMissingPngLeavesTheImageEmpty) {
    PngImage image;
    ASSERT_TRUE(LoadPngResource(image, IDP_CHECK_ON, Installer()));
    EXPECT_FALSE(LoadPngResource(image, 300, Installer()));
    EXPECT_TRUE(image.IsNull());
    EXPECT_EQ(image.Width(), 0);
}

TEST(Images, DrawingBlendsOverWhatIsThere) {
    PngImage check, frame;
    ASSERT_TRUE(LoadPngResource(check, IDP_CHECK_ON, Installer()));
    ASSERT_TRUE(LoadPngResource(frame, IDP_SPINNER_FIRST, Installer()));

    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 120, -120, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP target = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(target, nullptr);
    HGDIOBJ old = ::SelectObject(dc, target);
    auto pixel = [&](int x, int y) { return static_cast<std::uint32_t*>(bits)[y * 120 + x] & 0xFFFFFF; };
    const std::uint32_t field = 0x2E0A19;  // RGB(25, 10, 46) as stored: blue, green, red
    for (int i = 0; i < 120 * 120; ++i) static_cast<std::uint32_t*>(bits)[i] = field;

    // 1:1 — an opaque pixel takes the image's colour, a transparent one keeps the field.
    ASSERT_TRUE(check.Draw(dc, RECT{0, 0, 20, 20}));
    ::GdiFlush();
    EXPECT_EQ(pixel(0, 0), field);
    EXPECT_EQ(pixel(10, 3), check.Pixels()[3 * 20 + 10] & 0xFFFFFF);
    EXPECT_NE(pixel(10, 3), field);

    // Scaled from 200 x 200 to 90 x 90 as the spinner draws its frames.
    ASSERT_TRUE(frame.Draw(dc, RECT{25, 25, 115, 115}));
    ::GdiFlush();
    EXPECT_EQ(pixel(26, 26), field);  // corner of the frame: transparent
    EXPECT_EQ(pixel(70, 70), field);  // centre of the ring: transparent
    int changed = 0;
    for (int y = 25; y < 115; ++y)
        for (int x = 25; x < 115; ++x) changed += pixel(x, y) != field;
    EXPECT_GT(changed, 300);
    EXPECT_EQ(pixel(116, 70), field);  // nothing beyond the rectangle

    ::SelectObject(dc, old);
    ::DeleteObject(target);
    ::DeleteDC(dc);
}

TEST(Images, BackgroundsAre960By600In24Bits) {
    for (UINT id : {IDB_SCENE_BACKGROUND, IDB_PLAIN_BACKGROUND}) {
        SCOPED_TRACE(id);
        Resource raw = Find(RT_BITMAP, id);
        ASSERT_GE(raw.size, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        std::memcpy(&header, raw.data, sizeof(header));
        EXPECT_EQ(header.biWidth, 960);
        EXPECT_EQ(std::abs(header.biHeight), 600);
        EXPECT_EQ(header.biBitCount, 24);
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));

        HBITMAP bitmap = ::LoadBitmapW(Installer(), MAKEINTRESOURCEW(id));
        ASSERT_NE(bitmap, nullptr);
        BITMAP object{};
        ::GetObjectW(bitmap, sizeof(object), &object);
        EXPECT_EQ(object.bmWidth, 960);
        EXPECT_EQ(object.bmHeight, 600);
        ::DeleteObject(bitmap);
    }
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(Images, TheIconHoldsEverySizeIn24And32Bits) {
    Resource group = Find(RT_GROUP_ICON, IDI_APP_ICON);
    ASSERT_GE(group.size, 6u);
    WORD count = 0;
    std::memcpy(&count, group.data + 4, 2);
    std::set<std::pair<int, int>> found;
    for (WORD i = 0; i < count; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data + 6 + i * sizeof(entry), sizeof(entry));
        int size = entry.width ? entry.width : 256;
        found.insert({size, entry.bitCount});
        // Each image decodes to its size, as Windows would pick it for that size and depth.
        Resource image = Find(RT_ICON, entry.id);
        HICON icon = ::CreateIconFromResourceEx(const_cast<BYTE*>(image.data), image.size, TRUE,
                                                0x00030000, size, size, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr) << size << " x " << entry.bitCount;
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        BITMAP colour{};
        ::GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(colour.bmWidth, size);
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(icon);
    }
    std::set<std::pair<int, int>> expected;
    for (int size : {256, 128, 96, 64, 48, 40, 32, 24, 20, 16})
        for (int bits : {24, 32}) expected.insert({size, bits});
    EXPECT_EQ(found, expected);
    HICON small = static_cast<HICON>(
        ::LoadImageW(Installer(), MAKEINTRESOURCEW(IDI_APP_ICON), IMAGE_ICON, 16, 16, 0));
    EXPECT_NE(small, nullptr);
    if (small) ::DestroyIcon(small);
}

TEST(Dialogs, EveryTemplateHasItsStylesAndControls) {
    struct Expected {
        UINT id;
        short cx, cy;
        DWORD style, absentStyle, exStyle;
        std::vector<WORD> controls;
    };
    const Expected dialogs[] = {
        {IDD_ABOUTBOX, 170, 62, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0,
         {static_cast<WORD>(IDC_STATIC), IDC_ABOUT_VERSION, IDC_ABOUT_COPYRIGHT, IDOK}},
        {IDD_INSTALLER_DIALOG, 323, 199, WS_POPUP | WS_VISIBLE | WS_SYSMENU, WS_CAPTION,
         WS_EX_APPWINDOW | WS_EX_TRANSPARENT,
         {IDC_PROGRESS, IDC_STATUS_TEXT, IDC_CHECKING_TEXT, IDC_ACCEPT_TEXT, IDC_PRIVACY_LINK,
          IDC_AND_TEXT, IDC_TERMS_LINK}},
        {IDD_MESSAGE_DIALOG, 309, 176, WS_POPUP | WS_SYSMENU, WS_CAPTION, 0, {IDC_MESSAGE_TEXT}},
        {IDD_COVER_DIALOG, 309, 176, WS_POPUP | WS_SYSMENU, WS_CAPTION, 0, {}},
        {IDD_LICENSE, 309, 176, WS_POPUP | WS_SYSMENU, WS_CAPTION, 0,
         {IDC_LICENSE_TITLE, IDC_LICENSE_NOTICE, IDC_LICENSE_TERMS_LINK, IDC_LICENSE_AND_TEXT,
          IDC_LICENSE_PRIVACY_LINK}},
    };
    for (const Expected& want : dialogs) {
        SCOPED_TRACE(want.id);
        Resource raw = Find(RT_DIALOG, want.id);
        ASSERT_GE(raw.size, 26u);
        auto word = [&](size_t offset) {
            WORD w;
            std::memcpy(&w, raw.data + offset, 2);
            return w;
        };
        auto dword = [&](size_t offset) {
            DWORD d;
            std::memcpy(&d, raw.data + offset, 4);
            return d;
        };
        ASSERT_EQ(word(2), 0xFFFF) << "DIALOGEX";
        DWORD exStyle = dword(8), style = dword(12);
        EXPECT_EQ(style & want.style, want.style);
        EXPECT_EQ(style & want.absentStyle, 0u);
        EXPECT_EQ(exStyle, want.exStyle);
        EXPECT_EQ(word(16), want.controls.size());
        EXPECT_EQ(static_cast<short>(word(22)), want.cx);
        EXPECT_EQ(static_cast<short>(word(24)), want.cy);
        // The controls' identifiers, walking the DLGITEMTEMPLATEEX records.
        auto skipText = [&](size_t offset) {
            if (word(offset) == 0xFFFF) return offset + 4;
            while (word(offset) != 0) offset += 2;
            return offset + 2;
        };
        size_t at = skipText(skipText(26));     // menu, class
        at = skipText(at);                        // title
        if (style & DS_SETFONT) at = skipText(at + 6);  // point size, weight, italic, charset
        std::vector<WORD> ids;
        for (WORD i = 0; i < word(16); ++i) {
            at = (at + 3) & ~size_t{3};
            ids.push_back(static_cast<WORD>(dword(at + 20)));
            at = skipText(skipText(at + 24));  // class, title
            WORD extra = word(at);
            at += 2 + extra;
        }
        EXPECT_EQ(ids, want.controls);
    }
}

TEST(Files, TheFontIsRoboto) {
    Resource font = Find(L"FILE", IDR_FILE_FONT);
    ASSERT_GT(font.size, 12u);
    auto be16 = [&](size_t at) { return static_cast<unsigned>(font.data[at] << 8 | font.data[at + 1]); };
    auto be32 = [&](size_t at) { return be16(at) << 16 | be16(at + 2); };
    ASSERT_EQ(be32(0), 0x00010000u) << "TrueType outlines";
    // The 'name' table's family name (name ID 1) in its Windows Unicode record.
    std::wstring family;
    for (unsigned i = 0; i < be16(4); ++i) {
        size_t record = 12 + i * 16;
        if (std::memcmp(font.data + record, "name", 4) != 0) continue;
        size_t table = be32(record + 8);
        size_t strings = table + be16(table + 4);
        for (unsigned n = 0; n < be16(table + 2); ++n) {
            size_t r = table + 6 + n * 12;
            if (be16(r) == 3 && be16(r + 2) == 1 && be16(r + 6) == 1) {
                size_t at = strings + be16(r + 10);
                for (unsigned k = 0; k < be16(r + 8); k += 2) family += static_cast<wchar_t>(be16(at + k));
            }
        }
    }
    EXPECT_EQ(family, L"Roboto");

    // And GDI takes it by that name.
    DWORD installed = 0;
    HANDLE added = ::AddFontMemResourceEx(const_cast<BYTE*>(font.data), font.size, nullptr, &installed);
    ASSERT_NE(added, nullptr);
    EXPECT_GE(installed, 1u);
    LOGFONTW description{};
    description.lfHeight = -16;
    wcscpy(description.lfFaceName, L"Roboto");
    HFONT handle = ::CreateFontIndirectW(&description);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, handle);
    wchar_t face[LF_FACESIZE] = {};
    ::GetTextFaceW(dc, LF_FACESIZE, face);
    EXPECT_STREQ(face, L"Roboto");
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(handle);
    ::RemoveFontMemResourceEx(added);
}

TEST(Files, TheArchiveToolUnpacksAZip) {
    ScratchFolder scratch;
    // The archive tool is written out as the installer does and run with its parameters.
    Resource tool = Find(L"FILE", IDR_FILE_7ZA);
    ASSERT_GT(tool.size, 100000u);
    WriteFileBytes(scratch / L"7za.exe",
                   std::string(reinterpret_cast<const char*>(tool.data), tool.size));
    std::string zip = ReadFileBytes(Widen(TELVISTA_FIXTURES) + L"\\package.zip");
    ASSERT_FALSE(zip.empty());
    const std::wstring archive = scratch / L"1.2.3.zip";
    const std::wstring folder = scratch / L"extract-1.2.3.zip";
    WriteFileBytes(archive, zip);
    std::wstring parameters = L"x \"" + archive + L"\" -y -aoa -o\"" + folder + L"\"";
    ASSERT_TRUE(RunProcess(scratch.path() + L"\\", scratch / L"7za.exe", parameters, SW_HIDE, true));
    EXPECT_EQ(ReadFileBytes(folder + L"\\Telvista.exe"), "stand-in for the product's program\n");
    EXPECT_EQ(ReadFileBytes(folder + L"\\data\\readme.txt"), "hello from the package\n");
    EXPECT_EQ(ReadFileBytes(folder + L"\\sub folder\\notes.txt").size(), 540u);
}
