#pragma once
// Identifiers of the controls the installer's windows create at run time (the controls of the
// dialog templates are in res/resource.h). A CDesignButton takes its look from its identifier.

// Main window
#define IDC_BTN_CLOSE 5610
#define IDC_BTN_MINIMIZE 5611
#define IDC_BTN_INSTALL 5612
#define IDC_BTN_CANCEL 5613
#define IDC_BTN_BROWSE 5614
#define IDC_ANIMATION 5615
#define IDC_CHK_ACCEPT 5617
#define IDC_BTN_OK 5618
#define IDC_EDIT_PATH 5690

// Message dialogs
#define IDC_DLG_CLOSE 5691
#define IDC_DLG_RIGHT 5692
#define IDC_DLG_LEFT 5693
