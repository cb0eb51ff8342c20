// The main window in-process: the real dialog 102 on a window thread of the test, driven by the
// messages a user's mouse and keys produce and by the worker-to-window interface called from the
// test's own thread (a foreign thread, as the workers are). Controls are read back from the
// window (visible, rectangle, text) and pixels from its rendered surface.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/elevation.h"
#include "app/installer_app.h"
#include "app/installer_dlg.h"
#include "res/resource.h"
#include "sys/files.h"
#include "sys/paths.h"
#include "tests/app/window_support.h"
#include "tests/pipeline/install_support.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_support.h"
#include "ui/control_ids.h"
#include "ui/gdi.h"
#include "ui/main_look.h"
#include "ui/png_resource.h"
#include "ui/strings.h"

namespace {

// Every control of the window whose visibility a page decides (or must keep).
const std::vector<UINT> kAllControls = {
    IDC_PROGRESS,    IDC_STATUS_TEXT, IDC_CHECKING_TEXT, IDC_ACCEPT_TEXT, IDC_PRIVACY_LINK,
    IDC_AND_TEXT,    IDC_TERMS_LINK,  IDC_BTN_CLOSE,     IDC_BTN_MINIMIZE, IDC_BTN_INSTALL,
    IDC_BTN_CANCEL,  IDC_BTN_BROWSE,  IDC_ANIMATION,     IDC_CHK_ACCEPT,  IDC_BTN_OK,
    IDC_EDIT_PATH};

std::string Names(const std::set<UINT>& ids) {
    std::string text;
    for (UINT id : ids) text += std::to_string(id) + " ";
    return text;
}

TEST_F(MainWindowTest, OpensAtItsPlaceWithTitleIconAndAboutItem) {
    Open(0, 300);
    RECT window{};
    ::GetWindowRect(hwnd, &window);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(client.right, 960);
    EXPECT_EQ(client.bottom, 600);
    EXPECT_EQ(window.top, 300);
    EXPECT_EQ(window.left, (work.right - (window.right - window.left)) / 2);

    EXPECT_EQ(WindowText(hwnd), LoadText(IDS_PRODUCT_DISPLAY_NAME));
    EXPECT_NE(::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0), 0);
    HMENU menu = ::GetSystemMenu(hwnd, FALSE);
    wchar_t item[128] = {};
    ASSERT_GT(::GetMenuStringW(menu, 16, item, 128, MF_BYCOMMAND), 0);
    EXPECT_EQ(std::wstring(item), LoadText(IDS_ABOUTBOX));

}

TEST_F(MainWindowTest, GivenPositionIsKeptAndCentringIsPerAxis) {
    Open(40, 0);
    RECT window{};
    ::GetWindowRect(hwnd, &window);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(window.left, 40);
    EXPECT_EQ(window.top, (work.bottom - (window.bottom - window.top)) / 2);
}

// One step of a page sequence a worker asks for, and what the window shows afterwards.
struct PageStep {
    PageState page;
    int errorText;                 // set before the page, 0 for none
    std::set<UINT> visible;        // besides close and minimise, which every page shows
    UINT statusString;             // the status text shown (0: hidden or not looked at)
    int statusTop;
    UINT background;
    UINT picture;
};

TEST_F(MainWindowTest, EveryPageShowsItsControlsTextsAndDecoration) {
    Open();
    const std::set<UINT> row = {IDC_ACCEPT_TEXT, IDC_PRIVACY_LINK, IDC_AND_TEXT, IDC_TERMS_LINK,
                                IDC_CHK_ACCEPT,  IDC_BTN_INSTALL,  IDC_EDIT_PATH, IDC_BTN_BROWSE};
    // "Unchanged" columns are seen through the order: the OK button of NoInternet goes with
    // Checking, the bar of UpdatingInstaller stays through Blank, Error's OK through Blank.
    const std::vector<PageStep> steps = {
        {PageState::Checking, 0, {IDC_CHECKING_TEXT, IDC_ANIMATION}, 0, 0, 244, 0},
        {PageState::NoInternet, 0, {IDC_STATUS_TEXT, IDC_BTN_OK}, 103, 370, 244, 287},
        {PageState::Checking, 0, {IDC_CHECKING_TEXT, IDC_ANIMATION}, 0, 0, 244, 0},
        {PageState::UpdatingInstaller, 0, {IDC_STATUS_TEXT, IDC_PROGRESS}, 102, 432, 244, 0},
        {PageState::Blank, 0, {IDC_STATUS_TEXT, IDC_PROGRESS}, 102, 432, 244, 0},
        {PageState::Ready, 0, row, 0, 0, 243, 222},
        {PageState::Downloading, 0, {IDC_STATUS_TEXT}, 112, 432, 243, 222},
        {PageState::Installing, 0, {IDC_STATUS_TEXT, IDC_PROGRESS}, 113, 432, 243, 222},
        {PageState::Complete, 0, {IDC_STATUS_TEXT}, 105, 400, 244, 288},
        {PageState::Error, 121, {IDC_STATUS_TEXT, IDC_BTN_OK}, 121, 370, 244, 287},
        {PageState::Blank, 0, {IDC_STATUS_TEXT, IDC_BTN_OK}, 121, 370, 244, 0},
        {PageState::Error, 117, {IDC_STATUS_TEXT, IDC_BTN_OK}, 117, 432, 244, 287},
        {PageState::Error, 103, {IDC_STATUS_TEXT, IDC_BTN_OK}, 103, 370, 244, 287},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        const PageStep& step = steps[i];
        SCOPED_TRACE("step " + std::to_string(i) + ", page " +
                     std::to_string(static_cast<int>(step.page)));
        if (step.errorText) dialog->SetErrorTextId(step.errorText);
        // From this (foreign) thread: the page has changed when the call returns.
        dialog->SetPageState(step.page);
        std::set<UINT> expected = step.visible;
        expected.insert({IDC_BTN_CLOSE, IDC_BTN_MINIMIZE});
        EXPECT_EQ(Names(VisibleControls(kAllControls)), Names(expected));
        if (step.statusString) {
            HWND status = Item(IDC_STATUS_TEXT);
            const std::wstring text = ReplaceAll(LoadText(step.statusString), L"[ProductName]",
                                                 L"Telvista");
            EXPECT_EQ(WindowText(status), text);
            const RECT place = PlaceInParent(status);
            EXPECT_EQ(place.top, step.statusTop);
            EXPECT_EQ(place.left, (960 - (place.right - place.left)) / 2);
        }
        const Pixels shot = Shot();
        // The background shows in a corner no control covers; the picture where it is opaque.
        EXPECT_TRUE(Near(shot.At(3, 596), BitmapPixel(step.background, 3, 596), 2))
            << ColorText(shot.At(3, 596));
        if (step.picture) {
            const RECT place = MainLook::PicturePlace(step.picture);
            const POINT opaque = OpaquePoint(step.picture);
            EXPECT_TRUE(Near(shot.At(place.left + opaque.x, place.top + opaque.y),
                             PngPixel(step.picture, opaque.x, opaque.y), 3))
                << ColorText(shot.At(place.left + opaque.x, place.top + opaque.y));
        } else {
            // Without a picture the logo's place shows the background.
            EXPECT_TRUE(Near(shot.At(480, 150), BitmapPixel(step.background, 480, 150), 2));
        }
    }
}

TEST_F(MainWindowTest, ControlsStandAtTheirPlaces) {
    Open();
    struct Place {
        UINT id;
        PageState page;
        RECT rect;
    };
    const Place places[] = {
        {IDC_BTN_MINIMIZE, PageState::Checking, {864, 20, 904, 60}},
        {IDC_BTN_CLOSE, PageState::Checking, {908, 20, 948, 60}},
        {IDC_ANIMATION, PageState::Checking, {435, 184, 525, 274}},
        {IDC_PROGRESS, PageState::Installing, {110, 396, 850, 422}},
        {IDC_BTN_INSTALL, PageState::Ready, {275, 374, 685, 444}},
        {IDC_BTN_OK, PageState::Error, {275, 460, 685, 530}},
        {IDC_EDIT_PATH, PageState::Ready, {60, 520, 860, 560}},
        {IDC_BTN_BROWSE, PageState::Ready, {860, 520, 900, 560}},
        {IDC_BTN_CANCEL, PageState::Ready, {62, 520, 472, 590}},
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.id);
        dialog->SetPageState(place.page);
        const RECT got = PlaceInParent(Item(place.id));
        EXPECT_TRUE(::EqualRect(&got, &place.rect))
            << got.left << "," << got.top << "," << got.right << "," << got.bottom;
    }
    // The checking text at the size of its text in 19 pt, centred at y 370.
    dialog->SetPageState(PageState::Checking);
    HWND checking = Item(IDC_CHECKING_TEXT);
    EXPECT_EQ(WindowText(checking), LoadText(IDS_CHECKING_INTERNET));
    const RECT place = PlaceInParent(checking);
    UniqueFont font = CreatePointFont(190);
    const SIZE size = MeasureText(checking, font.get(), LoadText(IDS_CHECKING_INTERNET));
    EXPECT_EQ(place.right - place.left, size.cx);
    EXPECT_EQ(place.bottom - place.top, size.cy);
    EXPECT_EQ(place.left, (960 - size.cx) / 2);
    EXPECT_EQ(place.top, 370);
}

TEST_F(MainWindowTest, StatusTextIsMeasuredPlacedAndDrawnWhite) {
    Open();
    UniqueFont font = CreatePointFont(120);
    HWND status = Item(IDC_STATUS_TEXT);
    const SIZE line = MeasureText(status, font.get(), L"Ag");

    // Two lines at 370: both lines measured as one for the width, two line heights and 2.
    dialog->SetPageState(PageState::NoInternet);
    const std::wstring twoLines = LoadText(IDS_NO_INTERNET);
    RECT place = PlaceInParent(status);
    EXPECT_EQ(place.top, 370);
    EXPECT_EQ(place.bottom - place.top, 2 * line.cy + 2);
    EXPECT_EQ(place.right - place.left, MeasureText(status, font.get(), twoLines).cx);

    dialog->SetPageState(PageState::Complete);
    place = PlaceInParent(status);
    EXPECT_EQ(place.top, 400);
    EXPECT_EQ(place.bottom - place.top, line.cy);

    // Drawn white straight onto the background: white pixels inside, the background around.
    const Pixels shot = Shot();
    int white = 0;
    for (int y = place.top; y < place.bottom; ++y)
        for (int x = place.left; x < place.right; ++x) white += Near(shot.At(x, y), RGB(255, 255, 255), 40);
    EXPECT_GT(white, 10);
    EXPECT_TRUE(Near(shot.At(place.left, place.top), BitmapPixel(244, place.left, place.top), 2));

    // The percent text grows with its number and stays centred at 432.
    dialog->SetPageState(PageState::Installing);
    dialog->SetProgressPos(0);
    dialog->ReportPercent(7);
    EXPECT_EQ(WindowText(status), LoadText(IDS_INSTALLING) + L" 7%");
    const RECT seven = PlaceInParent(status);
    dialog->ReportPercent(100);
    EXPECT_EQ(WindowText(status), LoadText(IDS_INSTALLING) + L" 100%");
    const RECT hundred = PlaceInParent(status);
    for (const RECT& r : {seven, hundred}) {
        EXPECT_EQ(r.top, 432);
        EXPECT_EQ(r.left, (960 - (r.right - r.left)) / 2);
    }
    EXPECT_GT(hundred.right - hundred.left, seven.right - seven.left);
    EXPECT_TRUE(::IsWindowVisible(status));
}

TEST_F(MainWindowTest, PercentReportsAndTheCreepTimer) {
    Open();
    dialog->SetPageState(PageState::Installing);
    HWND status = Item(IDC_STATUS_TEXT);

    // The creep timer ran ahead to 470: a report of 45% moves the bar back, the text stays.
    dialog->SetProgressPos(470);
    const std::wstring before = WindowText(status);
    dialog->ReportPercent(45);
    EXPECT_EQ(dialog->GetProgressPos(), 450);
    EXPECT_EQ(WindowText(status), before);
    dialog->ReportPercent(46);
    EXPECT_EQ(dialog->GetProgressPos(), 460);
    EXPECT_EQ(WindowText(status), LoadText(IDS_INSTALLING) + L" 46%");

    // While the cancel confirmation is open nothing moves.
    dialog->exitPromptOpen = 1;
    dialog->ReportPercent(80);
    EXPECT_EQ(dialog->GetProgressPos(), 460);
    dialog->exitPromptOpen = 0;

    // One tick: +2 while it stays within the target.
    dialog->SetProgressTarget(600);
    dialog->SetProgressPos(599);
    Tick(2);
    EXPECT_EQ(dialog->GetProgressPos(), 599);
    dialog->SetProgressPos(597);
    Tick(2);
    EXPECT_EQ(dialog->GetProgressPos(), 599);

    // Started and stopped from this thread, the timer is the window's (its thread kills it).
    dialog->SetProgressPos(590);
    dialog->StartProgressCreep();
    EXPECT_TRUE(WaitUntil([&] { return dialog->GetProgressPos() >= 594; }, 5000));
    dialog->StopProgressCreep();
    BOOL killed = TRUE;
    ui.Run([&] { killed = ::KillTimer(hwnd, 2); });
    EXPECT_FALSE(killed);
    dialog->StartProgressCreep();
    ui.Run([&] { killed = ::KillTimer(hwnd, 2); });
    EXPECT_TRUE(killed);
}

TEST_F(MainWindowTest, SpinnerRunsThroughItsFortyTwoFrames) {
    Open();
    dialog->SetPageState(PageState::Checking);
    CDesignButton* spinner = Spinner();
    // The test drives the ticks itself, from the first frame.
    ui.Run([&] {
        ::KillTimer(hwnd, 1);
        spinner->SetFrame(1);
    });
    std::vector<int> frames;
    Pixels first, later;
    for (int tick = 0; tick < 43; ++tick) {
        frames.push_back(spinner->Frame());
        if (tick == 0) first = Shot();
        if (tick == 10) later = Shot();
        Tick(1);
    }
    std::vector<int> expected;
    for (int frame = 1; frame <= 42; ++frame) expected.push_back(frame);
    expected.push_back(1);
    EXPECT_EQ(frames, expected);
    // Each frame is drawn over the background again, not over the previous frame.
    int differing = 0;
    for (int y = 184; y < 274; ++y)
        for (int x = 435; x < 525; ++x) differing += first.At(x, y) != later.At(x, y);
    EXPECT_GT(differing, 50);

    // A later Checking page continues from the frame reached.
    int frame = 0;
    ui.Run([&] {
        spinner->SetFrame(17);
        dialog->SetPageState(PageState::Ready);
        dialog->SetPageState(PageState::Checking);
        frame = spinner->Frame();
        ::KillTimer(hwnd, 1);
    });
    EXPECT_EQ(frame, 17);

    // An index outside 1-42 stops the animation.
    ui.Run([&] { spinner->SetFrame(0); });
    Tick(1);
    BOOL killed = TRUE;
    ui.Run([&] { killed = ::KillTimer(hwnd, 1); });
    EXPECT_FALSE(killed);
    EXPECT_EQ(spinner->Frame(), 0);
}

TEST_F(MainWindowTest, LicenceRowIsCentredAsAGroup) {
    Open();
    dialog->SetPageState(PageState::Ready);
    UniqueFont text = CreatePointFont(120);
    UniqueFont link = CreatePointFont(120, true);
    struct Part {
        UINT id;
        UINT string;
        HFONT font;
    } parts[] = {{IDC_ACCEPT_TEXT, IDS_I_ACCEPT, text.get()},
                 {IDC_PRIVACY_LINK, IDS_PRIVACY_POLICY, link.get()},
                 {IDC_AND_TEXT, IDS_AND, text.get()},
                 {IDC_TERMS_LINK, IDS_TERMS_OF_SERVICE, link.get()}};
    const RECT box = PlaceInParent(Item(IDC_CHK_ACCEPT));
    EXPECT_EQ(box.top, 456);
    EXPECT_EQ(box.right - box.left, 20);
    EXPECT_EQ(box.bottom - box.top, 20);
    int x = box.left + 30;
    for (const Part& part : parts) {
        SCOPED_TRACE(part.id);
        HWND control = Item(part.id);
        EXPECT_EQ(WindowText(control), LoadText(part.string));
        const SIZE size = MeasureText(control, part.font, LoadText(part.string));
        const RECT place = PlaceInParent(control);
        EXPECT_EQ(place.left, x);
        EXPECT_EQ(place.top, 456);
        EXPECT_EQ(place.right - place.left, size.cx);
        EXPECT_EQ(place.bottom - place.top, size.cy);
        x = place.right + 5;
    }
    // 20 + 10 + the texts + 3 x 5 in the middle of the 960 pixels.
    const int right = PlaceInParent(Item(IDC_TERMS_LINK)).right;
    EXPECT_LE(std::abs((box.left + right) - 960), 1) << box.left << " .. " << right;

    // The default folder in the path field, made on the way.
    const std::wstring path = dialog->GetInstallPath();
    EXPECT_EQ(WindowText(Item(IDC_EDIT_PATH)), path);
    EXPECT_GE(path.size(), 16u);
    EXPECT_EQ(path.substr(path.size() - 16), L"\\Orvane\\Telvista");
    EXPECT_TRUE(PathExists(path));
}

TEST_F(MainWindowTest, InstallWithTheBoxTickedStartsTheDownloadAtOnce) {
    Open();
    dialog->SetPageState(PageState::Ready);
    Click(IDC_CHK_ACCEPT);
    EXPECT_EQ(dialog->licenseAccepted, 1);
    dialog->SetProgressPos(300);
    Click(IDC_BTN_INSTALL);
    EXPECT_EQ(OtherDialog(1000), nullptr);
    // Downloading at once, then the download phase's own pages; the package's download fails
    // after 1.5 s here, so the phase ends on Error 103 with the OK button.
    const std::vector<PageState> pages = Pages();
    const auto downloading = std::find(pages.begin(), pages.end(), PageState::Downloading);
    ASSERT_NE(downloading, pages.end());
    EXPECT_EQ(*(downloading - 1), PageState::Ready);
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_BTN_INSTALL)));
    EXPECT_EQ(dialog->GetProgressPos(), 0);
    ASSERT_TRUE(WaitForPage(PageState::Error));
    EXPECT_EQ(WindowText(Item(IDC_STATUS_TEXT)),
              ReplaceAll(LoadText(IDS_NO_INTERNET), L"[ProductName]", L"Telvista"));
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_BTN_OK)));

    // A second press unticks the box again.
    dialog->SetPageState(PageState::Ready);
    Click(IDC_CHK_ACCEPT);
    EXPECT_EQ(dialog->licenseAccepted, 0);
}

TEST_F(MainWindowTest, LicenceDialogCloseOkAndCancel) {
    Open();
    dialog->SetPageState(PageState::Ready);

    // Its close symbol: the Install button comes back and nothing starts.
    Click(IDC_BTN_INSTALL);
    HWND license = OtherDialog();
    ASSERT_NE(license, nullptr);
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_BTN_INSTALL)));
    EXPECT_TRUE(CoverIsShown());
    ClickIn(license, IDC_DLG_CLOSE);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(license); }, 5000));
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_BTN_INSTALL)));
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_CHK_ACCEPT)));
    EXPECT_FALSE(CoverIsShown());

    // OK: the download starts without the box being ticked.
    Click(IDC_BTN_INSTALL);
    license = OtherDialog();
    ASSERT_NE(license, nullptr);
    ClickIn(license, IDC_DLG_RIGHT);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(license); }, 5000));
    const std::vector<PageState> pages = Pages();
    EXPECT_NE(std::find(pages.begin(), pages.end(), PageState::Downloading), pages.end());
    EXPECT_EQ(dialog->licenseAccepted, 0);
    EXPECT_FALSE(CoverIsShown());
    EXPECT_TRUE(WaitForPage(PageState::Error));
}

TEST_F(MainWindowTest, LicenceCancelRemovesTheTemporaryFolderAndEnds) {
    const std::wstring marker = TempMarker();
    Open();
    dialog->SetPageState(PageState::Ready);
    Click(IDC_BTN_INSTALL);
    HWND license = OtherDialog();
    ASSERT_NE(license, nullptr);
    ClickIn(license, IDC_DLG_LEFT);
    EXPECT_TRUE(WaitClosed());
    EXPECT_FALSE(PathExists(GetTempFolder()));
}

TEST_F(MainWindowTest, EveryWayOfClosingAsksUntilTheDownloadHasSucceeded) {
    const std::wstring marker = TempMarker();
    Open();
    dialog->SetPageState(PageState::Downloading);
    dialog->SetProgressPos(200);

    // The close button, Escape, Alt+F4 and the system menu's Close: each asks; RESUME goes on.
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"close button", [&] { Click(IDC_BTN_CLOSE); }},
        {"Escape", [&] { PressKey(VK_ESCAPE, false); }},
        {"Alt+F4", [&] { PressKey(VK_F4, true); }},
        {"system menu Close", [&] { ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        close();
        HWND question = OtherDialog();
        ASSERT_NE(question, nullptr);
        EXPECT_TRUE(dialog->IsExitPromptOpen());
        EXPECT_FALSE(dialog->IsExitConfirmed());
        EXPECT_TRUE(CoverIsShown());
        // Reports are frozen while it is open.
        dialog->ReportPercent(60);
        EXPECT_EQ(dialog->GetProgressPos(), 200);
        ClickIn(question, IDC_DLG_RIGHT);  // RESUME
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(question); }, 5000));
        EXPECT_FALSE(dialog->IsExitPromptOpen());
        EXPECT_FALSE(dialog->IsExitConfirmed());
        EXPECT_TRUE(::IsWindow(hwnd));
        EXPECT_FALSE(CoverIsShown());
    }
    EXPECT_TRUE(PathExists(marker));

    // CANCEL: confirmed, the temporary folder goes and the window ends.
    Click(IDC_BTN_CLOSE);
    HWND question = OtherDialog();
    ASSERT_NE(question, nullptr);
    ClickIn(question, IDC_DLG_LEFT);
    EXPECT_TRUE(WaitClosed());
    EXPECT_TRUE(dialog->IsExitConfirmed());
    EXPECT_FALSE(dialog->IsExitPromptOpen());
    EXPECT_FALSE(PathExists(GetTempFolder()));
}

TEST_F(MainWindowTest, NothingClosesTheWindowOnceTheDownloadHasSucceeded) {
    Open();
    dialog->SetPageState(PageState::Installing);
    downloadDoneOfProcess = 1;
    Click(IDC_BTN_CLOSE);
    PressKey(VK_ESCAPE, false);
    PressKey(VK_F4, true);
    ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(OtherDialog(1500), nullptr);
    EXPECT_TRUE(::IsWindow(hwnd));
    // What a flow asks for still closes it at once.
    dialog->Close();
    EXPECT_TRUE(WaitClosed());
}

TEST_F(MainWindowTest, OkButtonRemovesTheTemporaryFolderAndEnds) {
    const std::wstring marker = TempMarker();
    Open();
    dialog->SetErrorTextId(118);
    dialog->SetPageState(PageState::Error);
    Click(IDC_BTN_OK);
    EXPECT_TRUE(WaitClosed());
    EXPECT_FALSE(PathExists(GetTempFolder()));
}

TEST_F(MainWindowTest, AboutItemOpensTheAboutBox) {
    Open();
    ::PostMessageW(hwnd, WM_SYSCOMMAND, 16, 0);
    HWND about = OtherDialog();
    ASSERT_NE(about, nullptr);
    EXPECT_NE(::GetDlgItem(about, IDC_ABOUT_VERSION), nullptr);
    ::PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(about); }, 5000));
    EXPECT_TRUE(::IsWindow(hwnd));
}

TEST_F(MainWindowTest, BrowserChoiceGetsTheProductFoldersAndCancelKeepsThePath) {
    // Directly below the drive: Wine's browser finds a selection there by walking its tree.
    struct Chosen {
        Chosen() { MakePathExist(path()); }
        ~Chosen() { RemoveFolder(path()); }
        std::wstring path() const { return L"C:\\TelvistaChosen"; }
    } chosen;
    Open();
    dialog->SetPageState(PageState::Ready);
    const std::wstring before = dialog->GetInstallPath();

    Click(IDC_BTN_BROWSE);
    HWND browser = OtherDialog();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(dialog->folderBrowserOpen.load(), 1);
    ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE,
                   reinterpret_cast<LPARAM>(chosen.path().c_str()));
    ::PostMessageW(browser, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(browser); }, 5000));
    const std::wstring expected = chosen.path() + L"\\Orvane\\Telvista";
    EXPECT_TRUE(WaitUntil([&] { return dialog->GetInstallPath() == expected; }, 5000))
        << Narrow(dialog->GetInstallPath());
    EXPECT_EQ(WindowText(Item(IDC_EDIT_PATH)), expected);
    EXPECT_EQ(dialog->folderBrowserOpen.load(), 0);
    // Not made here: the install phase makes it.
    EXPECT_FALSE(PathExists(expected));

    Click(IDC_BTN_BROWSE);
    browser = OtherDialog();
    ASSERT_NE(browser, nullptr);
    ::PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(browser); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return dialog->folderBrowserOpen.load() == 0; }, 5000));
    EXPECT_EQ(dialog->GetInstallPath(), expected);
    EXPECT_NE(before, expected);
}

TEST_F(MainWindowTest, AdministratorPromptAnswers) {
    Open();
    dialog->SetPageState(PageState::Ready);
    for (const auto& [button, agreed] : {std::pair{IDC_DLG_RIGHT, true},
                                         std::pair{IDC_DLG_LEFT, false},
                                         std::pair{IDC_DLG_CLOSE, false}}) {
        SCOPED_TRACE(button);
        bool answer = !agreed;
        ui.Post([&] { answer = dialog->AskAdministratorRestart(); });
        HWND question = OtherDialog();
        ASSERT_NE(question, nullptr);
        EXPECT_TRUE(CoverIsShown());
        EXPECT_EQ(WindowText(::GetDlgItem(question, IDC_MESSAGE_TEXT)),
                  LoadText(IDS_ADMIN_RESTART));
        ClickIn(question, button);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(question); }, 5000));
        EXPECT_TRUE(WaitUntil([&] { return answer == agreed; }, 5000));
        EXPECT_FALSE(CoverIsShown());
        // The page does not change either way.
        EXPECT_TRUE(::IsWindowVisible(Item(IDC_BTN_INSTALL)));
    }
}

TEST(Elevation, RestartCommandLineCarriesTheFolderWhole) {
    // The restarted installer reads its raw command line after its own path as the folder.
    for (const std::wstring folder :
         {L"C:\\Program Files\\Pantavi Apps\\Orvane\\Telvista", L"D:\\Orvane\\Telvista",
          L"E:\\\x4E2D\x6587 folder\\Orvane\\Telvista"}) {
        SCOPED_TRACE(Narrow(folder));
        const ElevatedRestart restart = ElevatedRestartFor(folder);
        EXPECT_EQ(restart.file, GetModulePathParts().fullPath);
        EXPECT_EQ(restart.parameters, folder);
        // As ShellExecute hands it on: the program quoted, then the parameters.
        const std::wstring commandLine = L"\"" + restart.file + L"\" " + restart.parameters;
        const std::wstring tail = CommandLineTail(commandLine.c_str());
        EXPECT_EQ(tail, folder);
        EXPECT_EQ(ParseCommandLine(tail).presetInstallFolder, folder);
    }
}

TEST(Elevation, RightsProbeAndAdministratorTest) {
    // Wine's user is always an elevated administrator.
    EXPECT_TRUE(IsUserAdministrator());
    ScratchFolder scratch;
    const std::wstring folder = scratch / L"Orvane\\Telvista";
    EXPECT_TRUE(CanWriteBelow(folder));
    EXPECT_TRUE(PathExists(folder));
    EXPECT_FALSE(PathExists(folder + L"\\CheckPermission"));
    // Below a file nothing can be made.
    WriteFileBytes(scratch / L"file", "x");
    EXPECT_FALSE(CanWriteBelow(scratch / L"file\\Orvane\\Telvista"));
    EXPECT_FALSE(CanWriteBelow(L""));
}

}  // namespace

namespace {

// The folder TELVISTA_SCREENS names (a Windows path), or empty: then there is nothing to save.
std::wstring ScreensFolder() {
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"TELVISTA_SCREENS", folder, MAX_PATH);
    return length && length < MAX_PATH ? std::wstring(folder) : std::wstring();
}

std::wstring LocaleName() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    ::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                       LOCALE_NAME_MAX_LENGTH, 0);
    return name;
}

// What the screen shows where the window stands: the window with whatever lies over it (the
// cover, a question).
Pixels ScreenOf(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    WindowDc screen(nullptr);
    return CopyPixels(screen.get(), rect.left, rect.top, rect.right - rect.left,
                      rect.bottom - rect.top);
}

}  // namespace

// Every page, and the window with each of its questions open, saved as BMP files named
// <locale>-<nn>-<what>.bmp into TELVISTA_SCREENS (tests/app/screens_sheet.py turns them into
// PNGs and adds them to the contact sheet).
TEST_F(MainWindowTest, ScreenshotsOfEveryPage) {
    const std::wstring folder = ScreensFolder();
    if (folder.empty()) GTEST_SKIP() << "TELVISTA_SCREENS names no folder";
    MakePathExist(folder);
    Open();
    int number = 0;
    auto save = [&](const std::wstring& what, bool screen = false) {
        ui.Run([&] { ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW); });
        ::Sleep(300);
        Settle();
        wchar_t name[16];
        swprintf(name, 16, L"%02d", ++number);
        const Pixels pixels = screen ? ScreenOf(hwnd) : Shot();
        EXPECT_TRUE(SaveBitmap(pixels, folder + L"\\" + LocaleName() + L"-" + name + L"-" + what +
                                           L".bmp"));
    };
    dialog->SetPageState(PageState::Checking);
    ui.Run([&] { ::KillTimer(hwnd, 1); });
    save(L"Checking");
    dialog->SetPageState(PageState::NoInternet);
    save(L"NoInternet");
    dialog->SetPageState(PageState::Checking);
    ui.Run([&] { ::KillTimer(hwnd, 1); });
    dialog->SetPageState(PageState::UpdatingInstaller);
    dialog->SetProgressPos(0);
    dialog->ReportPercent(35);
    save(L"UpdatingInstaller");
    dialog->SetPageState(PageState::Blank);
    save(L"Blank");
    dialog->SetPageState(PageState::Ready);
    save(L"Ready");

    // The questions over the Ready page, with the cover.
    Click(IDC_BTN_INSTALL);
    HWND question = OtherDialog();
    ASSERT_NE(question, nullptr);
    save(L"Ready-LicenceDialog", true);
    ClickIn(question, IDC_DLG_CLOSE);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(question); }, 5000));
    bool agreed = false;
    ui.Post([&] { agreed = dialog->AskAdministratorRestart(); });
    question = OtherDialog();
    ASSERT_NE(question, nullptr);
    save(L"Ready-AdministratorPrompt", true);
    ClickIn(question, IDC_DLG_LEFT);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(question); }, 5000));
    ::PostMessageW(hwnd, WM_SYSCOMMAND, 16, 0);
    question = OtherDialog();
    ASSERT_NE(question, nullptr);
    save(L"Ready-AboutBox", true);
    ::PostMessageW(question, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(question); }, 5000));

    dialog->SetPageState(PageState::Downloading);
    save(L"Downloading");
    Click(IDC_BTN_CLOSE);
    question = OtherDialog();
    ASSERT_NE(question, nullptr);
    save(L"Downloading-ExitConfirmation", true);
    ClickIn(question, IDC_DLG_RIGHT);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(question); }, 5000));

    dialog->SetPageState(PageState::Installing);
    dialog->SetProgressPos(0);
    dialog->ReportPercent(45);
    save(L"Installing");
    dialog->SetPageState(PageState::Complete);
    save(L"Complete");
    dialog->SetErrorTextId(121);
    dialog->SetPageState(PageState::Error);
    save(L"Error");
}

// The three flows from the window's own threads, against the fixture server.

TEST_F(MainWindowTest, FirstInstallRunsTheThreeFlowsToTheEnd) {
    StandInRecord record;
    InstalledProductCleanup cleanup(LoadText(IDS_PRODUCT_DISPLAY_NAME));
    const std::string package = StandInPackage();
    ASSERT_FALSE(package.empty());
    ASSERT_TRUE(server.Script(FirstInstallRoutes(package, FixtureReply::Bytes(package))));
    Open();
    const std::wstring folder = dialog->GetInstallPath();
    Click(IDC_CHK_ACCEPT);
    Click(IDC_BTN_INSTALL);
    ASSERT_TRUE(WaitClosed(120000));
    EXPECT_EQ(Pages(), (std::vector<PageState>{PageState::Checking, PageState::Blank,
                                               PageState::Ready, PageState::Downloading,
                                               PageState::Installing, PageState::Complete}));
    EXPECT_TRUE(PathExists(folder + L"\\Telvista.exe"));
    EXPECT_FALSE(PathExists(GetTempFolder()));
    EXPECT_EQ(downloadDoneOfProcess.load(), 1);
    // The updater started the product.
    EXPECT_TRUE(WaitUntil([&] { return !record.Of(L"Telvista.exe").empty(); }, 20000));
    EndStandInProducts();
    RemoveFolder(folder);
}

TEST_F(MainWindowTest, NoConnectionAtStartWaitsOnNoInternetThenGoesOn) {
    ASSERT_TRUE(server.SetNetwork(false));
    Open(0, 0, false);
    ASSERT_TRUE(WaitForPage(PageState::NoInternet));
    EXPECT_EQ(WindowText(Item(IDC_STATUS_TEXT)), LoadText(IDS_NO_INTERNET));
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_BTN_OK)));
    ASSERT_TRUE(server.SetNetwork(true));
    ASSERT_TRUE(WaitForPage(PageState::Ready, 30000));
    EXPECT_EQ(Pages(), (std::vector<PageState>{PageState::Checking, PageState::NoInternet,
                                               PageState::Checking, PageState::Blank,
                                               PageState::Ready}));
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_BTN_OK)));
}

TEST_F(MainWindowTest, ServerConfigErrorEndsOnErrorAndOkLeaves) {
    std::vector<FixtureRoute> routes = FirstInstallRoutes("package", FixtureReply::Status(404));
    routes[1].second = {FixtureReply::Text(R"({"result": 1})")};
    ASSERT_TRUE(server.Script(routes));
    Open(0, 0, false);
    ASSERT_TRUE(WaitForPage(PageState::Error, 30000));
    EXPECT_EQ(WindowText(Item(IDC_STATUS_TEXT)), LoadText(IDS_SERVER_CONFIG_ERROR));
    EXPECT_EQ(VisibleControls(kAllControls),
              (std::set<UINT>{IDC_BTN_CLOSE, IDC_BTN_MINIMIZE, IDC_STATUS_TEXT, IDC_BTN_OK}));
    Click(IDC_BTN_OK);
    EXPECT_TRUE(WaitClosed());
    EXPECT_FALSE(PathExists(GetTempFolder()));
}
