// The selection scan byte by byte: the slow, obvious reference that the tests and the fuzzer
// hold the word-skipping scan to.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "selection/selection_scan.h"

// The selected bytes' bounding box with exclusive edges; (width, height, 1, 1) when nothing is
// selected. For positive sizes only, with `mask` holding width x height bytes.
[[nodiscard]] inline SelectionRect ReferenceSelectionBounds(const std::vector<std::uint8_t>& mask,
                                                            int width, int height) {
    SelectionRect r{width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (mask[static_cast<std::size_t>(y * width + x)] == kUnselected) continue;
            r.left = std::min(r.left, x);
            r.right = std::max(r.right, x);
            r.top = std::min(r.top, y);
            r.bottom = std::max(r.bottom, y);
        }
    }
    return {r.left, r.top, r.right + 1, r.bottom + 1};
}
