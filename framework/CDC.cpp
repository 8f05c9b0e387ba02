#include "CDC.h"

CDC::~CDC() { DeleteDC(); }

BOOL CDC::CreateCompatibleDC(HDC hDC) {
    DeleteDC();
    m_hDC = ::CreateCompatibleDC(hDC);
    if (m_hDC) GdiCounters::NoteCreated();
    return m_hDC != nullptr;
}

BOOL CDC::DeleteDC() {
    if (!m_hDC) return FALSE;
    BOOL bOk = ::DeleteDC(m_hDC);
    GdiCounters::NoteReleased();
    m_hDC = nullptr;
    return bOk;
}

CBitmapRef CDC::SelectObject(CBitmap* pBitmap) { return SelectObject(CBitmapRef(pBitmap->GetSafeHandle())); }

CBitmapRef CDC::SelectObject(CBitmapRef bitmap) {
    return CBitmapRef(static_cast<HBITMAP>(::SelectObject(m_hDC, bitmap.GetSafeHandle())));
}
