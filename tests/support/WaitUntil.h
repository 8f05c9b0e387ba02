#pragma once
#include <chrono>
#include <functional>
#include <thread>

namespace qrvltest {

// The one place a test polls, waiting for what it expects rather than for a fixed time:
// asks `done` every 10 ms until it holds (true) or `timeoutMs` have gone by (false).
inline bool waitUntil(int timeoutMs, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace qrvltest
