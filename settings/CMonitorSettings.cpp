#include "CMonitorSettings.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <type_traits>
#include <variant>

#include "CFont.h"

namespace {

// Amber: stands out on the default black background and from the default traces.
constexpr COLORREF kDefaultAlarmColor = 0x00C0FF;
constexpr int kDefaultAlarmPolls = 3;
constexpr int kDefaultLogDays = 30;

// A value that no key holds: GetPrivateProfileString hands back the default only when the
// key is absent.
const char kAbsent[] = "\x7f<absent>\x7f";

// "%06x" is a minimum width: a value beyond 24 bits keeps all its digits.
CString Hexadecimal(COLORREF crValue) {
    CString strValue;
    strValue.Format("0x%06x", static_cast<unsigned>(crValue));
    return strValue;
}

}  // namespace

// One key of the section: where its value lives, which says how it is read and written
// (text; number or flag, "%d"; colour, read as a number and written as "0x%06x"; an edge
// of the window's rectangle in screen pixels), and its default.
struct CMonitorSettings::Key {
    std::string strName;
    std::variant<CString*, int*, COLORREF*, LONG*> value;
    const char* pszDefault;
    int nDefault;
};

std::vector<CMonitorSettings::Key> CMonitorSettings::Keys(const RECT& rcDefault) {
    std::vector<Key> keys = {
        {"HostName", &m_strHostName, "localhost", 0},
        {"SocketTimer", &m_nSocketTimer, nullptr, 2000},
        {"MonitorTimer", &m_nMonitorTimer, nullptr, 10},
        {"DelayTimer", &m_nDelayTimer, nullptr, 3},
    };
    for (int i = 0; i < qrvl::kChartCount; ++i)
        keys.push_back({qrvl::titleKey(i), &m_charts[i].strTitle, qrvl::kChannels[i].name, 0});
    for (int i = 0; i < qrvl::kChartCount; ++i) {
        keys.push_back({qrvl::scaleKey(i, true), &m_charts[i].nMax, nullptr, qrvl::kChannels[i].scaleMax});
        keys.push_back({qrvl::scaleKey(i, false), &m_charts[i].nMin, nullptr, qrvl::kChannels[i].scaleMin});
    }
    const Key trailing[] = {
        {"TitleFontName", &m_strTitleFontName, kSystemFontFace, 0},
        {"TitleFontSize", &m_nTitleFontSize, nullptr, 12},
        {"NumberFontName", &m_strNumberFontName, kSystemFontFace, 0},
        {"NumberFontSize", &m_nNumberFontSize, nullptr, 12},
        {"GraphFontName", &m_strGraphFontName, kSystemFontFace, 0},
        {"GraphFontSize", &m_nGraphFontSize, nullptr, 12},
        {"BackColor", &m_crBackColor, nullptr, 0x000000},
        {"LineColor", &m_crLineColor, nullptr, 0x00C000},
        {"TempColor", &m_crTempColor, nullptr, 0x0040FF},
        {"VoltColor", &m_crVoltColor, nullptr, 0x40FFFF},
        {"NumberColor", &m_crNumberColor, nullptr, 0xFFFFFF},
        // The edges default to the window's rectangle as it was created.
        {"Top", &m_rcWindow.top, nullptr, rcDefault.top},
        {"Left", &m_rcWindow.left, nullptr, rcDefault.left},
        {"Right", &m_rcWindow.right, nullptr, rcDefault.right},
        {"Bottom", &m_rcWindow.bottom, nullptr, rcDefault.bottom},
        {"Stick", &m_nStick, nullptr, 0},
        {"TopMost", &m_nTopMost, nullptr, 0},
    };
    keys.insert(keys.end(), std::begin(trailing), std::end(trailing));
    return keys;
}

// Numbers, colours, rectangle and flags stay unset until LoadSettings.
CMonitorSettings::CMonitorSettings()
    : m_strSection("QRVGRPH"),
      m_nErrorCounter(0),
      m_charts(),
      m_nAlarmPolls(kDefaultAlarmPolls),
      m_crAlarmColor(kDefaultAlarmColor),
      m_logFolder(),
      m_logDays(),
      m_nLogDays(kDefaultLogDays),
      m_alarmCommand(),
      m_bAlarmPollsInFile(false),
      m_nWindowDpi(96),
      m_bAlarmColorInFile(false),
      m_bWindowDpiInFile(false),
      m_bLoaded(false) {}

void CMonitorSettings::LoadSettings(CWinApp& app, const RECT& rcCurrent, int nCurrentDpi) {
    // Values are kept as read: the charts and the sampling loop get them unchecked. Colours
    // come back through the integer read, which takes the "0x" form they are saved in.
    for (const Key& key : Keys(rcCurrent)) {
        const char* pszKey = key.strName.c_str();
        std::visit(
            [&](auto* pValue) {
                using Value = std::remove_pointer_t<decltype(pValue)>;
                if constexpr (std::is_same_v<Value, CString>)
                    *pValue = ReadString(app, pszKey, key.pszDefault);
                else
                    *pValue = static_cast<Value>(ReadInt(app, pszKey, key.nDefault));
            },
            key.value);
    }
    LoadWindowDpi(app, nCurrentDpi);
    LoadAlarms(app);
    LoadLogKeys(app);
    m_nSaveIni = ReadInt(app, "SaveIni", 1);
    m_bLoaded = true;
}

DWORD CMonitorSettings::SaveSettings(CWinApp& app, const RECT& rcNormal) {
    if (!m_bLoaded) return ERROR_SUCCESS;
    DWORD dwError = ERROR_SUCCESS;
    // Every key is written even after a failure; the first failure is the one reported.
    auto check = [&dwError](BOOL bWritten) {
        if (bWritten || dwError != ERROR_SUCCESS) return;
        dwError = ::GetLastError();
        if (dwError == ERROR_SUCCESS) dwError = ERROR_WRITE_FAULT;
    };
    const char* pszSection = m_strSection;
    if (m_nSaveIni != 0) {
        // The restored rectangle, so a window minimised at exit comes back at its place.
        m_rcWindow = rcNormal;
        for (const Key& key : Keys(rcNormal)) {
            const char* pszKey = key.strName.c_str();
            std::visit(
                [&](auto* pValue) {
                    using Value = std::remove_pointer_t<decltype(pValue)>;
                    if constexpr (std::is_same_v<Value, CString>)
                        check(app.WriteProfileString(pszSection, pszKey, *pValue));
                    else if constexpr (std::is_same_v<Value, COLORREF>)
                        check(app.WriteProfileString(pszSection, pszKey, Hexadecimal(*pValue)));
                    else
                        check(app.WriteProfileInt(pszSection, pszKey, static_cast<int>(*pValue)));
                },
                key.value);
        }
        SaveWindowDpi(app, check);
        SaveAlarms(app, check);
        SaveLogKeys(app, check);
    }
    check(app.WriteProfileInt(pszSection, "SaveIni", m_nSaveIni));
    check(app.WriteProfileInt(pszSection, "ErrorCounter", m_nErrorCounter));
    return dwError;
}

CString CMonitorSettings::ReadString(CWinApp& app, LPCSTR lpszKey, LPCSTR lpszDefault) const {
    return app.GetProfileString(m_strSection, lpszKey, lpszDefault);
}

int CMonitorSettings::ReadInt(CWinApp& app, LPCSTR lpszKey, int nDefault) const {
    return static_cast<int>(app.GetProfileInt(m_strSection, lpszKey, nDefault));
}

bool CMonitorSettings::ParseDecimal(const char* pszText, double& dValue) {
    // from_chars rather than atof or strtod: those follow the C runtime's locale, and a
    // profile must read the same on every PC. Fixed notation only, and a finite number.
    const char* pFirst = pszText;
    const char* pLast = pszText + std::strlen(pszText);
    while (pFirst < pLast && (*pFirst == ' ' || *pFirst == '\t')) ++pFirst;
    while (pLast > pFirst && (pLast[-1] == ' ' || pLast[-1] == '\t')) --pLast;
    if (pFirst < pLast && *pFirst == '+' && (pFirst + 1 == pLast || pFirst[1] != '-')) ++pFirst;
    const auto result = std::from_chars(pFirst, pLast, dValue, std::chars_format::fixed);
    return result.ec == std::errc() && result.ptr == pLast && std::isfinite(dValue);
}

bool CMonitorSettings::ReadPresent(CWinApp& app, LPCSTR lpszKey, CString& strValue) const {
    strValue = ReadString(app, lpszKey, kAbsent);
    if (!(strValue == kAbsent)) return true;
    strValue.Empty();
    return false;
}

void CMonitorSettings::LoadWindowDpi(CWinApp& app, int nCurrentDpi) {
    // Without a key of its own the rectangle is the window's, at the DPI it has now; a
    // saved one without WindowDpi was saved at 96.
    CString strIgnored;
    bool bRectInFile = false;
    for (const char* pszKey : {"Top", "Left", "Right", "Bottom"}) bRectInFile |= ReadPresent(app, pszKey, strIgnored);
    m_bWindowDpiInFile = ReadPresent(app, "WindowDpi", strIgnored);
    m_nWindowDpi = ReadInt(app, "WindowDpi", bRectInFile ? 96 : nCurrentDpi);
}

void CMonitorSettings::SaveWindowDpi(CWinApp& app, const std::function<void(BOOL)>& check) {
    const char* pszSection = m_strSection;
    if (m_nWindowDpi != 96)
        check(app.WriteProfileInt(pszSection, "WindowDpi", m_nWindowDpi));
    else if (m_bWindowDpiInFile)
        // A rectangle now saved at 96 must not be read as one of the DPI saved before.
        check(app.WriteProfileString(pszSection, "WindowDpi", nullptr));
}

void CMonitorSettings::LoadAlarms(CWinApp& app) {
    m_strUnreadAlarmKeys.Empty();
    for (int i = 0; i < qrvl::kChartCount; ++i) {
        for (bool bHigh : {true, false}) {
            AlarmLimit& limit = bHigh ? m_charts[i].alarmHigh : m_charts[i].alarmLow;
            const std::string strKey = qrvl::alarmKey(i, bHigh);
            const char* pszKey = strKey.c_str();
            limit.bInFile = ReadPresent(app, pszKey, limit.strText);
            limit.dValue = 0;
            limit.bSet = ParseDecimal(limit.strText, limit.dValue);
            // An empty text is no limit, not a mistake.
            if (!limit.bSet && !limit.strText.IsEmpty()) {
                if (!m_strUnreadAlarmKeys.IsEmpty()) m_strUnreadAlarmKeys += ", ";
                m_strUnreadAlarmKeys += pszKey;
            }
        }
    }
    CString strIgnored;
    m_bAlarmPollsInFile = ReadPresent(app, "AlarmPolls", strIgnored);
    m_nAlarmPolls = ReadInt(app, "AlarmPolls", kDefaultAlarmPolls);
    m_bAlarmColorInFile = ReadPresent(app, "AlarmColor", strIgnored);
    m_crAlarmColor = static_cast<COLORREF>(ReadInt(app, "AlarmColor", kDefaultAlarmColor));
}

void CMonitorSettings::SaveAlarms(CWinApp& app, const std::function<void(BOOL)>& check) {
    // Only keys the section held: a profile without alarms is saved as it always was.
    const char* pszSection = m_strSection;
    for (int i = 0; i < qrvl::kChartCount; ++i) {
        for (bool bHigh : {true, false}) {
            const AlarmLimit& limit = bHigh ? m_charts[i].alarmHigh : m_charts[i].alarmLow;
            if (limit.bInFile)
                check(app.WriteProfileString(pszSection, qrvl::alarmKey(i, bHigh).c_str(), limit.strText));
        }
    }
    if (m_bAlarmPollsInFile) check(app.WriteProfileInt(pszSection, "AlarmPolls", m_nAlarmPolls));
    if (m_bAlarmColorInFile) check(app.WriteProfileString(pszSection, "AlarmColor", Hexadecimal(m_crAlarmColor)));
}

void CMonitorSettings::LoadLogKeys(CWinApp& app) {
    m_strUnreadKeys.Empty();
    m_logFolder.bInFile = ReadPresent(app, "LogFolder", m_logFolder.strText);
    m_alarmCommand.bInFile = ReadPresent(app, "AlarmCommand", m_alarmCommand.strText);
    m_logDays.bInFile = ReadPresent(app, "LogDays", m_logDays.strText);
    m_nLogDays = kDefaultLogDays;
    double dDays = 0;
    if (ParseDecimal(m_logDays.strText, dDays) && dDays >= 0 && dDays <= 100000 && dDays == std::floor(dDays))
        m_nLogDays = static_cast<int>(dDays);
    else if (!m_logDays.strText.IsEmpty())
        m_strUnreadKeys = "LogDays";
}

void CMonitorSettings::SaveLogKeys(CWinApp& app, const std::function<void(BOOL)>& check) {
    const struct {
        const char* pszKey;
        const KeptText& kept;
    } keys[] = {{"LogFolder", m_logFolder}, {"LogDays", m_logDays}, {"AlarmCommand", m_alarmCommand}};
    for (const auto& key : keys)
        if (key.kept.bInFile) check(app.WriteProfileString(m_strSection, key.pszKey, key.kept.strText));
}
