#include "CStripChart.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "AfxRegisterWndClass.h"
#include "CClientDC.h"
#include "CFont.h"
#include "CPaintDC.h"
#include "CResourceException.h"
#include "ChartGeometry.h"
#include "DisplayScale.h"

namespace {

// The window class of every chart, registered by the first Create of the process.
const CString& ChartClassName() {
    static const CString s_strClassName = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, nullptr, nullptr, nullptr);
    return s_strClassName;
}

// A font for one drawing pass.
void MakeFont(CFont& font, const CString& strFace, int nHeight, int nEscapement) {
    font.CreateFont(nHeight, 0, nEscapement, 0, FW_LIGHT, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, strFace);
}

}  // namespace

BEGIN_MESSAGE_MAP(CStripChart, CWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_SIZE()
    ON_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
    ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
END_MESSAGE_MAP()

CStripChart::CStripChart()
    : m_nScrollStep(2),
      m_nDecimals(3),
      m_strTitle("Y units"),
      m_crBack(0x000000),   // black
      m_crGrid(0xFFFF00),   // cyan
      m_crTrace(0xFFFFFF),  // white
      m_strValueFont(kSystemFontFace),
      m_strTitleFont(kSystemFontFace),
      m_strScaleFont(kSystemFontFace),
      m_nValueFontSize(12),
      m_nTitleFontSize(12),
      m_nScaleFontSize(12),
      m_crText(0xFFFFFF),
      m_bReadoutAlarm(false),
      m_crReadoutAlarm(0),
      m_dCurrent(0.0),
      m_dPrevious(0.0),
      m_nNewPointInset(1),
      // The previous point sits where the newest one was before the step moved it.
      m_nPrevPointInset(3),
      m_nClientHeight(0),
      m_nClientWidth(0),
      m_nPlotHeight(0),
      m_nPlotWidth(0),
      m_dMin(-10.0),
      m_dMax(10.0),
      m_dRange(20.0),
      m_dScale(0.0),
      m_rcClient{},
      m_rcPlot{},
      m_rcReadout{},
      m_hTip(nullptr),
      m_nTipColumn(-1),
      m_nDpi(displayscale::kBaseDpi),
      m_bKeepTrace(false) {
    m_penTrace.CreatePen(PS_SOLID, 0, m_crTrace);
    m_brBack.CreateSolidBrush(m_crBack);
}

CStripChart::~CStripChart() = default;

BOOL CStripChart::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    const CString& strClassName = ChartClassName();
    if (pParentWnd && pParentWnd->GetSafeHwnd()) m_nDpi = displayscale::DpiOfWindow(pParentWnd->GetSafeHwnd());
    // The size notification during creation sets the geometry and draws the layers before
    // CreateEx returns; a window that got none is drawn here.
    BOOL bCreated = CreateEx(WS_EX_CLIENTEDGE | WS_EX_STATICEDGE, strClassName, nullptr, dwStyle, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top,
                             pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)));
    if (bCreated && !m_dcPlot.GetSafeHdc()) RebuildLayers();
    return bCreated;
}

void CStripChart::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    // The trace as it stands, to be drawn again over the new plot.
    CMemoryLayer dcTrace;
    const RECT rcOldPlot = m_rcPlot;
    const bool bKeepTrace = m_bKeepTrace && m_dcPlot.GetSafeHdc() &&
                            dcTrace.Create(&m_dcPlot, m_nClientWidth, m_nClientHeight) &&
                            dcTrace.BitBlt(0, 0, m_nClientWidth, m_nClientHeight, &m_dcPlot, 0, 0, SRCCOPY);
    GetClientRect(&m_rcClient);
    m_nClientHeight = m_rcClient.bottom - m_rcClient.top;
    m_nClientWidth = m_rcClient.right - m_rcClient.left;
    m_rcPlot.left = Px(4);
    m_rcPlot.top = 0;
    m_rcPlot.right = m_rcClient.right - Px(4);
    m_rcPlot.bottom = m_rcClient.bottom - Px(4);
    m_nPlotHeight = m_rcPlot.bottom - m_rcPlot.top;
    m_nPlotWidth = m_rcPlot.right - m_rcPlot.left;
    m_dScale = chart::PlotScale(m_nPlotHeight, m_dRange);
    m_dcBackground.Release();
    m_dcPlot.Release();
    m_dcLookBack.Release();
    RebuildLayers();
    if (!bKeepTrace || !m_dcPlot.GetSafeHdc()) return;
    // Rows and columns that a smaller plot leaves out are ORed into those kept, as the paint
    // ORs the trace over the background: a thin trace stays whole, in its own colours.
    const int nOldMode = ::SetStretchBltMode(m_dcPlot.GetSafeHdc(), STRETCH_ORSCANS);
    ::StretchBlt(m_dcPlot.GetSafeHdc(), m_rcPlot.left, m_rcPlot.top + 1, m_nPlotWidth, m_nPlotHeight,
                 dcTrace.GetSafeHdc(), rcOldPlot.left, rcOldPlot.top + 1, rcOldPlot.right - rcOldPlot.left,
                 rcOldPlot.bottom - rcOldPlot.top, SRCCOPY);
    ::SetStretchBltMode(m_dcPlot.GetSafeHdc(), nOldMode);
    if (!m_strReadout.IsEmpty()) DrawReadout();
}

void CStripChart::SetDpi(UINT nDpi, const RECT& rect) {
    m_nDpi = nDpi;
    if (!m_hWnd) return;
    RECT rcNow;
    GetClientRect(&rcNow);
    m_bKeepTrace = true;
    ::SetWindowPos(m_hWnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rcAfter;
    GetClientRect(&rcAfter);
    // The same size sends no notification: the lengths change all the same.
    if (::EqualRect(&rcNow, &rcAfter)) OnSize(SIZE_RESTORED, rcAfter.right, rcAfter.bottom);
    m_bKeepTrace = false;
}

int CStripChart::Px(int nLength) const { return displayscale::Scale(nLength, m_nDpi); }

BOOL CStripChart::OnEraseBkgnd(HDC) { return TRUE; }

void CStripChart::SetRange(double dMin, double dMax, int nDecimals) {
    m_dMin = dMin;
    m_nDecimals = nDecimals;
    m_dMax = dMax;
    m_dRange = dMax - dMin;
    m_dScale = chart::PlotScale(m_nPlotHeight, m_dRange);
    RebuildLayers();
}

void CStripChart::SetTitle(CString strTitle) {
    m_strTitle = std::move(strTitle);
    RebuildLayers();
}

void CStripChart::SetValueFont(CString strFace, int nHeight) {
    m_strValueFont = std::move(strFace);
    m_nValueFontSize = nHeight;
}

void CStripChart::SetTitleFont(CString strFace, int nHeight) {
    m_strTitleFont = std::move(strFace);
    m_nTitleFontSize = nHeight;
}

void CStripChart::SetScaleFont(CString strFace, int nHeight) {
    m_strScaleFont = std::move(strFace);
    m_nScaleFontSize = nHeight;
}

void CStripChart::SetFontColor(COLORREF crText) {
    m_crText = crText;
}

void CStripChart::SetReadoutAlarm(bool bAlarm, COLORREF crAlarm) {
    m_bReadoutAlarm = bAlarm;
    m_crReadoutAlarm = crAlarm;
}

void CStripChart::SetGridColor(COLORREF crGrid) {
    m_crGrid = crGrid;
    RebuildLayers();
}

void CStripChart::SetTraceColor(COLORREF crTrace) {
    m_crTrace = crTrace;
    m_penTrace.CreatePen(PS_SOLID, 0, m_crTrace);
    RebuildLayers();
}

void CStripChart::SetBackColor(COLORREF crBack) {
    m_crBack = crBack;
    m_brBack.CreateSolidBrush(m_crBack);
    RebuildLayers();
}

double CStripChart::AppendValue(double dValue) {
    const double dOld = m_dCurrent;
    m_dCurrent = dValue;
    ScrollAndPlot();
    // Without a window there is nothing to invalidate (a null handle would mean every window).
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return dOld;
}

void CStripChart::RebuildLayers() {
    if (!m_hWnd) return;
    CPen penGrid;
    if (!penGrid.CreatePen(PS_SOLID, 0, m_crGrid)) AfxThrowResourceException();
    CClientDC dc(this);

    if (!m_dcBackground.GetSafeHdc()) m_dcBackground.Create(&dc, m_nClientWidth, m_nClientHeight);
    // Texts are drawn opaque on the background colour.
    m_dcBackground.SetBkColor(m_crBack);
    m_dcBackground.FillRect(&m_rcClient, &m_brBack);
    ::SetRectEmpty(&m_rcReadout);

    m_rcPlot.left = m_rcClient.left + Px(chart::PlotLeft(0, m_dMin, m_dMax, m_nDecimals));
    m_nPlotWidth = m_rcPlot.right - m_rcPlot.left;

    {
        CSelectScope pen(m_dcBackground, penGrid);
        m_dcBackground.MoveTo(m_rcPlot.left, m_rcPlot.top);
        m_dcBackground.LineTo(m_rcPlot.right + 1, m_rcPlot.top);
        m_dcBackground.LineTo(m_rcPlot.right + 1, m_rcPlot.bottom + 1);
        m_dcBackground.LineTo(m_rcPlot.left, m_rcPlot.bottom + 1);
        m_dcBackground.LineTo(m_rcPlot.left, m_rcPlot.top);
    }

    int nMid = (m_rcPlot.bottom + m_rcPlot.top) / 2;
    int nQuarter = m_nPlotHeight / 4;
    for (int x = m_rcPlot.left; x < m_rcPlot.right; x += Px(4)) {
        m_dcBackground.SetPixel(x, nMid - nQuarter, m_crGrid);
        m_dcBackground.SetPixel(x, nMid, m_crGrid);
        m_dcBackground.SetPixel(x, nMid + nQuarter, m_crGrid);
    }

    CFont fontScale;
    CFont fontTitle;
    MakeFont(fontScale, m_strScaleFont, Px(m_nScaleFontSize), 0);
    // Escapement 900: the title reads bottom to top.
    MakeFont(fontTitle, m_strTitleFont, Px(m_nTitleFontSize), 900);
    {
        CSelectScope font(m_dcBackground, fontScale);
        m_dcBackground.SetTextColor(m_crText);
        CString strLabel;
        m_dcBackground.SetTextAlign(TA_RIGHT | TA_TOP);
        strLabel.Format("%.*lf", chart::LabelPrecision(m_nDecimals), m_dMax);
        m_dcBackground.TextOut(m_rcPlot.left - Px(4), m_rcPlot.top, strLabel);
        m_dcBackground.SetTextAlign(TA_RIGHT | TA_BASELINE);
        strLabel.Format("%.*lf", chart::LabelPrecision(m_nDecimals), m_dMin);
        m_dcBackground.TextOut(m_rcPlot.left - Px(4), m_rcPlot.bottom, strLabel);
    }
    {
        // Drawn after the labels: where they meet, the title covers them.
        CSelectScope font(m_dcBackground, fontTitle);
        m_dcBackground.SetTextAlign(TA_CENTER | TA_BASELINE);
        m_dcBackground.TextOut((m_rcPlot.left + m_rcClient.left) / 2, (m_rcPlot.bottom + m_rcPlot.top) / 2, m_strTitle);
    }

    if (!m_dcPlot.GetSafeHdc()) m_dcPlot.Create(&dc, m_nClientWidth, m_nClientHeight);
    m_dcPlot.SetBkColor(m_crBack);
    // The trace drawn so far is gone; m_dPrevious stays, so the next segment starts from it.
    m_dcPlot.FillRect(&m_rcClient, &m_brBack);
    if (IsLookingBack()) DrawLookBack();

    InvalidateRect(&m_rcClient, TRUE);
}

void CStripChart::ScrollAndPlot() {
    if (!m_dcPlot.GetSafeHdc()) return;

    // Only the trace rows move; the rows outside them keep nothing between values.
    const int nStep = Px(m_nScrollStep);
    m_dcPlot.BitBlt(m_rcPlot.left, m_rcPlot.top + 1, m_nPlotWidth, m_nPlotHeight, &m_dcPlot, m_rcPlot.left + nStep,
                    m_rcPlot.top + 1, SRCCOPY);
    RECT rcFreed = {m_rcPlot.right - nStep, m_rcPlot.top, m_rcPlot.right, m_rcPlot.bottom};
    m_dcPlot.FillRect(&rcFreed, &m_brBack);

    int xNew = m_rcPlot.right - Px(m_nNewPointInset);
    // Scaled as the gap to the newest point, which is the step: the previous point stays
    // where the newest one was before the step at every scale.
    int xPrev = xNew - Px(m_nPrevPointInset - m_nNewPointInset);
    std::optional<int> yPrev = chart::ValueToRow(m_dPrevious, m_dMin, m_dScale, m_rcPlot.bottom);
    std::optional<int> yNew = chart::ValueToRow(m_dCurrent, m_dMin, m_dScale, m_rcPlot.bottom);
    // A NaN at either end has no row: its two segments are left out, and the trace goes on
    // from the first number after it.
    if (yPrev && yNew) {
        {
            CSelectScope pen(m_dcPlot, m_penTrace);
            m_dcPlot.MoveTo(xPrev, chart::LineCoordinate(*yPrev));
            m_dcPlot.LineTo(xNew, chart::LineCoordinate(*yNew));
        }
        // What the segment drew outside the trace rows goes again, in its own columns.
        if (*yPrev <= m_rcPlot.top || *yNew <= m_rcPlot.top) {
            RECT rcAbove = {xPrev, m_rcClient.top, xNew + 1, m_rcPlot.top + 1};
            m_dcPlot.FillRect(&rcAbove, &m_brBack);
        }
        if (*yPrev >= m_rcPlot.bottom || *yNew >= m_rcPlot.bottom) {
            RECT rcBelow = {xPrev, m_rcPlot.bottom + 1, xNew + 1, m_rcClient.bottom + 1};
            m_dcPlot.FillRect(&rcBelow, &m_brBack);
        }
    }
    m_dPrevious = m_dCurrent;

    DrawReadout();
}

void CStripChart::DrawReadout() {
    // The readout lives in the layer that does not scroll; drawn opaque, it covers the
    // previous one as far as its blanks reach. A value that is not there shows no number:
    // every readout drawn since the last rebuild is cleared, so none stays on show.
    if (std::isnan(m_dCurrent)) {
        m_strReadout.Empty();
        m_dcBackground.FillRect(&m_rcReadout, &m_brBack);
        ::SetRectEmpty(&m_rcReadout);
        return;
    }
    CFont fontValue;
    MakeFont(fontValue, m_strValueFont, Px(m_nValueFontSize), 0);
    CSelectScope font(m_dcBackground, fontValue);
    m_dcBackground.SetTextColor(m_bReadoutAlarm ? m_crReadoutAlarm : m_crText);
    m_strReadout.Format("  %.*lf  ", m_nDecimals, m_dCurrent);
    m_dcBackground.SetTextAlign(TA_CENTER | TA_TOP);
    const int xCentre = (m_rcPlot.right + m_rcPlot.left) / 2;
    const SIZE size = m_dcBackground.GetTextExtent(m_strReadout);
    const RECT rcText = {xCentre - size.cx / 2, m_rcPlot.top + Px(3), xCentre - size.cx / 2 + size.cx,
                         m_rcPlot.top + Px(3) + size.cy};
    m_dcBackground.ExtTextOut(xCentre, m_rcPlot.top + Px(3), ETO_OPAQUE, &rcText, m_strReadout);
    ::UnionRect(&m_rcReadout, &m_rcReadout, &rcText);
}

void CStripChart::OnPaint() {
    CPaintDC dc(this);
    // Composed off screen and copied in one transfer: no intermediate state is ever shown.
    CMemoryLayer dcMem;
    if (dcMem.Create(&dc, m_nClientWidth, m_nClientHeight)) {
        dcMem.BitBlt(0, 0, m_nClientWidth, m_nClientHeight, &m_dcBackground, 0, 0, SRCCOPY);
        CMemoryLayer& dcTrace = IsLookingBack() && m_dcLookBack.GetSafeHdc() ? m_dcLookBack : m_dcPlot;
        dcMem.BitBlt(0, 0, m_nClientWidth, m_nClientHeight, &dcTrace, 0, 0, SRCPAINT);
        dc.BitBlt(0, 0, m_nClientWidth, m_nClientHeight, &dcMem, 0, 0, SRCCOPY);
    }
}

void CStripChart::ShowLookBack(const CString& strSpan, std::vector<qrvl::history::ColumnRange> columns) {
    m_strSpan = strSpan;
    m_columns = std::move(columns);
    // A tip on show tells what its column holds now.
    if (m_nTipColumn >= static_cast<int>(m_columns.size()))
        HideTip();
    else if (m_nTipColumn >= 0)
        UpdateTipText();
    DrawLookBack();
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CStripChart::ShowLive() {
    if (!IsLookingBack()) return;
    m_strSpan.Empty();
    m_columns.clear();
    m_dcLookBack.Release();
    HideTip();
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CStripChart::DrawLookBack() {
    if (!m_hWnd) return;
    if (!m_dcLookBack.GetSafeHdc()) {
        CClientDC dc(this);
        if (!m_dcLookBack.Create(&dc, m_nClientWidth, m_nClientHeight)) return;
    }
    // A layer in place of the trace's, composed the same way, so a paint costs what a live
    // one does.
    m_dcLookBack.FillRect(&m_rcClient, &m_brBack);
    CBrush brTrace;
    brTrace.CreateSolidBrush(m_crTrace);
    // The trace's rows: what lies beyond them is off the scale, as in the live view.
    const int yTop = m_rcPlot.top + 1;
    const int yBottom = m_rcPlot.bottom;
    const int nColumns = std::min(static_cast<int>(m_columns.size()), m_nPlotWidth);
    for (int i = 0; i < nColumns; ++i) {
        const qrvl::history::ColumnRange& column = m_columns[static_cast<std::size_t>(i)];
        if (!column.hasValue) continue;
        const int yHigh = std::max(*chart::ValueToRow(column.max, m_dMin, m_dScale, m_rcPlot.bottom), yTop);
        const int yLow = std::min(*chart::ValueToRow(column.min, m_dMin, m_dScale, m_rcPlot.bottom), yBottom);
        if (yHigh > yLow) continue;
        const RECT rcColumn = {m_rcPlot.left + i, yHigh, m_rcPlot.left + i + 1, yLow + 1};
        m_dcLookBack.FillRect(&rcColumn, &brTrace);
    }
    CFont fontScale;
    MakeFont(fontScale, m_strScaleFont, Px(m_nScaleFontSize), 0);
    CSelectScope font(m_dcLookBack, fontScale);
    m_dcLookBack.SetTextColor(m_crText);
    m_dcLookBack.SetBkMode(TRANSPARENT);
    m_dcLookBack.SetTextAlign(TA_RIGHT | TA_TOP);
    m_dcLookBack.TextOut(m_rcPlot.right - Px(1), m_rcPlot.top + Px(2), m_strSpan);
}

LRESULT CStripChart::OnMouseMove(WPARAM, LPARAM lParam) {
    const int nColumn = GET_X_LPARAM(lParam) - m_rcPlot.left;
    if (!IsLookingBack() || !m_tipText || nColumn < 0 || nColumn >= static_cast<int>(m_columns.size())) {
        HideTip();
        return 0;
    }
    if (!m_hTip) {
        m_hTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0,
                                   0, 0, 0, m_hWnd, nullptr, nullptr, nullptr);
        if (!m_hTip) return 0;
        TTTOOLINFOW info = TipTool();
        info.uFlags = TTF_TRACK | TTF_ABSOLUTE;
        info.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(m_hTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    const bool bShown = m_nTipColumn >= 0;
    const bool bMoved = nColumn != m_nTipColumn;
    m_nTipColumn = nColumn;
    if (bMoved) UpdateTipText();
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ClientToScreen(m_hWnd, &pt);
    ::SendMessageW(m_hTip, TTM_TRACKPOSITION, 0, MAKELPARAM(pt.x + Px(12), pt.y + Px(16)));
    if (!bShown) {
        TTTOOLINFOW info = TipTool();
        ::SendMessageW(m_hTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&track);
    }
    return 0;
}

TTTOOLINFOW CStripChart::TipTool() const {
    TTTOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = m_hWnd;
    return info;
}

void CStripChart::UpdateTipText() {
    const std::wstring strText = m_tipText(m_nTipColumn);
    TTTOOLINFOW info = TipTool();
    info.lpszText = const_cast<wchar_t*>(strText.c_str());
    ::SendMessageW(m_hTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

LRESULT CStripChart::OnMouseLeave(WPARAM, LPARAM) {
    HideTip();
    return 0;
}

void CStripChart::HideTip() {
    if (!m_hTip || m_nTipColumn < 0) return;
    TTTOOLINFOW info = TipTool();
    ::SendMessageW(m_hTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&info));
    m_nTipColumn = -1;
}
