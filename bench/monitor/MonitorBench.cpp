// Measures the running monitor program under wine: its CPU use at one poll a second, its
// memory at start and after many polls, and the time from a reading leaving the sensor
// host to its value on the screen. The host is played by this program on loopback.
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

#include "CHandle.h"
#include "MonitorProcess.h"
#include "WinTestSupport.h"
#include "qrvl/Wire.h"

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

void WriteProfile(int monitorTimer) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "[bench]\r\nHostName=127.0.0.1:%u\r\nDelayTimer=0\r\nMonitorTimer=%d\r\nSocketTimer=1000\r\n"
                  "Left=300\r\nTop=300\r\nRight=750\r\nBottom=460\r\nSaveIni=0\r\n",
                  kPort, monitorTimer);
    wintest::WriteWindowsFile("QRVLGRPH.INI", text);
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

    {
        // Reading to pixels: the readout of the CPU chart changes with every reading.
        WriteProfile(1);
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
        std::printf("CPU use at MonitorTimer 1: %.3f s in %.0f s (%.2f %% of one core), %ld polls\n", cpu, elapsed,
                    100 * cpu / elapsed, host.Answered() - polls0);
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
        monitor.WaitExit(5000);
    }

    {
        // Memory at start and after many polls without pause.
        WriteProfile(0);
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
