#pragma once
// What the notification area shows, read back from the shell's own windows under wine.
#include <windows.h>

#include <string>
#include <vector>

namespace trayprobe {

// The shell's window for notification icons when no desktop panel docks them.
HWND TrayWindow();
// The icon windows the shell shows, left to right.
std::vector<HWND> ShownIcons();
// Whether the shell knows the icon: a modification that changes nothing succeeds only then.
bool InShell(HWND hOwner, UINT uID);
// "red", "green", "magenta" or "amber" for the emblem an icon window shows; "none" without one.
std::string ColourOf(HWND hIcon);
// The colour of every shown icon, once the shell has had time to draw.
std::vector<std::string> Shown();
// The tip a user sees when resting the mouse on the first icon. Under load the shell may
// miss the pointer's arrival, so the mouse leaves and comes back, as a user would, up to
// three times.
std::string TipShown();

}  // namespace trayprobe
