#include "CMonitorSettings.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "CFont.h"

namespace {

// One key of the section. Exactly one of the member pointers is set: it says where the
// value lives and how it is read and written.
struct Setting {
    const char* pszKey;
    CString CMonitorSettings::*pString;  // text
    int CMonitorSettings::*pInt;         // number or flag, "%d"
    COLORREF CMonitorSettings::*pColor;  // read as a number, written as "0x%06x"
    LONG RECT::*pEdge;                   // an edge of the window's rectangle, in screen pixels
    const char* pszDefault;
    int nDefault;
};

using S = CMonitorSettings;
constexpr Setting Text(const char* key, CString S::*p, const char* def) { return {key, p, nullptr, nullptr, nullptr, def, 0}; }
constexpr Setting Number(const char* key, int S::*p, int def) { return {key, nullptr, p, nullptr, nullptr, nullptr, def}; }
constexpr Setting Color(const char* key, COLORREF S::*p, int def) { return {key, nullptr, nullptr, p, nullptr, nullptr, def}; }
// The edges default to the window's rectangle as it was created.
constexpr Setting Edge(const char* key, LONG RECT::*p) { return {key, nullptr, nullptr, nullptr, p, nullptr, 0}; }

// Every key but SaveIni and ErrorCounter, in the order of loading and saving. SaveIni is
// loaded last and saved after these whatever it says; ErrorCounter is only ever written.
const Setting kSettings[] = {
    Text("HostName", &S::m_strHostName, "localhost"),
    Number("SocketTimer", &S::m_nSocketTimer, 2000),
    Number("MonitorTimer", &S::m_nMonitorTimer, 10),
    Number("DelayTimer", &S::m_nDelayTimer, 3),
    Text("StringTCPU", &S::m_strStringTCPU, "CPU"),
    Text("StringTPWR", &S::m_strStringTPWR, "PWR"),
    Text("StringTSYS", &S::m_strStringTSYS, "SYS"),
    Text("StringVCORE", &S::m_strStringVCORE, "Vcore"),
    Text("StringVTT", &S::m_strStringVTT, "VTT"),
    Text("StringVIO", &S::m_strStringVIO, "Vio"),
    Number("CPUTempMax", &S::m_nCPUTempMax, 60),
    Number("CPUTempMin", &S::m_nCPUTempMin, 20),
    Number("PWRTempMax", &S::m_nPWRTempMax, 60),
    Number("PWRTempMin", &S::m_nPWRTempMin, 20),
    Number("SYSTempMax", &S::m_nSYSTempMax, 60),
    Number("SYSTempMin", &S::m_nSYSTempMin, 20),
    Number("VcoreMax", &S::m_nVcoreMax, 30),
    Number("VcoreMin", &S::m_nVcoreMin, 20),
    Number("VTTMax", &S::m_nVTTMax, 30),
    Number("VTTMin", &S::m_nVTTMin, 20),
    Number("VioMax", &S::m_nVioMax, 40),
    Number("VioMin", &S::m_nVioMin, 30),
    Text("TitleFontName", &S::m_strTitleFontName, kSystemFontFace),
    Number("TitleFontSize", &S::m_nTitleFontSize, 12),
    Text("NumberFontName", &S::m_strNumberFontName, kSystemFontFace),
    Number("NumberFontSize", &S::m_nNumberFontSize, 12),
    Text("GraphFontName", &S::m_strGraphFontName, kSystemFontFace),
    Number("GraphFontSize", &S::m_nGraphFontSize, 12),
    Color("BackColor", &S::m_crBackColor, 0x000000),
    Color("LineColor", &S::m_crLineColor, 0x00C000),
    Color("TempColor", &S::m_crTempColor, 0x0040FF),
    Color("VoltColor", &S::m_crVoltColor, 0x40FFFF),
    Color("NumberColor", &S::m_crNumberColor, 0xFFFFFF),
    Edge("Top", &RECT::top),
    Edge("Left", &RECT::left),
    Edge("Right", &RECT::right),
    Edge("Bottom", &RECT::bottom),
    Number("Stick", &S::m_nStick, 0),
    Number("TopMost", &S::m_nTopMost, 0),
};

// "%06x" is a minimum width: a value beyond 24 bits keeps all its digits.
// Amber: stands out on the default black background and from the default traces.
constexpr COLORREF kDefaultAlarmColor = 0x00C0FF;
constexpr int kDefaultAlarmPolls = 3;

// A value that no key holds: GetPrivateProfileString hands back the default only when the
// key is absent.
const char kAbsent[] = "\x7f<absent>\x7f";

CString Hexadecimal(COLORREF crValue) {
    CString strValue;
    strValue.Format("0x%06x", static_cast<unsigned>(crValue));
    return strValue;
}

}  // namespace

// Numbers, colours, rectangle and flags stay unset until LoadSettings.
CMonitorSettings::CMonitorSettings()
    : m_strSection("QRVGRPH"),
      m_nErrorCounter(0),
      m_alarmHigh(),
      m_alarmLow(),
      m_nAlarmPolls(kDefaultAlarmPolls),
      m_crAlarmColor(kDefaultAlarmColor),
      m_bAlarmPollsInFile(false),
      m_nWindowDpi(96),
      m_bAlarmColorInFile(false),
      m_bWindowDpiInFile(false),
      m_bLoaded(false) {}

void CMonitorSettings::LoadSettings(CWinApp& app, const RECT& rcCurrent, int nCurrentDpi) {
    // Values are kept as read: the charts and the sampling loop get them unchecked. Colours
    // come back through the integer read, which takes the "0x" form they are saved in.
    for (const Setting& s : kSettings) {
        if (s.pString)
            this->*s.pString = ReadString(app, s.pszKey, s.pszDefault);
        else if (s.pInt)
            this->*s.pInt = ReadInt(app, s.pszKey, s.nDefault);
        else if (s.pColor)
            this->*s.pColor = static_cast<COLORREF>(ReadInt(app, s.pszKey, s.nDefault));
        else
            m_rcWindow.*s.pEdge = ReadInt(app, s.pszKey, rcCurrent.*s.pEdge);
    }
    LoadWindowDpi(app, nCurrentDpi);
    LoadAlarms(app);
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
        for (const Setting& s : kSettings) {
            if (s.pString)
                check(app.WriteProfileString(pszSection, s.pszKey, this->*s.pString));
            else if (s.pInt)
                check(app.WriteProfileInt(pszSection, s.pszKey, this->*s.pInt));
            else if (s.pColor)
                check(app.WriteProfileString(pszSection, s.pszKey, Hexadecimal(this->*s.pColor)));
            else
                check(app.WriteProfileInt(pszSection, s.pszKey, m_rcWindow.*s.pEdge));
        }
        SaveWindowDpi(app, check);
        SaveAlarms(app, check);
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

const char* CMonitorSettings::AlarmKey(int nChannel, bool bHigh) {
    static const char* const keys[ALARM_CHANNELS][2] = {
        {"CPUTempAlarmHigh", "CPUTempAlarmLow"}, {"PWRTempAlarmHigh", "PWRTempAlarmLow"},
        {"SYSTempAlarmHigh", "SYSTempAlarmLow"}, {"VcoreAlarmHigh", "VcoreAlarmLow"},
        {"VTTAlarmHigh", "VTTAlarmLow"},         {"VioAlarmHigh", "VioAlarmLow"},
    };
    return keys[nChannel][bHigh ? 0 : 1];
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
    for (int i = 0; i < ALARM_CHANNELS; ++i) {
        for (bool bHigh : {true, false}) {
            AlarmLimit& limit = bHigh ? m_alarmHigh[i] : m_alarmLow[i];
            const char* pszKey = AlarmKey(i, bHigh);
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
    for (int i = 0; i < ALARM_CHANNELS; ++i) {
        if (m_alarmHigh[i].bInFile)
            check(app.WriteProfileString(pszSection, AlarmKey(i, true), m_alarmHigh[i].strText));
        if (m_alarmLow[i].bInFile) check(app.WriteProfileString(pszSection, AlarmKey(i, false), m_alarmLow[i].strText));
    }
    if (m_bAlarmPollsInFile) check(app.WriteProfileInt(pszSection, "AlarmPolls", m_nAlarmPolls));
    if (m_bAlarmColorInFile) check(app.WriteProfileString(pszSection, "AlarmColor", Hexadecimal(m_crAlarmColor)));
}
