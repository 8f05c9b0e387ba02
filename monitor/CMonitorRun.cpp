#include "CMonitorRun.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "TextCodec.h"
#include "qrvl/HostText.h"
#include "qrvl/history/LogRow.h"
#include "resource.h"

namespace {
// An en dash in UTF-8, for the tips, whatever the program's code page.
const char kDash[] = "\xE2\x80\x93";
}  // namespace

CMonitorRun::CMonitorRun(CMonitorSettings& settings)
    : m_settings(settings),
      m_sampler(m_plugin, *this),
      m_hWndOwner(nullptr),
      m_pHistory(std::make_unique<qrvl::history::DayRing>()),
      m_span(qrvl::history::LookBack::Live),
      m_nSpanEndMs(0) {}

CMonitorRun::~CMonitorRun() { Stop(); }

const char* CMonitorRun::Start(HWND hWndOwner) {
    m_hWndOwner = hWndOwner;
    if (!m_plugin.Create(m_settings.m_strHostName)) return "SOCKET ERROR!";
    if (!m_sampler.Start({m_settings.m_nSocketTimer, m_settings.m_nMonitorTimer, m_settings.m_nDelayTimer}))
        return "THREAD CREATE ERROR!!";

    m_strTip.Format("QUORVEL GRAPH - %s", qrvl::withoutPassword(m_settings.m_strHostName.GetString()).c_str());
    ConfigureAlarms();
    m_command.SetCommand(m_settings.m_alarmCommand.strText, m_settings.m_strSection);
    if (!m_settings.m_logFolder.strText.IsEmpty())
        m_log.Start(hWndOwner, m_settings.m_logFolder.strText, m_settings.m_strSection, m_settings.m_nLogDays);
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
        m_wndChart[i].SetColumnTip([this, i](int nColumn) { return ColumnTip(i, nColumn); });
    }
}

void CMonitorRun::ShowIcon() {
    m_trayIcon.Add(SLOT_IDLE);
    CString strText;
    if (!m_settings.m_strUnreadAlarmKeys.IsEmpty())
        strText.Format("Not a number, so no limit: %s", m_settings.m_strUnreadAlarmKeys.GetString());
    if (!m_settings.m_strUnreadKeys.IsEmpty()) {
        CString strKeys;
        strKeys.Format("%sNot understood, so the default: %s", strText.IsEmpty() ? "" : "\n",
                       m_settings.m_strUnreadKeys.GetString());
        strText += strKeys;
    }
    if (!strText.IsEmpty()) ShowBalloon(strText);
}

void CMonitorRun::ShowBalloon(const CString& strText) { m_trayIcon.ShowBalloon(m_strTip, strText); }

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

void CMonitorRun::FeedAlarm(int nChannel, double dValue, const char* pszText, std::int64_t nUtcMs,
                            std::string& strNote) {
    ChannelAlarm& alarm = m_alarms[nChannel];
    if (!alarm.Feed(dValue)) return;
    m_wndChart[nChannel].SetReadoutAlarm(alarm.InAlarm(), m_settings.m_crAlarmColor);

    // "CPU above 85", "CPU back inside": the leave event names the limit the enter crossed.
    const qrvl::ChannelFacts& facts = qrvl::kChannels[nChannel];
    const CMonitorSettings::ChartSettings& chart = m_settings.m_charts[nChannel];
    const bool bAbove = alarm.Cause() == ChannelAlarm::ABOVE;
    std::string strEvent = facts.name;
    if (!alarm.InAlarm()) {
        strEvent += " back inside";
    } else if (alarm.Cause() == ChannelAlarm::NO_VALUE) {
        m_strCrossed[nChannel].Empty();
        strEvent += " has no value";
    } else {
        m_strCrossed[nChannel] = (bAbove ? chart.alarmHigh : chart.alarmLow).strText;
        strEvent += std::string(bAbove ? " above " : " below ") + m_strCrossed[nChannel].GetString();
    }
    if (m_command.IsSet()) {
        CString strReason;
        const CAlarmCommand::Event event = {nChannel, alarm.InAlarm(), pszText, m_strCrossed[nChannel],
                                            LocalTime(nUtcMs).c_str()};
        switch (m_command.Run(event, strReason)) {
        case CAlarmCommand::STARTED:
            break;
        case CAlarmCommand::STILL_RUNNING:
            strEvent += " (AlarmCommand not run: the last one still runs)";
            break;
        case CAlarmCommand::FAILED:
            ShowBalloon("AlarmCommand could not start: " + strReason);
            break;
        }
    }
    strNote += (strNote.empty() ? "" : "; ") + strEvent;
    if (!alarm.InAlarm()) return;

    // "CPU 91.0 °C above 85": the chart's title, the value to the digits the host sends
    // (a volt limit of 1.45 needs three), and the limit as the profile has it.
    const char* pszName = chart.strTitle.IsEmpty() ? facts.name : chart.strTitle.GetString();
    CString strText;
    if (alarm.Cause() == ChannelAlarm::NO_VALUE)
        strText.Format("%s has no value", pszName);
    else
        strText.Format("%s %.*f %s %s %s", pszName, facts.decimals, dValue,
                       AnsiFromUtf8(qrvl::quantityFacts(facts.quantity).unit).c_str(), bAbove ? "above" : "below",
                       m_strCrossed[nChannel].GetString());
    ShowBalloon(strText);
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
    // The rows of every poll taken in are written before the program goes on to its end.
    m_log.Stop();
    while (m_hWndOwner != nullptr && ::PeekMessageA(&msg, m_hWndOwner, WM_LOGEVENT, WM_LOGEVENT, PM_REMOVE))
        CLogWriter::DiscardEvent(msg.wParam, msg.lParam);
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
void CMonitorRun::OnReading(const LMDATA& data) {
    Post(OUTCOME_READING, reinterpret_cast<LPARAM>(new (std::nothrow) LMDATA(data)));
}

void CMonitorRun::OnFailure(const char* pszReason) {
    Post(OUTCOME_FAILURE, reinterpret_cast<LPARAM>(new (std::nothrow) CString(pszReason)));
}

void CMonitorRun::OnOutcomeShown() { Post(OUTCOME_SHOWN, 0); }

void CMonitorRun::Post(Outcome outcome, LPARAM lParam) {
    // A queue too full to take the post loses this outcome, and its copy is freed.
    if (::PostMessageA(m_hWndOwner, WM_SAMPLED, outcome, lParam)) return;
    if (outcome == OUTCOME_READING) delete reinterpret_cast<LMDATA*>(lParam);
    if (outcome == OUTCOME_FAILURE) delete reinterpret_cast<CString*>(lParam);
}

void CMonitorRun::OnSampled(WPARAM wParam, LPARAM lParam) {
    const std::int64_t nNowMs = m_clock.nowUtcMs();
    switch (wParam) {
    case OUTCOME_READING: {
        std::unique_ptr<LMDATA> pReading(reinterpret_cast<LMDATA*>(lParam));
        m_trayIcon.Modify(SLOT_RECEIVED);
        if (!pReading) break;
        std::string strNote;
        for (int i = 0; i < qrvl::kChartCount; ++i) {
            const double dValue = FieldValue(*pReading, i);
            // The host's text reaches the alarm command only when it is a number, as in the log:
            // a command line must not take whatever a sensor host sends.
            const std::string_view value = qrvl::history::numberText(qrvl::record::field(pReading.get(), i));
            // First the alarm, so the readout of the reading that raises it is in its colour.
            FeedAlarm(i, dValue, std::string(value).c_str(), nNowMs, strNote);
            m_wndChart[i].AppendValue(dValue);
        }
        Record(nNowMs, pReading.get(), std::move(strNote));
        break;
    }
    case OUTCOME_FAILURE: {
        std::unique_ptr<CString> pReason(reinterpret_cast<CString*>(lParam));
        m_trayIcon.Modify(SLOT_FAILED);
        ++m_settings.m_nErrorCounter;
        const CString strReason = pReason ? *pReason : CString();
        Record(nNowMs, nullptr, qrvl::history::noReadingNote(Utf8FromAnsi(strReason)));
        break;
    }
    case OUTCOME_SHOWN:
        m_trayIcon.Modify(AnyAlarm() ? SLOT_ALARM : SLOT_IDLE);
        break;
    }
}

void CMonitorRun::Record(std::int64_t nUtcMs, const LMDATA* pReading, std::string strNote) {
    const char* fields[qrvl::kChartCount];
    for (int i = 0; i < qrvl::kChartCount; ++i)
        fields[i] = pReading ? qrvl::record::field(pReading, i) : nullptr;
    m_pHistory->append(qrvl::history::sampleOf(nUtcMs, pReading ? fields : nullptr));
    if (m_log.IsStarted()) m_log.Append(nUtcMs, pReading, std::move(strNote));
    RefreshSpan();
}

void CMonitorRun::OnLogEvent(WPARAM wParam, LPARAM lParam) {
    switch (wParam) {
    case CLogWriter::EVENT_DAY_READ: {
        std::unique_ptr<qrvl::history::DayRing> pDay = CLogWriter::TakeEvent<qrvl::history::DayRing>(lParam);
        // The polls since the start come after the day read.
        for (std::size_t i = 0; i < m_pHistory->size(); ++i) pDay->append(m_pHistory->at(i));
        m_pHistory = std::move(pDay);
        RefreshSpan();
        break;
    }
    case CLogWriter::EVENT_SIDE_FILE:
        ShowBalloon("The log's file is in use elsewhere; rows go on in " + *CLogWriter::TakeEvent<CString>(lParam));
        break;
    case CLogWriter::EVENT_FAILED:
        ShowBalloon("The log cannot be written: " + *CLogWriter::TakeEvent<CString>(lParam));
        break;
    default:
        CLogWriter::DiscardEvent(wParam, lParam);
    }
}

void CMonitorRun::TurnWheel(int nNotches) {
    for (; nNotches > 0; --nNotches) m_span = qrvl::history::longerSpan(m_span);
    for (; nNotches < 0; ++nNotches) m_span = qrvl::history::shorterSpan(m_span);
    if (m_span == qrvl::history::LookBack::Live) {
        EndLookBack();
        return;
    }
    ShowSpan();
    // Each turn gives the look back another minute.
    ::SetTimer(m_hWndOwner, ID_LOOKBACK_TIMER, 60000, nullptr);
}

void CMonitorRun::EndLookBack() {
    if (m_hWndOwner) ::KillTimer(m_hWndOwner, ID_LOOKBACK_TIMER);
    m_span = qrvl::history::LookBack::Live;
    for (CStripChart& chart : m_wndChart) chart.ShowLive();
}

void CMonitorRun::RefreshSpan() {
    if (m_span != qrvl::history::LookBack::Live) ShowSpan();
}

void CMonitorRun::ShowSpan() {
    const std::int64_t nEndMs = m_clock.nowUtcMs();
    for (int i = 0; i < qrvl::kChartCount; ++i) {
        std::vector<qrvl::history::ColumnRange> columns(static_cast<std::size_t>(std::max(m_wndChart[i].GetPlotWidth(), 0)));
        m_pHistory->reduce(nEndMs, qrvl::history::spanMs(m_span), static_cast<int>(columns.size()), i, columns.data());
        m_wndChart[i].ShowLookBack(qrvl::history::spanName(m_span), std::move(columns));
    }
    m_nSpanEndMs = nEndMs;
}

std::string CMonitorRun::LocalTime(std::int64_t nUtcMs) const {
    std::string strTime;
    qrvl::history::appendLocalTime(strTime, nUtcMs, m_clock.offsetMinutesAt(nUtcMs));
    return strTime;
}

std::wstring CMonitorRun::ColumnTip(int nChannel, int nColumn) const {
    const int nColumns = m_wndChart[nChannel].GetPlotWidth();
    const std::int64_t nSpanMs = qrvl::history::spanMs(m_span);
    if (nColumns <= 0 || nSpanMs <= 0) return std::wstring();
    const qrvl::history::TimeRange range = qrvl::history::columnTime(m_nSpanEndMs, nSpanMs, nColumns, nColumn);
    qrvl::history::ColumnRange values;
    const std::int64_t nSliceMs = range.untilMs - range.afterMs;
    m_pHistory->reduce(range.untilMs, nSliceMs, 1, nChannel, &values);
    // Local clock times, to the second when a slice is shorter than a minute.
    auto clock = [&](std::int64_t nUtcMs) { return LocalTime(nUtcMs).substr(11, nSliceMs < 60000 ? 8 : 5); };
    const qrvl::ChannelFacts& facts = qrvl::kChannels[nChannel];
    std::string strTip = clock(range.afterMs) + kDash + clock(range.untilMs) + " " + facts.name + " ";
    if (values.hasValue) {
        char szValues[96];
        std::snprintf(szValues, sizeof szValues, "%.*f%s%.*f %s", facts.decimals, values.min, kDash, facts.decimals,
                      values.max, qrvl::quantityFacts(facts.quantity).unit);
        strTip += szValues;
    } else {
        strTip += "-";
    }
    return WideOf(strTip.c_str(), CP_UTF8);
}

double CMonitorRun::FieldValue(const LMDATA& data, int nField) {
    // The field need not end in a NUL within its 8 bytes; the conversion must not run on
    // into the next one.
    char text[9];
    std::memcpy(text, qrvl::record::field(&data, nField), 8);
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
