#include "CPaintDC.h"

#include "CResourceException.h"
#include "CWnd.h"

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd()) {
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
    if (!m_hDC) AfxThrowResourceException();
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
    m_hDC = nullptr;
}
