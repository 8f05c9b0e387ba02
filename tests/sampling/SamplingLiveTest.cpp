// The worker with the real sensor library against qrvld on loopback (QRVL_PORT), which the
// program stops and starts again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "FakeSensorHost.h"
#include "IconWatcher.h"
#include "RunRig.h"
#include "TrayProbe.h"
#include "WinTestSupport.h"

namespace {

std::string DaemonHost() {
    const char* port = std::getenv("QRVL_PORT");
    return std::string("127.0.0.1:") + (port ? port : "0");
}

double ClockMs() {
    static const DWORD s_start = GetTickCount();
    return static_cast<double>(GetTickCount() - s_start);
}

TEST(SamplingLive, ReadingsFailuresWhileTheDaemonIsDownAndReadingsAgain) {
    RunRig owner(DaemonHost());
    owner.settings.m_nSocketTimer = 500;
    owner.settings.m_nMonitorTimer = 1;
    owner.settings.m_nDelayTimer = 0;
    ASSERT_TRUE(owner.StartHeld()) << owner.run.Plugin().LastFailure();
    ASSERT_EQ(trayprobe::Shown(), (std::vector<std::string>{"red"}));
    IconWatcher watcher(ClockMs);
    ASSERT_TRUE(SeesIdle(watcher));
    owner.run.ChartsReady();

    // The daemon answers: green flashes, nothing counted.
    ASSERT_TRUE(wintest::PumpUntil([&] { return watcher.Count("green") >= 2; }, 20000)) << owner.run.Plugin().LastFailure();
    EXPECT_EQ(owner.settings.m_nErrorCounter, 0);
    wintest::StopDaemon();

    // The daemon is gone: every poll fails, is counted and flashes magenta.
    ASSERT_TRUE(wintest::PumpUntil([&] { return owner.settings.m_nErrorCounter >= 2 && watcher.Count("magenta") >= 2; }, 20000));
    const int nGreenWhileDown = watcher.Count("green");
    wintest::StartDaemon();

    // Started again: readings come back and the count stops growing.
    ASSERT_TRUE(wintest::PumpUntil([&] { return watcher.Count("green") >= nGreenWhileDown + 2; }, 20000));
    const int nErrors = owner.settings.m_nErrorCounter;
    ASSERT_TRUE(wintest::PumpUntil([&] { return watcher.Count("green") >= nGreenWhileDown + 3; }, 20000));
    EXPECT_EQ(owner.settings.m_nErrorCounter, nErrors);

    // The worker stops at once; the last values are plausible sensor values.
    const double ms = wintest::MeasureMs([&] { owner.run.StopSampling(); });
    EXPECT_LT(ms, 100.0);
    owner.run.Stop();
    for (int i = 0; i < qrvl::kChartCount; ++i) {
        const double value = owner.LastValue(i);
        // Temperatures in degrees, then voltages.
        EXPECT_GT(value, i < 3 ? 10.0 : 0.5) << i;
        EXPECT_LT(value, i < 3 ? 100.0 : 5.0) << i;
    }
}

TEST(SamplingLive, StopEndsAGetThatWaitsForASilentHost) {
    wintest::FakeSensorHost host({});
    host.SetSilent(true);
    RunRig owner(host.HostText());
    owner.settings.m_nSocketTimer = 2000;
    owner.settings.m_nDelayTimer = 0;
    ASSERT_TRUE(owner.Start()) << owner.run.Plugin().LastFailure();
    ASSERT_TRUE(wintest::PumpUntil([&] { return host.Requests() == 1; }, 2000));
    wintest::PumpMessages(200);

    const double ms = wintest::MeasureMs([&] { owner.run.StopSampling(); });
    EXPECT_LT(ms, 100.0);
    // The cancelled poll is neither counted nor shown.
    EXPECT_EQ(owner.settings.m_nErrorCounter, 0);
    EXPECT_EQ(trayprobe::Shown(), (std::vector<std::string>{"red"}));
    owner.run.Stop();
}

}  // namespace
