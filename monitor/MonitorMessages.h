#pragma once
#include <windows.h>

// The monitor window's own messages.

// From the tray icon: wParam the icon's id, lParam the mouse message (WM_LBUTTONDOWN, ...).
constexpr UINT WM_TRAYNOTIFY = WM_APP + 0x97;
// From the sampling worker, one per poll: wParam a CMonitorRun::Outcome, lParam for a
// reading a copy of it on the heap, which the handler takes over (else 0).
constexpr UINT WM_SAMPLED = WM_APP + 0x98;
// Posted after the always-on-top command to bring the controls up to date: both 0.
constexpr UINT WM_REFRESHCONTROLS = WM_APP + 0x99;
// From the log's writer: wParam a CLogWriter::Event, lParam its object on the heap, which
// the handler takes over.
constexpr UINT WM_LOGEVENT = WM_APP + 0x9A;
// The window's timer that ends a look back after a minute without a wheel turn.
constexpr UINT_PTR ID_LOOKBACK_TIMER = 1;
