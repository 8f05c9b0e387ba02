#pragma once
#include "CStripChart.h"
#include "WinTestSupport.h"

// A chart whose layers and state the tests can read.
class ChartProbe : public CStripChart {
public:
    wintest::Image BackgroundLayer() { return wintest::CaptureDC(m_dcBackground, 0, 0, m_nClientWidth, m_nClientHeight); }
    wintest::Image PlotLayer() { return wintest::CaptureDC(m_dcPlot, 0, 0, m_nClientWidth, m_nClientHeight); }
    bool HasLayers() const { return m_dcBackground.GetSafeHdc() && m_dcPlot.GetSafeHdc(); }
    double Previous() const { return m_dPrevious; }
    double Range() const { return m_dRange; }
    double Scale() const { return m_dScale; }
    RECT PlotRect() const { return m_rcPlot; }
    int PlotWidth() const { return m_nPlotWidth; }
};
