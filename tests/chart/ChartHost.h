#pragma once
#include <windows.h>

#include "CWnd.h"
#include "ChartProbe.h"
#include "WinTestSupport.h"

// A visible top-level window holding one chart whose client area has the given size.
class ChartHost {
public:
    explicit ChartHost(int nClientWidth = 200, int nClientHeight = 70);

    // Paints what is pending and reads the chart's client area back as it is on the display.
    wintest::Image Shot();

    CWnd frame;
    ChartProbe chart;  // destroyed before its parent
    BOOL created = FALSE;
};
