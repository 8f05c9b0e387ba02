#pragma once
#include "CDialog.h"

// The version box: the icon, the product line and the version, closed by OK.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};
