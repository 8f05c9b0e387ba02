#pragma once
#include <windows.h>

#include "CString.h"

// The system's words for an error code, with the code: "Access is denied. (error 5)".
CString ErrorText(DWORD dwError);
