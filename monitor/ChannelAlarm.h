#pragma once
// One channel's alarm: a reading beyond a limit, or none at all, must come `polls` times in a
// row before the alarm is raised, and a reading back inside as often before it is cleared,
// so that one glitch never raises it and a value wavering about a limit never flaps it.
class ChannelAlarm {
public:
    // What a reading says about the channel.
    enum Verdict { INSIDE, ABOVE, BELOW, NO_VALUE };

    // No limit: Feed never raises the alarm.
    ChannelAlarm();

    // Limits in the channel's unit; either may be absent. A reading equal to a limit is
    // inside. Fewer than one poll counts as one. Starts out of alarm.
    void Configure(bool bHigh, double dHigh, bool bLow, double dLow, int nPolls);
    bool HasLimit() const { return m_bHigh || m_bLow; }

    // Where a value (NaN: the channel has no value) stands against the limits.
    Verdict Judge(double dValue) const;
    // One good poll's value; true when it changed the alarm's state. A failed poll is not fed.
    bool Feed(double dValue);
    bool InAlarm() const { return m_bInAlarm; }
    // The verdict of the reading that changed the state last.
    Verdict Cause() const { return m_cause; }

private:
    bool m_bHigh;
    bool m_bLow;
    double m_dHigh;
    double m_dLow;
    int m_nPolls;
    bool m_bInAlarm;
    // Readings in a row that disagree with the state.
    int m_nAgainst;
    Verdict m_cause;
};
