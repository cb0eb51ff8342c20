// The cover, the three questions and the about box, run on a window thread of the test over a
// stand-in for the main window, answered with the mouse, their flags, texts, places and pixels
// read back.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

#include "res/resource.h"
#include "tests/ui/ui_support.h"
#include "ui/about_dlg.h"
#include "ui/admin_dlg.h"
#include "ui/control_ids.h"
#include "ui/cover_dlg.h"
#include "ui/exit_option.h"
#include "ui/gdi.h"
#include "ui/license_dlg.h"
#include "ui/license_links.h"
#include "ui/png_resource.h"
#include "ui/strings.h"

namespace {

constexpr COLORREF kHostColor = RGB(255, 200, 0);
constexpr COLORREF kGrey = RGB(216, 216, 216);
constexpr COLORREF kWhite = RGB(255, 255, 255);

const std::wstring kEnglish129 =
    L"This path requires restarting the program to grant administrator rights for installation. "
    L"Do you want to restart?";

enum class Kind { Exit, Admin, License };

std::unique_ptr<CMessageDialog> Make(Kind kind, HWND owner);

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        LoadInterfaceFont();
        ui.Run([&] { host = CreateHostWindow(170, 100, 960, 600, kHostColor); });
    }
    void TearDown() override {
        ui.Run([&] { ::DestroyWindow(host); });
    }
    // Runs `dialog` modally on the window thread; `answer` gets its window once it shows.
    void RunModal(CDialog& dialog, const std::function<void(HWND)>& answer,
                  HWND alsoShown = nullptr) {
        INT_PTR result = -2;
        ui.Post([&] { result = dialog.DoModal(); });
        HWND window = WaitForDialog(ui.Id(), {host, alsoShown});
        ASSERT_NE(window, nullptr) << "the dialog did not show";
        answer(window);
        ASSERT_TRUE(ui.Wait()) << "the dialog did not close";
        EXPECT_NE(result, -1);
    }
    Pixels Shot(HWND window, bool whole = false) { return CaptureOn(ui, window, whole); }

    WindowThread ui;
    HWND host = nullptr;
};

void ClickButton(HWND dialog, UINT id) {
    HWND button = ::GetDlgItem(dialog, static_cast<int>(id));
    ASSERT_NE(button, nullptr) << "no button " << id;
    Press(button, 10, 10);
    Release(button, 10, 10);
}

TEST_F(Dialogs, EachButtonGivesTheFlagsOfItsDialog) {
    struct Case {
        Kind kind;
        UINT button;  // 0: the window's close command (Escape, Alt+F4)
        int confirmed, accepted, quit;
    };
    const Case cases[] = {
        {Kind::Exit, IDC_DLG_CLOSE, 0, 0, 0},    {Kind::Exit, IDC_DLG_LEFT, 1, 0, 0},
        {Kind::Exit, IDC_DLG_RIGHT, 0, 0, 0},    {Kind::Exit, 0, 0, 0, 0},
        {Kind::Admin, IDC_DLG_CLOSE, 0, 0, 0},   {Kind::Admin, IDC_DLG_LEFT, 0, 0, 0},
        {Kind::Admin, IDC_DLG_RIGHT, 1, 0, 0},   {Kind::Admin, 0, 0, 0, 0},
        {Kind::License, IDC_DLG_CLOSE, 0, 0, 0}, {Kind::License, IDC_DLG_LEFT, 0, 0, 1},
        {Kind::License, IDC_DLG_RIGHT, 0, 1, 0}, {Kind::License, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "dialog " << static_cast<int>(c.kind) << " button "
                                        << c.button);
        std::unique_ptr<CMessageDialog> dialog = Make(c.kind, host);
        RunModal(*dialog, [&](HWND window) {
            if (c.button) {
                ClickButton(window, c.button);
            } else {
                ::SendMessageW(window, WM_CLOSE, 0, 0);
            }
        });
        if (auto* exit = dynamic_cast<CExitOption*>(dialog.get())) {
            EXPECT_EQ(exit->confirmed, c.confirmed);
        } else if (auto* admin = dynamic_cast<CAdminDlg*>(dialog.get())) {
            EXPECT_EQ(admin->confirmed, c.confirmed);
        } else {
            auto* license = dynamic_cast<CLicenseDlg*>(dialog.get());
            EXPECT_EQ(license->accepted, c.accepted);
            EXPECT_EQ(license->quit, c.quit);
        }
    }
}

// Pressing one button and releasing over another answers with the second.
TEST_F(Dialogs, ReleaseOverTheOtherButtonAnswersWithIt) {
    CExitOption exit(host);
    RunModal(exit, [&](HWND window) {
        Press(::GetDlgItem(window, IDC_DLG_RIGHT), 10, 10);
        Release(::GetDlgItem(window, IDC_DLG_LEFT), 10, 10);
    });
    EXPECT_EQ(exit.confirmed, 1);
}

TEST_F(Dialogs, QuestionFrameShapeButtonsAndSymbol) {
    for (Kind kind : {Kind::Exit, Kind::Admin, Kind::License}) {
        SCOPED_TRACE(testing::Message() << "dialog " << static_cast<int>(kind));
        std::unique_ptr<CMessageDialog> dialog = Make(kind, host);
        RunModal(*dialog, [&](HWND window) {
            RECT frame{}, client{}, owner{};
            ::GetWindowRect(window, &frame);
            ::GetClientRect(window, &client);
            ::GetWindowRect(host, &owner);
            EXPECT_EQ(client.right, 540);
            EXPECT_EQ(client.bottom, 300);
            // Centred over its owner.
            EXPECT_NEAR((frame.left + frame.right) / 2, (owner.left + owner.right) / 2, 1);
            EXPECT_NEAR((frame.top + frame.bottom) / 2, (owner.top + owner.bottom) / 2, 1);
            EXPECT_EQ(::GetWindow(window, GW_OWNER), host);

            // The rounded region: the corners are cut, the edges are not.
            UniqueRegion owned(::CreateRectRgn(0, 0, 0, 0));
            HRGN region = owned.get();
            EXPECT_NE(::GetWindowRgn(window, region), ERROR);
            EXPECT_FALSE(::PtInRegion(region, 0, 0));
            EXPECT_FALSE(::PtInRegion(region, 539, 0));
            EXPECT_FALSE(::PtInRegion(region, 0, 299));
            EXPECT_FALSE(::PtInRegion(region, 538, 298));
            EXPECT_TRUE(::PtInRegion(region, 6, 6));
            EXPECT_TRUE(::PtInRegion(region, 270, 0));
            EXPECT_TRUE(::PtInRegion(region, 0, 150));
            EXPECT_TRUE(::PtInRegion(region, 533, 293));

            struct Place {
                UINT id;
                RECT rect;
            };
            for (Place p : {Place{IDC_DLG_CLOSE, {496, 18, 516, 38}},
                            Place{IDC_DLG_LEFT, {60, 230, 260, 270}},
                            Place{IDC_DLG_RIGHT, {280, 230, 480, 270}}}) {
                RECT at = PlaceInParent(::GetDlgItem(window, static_cast<int>(p.id)));
                EXPECT_TRUE(::EqualRect(&at, &p.rect)) << "button " << p.id;
            }

            const Pixels drawn = Shot(window);
            ASSERT_EQ(drawn.width, 540);
            // The grey border: top row, left column, the two bottom rows, right column.
            for (POINT p : {POINT{270, 0}, POINT{20, 0}, POINT{0, 150}, POINT{270, 298},
                            POINT{270, 299}, POINT{539, 150}, POINT{100, 299}}) {
                EXPECT_EQ(drawn.At(p.x, p.y), kGrey) << p.x << "," << p.y;
            }
            for (POINT p : {POINT{270, 1}, POINT{1, 150}, POINT{270, 297}, POINT{538, 150},
                            POINT{30, 220}, POINT{510, 220}}) {
                EXPECT_EQ(drawn.At(p.x, p.y), kWhite) << p.x << "," << p.y;
            }

            // The attention symbol unscaled at (221, 40) over white, in the two questions only.
            PngImage symbol;
            ASSERT_TRUE(LoadPngResource(symbol, IDP_ATTENTION));
            int worst = 0, coloured = 0;
            // The licence dialog's title begins at y 63.
            const int rows = kind == Kind::License ? 23 : 88;
            for (int y = 0; y < rows; ++y) {
                for (int x = 0; x < 98; ++x) {
                    std::uint32_t p = symbol.Pixels()[y * 98 + x];
                    int a = static_cast<int>(p >> 24);
                    COLORREF got = drawn.At(221 + x, 40 + y);
                    coloured += got != kWhite;
                    for (int shift : {0, 8, 16}) {
                        int expected = static_cast<int>((p >> shift) & 0xFF) + (255 - a);
                        int channel = shift == 16 ? GetRValue(got)
                                                  : shift == 8 ? GetGValue(got) : GetBValue(got);
                        worst = std::max(worst, std::abs(expected - channel));
                    }
                }
            }
            if (kind == Kind::License) {
                EXPECT_EQ(coloured, 0) << "the licence dialog shows no symbol";
            } else {
                EXPECT_LE(worst, 2);
                EXPECT_GT(coloured, 1000);
            }
            ClickButton(window, IDC_DLG_CLOSE);
        });
    }
}

TEST_F(Dialogs, QuestionsShowTheirMessageInRoboto) {
    struct Case {
        Kind kind;
        UINT text;
        RECT place;
    };
    for (Case c : {Case{Kind::Exit, IDS_EXIT_QUESTION, {101, 141, 439, 201}},
                   Case{Kind::Admin, IDS_ADMIN_RESTART, {20, 141, 520, 195}}}) {
        std::unique_ptr<CMessageDialog> dialog = Make(c.kind, host);
        RunModal(*dialog, [&](HWND window) {
            HWND message = ::GetDlgItem(window, IDC_MESSAGE_TEXT);
            EXPECT_EQ(WindowText(message), LoadText(c.text));
            RECT at = PlaceInParent(message);
            EXPECT_TRUE(::EqualRect(&at, &c.place));
            EXPECT_EQ(::GetWindowLongPtrW(message, GWL_STYLE) & SS_TYPEMASK, SS_CENTER);
            LOGFONTW font{};
            ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(message, WM_GETFONT, 0, 0)),
                         sizeof(font), &font);
            EXPECT_STREQ(font.lfFaceName, L"Roboto");
            EXPECT_EQ(font.lfHeight, -17);  // 13 pt

            // Grey text on white in the message's place.
            const Pixels drawn = Shot(window);
            int dark = 0;
            for (int y = c.place.top; y < c.place.bottom; ++y)
                for (int x = c.place.left; x < c.place.right; ++x)
                    dark += Near(drawn.At(x, y), RGB(74, 74, 74), 24);
            EXPECT_GT(dark, 50);
            ClickButton(window, IDC_DLG_CLOSE);
        });
    }
}

// The licence line: three parts at their measured widths, 8 pixels apart, centred in the dialog
// (x1 may be negative for a long line).
void ExpectLinkLine(HWND window) {
    RECT privacy = PlaceInParent(::GetDlgItem(window, IDC_LICENSE_PRIVACY_LINK));
    RECT conjunction = PlaceInParent(::GetDlgItem(window, IDC_LICENSE_AND_TEXT));
    RECT terms = PlaceInParent(::GetDlgItem(window, IDC_LICENSE_TERMS_LINK));
    for (const RECT* r : {&privacy, &conjunction, &terms}) EXPECT_EQ(r->top, 140);
    EXPECT_EQ(conjunction.left, privacy.right + 8);
    EXPECT_EQ(terms.left, conjunction.right + 8);
    EXPECT_NEAR((privacy.left + terms.right) / 2.0, 270.0, 1.0);
    const int sum = (privacy.right - privacy.left) + (conjunction.right - conjunction.left) +
                    (terms.right - terms.left);
    EXPECT_EQ(privacy.left, (524 - sum) / 2);
}

TEST_F(Dialogs, LicenseTextsAndLinkLine) {
    CLicenseDlg license(host);
    RunModal(license, [&](HWND window) {
        struct Text {
            UINT id, text;
            COLORREF ink;
            int height;
            bool underline;
        };
        for (Text t : {Text{IDC_LICENSE_TITLE, IDS_HINT, RGB(74, 74, 74), -32, false},
                       Text{IDC_LICENSE_NOTICE, IDS_WITH_OK_YOU_ACCEPT, RGB(74, 74, 74), -16, false},
                       Text{IDC_LICENSE_PRIVACY_LINK, IDS_PRIVACY_POLICY, RGB(119, 11, 252), -16, true},
                       Text{IDC_LICENSE_AND_TEXT, IDS_AND, RGB(74, 74, 74), -16, false},
                       Text{IDC_LICENSE_TERMS_LINK, IDS_TERMS_OF_SERVICE, RGB(119, 11, 252), -16, true}}) {
            SCOPED_TRACE(testing::Message() << "text " << t.id);
            HWND text = ::GetDlgItem(window, static_cast<int>(t.id));
            EXPECT_EQ(WindowText(text), LoadText(t.text));
            LOGFONTW font{};
            ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(text, WM_GETFONT, 0, 0)),
                         sizeof(font), &font);
            EXPECT_STREQ(font.lfFaceName, L"Roboto");
            EXPECT_EQ(font.lfHeight, t.height);
            EXPECT_EQ(font.lfUnderline != 0, t.underline);
            const RECT at = PlaceInParent(text);
            const Pixels drawn = Shot(window);
            int inked = 0;
            for (int y = at.top; y < at.bottom; ++y)
                for (int x = std::max(0, static_cast<int>(at.left)); x < at.right && x < 540; ++x)
                    inked += Near(drawn.At(x, y), t.ink, 30);
            EXPECT_GT(inked, 10) << "no text in its colour";
        }
        RECT title = PlaceInParent(::GetDlgItem(window, IDC_LICENSE_TITLE));
        EXPECT_TRUE(::EqualRect(&title, std::array<RECT, 1>{RECT{196, 63, 344, 103}}.data()));
        RECT notice = PlaceInParent(::GetDlgItem(window, IDC_LICENSE_NOTICE));
        EXPECT_EQ(notice.top, 120);
        EXPECT_NEAR((notice.left + notice.right) / 2.0, 270.0, 1.0);
        ExpectLinkLine(window);

        // A long translation: the line grows past both edges and stays centred.
        ui.Run([&] {
            ::SetDlgItemTextW(window, IDC_LICENSE_PRIVACY_LINK,
                              L"Datenschutzerklärung und Hinweise zur Verarbeitung");
            ::SetDlgItemTextW(window, IDC_LICENSE_AND_TEXT, L"sowie die allgemeinen");
            ::SetDlgItemTextW(window, IDC_LICENSE_TERMS_LINK,
                              L"Geschäfts- und Nutzungsbedingungen des Dienstes");
            license.LayOutLinkLine();
        });
        EXPECT_LT(PlaceInParent(::GetDlgItem(window, IDC_LICENSE_PRIVACY_LINK)).left, 0);
        ExpectLinkLine(window);
        ClickButton(window, IDC_DLG_RIGHT);
    });
    EXPECT_EQ(license.accepted, 1);
}

TEST(LicenseLinks, OpenThePagesOfTheBuildsWebSite) {
    EXPECT_EQ(LicensePageUrl(LicensePage::Privacy),
              L"" TELVISTA_TEST_WEBSITE L"/license/privacy.html");
    EXPECT_EQ(LicensePageUrl(LicensePage::Terms), L"" TELVISTA_TEST_WEBSITE L"/license/terms.html");
}

// Run once per interface language (LC_ALL of the Wine process): English and German.
TEST_F(Dialogs, InterfaceLanguageOfTheQuestions) {
    const LANGID language = PRIMARYLANGID(::GetUserDefaultUILanguage());
    CAdminDlg admin(host);
    RunModal(admin, [&](HWND window) {
        // German has no row 129: the question stays readable in English.
        EXPECT_EQ(WindowText(::GetDlgItem(window, IDC_MESSAGE_TEXT)), kEnglish129);
        const std::wstring cancel = WindowText(::GetDlgItem(window, IDC_DLG_LEFT));
        EXPECT_EQ(cancel, language == LANG_GERMAN ? L"ABBRECHEN" : L"CANCEL");
        EXPECT_EQ(WindowText(::GetDlgItem(window, IDC_DLG_RIGHT)), L"OK");
        ClickButton(window, IDC_DLG_LEFT);
    });
    CExitOption exit(host);
    RunModal(exit, [&](HWND window) {
        EXPECT_EQ(WindowText(::GetDlgItem(window, IDC_DLG_RIGHT)),
                  language == LANG_GERMAN ? L"FORTSETZEN" : L"RESUME");
        const std::wstring message = WindowText(::GetDlgItem(window, IDC_MESSAGE_TEXT));
        EXPECT_EQ(message.rfind(language == LANG_GERMAN ? L"Die Installation" : L"Installation not", 0), 0u);
        ClickButton(window, IDC_DLG_RIGHT);
    });
    CLicenseDlg license(host);
    RunModal(license, [&](HWND window) {
        EXPECT_EQ(WindowText(::GetDlgItem(window, IDC_LICENSE_TITLE)),
                  language == LANG_GERMAN ? L"Hinweis" : L"Hint");
        ExpectLinkLine(window);
        ClickButton(window, IDC_DLG_CLOSE);
    });
}

TEST_F(Dialogs, CoverVeilsTheWindowAtOpacity100) {
    CCoverDlg cover(host);
    ui.Run([&] { ASSERT_TRUE(cover.ShowOver(host)); });
    HWND veil = cover.GetSafeHwnd();
    ASSERT_NE(veil, nullptr);
    EXPECT_TRUE(::IsWindowVisible(veil));
    EXPECT_EQ(::GetWindow(veil, GW_OWNER), host);
    BYTE alpha = 0;
    DWORD flags = 0;
    COLORREF key = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(veil, &key, &alpha, &flags));
    EXPECT_EQ(alpha, 100);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));
    RECT over{}, hostRect{};
    ::GetWindowRect(veil, &over);
    ::GetWindowRect(host, &hostRect);
    EXPECT_TRUE(::EqualRect(&over, &hostRect));
    const Pixels drawn = Shot(veil);
    EXPECT_EQ(drawn.At(480, 300), RGB(105, 120, 128)) << ColorText(drawn.At(480, 300));

    // A question over the cover: it stands above the veil, centred over the window.
    CExitOption exit(host);
    RunModal(exit, [&](HWND window) {
        HWND above = window;
        bool veiled = false;
        while ((above = ::GetWindow(above, GW_HWNDNEXT)) != nullptr) veiled |= above == veil;
        EXPECT_TRUE(veiled) << "the question is below the cover";
        ClickButton(window, IDC_DLG_RIGHT);
    }, veil);
    ui.Run([&] { cover.DestroyWindow(); });
    EXPECT_FALSE(::IsWindow(veil));
}

TEST_F(Dialogs, AboutBoxFromItsTemplateClosesWithOk) {
    CAboutDlg about(host);
    RunModal(about, [&](HWND window) {
        EXPECT_EQ(WindowText(window), L"About Installer");
        EXPECT_EQ(WindowText(::GetDlgItem(window, IDC_ABOUT_VERSION)), L"Installer, Version 1.0");
        HWND ok = ::GetDlgItem(window, IDOK);
        ASSERT_NE(ok, nullptr);
        ::PostMessageW(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        ::PostMessageW(ok, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    });
}

std::unique_ptr<CMessageDialog> Make(Kind kind, HWND owner) {
    switch (kind) {
    case Kind::Exit:
        return std::make_unique<CExitOption>(owner);
    case Kind::Admin:
        return std::make_unique<CAdminDlg>(owner);
    case Kind::License:
        break;
    }
    return std::make_unique<CLicenseDlg>(owner);
}

}  // namespace
