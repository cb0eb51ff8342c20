// The owner-drawn controls on a window thread of the test, driven by the messages of the user's
// mouse, their drawing read back from the window surface.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "res/resource.h"
#include "tests/ui/ui_support.h"
#include "ui/control_ids.h"
#include "ui/design_button.h"
#include "ui/design_progress.h"
#include "ui/dl_edit.h"
#include "ui/png_resource.h"

namespace {

constexpr COLORREF kHostColor = RGB(30, 18, 58);
constexpr COLORREF kPurple = RGB(90, 65, 143);

struct Click {
    int x, y;
    UINT id;
    void* context;
    int checked;
};
std::vector<Click> clicks;

int RecordClick(int x, int y, UINT id, void* context, int checked) {
    clicks.push_back({x, y, id, context, checked});
    return 1;
}

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        LoadInterfaceFont();
        clicks.clear();
        ui.Run([&] { host = CreateHostWindow(0, 0, 960, 600, kHostColor); });
    }
    void TearDown() override {
        ui.Run([&] {
            buttons.clear();
            progress.reset();
            edit.reset();
            ::DestroyWindow(host);
        });
    }
    CDesignButton* AddButton(UINT id, UINT normal, UINT hover, UINT pressed, const RECT& rect,
                             const std::wstring& text = L"") {
        CDesignButton* made = nullptr;
        ui.Run([&] {
            buttons.push_back(
                std::make_unique<CDesignButton>(&RecordClick, id, normal, hover, pressed, &host));
            EXPECT_TRUE(buttons.back()->Create(host, text, rect));
            made = buttons.back().get();
        });
        return made;
    }
    Pixels Shot(HWND window, bool whole = false) { return CaptureOn(ui, window, whole); }

    WindowThread ui;
    HWND host = nullptr;
    HWND other = nullptr;
    std::vector<std::unique_ptr<CDesignButton>> buttons;
    std::unique_ptr<CDesignProgress> progress;
    std::unique_ptr<CDLEdit> edit;
};

TEST_F(Controls, CheckBoxTogglesOnEveryPressAndReportsItsState) {
    CDesignButton* box = AddButton(IDC_CHK_ACCEPT, IDP_CHECK_OFF, IDP_CHECK_OFF, IDP_CHECK_ON,
                                   RECT{100, 456, 120, 476});
    HWND window = box->GetSafeHwnd();
    const Pixels unticked = Shot(window);
    // Where the image is transparent the control's dark square shows.
    EXPECT_PRED3(Near, unticked.At(0, 0), RGB(25, 10, 46), 2) << ColorText(unticked.At(0, 0));

    Press(window, 7, 9);
    EXPECT_TRUE(box->IsChecked());
    Release(window, 7, 9);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].x, 7);
    EXPECT_EQ(clicks[0].y, 9);
    EXPECT_EQ(clicks[0].id, static_cast<UINT>(IDC_CHK_ACCEPT));
    EXPECT_EQ(clicks[0].context, &host);
    EXPECT_EQ(clicks[0].checked, 1);
    EXPECT_EQ(box->CurrentImage(), static_cast<UINT>(IDP_CHECK_ON));
    const Pixels ticked = Shot(window);
    EXPECT_NE(ticked.data, unticked.data) << "the ticked box looks like the empty one";

    Press(window, 10, 10);
    Release(window, 10, 10);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[1].checked, 0);
    EXPECT_EQ(box->CurrentImage(), static_cast<UINT>(IDP_CHECK_OFF));
    EXPECT_EQ(Shot(window).data, unticked.data);

    // A quick double click is two presses: the box ends where it started.
    Press(window, 10, 10);
    Release(window, 10, 10);
    ::SendMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    Release(window, 10, 10);
    ASSERT_EQ(clicks.size(), 4u);
    EXPECT_EQ(clicks[2].checked, 1);
    EXPECT_EQ(clicks[3].checked, 0);
    // The press does not capture the mouse, so a release elsewhere reaches the other window.
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST_F(Controls, ReleaseOverAnotherButtonCallsOnlyThatOne) {
    CDesignButton* close = AddButton(IDC_BTN_CLOSE, IDP_CLOSE, IDP_CLOSE, IDP_CLOSE,
                                     RECT{908, 20, 948, 60});
    CDesignButton* minimise = AddButton(IDC_BTN_MINIMIZE, IDP_MINIMIZE, IDP_MINIMIZE,
                                        IDP_MINIMIZE, RECT{864, 20, 904, 60});
    CDesignButton* install = AddButton(IDC_BTN_INSTALL, 0, 0, 0, RECT{275, 374, 685, 444},
                                       L"Install");
    Press(close->GetSafeHwnd(), 20, 20);
    Release(minimise->GetSafeHwnd(), 30, 5);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].id, static_cast<UINT>(IDC_BTN_MINIMIZE));
    EXPECT_EQ(clicks[0].x, 30);
    EXPECT_EQ(clicks[0].y, 5);

    // A release without a press before it counts as well: only where it happens matters.
    Release(install->GetSafeHwnd(), 200, 35);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[1].id, static_cast<UINT>(IDC_BTN_INSTALL));
}

TEST_F(Controls, ImageButtonsDrawTheirPictureOverTheParent) {
    CDesignButton* close = AddButton(IDC_BTN_CLOSE, IDP_CLOSE, IDP_CLOSE, IDP_CLOSE,
                                     RECT{908, 20, 948, 60});
    PngImage image;
    ASSERT_TRUE(LoadPngResource(image, IDP_CLOSE));
    const Pixels drawn = Shot(close->GetSafeHwnd());
    // Every pixel is the picture blended over the host's colour: the button paints no
    // background of its own.
    int worst = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            std::uint32_t p = image.Pixels()[y * 40 + x];
            int a = p >> 24;
            auto over = [&](int channel, int base) {
                return static_cast<int>((p >> channel) & 0xFF) + base * (255 - a) / 255;
            };
            COLORREF expected = RGB(over(16, GetRValue(kHostColor)),
                                    over(8, GetGValue(kHostColor)), over(0, GetBValue(kHostColor)));
            COLORREF got = drawn.At(x, y);
            for (int shift : {0, 8, 16}) {
                worst = std::max(worst, std::abs(static_cast<int>((expected >> shift) & 0xFF) -
                                                 static_cast<int>((got >> shift) & 0xFF)));
            }
        }
    }
    EXPECT_LE(worst, 2);
    EXPECT_EQ(drawn.At(0, 0), kHostColor);
}

TEST_F(Controls, TextButtonsCentreTheirTextOnTheirImage) {
    struct Case {
        UINT id;
        RECT rect;
        const wchar_t* text;
        COLORREF ink;
    };
    const Case cases[] = {
        {IDC_BTN_INSTALL, {275, 374, 685, 444}, L"Install", RGB(255, 255, 255)},
        {IDC_DLG_RIGHT, {280, 230, 480, 270}, L"RESUME", RGB(255, 255, 255)},
        {IDC_DLG_LEFT, {60, 230, 260, 270}, L"CANCEL", RGB(24, 24, 24)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "button " << c.id);
        // The same button without text, below the other (siblings must not overlap).
        const RECT below{c.rect.left, c.rect.top + 100, c.rect.right, c.rect.bottom + 100};
        CDesignButton* blank = AddButton(c.id, 0, 0, 0, below);
        CDesignButton* labelled = AddButton(c.id, 0, 0, 0, c.rect, c.text);
        const Pixels under = Shot(blank->GetSafeHwnd());
        const Pixels drawn = Shot(labelled->GetSafeHwnd());
        ASSERT_FALSE(drawn.IsEmpty());
        // The text's pixels are those the label changed; their box stands in the middle.
        int left = drawn.width, right = -1, top = drawn.height, bottom = -1;
        bool inked = false;
        for (int y = 0; y < drawn.height; ++y) {
            for (int x = 0; x < drawn.width; ++x) {
                if (Near(drawn.At(x, y), under.At(x, y), 24)) continue;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
                inked = inked || Near(drawn.At(x, y), c.ink, 40);
            }
        }
        ASSERT_GE(right, 0) << "no text drawn";
        EXPECT_TRUE(inked) << "no pixel in the text colour";
        EXPECT_NEAR((left + right) / 2.0, (drawn.width - 1) / 2.0, 2.0);
        EXPECT_NEAR((top + bottom) / 2.0, (drawn.height - 1) / 2.0, 3.0);
        // The button's image fills it: its middle is not the host's colour.
        EXPECT_NE(under.At(5, drawn.height / 2), kHostColor);
    }
}

TEST_F(Controls, BrowseButtonFramesTheFolderSymbol) {
    CDesignButton* browse = AddButton(IDC_BTN_BROWSE, 0, 0, 0, RECT{860, 520, 900, 560});
    const Pixels drawn = Shot(browse->GetSafeHwnd());
    for (POINT p : {POINT{0, 0}, POINT{39, 0}, POINT{0, 39}, POINT{39, 39}, POINT{20, 0},
                    POINT{0, 20}, POINT{39, 20}, POINT{20, 39}}) {
        EXPECT_EQ(drawn.At(p.x, p.y), kPurple) << p.x << "," << p.y;
    }
    // Inside the frame the host shows, except where the symbol is drawn.
    EXPECT_EQ(drawn.At(2, 2), kHostColor);
    EXPECT_EQ(drawn.At(35, 35), kHostColor);
    int symbol = 0;
    for (int y = 7; y < 30; ++y)
        for (int x = 5; x < 31; ++x) symbol += drawn.At(x, y) != kHostColor;
    EXPECT_GT(symbol, 100);
    for (int y = 1; y < 39; ++y) {
        for (int x = 1; x < 39; ++x) {
            if (x >= 5 && x < 31 && y >= 7 && y < 30) continue;
            ASSERT_EQ(drawn.At(x, y), kHostColor) << "drawn outside the symbol at " << x << "," << y;
        }
    }
}

TEST_F(Controls, SpinnerDrawsItsFrame) {
    CDesignButton* spinner = AddButton(IDC_ANIMATION, 0, 0, 0, RECT{435, 184, 525, 274});
    EXPECT_EQ(spinner->Frame(), 1);
    const Pixels first = Shot(spinner->GetSafeHwnd());
    ui.Run([&] { spinner->SetFrame(11); });
    const Pixels eleventh = Shot(spinner->GetSafeHwnd());
    EXPECT_NE(first.data, eleventh.data);
    // No such frame (PNG 244 + 43 is the problem picture): nothing is drawn over the host.
    ui.Run([&] { spinner->SetFrame(43); });
    const Pixels none = Shot(spinner->GetSafeHwnd());
    EXPECT_EQ(none.At(45, 45), kHostColor);
}

TEST_F(Controls, ProgressBarBlocksFollowThePosition) {
    ui.Run([&] {
        HWND bar = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 110, 396,
                                     740, 26, host, reinterpret_cast<HMENU>(1000),
                                     ::GetModuleHandleW(nullptr), nullptr);
        progress = std::make_unique<CDesignProgress>();
        ASSERT_TRUE(progress->SubclassWindow(bar));
        progress->SetRange(0, 1000);
        progress->SetStep(1);
    });
    struct Case {
        int pos;
        int blocks;
    };
    for (Case c : {Case{0, 0}, Case{1, 0}, Case{14, 0}, Case{15, 0}, Case{16, 1}, Case{500, 18},
                   Case{1000, 36}, Case{470, 17}}) {
        SCOPED_TRACE(testing::Message() << "position " << c.pos);
        // Sent from the test's thread, as the workers do.
        ::SendMessageW(progress->GetSafeHwnd(), PBM_SETPOS, static_cast<WPARAM>(c.pos), 0);
        const Pixels bar = Shot(progress->GetSafeHwnd());
        ASSERT_EQ(bar.width, 740);
        ASSERT_EQ(bar.height, 26);
        for (POINT p : {POINT{0, 0}, POINT{739, 0}, POINT{0, 25}, POINT{739, 25}, POINT{370, 0},
                        POINT{370, 25}, POINT{0, 13}, POINT{739, 13}}) {
            EXPECT_EQ(bar.At(p.x, p.y), kPurple) << p.x << "," << p.y;
        }
        int blocks = 0;
        for (int x = 10; x + 20 <= 730; x += 20) {
            const COLORREF inside = bar.At(x + 10, 13);
            if (inside == kHostColor) continue;
            ++blocks;
            // A block fills (x, 6) to (x + 20, 20) exactly, in one colour.
            EXPECT_EQ(bar.At(x, 6), inside);
            EXPECT_EQ(bar.At(x + 19, 19), inside);
            EXPECT_EQ(bar.At(x + 10, 5), kHostColor);
            EXPECT_EQ(bar.At(x + 10, 20), kHostColor);
        }
        EXPECT_EQ(blocks, c.blocks);
        // The track shows what the parent paints there, never white.
        EXPECT_EQ(bar.At(5, 13), kHostColor);
        EXPECT_EQ(bar.At(734, 13), kHostColor);
        if (c.blocks >= 1) {
            EXPECT_EQ(bar.At(15, 13), RGB(14, 126, 250)) << ColorText(bar.At(15, 13));
        }
        if (c.blocks == 36) {
            EXPECT_EQ(bar.At(715, 13), RGB(242, 38, 248)) << ColorText(bar.At(715, 13));
            EXPECT_EQ(bar.At(729, 13), RGB(242, 38, 248));
            EXPECT_EQ(bar.At(730, 13), kHostColor);
        }
    }
}

TEST_F(Controls, ProgressBarWithoutAPaintingParentShowsAWhiteTrack) {
    ui.Run([&] {
        HWND plain = CreateHostWindow(0, 0, 760, 40, kHostColor, false);
        HWND bar = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 10, 7, 740,
                                     26, plain, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        progress = std::make_unique<CDesignProgress>();
        ASSERT_TRUE(progress->SubclassWindow(bar));
        progress->SetRange(0, 1000);
        progress->SetPos(250);
        other = plain;
    });
    const Pixels bar = Shot(progress->GetSafeHwnd());
    ui.Run([&] {
        progress.reset();
        ::DestroyWindow(other);
    });
    EXPECT_EQ(bar.At(5, 13), RGB(255, 255, 255));
    EXPECT_EQ(bar.At(0, 0), kPurple);
    EXPECT_EQ(bar.At(15, 13), RGB(14, 126, 250));
}

TEST_F(Controls, PathFieldIsDarkReadOnlyAndCentresItsLine) {
    const std::wstring path = L"C:\\Users\\Alex\\AppData\\Local\\Orvane\\Telvista";
    ui.Run([&] {
        edit = std::make_unique<CDLEdit>();
        ASSERT_TRUE(edit->Create(host, RECT{60, 520, 860, 560}, IDC_EDIT_PATH));
        edit->SetWindowText(path);
    });
    HWND field = edit->GetSafeHwnd();
    EXPECT_EQ(PlaceInParent(field).left, 60);
    EXPECT_EQ(PlaceInParent(field).top, 520);
    EXPECT_TRUE(::GetWindowLongPtrW(field, GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(::GetWindowLongPtrW(field, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(::SendMessageW(field, EM_GETLIMITTEXT, 0, 0), 512);
    ::SendMessageW(field, WM_CHAR, L'x', 0);  // typing changes nothing
    EXPECT_EQ(WindowText(field), path);
    LOGFONTW font{};
    ASSERT_TRUE(::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(field, WM_GETFONT, 0, 0)),
                             sizeof(font), &font));
    EXPECT_STREQ(font.lfFaceName, L"Roboto");
    EXPECT_EQ(font.lfHeight, -14);  // 10.5 pt

    const Pixels drawn = Shot(field, true);
    ASSERT_EQ(drawn.width, 800);
    ASSERT_EQ(drawn.height, 40);
    for (POINT p : {POINT{0, 0}, POINT{799, 0}, POINT{0, 39}, POINT{799, 39}, POINT{400, 0},
                    POINT{400, 39}, POINT{0, 20}, POINT{799, 20}}) {
        EXPECT_EQ(drawn.At(p.x, p.y), kPurple) << p.x << "," << p.y;
    }
    EXPECT_EQ(drawn.At(1, 1), RGB(11, 2, 22));
    EXPECT_EQ(drawn.At(700, 20), RGB(11, 2, 22));
    EXPECT_EQ(drawn.At(400, 2), RGB(11, 2, 22));
    // The text: light lavender rows in the vertical middle.
    int top = drawn.height, bottom = -1, lightest = 0;
    for (int y = 1; y < 39; ++y) {
        for (int x = 1; x < 600; ++x) {
            COLORREF c = drawn.At(x, y);
            if (Near(c, RGB(11, 2, 22), 30)) continue;
            top = std::min(top, y), bottom = std::max(bottom, y);
            lightest = std::max(lightest, static_cast<int>(GetGValue(c)));
        }
    }
    ASSERT_GE(bottom, 0) << "no text drawn";
    EXPECT_GE(lightest, 190);
    EXPECT_NEAR((top + bottom) / 2.0, 19.5, 3.0) << top << ".." << bottom;
    RECT client{};
    ::GetClientRect(field, &client);
    EXPECT_LT(client.bottom, 36);  // narrowed from top and bottom
}

}  // namespace
