// The per-channel alarm without a window: randomized sequences against the rule that a state
// changes only after AlarmPolls readings in a row that say so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "ChannelAlarm.h"

TEST(ChannelAlarm, ChangesStateExactlyAfterAlarmPollsAgreeingReadings) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Inside, on each limit (inside), just beyond each, a glitch's value, no value.
    const double values[] = {50.0, 80.0, 20.0, 80.1, 19.9, 3.9e6, -3.9e6, nan};
    std::mt19937 rng(20240501);
    for (int run = 0; run < 3000; ++run) {
        const int polls = static_cast<int>(rng() % 7) - 1;  // 0 and -1 count as 1
        const bool bHigh = rng() % 2 != 0, bLow = !bHigh || rng() % 2 != 0;
        ChannelAlarm alarm;
        alarm.Configure(bHigh, 80.0, bLow, 20.0, polls);
        bool state = false;
        int trailing = 0;  // readings in a row with the last verdict
        bool lastOut = false;
        for (int step = 0; step < 80; ++step) {
            // Mostly one kind at a time, so that runs of every length occur.
            const double v = values[rng() % 4 == 0 ? rng() % 8 : (run + step / 5) % 8];
            const bool out = std::isnan(v) || (bHigh && v > 80.0) || (bLow && v < 20.0);
            trailing = (step > 0 && out == lastOut) ? trailing + 1 : 1;
            lastOut = out;
            const bool expected = (out != state && trailing >= std::max(polls, 1)) ? out : state;
            ASSERT_EQ(alarm.Feed(v), expected != state) << "run " << run << " step " << step;
            ASSERT_EQ(alarm.InAlarm(), expected);
            if (expected != state) {
                EXPECT_EQ(alarm.Cause(), alarm.Judge(v));
            }
            state = expected;
        }
    }

    // Without a limit nothing alarms, not even a channel without a value.
    ChannelAlarm none;
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(none.Feed(nan));
    EXPECT_FALSE(none.InAlarm());
}
