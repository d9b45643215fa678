// Pictures of the benchmarks: random opaque pixels, the same in every one, as costly as any
// photograph to resample.
#pragma once

#include <cstddef>
#include <random>
#include <vector>

#include "transform/pixel.h"

[[nodiscard]] inline std::vector<Pixel32> RandomOpaquePixels(std::size_t count) {
    std::vector<Pixel32> pixels(count);
    std::mt19937 rng(1);
    for (Pixel32& p : pixels) p = static_cast<Pixel32>(rng()) | 0xFF000000u;
    return pixels;
}
