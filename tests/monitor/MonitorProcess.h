#pragma once
// A running QRVLGRPH.exe seen from outside, as a user or the shell sees it: its windows,
// its message boxes, its exit; and the sensor daemon it talks to.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace monitortest {

// The program under test, and a Windows path for a Unix one.
std::string MonitorExe();
std::string WindowsPathOf(const std::string& unixPath);

class MonitorProcess {
public:
    explicit MonitorProcess(const std::string& arguments, const std::string& exe = MonitorExe());
    ~MonitorProcess();
    MonitorProcess(const MonitorProcess&) = delete;
    MonitorProcess& operator=(const MonitorProcess&) = delete;

    DWORD Id() const { return m_pi.dwProcessId; }
    // The monitor window once it is shown, or null.
    HWND Window(DWORD timeoutMs = 10000);
    // A message box of the program whose text begins with this, or null.
    HWND MessageBoxWith(const char* text, DWORD timeoutMs = 10000);
    // A top-level window of the program that matches, or null.
    HWND FindWindowOf(const std::function<bool(HWND)>& match, DWORD timeoutMs);
    std::vector<HWND> TopLevelWindows() const;
    bool WaitExit(DWORD timeoutMs);
    // Ends the program at once, as a crash or the task manager would.
    void Kill();
    // The exit code once it has ended, STILL_ACTIVE before.
    DWORD ExitCode() const;
    // Sends a message whose lParam points to a rectangle, as the system sends it: the
    // rectangle lives in the program's own memory.
    LRESULT SendWithRect(HWND hWnd, UINT message, WPARAM wParam, const RECT& rc);

private:
    PROCESS_INFORMATION m_pi{};
};

// Class name and text of a window.
std::string ClassOf(HWND hWnd);
std::string TextOf(HWND hWnd);
// The six chart windows in channel order (top row left to right, then the bottom row).
std::vector<HWND> ChartsOf(HWND hMonitor);
// A window's client area from the screen.
RECT ClientOnScreen(HWND hWnd);

}  // namespace monitortest
