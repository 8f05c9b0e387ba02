#include "CClientDC.h"

#include "CResourceException.h"
#include "CWnd.h"

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->GetSafeHwnd() : nullptr) {
    m_hDC = ::GetDC(m_hWnd);
    if (!m_hDC) AfxThrowResourceException();
    GdiCounters::NoteCreated();
}

CClientDC::~CClientDC() {
    ::ReleaseDC(m_hWnd, m_hDC);
    GdiCounters::NoteReleased();
    m_hDC = nullptr;
}
