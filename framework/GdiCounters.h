#pragma once
#include <atomic>

// Counts the GDI objects, icons and device contexts our wrappers take ownership of and give back.
// Wine reports no GDI handle counts, so a leak shows only as created != released here.
struct GdiCounters {
    static std::atomic<long> created;
    static std::atomic<long> released;
    static void NoteCreated() { created.fetch_add(1, std::memory_order_relaxed); }
    static void NoteReleased() { released.fetch_add(1, std::memory_order_relaxed); }
    static long Outstanding() { return created.load() - released.load(); }
};
