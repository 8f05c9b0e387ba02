#pragma once
#include "CWinApp.h"

// The application object: runs the monitor window as a modal dialog and ends the
// program when it closes.
class CMonitorApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

extern CMonitorApp theApp;
