#pragma once
#include <windows.h>

class CWnd;

// One direction of a dialog's data exchange: towards the members (save) or towards the controls.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

// Binds a control of the dialog to a control object the first time the exchange runs.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
