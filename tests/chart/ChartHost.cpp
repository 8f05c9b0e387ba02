#include "ChartHost.h"

#include "AfxRegisterWndClass.h"

ChartHost::ChartHost(int nClientWidth, int nClientHeight) {
    CString strClass = AfxRegisterWndClass(0, nullptr, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
    frame.CreateEx(0, strClass, "chart test", WS_POPUP | WS_VISIBLE, 0, 0, nClientWidth + 40, nClientHeight + 40,
                   nullptr, nullptr);
    // The two edges take their share of the window: size it so that the client area fits.
    RECT rc = {0, 0, nClientWidth, nClientHeight};
    ::AdjustWindowRectEx(&rc, WS_CHILD | WS_VISIBLE, FALSE, WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
    ::OffsetRect(&rc, 10 - rc.left, 10 - rc.top);
    created = chart.Create(WS_CHILD | WS_VISIBLE, rc, &frame, 0);
}

wintest::Image ChartHost::Shot() {
    ::UpdateWindow(chart.m_hWnd);
    return wintest::CaptureClient(chart.m_hWnd);
}
