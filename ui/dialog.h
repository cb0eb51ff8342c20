#pragma once
// The thin dialog layer the installer's windows derive from: a dialog created from its template,
// run modally or modeless, with its messages routed to virtual handlers of the object; and the
// controls of such a dialog as objects that subclass their window, draw themselves and answer
// their own colour requests, which the dialog reflects to them.
#include <windows.h>
#include <commctrl.h>

#include <string>

// A control's owner-draw and colour requests arrive at the control itself as this base plus the
// parent's message (WM_DRAWITEM, WM_CTLCOLOREDIT, ...), with the parent's parameters. A control
// that does not answer returns 0 and the dialog handles the request itself.
inline constexpr UINT kReflectedMessageBase = 0x2000;

class CDialog {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the dialog from its template and runs it until EndDialog; returns the result given
    // to EndDialog, or -1 when the dialog could not be created.
    INT_PTR DoModal();
    // Creates the dialog modeless (hidden unless its template says visible); the caller's message
    // loop serves it. False when it could not be created.
    bool Create();
    // Ends a modal dialog with `result`; destroys a modeless one.
    void EndDialog(INT_PTR result);
    void DestroyWindow();
    HWND GetSafeHwnd() const { return hwnd_; }

protected:
    // Called first when the window exists (before the template's controls get their texts), for
    // sizing: a dialog that keeps the place it has after OnCreate and OnInitDialog and has no
    // parent window of its own is centred over its owner.
    virtual void OnCreate() {}
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
    void CenterOverOwner();

    UINT templateId_;
    HWND parent_;
    bool modeless_ = false;
};

// A control window bound to an object: a window created by the object or a dialog control it
// subclasses. Every message of the window reaches WindowProc; DefaultProc hands it on to the
// control's own class. The binding ends when the window is destroyed or the object is.
class CControl {
public:
    CControl() = default;
    virtual ~CControl();
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;

    // Creates a child window of `className` and binds it. False when it could not be created.
    bool CreateControl(const wchar_t* className, const std::wstring& text, DWORD style,
                       DWORD exStyle, const RECT& rect, HWND parent, UINT id);
    // Binds an existing window (a control of a dialog template).
    bool SubclassWindow(HWND window);
    bool SubclassDlgItem(UINT id, HWND dialog) {
        return SubclassWindow(::GetDlgItem(dialog, static_cast<int>(id)));
    }
    HWND GetSafeHwnd() const { return hwnd_; }
    UINT GetDlgCtrlID() const { return static_cast<UINT>(::GetDlgCtrlID(hwnd_)); }
    std::wstring GetWindowText() const;
    void SetWindowText(const std::wstring& text) { ::SetWindowTextW(hwnd_, text.c_str()); }

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefaultProc(message, wParam, lParam);
    }
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void Unbind();
    bool created_ = false;
};

// The platform's button, edit field and progress bar, created by the owner.
class CButton : public CControl {
public:
    bool Create(const std::wstring& text, DWORD style, const RECT& rect, HWND parent, UINT id) {
        return CreateControl(L"BUTTON", text, style, 0, rect, parent, id);
    }
};

class CEdit : public CControl {
public:
    bool Create(DWORD style, DWORD exStyle, const RECT& rect, HWND parent, UINT id) {
        return CreateControl(L"EDIT", L"", style, exStyle, rect, parent, id);
    }
    void SetLimitText(UINT characters) { ::SendMessageW(hwnd_, EM_SETLIMITTEXT, characters, 0); }
    void SetReadOnly(bool readOnly = true) { ::SendMessageW(hwnd_, EM_SETREADONLY, readOnly, 0); }
};

class CProgressCtrl : public CControl {
public:
    void SetRange(int lower, int upper) {
        ::SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(lower), upper);
    }
    void SetStep(int step) { ::SendMessageW(hwnd_, PBM_SETSTEP, static_cast<WPARAM>(step), 0); }
    int SetPos(int pos) {
        return static_cast<int>(::SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(pos), 0));
    }
    int GetPos() const { return static_cast<int>(::SendMessageW(hwnd_, PBM_GETPOS, 0, 0)); }
    void GetRange(int& lower, int& upper) const;
};
