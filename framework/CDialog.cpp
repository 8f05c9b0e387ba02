#include "CDialog.h"

#include "CWinApp.h"

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_pParentWnd(pParentWnd) {}

// Enter, Esc and WM_CLOSE reach the dialog as IDOK and IDCANCEL.
BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

INT_PTR CDialog::DoModal() {
    HookWindowCreate(this);
    INT_PTR nResult = ::DialogBoxParamA(AfxGetResourceHandle(), m_lpszTemplateName,
                                        m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr, DialogProc, 0);
    UnhookWindowCreate();
    return nResult;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    auto* pDialog = static_cast<CDialog*>(FromHandlePermanent(hWnd));
    if (!pDialog) return TRUE;
    // Called from inside the dialog manager: nothing may unwind through it.
    try {
        return pDialog->OnInitDialog();
    } catch (...) {
        pDialog->EndDialog(-1);
        return TRUE;
    }
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }
