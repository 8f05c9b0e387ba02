// Shows one strip chart configured the way the monitor configures a temperature chart and
// fed with a generated signal on the window's thread, as the monitor feeds its charts.
//   chart_demo [milliseconds per value, default 100]
#include <windows.h>

#include <cmath>
#include <cstdlib>

#include "CStripChart.h"
#include "Framework.h"

namespace {

// A temperature-like signal: a slow wave with ripple, now and then beyond the range.
double Signal(int n) {
    double dValue = 50.0 + 22.0 * std::sin(n / 23.0) + 4.0 * std::sin(n / 3.1);
    if (n % 97 == 40) dValue += 45.0;
    return dValue;
}

// The demo's top-level window: owns the chart and the timer that feeds it.
class CDemoWnd : public CWnd {
public:
    BOOL Create(DWORD dwInterval) {
        CString strClass = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, ::LoadCursor(nullptr, IDC_ARROW),
                                               reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
        RECT rcWindow = {0, 0, 2 * kMargin + kChartWidth, 2 * kMargin + kChartHeight};
        DWORD dwStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
        ::AdjustWindowRectEx(&rcWindow, dwStyle, FALSE, 0);
        if (!CreateEx(0, strClass, "Strip chart demo", dwStyle, 40, 40, rcWindow.right - rcWindow.left,
                      rcWindow.bottom - rcWindow.top, nullptr, nullptr))
            return FALSE;

        RECT rcChart = {kMargin, kMargin, kMargin + kChartWidth, kMargin + kChartHeight};
        if (!m_chart.Create(WS_CHILD | WS_VISIBLE, rcChart, this, 0)) return FALSE;
        m_chart.SetRange(20.0, 80.0, 1);
        m_chart.SetTitle("CPU温度");
        m_chart.SetValueFont("ＭＳ ゴシック", 12);
        m_chart.SetTitleFont("ＭＳ ゴシック", 12);
        m_chart.SetScaleFont("ＭＳ ゴシック", 12);
        m_chart.SetFontColor(RGB(255, 255, 255));
        m_chart.SetBackColor(RGB(0, 0, 0));
        m_chart.SetGridColor(RGB(0, 160, 0));
        m_chart.SetTraceColor(RGB(255, 255, 0));

        // A screenshot right after start already shows a full trace.
        for (m_nSample = 0; m_nSample < kChartWidth / 2; ++m_nSample) m_chart.AppendValue(Signal(m_nSample));
        ::SetTimer(m_hWnd, kTimerId, dwInterval, nullptr);
        return TRUE;
    }

protected:
    LRESULT OnTimer(WPARAM, LPARAM) {
        m_chart.AppendValue(Signal(m_nSample++));
        return 0;
    }

    void OnDestroy() {
        ::KillTimer(m_hWnd, kTimerId);
        CWnd::OnDestroy();
        ::PostQuitMessage(0);
    }

    DECLARE_MESSAGE_MAP()

private:
    static constexpr int kMargin = 8;
    static constexpr int kChartWidth = 240;
    static constexpr int kChartHeight = 100;
    static constexpr UINT_PTR kTimerId = 1;

    CStripChart m_chart;
    int m_nSample = 0;
};

BEGIN_MESSAGE_MAP(CDemoWnd, CWnd)
    ON_MESSAGE(WM_TIMER, OnTimer)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
    int nInterval = std::atoi(lpCmdLine);
    CDemoWnd wnd;
    if (!wnd.Create(nInterval > 0 ? static_cast<DWORD>(nInterval) : 100)) return 1;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}
