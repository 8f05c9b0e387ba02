#pragma once
#include <windows.h>

#include "CString.h"

// Registers (once) a window class with the default window procedure and these attributes
// and returns its generated name; the same attributes give the same class.
CString AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr, HBRUSH hbrBackground = nullptr,
                            HICON hIcon = nullptr);
