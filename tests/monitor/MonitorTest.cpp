#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "MonitorProcess.h"
#include "WinTestSupport.h"

using namespace monitortest;

namespace {

const char kIni[] = "QRVLGRPH.INI";
const char kGothic[] = "ＭＳ ゴシック";
const UINT WM_TRAYNOTIFY = 0x8097;
const COLORREF kWhite = RGB(255, 255, 255);

RECT WindowRect(HWND hWnd) {
    RECT rc;
    GetWindowRect(hWnd, &rc);
    return rc;
}

std::string RectKeys(const RECT& rc) {
    char text[128];
    std::snprintf(text, sizeof text, "Top=%ld\r\nLeft=%ld\r\nRight=%ld\r\nBottom=%ld\r\n", rc.top, rc.left, rc.right,
                  rc.bottom);
    return text;
}

// The whole section as the first save writes it, with the default settings.
std::string DefaultSection(const char* section, const RECT& rc, int errors) {
    std::string gothic = kGothic;
    return std::string("[") + section + "]\r\n" +
           "HostName=localhost\r\nSocketTimer=2000\r\nMonitorTimer=10\r\nDelayTimer=3\r\n"
           "StringTCPU=CPU\r\nStringTPWR=PWR\r\nStringTSYS=SYS\r\nStringVCORE=Vcore\r\nStringVTT=VTT\r\nStringVIO=Vio\r\n"
           "CPUTempMax=60\r\nCPUTempMin=20\r\nPWRTempMax=60\r\nPWRTempMin=20\r\nSYSTempMax=60\r\nSYSTempMin=20\r\n"
           "VcoreMax=30\r\nVcoreMin=20\r\nVTTMax=30\r\nVTTMin=20\r\nVioMax=40\r\nVioMin=30\r\n"
           "TitleFontName=" + gothic + "\r\nTitleFontSize=12\r\nNumberFontName=" + gothic +
           "\r\nNumberFontSize=12\r\nGraphFontName=" + gothic + "\r\nGraphFontSize=12\r\n"
           "BackColor=0x000000\r\nLineColor=0x00c000\r\nTempColor=0x0040ff\r\nVoltColor=0x40ffff\r\n"
           "NumberColor=0xffffff\r\n" + RectKeys(rc) + "Stick=0\r\nTopMost=0\r\nSaveIni=1\r\nErrorCounter=" +
           std::to_string(errors) + "\r\n";
}

// The scale labels as the chart draws them: right-aligned four pixels left of the plot,
// the maximum on the top row and the minimum's baseline on the plot's bottom row.
wintest::Image ReferenceLabels(int width, int height, int left, const char* max, const char* min, COLORREF back,
                               COLORREF text) {
    HDC hScreen = GetDC(nullptr);
    HDC hdc = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, width, height);
    HGDIOBJ hOldBitmap = SelectObject(hdc, hBitmap);
    HBRUSH hBrush = CreateSolidBrush(back);
    RECT all = {0, 0, width, height};
    FillRect(hdc, &all, hBrush);
    HFONT hFont = CreateFontA(12, 0, 0, 0, FW_LIGHT, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                              DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, kGothic);
    HGDIOBJ hOldFont = SelectObject(hdc, hFont);
    SetBkColor(hdc, back);
    SetTextColor(hdc, text);
    SetTextAlign(hdc, TA_RIGHT | TA_TOP);
    TextOutA(hdc, left - 4, 0, max, static_cast<int>(strlen(max)));
    SetTextAlign(hdc, TA_RIGHT | TA_BASELINE);
    TextOutA(hdc, left - 4, height - 4, min, static_cast<int>(strlen(min)));
    wintest::Image image = wintest::CaptureDC(hdc, 0, 0, width, height);
    SelectObject(hdc, hOldFont);
    DeleteObject(hFont);
    SelectObject(hdc, hOldBitmap);
    DeleteObject(hBitmap);
    DeleteObject(hBrush);
    DeleteDC(hdc);
    ReleaseDC(nullptr, hScreen);
    return image;
}

// Compares the label corners (top left and bottom left, up to the plot's frame).
void ExpectLabels(HWND hChart, int left, const char* max, const char* min, COLORREF back, COLORREF text) {
    wintest::Image shot = wintest::CaptureScreen(ClientOnScreen(hChart));
    wintest::Image expected = ReferenceLabels(shot.width, shot.height, left, max, min, back, text);
    int differing = 0, ink = 0;
    for (int y : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, shot.height - 14, shot.height - 12, shot.height - 10,
                  shot.height - 8, shot.height - 6, shot.height - 5})
        for (int x = 0; x < left - 2; ++x) {
            if (shot.At(x, y) != expected.At(x, y)) ++differing;
            if (expected.At(x, y) == text) ++ink;
        }
    EXPECT_GT(ink, 4) << max << " / " << min;
    EXPECT_EQ(differing, 0) << "labels " << max << " / " << min;
}

// Waits until the readout at the top of a chart's plot shows text.
bool ReadoutShown(HWND hChart, int left, COLORREF text) {
    return wintest::PumpUntil(
        [&] {
            wintest::Image shot = wintest::CaptureScreen(ClientOnScreen(hChart));
            return shot.Count(text, {left + 1, 3, shot.width - 5, 14}) > 5;
        },
        8000);
}

// ---- start without a profile --------------------------------------------------------------

TEST(Monitor, StartsWithDefaultsShowsReadingsAndSavesTheWholeSection) {
    wintest::DeleteWindowsFile(kIni);
    MonitorProcess monitor("");
    HWND hWnd = monitor.Window();
    ASSERT_NE(hWnd, nullptr);

    // The template's place and size: the top-left corner of the screen, a client area of
    // 294 x 95 dialog units; a captionless tool window, not topmost.
    RECT rc = WindowRect(hWnd);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    // The dialog's base units, from its first placeholder (12, 0; 94 x 48 dialog units).
    RECT first = WindowRect(GetDlgItem(hWnd, 1000));
    MapWindowPoints(nullptr, hWnd, reinterpret_cast<POINT*>(&first), 2);
    int baseX = 0, baseY = 0;
    for (int b = 1; b < 64; ++b) {
        if (MulDiv(12, b, 4) == first.left && MulDiv(94, b, 4) == first.right - first.left) baseX = b;
        if (MulDiv(48, b, 8) == first.bottom - first.top) baseY = b;
    }
    ASSERT_GT(baseX, 0);
    ASSERT_GT(baseY, 0);
    RECT client;
    GetClientRect(hWnd, &client);
    EXPECT_EQ(client.right, MulDiv(294, baseX, 4));
    EXPECT_EQ(client.bottom, MulDiv(95, baseY, 8));
    LONG style = GetWindowLongA(hWnd, GWL_STYLE), exStyle = GetWindowLongA(hWnd, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_DLGFRAME);
    EXPECT_EQ(style & WS_SYSMENU, 0);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
    EXPECT_FALSE(exStyle & WS_EX_TOPMOST);

    // Six charts over their placeholders, with the default scales.
    std::vector<HWND> charts = ChartsOf(hWnd);
    ASSERT_EQ(charts.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        RECT chart = WindowRect(charts[i]), placeholder = WindowRect(GetDlgItem(hWnd, 1000 + i));
        EXPECT_TRUE(EqualRect(&chart, &placeholder)) << "chart " << i;
    }
    ExpectLabels(charts[0], 30, "60", "20", RGB(0, 0, 0), kWhite);
    ExpectLabels(charts[2], 30, "60", "20", RGB(0, 0, 0), kWhite);
    ExpectLabels(charts[3], 30, "3.0", "2.0", RGB(0, 0, 0), kWhite);
    ExpectLabels(charts[5], 30, "4.0", "3.0", RGB(0, 0, 0), kWhite);

    // The icon is in the notification area, and the first reading comes after the start delay.
    EXPECT_NE(FindWindowA(nullptr, "Wine System Tray"), nullptr);
    EXPECT_TRUE(ReadoutShown(charts[0], 30, kWhite));
    wintest::Image shot = wintest::CaptureScreen(ClientOnScreen(charts[0]));
    EXPECT_GT(shot.Count(RGB(255, 64, 0), {30, 1, shot.width - 4, shot.height - 3}), 0) << "CPU trace";

    // Closing never waits for a reading's time-out.
    PostMessageA(hWnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(monitor.WaitExit(1500));
    EXPECT_EQ(wintest::ReadWindowsFile(kIni), DefaultSection("QRVGRPH", rc, 0));
}

// ---- start with a section of the profile ---------------------------------------------------

TEST(Monitor, ProfileSectionPlacesTheWindowAndConfiguresTheCharts) {
    wintest::WriteWindowsFile(kIni,
                              "[two words]\r\nLeft=40\r\nTop=60\r\nRight=540\r\nBottom=260\r\nTopMost=1\r\n"
                              "DelayTimer=0\r\nMonitorTimer=1\r\nStringTCPU=Core\r\nCPUTempMax=100\r\nCPUTempMin=0\r\n"
                              "BackColor=0x400000\r\nLineColor=0x00ffff\r\nNumberColor=0x00ff00\r\nTempColor=255\r\n");
    MonitorProcess monitor("two words");
    HWND hWnd = monitor.Window();
    ASSERT_NE(hWnd, nullptr);
    RECT rc = WindowRect(hWnd);
    EXPECT_EQ(rc.left, 40);
    EXPECT_EQ(rc.top, 60);
    EXPECT_EQ(rc.right, 540);
    EXPECT_EQ(rc.bottom, 260);
    EXPECT_TRUE(GetWindowLongA(hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(SendDlgItemMessageA(hWnd, 1007, BM_GETCHECK, 0, 0), BST_CHECKED);

    // 0 to 100 with one decimal leaves a margin of 35; text and background from the file,
    // the frame ORed with the background.
    std::vector<HWND> charts = ChartsOf(hWnd);
    ASSERT_EQ(charts.size(), 6u);
    const COLORREF back = RGB(0, 0, 0x40), text = RGB(0, 255, 0) | back;
    ExpectLabels(charts[0], 35, "100", "0", back, text);
    wintest::Image shot = wintest::CaptureScreen(ClientOnScreen(charts[0]));
    EXPECT_EQ(shot.At(shot.width - 1, shot.height - 1), back);
    EXPECT_EQ(shot.At(35, shot.height / 2 + 5), RGB(255, 255, 0x40)) << "frame";
    ExpectLabels(charts[1], 30, "60", "20", back, text);
    EXPECT_TRUE(ReadoutShown(charts[0], 35, text));
    shot = wintest::CaptureScreen(ClientOnScreen(charts[0]));
    EXPECT_GT(shot.Count(RGB(255, 0, 0x40), {35, 1, shot.width - 4, shot.height - 3}), 0) << "trace";

    // The exit button ends the program; the rectangle and the flag are saved as they are.
    SendDlgItemMessageA(hWnd, 1006, BM_CLICK, 0, 0);
    EXPECT_TRUE(monitor.WaitExit(3000));
    std::string ini = wintest::ReadWindowsFile(kIni);
    EXPECT_NE(ini.find("Left=40\r\nTop=60\r\nRight=540\r\nBottom=260\r\nTopMost=1\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("StringTCPU=Core\r\n"), std::string::npos);
    EXPECT_NE(ini.find("TempColor=0x0000ff\r\n"), std::string::npos);
}

TEST(Monitor, TopMostOtherThanZeroOrOneLeavesTheBandAlone) {
    wintest::WriteWindowsFile(kIni, "[QRVGRPH]\r\nTopMost=2\r\nSaveIni=0\r\n");
    MonitorProcess monitor("");
    HWND hWnd = monitor.Window();
    ASSERT_NE(hWnd, nullptr);
    EXPECT_FALSE(GetWindowLongA(hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(SendDlgItemMessageA(hWnd, 1007, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // Each toggle flips the lowest bit: 2 becomes 3, still neither 0 nor 1.
    PostMessageA(hWnd, WM_COMMAND, 32771, 0);
    wintest::PumpMessages(300);
    EXPECT_FALSE(GetWindowLongA(hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    // Enter ends the program like OK; with SaveIni off only SaveIni and ErrorCounter change.
    PostMessageA(hWnd, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(monitor.WaitExit(3000));
    EXPECT_EQ(wintest::ReadWindowsFile(kIni), "[QRVGRPH]\r\nTopMost=2\r\nSaveIni=0\r\nErrorCounter=0\r\n");
}

}  // namespace
