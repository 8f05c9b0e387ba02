#include "AfxModule.h"

namespace {
HINSTANCE g_hInstance = nullptr;
}

HINSTANCE AfxGetInstanceHandle() { return g_hInstance ? g_hInstance : ::GetModuleHandleA(nullptr); }

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

void AfxSetInstanceHandle(HINSTANCE hInstance) { g_hInstance = hInstance; }
