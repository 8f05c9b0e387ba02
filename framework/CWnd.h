#pragma once
#include <windows.h>

#include "CString.h"
#include "MessageMap.h"

class CDataExchange;

// A window bound to a C++ object. Messages reach the object's handlers through its
// message table; what no table lists goes to the window's default processing.
class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    // The window must be gone by now: its owner destroys it. One still there is reported
    // and left to the default window procedure.
    virtual ~CWnd();

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }
    // The object bound to a window handle, or null for a window no object owns.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // A window of a class from AfxRegisterWndClass, bound to this object from its first message.
    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y,
                  int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu);
    BOOL DestroyWindow();
    // Binds an existing window (a dialog control) and routes its messages through this object.
    BOOL SubclassWindow(HWND hWnd);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Operations, thin and named as the platform names them.
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    void GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
    void ScreenToClient(LPRECT lpRect) const;
    void InvalidateRect(const RECT* lpRect, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, lpRect, bErase); }
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE) {
        ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
    }
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
        return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
    }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL OpenIcon() { return ::OpenIcon(m_hWnd); }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendDlgItemMessageA(m_hWnd, nID, message, wParam, lParam);
    }
    HMENU GetSystemMenu(BOOL bRevert) const { return ::GetSystemMenu(m_hWnd, bRevert); }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon) {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
    }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    BOOL GetWindowPlacement(WINDOWPLACEMENT* lpwndpl) const {
        lpwndpl->length = sizeof(WINDOWPLACEMENT);
        return ::GetWindowPlacement(m_hWnd, lpwndpl);
    }
    // Rewrites the style words; no frame-change call of its own.
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd) { return ModifyLong(GWL_STYLE, dwRemove, dwAdd); }
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd) { return ModifyLong(GWL_EXSTYLE, dwRemove, dwAdd); }

protected:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);

    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const;
    // Every message of the window; the table first, then the default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Every WM_COMMAND: routes it through the tables; true when a handler took it.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void DoDataExchange(CDataExchange* pDX);
    // After the window is gone and unbound.
    virtual void PostNcDestroy() {}

    // The default processing of the message being handled.
    LRESULT Default();

    // Default handlers, for derived handlers to call first.
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnDestroy();
    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    void OnSysCommand(UINT nID, LPARAM lParam);
    HCURSOR OnQueryDragIcon();
    LRESULT OnNcHitTest(POINT point);

    WNDPROC m_pfnSuper = nullptr;

private:
    void Attach(HWND hWnd);
    void Detach();
    BOOL ModifyLong(int nIndex, DWORD dwRemove, DWORD dwAdd);

    bool m_bDestroySeen = false;
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Inside a catch block: counts the exception that a handler let escape and writes what it
// was to the debugger's output, so a failure the window system must not see leaves a trace.
// Returns what it was.
CString AfxReportHandlerFailure(const char* pszWhere, UINT message);
// Exceptions caught at the window procedure's boundary since the program started.
long AfxGetHandlerFailureCount();

// Binds a control of the dialog to a control object the first time the exchange runs.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
