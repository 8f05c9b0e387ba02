// The program's entry point: hands control to the application object.
#include "CWinApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    CWinApp* pApp = AfxGetApp();
    if (!pApp) return -1;
    pApp->SetNamesFromModule(hInstance);
    pApp->m_strCmdLine = AfxArgumentsOf(::GetCommandLineA());
    if (!pApp->InitInstance()) return pApp->ExitInstance();
    return pApp->Run();
}
