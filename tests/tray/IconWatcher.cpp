#include "IconWatcher.h"

#include <algorithm>

#include "TrayProbe.h"

IconWatcher::IconWatcher(double (*clock)()) : m_clock(clock) {
    m_thread = std::thread([this] {
        std::string last;
        while (!m_bStop) {
            std::vector<HWND> icons = trayprobe::ShownIcons();
            std::string colour = icons.empty() ? "hidden" : trayprobe::ColourOf(icons[0]);
            // A picture taken while the shell redraws the icon shows no emblem; it is skipped.
            if (colour != last && colour != "none" && colour != "mixed") {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_changes.push_back({m_clock(), colour});
                last = colour;
            }
            Sleep(10);
        }
    });
}

IconWatcher::~IconWatcher() {
    m_bStop = true;
    m_thread.join();
}

std::vector<IconWatcher::Change> IconWatcher::Changes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_changes;
}

std::vector<std::string> IconWatcher::Colours() {
    std::vector<std::string> colours;
    for (const Change& c : Changes()) colours.push_back(c.colour);
    return colours;
}

int IconWatcher::Count(const std::string& colour) {
    std::vector<std::string> colours = Colours();
    return static_cast<int>(std::count(colours.begin(), colours.end(), colour));
}
