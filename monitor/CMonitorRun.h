#pragma once
#include <windows.h>

#include "CMonitorSettings.h"
#include "CSamplingLoop.h"
#include "CSamplingSink.h"
#include "CStripChart.h"
#include "CTrayIcon.h"
#include "Framework.h"
#include "QRVLPLUG.h"

// The tray icon's mouse messages reach the monitor window as this message.
constexpr UINT WM_TRAYNOTIFY = WM_APP + 0x97;

// One run of the monitor: the sensor plug-in, the worker that polls it, the tray icon that
// shows each poll's outcome and the six charts that receive the readings. It starts and
// stops them in the one order that keeps the worker apart from everything it uses.
class CMonitorRun : private CSamplingSink {
public:
    // The tray icon's image slots.
    enum { SLOT_IDLE = 0, SLOT_RECEIVED = 1, SLOT_FAILED = 2 };
    // Text field i of a reading feeds chart i.
    static constexpr int CHANNELS = 6;

    // The settings must be loaded before Start and outlive the run.
    explicit CMonitorRun(CMonitorSettings& settings);
    CMonitorRun(const CMonitorRun&) = delete;
    CMonitorRun& operator=(const CMonitorRun&) = delete;
    ~CMonitorRun();

    // Connects the plug-in to the host, starts the worker and prepares the tray icon for the
    // owner window, not yet shown. Null when all went well, else the failure's message.
    const char* Start(HWND hWndOwner);
    // Creates the charts over the window's placeholders and configures them.
    void CreateCharts(CWnd& window);
    // Shows the tray icon, with its idle image.
    void ShowIcon();
    // The charts exist: the first poll may come.
    void ChartsReady();
    // The worker is gone before the plug-in's Destroy, the icon's removal and its release.
    void Stop();

    CStripChart& Chart(int nChannel) { return m_wndChart[nChannel]; }
    CTrayIcon& TrayIcon() { return m_trayIcon; }
    CSamplingLoop& Sampler() { return m_sampler; }
    QRVLPLUG& Plugin() { return m_plugin; }

    // The value of a reading's text field: atof's, never reading past the field's 8 bytes;
    // NaN for an empty field, a channel without a value.
    static double FieldValue(const LMDATA& data, int nField);

private:
    void OnReading(const LMDATA& data) override;
    void OnFailure() override;
    void OnOutcomeShown() override;
    void ConfigureChart(int nChannel);

    CMonitorSettings& m_settings;
    CStripChart m_wndChart[CHANNELS];
    QRVLPLUG m_plugin;
    CTrayIcon m_trayIcon;
    CSamplingLoop m_sampler;
    CString m_strTip;
};
