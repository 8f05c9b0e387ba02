// Configuration, the life of a chart, values without a number and ranges without a width,
// seen in the window's pixels and in the layers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "AfxRegisterWndClass.h"
#include "CResourceException.h"
#include "ChartHost.h"
#include "ChartTestColors.h"
#include "GdiCounters.h"
#include "ReferenceCanvas.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr COLORREF kRed = RGB(255, 0, 0);
const RECT kAll = {0, 0, 200, 70};
const RECT kReadoutArea = {41, 1, 193, 17};

// The margin of a default-sized chart with the given label texts, fonts and colours.
wintest::Image Margin(const char* pszMax, const char* pszMin, const char* pszTitle, int nLeft, int nScaleHeight,
                      int nTitleHeight, COLORREF crText, COLORREF crBack) {
    ReferenceCanvas ref(200, 70, crBack);
    ref.Text(kGothic, nScaleHeight, 0, TA_RIGHT | TA_TOP, nLeft - 4, 0, pszMax, crText, crBack);
    ref.Text(kGothic, nScaleHeight, 0, TA_RIGHT | TA_BASELINE, nLeft - 4, 66, pszMin, crText, crBack);
    ref.Text(kGothic, nTitleHeight, 900, TA_CENTER | TA_BASELINE, nLeft / 2, 33, pszTitle, crText, crBack);
    return ref.Image();
}

TEST(StripChartBehaviour, StoringSettersWaitForTheNextRebuildOrValue) {
    ChartHost host;
    host.chart.AppendValue(2.0);
    wintest::Image initial = host.Shot();

    // Fonts and text colour alone change nothing on screen, even when repainted.
    host.chart.SetValueFont(kGothic, 20);
    host.chart.SetTitleFont(kGothic, 16);
    host.chart.SetScaleFont(kGothic, 16);
    host.chart.SetFontColor(kRed);
    ::InvalidateRect(host.chart.m_hWnd, nullptr, TRUE);
    EXPECT_EQ(DiffIn(host.Shot(), initial, kAll), "");

    // The next value draws the readout in the new font and colour; labels and title stay.
    host.chart.AppendValue(2.5);
    wintest::Image shot = host.Shot();
    ReferenceCanvas ref(200, 70, kBlack);
    ref.Text(kGothic, 12, 0, TA_CENTER | TA_TOP, 118, 3, "  2.000  ", kWhite, kBlack);
    ref.Text(kGothic, 20, 0, TA_CENTER | TA_TOP, 118, 3, "  2.500  ", kRed, kBlack);
    EXPECT_EQ(DiffIn(shot, ref.Image(), kReadoutArea), "");
    EXPECT_GT(shot.Count(kRed, kReadoutArea), 0);
    EXPECT_EQ(DiffIn(shot, initial, {0, 0, 40, 70}), "");

    // A rebuilding setter shows the new label and title fonts and colour; the readout is
    // gone until the next value.
    host.chart.SetGridColor(kCyan);
    shot = host.Shot();
    EXPECT_EQ(DiffIn(shot, Margin("10.00", "-10.00", "Y units", 40, 16, 16, kRed, kBlack), {0, 0, 40, 70}), "");
    EXPECT_EQ(shot.Count(kRed, {40, 0, 200, 70}), 0);
    EXPECT_EQ(shot.Count(kWhite, {40, 0, 200, 70}), 0);
}

TEST(StripChartBehaviour, RebuildClearsTheTraceAndTheNextSegmentStartsAtTheLastValue) {
    ChartHost host;
    for (double v : {0.0, 5.0, 5.0}) host.chart.AppendValue(v);
    EXPECT_GT(host.Shot().Count(kWhite, {41, 1, 197, 67}), 0);

    host.chart.SetTitle("Y units");
    wintest::Image shot = host.Shot();
    EXPECT_EQ(shot.Count(kWhite, {41, 1, 197, 67}), 0) << "trace and readout are gone";
    EXPECT_EQ(host.chart.PlotLayer().Count(kBlack), 200 * 70);
    EXPECT_EQ(host.chart.Previous(), 5.0);

    // From 5.0 (row 17) to -5.0 (row 50).
    host.chart.AppendValue(-5.0);
    ReferenceCanvas ref(200, 70, kBlack);
    ref.Line(193, 17, 195, 50, kWhite);
    EXPECT_EQ(DiffIn(host.Shot(), ref.Image(), {193, 1, 196, 67}), "");
    EXPECT_EQ(host.chart.PlotLayer().Count(kWhite, {0, 0, 193, 70}), 0);
}

TEST(StripChartBehaviour, LayersAreOredOverANonBlackBackground) {
    const COLORREF crBack = RGB(0x20, 0x40, 0x80);
    const COLORREF crGrid = RGB(0x00, 0xFF, 0x00);
    const COLORREF crTrace = RGB(0xFF, 0x00, 0x00);
    const COLORREF crText = RGB(0x00, 0x00, 0xFF);
    ChartHost host;
    host.chart.SetFontColor(crText);
    host.chart.SetBackColor(crBack);
    host.chart.SetGridColor(crGrid);
    host.chart.SetTraceColor(crTrace);
    host.chart.AppendValue(0.0);
    host.chart.AppendValue(0.0);
    wintest::Image shot = host.Shot();
    wintest::Image background = host.chart.BackgroundLayer();
    wintest::Image plot = host.chart.PlotLayer();

    // Each layer holds its pure colours on the background colour...
    EXPECT_EQ(plot.At(193, 33), crTrace);
    EXPECT_EQ(plot.At(100, 60), crBack);
    EXPECT_EQ(background.At(40, 10), crGrid);
    EXPECT_EQ(background.At(100, 60), crBack);
    // ...and the window shows them ORed: everything tinted with the background's bits.
    EXPECT_EQ(shot.At(100, 60), crBack);
    EXPECT_EQ(shot.At(199, 10), crBack);
    EXPECT_EQ(shot.At(10, 69), crBack);
    EXPECT_EQ(shot.At(40, 10), crGrid | crBack);
    EXPECT_EQ(shot.At(44, 17), crGrid | crBack);
    EXPECT_EQ(shot.At(193, 33), crTrace | crBack);
    EXPECT_EQ(shot.At(194, 33), crTrace | crBack);
    int nWrong = 0;
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 200; ++x)
            if (shot.At(x, y) != (background.At(x, y) | plot.At(x, y))) ++nWrong;
    EXPECT_EQ(nWrong, 0);

    // Text too: labels, title and readout in the text colour ORed with the background.
    wintest::Image margin = Margin("10.00", "-10.00", "Y units", 40, 12, 12, crText, crBack);
    ReferenceCanvas readout(200, 70, crBack);
    readout.Text(kGothic, 12, 0, TA_CENTER | TA_TOP, 118, 3, "  0.000  ", crText, crBack);
    wintest::Image readoutImage = readout.Image();
    for (COLORREF& c : margin.pixels) c |= crBack;
    for (COLORREF& c : readoutImage.pixels) c |= crBack;
    EXPECT_EQ(DiffIn(shot, margin, {0, 0, 40, 70}), "");
    EXPECT_EQ(DiffIn(shot, readoutImage, kReadoutArea), "");
    EXPECT_GT(shot.Count(crText | crBack, {0, 0, 40, 70}), 0);
}

TEST(StripChartBehaviour, ValuesBeforeCreateAreStoredAndDrawNothing) {
    long nGdiBefore = GdiCounters::Outstanding();
    ChartProbe chart;
    // The constructor makes the trace pen and the background brush, nothing else.
    EXPECT_EQ(GdiCounters::Outstanding(), nGdiBefore + 2);

    CWnd frame;
    frame.CreateEx(0, AfxRegisterWndClass(0, nullptr, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH))), "frame",
                   WS_POPUP | WS_VISIBLE, 0, 0, 240, 110, nullptr, nullptr);
    ::UpdateWindow(frame.m_hWnd);

    // The first append returns 0.0, every later one the value before it.
    EXPECT_EQ(chart.AppendValue(3.0), 0.0);
    EXPECT_EQ(chart.AppendValue(4.0), 3.0);
    chart.SetTitle("stored");
    chart.SetRange(-10.0, 10.0, 3);
    // No layers, no drawing, no invalidation anywhere; the previous value stays 0.0.
    EXPECT_FALSE(chart.HasLayers());
    EXPECT_EQ(chart.Previous(), 0.0);
    EXPECT_EQ(GdiCounters::Outstanding(), nGdiBefore + 2);
    RECT rcUpdate;
    EXPECT_FALSE(::GetUpdateRect(frame.m_hWnd, &rcUpdate, FALSE));

    // A failed Create (a child without a parent) leaves the chart as it was.
    RECT rc = {0, 0, 206, 76};
    ::AdjustWindowRectEx(&rc, WS_CHILD | WS_VISIBLE, FALSE, WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
    ::OffsetRect(&rc, 10 - rc.left, 10 - rc.top);
    EXPECT_FALSE(chart.Create(WS_CHILD | WS_VISIBLE, rc, nullptr, 0));
    EXPECT_EQ(chart.m_hWnd, nullptr);
    EXPECT_EQ(chart.AppendValue(4.5), 4.0);
    EXPECT_FALSE(chart.HasLayers());
    EXPECT_EQ(GdiCounters::Outstanding(), nGdiBefore + 2);
    EXPECT_FALSE(::GetUpdateRect(frame.m_hWnd, &rcUpdate, FALSE));

    // Created at last, the chart's first segment starts at the kept 0.0 (row 33).
    rc = {0, 0, 200, 70};
    ::AdjustWindowRectEx(&rc, WS_CHILD | WS_VISIBLE, FALSE, WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
    ::OffsetRect(&rc, 10 - rc.left, 10 - rc.top);
    ASSERT_TRUE(chart.Create(WS_CHILD | WS_VISIBLE, rc, &frame, 0));
    EXPECT_TRUE(chart.HasLayers());
    EXPECT_EQ(chart.AppendValue(5.0), 4.5);
    ::UpdateWindow(chart.m_hWnd);
    ReferenceCanvas ref(200, 70, kBlack);
    ref.Line(193, 33, 195, 17, kWhite);
    EXPECT_EQ(DiffIn(wintest::CaptureClient(chart.m_hWnd), ref.Image(), {193, 1, 196, 67}), "");
    // The title stored before creation is drawn by the rebuild of Create.
    EXPECT_EQ(DiffIn(wintest::CaptureClient(chart.m_hWnd),
                     Margin("10.00", "-10.00", "stored", 40, 12, 12, kWhite, kBlack), {0, 0, 40, 70}),
              "");
    frame.DestroyWindow();
}

TEST(StripChartBehaviour, EqualBoundsKeepTheChartDrawable) {
    ChartHost host;
    host.chart.SetRange(5.0, 5.0, 1);
    EXPECT_EQ(host.chart.Range(), 0.0);
    EXPECT_EQ(host.chart.Scale(), 0.0);
    wintest::Image shot = host.Shot();
    // Both labels read "5"; no digits before the point: the plot starts at column 25.
    EXPECT_EQ(DiffIn(shot, Margin("5", "5", "Y units", 25, 12, 12, kWhite, kBlack), {0, 0, 25, 70}), "");
    EXPECT_EQ(shot.RowsOf(25, kCyan), Range(0, 67));

    // Every value, however far, lies on the bottom row. (The plot layer is read: the
    // readout of -1e300 is wider than the window.)
    for (double v : {0.0, 100.0, kInf, -kInf, 5.0, -1e300}) {
        SCOPED_TRACE(v);
        host.chart.AppendValue(v);
        host.Shot();
        wintest::Image plot = host.chart.PlotLayer();
        EXPECT_EQ(plot.RowsOf(193, kWhite), std::vector<int>({66}));
        EXPECT_EQ(plot.RowsOf(194, kWhite), std::vector<int>({66}));
        EXPECT_EQ(plot.RowsOf(195, kWhite), std::vector<int>());
    }
    // NaN still leaves its gap.
    host.chart.AppendValue(kNaN);
    EXPECT_EQ(host.chart.PlotLayer().Count(kWhite, {193, 0, 196, 70}), 0);
}

TEST(StripChartBehaviour, NonFiniteValuesLeaveGapsOrRunToTheEdges) {
    ChartHost host;
    // NaN: no segment to it nor from it, and no number: the readout area is cleared, a
    // wider readout drawn before the last one included.
    {
        ChartHost wide;
        wide.chart.AppendValue(-12345.5);
        wide.chart.AppendValue(0.0);
        wide.chart.AppendValue(kNaN);
        EXPECT_EQ(DiffIn(wide.chart.BackgroundLayer(), ReferenceCanvas(200, 70, kBlack).Image(), kReadoutArea), "");
        EXPECT_EQ(wide.Shot().Count(kWhite, kReadoutArea), 0);
    }
    host.chart.AppendValue(0.0);
    host.chart.AppendValue(kNaN);
    wintest::Image shot = host.Shot();
    EXPECT_EQ(shot.Count(kWhite, {193, 0, 196, 70}), 0);
    EXPECT_EQ(host.chart.PlotLayer().ColumnsOf(33, kWhite), std::vector<int>({191, 192}));
    EXPECT_TRUE(std::isnan(host.chart.Previous()));
    host.chart.AppendValue(5.0);
    EXPECT_EQ(host.Shot().Count(kWhite, {191, 0, 196, 70}), 0);
    // The trace goes on from the first number after the gap.
    host.chart.AppendValue(5.0);
    shot = host.Shot();
    EXPECT_EQ(host.chart.PlotLayer().ColumnsOf(17, kWhite), std::vector<int>({193, 194}));
    EXPECT_EQ(shot.Count(kWhite, {189, 0, 193, 70}), 0);

    // Infinity runs to the edge of the trace rows like any far value, and no further.
    host.chart.AppendValue(0.0);
    host.chart.AppendValue(0.0);
    host.chart.AppendValue(kInf);
    shot = host.Shot();
    EXPECT_EQ(shot.RowsOf(193, kWhite), Range(1, 33));
    EXPECT_EQ(shot.Count(kWhite, {194, 0, 196, 70}), 0);
    ReferenceCanvas inf(200, 70, kBlack);
    inf.Text(kGothic, 12, 0, TA_CENTER | TA_TOP, 118, 3, "  inf  ", kWhite, kBlack);
    EXPECT_EQ(DiffIn(host.chart.BackgroundLayer(), inf.Image(), kReadoutArea), "");

    // From plus to minus infinity: the middle column crosses all trace rows.
    host.chart.AppendValue(-kInf);
    shot = host.Shot();
    EXPECT_EQ(shot.RowsOf(194, kWhite), Range(1, 66));
    EXPECT_EQ(shot.RowsOf(193, kWhite), std::vector<int>());
    EXPECT_EQ(shot.RowsOf(195, kWhite), std::vector<int>());
    ReferenceCanvas minusInf(200, 70, kBlack);
    minusInf.Text(kGothic, 12, 0, TA_CENTER | TA_TOP, 118, 3, "  -inf  ", kWhite, kBlack);
    EXPECT_EQ(DiffIn(host.chart.BackgroundLayer(), minusInf.Image(), kReadoutArea), "");

    // Back from below: the last column up to the row before 0.0's.
    host.chart.AppendValue(0.0);
    shot = host.Shot();
    EXPECT_EQ(shot.RowsOf(195, kWhite), Range(34, 66));
    EXPECT_EQ(shot.RowsOf(193, kWhite), std::vector<int>());
    EXPECT_EQ(shot.RowsOf(194, kWhite), std::vector<int>());

    // No stray line anywhere: the frame rows show through, the plot holds only these segments.
    for (int x = 40; x <= 197; ++x) {
        EXPECT_EQ(shot.At(x, 0), kCyan) << x;
        EXPECT_EQ(shot.At(x, 67), kCyan) << x;
    }
    wintest::Image plot = host.chart.PlotLayer();
    EXPECT_EQ(plot.Count(kWhite, {0, 0, 177, 70}), 0);
    EXPECT_EQ(plot.Count(kWhite, {0, 0, 200, 1}) + plot.Count(kWhite, {0, 67, 200, 70}), 0);
}

TEST(StripChartBehaviour, GdiObjectsAreAllGivenBackAfterAChartsLife) {
    long nBefore = GdiCounters::Outstanding();
    {
        ChartHost host;
        host.chart.SetRange(20.0, 80.0, 1);
        host.chart.SetTitle("CPU");
        host.chart.SetValueFont(kGothic, 14);
        host.chart.SetTitleFont(kGothic, 12);
        host.chart.SetScaleFont(kGothic, 12);
        host.chart.SetFontColor(kWhite);
        host.chart.SetBackColor(kBlack);
        host.chart.SetGridColor(RGB(0, 128, 0));
        host.chart.SetTraceColor(RGB(255, 255, 0));
        for (int i = 0; i < 200; ++i) {
            host.chart.AppendValue(50.0 + 40.0 * std::sin(i / 9.0));
            if (i % 20 == 0) host.Shot();
        }
        // Two layers (context and bitmap each), pen and brush.
        EXPECT_EQ(GdiCounters::Outstanding(), nBefore + 6);
    }
    EXPECT_EQ(GdiCounters::Outstanding(), nBefore);
}

TEST(StripChartBehaviour, RebuildWithoutAGridPenThrowsAndLeavesTheChartUsable) {
    long nGdiBefore = GdiCounters::Outstanding();
    {
        ChartHost host;
        host.chart.AppendValue(1.0);
        // Use up the process's GDI handles so that the rebuild cannot make its pen.
        std::vector<CPen> pens;
        for (CPen pen; pens.size() < 100000 && pen.CreatePen(PS_SOLID, 0, RGB(1, 2, 3));) pens.push_back(std::move(pen));
        ASSERT_LT(pens.size(), 100000u) << "GDI handles never ran out";
        EXPECT_THROW(host.chart.SetTitle("Y units"), CResourceException);
        pens.clear();

        // The lock was released and nothing stays selected: the chart goes on as a chart
        // that never failed.
        EXPECT_EQ(host.chart.AppendValue(1.0), 1.0);
        host.chart.SetTitle("Y units");
        host.chart.AppendValue(5.0);
        wintest::Image shot = host.Shot();
        ChartHost fresh;
        fresh.chart.AppendValue(1.0);
        fresh.chart.SetTitle("Y units");
        fresh.chart.AppendValue(5.0);
        EXPECT_EQ(DiffIn(shot, fresh.Shot(), kAll), "");
    }
    EXPECT_EQ(GdiCounters::Outstanding(), nGdiBefore);
}

}  // namespace
