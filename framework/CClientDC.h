#pragma once
#include "CDC.h"

class CWnd;

// The client-area context of a window for one drawing pass. Throws CResourceException
// when the window gives none.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};
