#include "CMonitorDlg.h"

#include <windowsx.h>

#include "CAboutDlg.h"
#include "CProfileLock.h"
#include "DisplayScale.h"
#include "ErrorText.h"
#include "ImageChecksum.h"
#include "MonitorMessages.h"
#include "ReachableRect.h"
#include "resource.h"

namespace {
const UINT g_nTaskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
}

CMonitorDlg::CMonitorDlg(CWnd* pParent)
    : CDialog(IDD_MONITOR_DIALOG, pParent),
      m_hIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_pApp(AfxGetApp()),
      m_run(m_settings) {}

CMonitorDlg::~CMonitorDlg() = default;

BEGIN_MESSAGE_MAP(CMonitorDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_CREATE()
    ON_WM_NCHITTEST()
    ON_BN_CLICKED(IDC_EXIT, OnExitButton)
    ON_WM_DESTROY()
    ON_MESSAGE(WM_TRAYNOTIFY, OnTrayNotify)
    ON_MESSAGE(WM_SAMPLED, OnSampled)
    ON_MESSAGE(WM_LOGEVENT, OnLogEvent)
    ON_MESSAGE(WM_MOUSEWHEEL, OnMouseWheel)
    ON_MESSAGE(WM_TIMER, OnTimer)
    ON_MESSAGE(WM_REFRESHCONTROLS, OnRefreshControls)
    ON_BN_CLICKED(IDC_TOPMOST, OnTopMostButton)
    ON_COMMAND(ID_TOPMOST, OnTopMostCommand)
    ON_COMMAND(ID_STICK, OnStickCommand)
    ON_COMMAND(ID_SAVEINI, OnSaveIniCommand)
    ON_COMMAND(ID_VERSION, OnVersionCommand)
    ON_COMMAND(ID_EXIT, OnExitButton)
    ON_REGISTERED_MESSAGE(g_nTaskbarCreated, OnTaskbarCreated)
    ON_MESSAGE(WM_DPICHANGED, OnDpiChanged)
END_MESSAGE_MAP()

void CMonitorDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TOPMOST, m_btnTopMost);
}

void CMonitorDlg::ShowStartFailure(const char* pszMessage) {
    ::MessageBoxA(m_hWnd, pszMessage, m_pApp->m_strAppName, MB_OK | MB_ICONEXCLAMATION);
}

int CMonitorDlg::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CDialog::OnCreate(lpCreateStruct) == -1) return -1;

    char szPath[MAX_PATH];
    DWORD nLength = ::GetModuleFileNameA(nullptr, szPath, sizeof szPath);
    if (nLength == 0 || nLength >= sizeof szPath || !VerifyImageChecksum(szPath)) {
        ShowStartFailure("PROGRAM FILE IS DAMAGED!");
        return -1;
    }

    if (!m_pApp->m_strCmdLine.IsEmpty()) m_settings.m_strSection = m_pApp->m_strCmdLine;
    LoadSettings();

    if (const char* pszFailure = m_run.Start(m_hWnd)) {
        ShowStartFailure(pszFailure);
        return -1;
    }
    return 0;
}

BOOL CMonitorDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    HMENU hSysMenu = GetSystemMenu(FALSE);
    if (hSysMenu) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }
    m_nDpi = displayscale::DpiOfWindow(m_hWnd);
    m_layout.Record(m_hWnd, m_nDpi);
    // The controls grow by the ratio that grows the window, so the charts fit in it.
    if (m_nDpi != displayscale::kBaseDpi) m_layout.PlaceAt(m_nDpi);
    ApplyDpi(m_nDpi);

    // A captionless tool window: off the taskbar, with a thin dialog frame.
    ShowWindow(SW_HIDE);
    ModifyStyleEx(WS_EX_APPWINDOW, WS_EX_TOOLWINDOW);
    ModifyStyle(WS_CAPTION | WS_SYSMENU, WS_DLGFRAME);
    // A rectangle saved at another DPI than that of the monitor under it keeps its corner
    // and takes the size its charts have there.
    RECT rcSaved = m_settings.m_rcWindow;
    const UINT nDpiThere = displayscale::DpiOfRect(rcSaved);
    if (m_settings.m_nWindowDpi > 0 && nDpiThere != static_cast<UINT>(m_settings.m_nWindowDpi)) {
        const RECT rcScaled = displayscale::ScaleRect(rcSaved, m_settings.m_nWindowDpi, nDpiThere);
        rcSaved.right = rcSaved.left + (rcScaled.right - rcScaled.left);
        rcSaved.bottom = rcSaved.top + (rcScaled.bottom - rcScaled.top);
    }
    // The saved place may be on a screen that is gone: the window must stay reachable.
    RECT rcCreated;
    GetWindowRect(&rcCreated);
    const RECT rc = ReachableRect(rcSaved, {rcCreated.right - rcCreated.left, rcCreated.bottom - rcCreated.top});
    MoveWindow(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
    m_bPlaced = true;
    ApplyTopMost(m_settings.m_nTopMost);
    SendDlgItemMessage(IDC_TOPMOST, BM_SETCHECK, static_cast<WPARAM>(m_settings.m_nTopMost), 0);
    if (IsIconic()) OpenIcon();
    ShowWindow(SW_SHOW);

    m_run.CreateCharts(*this);
    m_run.TrayIcon().SetIconSize(displayscale::SystemMetric(SM_CXSMICON, m_nDpi));
    m_run.ShowIcon();
    m_run.ChartsReady();
    return TRUE;
}

void CMonitorDlg::ApplyTopMost(int nFlag) {
    if (nFlag == 1)
        SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    else if (nFlag == 0)
        SetWindowPos(HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void CMonitorDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT rc;
    GetClientRect(&rc);
    int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CMonitorDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CMonitorDlg::OnDestroy() {
    CDialog::OnDestroy();
    // The worker goes first: the error count is saved once nothing can change it.
    m_run.Stop();
    SaveSettings();
}

void CMonitorDlg::LoadSettings() {
    RECT rcWindow;
    GetWindowRect(&rcWindow);
    CProfileLock lock(m_pApp->m_strProfileName);
    m_settings.LoadSettings(*m_pApp, rcWindow, static_cast<int>(displayscale::DpiOfWindow(m_hWnd)));
}

void CMonitorDlg::SaveSettings() {
    // A start that failed before the window was placed keeps the rectangle it loaded:
    // the template's place would otherwise overwrite where the user had put the window.
    // Likewise the DPI it was saved at.
    RECT rcNormal = m_settings.m_rcWindow;
    if (m_bPlaced) {
        WINDOWPLACEMENT wp;
        if (GetWindowPlacement(&wp)) rcNormal = wp.rcNormalPosition;
    }
    if (m_bPlaced) m_settings.m_nWindowDpi = static_cast<int>(m_nDpi);
    DWORD dwError;
    {
        CProfileLock lock(m_pApp->m_strProfileName);
        dwError = m_settings.SaveSettings(*m_pApp, rcNormal);
    }
    if (dwError != ERROR_SUCCESS) ShowSaveFailure(dwError);
}

void CMonitorDlg::ShowSaveFailure(DWORD dwError) {
    CString strText;
    strText.Format("The settings could not be saved to %s.\r\n%s", m_pApp->GetProfilePath().GetString(),
                   ErrorText(dwError).GetString());
    // The window is on its way out: the box stands on its own.
    ::MessageBoxA(nullptr, strText, m_pApp->m_strAppName, MB_OK | MB_ICONEXCLAMATION);
}

void CMonitorDlg::ToggleTopMost() {
    m_settings.m_nTopMost ^= 1;
    ApplyTopMost(m_settings.m_nTopMost);
}

void CMonitorDlg::OnTopMostCommand() {
    ToggleTopMost();
    // The button follows the menu; the check box flips its own mark when it is clicked.
    SendDlgItemMessage(IDC_TOPMOST, BM_SETCHECK, static_cast<WPARAM>(m_settings.m_nTopMost), 0);
    PostMessage(WM_REFRESHCONTROLS, 0, 0);
}

void CMonitorDlg::OnStickCommand() { m_settings.m_nStick ^= 1; }

// Takes effect when the window is destroyed.
void CMonitorDlg::OnSaveIniCommand() { m_settings.m_nSaveIni ^= 1; }

// Posted, so the About box opens after the popup menu has closed.
void CMonitorDlg::OnVersionCommand() { PostMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0); }

LRESULT CMonitorDlg::OnSampled(WPARAM wParam, LPARAM lParam) {
    m_run.OnSampled(wParam, lParam);
    return 0;
}

LRESULT CMonitorDlg::OnLogEvent(WPARAM wParam, LPARAM lParam) {
    m_run.OnLogEvent(wParam, lParam);
    return 0;
}

LRESULT CMonitorDlg::OnMouseWheel(WPARAM wParam, LPARAM lParam) {
    const POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    for (int i = 0; i < qrvl::kChartCount; ++i) {
        RECT rc;
        if (::GetWindowRect(m_run.Chart(i).GetSafeHwnd(), &rc) && ::PtInRect(&rc, pt)) {
            // Notches add up, so a fine wheel's small steps count together.
            m_nWheelDelta += GET_WHEEL_DELTA_WPARAM(wParam);
            if (m_nWheelDelta / WHEEL_DELTA != 0) m_run.TurnWheel(m_nWheelDelta / WHEEL_DELTA);
            m_nWheelDelta %= WHEEL_DELTA;
            break;
        }
    }
    return 0;
}

LRESULT CMonitorDlg::OnTimer(WPARAM wParam, LPARAM) {
    if (wParam == ID_LOOKBACK_TIMER) m_run.EndLookBack();
    return 0;
}

LRESULT CMonitorDlg::OnTrayNotify(WPARAM, LPARAM lParam) {
    if (lParam == WM_LBUTTONDOWN) {
        SetForegroundWindow();
        SetFocus();
    } else if (lParam == WM_RBUTTONDOWN) {
        POINT pt;
        ::GetCursorPos(&pt);
        SetForegroundWindow();
        SetFocus();
        CMenu menu;
        menu.LoadMenu(IDR_TRAYMENU);
        const CMenuRef popup = menu.GetSubMenu(0);
        if (m_settings.m_nTopMost) ::CheckMenuItem(popup, ID_TOPMOST, MF_BYCOMMAND | MF_CHECKED);
        if (m_settings.m_nStick) ::CheckMenuItem(popup, ID_STICK, MF_BYCOMMAND | MF_CHECKED);
        if (m_settings.m_nSaveIni) ::CheckMenuItem(popup, ID_SAVEINI, MF_BYCOMMAND | MF_CHECKED);
        ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
        PostMessage(WM_NULL, 0, 0);
    }
    return 0;
}

LRESULT CMonitorDlg::OnRefreshControls(WPARAM, LPARAM) {
    UpdateData(FALSE);
    return 0;
}

void CMonitorDlg::OnExitButton() { PostMessage(WM_CLOSE, 0, 0); }

void CMonitorDlg::OnTopMostButton() { ToggleTopMost(); }

LRESULT CMonitorDlg::OnNcHitTest(POINT point) {
    LRESULT nHit = CDialog::OnNcHitTest(point);
    return m_settings.m_nStick ? nHit : HTCAPTION;
}

void CMonitorDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        // The tray menu can still ask while the box is open: one box is enough.
        if (m_bAboutOpen) return;
        m_bAboutOpen = true;
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
        m_bAboutOpen = false;
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

LRESULT CMonitorDlg::OnTaskbarCreated(WPARAM, LPARAM) {
    // The shell's notification area was rebuilt: without our icon again, the context
    // menu would be out of reach until the next start.
    m_run.TrayIcon().Readd();
    return 0;
}

LRESULT CMonitorDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
    const UINT nDpi = LOWORD(wParam);
    // Drawn once, when everything has its new size.
    SendMessage(WM_SETREDRAW, FALSE, 0);
    // While the window is being placed, the place comes from the settings.
    if (m_bPlaced && lParam) {
        const RECT& rc = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ApplyDpi(nDpi);
    SendMessage(WM_SETREDRAW, TRUE, 0);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    return 0;
}

void CMonitorDlg::ApplyDpi(UINT nDpi) {
    const bool bChanged = nDpi != m_nDpi;
    m_nDpi = nDpi;
    if (bChanged) {
        m_layout.PlaceAt(nDpi);
        for (int i = 0; i < qrvl::kChartCount; ++i)
            m_run.Chart(i).SetDpi(nDpi, m_layout.RectAt(IDC_CHART_FIRST + i, nDpi));
        m_run.RefreshSpan();
        m_run.TrayIcon().SetIconSize(displayscale::SystemMetric(SM_CXSMICON, nDpi));
    }
    const int nIcon = displayscale::SystemMetric(SM_CXICON, nDpi);
    m_iconLarge.Load(AfxGetResourceHandle(), IDR_MAINFRAME, nIcon, nIcon);
    SetIcon(m_iconLarge.GetSafeHandle() ? m_iconLarge.GetSafeHandle() : static_cast<HICON>(m_hIcon), TRUE);
}
