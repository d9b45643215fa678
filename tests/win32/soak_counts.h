// What a leak in the process would grow: its kernel handles, the windows alive on the thread,
// its GDI objects and its committed private bytes, each counted in a way that moves under Wine.
#pragma once

#include <cstdint>
#include <string>

struct ResourceCounts {
    std::int64_t handles = 0;
    std::int64_t windows = 0;
    std::int64_t gdi = 0;
    std::int64_t privateBytes = 0;
};

ResourceCounts MeasureResources();

// The number of GDI objects of this process. GetGuiResources answers 0 under Wine whatever
// happens, so there the objects are counted in the process's GDI handle table.
std::int64_t GdiObjectCount();

// One leak per cycle of the named kind ("handle", "window", "gdi", "memory"), for the proof
// that each count sees it; "" leaks nothing.
void LeakOnPurpose(const std::string& kind);
