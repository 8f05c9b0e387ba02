// Measures the running monitor program under wine: its CPU use at one poll a second with
// the log on, its memory at start (with and without a full day of history) and after many
// polls, the time from a reading leaving the sensor host to its value on the screen, a
// paint live and at the 24-hour span, and the log's reading back of a day and its append
// of a row. The host is played by this program on loopback.
//
// usage: monitor_bench.exe PROGRAM [POLLS]   PROGRAM: Windows path of QRVLGRPH.exe
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CDailyLog.h"
#include "CHandle.h"
#include "CWindowsClock.h"
#include "MonitorProcess.h"
#include "WinTestSupport.h"
#include "qrvl/Wire.h"
#include "qrvl/history/LogRow.h"

namespace {

const unsigned short kPort = 27191;

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Answers every request at once; the CPU temperature alternates so each reading changes
// the readout.
class Host {
public:
    Host() {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        m_socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(kPort);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(m_socket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            std::fprintf(stderr, "cannot bind 127.0.0.1:%u\n", kPort);
            std::exit(1);
        }
        DWORD timeout = 100;
        setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        m_thread = std::thread([this] { Serve(); });
    }
    ~Host() {
        m_bStop = true;
        m_thread.join();
        closesocket(m_socket);
        WSACleanup();
    }
    long Answered() const { return m_nAnswered; }
    double LastSent() const { return m_dLastSent; }

private:
    void Serve() {
        while (!m_bStop) {
            std::uint8_t request[256];
            sockaddr_in from = {};
            int fromLength = sizeof from;
            int n = recvfrom(m_socket, reinterpret_cast<char*>(request), sizeof request, 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n <= 0 || qrvl::wire::checkRequest(request, static_cast<size_t>(n)) != qrvl::wire::RequestCheck::Valid)
                continue;
            std::uint8_t record[qrvl::wire::kRecordSize] = {};
            const char* fields[6] = {m_nAnswered % 2 ? "30.0" : "50.0", "40.0", "35.0", "2.500", "2.500", "3.500"};
            for (int i = 0; i < 6; ++i) std::memcpy(record + 8 * i, fields[i], std::strlen(fields[i]));
            std::uint8_t response[qrvl::wire::kResponseSize];
            qrvl::wire::encodeResponse(qrvl::wire::requestSequence(request), qrvl::wire::kStatusReading, record,
                                       response);
            m_dLastSent = Seconds();
            sendto(m_socket, reinterpret_cast<const char*>(response), sizeof response, 0,
                   reinterpret_cast<sockaddr*>(&from), fromLength);
            ++m_nAnswered;
        }
    }

    SOCKET m_socket;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<long> m_nAnswered{0};
    std::atomic<double> m_dLastSent{0};
};

// The log's folder, under the Windows directory.
const char kLogFolder[] = "qrvl-bench-log";

void WriteProfile(int monitorTimer, bool bLog) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "[bench]\r\nHostName=127.0.0.1:%u\r\nDelayTimer=0\r\nMonitorTimer=%d\r\nSocketTimer=1000\r\n"
                  "Left=300\r\nTop=300\r\nRight=750\r\nBottom=460\r\nSaveIni=0\r\n%s%s\r\n",
                  kPort, monitorTimer, bLog ? "LogFolder=" : "", bLog ? wintest::WindowsPath(kLogFolder).c_str() : "");
    wintest::WriteWindowsFile("QRVLGRPH.INI", text);
}

// A day of the section's log, a reading a second up to now, in the files of its local days.
void WriteFullDay(const CWindowsClock& clock) {
    const std::string folder = wintest::WindowsPath(kLogFolder);
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    const HANDLE hFind = FindFirstFileA((folder + "\\bench-*").c_str(), &found);
    for (bool more = hFind != INVALID_HANDLE_VALUE; more; more = FindNextFileA(hFind, &found))
        DeleteFileA((folder + "\\" + found.cFileName).c_str());
    if (hFind != INVALID_HANDLE_VALUE) FindClose(hFind);
    const std::int64_t now = clock.nowUtcMs();
    std::string day, name;
    for (std::int64_t t = now - 86400000; t < now; t += 1000) {
        char texts[6][8];
        const char* fields[6];
        for (int c = 0; c < 6; ++c) {
            std::snprintf(texts[c], sizeof texts[c], c < 3 ? "%.1f" : "%.3f", (c < 3 ? 40.0 : 2.5) + (t / 1000 % 97) * 0.01);
            fields[c] = texts[c];
        }
        const int offset = clock.offsetMinutesAt(t);
        std::string row;
        qrvl::history::appendLocalTime(row, t, offset);
        const std::string file = "bench-" + row.substr(0, 10) + ".csv";
        if (file != name) {
            if (!name.empty()) wintest::WriteWindowsFile((std::string(kLogFolder) + "\\" + name).c_str(), day);
            name = file;
            day = qrvl::history::logFileStart();
        }
        qrvl::history::appendLogRow(day, t, offset, fields, "");
    }
    wintest::WriteWindowsFile((std::string(kLogFolder) + "\\" + name).c_str(), day);
}

// Milliseconds of one synchronous repaint of each chart, median over rounds.
double PaintMs(const std::vector<HWND>& charts) {
    std::vector<double> times;
    for (int round = 0; round < 40; ++round) {
        const double start = Seconds();
        for (HWND hChart : charts) RedrawWindow(hChart, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        times.push_back((Seconds() - start) * 1000);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double CpuSeconds(HANDLE hProcess) {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(hProcess, &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

void PrintMemory(const char* when, HANDLE hProcess) {
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
    std::printf("memory %-28s working set %7.1f MiB, private %7.1f MiB\n", when, pmc.WorkingSetSize / 1048576.0,
                pmc.PrivateUsage / 1048576.0);
}

HANDLE OpenForCounters(DWORD pid) {
    return OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: monitor_bench PROGRAM [POLLS]\n");
        return 2;
    }
    const std::string program = argv[1];
    const long polls = argc > 2 ? std::atol(argv[2]) : 1000;
    Host host;
    CWindowsClock clock;
    WriteFullDay(clock);

    {
        // The log's own work, in this process: a day read back as the program does at start,
        // then rows appended one by one.
        CDailyLog log(clock);
        qrvl::history::DayRing ring;
        double start = Seconds();
        log.Open(wintest::WindowsPath(kLogFolder).c_str(), "bench-append", 30, ring);
        const double emptyMs = (Seconds() - start) * 1000;
        CDailyLog day(clock);
        start = Seconds();
        day.Open(wintest::WindowsPath(kLogFolder).c_str(), "bench", 30, ring);
        std::printf("log: a full day read back at start (%zu readings): %.1f ms (an empty folder: %.1f ms)\n",
                    ring.size(), (Seconds() - start) * 1000, emptyMs);
        const char* fields[6] = {"45.5", "40.0", "35.0", "2.500", "2.500", "3.500"};
        std::vector<double> appends;
        for (int i = 0; i < 200; ++i) {
            start = Seconds();
            log.Append(clock.nowUtcMs(), fields, "");
            appends.push_back((Seconds() - start) * 1e6);
        }
        std::sort(appends.begin(), appends.end());
        std::printf("log: a row appended: median %.1f us, 90th %.1f us\n", appends[appends.size() / 2],
                    appends[appends.size() * 9 / 10]);
    }

    {
        // A paint of the six charts, live and at the 24-hour span with a full day.
        WriteProfile(3600, true);
        monitortest::MonitorProcess monitor("bench", program);
        HWND hWnd = monitor.Window();
        const std::vector<HWND> charts = monitortest::ChartsOf(hWnd);
        Sleep(2000);
        const double live = PaintMs(charts);
        const RECT rc = monitortest::ClientOnScreen(charts[0]);
        PostMessageA(hWnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 4 * WHEEL_DELTA), MAKELPARAM(rc.left + 5, rc.top + 5));
        Sleep(500);
        std::printf("paint of six charts: live %.2f ms, 24h span with a full day %.2f ms\n", live, PaintMs(charts));
        const CHandle hProcess(OpenForCounters(monitor.Id()));
        PrintMemory("with a full day:", hProcess);
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
        monitor.WaitExit(5000);
    }

    {
        // Reading to pixels: the readout of the CPU chart changes with every reading.
        WriteProfile(1, true);
        monitortest::MonitorProcess monitor("bench", program);
        HWND hWnd = monitor.Window();
        if (!hWnd) {
            std::fprintf(stderr, "the monitor did not show its window\n");
            return 1;
        }
        HWND hChart = monitortest::ChartsOf(hWnd)[0];
        RECT readout = monitortest::ClientOnScreen(hChart);
        readout.top += 3;
        readout.bottom = readout.top + 12;
        std::vector<double> latencies;
        wintest::Image last = wintest::CaptureScreen(readout);
        long answered = host.Answered();
        while (latencies.size() < 30) {
            while (host.Answered() == answered) Sleep(1);
            answered = host.Answered();
            double sent = host.LastSent();
            for (double start = Seconds(); Seconds() - start < 2;) {
                wintest::Image now = wintest::CaptureScreen(readout);
                if (now.pixels != last.pixels) {
                    latencies.push_back((Seconds() - sent) * 1000);
                    last = now;
                    break;
                }
            }
        }
        std::sort(latencies.begin(), latencies.end());
        std::printf("reading to pixels over %zu readings: median %.1f ms, 90th %.1f ms, max %.1f ms\n",
                    latencies.size(), latencies[latencies.size() / 2], latencies[latencies.size() * 9 / 10],
                    latencies.back());

        // Moves to a monitor of twice the DPI and back, as WM_DPICHANGED tells them: from the
        // message until the window answers the next one.
        std::vector<double> rescales;
        RECT rc;
        GetWindowRect(hWnd, &rc);
        for (int i = 0; i < 20; ++i) {
            const int dpi = i % 2 ? 96 : 192;
            const RECT to = {rc.left, rc.top, rc.left + MulDiv(rc.right - rc.left, dpi, 96),
                             rc.top + MulDiv(rc.bottom - rc.top, dpi, 96)};
            rescales.push_back(wintest::MeasureMs([&] {
                monitor.SendWithRect(hWnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), to);
                SendMessageA(hWnd, WM_NULL, 0, 0);
            }));
        }
        std::sort(rescales.begin(), rescales.end());
        std::printf("DPI change until the window answers, over %zu changes: median %.1f ms, max %.1f ms\n",
                    rescales.size(), rescales[rescales.size() / 2], rescales.back());

        // CPU use over 60 s at one poll a second.
        const CHandle hProcess(OpenForCounters(monitor.Id()));
        double cpu0 = CpuSeconds(hProcess), t0 = Seconds();
        long polls0 = host.Answered();
        Sleep(60000);
        double cpu = CpuSeconds(hProcess) - cpu0, elapsed = Seconds() - t0;
        std::printf("CPU use at MonitorTimer 1, log on: %.3f s in %.0f s (%.2f %% of one core), %ld polls\n", cpu, elapsed,
                    100 * cpu / elapsed, host.Answered() - polls0);
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
        monitor.WaitExit(5000);
    }

    {
        // Memory at start and after many polls without pause, without a log.
        WriteProfile(0, false);
        long start = host.Answered();
        monitortest::MonitorProcess monitor("bench", program);
        HWND hWnd = monitor.Window();
        const CHandle hProcess(OpenForCounters(monitor.Id()));
        while (host.Answered() - start < 2) Sleep(10);
        PrintMemory("at start (2 polls):", hProcess);
        double t0 = Seconds();
        while (host.Answered() - start < polls) {
            Sleep(1000);
            if (static_cast<long>(Seconds() - t0) % 60 == 0)
                std::fprintf(stderr, "%ld polls...\n", host.Answered() - start);
        }
        char when[64];
        std::snprintf(when, sizeof when, "after %ld polls:", host.Answered() - start);
        PrintMemory(when, hProcess);
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
        monitor.WaitExit(5000);
    }
    return 0;
}
