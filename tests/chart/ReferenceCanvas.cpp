#include "ReferenceCanvas.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
HFONT MakeFont(const char* pszFace, int nHeight, int nEscapement) {
    return ::CreateFontA(nHeight, 0, nEscapement, 0, FW_LIGHT, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, pszFace);
}
}  // namespace

ReferenceCanvas::ReferenceCanvas(int nWidth, int nHeight, COLORREF crBack) : m_nWidth(nWidth), m_nHeight(nHeight) {
    HDC hScreen = ::GetDC(nullptr);
    m_hDC = ::CreateCompatibleDC(hScreen);
    m_hBitmap = ::CreateCompatibleBitmap(hScreen, nWidth, nHeight);
    ::ReleaseDC(nullptr, hScreen);
    m_hOldBitmap = ::SelectObject(m_hDC, m_hBitmap);
    Fill({0, 0, nWidth, nHeight}, crBack);
}

ReferenceCanvas::~ReferenceCanvas() {
    ::SelectObject(m_hDC, m_hOldBitmap);
    ::DeleteDC(m_hDC);
    ::DeleteObject(m_hBitmap);
}

void ReferenceCanvas::Text(const char* pszFace, int nHeight, int nEscapement, UINT nAlign, int x, int y,
                           const char* pszText, COLORREF crText, COLORREF crBack) {
    HFONT hFont = MakeFont(pszFace, nHeight, nEscapement);
    HGDIOBJ hOld = ::SelectObject(m_hDC, hFont);
    ::SetBkMode(m_hDC, OPAQUE);
    ::SetBkColor(m_hDC, crBack);
    ::SetTextColor(m_hDC, crText);
    ::SetTextAlign(m_hDC, nAlign);
    ::TextOutA(m_hDC, x, y, pszText, static_cast<int>(std::strlen(pszText)));
    ::SelectObject(m_hDC, hOld);
    ::DeleteObject(hFont);
}

SIZE ReferenceCanvas::TextExtent(const char* pszFace, int nHeight, const char* pszText) {
    HFONT hFont = MakeFont(pszFace, nHeight, 0);
    HGDIOBJ hOld = ::SelectObject(m_hDC, hFont);
    SIZE size = {};
    ::GetTextExtentPoint32A(m_hDC, pszText, static_cast<int>(std::strlen(pszText)), &size);
    ::SelectObject(m_hDC, hOld);
    ::DeleteObject(hFont);
    return size;
}

void ReferenceCanvas::Line(int x0, int y0, int x1, int y1, COLORREF crPen) {
    HPEN hPen = ::CreatePen(PS_SOLID, 0, crPen);
    HGDIOBJ hOld = ::SelectObject(m_hDC, hPen);
    ::MoveToEx(m_hDC, x0, y0, nullptr);
    ::LineTo(m_hDC, x1, y1);
    ::SelectObject(m_hDC, hOld);
    ::DeleteObject(hPen);
}

void ReferenceCanvas::Fill(RECT rc, COLORREF crFill) {
    HBRUSH hBrush = ::CreateSolidBrush(crFill);
    ::FillRect(m_hDC, &rc, hBrush);
    ::DeleteObject(hBrush);
}

wintest::Image ReferenceCanvas::Image() const { return wintest::CaptureDC(m_hDC, 0, 0, m_nWidth, m_nHeight); }

std::string DiffIn(const wintest::Image& actual, const wintest::Image& expected, RECT rc) {
    std::string text;
    int nDiffering = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            if (actual.At(x, y) != expected.At(x, y)) {
                if (++nDiffering <= 8) {
                    char sz[96];
                    std::snprintf(sz, sizeof sz, " (%d,%d) is %06lx, expected %06lx;", x, y,
                                  static_cast<unsigned long>(actual.At(x, y)),
                                  static_cast<unsigned long>(expected.At(x, y)));
                    text += sz;
                }
            }
    if (nDiffering) text = std::to_string(nDiffering) + " pixels differ:" + text;
    return text;
}

RECT LitBox(const wintest::Image& image, RECT rc, COLORREF crBack) {
    RECT box = {rc.right, rc.bottom, rc.left, rc.top};
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            if (image.At(x, y) != crBack) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    if (box.left >= box.right) box = {0, 0, 0, 0};
    return box;
}
