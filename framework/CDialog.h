#pragma once
#include "CWnd.h"

// A modal dialog from a template resource. The object is bound before the window's first
// message, so WM_CREATE reaches OnCreate before the controls exist, and an OnCreate that
// returns -1 ends the modal run at once with -1. A dialog given no parent is owned by the
// application's main window, which stays disabled while it runs.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    virtual INT_PTR DoModal();
    // Also ends the dialogs that run nested inside this one's modal run: their loops must
    // end before this one can, and none may stay on screen without its owner.
    void EndDialog(int nResult);

protected:
    // WM_INITDIALOG: binds the controls; true to let the system set the focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    LPCSTR m_lpszTemplateName;
    CWnd* m_pParentWnd;
    // The modal dialog of this thread that was running when this one started.
    CDialog* m_pOuterModal = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};
