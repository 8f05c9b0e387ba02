#pragma once
// Identifiers of the program's resources, commands and controls.

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MONITOR_DIALOG 102
#define IDR_MAINFRAME 128
#define IDI_TRAY_IDLE 129
#define IDI_TRAY_ERROR 130
#define IDI_TRAY_RECEIVED 131
#define IDR_TRAYMENU 132
#define IDI_TRAY_ALARM 133

// Placeholders of charts 0 to 5: top row CPU, PWR, SYS; bottom row Vcore, VTT, Vio.
#define IDC_CHART_FIRST 1000
#define IDC_EXIT 1006
#define IDC_TOPMOST 1007

#define ID_TOPMOST 32771
#define ID_STICK 32772
#define ID_SAVEINI 32773
#define ID_VERSION 32774
#define ID_EXIT 32775

// System-menu command of the About box; system commands keep their low four bits clear.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
