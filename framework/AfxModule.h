#pragma once
#include <windows.h>

// The module the program runs from and the one its resources come from: below the
// application object and the string class, which both need them.
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// The application object names its module here; null means the executable.
void AfxSetInstanceHandle(HINSTANCE hInstance);
