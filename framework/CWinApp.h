#pragma once
#include <windows.h>

#include "AfxModule.h"
#include "CString.h"

class CWnd;

// The one application object. Its constructor registers it; the program's entry point
// sets up its names and command line and calls InitInstance.
class CWinApp {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // Start-up; false ends the program without a message loop of the application's own.
    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();

    // Names from the executable's file name: "QRVLGRPH" and "QRVLGRPH.INI" for QRVLGRPH.EXE.
    // The profile name has no directory, so the platform puts the file in the Windows folder.
    void SetNamesFromModule(HINSTANCE hInstance);

    // Profile access on m_strProfileName, section first.
    CString GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault = nullptr);
    // Accepts decimal with an optional minus sign and hexadecimal with a "0x" prefix.
    UINT GetProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nDefault);
    BOOL WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue);
    BOOL WriteProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nValue);
    // Where the profile file is: a bare name lives in the Windows folder.
    CString GetProfilePath() const;

    // Set by SetNamesFromModule, which names it to AfxSetInstanceHandle too.
    HINSTANCE m_hInstance = nullptr;
    CString m_strAppName;
    CString m_strProfileName;
    // The text after the program name and the blanks that follow it.
    CString m_strCmdLine;
    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
// The command-line text after the program name and the blanks that follow it.
CString AfxArgumentsOf(const char* pszCommandLine);
