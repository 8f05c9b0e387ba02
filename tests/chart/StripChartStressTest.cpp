// Appends of every kind interleaved with paints and rebuilding setters, all on the
// window's thread as the monitor makes them: the layers end up exactly as on a chart that
// saw none of it.
#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "ChartHost.h"
#include "ChartTestColors.h"
#include "ReferenceCanvas.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(StripChartStress, AppendsInterleavedWithPaintsAndRebuilds) {
    ChartHost host;
    ASSERT_TRUE(host.created);
    std::mt19937 random(1);
    std::uniform_real_distribution<double> values(-15.0, 15.0);
    for (int i = 0; i < 5000; ++i) {
        host.chart.AppendValue(i % 211 == 7 ? kNaN : i % 97 == 3 ? (i % 2 ? kInf : -kInf) : values(random));
        if (i % 5 != 0) continue;
        ::RedrawWindow(host.chart.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        switch (i / 5 % 5) {
            case 0: host.chart.SetRange(-10.0, 10.0, 3); break;
            case 1: host.chart.SetTraceColor(kWhite); break;
            case 2: host.chart.SetGridColor(kCyan); break;
            case 3: host.chart.SetTitle("Y units"); break;
            default: host.chart.SetBackColor(kBlack); break;
        }
        wintest::PumpMessages(0);
    }

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
