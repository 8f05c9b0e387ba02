#pragma once
#include "CDC.h"

class CWnd;

// BeginPaint for the scope of a WM_PAINT handler, EndPaint at its end.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};
