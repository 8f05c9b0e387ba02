#pragma once
#include <windows.h>

// Colours and the face name of a chart left at its defaults.
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kCyan = RGB(0, 255, 255);
constexpr char kGothic[] = "ＭＳ ゴシック";
