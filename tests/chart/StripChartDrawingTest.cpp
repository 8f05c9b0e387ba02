// The worked example of a chart left at its defaults, 200 x 70 client pixels: what the
// window shows, read back from the display.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "ChartHost.h"
#include "ChartTestColors.h"
#include "ReferenceCanvas.h"

namespace {

TEST(StripChartDrawing, WorkedExampleFrameGridAndOutside) {
    ChartHost host;
    ASSERT_TRUE(host.created);
    RECT rcClient;
    ::GetClientRect(host.chart.m_hWnd, &rcClient);
    ASSERT_EQ(rcClient.right, 200);
    ASSERT_EQ(rcClient.bottom, 70);

    // Geometry after the rebuild that creation ends with.
    RECT rcPlot = host.chart.PlotRect();
    EXPECT_EQ(rcPlot.left, 40);
    EXPECT_EQ(rcPlot.top, 0);
    EXPECT_EQ(rcPlot.right, 196);
    EXPECT_EQ(rcPlot.bottom, 66);
    EXPECT_EQ(host.chart.PlotWidth(), 156);
    EXPECT_EQ(host.chart.Scale(), 3.3);

    wintest::Image shot = host.Shot();
    // Frame: rows 0 and 67 from column 40 to 197, columns 40 and 197 from row 0 to 67.
    EXPECT_EQ(shot.ColumnsOf(0, kCyan), Range(40, 197));
    EXPECT_EQ(shot.ColumnsOf(67, kCyan), Range(40, 197));
    EXPECT_EQ(shot.RowsOf(40, kCyan), Range(0, 67));
    EXPECT_EQ(shot.RowsOf(197, kCyan), Range(0, 67));

    // Dotted grid on rows 17, 33 and 49, a dot every 4 columns from 40 to 192; no other
    // row inside the frame has any.
    std::vector<int> dotted = Range(40, 192, 4);
    dotted.push_back(197);
    for (int y = 1; y <= 66; ++y) {
        bool bGridRow = y == 17 || y == 33 || y == 49;
        EXPECT_EQ(shot.ColumnsOf(y, kCyan), bGridRow ? dotted : std::vector<int>({40, 197})) << "row " << y;
    }

    // The rest of the trace area, the two outer columns and the two outer rows are background.
    EXPECT_EQ(shot.Count(kBlack, {41, 1, 197, 67}), 156 * 66 - 3 * 38);
    EXPECT_EQ(shot.Count(kBlack, {198, 0, 200, 70}), 2 * 70);
    EXPECT_EQ(shot.Count(kBlack, {0, 68, 200, 70}), 2 * 200);
    // Nothing is plotted yet.
    EXPECT_EQ(host.chart.PlotLayer().Count(kBlack), 200 * 70);
}

TEST(StripChartDrawing, ScaleLabelsAndTitleInTheMargin) {
    ChartHost host;
    wintest::Image shot = host.Shot();

    // The labels end at column 36 (right-aligned there, the max on row 0, the min with its
    // baseline on row 66); the title reads bottom to top, centred on (20, 33).
    ReferenceCanvas ref(200, 70, kBlack);
    ref.Text(kGothic, 12, 0, TA_RIGHT | TA_TOP, 36, 0, "10.00", kWhite, kBlack);
    ref.Text(kGothic, 12, 0, TA_RIGHT | TA_BASELINE, 36, 66, "-10.00", kWhite, kBlack);
    ref.Text(kGothic, 12, 900, TA_CENTER | TA_BASELINE, 20, 33, "Y units", kWhite, kBlack);
    EXPECT_EQ(DiffIn(shot, ref.Image(), {0, 0, 40, 70}), "");

    // The same without alignment modes: each label drawn from the left at 36 minus its
    // width, away from the rows the title takes.
    SIZE maxLabel = ref.TextExtent(kGothic, 12, "10.00");
    SIZE minLabel = ref.TextExtent(kGothic, 12, "-10.00");
    SIZE title = ref.TextExtent(kGothic, 12, "Y units");
    ReferenceCanvas left(200, 70, kBlack);
    left.Text(kGothic, 12, 0, TA_LEFT | TA_TOP, 36 - maxLabel.cx, 0, "10.00", kWhite, kBlack);
    left.Text(kGothic, 12, 0, TA_LEFT | TA_BASELINE, 36 - minLabel.cx, 66, "-10.00", kWhite, kBlack);
    LONG titleTop = 33 - title.cx / 2 - 1;
    LONG titleBottom = 33 + title.cx / 2 + 1;
    ASSERT_GT(titleTop, 4);
    ASSERT_LT(titleBottom, 62);
    EXPECT_EQ(DiffIn(shot, left.Image(), {0, 0, 40, titleTop}), "");
    EXPECT_EQ(DiffIn(shot, left.Image(), {0, titleBottom, 40, 70}), "");

    // Text is there, ending just left of column 36; columns 36 to 39 stay background.
    RECT box = LitBox(shot, {0, 0, 40, titleTop}, kBlack);
    EXPECT_GE(box.right, 33);
    EXPECT_LE(box.right, 36);
    EXPECT_GT(shot.Count(kWhite, {0, titleTop, 40, titleBottom}), 0);
    EXPECT_EQ(shot.Count(kBlack, {36, 0, 40, 70}), 4 * 70);
}

TEST(StripChartDrawing, WorkedExampleValuesSegmentsAndClearing) {
    ChartHost host;
    struct Case {
        double value;
        int row;
    } cases[] = {{0.0, 33}, {5.0, 17}, {9.9, 1}, {10.0, 0}, {-10.0, 66}, {-10.2, 66}, {-10.4, 67}, {10.5, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        // A rebuild clears the trace and keeps the last value: the next segment starts at 0.0.
        host.chart.AppendValue(0.0);
        host.chart.SetRange(-10.0, 10.0, 3);
        host.chart.AppendValue(c.value);
        wintest::Image shot = host.Shot();
        wintest::Image plot = host.chart.PlotLayer();

        // The segment from (193, 33) to (195, row) as the platform draws it, end point left
        // out, on the trace rows; nothing else is plotted.
        ReferenceCanvas ref(200, 70, kBlack);
        ref.Line(193, 33, 195, c.row, kWhite);
        EXPECT_EQ(DiffIn(shot, ref.Image(), {193, 1, 196, 67}), "");
        EXPECT_EQ(plot.Count(kWhite), ref.Image().Count(kWhite, {193, 1, 196, 67}));
        if (c.row <= 0) {
            EXPECT_EQ(LitBox(plot, {193, 0, 196, 70}, kBlack).top, 1) << "shows only up to row 1";
        }

        // The top and bottom clearing leave the frame rows as they are and the outer rows background.
        for (int x = 193; x <= 195; ++x) {
            EXPECT_EQ(shot.At(x, 0), kCyan) << x;
            EXPECT_EQ(shot.At(x, 67), kCyan) << x;
            EXPECT_EQ(shot.At(x, 68), kBlack) << x;
            EXPECT_EQ(shot.At(x, 69), kBlack) << x;
        }
        EXPECT_EQ(plot.Count(kBlack, {193, 0, 196, 1}), 3);
        EXPECT_EQ(plot.Count(kBlack, {193, 67, 196, 70}), 9);

        // The same value again: a flat segment on the value's row in columns 193 and 194;
        // its end point in column 195 stays unlit.
        host.chart.AppendValue(c.value);
        shot = host.Shot();
        std::vector<int> expected;
        if (c.row >= 1 && c.row <= 66) expected.push_back(c.row);
        EXPECT_EQ(shot.RowsOf(194, kWhite), expected);
        EXPECT_EQ(shot.RowsOf(195, kWhite), std::vector<int>());
    }
}

TEST(StripChartDrawing, TraceMovesTwoPixelsPerValue) {
    ChartHost host;
    wintest::Image before = host.chart.PlotLayer();
    for (int i = 0; i < 100; ++i) {
        double value = 12.0 * std::sin(i * 0.7) + (i % 17 == 5 ? 20.0 : 0.0);
        host.chart.AppendValue(value);
        wintest::Image after = host.chart.PlotLayer();
        // Everything older moved left by two columns on the trace rows...
        int nMoved = 0;
        for (int y = 1; y <= 66; ++y)
            for (int x = 40; x <= 192; ++x)
                if (after.At(x, y) != before.At(x + 2, y)) ++nMoved;
        EXPECT_EQ(nMoved, 0) << "value " << i;
        // ...the new segment is in columns 193 to 195, and nothing is left outside the trace area.
        EXPECT_EQ(after.Count(kBlack, {0, 0, 40, 70}), 40 * 70) << "value " << i;
        EXPECT_EQ(after.Count(kBlack, {196, 0, 200, 70}), 4 * 70) << "value " << i;
        EXPECT_EQ(after.Count(kBlack, {0, 0, 200, 1}), 200) << "value " << i;
        EXPECT_EQ(after.Count(kBlack, {0, 67, 200, 70}), 3 * 200) << "value " << i;
        before = after;
    }
    // The trace has reached the plot's left edge: about 78 values fill the trace area.
    EXPECT_GT(before.Count(kWhite, {40, 1, 46, 67}), 0);

    // The window shows the plot layer ORed over the background layer.
    wintest::Image shot = host.Shot();
    wintest::Image background = host.chart.BackgroundLayer();
    int nWrong = 0;
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 200; ++x)
            if (shot.At(x, y) != (background.At(x, y) | before.At(x, y))) ++nWrong;
    EXPECT_EQ(nWrong, 0);
    // Far values included, the two outer columns and rows stay background.
    EXPECT_EQ(shot.Count(kBlack, {198, 0, 200, 70}), 2 * 70);
    EXPECT_EQ(shot.Count(kBlack, {0, 68, 200, 70}), 2 * 200);
}

TEST(StripChartDrawing, ReadoutCentredOverThePlotNearItsTop) {
    ChartHost host;
    host.chart.AppendValue(5.0);
    wintest::Image shot = host.Shot();
    ReferenceCanvas ref(200, 70, kBlack);
    ref.Text(kGothic, 12, 0, TA_CENTER | TA_TOP, 118, 3, "  5.000  ", kWhite, kBlack);
    EXPECT_EQ(DiffIn(shot, ref.Image(), {41, 1, 193, 17}), "");
    RECT box = LitBox(shot, {41, 1, 193, 17}, kBlack);
    EXPECT_GE(box.top, 3);
    EXPECT_NEAR((box.left + box.right) / 2.0, 118.0, 3.0);

    // A longer readout after a shorter one covers it; it lives in the background layer.
    host.chart.AppendValue(-7.25);
    shot = host.Shot();
    ref.Text(kGothic, 12, 0, TA_CENTER | TA_TOP, 118, 3, "  -7.250  ", kWhite, kBlack);
    EXPECT_EQ(DiffIn(shot, ref.Image(), {41, 1, 193, 17}), "");
    EXPECT_EQ(DiffIn(host.chart.BackgroundLayer(), ref.Image(), {41, 1, 193, 17}), "");
    EXPECT_EQ(host.chart.PlotLayer().Count(kBlack, {41, 1, 193, 17}), 152 * 16);
}

}  // namespace
