#pragma once
#include <windows.h>

#include <utility>

// Owns a directory search (FindFirstFileW) and ends it once. Move-only.
class CFindFile {
public:
    CFindFile() = default;
    explicit CFindFile(HANDLE h) : m_h(h) {}
    ~CFindFile() { Close(); }
    CFindFile(const CFindFile&) = delete;
    CFindFile& operator=(const CFindFile&) = delete;
    CFindFile(CFindFile&& other) noexcept : m_h(std::exchange(other.m_h, INVALID_HANDLE_VALUE)) {}
    CFindFile& operator=(CFindFile&& other) noexcept {
        if (this != &other) {
            Close();
            m_h = std::exchange(other.m_h, INVALID_HANDLE_VALUE);
        }
        return *this;
    }

    HANDLE Get() const { return m_h; }
    bool IsValid() const { return m_h != INVALID_HANDLE_VALUE; }
    void Close() {
        if (IsValid()) ::FindClose(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};
