#include "CMonitorSettings.h"

namespace {
// The Japanese system font, in the program's code page.
const char kDefaultFontName[] = "ＭＳ ゴシック";
}  // namespace

// Numbers, colours, rectangle and flags stay unset until LoadSettings.
CMonitorSettings::CMonitorSettings() : m_strSection("QRVGRPH"), m_nErrorCounter(0), m_bLoaded(false) {}

void CMonitorSettings::LoadSettings(CWinApp& app, const RECT& rcCurrent) {
    // Values are kept as read: the charts and the sampling loop get them unchecked.
    m_strHostName = ReadString(app, "HostName", "localhost");
    m_nSocketTimer = ReadInt(app, "SocketTimer", 2000);
    m_nMonitorTimer = ReadInt(app, "MonitorTimer", 10);
    m_nDelayTimer = ReadInt(app, "DelayTimer", 3);

    m_strStringTCPU = ReadString(app, "StringTCPU", "CPU");
    m_strStringTPWR = ReadString(app, "StringTPWR", "PWR");
    m_strStringTSYS = ReadString(app, "StringTSYS", "SYS");
    m_strStringVCORE = ReadString(app, "StringVCORE", "Vcore");
    m_strStringVTT = ReadString(app, "StringVTT", "VTT");
    m_strStringVIO = ReadString(app, "StringVIO", "Vio");

    m_nCPUTempMax = ReadInt(app, "CPUTempMax", 60);
    m_nCPUTempMin = ReadInt(app, "CPUTempMin", 20);
    m_nPWRTempMax = ReadInt(app, "PWRTempMax", 60);
    m_nPWRTempMin = ReadInt(app, "PWRTempMin", 20);
    m_nSYSTempMax = ReadInt(app, "SYSTempMax", 60);
    m_nSYSTempMin = ReadInt(app, "SYSTempMin", 20);
    m_nVcoreMax = ReadInt(app, "VcoreMax", 30);
    m_nVcoreMin = ReadInt(app, "VcoreMin", 20);
    m_nVTTMax = ReadInt(app, "VTTMax", 30);
    m_nVTTMin = ReadInt(app, "VTTMin", 20);
    m_nVioMax = ReadInt(app, "VioMax", 40);
    m_nVioMin = ReadInt(app, "VioMin", 30);

    m_strTitleFontName = ReadString(app, "TitleFontName", kDefaultFontName);
    m_nTitleFontSize = ReadInt(app, "TitleFontSize", 12);
    m_strNumberFontName = ReadString(app, "NumberFontName", kDefaultFontName);
    m_nNumberFontSize = ReadInt(app, "NumberFontSize", 12);
    m_strGraphFontName = ReadString(app, "GraphFontName", kDefaultFontName);
    m_nGraphFontSize = ReadInt(app, "GraphFontSize", 12);

    // Colours come back through the integer read, which takes the "0x" form they are saved in.
    m_crBackColor = static_cast<COLORREF>(ReadInt(app, "BackColor", 0x000000));
    m_crLineColor = static_cast<COLORREF>(ReadInt(app, "LineColor", 0x00C000));
    m_crTempColor = static_cast<COLORREF>(ReadInt(app, "TempColor", 0x0040FF));
    m_crVoltColor = static_cast<COLORREF>(ReadInt(app, "VoltColor", 0x40FFFF));
    m_crNumberColor = static_cast<COLORREF>(ReadInt(app, "NumberColor", 0xFFFFFF));

    // Without saved keys the window stays where it was created.
    m_rcWindow.top = ReadInt(app, "Top", rcCurrent.top);
    m_rcWindow.left = ReadInt(app, "Left", rcCurrent.left);
    m_rcWindow.right = ReadInt(app, "Right", rcCurrent.right);
    m_rcWindow.bottom = ReadInt(app, "Bottom", rcCurrent.bottom);

    m_nStick = ReadInt(app, "Stick", 0);
    m_nTopMost = ReadInt(app, "TopMost", 0);
    m_nSaveIni = ReadInt(app, "SaveIni", 1);
    m_bLoaded = true;
}

void CMonitorSettings::SaveSettings(CWinApp& app, const RECT& rcNormal) {
    if (!m_bLoaded) return;
    if (m_nSaveIni != 0) {
        WriteString(app, "HostName", m_strHostName);
        WriteInt(app, "SocketTimer", m_nSocketTimer);
        WriteInt(app, "MonitorTimer", m_nMonitorTimer);
        WriteInt(app, "DelayTimer", m_nDelayTimer);

        WriteString(app, "StringTCPU", m_strStringTCPU);
        WriteString(app, "StringTPWR", m_strStringTPWR);
        WriteString(app, "StringTSYS", m_strStringTSYS);
        WriteString(app, "StringVCORE", m_strStringVCORE);
        WriteString(app, "StringVTT", m_strStringVTT);
        WriteString(app, "StringVIO", m_strStringVIO);

        WriteInt(app, "CPUTempMax", m_nCPUTempMax);
        WriteInt(app, "CPUTempMin", m_nCPUTempMin);
        WriteInt(app, "PWRTempMax", m_nPWRTempMax);
        WriteInt(app, "PWRTempMin", m_nPWRTempMin);
        WriteInt(app, "SYSTempMax", m_nSYSTempMax);
        WriteInt(app, "SYSTempMin", m_nSYSTempMin);
        WriteInt(app, "VcoreMax", m_nVcoreMax);
        WriteInt(app, "VcoreMin", m_nVcoreMin);
        WriteInt(app, "VTTMax", m_nVTTMax);
        WriteInt(app, "VTTMin", m_nVTTMin);
        WriteInt(app, "VioMax", m_nVioMax);
        WriteInt(app, "VioMin", m_nVioMin);

        WriteString(app, "TitleFontName", m_strTitleFontName);
        WriteInt(app, "TitleFontSize", m_nTitleFontSize);
        WriteString(app, "NumberFontName", m_strNumberFontName);
        WriteInt(app, "NumberFontSize", m_nNumberFontSize);
        WriteString(app, "GraphFontName", m_strGraphFontName);
        WriteInt(app, "GraphFontSize", m_nGraphFontSize);

        WriteColor(app, "BackColor", m_crBackColor);
        WriteColor(app, "LineColor", m_crLineColor);
        WriteColor(app, "TempColor", m_crTempColor);
        WriteColor(app, "VoltColor", m_crVoltColor);
        WriteColor(app, "NumberColor", m_crNumberColor);

        // The restored rectangle, so a window minimised at exit comes back at its place.
        m_rcWindow = rcNormal;
        WriteInt(app, "Top", m_rcWindow.top);
        WriteInt(app, "Left", m_rcWindow.left);
        WriteInt(app, "Right", m_rcWindow.right);
        WriteInt(app, "Bottom", m_rcWindow.bottom);

        WriteInt(app, "Stick", m_nStick);
        WriteInt(app, "TopMost", m_nTopMost);
    }
    WriteInt(app, "SaveIni", m_nSaveIni);
    WriteInt(app, "ErrorCounter", m_nErrorCounter.load());
}

CString CMonitorSettings::ReadString(CWinApp& app, LPCSTR lpszKey, LPCSTR lpszDefault) const {
    return app.GetProfileString(m_strSection, lpszKey, lpszDefault);
}

int CMonitorSettings::ReadInt(CWinApp& app, LPCSTR lpszKey, int nDefault) const {
    return static_cast<int>(app.GetProfileInt(m_strSection, lpszKey, nDefault));
}

// A failed write loses the value silently, as there is nobody left to tell at exit.
void CMonitorSettings::WriteString(CWinApp& app, LPCSTR lpszKey, LPCSTR lpszValue) const {
    app.WriteProfileString(m_strSection, lpszKey, lpszValue);
}

void CMonitorSettings::WriteInt(CWinApp& app, LPCSTR lpszKey, int nValue) const {
    app.WriteProfileInt(m_strSection, lpszKey, nValue);
}

// "%06x" is a minimum width: a value beyond 24 bits keeps all its digits.
void CMonitorSettings::WriteColor(CWinApp& app, LPCSTR lpszKey, COLORREF crValue) const {
    CString strValue;
    strValue.Format("0x%06x", static_cast<unsigned int>(crValue));
    WriteString(app, lpszKey, strValue);
}
