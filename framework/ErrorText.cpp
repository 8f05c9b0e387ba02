#include "ErrorText.h"

CString ErrorText(DWORD dwError) {
    char szReason[512] = "";
    DWORD nLength = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError, 0,
                                     szReason, sizeof szReason, nullptr);
    while (nLength > 0 && (szReason[nLength - 1] == '\r' || szReason[nLength - 1] == '\n')) szReason[--nLength] = '\0';
    CString strText;
    strText.Format("%s (error %lu)", szReason, dwError);
    return strText;
}
