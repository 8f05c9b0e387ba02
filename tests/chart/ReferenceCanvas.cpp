#include "ReferenceCanvas.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "CClientDC.h"

namespace {
CFont MakeFont(const char* pszFace, int nHeight, int nEscapement) {
    CFont font;
    font.CreateFont(nHeight, 0, nEscapement, 0, FW_LIGHT, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, pszFace);
    return font;
}
}  // namespace

ReferenceCanvas::ReferenceCanvas(int nWidth, int nHeight, COLORREF crBack) : m_nWidth(nWidth), m_nHeight(nHeight) {
    CClientDC screen(nullptr);
    m_layer.Create(&screen, nWidth, nHeight);
    Fill({0, 0, nWidth, nHeight}, crBack);
}

void ReferenceCanvas::Text(const char* pszFace, int nHeight, int nEscapement, UINT nAlign, int x, int y,
                           const char* pszText, COLORREF crText, COLORREF crBack) {
    const CFont font = MakeFont(pszFace, nHeight, nEscapement);
    CSelectScope scope(m_layer, font);
    ::SetBkMode(m_layer, OPAQUE);
    ::SetBkColor(m_layer, crBack);
    ::SetTextColor(m_layer, crText);
    ::SetTextAlign(m_layer, nAlign);
    ::TextOutA(m_layer, x, y, pszText, static_cast<int>(std::strlen(pszText)));
}

SIZE ReferenceCanvas::TextExtent(const char* pszFace, int nHeight, const char* pszText) {
    const CFont font = MakeFont(pszFace, nHeight, 0);
    CSelectScope scope(m_layer, font);
    SIZE size = {};
    ::GetTextExtentPoint32A(m_layer, pszText, static_cast<int>(std::strlen(pszText)), &size);
    return size;
}

void ReferenceCanvas::Line(int x0, int y0, int x1, int y1, COLORREF crPen) {
    const CPen pen(PS_SOLID, 0, crPen);
    CSelectScope scope(m_layer, pen);
    ::MoveToEx(m_layer, x0, y0, nullptr);
    ::LineTo(m_layer, x1, y1);
}

void ReferenceCanvas::Fill(RECT rc, COLORREF crFill) {
    const CBrush brush(crFill);
    ::FillRect(m_layer, &rc, brush);
}

wintest::Image ReferenceCanvas::Image() const { return wintest::CaptureDC(m_layer, 0, 0, m_nWidth, m_nHeight); }

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

std::vector<int> Range(int nFirst, int nLast, int nStep) {
    std::vector<int> values;
    for (int n = nFirst; n <= nLast; n += nStep) values.push_back(n);
    return values;
}
