// Prints what one AppendValue and one paint of a strip chart cost after 1,000 and after
// 100,000 appended values. The chart keeps no history but its picture, so both figures
// should stay flat.
//   chart_bench [width height]   client size of the chart, default 200 x 70
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "AfxRegisterWndClass.h"
#include "CStripChart.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Signal(long n) { return 9.0 * std::sin(n / 7.0) + 3.0 * std::sin(n / 1.3); }

void PumpPending() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int nWidth = argc > 2 ? std::atoi(argv[1]) : 200;
    int nHeight = argc > 2 ? std::atoi(argv[2]) : 70;

    CWnd frame;
    if (!frame.CreateEx(0, AfxRegisterWndClass(0), "chart bench", WS_POPUP | WS_VISIBLE, 0, 0, nWidth + 20,
                        nHeight + 20, nullptr, nullptr)) {
        std::fprintf(stderr, "chart_bench: no window\n");
        return 1;
    }
    RECT rc = {0, 0, nWidth, nHeight};
    ::AdjustWindowRectEx(&rc, WS_CHILD | WS_VISIBLE, FALSE, WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
    ::OffsetRect(&rc, 5 - rc.left, 5 - rc.top);
    CStripChart chart;
    if (!chart.Create(WS_CHILD | WS_VISIBLE, rc, &frame, 0)) {
        std::fprintf(stderr, "chart_bench: no chart\n");
        frame.DestroyWindow();
        return 1;
    }
    PumpPending();

    // Other work on the machine only ever adds time: each figure is the best and the median
    // of several short batches.
    const int kBatches = 9;
    const int kAppends = 250;
    const int kPaints = 60;
    std::printf("chart %d x %d client pixels; %d batches of %d appends and of %d paints at each point\n", nWidth,
                nHeight, kBatches, kAppends, kPaints);
    std::printf("%10s %24s %24s\n", "history", "append us (best/median)", "paint us (best/median)");
    long nHistory = 0;
    double firstAppend = 0.0;
    double firstPaint = 0.0;
    for (long nPoint : {1000L, 100000L}) {
        for (; nHistory < nPoint; ++nHistory) {
            chart.AppendValue(Signal(nHistory));
            if (nHistory % 1000 == 0) PumpPending();
        }
        PumpPending();

        std::vector<double> appendCosts;
        std::vector<double> paintCosts;
        for (int b = 0; b < kBatches; ++b) {
            double start = Now();
            for (int i = 0; i < kAppends; ++i) chart.AppendValue(Signal(nHistory++));
            appendCosts.push_back((Now() - start) / kAppends * 1e6);
            PumpPending();

            start = Now();
            for (int i = 0; i < kPaints; ++i)
                ::RedrawWindow(chart.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            paintCosts.push_back((Now() - start) / kPaints * 1e6);
        }
        std::sort(appendCosts.begin(), appendCosts.end());
        std::sort(paintCosts.begin(), paintCosts.end());
        std::printf("%10ld %11.1f / %10.1f %11.1f / %10.1f\n", nPoint, appendCosts.front(), appendCosts[kBatches / 2],
                    paintCosts.front(), paintCosts[kBatches / 2]);
        if (nPoint == 1000L) {
            firstAppend = appendCosts.front();
            firstPaint = paintCosts.front();
        } else {
            std::printf("best at 100,000 / best at 1,000: append %.2f, paint %.2f\n", appendCosts.front() / firstAppend,
                        paintCosts.front() / firstPaint);
        }
    }
    frame.DestroyWindow();
    return 0;
}
