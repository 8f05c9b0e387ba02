#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "IconWatcher.h"
#include "RunRig.h"
#include "ScriptedPlug.h"
#include "TrayProbe.h"
#include "WinTestSupport.h"

namespace {

using scripted::Answer;
using scripted::Step;

const Step kFailure = {Answer::Failure, {}};
const Step kHang = {Answer::Hang, {}};

Step ReadingStep(const std::vector<std::string>& fields) { return {Answer::Reading, MakeReading(fields)}; }

void Play(const std::vector<Step>& steps) { scripted::SetScript(steps.data(), static_cast<int>(steps.size())); }

// Pumps this thread's messages, which bring the worker's outcomes, until at least count
// calls of Get have begun.
bool WaitForGets(int count, DWORD timeoutMs) {
    return wintest::PumpUntil([count] { return scripted::GetCallCount() >= count; }, timeoutMs);
}

// Waits until the count-th Get has returned, then the given time more.
bool WaitAfterGet(int count, DWORD ms) {
    if (!WaitForGets(count, 10000)) return false;
    while (scripted::GetCallAt(count - 1).endMs < 0) wintest::PumpMessages(2);
    wintest::PumpMessages(ms);
    return true;
}

// Whether the worker's thread has ended, seen through a handle of our own.
class ThreadHandle {
public:
    explicit ThreadHandle(HANDLE hThread) {
        HANDLE h = nullptr;
        DuplicateHandle(GetCurrentProcess(), hThread, GetCurrentProcess(), &h, SYNCHRONIZE, FALSE, 0);
        m_h = CHandle(h);
    }
    bool Ended() const { return m_h.IsValid() && WaitForSingleObject(m_h, 0) == WAIT_OBJECT_0; }

private:
    CHandle m_h;
};

TEST(Sampling, FieldsReachChartsZeroToFive) {
    // One poll (an interval of -1 is 49.7 days): field i goes to chart i, converted as atof
    // converts, but never past the field's 8 bytes; an empty field (a channel without a
    // value) is a gap, not 0; the socket time-out reaches Get as it is.
    {
        const Step reading = ReadingStep({"  3.31", "45.5x", "abc", "12345678", "", "-1.5e+01", "7"});
        Play({reading});
        RunRig owner;
        owner.settings.m_nSocketTimer = 1234;
        owner.settings.m_nMonitorTimer = -1;
        ASSERT_TRUE(owner.Start());
        ASSERT_TRUE(WaitAfterGet(1, 450));
        owner.run.Stop();
        EXPECT_EQ(scripted::GetCallCount(), 1);
        EXPECT_EQ(scripted::GetCallAt(0).timeout, 1234u);
        EXPECT_EQ(std::memcmp(&owner.run.Sampler().GetReading(), &reading.data, sizeof(LMDATA)), 0);
        const double expected[] = {3.31, 45.5, 0.0, 12345678.0, NAN, -15.0};
        for (int i = 0; i < qrvl::kChartCount; ++i) {
            if (std::isnan(expected[i]))
                EXPECT_TRUE(std::isnan(owner.LastValue(i))) << i;
            else
                EXPECT_DOUBLE_EQ(owner.LastValue(i), expected[i]) << i;
        }
        EXPECT_EQ(owner.settings.m_nErrorCounter, 0);
    }

    // Polls in a row: each good reading replaces the values, a failed one leaves them; the
    // poll that the stop request ends while Get waits is not counted.
    {
        Play({ReadingStep({"40.0", "41.0", "42.0", "1.20", "1.05", "3.30"}),
              ReadingStep({"50.5", "51.5", "52.5", "1.25", "1.10", "3.35"}), kFailure, kHang});
        RunRig owner;
        owner.settings.m_nMonitorTimer = 0;
        ASSERT_TRUE(owner.Start());
        ASSERT_TRUE(WaitForGets(4, 5000));
        owner.run.Stop();
        const double expected[] = {50.5, 51.5, 52.5, 1.25, 1.10, 3.35};
        for (int i = 0; i < qrvl::kChartCount; ++i) EXPECT_DOUBLE_EQ(owner.LastValue(i), expected[i]) << i;
        EXPECT_EQ(owner.settings.m_nErrorCounter, 1);
    }
}

TEST(Sampling, EachPollShowsItsOutcomeAndFailuresAreCounted) {
    // A plug-in that always fails: one count and one magenta flash per poll, and the charts
    // keep what they had.
    {
        Play({kFailure});
        RunRig owner;
        owner.settings.m_nMonitorTimer = 1;
        for (int i = 0; i < qrvl::kChartCount; ++i) owner.run.Chart(i).AppendValue(10.0 + i);
        ASSERT_TRUE(owner.StartHeld());
        ASSERT_EQ(trayprobe::Shown(), (std::vector<std::string>{"red"}));
        IconWatcher watcher(scripted::NowMs);
        ASSERT_TRUE(SeesIdle(watcher));
        owner.run.ChartsReady();
        // Stopped inside the third poll's outcome pause.
        ASSERT_TRUE(WaitAfterGet(3, 150));
        owner.run.StopSampling();
        EXPECT_EQ(scripted::GetCallCount(), 3);
        EXPECT_EQ(owner.settings.m_nErrorCounter, 3);
        EXPECT_EQ(watcher.Count("magenta"), 3);
        EXPECT_EQ(watcher.Count("green"), 0);
        owner.run.Stop();
        for (int i = 0; i < qrvl::kChartCount; ++i) EXPECT_DOUBLE_EQ(owner.LastValue(i), 10.0 + i) << i;
    }

    // Mixed outcomes, one second apart: green after a reading, magenta after a failure, each
    // for 300 ms from the end of its Get, red in between.
    {
        const Step reading = ReadingStep({"45.0", "40.0", "33.0", "1.20", "1.05", "3.30"});
        Play({reading, kFailure, kFailure, reading, kHang});
        RunRig owner;
        owner.settings.m_nMonitorTimer = 1;
        ASSERT_TRUE(owner.StartHeld());
        ASSERT_EQ(trayprobe::Shown(), (std::vector<std::string>{"red"}));
        IconWatcher watcher(scripted::NowMs);
        ASSERT_TRUE(SeesIdle(watcher));
        owner.run.ChartsReady();
        ASSERT_TRUE(WaitForGets(5, 10000));
        owner.run.StopSampling();
        EXPECT_EQ(owner.settings.m_nErrorCounter, 2);
        const std::vector<std::string> expected = {"red", "green",   "red", "magenta", "red",
                                                   "magenta", "red", "green", "red"};
        std::vector<IconWatcher::Change> changes = watcher.Changes();
        ASSERT_EQ(watcher.Colours(), expected);
        for (int poll = 0; poll < 4; ++poll) {
            const IconWatcher::Change& shown = changes[1 + 2 * poll];
            const IconWatcher::Change& idle = changes[2 + 2 * poll];
            const double getEnd = scripted::GetCallAt(poll).endMs;
            EXPECT_NEAR(shown.ms - getEnd, 0.0, 100.0) << poll;
            EXPECT_NEAR(idle.ms - getEnd, 300.0, 100.0) << poll;
        }
        // The interval starts after the outcome pause: polls are 1300 ms apart.
        for (int poll = 1; poll < 5; ++poll)
            EXPECT_NEAR(scripted::GetCallAt(poll).startMs - scripted::GetCallAt(poll - 1).startMs, 1300.0, 100.0)
                << poll;
    }
}

TEST(Sampling, StartDelayAndMonitorInterval) {
    // The pauses are the 32-bit products of the seconds, negative ones taken as unsigned.
    EXPECT_EQ(CSamplingLoop::PauseOf(0), 0u);
    EXPECT_EQ(CSamplingLoop::PauseOf(1), 1000u);
    EXPECT_EQ(CSamplingLoop::PauseOf(-1), 4294966296u);
    EXPECT_EQ(CSamplingLoop::PauseOf(INT_MAX), 4294966296u);
    EXPECT_EQ(CSamplingLoop::PauseOf(INT_MIN), 0u);
    EXPECT_EQ(CSamplingLoop::PauseOf(4294967), 4294967000u);

    // DelayTimer 0: the first poll waits until the owner says its charts exist (and its
    // icon is shown), then comes at once; a stop while it waits ends the worker.
    {
        Play({ReadingStep({"47.5", "40.0", "33.0", "1.20", "1.05", "3.30"})});
        RunRig owner;
        owner.settings.m_nDelayTimer = 0;
        owner.settings.m_nMonitorTimer = -1;
        ASSERT_TRUE(owner.StartHeld());
        wintest::PumpMessages(400);
        EXPECT_EQ(scripted::GetCallCount(), 0);
        IconWatcher watcher(scripted::NowMs);
        const double ready = scripted::NowMs();
        owner.run.ChartsReady();
        ASSERT_TRUE(WaitAfterGet(1, 100));
        EXPECT_LT(scripted::GetCallAt(0).startMs - ready, 100.0);
        EXPECT_EQ(watcher.Count("green"), 1);
        owner.run.Stop();
        EXPECT_DOUBLE_EQ(owner.LastValue(0), 47.5);
    }
    {
        Play({kFailure});
        RunRig owner;
        owner.settings.m_nDelayTimer = 0;
        ASSERT_TRUE(owner.StartHeld());
        wintest::PumpMessages(200);
        EXPECT_LT(wintest::MeasureMs([&] { owner.run.StopSampling(); }), 100.0);
        EXPECT_EQ(scripted::GetCallCount(), 0);
    }

    // DelayTimer 1: the first poll one second after the start; -1: none for 49.7 days.
    {
        Play({kHang});
        RunRig owner;
        owner.settings.m_nDelayTimer = 1;
        const double started = scripted::NowMs();
        ASSERT_TRUE(owner.Start());
        ASSERT_TRUE(WaitForGets(1, 3000));
        EXPECT_NEAR(scripted::GetCallAt(0).startMs - started, 1000.0, 100.0);
    }
    {
        Play({kHang});
        RunRig owner;
        owner.settings.m_nDelayTimer = -1;
        ASSERT_TRUE(owner.Start());
        EXPECT_FALSE(WaitForGets(1, 500));
    }

    // MonitorTimer 0: polls follow each other with only the 300 ms outcome pause. The worker
    // keeps the timings it started with when the window's settings change.
    {
        Play({ReadingStep({"45.0"})});
        RunRig owner;
        owner.settings.m_nMonitorTimer = 0;
        ASSERT_TRUE(owner.Start());
        owner.settings.m_nMonitorTimer = -1;
        ASSERT_TRUE(WaitForGets(4, 3000));
        for (int poll = 1; poll < 4; ++poll)
            EXPECT_NEAR(scripted::GetCallAt(poll).startMs - scripted::GetCallAt(poll - 1).startMs, 300.0, 60.0)
                << poll;
    }
}

VOID CALLBACK CloseModalBox(HWND hWnd, UINT, UINT_PTR nTimer, DWORD) {
    KillTimer(hWnd, nTimer);
    PostMessageA(FindWindowA("#32770", "modal"), WM_COMMAND, IDOK, 0);
}

TEST(Sampling, OutcomesReachTheChartsAndTheIconWhileAModalLoopRuns) {
    // The window's thread sits in a message box's own loop, as in a menu or the About box:
    // each reading still flashes the icon and reaches the charts, and none is lost.
    Play({ReadingStep({"40.0"}), ReadingStep({"41.0"}), ReadingStep({"42.0"})});
    RunRig owner;
    ASSERT_TRUE(owner.StartHeld());
    IconWatcher watcher(scripted::NowMs);
    ASSERT_TRUE(SeesIdle(watcher));
    owner.run.ChartsReady();
    // Polls 1300 ms apart: three of them while the box is open.
    SetTimer(owner.wnd.m_hWnd, 1, 3000, CloseModalBox);
    MessageBoxA(owner.wnd.m_hWnd, "modal", "modal", MB_OK);
    const int nGets = scripted::GetCallCount();
    EXPECT_GE(nGets, 2);
    EXPECT_GE(watcher.Count("green"), nGets - 1);
    EXPECT_DOUBLE_EQ(owner.LastValue(0), 39.0 + std::min(nGets, 3));
    owner.run.StopSampling();
    EXPECT_EQ(owner.settings.m_nErrorCounter, 0);
}

TEST(Sampling, StopEndsTheWorkerWithinMilliseconds) {
    // Wherever the worker stands (waiting in Get with a 2000 ms time-out, in a start delay or
    // an interval of 49.7 days, in the outcome pause) it is gone within 100 ms of Stop.
    struct Case {
        const char* where;
        std::vector<Step> script;
        int nDelayTimer;
        int nMonitorTimer;
        int nWaitMs;         // after the start
        int nGets;           // begun by then
        const char* colour;  // shown when stopped
    };
    const Step reading = ReadingStep({"45.0"});
    const Case cases[] = {
        {"in Get", {kHang}, 0, 1, 200, 1, "red"},
        {"in the start delay", {reading}, -1, 1, 200, 0, "red"},
        {"in the outcome pause", {reading}, 0, -1, 150, 1, "green"},
        {"in the interval", {reading}, 0, -1, 600, 1, "red"},
    };
    for (const Case& c : cases) {
        Play(c.script);
        RunRig owner;
        owner.settings.m_nDelayTimer = c.nDelayTimer;
        owner.settings.m_nMonitorTimer = c.nMonitorTimer;
        ASSERT_TRUE(owner.Start()) << c.where;
        ThreadHandle worker(owner.run.Sampler().GetThreadHandle());
        wintest::PumpMessages(c.nWaitMs);
        EXPECT_EQ(scripted::GetCallCount(), c.nGets) << c.where;
        const double ms = wintest::MeasureMs([&] { owner.run.StopSampling(); });
        EXPECT_LT(ms, 100.0) << c.where;
        EXPECT_TRUE(worker.Ended()) << c.where;
        EXPECT_EQ(owner.run.Sampler().GetThreadHandle(), nullptr) << c.where;
        EXPECT_EQ(scripted::CancelCount(), 1) << c.where;
        // A cancelled Get is no failure: nothing counted, no magenta.
        EXPECT_EQ(owner.settings.m_nErrorCounter, 0) << c.where;
        EXPECT_EQ(trayprobe::Shown(), (std::vector<std::string>{c.colour})) << c.where;
        owner.run.Stop();
        EXPECT_EQ(scripted::OutOfOrderCalls(), 0) << c.where;
    }

    // Start while running keeps the one worker; Stop without a worker does nothing; the
    // owner's shutdown puts the plug-in's Destroy after the worker's last Get.
    {
        Play({reading});
        RunRig owner;
        owner.run.StopSampling();
        EXPECT_EQ(scripted::CancelCount(), 0);
        owner.settings.m_nMonitorTimer = 0;
        ASSERT_TRUE(owner.Start());
        const HANDLE hFirst = owner.run.Sampler().GetThreadHandle();
        const DWORD dwId = owner.run.Sampler().GetThreadId();
        EXPECT_NE(dwId, 0u);
        EXPECT_TRUE(owner.run.Sampler().Start(CSamplingLoop::Timings{}));
        EXPECT_EQ(owner.run.Sampler().GetThreadHandle(), hFirst);
        EXPECT_EQ(owner.run.Sampler().GetThreadId(), dwId);
        ASSERT_TRUE(WaitForGets(2, 2000));
        owner.run.Stop();
        const int nCalls = scripted::GetCallCount();
        wintest::PumpMessages(400);
        EXPECT_EQ(scripted::GetCallCount(), nCalls);
        EXPECT_EQ(scripted::OutOfOrderCalls(), 0);
        EXPECT_EQ(owner.run.Sampler().GetThreadId(), 0u);
    }
}

}  // namespace
