#pragma once
#include <exception>

// Thrown when a window-system resource that an operation cannot do without (a device
// context, a pen) cannot be obtained.
class CResourceException : public std::exception {
public:
    const char* what() const noexcept override { return "window-system resource unavailable"; }
};

[[noreturn]] inline void AfxThrowResourceException() { throw CResourceException(); }
