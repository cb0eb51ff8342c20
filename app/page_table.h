#pragma once
// What each page of the main window shows: one row per page, applied by SetPageState alone.
#include <array>

#include "pipeline/installer_window.h"
#include "res/resource.h"

enum class PageDecoration { None, Scene, Problem, Done };

// What happens to a control group when the page is shown.
enum class Visibility { Hidden, Shown, Unchanged };

// Where the page's status text (1001) comes from.
enum class StatusSource { Hidden, String, ErrorText, Unchanged };

struct PageRow {
    PageState state;
    PageDecoration decoration;
    StatusSource status;
    UINT statusString;  // with StatusSource::String
    Visibility progress;      // the bar, where the status text does not decide it
    Visibility licenceRow;    // licence row with its inputs (check box, Install, path field, browse)
    bool installFirst;  // the Install button goes before anything else changes
    Visibility okButton;
    bool spinner;  // "Checking for internet ..." with the spinner running; else stopped
};

inline constexpr std::array<PageRow, 9> kPageTable{{
    // state                     decoration               status text                                 bar              licence row      first  OK               spinner
    {PageState::Checking,          PageDecoration::None,    StatusSource::Hidden,    0,                     Visibility::Hidden,    Visibility::Hidden,    false, Visibility::Hidden,    true},
    {PageState::NoInternet,        PageDecoration::Problem, StatusSource::String,    IDS_NO_INTERNET,       Visibility::Hidden,    Visibility::Hidden,    false, Visibility::Shown,     false},
    {PageState::UpdatingInstaller, PageDecoration::None,    StatusSource::String,    IDS_UPDATING_INSTALLER, Visibility::Shown,    Visibility::Hidden,    false, Visibility::Unchanged, false},
    {PageState::Blank,             PageDecoration::None,    StatusSource::Unchanged, 0,                     Visibility::Unchanged, Visibility::Hidden,    false, Visibility::Unchanged, false},
    {PageState::Ready,             PageDecoration::Scene,   StatusSource::Hidden,    0,                     Visibility::Hidden,    Visibility::Shown,     false, Visibility::Unchanged, false},
    {PageState::Downloading,       PageDecoration::Scene,   StatusSource::String,    IDS_DOWNLOADING,       Visibility::Hidden,    Visibility::Hidden,    true,  Visibility::Unchanged, false},
    {PageState::Installing,        PageDecoration::Scene,   StatusSource::String,    IDS_INSTALLING,        Visibility::Shown,     Visibility::Hidden,    true,  Visibility::Unchanged, false},
    {PageState::Complete,          PageDecoration::Done,    StatusSource::String,    IDS_INSTALL_COMPLETE,  Visibility::Hidden,    Visibility::Hidden,    false, Visibility::Unchanged, false},
    {PageState::Error,             PageDecoration::Problem, StatusSource::ErrorText, 0,                     Visibility::Hidden,    Visibility::Hidden,    false, Visibility::Shown,     false},
}};

namespace page_table_detail {

// Whether `value` names a page. A page added to PageState and not here makes the compiler warn
// (-Wswitch), and the build keeps warnings at zero.
constexpr bool IsPage(int value) {
    switch (static_cast<PageState>(value)) {
    case PageState::Checking:
    case PageState::NoInternet:
    case PageState::UpdatingInstaller:
    case PageState::Blank:
    case PageState::Ready:
    case PageState::Downloading:
    case PageState::Installing:
    case PageState::Complete:
    case PageState::Error:
        return true;
    }
    return false;
}

constexpr bool CoversEveryPageOnce() {
    for (int value = 0; value < 64; ++value) {
        int rows = 0;
        for (const PageRow& row : kPageTable) rows += static_cast<int>(row.state) == value ? 1 : 0;
        if (rows != (IsPage(value) ? 1 : 0)) return false;
    }
    return true;
}

}  // namespace page_table_detail

static_assert(page_table_detail::CoversEveryPageOnce(), "every PageState has exactly one row");

// The row of `state`; the table covers every page.
constexpr const PageRow& PageRowOf(PageState state) {
    for (const PageRow& row : kPageTable)
        if (row.state == state) return row;
    return kPageTable[0];
}
