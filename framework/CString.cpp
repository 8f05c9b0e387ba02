#include "CString.h"
#include "AfxModule.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

CString::CString() : m_pBuffer(nullptr) {}

CString::CString(const char* psz) : m_pBuffer(nullptr) {
    if (psz) Assign(psz, static_cast<int>(std::strlen(psz)));
}

CString::CString(const char* pch, int nLength) : m_pBuffer(nullptr) { Assign(pch, nLength); }

CString::CString(const CString& other) : m_pBuffer(other.m_pBuffer) {
    if (m_pBuffer) m_pBuffer->refs.fetch_add(1, std::memory_order_relaxed);
}

CString::CString(CString&& other) noexcept : m_pBuffer(other.m_pBuffer) { other.m_pBuffer = nullptr; }

CString::~CString() { Release(); }

CString& CString::operator=(const CString& other) {
    if (other.m_pBuffer) other.m_pBuffer->refs.fetch_add(1, std::memory_order_relaxed);
    Release();
    m_pBuffer = other.m_pBuffer;
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        Release();
        m_pBuffer = std::exchange(other.m_pBuffer, nullptr);
    }
    return *this;
}

CString& CString::operator=(const char* psz) {
    // psz may point into our own buffer, so build the new one before releasing.
    CString copy(psz);
    return *this = std::move(copy);
}

CString& CString::operator+=(const CString& other) { return *this = *this + other; }

int CString::GetLength() const { return m_pBuffer ? m_pBuffer->length : 0; }

void CString::Empty() { Release(); }

const char* CString::GetString() const { return m_pBuffer ? m_pBuffer->chars : ""; }

void CString::Format(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(const char* pszFormat, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int nLength = std::vsnprintf(nullptr, 0, pszFormat, measure);
    va_end(measure);
    if (nLength <= 0) {
        Empty();
        return;
    }
    Buffer* pBuffer = Allocate(nLength);
    std::vsnprintf(pBuffer->chars, static_cast<size_t>(nLength) + 1, pszFormat, args);
    Release();
    m_pBuffer = pBuffer;
}

BOOL CString::LoadString(UINT nID) {
    // LoadStringA cuts without saying so; grow until the text fits with room to spare.
    for (int nSize = 256; nSize <= 65536; nSize *= 4) {
        char* pch = static_cast<char*>(std::malloc(static_cast<size_t>(nSize)));
        if (!pch) throw std::bad_alloc();
        int nLength = ::LoadStringA(AfxGetResourceHandle(), nID, pch, nSize);
        if (nLength < nSize - 2) {
            Assign(pch, nLength);
            std::free(pch);
            return nLength > 0;
        }
        std::free(pch);
    }
    Empty();
    return FALSE;
}

bool operator==(const CString& a, const CString& b) {
    return a.GetLength() == b.GetLength() && std::memcmp(a.GetString(), b.GetString(), static_cast<size_t>(a.GetLength())) == 0;
}

bool operator==(const CString& a, const char* b) { return std::strcmp(a.GetString(), b ? b : "") == 0; }

CString operator+(const CString& a, const CString& b) {
    CString result;
    int nLength = a.GetLength() + b.GetLength();
    if (nLength == 0) return result;
    result.m_pBuffer = CString::Allocate(nLength);
    std::memcpy(result.m_pBuffer->chars, a.GetString(), static_cast<size_t>(a.GetLength()));
    std::memcpy(result.m_pBuffer->chars + a.GetLength(), b.GetString(), static_cast<size_t>(b.GetLength()) + 1);
    return result;
}

CString::Buffer* CString::Allocate(int nLength) {
    void* p = std::malloc(sizeof(Buffer) + static_cast<size_t>(nLength));
    if (!p) throw std::bad_alloc();
    Buffer* pBuffer = new (p) Buffer;
    pBuffer->refs.store(1, std::memory_order_relaxed);
    pBuffer->length = nLength;
    pBuffer->chars[nLength] = '\0';
    return pBuffer;
}

void CString::Assign(const char* pch, int nLength) {
    Buffer* pBuffer = nullptr;
    if (nLength > 0) {
        pBuffer = Allocate(nLength);
        std::memcpy(pBuffer->chars, pch, static_cast<size_t>(nLength));
    }
    Release();
    m_pBuffer = pBuffer;
}

void CString::Release() {
    if (m_pBuffer && m_pBuffer->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        m_pBuffer->~Buffer();
        std::free(m_pBuffer);
    }
    m_pBuffer = nullptr;
}
