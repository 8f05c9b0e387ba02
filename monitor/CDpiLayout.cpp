#include "CDpiLayout.h"

#include "DisplayScale.h"

namespace {

// A font's dialog base units, as the dialog manager measures them: the average width of
// the Latin letters, rounded, and the cell height.
SIZE BaseUnits(HFONT hFont) {
    HDC hdc = ::GetDC(nullptr);
    HGDIOBJ hOld = ::SelectObject(hdc, hFont);
    TEXTMETRICA tm = {};
    ::GetTextMetricsA(hdc, &tm);
    SIZE size = {};
    ::GetTextExtentPoint32A(hdc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &size);
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(nullptr, hdc);
    return {(size.cx / 26 + 1) / 2, tm.tmHeight};
}

}  // namespace

void CDpiLayout::Record(HWND hDialog, UINT nDpi) {
    // Pixels at nDpi back to dialog units, then to pixels with the units of the same font
    // at 96. Without a font to measure, the ratio of the DPIs stands in.
    SIZE now = {static_cast<LONG>(nDpi), static_cast<LONG>(nDpi)};
    SIZE at96 = {displayscale::kBaseDpi, displayscale::kBaseDpi};
    LOGFONTA lf;
    const auto hFont = reinterpret_cast<HFONT>(::SendMessageA(hDialog, WM_GETFONT, 0, 0));
    if (hFont && ::GetObjectA(hFont, sizeof lf, &lf)) {
        now = BaseUnits(hFont);
        lf.lfHeight = ::MulDiv(lf.lfHeight, displayscale::kBaseDpi, static_cast<int>(nDpi));
        HFONT hFont96 = ::CreateFontIndirectA(&lf);
        at96 = BaseUnits(hFont96);
        ::DeleteObject(hFont96);
    }
    auto x = [&](LONG n) { return static_cast<LONG>(::MulDiv(::MulDiv(n, 4, now.cx), at96.cx, 4)); };
    auto y = [&](LONG n) { return static_cast<LONG>(::MulDiv(::MulDiv(n, 8, now.cy), at96.cy, 8)); };
    m_children.clear();
    for (HWND hChild = ::GetWindow(hDialog, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        RECT rc;
        ::GetWindowRect(hChild, &rc);
        ::MapWindowPoints(nullptr, hDialog, reinterpret_cast<POINT*>(&rc), 2);
        m_children.push_back({hChild, ::GetDlgCtrlID(hChild), {x(rc.left), y(rc.top), x(rc.right), y(rc.bottom)}});
    }
}

RECT CDpiLayout::RectAt(int nID, UINT nDpi) const {
    for (const Child& child : m_children)
        if (child.nID == nID) return displayscale::ScaleRect(child.rc, displayscale::kBaseDpi, nDpi);
    return {};
}

void CDpiLayout::PlaceAt(UINT nDpi) const {
    for (const Child& child : m_children) {
        const RECT rc = displayscale::ScaleRect(child.rc, displayscale::kBaseDpi, nDpi);
        ::SetWindowPos(child.hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}
