#pragma once
// Our small application framework over Win32: the classes a program of this kind is
// written against, under their usual names.
#include "AfxRegisterWndClass.h"
#include "CBitmap.h"
#include "CBrush.h"
#include "CButton.h"
#include "CClientDC.h"
#include "CDC.h"
#include "CDataExchange.h"
#include "CDialog.h"
#include "CFont.h"
#include "CPaintDC.h"
#include "CPen.h"
#include "CResourceException.h"
#include "CString.h"
#include "CWinApp.h"
#include "CWnd.h"
#include "GdiCounters.h"
