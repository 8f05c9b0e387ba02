#pragma once
// Lengths are given at 96 DPI and drawn at the DPI of the monitor a window is on. The
// per-monitor functions came with later versions of Windows: each is looked up at run time
// and, where missing, the system-wide DPI stands in.
#include <windows.h>

// Older headers declare it only for newer Windows versions.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace displayscale {

constexpr UINT kBaseDpi = 96;

// A length at 96 DPI, in pixels at nDpi.
inline int Scale(int nLength, UINT nDpi) { return ::MulDiv(nLength, static_cast<int>(nDpi), kBaseDpi); }
// Every edge scaled by nToDpi / nFromDpi.
RECT ScaleRect(const RECT& rc, UINT nFromDpi, UINT nToDpi);

// The DPI a window draws at.
UINT DpiOfWindow(HWND hWnd);
// The DPI of the monitor that holds most of the rectangle (the nearest when none does).
UINT DpiOfRect(const RECT& rc);
// A system metric (SM_CXICON, SM_CXSMICON, ...) at nDpi.
int SystemMetric(int nIndex, UINT nDpi);

}  // namespace displayscale
