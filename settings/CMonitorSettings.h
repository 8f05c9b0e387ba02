#pragma once
#include <windows.h>

#include <functional>
#include <vector>

#include "CString.h"
#include "CWinApp.h"
#include "qrvl/Channels.h"

// Every setting of the monitor window, kept as the keys of one profile section:
// loaded once at start, saved once at exit.
class CMonitorSettings {
public:
    CMonitorSettings();
    CMonitorSettings(const CMonitorSettings&) = delete;
    CMonitorSettings& operator=(const CMonitorSettings&) = delete;

    // Reads every key of m_strSection; rcCurrent (the window's screen rectangle now, at
    // nCurrentDpi) gives the defaults of the rectangle keys.
    void LoadSettings(CWinApp& app, const RECT& rcCurrent, int nCurrentDpi = 96);
    // Writes everything when SaveIni is on, SaveIni and ErrorCounter always; rcNormal
    // (the window's restored rectangle) becomes the saved rectangle. Returns the error of
    // the first write that failed, ERROR_SUCCESS when every key was written.
    DWORD SaveSettings(CWinApp& app, const RECT& rcNormal);

    CString m_strSection;
    CString m_strHostName;
    int m_nSocketTimer;
    int m_nMonitorTimer;   // seconds
    int m_nDelayTimer;     // seconds
    // Failed polls of this run, counted on the window's thread as each outcome arrives.
    int m_nErrorCounter;
    CString m_strTitleFontName;
    int m_nTitleFontSize;
    CString m_strNumberFontName;
    int m_nNumberFontSize;
    CString m_strGraphFontName;
    int m_nGraphFontSize;
    COLORREF m_crBackColor;
    COLORREF m_crLineColor;
    COLORREF m_crTempColor;
    COLORREF m_crVoltColor;
    COLORREF m_crNumberColor;
    RECT m_rcWindow;  // screen pixels
    // The DPI the rectangle was saved at; saved only when not 96.
    int m_nWindowDpi;
    int m_nStick;
    int m_nTopMost;
    int m_nSaveIni;

    // A channel's alarm limit as the section holds it: off unless its key holds a number.
    struct AlarmLimit {
        bool bInFile;     // the key is in the section, perhaps empty; only then is it saved
        CString strText;  // as read, and as saved
        bool bSet;        // the text is a number
        double dValue;    // in the channel's unit: degrees or volts
    };
    // The keys of one chart, named after its channel: StringTCPU, CPUTempMax, CPUTempMin,
    // CPUTempAlarmHigh, CPUTempAlarmLow, and so on.
    struct ChartSettings {
        CString strTitle;
        int nMax;  // degrees, or tenths of a volt
        int nMin;
        AlarmLimit alarmHigh;
        AlarmLimit alarmLow;
    };
    ChartSettings m_charts[qrvl::kChartCount];
    // Readings in a row that raise or clear an alarm.
    int m_nAlarmPolls;
    COLORREF m_crAlarmColor;
    // The limit keys whose text is not a number, separated by ", "; empty when none.
    CString m_strUnreadAlarmKeys;

    // A key saved only when the section held it, as it was read.
    struct KeptText {
        bool bInFile;
        CString strText;
    };
    // The log's folder; absent or empty: no log.
    KeptText m_logFolder;
    // Days a log file is kept, 0 for ever: LogDays when it is a whole number, else 30.
    KeptText m_logDays;
    int m_nLogDays;
    // The command started when a channel enters or leaves its alarm; absent: none.
    KeptText m_alarmCommand;
    // Other keys whose text is not understood, which keep their defaults; empty when none.
    CString m_strUnreadKeys;

    // A decimal text in the C locale ("85", "-1.5", " 0.8 "), whatever the user's number
    // format; false for anything else, an empty text included.
    static bool ParseDecimal(const char* pszText, double& dValue);

private:
    struct Key;
    // Every key but the alarms', SaveIni and ErrorCounter, in the order of loading and
    // saving, each bound to its member; rcDefault gives the rectangle's defaults.
    std::vector<Key> Keys(const RECT& rcDefault);
    void LoadWindowDpi(CWinApp& app, int nCurrentDpi);
    void SaveWindowDpi(CWinApp& app, const std::function<void(BOOL)>& check);
    void LoadAlarms(CWinApp& app);
    void LoadLogKeys(CWinApp& app);
    void SaveLogKeys(CWinApp& app, const std::function<void(BOOL)>& check);
    void SaveAlarms(CWinApp& app, const std::function<void(BOOL)>& check);
    // Whether the key is in the section; its text when it is.
    bool ReadPresent(CWinApp& app, LPCSTR lpszKey, CString& strValue) const;

    CString ReadString(CWinApp& app, LPCSTR lpszKey, LPCSTR lpszDefault) const;
    int ReadInt(CWinApp& app, LPCSTR lpszKey, int nDefault) const;

    // Whether AlarmPolls and AlarmColor were in the section: only then are they saved.
    bool m_bAlarmPollsInFile;
    bool m_bAlarmColorInFile;
    bool m_bWindowDpiInFile;
    // A start can fail before the settings are read; its save must not put unset values
    // into the file, so a save before any load writes nothing at all.
    bool m_bLoaded;
};
