#include "TrayProbe.h"

#include <shellapi.h>

#include "WinTestSupport.h"

namespace trayprobe {

HWND TrayWindow() { return FindWindowA(nullptr, "Wine System Tray"); }

std::vector<HWND> ShownIcons() {
    std::vector<HWND> icons;
    HWND hTray = TrayWindow();
    if (hTray == nullptr || !IsWindowVisible(hTray)) return icons;
    for (HWND h = GetWindow(hTray, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT))
        if (IsWindowVisible(h)) icons.push_back(h);
    return icons;
}

bool InShell(HWND hOwner, UINT uID) {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hOwner;
    nid.uID = uID;
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

std::string ColourOf(HWND hIcon) {
    RECT rc;
    GetWindowRect(hIcon, &rc);
    wintest::Image image = wintest::CaptureScreen(rc);
    // The emblem's ring in the dark shade and its star in the bright one.
    const struct {
        COLORREF bright;
        COLORREF dark;
        const char* name;
    } shades[] = {{RGB(255, 0, 0), RGB(128, 0, 0), "red"},
                  {RGB(0, 255, 0), RGB(0, 128, 0), "green"},
                  {RGB(255, 0, 255), RGB(128, 0, 128), "magenta"},
                  {RGB(255, 192, 0), RGB(160, 96, 0), "amber"}};
    std::string found = "none";
    for (const auto& s : shades)
        if (image.Count(s.bright) > 10 && image.Count(s.dark) > 10) found = found == "none" ? s.name : "mixed";
    return found;
}

std::vector<std::string> Shown() {
    wintest::PumpMessages(150);
    std::vector<std::string> colours;
    for (HWND h : ShownIcons()) colours.push_back(ColourOf(h));
    return colours;
}

namespace {
HWND VisibleTooltip() {
    for (HWND h = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); h != nullptr;
         h = FindWindowExA(nullptr, h, "tooltips_class32", nullptr))
        if (IsWindowVisible(h)) return h;
    return nullptr;
}
}  // namespace

std::string TipShown() {
    std::vector<HWND> icons = ShownIcons();
    if (icons.empty()) return "(no icon)";
    RECT rc;
    GetWindowRect(icons[0], &rc);
    bool shown = false;
    for (int attempt = 0; attempt < 3 && !shown; ++attempt) {
        wintest::MoveMouse(700, 500);
        wintest::PumpUntil([] { return VisibleTooltip() == nullptr; }, 3000);
        wintest::MoveMouse((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        shown = wintest::PumpUntil([] { return VisibleTooltip() != nullptr; }, 3000);
    }
    if (!shown) return "(no tip)";
    char text[256] = {};
    DWORD_PTR copied = 0;
    // The tooltip belongs to the shell's process; WM_GETTEXT is marshalled across.
    SendMessageTimeoutA(VisibleTooltip(), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, &copied);
    wintest::MoveMouse(700, 500);
    return text;
}

}  // namespace trayprobe
