#pragma once
#include <windows.h>

#include <string>

// Texts between the program's code page, UTF-8 (the log, units) and UTF-16 (tips, paths).
std::wstring WideOf(const char* psz, UINT nCodePage);
std::string NarrowOf(const wchar_t* psz, UINT nCodePage);
inline std::string Utf8FromAnsi(const char* psz) { return NarrowOf(WideOf(psz, CP_ACP).c_str(), CP_UTF8); }
inline std::string AnsiFromUtf8(const char* psz) { return NarrowOf(WideOf(psz, CP_UTF8).c_str(), CP_ACP); }
