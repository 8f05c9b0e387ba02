#pragma once
#include <windows.h>

#include "CWnd.h"
#include "ChartProbe.h"
#include "WinTestSupport.h"

// A visible top-level window holding one chart whose client area has the given size.
class ChartHost {
public:
    explicit ChartHost(int nClientWidth = 200, int nClientHeight = 70);
    ChartHost(const ChartHost&) = delete;
    ChartHost& operator=(const ChartHost&) = delete;
    // The frame takes the chart with it.
    ~ChartHost() { frame.DestroyWindow(); }

    // Paints what is pending and reads the chart's client area back as it is on the display.
    wintest::Image Shot();

    CWnd frame;
    ChartProbe chart;
    BOOL created = FALSE;
};
