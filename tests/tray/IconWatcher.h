#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Watches the first icon of the notification area from its own thread and keeps every
// change of its colour ("hidden" while no icon is shown).
class IconWatcher {
public:
    struct Change {
        double ms;  // on the given clock
        std::string colour;
    };

    explicit IconWatcher(double (*clock)());
    IconWatcher(const IconWatcher&) = delete;
    IconWatcher& operator=(const IconWatcher&) = delete;
    ~IconWatcher();

    std::vector<Change> Changes();
    // The colours in the order they were shown.
    std::vector<std::string> Colours();
    // How often the colour was shown.
    int Count(const std::string& colour);

private:
    double (*m_clock)();
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::vector<Change> m_changes;
    std::thread m_thread;
};
