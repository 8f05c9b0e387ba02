#include "WinTestSupport.h"

#include "CClientDC.h"
#include "CHandle.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace wintest {

int Image::Count(COLORREF color, RECT area) const {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (x >= 0 && y >= 0 && x < width && y < height && At(x, y) == color) ++n;
    return n;
}

std::vector<int> Image::ColumnsOf(int y, COLORREF color) const {
    std::vector<int> columns;
    for (int x = 0; x < width; ++x)
        if (At(x, y) == color) columns.push_back(x);
    return columns;
}

std::vector<int> Image::RowsOf(int x, COLORREF color) const {
    std::vector<int> rows;
    for (int y = 0; y < height; ++y)
        if (At(x, y) == color) rows.push_back(y);
    return rows;
}

bool Image::SaveBmp(const std::string& path) const {
    int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * height);
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    std::vector<unsigned char> row(static_cast<size_t>(stride));
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            COLORREF c = At(x, y);
            row[x * 3] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
        out.write(reinterpret_cast<const char*>(row.data()), stride);
    }
    return static_cast<bool>(out);
}

Image CaptureDC(HDC hdc, int x, int y, int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    CBitmap dib;
    dib.Attach(CreateDIBSection(hdc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    CDC mem;
    mem.CreateCompatibleDC(hdc);
    CBitmapRef old = mem.SelectObject(&dib);
    BitBlt(mem, 0, 0, width, height, hdc, x, y, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const DWORD*>(bits);
    image.pixels.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        DWORD bgra = p[i];
        image.pixels[i] = RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
    }
    mem.SelectObject(old);
    return image;
}

Image CaptureBitmap(HBITMAP hBitmap) {
    BITMAP bm = {};
    GetObject(hBitmap, sizeof bm, &bm);
    CClientDC screen(nullptr);
    CDC mem;
    mem.CreateCompatibleDC(&screen);
    CBitmapRef old = mem.SelectObject(CBitmapRef(hBitmap));
    Image image = CaptureDC(mem, 0, 0, bm.bmWidth, bm.bmHeight);
    mem.SelectObject(old);
    return image;
}

Image CaptureClient(HWND hWnd) {
    RECT rc;
    GetClientRect(hWnd, &rc);
    HDC hdc = GetDC(hWnd);
    Image image = CaptureDC(hdc, 0, 0, rc.right, rc.bottom);
    ReleaseDC(hWnd, hdc);
    return image;
}

Image CaptureScreen(RECT area) {
    CClientDC screen(nullptr);
    return CaptureDC(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
}

double MeasureMs(const std::function<void()>& call) {
    LARGE_INTEGER t0, t1, f;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    call();
    QueryPerformanceCounter(&t1);
    return static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

void PumpMessages(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMilliseconds) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

namespace {
void SendMouse(DWORD flags, int x, int y) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    input.mi.dy = MulDiv(y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}
}  // namespace

void MoveMouse(int x, int y) { SendMouse(MOUSEEVENTF_MOVE, x, y); }

void Click(int x, int y, bool rightButton) {
    SendMouse(MOUSEEVENTF_MOVE, x, y);
    PumpMessages(50);
    SendMouse(rightButton ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN, x, y);
    PumpMessages(50);
    SendMouse(rightButton ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP, x, y);
    PumpMessages(50);
}

void Drag(int fromX, int fromY, int toX, int toY) {
    SendMouse(MOUSEEVENTF_MOVE, fromX, fromY);
    PumpMessages(50);
    SendMouse(MOUSEEVENTF_LEFTDOWN, fromX, fromY);
    PumpMessages(100);
    for (int i = 1; i <= 10; ++i) {
        SendMouse(MOUSEEVENTF_MOVE, fromX + (toX - fromX) * i / 10, fromY + (toY - fromY) * i / 10);
        PumpMessages(30);
    }
    SendMouse(MOUSEEVENTF_LEFTUP, toX, toY);
    PumpMessages(100);
}

std::string WindowsPath(const char* name) {
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\" + name;
}

std::string ReadWindowsFile(const char* name) {
    std::ifstream in(WindowsPath(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void DeleteWindowsFile(const char* name) {
    // The profile API caches files; flush it so the next read sees the disk.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, name);
    DeleteFileA(WindowsPath(name).c_str());
}

void WriteWindowsFile(const char* name, const std::string& text) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, name);
    std::ofstream out(WindowsPath(name), std::ios::binary);
    out << text;
}

std::string Resource(const char* name) {
    HRSRC hInfo = FindResourceA(nullptr, name, RT_RCDATA);
    if (!hInfo) return std::string();
    HGLOBAL hData = LoadResource(nullptr, hInfo);
    return std::string(static_cast<const char*>(LockResource(hData)), SizeofResource(nullptr, hInfo));
}

std::string DefaultSection() {
    std::string text;
    for (char c : Resource("DEFAULT_SECTION")) {
        if (c == '\n') text += '\r';
        text += c;
    }
    return text;
}

std::string Renamed(std::string text, const std::string& section) {
    text.replace(1, text.find(']') - 1, section);
    return text;
}

std::string Edited(std::string text, const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [key, value] : values) {
        size_t start = text.find("\n" + key + "=") + key.size() + 2;
        text.replace(start, text.find('\r', start) - start, value);
    }
    return text;
}

namespace {
void DaemonControl(const char* what, const char* stateVariable) {
    const char* launcher = std::getenv("QRVL_LAUNCHER");
    const char* state = std::getenv(stateVariable);
    if (!launcher || !state)
        throw std::runtime_error(std::string("QRVL_LAUNCHER and ") + stateVariable + " name the daemon's launcher");
    std::string line = std::string("start.exe /wait /unix /bin/sh ") + launcher + " " + what + " " + state;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        throw std::runtime_error("cannot run " + line);
    CHandle thread(pi.hThread), process(pi.hProcess);
    WaitForSingleObject(process, 30000);
}
}  // namespace

void StopDaemon(const char* stateVariable) { DaemonControl("stop", stateVariable); }
void StartDaemon(const char* stateVariable) { DaemonControl("start", stateVariable); }

}  // namespace wintest
