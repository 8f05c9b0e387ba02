#pragma once
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "CBitmap.h"
#include "CBrush.h"
#include "CDC.h"
#include "CMemoryLayer.h"
#include "CPen.h"
#include "CString.h"
#include "CWnd.h"
#include "qrvl/history/DayRing.h"

// A child window that shows one channel as a scrolling strip chart: frame, dotted grid,
// scale labels, vertical title and the newest value. The history is the picture: two
// off-screen layers hold it, and a paint only composes them.
// Like every window it belongs to the thread that created it: appends, setters and paints
// all come on that thread.
class CStripChart : public CWnd {
public:
    CStripChart();
    ~CStripChart() override;

    // Creates the window (rect in the parent's client coordinates) and draws its layers;
    // nonzero on success.
    virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    // Range of the plot and decimals of the readout (the labels show one fewer). Equal
    // bounds are accepted: every value is then drawn on the bottom row.
    void SetRange(double dMin, double dMax, int nDecimals);
    void SetTitle(CString strTitle);
    // Fonts and text colour: stored, seen at the next rebuild (title, labels) or value (readout).
    void SetValueFont(CString strFace, int nHeight);
    void SetTitleFont(CString strFace, int nHeight);
    void SetScaleFont(CString strFace, int nHeight);
    void SetFontColor(COLORREF crText);
    // While set, the readout is drawn in crAlarm instead of the text colour; seen at the
    // next value, like the text colour.
    void SetReadoutAlarm(bool bAlarm, COLORREF crAlarm);
    void SetGridColor(COLORREF crGrid);
    void SetTraceColor(COLORREF crTrace);
    void SetBackColor(COLORREF crBack);

    // Draws at nDpi from now on, over rect (in the parent's client coordinates): fonts,
    // insets, margins and steps are lengths at 96 DPI scaled to it. The trace drawn so far
    // is kept, scaled with the plot.
    void SetDpi(UINT nDpi, const RECT& rect);

    // Adds the newest value: scrolls the trace, draws the new segment and the readout.
    // A NaN leaves a gap in the trace and a blank readout; infinities run off the plot like
    // any far value.
    // Returns the value appended before it.
    double AppendValue(double dValue);

    // Look back: the plot shows a column per pixel instead of the trace, each from the
    // lowest to the highest reading of its slice of time, and the span's name in its
    // top-right corner. The trace goes on scrolling unseen, and ShowLive shows it again.
    void ShowLookBack(const CString& strSpan, std::vector<qrvl::history::ColumnRange> columns);
    void ShowLive();
    bool IsLookingBack() const { return !m_strSpan.IsEmpty(); }
    // Pixels across the plot: the columns a look back needs.
    int GetPlotWidth() const { return m_nPlotWidth; }
    // The text of the tip over a look-back column, from the column's index.
    void SetColumnTip(std::function<std::wstring(int)> tipText) { m_tipText = std::move(tipText); }

protected:
    // Redraws the background layer from the settings and clears the plot layer.
    void RebuildLayers();
    // One appended value's drawing in the layers.
    void ScrollAndPlot();
    // The readout of m_dCurrent, in the background layer.
    void DrawReadout();
    // A length at 96 DPI in pixels at the chart's DPI.
    int Px(int nLength) const;

    void OnPaint();
    // Every pixel comes from the layers: there is nothing to erase, and erasing would flicker.
    BOOL OnEraseBkgnd(HDC hDC);
    // Layers of the new size, drawn afresh.
    void OnSize(UINT nType, int cx, int cy);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
    // The look-back layer: the columns and the span's name.
    void DrawLookBack();
    void HideTip();
    // The tip's one tool, and its text for the column under the pointer.
    TTTOOLINFOW TipTool() const;
    void UpdateTipText();

    DECLARE_MESSAGE_MAP()

    int m_nScrollStep;
    int m_nDecimals;
    CString m_strReadout;
    CString m_strTitle;
    COLORREF m_crBack;
    COLORREF m_crGrid;
    COLORREF m_crTrace;
    CString m_strValueFont;
    CString m_strTitleFont;
    CString m_strScaleFont;
    int m_nValueFontSize;
    int m_nTitleFontSize;
    int m_nScaleFontSize;
    COLORREF m_crText;
    bool m_bReadoutAlarm;
    COLORREF m_crReadoutAlarm;
    double m_dCurrent;
    double m_dPrevious;
    int m_nNewPointInset;
    int m_nPrevPointInset;
    int m_nClientHeight;
    int m_nClientWidth;
    int m_nPlotHeight;
    int m_nPlotWidth;
    double m_dMin;
    double m_dMax;
    double m_dRange;
    double m_dScale;
    RECT m_rcClient;
    RECT m_rcPlot;
    // Where the readouts drawn since the last rebuild lie, to clear for a missing value.
    RECT m_rcReadout;
    CPen m_penTrace;
    CBrush m_brBack;
    CMemoryLayer m_dcBackground;
    CMemoryLayer m_dcPlot;
    CMemoryLayer m_dcLookBack;
    // Empty in the live view.
    CString m_strSpan;
    std::vector<qrvl::history::ColumnRange> m_columns;
    std::function<std::wstring(int)> m_tipText;
    HWND m_hTip;
    int m_nTipColumn;
    // The DPI the chart draws at; the parent's when created.
    UINT m_nDpi;
    // Set while SetDpi resizes the window: the next size notification keeps the trace.
    bool m_bKeepTrace;
};
