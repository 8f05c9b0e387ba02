#pragma once
#include <windows.h>

#include <string>

#include "CHandle.h"
#include "CString.h"
#include "qrvl/Channels.h"

// The profile's AlarmCommand, started when a channel enters or leaves its alarm: without a
// console window, without waiting for it, at most one running per channel. The event is in
// its environment (QRVL_SECTION, QRVL_CHANNEL, QRVL_STATE, QRVL_VALUE, QRVL_LIMIT,
// QRVL_TIME), and %QRVL_...% in the command line is replaced by the same values.
class CAlarmCommand {
public:
    struct Event {
        int nChannel;
        bool bEnter;
        CString strValue;  // the reading's text, empty without a value
        CString strLimit;  // the limit crossed, as the profile has it
        CString strTime;   // as the log writes it
    };
    enum Outcome { STARTED, STILL_RUNNING, FAILED };

    CAlarmCommand() = default;
    void SetCommand(const CString& strCommand, const CString& strSection) {
        m_strCommand = strCommand;
        m_strSection = strSection;
    }
    bool IsSet() const { return !m_strCommand.IsEmpty(); }
    // strReason says why, for FAILED.
    Outcome Run(const Event& event, CString& strReason);

private:
    CString m_strCommand;
    CString m_strSection;
    CHandle m_hRunning[qrvl::kChartCount];
};
