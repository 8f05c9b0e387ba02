#include "ChannelAlarm.h"

#include <cmath>

ChannelAlarm::ChannelAlarm()
    : m_bHigh(false),
      m_bLow(false),
      m_dHigh(0),
      m_dLow(0),
      m_nPolls(1),
      m_bInAlarm(false),
      m_nAgainst(0),
      m_cause(INSIDE) {}

void ChannelAlarm::Configure(bool bHigh, double dHigh, bool bLow, double dLow, int nPolls) {
    m_bHigh = bHigh;
    m_dHigh = dHigh;
    m_bLow = bLow;
    m_dLow = dLow;
    m_nPolls = nPolls < 1 ? 1 : nPolls;
    m_bInAlarm = false;
    m_nAgainst = 0;
    m_cause = INSIDE;
}

ChannelAlarm::Verdict ChannelAlarm::Judge(double dValue) const {
    if (std::isnan(dValue)) return NO_VALUE;
    if (m_bHigh && dValue > m_dHigh) return ABOVE;
    if (m_bLow && dValue < m_dLow) return BELOW;
    return INSIDE;
}

bool ChannelAlarm::Feed(double dValue) {
    if (!HasLimit()) return false;
    const Verdict verdict = Judge(dValue);
    const bool bOutside = verdict != INSIDE;
    if (bOutside == m_bInAlarm) {
        m_nAgainst = 0;
        return false;
    }
    if (++m_nAgainst < m_nPolls) return false;
    m_bInAlarm = bOutside;
    m_nAgainst = 0;
    m_cause = verdict;
    return true;
}
