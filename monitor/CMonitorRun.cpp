#include "CMonitorRun.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include "qrvl/HostText.h"
#include "resource.h"

CMonitorRun::CMonitorRun(CMonitorSettings& settings)
    : m_settings(settings), m_sampler(m_plugin, *this), m_hWndOwner(nullptr) {}

CMonitorRun::~CMonitorRun() { Stop(); }

const char* CMonitorRun::Start(HWND hWndOwner) {
    m_hWndOwner = hWndOwner;
    if (!m_plugin.Create(m_settings.m_strHostName)) return "SOCKET ERROR!";
    if (!m_sampler.Start({m_settings.m_nSocketTimer, m_settings.m_nMonitorTimer, m_settings.m_nDelayTimer}))
        return "THREAD CREATE ERROR!!";

    m_strTip.Format("QUORVEL GRAPH - %s", qrvl::withoutPassword(m_settings.m_strHostName.GetString()).c_str());
    ConfigureAlarms();
    // Id 0: the icon makes its own. Slots in the order idle, received, failed, alarm.
    TrayIconInit init = {AfxGetInstanceHandle(), hWndOwner, 0};
    m_trayIcon.Create(init, 4);
    m_trayIcon.SetCallbackMessage(WM_TRAYNOTIFY);
    m_trayIcon.SetTip(m_strTip);
    m_trayIcon.AddIcon(IDI_TRAY_IDLE);
    m_trayIcon.AddIcon(IDI_TRAY_RECEIVED);
    m_trayIcon.AddIcon(IDI_TRAY_ERROR);
    m_trayIcon.AddIcon(IDI_TRAY_ALARM);
    return nullptr;
}

void CMonitorRun::CreateCharts(CWnd& window) {
    for (int i = 0; i < qrvl::kChartCount; ++i) {
        RECT rcChart;
        ::GetWindowRect(window.GetDlgItem(IDC_CHART_FIRST + i), &rcChart);
        window.ScreenToClient(&rcChart);
        m_wndChart[i].Create(WS_CHILD | WS_VISIBLE, rcChart, &window, 0);
        ConfigureChart(i);
    }
}

void CMonitorRun::ShowIcon() {
    m_trayIcon.Add(SLOT_IDLE);
    if (!m_settings.m_strUnreadAlarmKeys.IsEmpty()) {
        CString strText;
        strText.Format("Not a number, so no limit: %s", m_settings.m_strUnreadAlarmKeys.GetString());
        m_trayIcon.ShowBalloon(m_strTip, strText);
    }
}

bool CMonitorRun::AnyAlarm() const {
    for (const ChannelAlarm& alarm : m_alarms)
        if (alarm.InAlarm()) return true;
    return false;
}

void CMonitorRun::ConfigureAlarms() {
    for (int i = 0; i < qrvl::kChartCount; ++i) {
        const CMonitorSettings::AlarmLimit& high = m_settings.m_charts[i].alarmHigh;
        const CMonitorSettings::AlarmLimit& low = m_settings.m_charts[i].alarmLow;
        m_alarms[i].Configure(high.bSet, high.dValue, low.bSet, low.dValue, m_settings.m_nAlarmPolls);
    }
}

void CMonitorRun::FeedAlarm(int nChannel, double dValue) {
    ChannelAlarm& alarm = m_alarms[nChannel];
    if (!alarm.Feed(dValue)) return;
    m_wndChart[nChannel].SetReadoutAlarm(alarm.InAlarm(), m_settings.m_crAlarmColor);
    if (!alarm.InAlarm()) return;

    // "CPU 91.0 °C above 85": the chart's title, the value to the digits the host sends
    // (a volt limit of 1.45 needs three), and the limit as the profile has it.
    const qrvl::ChannelFacts& facts = qrvl::kChannels[nChannel];
    const CMonitorSettings::ChartSettings& chart = m_settings.m_charts[nChannel];
    const char* pszName = chart.strTitle.IsEmpty() ? facts.name : chart.strTitle.GetString();
    const bool bAbove = alarm.Cause() == ChannelAlarm::ABOVE;
    const CMonitorSettings::AlarmLimit& limit = bAbove ? chart.alarmHigh : chart.alarmLow;
    CString strText;
    if (alarm.Cause() == ChannelAlarm::NO_VALUE)
        strText.Format("%s has no value", pszName);
    else
        strText.Format("%s %.*f %s %s %s", pszName, facts.decimals, dValue,
                       CString::FromUtf8(qrvl::quantityFacts(facts.quantity).unit).GetString(), bAbove ? "above" : "below",
                       limit.strText.GetString());
    m_trayIcon.ShowBalloon(m_strTip, strText);
}

void CMonitorRun::ChartsReady() { m_sampler.ChartsReady(); }

void CMonitorRun::StopSampling() {
    m_sampler.Stop();
    MSG msg;
    // Outcomes still queued are taken in now, so that failures are counted before the save;
    // a failure to draw one must not skip the rest of the stop.
    while (m_hWndOwner != nullptr && ::PeekMessageA(&msg, m_hWndOwner, WM_SAMPLED, WM_SAMPLED, PM_REMOVE)) {
        try {
            OnSampled(msg.wParam, msg.lParam);
        } catch (...) {
            AfxReportHandlerFailure("OnSampled", WM_SAMPLED);
        }
    }
}

void CMonitorRun::Stop() {
    StopSampling();
    // The window may be gone when the destructor stops again.
    m_hWndOwner = nullptr;
    m_plugin.Destroy();
    m_trayIcon.Delete();
    m_trayIcon.Destroy();
}

// Without memory for the copy, the reading is shown as its flash alone.
void CMonitorRun::OnReading(const LMDATA& data) { Post(OUTCOME_READING, new (std::nothrow) LMDATA(data)); }

void CMonitorRun::OnFailure() { Post(OUTCOME_FAILURE, nullptr); }

void CMonitorRun::OnOutcomeShown() { Post(OUTCOME_SHOWN, nullptr); }

void CMonitorRun::Post(Outcome outcome, LMDATA* pReading) {
    // A queue too full to take the post loses this outcome, and its copy is freed.
    if (!::PostMessageA(m_hWndOwner, WM_SAMPLED, outcome, reinterpret_cast<LPARAM>(pReading))) delete pReading;
}

void CMonitorRun::OnSampled(WPARAM wParam, LPARAM lParam) {
    std::unique_ptr<LMDATA> pReading(reinterpret_cast<LMDATA*>(lParam));
    switch (wParam) {
    case OUTCOME_READING:
        m_trayIcon.Modify(SLOT_RECEIVED);
        if (pReading)
            for (int i = 0; i < qrvl::kChartCount; ++i) {
                const double dValue = FieldValue(*pReading, i);
                // First the alarm, so the readout of the reading that raises it is in its colour.
                FeedAlarm(i, dValue);
                m_wndChart[i].AppendValue(dValue);
            }
        break;
    case OUTCOME_FAILURE:
        m_trayIcon.Modify(SLOT_FAILED);
        ++m_settings.m_nErrorCounter;
        break;
    case OUTCOME_SHOWN:
        m_trayIcon.Modify(AnyAlarm() ? SLOT_ALARM : SLOT_IDLE);
        break;
    }
}

double CMonitorRun::FieldValue(const LMDATA& data, int nField) {
    // The field need not end in a NUL within its 8 bytes; the conversion must not run on
    // into the next one.
    char text[9];
    std::memcpy(text, reinterpret_cast<const char*>(&data) + qrvl::record::fieldOffset(nField), 8);
    text[8] = '\0';
    // An empty field is a channel without a value: a gap, never a measured 0.
    if (text[0] == '\0') return std::numeric_limits<double>::quiet_NaN();
    return std::atof(text);
}

void CMonitorRun::ConfigureChart(int nChannel) {
    const CMonitorSettings& s = m_settings;
    const CMonitorSettings::ChartSettings& c = s.m_charts[nChannel];
    const qrvl::ChannelFacts& facts = qrvl::kChannels[nChannel];
    const bool bTemperature = facts.quantity == qrvl::Quantity::Temperature;
    CStripChart& chart = m_wndChart[nChannel];
    // Voltage bounds are kept in tenths of a volt.
    if (bTemperature)
        chart.SetRange(c.nMin, c.nMax, facts.chartDecimals);
    else
        chart.SetRange(c.nMin * 0.1, c.nMax * 0.1, facts.chartDecimals);
    chart.SetTitle(c.strTitle);
    chart.SetTitleFont(s.m_strTitleFontName, s.m_nTitleFontSize);
    chart.SetValueFont(s.m_strGraphFontName, s.m_nGraphFontSize);
    chart.SetScaleFont(s.m_strNumberFontName, s.m_nNumberFontSize);
    chart.SetFontColor(s.m_crNumberColor);
    chart.SetBackColor(s.m_crBackColor);
    chart.SetGridColor(s.m_crLineColor);
    chart.SetTraceColor(bTemperature ? s.m_crTempColor : s.m_crVoltColor);
}
