#pragma once
#include <windows.h>
#include <atomic>
#include <cstdarg>

// Narrow, reference-counted string: copies share one buffer, every change makes a new one,
// so a copy handed to another thread never sees it change.
class CString {
public:
    CString();
    CString(const char* psz);
    CString(const char* pch, int nLength);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(const char* psz);
    CString& operator+=(const CString& other);

    int GetLength() const;
    bool IsEmpty() const { return GetLength() == 0; }
    void Empty();
    const char* GetString() const;
    operator const char*() const { return GetString(); }

    void Format(const char* pszFormat, ...);
    void FormatV(const char* pszFormat, va_list args);
    // Loads a string resource of the resource module; false (and empty) when there is none.
    BOOL LoadString(UINT nID);

    friend bool operator==(const CString& a, const CString& b);
    friend bool operator==(const CString& a, const char* b);
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend CString operator+(const CString& a, const CString& b);

private:
    struct Buffer {
        std::atomic<long> refs;
        int length;
        char chars[1];
    };
    static Buffer* Allocate(int nLength);
    void Assign(const char* pch, int nLength);
    void Release();

    Buffer* m_pBuffer;  // null for the empty string
};
