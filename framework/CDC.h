#pragma once
#include <windows.h>

#include "CBitmap.h"
#include "CBrush.h"
#include "CFont.h"
#include "CPen.h"
#include "CString.h"

// A device context. A memory context made by CreateCompatibleDC is owned and deleted;
// CClientDC and CPaintDC give theirs back to the window instead.
class CDC {
public:
    CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC();

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    BOOL CreateCompatibleDC(CDC* pDC) { return CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr); }
    // A memory context like hDC's (the screen's for null).
    BOOL CreateCompatibleDC(HDC hDC);
    BOOL DeleteDC();

    // Long-lived selection (a layer's bitmap): the caller keeps what was displaced and
    // selects it back before the bitmap or the context goes.
    CBitmapRef SelectObject(CBitmap* pBitmap);
    CBitmapRef SelectObject(CBitmapRef bitmap);

    void FillRect(const RECT* lpRect, CBrush* pBrush) { ::FillRect(m_hDC, lpRect, *pBrush); }
    COLORREF SetPixel(int x, int y, COLORREF crColor) { return ::SetPixel(m_hDC, x, y, crColor); }
    void MoveTo(int x, int y) { ::MoveToEx(m_hDC, x, y, nullptr); }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    COLORREF SetBkColor(COLORREF crColor) { return ::SetBkColor(m_hDC, crColor); }
    COLORREF SetTextColor(COLORREF crColor) { return ::SetTextColor(m_hDC, crColor); }
    int SetBkMode(int nMode) { return ::SetBkMode(m_hDC, nMode); }
    UINT SetTextAlign(UINT nFlags) { return ::SetTextAlign(m_hDC, nFlags); }
    BOOL TextOut(int x, int y, const CString& str) { return ::TextOutA(m_hDC, x, y, str, str.GetLength()); }
    BOOL ExtTextOut(int x, int y, UINT nOptions, const RECT* lpRect, const CString& str) {
        return ::ExtTextOutA(m_hDC, x, y, nOptions, lpRect, str, static_cast<UINT>(str.GetLength()), nullptr);
    }
    SIZE GetTextExtent(const CString& str) const {
        SIZE size = {0, 0};
        ::GetTextExtentPoint32A(m_hDC, str, str.GetLength(), &size);
        return size;
    }
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) {
        return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC->m_hDC, xSrc, ySrc, dwRop);
    }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

protected:
    HDC m_hDC = nullptr;
};

// Selects a pen, brush or font for one scope and puts the previous object back.
class CSelectScope {
public:
    CSelectScope(CDC& dc, HGDIOBJ hObject) : m_hDC(dc.GetSafeHdc()), m_hOld(::SelectObject(m_hDC, hObject)) {}
    ~CSelectScope() {
        if (m_hOld && m_hOld != HGDI_ERROR) ::SelectObject(m_hDC, m_hOld);
    }
    CSelectScope(const CSelectScope&) = delete;
    CSelectScope& operator=(const CSelectScope&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};
