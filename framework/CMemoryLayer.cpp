#include "CMemoryLayer.h"

BOOL CMemoryLayer::Create(CDC* pLike, int nWidth, int nHeight) {
    Release();
    if (!CreateCompatibleDC(pLike)) return FALSE;
    if (!m_bitmap.CreateCompatibleBitmap(pLike->GetSafeHdc(), nWidth, nHeight)) {
        DeleteDC();
        return FALSE;
    }
    m_oldBitmap = SelectObject(&m_bitmap);
    return TRUE;
}

void CMemoryLayer::Release() {
    if (m_oldBitmap.GetSafeHandle()) SelectObject(m_oldBitmap);
    m_oldBitmap = CBitmapRef();
    DeleteDC();
    m_bitmap.Release();
}
