#include "AfxRegisterWndClass.h"

#include "AfxModule.h"
#include "CWnd.h"

CString AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon) {
    HINSTANCE hInstance = AfxGetInstanceHandle();
    CString strName;
    strName.Format("Afx:%p:%x:%p:%p:%p", static_cast<void*>(hInstance), nClassStyle, static_cast<void*>(hCursor),
                   static_cast<void*>(hbrBackground), static_cast<void*>(hIcon));
    WNDCLASSA wc;
    if (::GetClassInfoA(hInstance, strName, &wc)) return strName;
    wc = {};
    wc.style = nClassStyle;
    // Windows of our own classes bind to their object at WM_NCCREATE.
    wc.lpfnWndProc = AfxWndProc;
    wc.hInstance = hInstance;
    wc.hCursor = hCursor;
    wc.hbrBackground = hbrBackground;
    wc.hIcon = hIcon;
    wc.lpszClassName = strName;
    ::RegisterClassA(&wc);
    return strName;
}
