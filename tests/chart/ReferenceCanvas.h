#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "CMemoryLayer.h"
#include "WinTestSupport.h"

// A memory bitmap like the chart's layers, on which a test draws with plain GDI calls what
// the chart should show.
class ReferenceCanvas {
public:
    ReferenceCanvas(int nWidth, int nHeight, COLORREF crBack);

    // Opaque text on crBack in a font made like the chart's fonts.
    void Text(const char* pszFace, int nHeight, int nEscapement, UINT nAlign, int x, int y, const char* pszText,
              COLORREF crText, COLORREF crBack);
    // Width and height of a text in such a font.
    SIZE TextExtent(const char* pszFace, int nHeight, const char* pszText);
    void Line(int x0, int y0, int x1, int y1, COLORREF crPen);
    void Fill(RECT rc, COLORREF crFill);
    wintest::Image Image() const;

private:
    CMemoryLayer m_layer;
    int m_nWidth;
    int m_nHeight;
};

// Empty when the two images agree inside the rectangle, else the first differences.
std::string DiffIn(const wintest::Image& actual, const wintest::Image& expected, RECT rc);

// The numbers from nFirst to nLast, nStep apart: the rows or columns a line should cover.
std::vector<int> Range(int nFirst, int nLast, int nStep = 1);

// The bounding box of the pixels of a rectangle that differ from crBack (empty if none).
RECT LitBox(const wintest::Image& image, RECT rc, COLORREF crBack);
