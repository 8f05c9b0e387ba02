#include "CAlarmCommand.h"

#include <cstring>
#include <utility>
#include <vector>

#include "ErrorText.h"

namespace {

// The process's environment with the event's variables in place of any it had.
std::string EnvironmentWith(const std::vector<std::pair<std::string, std::string>>& vars) {
    std::string block;
    if (LPCH pEnv = ::GetEnvironmentStringsA()) {
        for (const char* p = pEnv; *p; p += std::strlen(p) + 1) {
            if (_strnicmp(p, "QRVL_", 5) != 0) block.append(p, std::strlen(p) + 1);
        }
        ::FreeEnvironmentStringsA(pEnv);
    }
    for (const auto& var : vars) block += var.first + "=" + var.second + '\0';
    return block + '\0';
}

std::string Replaced(std::string text, const std::vector<std::pair<std::string, std::string>>& vars) {
    for (const auto& var : vars) {
        const std::string token = "%" + var.first + "%";
        for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + var.second.size()))
            text.replace(at, token.size(), var.second);
    }
    return text;
}

}  // namespace

CAlarmCommand::Outcome CAlarmCommand::Run(const Event& event, CString& strReason) {
    CHandle& hRunning = m_hRunning[event.nChannel];
    if (hRunning.IsValid()) {
        if (::WaitForSingleObject(hRunning, 0) == WAIT_TIMEOUT) return STILL_RUNNING;
        hRunning.Release();
    }
    const std::vector<std::pair<std::string, std::string>> vars = {
        {"QRVL_SECTION", m_strSection.GetString()},
        {"QRVL_CHANNEL", qrvl::kChannels[event.nChannel].name},
        {"QRVL_STATE", event.bEnter ? "enter" : "leave"},
        {"QRVL_VALUE", event.strValue.GetString()},
        {"QRVL_LIMIT", event.strLimit.GetString()},
        {"QRVL_TIME", event.strTime.GetString()},
    };
    std::string strCommandLine = Replaced(m_strCommand.GetString(), vars);
    std::string strEnvironment = EnvironmentWith(vars);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, &strCommandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, &strEnvironment[0],
                          nullptr, &si, &pi)) {
        strReason = ErrorText(::GetLastError());
        return FAILED;
    }
    CHandle hThread(pi.hThread);
    hRunning = CHandle(pi.hProcess);
    return STARTED;
}
