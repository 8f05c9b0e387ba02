#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "CAlarmCommand.h"
#include "CLogWriter.h"
#include "CWindowsClock.h"
#include "ChannelAlarm.h"
#include "CMonitorSettings.h"
#include "CSamplingLoop.h"
#include "CSamplingSink.h"
#include "CStripChart.h"
#include "CTrayIcon.h"
#include "Framework.h"
#include "MonitorMessages.h"
#include "QRVLPLUG.h"
#include "qrvl/Channels.h"
#include "qrvl/history/DayRing.h"
#include "qrvl/history/LookBack.h"

// One run of the monitor: the sensor plug-in, the worker that polls it, the tray icon that
// shows each poll's outcome and the six charts that receive the readings. It starts and
// stops them in the one order that keeps the worker apart from everything it uses. The
// worker only posts what it finds; the charts and the icon change on the window's thread.
class CMonitorRun : private CSamplingSink {
public:
    // The tray icon's image slots.
    enum { SLOT_IDLE = 0, SLOT_RECEIVED = 1, SLOT_FAILED = 2, SLOT_ALARM = 3 };
    // What a WM_SAMPLED message tells.
    enum Outcome { OUTCOME_READING = 1, OUTCOME_FAILURE = 2, OUTCOME_SHOWN = 3 };

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
    // Shows the tray icon, with its idle image, and names the alarm limits that could not
    // be read in a balloon.
    void ShowIcon();
    // The charts exist: the first poll may come.
    void ChartsReady();
    // On the window's thread: one outcome the worker posted, from its message's parameters.
    void OnSampled(WPARAM wParam, LPARAM lParam);
    // On the window's thread: what the log's writer posted, from its message's parameters.
    void OnLogEvent(WPARAM wParam, LPARAM lParam);
    // A wheel turn over a chart: positive notches (away from the user) widen the span of
    // every chart, negative ones narrow it, down to the live view.
    void TurnWheel(int nNotches);
    // A minute has passed since the last wheel turn: back to the live view.
    void EndLookBack();
    // A look back drawn again from the day in memory, as wide as the plots are now;
    // nothing in the live view.
    void RefreshSpan();
    // Stops the worker and applies what it posted and the window has not yet seen.
    void StopSampling();
    // The worker is gone before the plug-in's Destroy, the icon's removal and its release.
    void Stop();

    // Whether any channel is in alarm.
    bool AnyAlarm() const;
    CStripChart& Chart(int nChannel) { return m_wndChart[nChannel]; }
    CTrayIcon& TrayIcon() { return m_trayIcon; }
    CSamplingLoop& Sampler() { return m_sampler; }
    QRVLPLUG& Plugin() { return m_plugin; }

    // The value of a reading's text field: atof's, never reading past the field's 8 bytes;
    // NaN for an empty field, a channel without a value.
    static double FieldValue(const LMDATA& data, int nField);

private:
    // The worker's side: each outcome posted to the owner window.
    void OnReading(const LMDATA& data) override;
    void OnFailure(const char* pszReason) override;
    void OnOutcomeShown() override;
    void Post(Outcome outcome, LPARAM lParam);
    void ConfigureChart(int nChannel);
    void ConfigureAlarms();
    // One channel's value of a good poll, before the chart shows it; an alarm that starts
    // or ends adds its note to strNote.
    void FeedAlarm(int nChannel, double dValue, const char* pszText, std::int64_t nUtcMs, std::string& strNote);
    // The poll's place in the day and the log; pReading null for a failed poll.
    void Record(std::int64_t nUtcMs, const LMDATA* pReading, std::string strNote);
    // The look-back columns of every chart, as the day in memory has them now.
    void ShowSpan();
    std::wstring ColumnTip(int nChannel, int nColumn) const;
    // "2026-12-09T03:10:01+09:00", as the log writes it.
    std::string LocalTime(std::int64_t nUtcMs) const;
    void ShowBalloon(const CString& strText);

    CMonitorSettings& m_settings;
    // Text field i of a reading feeds chart i.
    CStripChart m_wndChart[qrvl::kChartCount];
    ChannelAlarm m_alarms[qrvl::kChartCount];
    // The limit each channel's alarm crossed, as the profile has it; empty without.
    CString m_strCrossed[qrvl::kChartCount];
    QRVLPLUG m_plugin;
    CTrayIcon m_trayIcon;
    CSamplingLoop m_sampler;
    CString m_strTip;
    HWND m_hWndOwner;
    CWindowsClock m_clock;
    // The last day of readings, one ring for the run; the log's files fill it at start.
    std::unique_ptr<qrvl::history::DayRing> m_pHistory;
    qrvl::history::LookBack m_span;
    // Where the look back's columns end.
    std::int64_t m_nSpanEndMs;
    CLogWriter m_log;
    CAlarmCommand m_command;
};
