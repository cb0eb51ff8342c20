#pragma once
// The thin dialog layer the installer's windows derive from: a dialog created from its template
// and run modally, with its messages routed to virtual handlers of the object.
#include <windows.h>

class CDialog {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the dialog from its template and runs it until EndDialog; returns the result given
    // to EndDialog, or -1 when the dialog could not be created.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);
    HWND GetSafeHwnd() const { return hwnd_; }

protected:
    // Called once the window and its template controls exist. Return TRUE to let the dialog
    // manager set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    // The close box, Escape and WM_CLOSE all arrive here.
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Every message after WM_INITDIALOG. Set `handled` and return the dialog procedure's result
    // to take a message; the default routes IDOK and IDCANCEL.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    HWND hwnd_ = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND parent_;
};
