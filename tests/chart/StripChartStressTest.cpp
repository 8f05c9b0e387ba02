// Two sampling threads append while the window's thread paints and rebuilds: no crash, no
// deadlock, and the layers end up exactly as on a chart that saw none of it.
#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <random>
#include <thread>

#include "ChartHost.h"
#include "ChartTestColors.h"
#include "ReferenceCanvas.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void PumpPending() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

TEST(StripChartStress, AppendsFromTwoThreadsWhileTheWindowPaintsAndRebuilds) {
    ChartHost host;
    ASSERT_TRUE(host.created);
    std::atomic<bool> bStop{false};
    std::atomic<int> appended[2] = {0, 0};
    auto feed = [&](int nThread) {
        std::mt19937 random(static_cast<unsigned>(nThread + 1));
        std::uniform_real_distribution<double> values(-15.0, 15.0);
        for (int i = 0; !bStop.load(); ++i) {
            double value = i % 211 == 7 ? kNaN : i % 97 == 3 ? (i % 2 ? kInf : -kInf) : values(random);
            host.chart.AppendValue(value);
            appended[nThread].fetch_add(1);
            // Give the window's thread a chance at the lock: a mutex hands it to no one in turn.
            std::this_thread::yield();
        }
    };
    std::thread first(feed, 0);
    std::thread second(feed, 1);

    // Paints and rebuilding setters on the window's thread, with its messages pumped, until
    // both threads have had their share however busy the machine is.
    const int kRounds = 1000;
    auto bothFed = [&] { return appended[0].load() > 1000 && appended[1].load() > 1000; };
    for (int i = 0; i < kRounds || (!bothFed() && i < 50 * kRounds); ++i) {
        ::RedrawWindow(host.chart.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        switch (i % 5) {
            case 0: host.chart.SetRange(-10.0, 10.0, 3); break;
            case 1: host.chart.SetTraceColor(kWhite); break;
            case 2: host.chart.SetGridColor(kCyan); break;
            case 3: host.chart.SetTitle("Y units"); break;
            default: host.chart.SetBackColor(kBlack); break;
        }
        PumpPending();
    }
    bStop.store(true);
    first.join();
    second.join();
    EXPECT_GT(appended[0].load(), 1000);
    EXPECT_GT(appended[1].load(), 1000);

    // A NaN starts the trace afresh whatever came before it; after a rebuild the same
    // values give the same picture as on a new chart.
    const double finalValues[] = {kNaN, 0.0, 5.0, -5.0, 9.9, -10.4, 10.5, 3.0, 3.0, -10.0, kInf, 2.5};
    host.chart.SetRange(-10.0, 10.0, 3);
    for (double v : finalValues) host.chart.AppendValue(v);
    wintest::Image shot = host.Shot();
    wintest::Image background = host.chart.BackgroundLayer();
    wintest::Image plot = host.chart.PlotLayer();

    ChartHost fresh;
    for (double v : finalValues) fresh.chart.AppendValue(v);
    const RECT all = {0, 0, 200, 70};
    EXPECT_EQ(DiffIn(shot, fresh.Shot(), all), "");
    EXPECT_EQ(DiffIn(background, fresh.chart.BackgroundLayer(), all), "");
    EXPECT_EQ(DiffIn(plot, fresh.chart.PlotLayer(), all), "");
    EXPECT_GT(plot.Count(kWhite), 0);
}

}  // namespace
