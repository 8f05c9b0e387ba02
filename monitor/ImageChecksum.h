#pragma once
#include <windows.h>

// True when the executable file at this path carries a PE checksum and it matches the
// file's contents: a changed byte or a cut file fails.
bool VerifyImageChecksum(const char* pszPath);
