#include "CMonitorApp.h"

#include "CMonitorDlg.h"

CMonitorApp theApp;

BOOL CMonitorApp::InitInstance() {
    // Dialog controls have drawn themselves in 3-D since Windows 95; there is nothing to
    // enable first.
    {
        CMonitorDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
    }
    m_pMainWnd = nullptr;
    // The program ends here, without a message loop of the application's own.
    return FALSE;
}
