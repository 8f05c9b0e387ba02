#pragma once
// What the Windows tests need to see and drive real windows under wine: pixels read back
// from bitmaps, device contexts, windows and the screen; message pumping; real mouse input.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace wintest {

// Pixels as COLORREF values (0x00BBGGRR), rows top to bottom.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;

    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // How many pixels of the rectangle (right and bottom excluded) have this colour.
    int Count(COLORREF color, RECT area) const;
    int Count(COLORREF color) const { return Count(color, {0, 0, width, height}); }
    // Columns of a row, or rows of a column, that have this colour.
    std::vector<int> ColumnsOf(int y, COLORREF color) const;
    std::vector<int> RowsOf(int x, COLORREF color) const;
    // Writes a 24-bit BMP, for looking at a test's picture.
    bool SaveBmp(const std::string& path) const;
};

Image CaptureDC(HDC hdc, int x, int y, int width, int height);
Image CaptureBitmap(HBITMAP hBitmap);
// The client area as it is on the display.
Image CaptureClient(HWND hWnd);
// A rectangle of the screen, in screen coordinates.
Image CaptureScreen(RECT area);

// Milliseconds that a call took, measured on the performance counter.
double MeasureMs(const std::function<void()>& call);

// Runs this thread's messages for a while, or until the condition holds.
void PumpMessages(DWORD milliseconds);
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds);

// Real mouse input at screen coordinates.
void MoveMouse(int x, int y);
void Click(int x, int y, bool rightButton = false);
void Drag(int fromX, int fromY, int toX, int toY);

// Stops or starts again the qrvld that the test runs beside (tests/daemon/with-qrvld.sh,
// named by QRVL_LAUNCHER, with its state in QRVLD_STATE or the variable named), on the
// same port.
void StopDaemon(const char* stateVariable = "QRVLD_STATE");
void StartDaemon(const char* stateVariable = "QRVLD_STATE");

// The path of a file in the Windows folder, where private profiles live.
std::string WindowsPath(const char* name);
// The text of a file in the Windows folder, or empty.
std::string ReadWindowsFile(const char* name);
void DeleteWindowsFile(const char* name);
void WriteWindowsFile(const char* name, const std::string& text);

// A file bundled into the test program as an RCDATA resource, as it is stored.
std::string Resource(const char* name);
// The section a first save of the monitor's settings writes, every key at its default:
// the golden file tests/settings/default_section.ini (bundled by default_section.rc) in
// the profile's own CRLF form.
std::string DefaultSection();
// The profile text with the header of its first section renamed.
std::string Renamed(std::string text, const std::string& section);
// The profile text with the values of some keys (each present once) changed.
std::string Edited(std::string text, const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace wintest
