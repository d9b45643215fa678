// Progress reporting to the host: the host's callback, its user data and the last percentage sent.
#pragma once

#include <cstdint>

#include "plugin_interface/kv_types.h"

struct ProgressRecord {
    std::intptr_t userData;
    ProgressCallback callback;  // may be null
    std::int32_t lastPercent;   // starts at 0, so a pass never reports 0 itself
};

// Reports the whole percentage of `done` out of `extent` lines when it changed since the last
// report. Counted in 64 bits: a pass that counts rows of bands of columns goes past 32 bits, and
// no count below 2^56 overflows the product.
inline void ReportLinesDone(ProgressRecord* progress, std::int64_t done,
                            std::int64_t extent) noexcept {
    if (progress == nullptr || extent <= 0) return;
    const auto percent = static_cast<std::int32_t>(done * 100 / extent);
    if (percent == progress->lastPercent || progress->callback == nullptr) return;
    progress->lastPercent = percent;
    progress->callback(percent, 100, progress->userData);
}
