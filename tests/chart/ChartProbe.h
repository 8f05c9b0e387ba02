#pragma once
#include <mutex>

#include "CStripChart.h"
#include "WinTestSupport.h"

// A chart whose layers and state the tests can read, under the chart's own lock.
class ChartProbe : public CStripChart {
public:
    wintest::Image BackgroundLayer() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return wintest::CaptureDC(m_dcBackground, 0, 0, m_nClientWidth, m_nClientHeight);
    }
    wintest::Image PlotLayer() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return wintest::CaptureDC(m_dcPlot, 0, 0, m_nClientWidth, m_nClientHeight);
    }
    bool HasLayers() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_dcBackground.GetSafeHdc() && m_dcPlot.GetSafeHdc();
    }
    double Previous() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_dPrevious;
    }
    double Range() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_dRange;
    }
    double Scale() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_dScale;
    }
    RECT PlotRect() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_rcPlot;
    }
    int PlotWidth() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nPlotWidth;
    }
};
