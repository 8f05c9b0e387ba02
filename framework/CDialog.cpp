#include "CDialog.h"

#include "CWinApp.h"

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_pParentWnd(pParentWnd) {}

// Enter, Esc and WM_CLOSE reach the dialog as IDOK and IDCANCEL.
BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

namespace {
// The innermost modal dialog running on this thread.
thread_local CDialog* t_pInnermostModal = nullptr;

// A dialog must see WM_CREATE, which the dialog manager sends before WM_INITDIALOG, the
// first message a dialog procedure can bind on. A hook that lives only while DoModal
// creates the window subclasses the first window created and binds it to the object.
thread_local CDialog* t_pDialogInit = nullptr;
thread_local HHOOK t_hHookCbt = nullptr;

void UnhookWindowCreate() {
    if (t_hHookCbt) ::UnhookWindowsHookEx(t_hHookCbt);
    t_hHookCbt = nullptr;
    t_pDialogInit = nullptr;
}

LRESULT CALLBACK CbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam) {
    HHOOK hHook = t_hHookCbt;
    if (nCode == HCBT_CREATEWND && t_pDialogInit) {
        CDialog* pDialog = t_pDialogInit;
        UnhookWindowCreate();
        pDialog->SubclassWindow(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(hHook, nCode, wParam, lParam);
}

void HookWindowCreate(CDialog* pDialog) {
    UnhookWindowCreate();
    t_pDialogInit = pDialog;
    t_hHookCbt = ::SetWindowsHookExA(WH_CBT, CbtFilterHook, nullptr, ::GetCurrentThreadId());
}
}  // namespace

INT_PTR CDialog::DoModal() {
    HWND hOwner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    CWinApp* pApp = AfxGetApp();
    if (!hOwner && pApp && pApp->m_pMainWnd != this && pApp->m_pMainWnd) hOwner = pApp->m_pMainWnd->GetSafeHwnd();

    m_pOuterModal = t_pInnermostModal;
    t_pInnermostModal = this;
    HookWindowCreate(this);
    INT_PTR nResult = ::DialogBoxParamA(AfxGetResourceHandle(), m_lpszTemplateName, hOwner, DialogProc, 0);
    UnhookWindowCreate();
    t_pInnermostModal = m_pOuterModal;
    m_pOuterModal = nullptr;
    return nResult;
}

void CDialog::EndDialog(int nResult) {
    for (CDialog* pInner = t_pInnermostModal; pInner && pInner != this; pInner = pInner->m_pOuterModal)
        if (pInner->m_hWnd) ::EndDialog(pInner->m_hWnd, IDCANCEL);
    ::EndDialog(m_hWnd, nResult);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    auto* pDialog = static_cast<CDialog*>(FromHandlePermanent(hWnd));
    if (!pDialog) return TRUE;
    // Called from inside the dialog manager: nothing may unwind through it. A dialog that
    // could not be set up says so before it ends, or it would vanish without a word.
    try {
        return pDialog->OnInitDialog();
    } catch (...) {
        CString strText = "The window could not be set up and will close:\r\n" +
                          AfxReportHandlerFailure("OnInitDialog", message);
        CWinApp* pApp = AfxGetApp();
        ::MessageBoxA(hWnd, strText, pApp ? pApp->m_strAppName.GetString() : "", MB_OK | MB_ICONEXCLAMATION);
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
