#pragma once
#include "CMonitorSettings.h"
#include "CSamplingLoop.h"
#include "CStripChart.h"
#include "CTrayIcon.h"
#include "Framework.h"
#include "QRVLPLUG.h"

// The tray icon's mouse messages, and the refresh posted after the always-on-top command.
constexpr UINT WM_TRAYNOTIFY = WM_APP + 0x97;
constexpr UINT WM_REFRESHCONTROLS = WM_APP + 0x99;

// The monitor window: six strip charts over the placeholders of its dialog, the sensor
// plug-in and the worker that polls it, the tray icon, and every setting.
class CMonitorDlg : public CDialog {
public:
    explicit CMonitorDlg(CWnd* pParent = nullptr);
    ~CMonitorDlg() override;

    // 1 puts the window in the topmost band, 0 takes it out; other values leave it.
    void ApplyTopMost(int nFlag);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Menu commands of the tray icon's context menu, before the normal command routing.
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    LRESULT OnNcHitTest(POINT point);
    void OnExitButton();
    void OnDestroy();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnRefreshControls(WPARAM wParam, LPARAM lParam);
    void OnTopMostButton();
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void LoadSettings();
    void SaveSettings();
    void ConfigureChart(int nChart);
    void ShowStartFailure(const char* pszMessage);
    // The profile could not be written: the user learns of it before the program ends.
    void ShowSaveFailure(DWORD dwError);

    CMonitorSettings m_settings;
    CButton m_btnTopMost;
    HICON m_hIcon;
    CStripChart m_wndChart[6];
    LMDATA m_lmData;
    CWinApp* m_pApp;
    QRVLPLUG m_plugin;
    CTrayIcon m_trayIcon;
    CSamplingLoop m_sampler;
    CString m_strTip;
    // The window has been placed from the settings; until then its rectangle says nothing.
    bool m_bPlaced = false;
    bool m_bAboutOpen = false;
};
