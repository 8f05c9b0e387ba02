#pragma once
#include "CDpiLayout.h"
#include "CMonitorRun.h"
#include "CMonitorSettings.h"
#include "Framework.h"

// The monitor window: every setting, and the run of the sensor plug-in, the worker that
// polls it, the tray icon and the six strip charts over the placeholders of its dialog.
class CMonitorDlg : public CDialog {
public:
    explicit CMonitorDlg(CWnd* pParent = nullptr);
    ~CMonitorDlg() override;

    // 1 puts the window in the topmost band, 0 takes it out; other values leave it.
    void ApplyTopMost(int nFlag);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    LRESULT OnNcHitTest(POINT point);
    void OnExitButton();
    void OnDestroy();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    // A poll's outcome from the worker, applied here on the window's thread.
    LRESULT OnSampled(WPARAM wParam, LPARAM lParam);
    LRESULT OnLogEvent(WPARAM wParam, LPARAM lParam);
    // The wheel over a chart looks back; the minute after the last turn ends the look back.
    LRESULT OnMouseWheel(WPARAM wParam, LPARAM lParam);
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    LRESULT OnRefreshControls(WPARAM wParam, LPARAM lParam);
    void OnTopMostButton();
    // The tray icon's context menu.
    void OnTopMostCommand();
    void OnStickCommand();
    void OnSaveIniCommand();
    void OnVersionCommand();
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    // The window went to a monitor of another DPI: wParam the new DPI, lParam the
    // rectangle the system suggests.
    LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void LoadSettings();
    void SaveSettings();
    // Flips always-on-top and applies it, for the menu and the button alike.
    void ToggleTopMost();
    void ShowStartFailure(const char* pszMessage);
    // The profile could not be written: the user learns of it before the program ends.
    void ShowSaveFailure(DWORD dwError);
    // Controls, charts and icons at nDpi.
    void ApplyDpi(UINT nDpi);

    CMonitorSettings m_settings;
    CButton m_btnTopMost;
    CIconRef m_hIcon;
    CWinApp* m_pApp;
    CMonitorRun m_run;
    // The window has been placed from the settings; until then its rectangle says nothing.
    bool m_bPlaced = false;
    bool m_bAboutOpen = false;
    // Wheel turns smaller than a notch, kept until they make one.
    int m_nWheelDelta = 0;
    // The DPI the window draws at, and its controls as the template laid them out.
    UINT m_nDpi = 96;
    CDpiLayout m_layout;
    // The window icon at the large icon size of m_nDpi.
    CIcon m_iconLarge;
};
