#include "MonitorProcess.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "CHandle.h"
#include "WinTestSupport.h"

namespace monitortest {

namespace {
std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (!value) throw std::runtime_error(std::string("missing environment variable ") + name);
    return value;
}

}  // namespace

std::string MonitorExe() { return WindowsPathOf(Env("QRVL_MONITOR_EXE")); }

std::string WindowsPathOf(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

MonitorProcess::MonitorProcess(const std::string& arguments, const std::string& exe) {
    std::string line = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
        throw std::runtime_error("cannot start " + exe);
}

void MonitorProcess::Kill() {
    TerminateProcess(m_pi.hProcess, 1);
    WaitForSingleObject(m_pi.hProcess, 5000);
}

MonitorProcess::~MonitorProcess() {
    const CHandle process(m_pi.hProcess), thread(m_pi.hThread);
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
}

namespace {
struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindowOf(HWND hWnd, LPARAM lParam) {
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid == search->pid) search->found.push_back(hWnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> MonitorProcess::TopLevelWindows() const {
    WindowSearch search{m_pi.dwProcessId, {}};
    EnumWindows(CollectWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND MonitorProcess::FindWindowOf(const std::function<bool(HWND)>& match, DWORD timeoutMs) {
    HWND result = nullptr;
    wintest::PumpUntil(
        [&] {
            for (HWND hWnd : TopLevelWindows())
                if (match(hWnd)) result = hWnd;
            return result != nullptr;
        },
        timeoutMs);
    return result;
}

HWND MonitorProcess::Window(DWORD timeoutMs) {
    HWND hWnd = FindWindowOf(
        [](HWND hWnd) {
            return ClassOf(hWnd) == "#32770" && IsWindowVisible(hWnd) && GetDlgItem(hWnd, 1006) != nullptr &&
                   ChartsOf(hWnd).size() == 6;
        },
        timeoutMs);
    // Shown is not yet painted: give the charts their first paint.
    if (hWnd) wintest::PumpMessages(700);
    return hWnd;
}

HWND MonitorProcess::MessageBoxWith(const char* text, DWORD timeoutMs) {
    return FindWindowOf(
        [text](HWND hWnd) {
            if (ClassOf(hWnd) != "#32770" || !IsWindowVisible(hWnd)) return false;
            for (HWND hChild = GetWindow(hWnd, GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT))
                if (TextOf(hChild).rfind(text, 0) == 0) return true;
            return false;
        },
        timeoutMs);
}

bool MonitorProcess::WaitExit(DWORD timeoutMs) {
    return wintest::PumpUntil([this] { return WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
}

DWORD MonitorProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

LRESULT MonitorProcess::SendWithRect(HWND hWnd, UINT message, WPARAM wParam, const RECT& rc) {
    const CHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, m_pi.dwProcessId));
    void* pRemote =
        process ? VirtualAllocEx(process, nullptr, sizeof rc, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE) : nullptr;
    if (!pRemote || !WriteProcessMemory(process, pRemote, &rc, sizeof rc, nullptr))
        throw std::runtime_error("cannot place a rectangle in the program's memory");
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hWnd, message, wParam, reinterpret_cast<LPARAM>(pRemote), SMTO_NORMAL, 10000, &result);
    VirtualFreeEx(process, pRemote, 0, MEM_RELEASE);
    return static_cast<LRESULT>(result);
}

std::string ClassOf(HWND hWnd) {
    char name[256] = {};
    GetClassNameA(hWnd, name, sizeof name);
    return name;
}

std::string TextOf(HWND hWnd) {
    char text[512] = {};
    GetWindowTextA(hWnd, text, sizeof text);
    return text;
}

std::vector<HWND> ChartsOf(HWND hMonitor) {
    std::vector<HWND> charts;
    for (HWND hChild = GetWindow(hMonitor, GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT))
        if (ClassOf(hChild).rfind("Afx:", 0) == 0) charts.push_back(hChild);
    std::sort(charts.begin(), charts.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
    return charts;
}

RECT ClientOnScreen(HWND hWnd) {
    RECT rc;
    GetClientRect(hWnd, &rc);
    MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

}  // namespace monitortest
