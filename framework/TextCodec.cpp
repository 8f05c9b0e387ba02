#include "TextCodec.h"

std::wstring WideOf(const char* psz, UINT nCodePage) {
    const int n = ::MultiByteToWideChar(nCodePage, 0, psz, -1, nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(nCodePage, 0, psz, -1, &wide[0], n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

std::string NarrowOf(const wchar_t* psz, UINT nCodePage) {
    const int n = ::WideCharToMultiByte(nCodePage, 0, psz, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string text(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(nCodePage, 0, psz, -1, &text[0], n, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(n - 1));
    return text;
}
