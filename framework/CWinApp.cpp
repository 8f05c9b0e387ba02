#include "CWinApp.h"

#include <cstring>

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp(LPCSTR lpszAppName) : m_strAppName(lpszAppName) {
    g_pApp = this;
    AfxSetInstanceHandle(nullptr);
}

CWinApp::~CWinApp() {
    if (g_pApp != this) return;
    g_pApp = nullptr;
    AfxSetInstanceHandle(nullptr);
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance() { return 0; }

void CWinApp::SetNamesFromModule(HINSTANCE hInstance) {
    m_hInstance = hInstance;
    AfxSetInstanceHandle(hInstance);
    char szPath[MAX_PATH];
    DWORD nLength = ::GetModuleFileNameA(hInstance, szPath, sizeof szPath);
    if (nLength == 0 || nLength >= sizeof szPath) return;
    const char* pszName = szPath;
    for (const char* p = szPath; *p; p = ::CharNextA(p)) {
        if (*p == '\\' || *p == '/' || *p == ':') pszName = p + 1;
    }
    const char* pszDot = std::strrchr(pszName, '.');
    CString strName(pszName, pszDot ? static_cast<int>(pszDot - pszName) : static_cast<int>(std::strlen(pszName)));
    if (m_strAppName.IsEmpty()) m_strAppName = strName;
    m_strProfileName = strName + ".INI";
}

CString CWinApp::GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault) {
    // A buffer too small for a double-byte character returns a stale byte: use the full 4096.
    char szValue[4096];
    DWORD nLength = ::GetPrivateProfileStringA(lpszSection, lpszEntry, lpszDefault ? lpszDefault : "", szValue,
                                               sizeof szValue, m_strProfileName);
    return CString(szValue, static_cast<int>(nLength));
}

UINT CWinApp::GetProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nDefault) {
    return ::GetPrivateProfileIntA(lpszSection, lpszEntry, nDefault, m_strProfileName);
}

BOOL CWinApp::WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue) {
    return ::WritePrivateProfileStringA(lpszSection, lpszEntry, lpszValue, m_strProfileName);
}

BOOL CWinApp::WriteProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nValue) {
    CString strValue;
    strValue.Format("%d", nValue);
    return WriteProfileString(lpszSection, lpszEntry, strValue);
}

CString CWinApp::GetProfilePath() const {
    // Stepped by character: a trail byte of a double-byte character can look like a backslash.
    for (const char* p = m_strProfileName; *p; p = ::CharNextA(p))
        if (*p == '\\' || *p == '/' || *p == ':') return m_strProfileName;
    char szFolder[MAX_PATH];
    UINT nLength = ::GetWindowsDirectoryA(szFolder, sizeof szFolder);
    if (nLength == 0 || nLength >= sizeof szFolder) return m_strProfileName;
    return CString(szFolder) + "\\" + m_strProfileName;
}

CWinApp* AfxGetApp() { return g_pApp; }

CString AfxArgumentsOf(const char* pszCommandLine) {
    const char* p = pszCommandLine ? pszCommandLine : "";
    if (*p == '"') {
        for (++p; *p && *p != '"'; p = ::CharNextA(p)) {
        }
        if (*p == '"') ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') p = ::CharNextA(p);
    }
    while (*p == ' ' || *p == '\t') ++p;
    return CString(p);
}
