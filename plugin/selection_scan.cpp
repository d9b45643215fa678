// Bounding rectangle of a selection mask (one byte per pixel, 255 = outside the selection).
#include "plugin/selection_scan.h"

#include <algorithm>
#include <cstddef>

SelectionRect ScanSelectionBounds(const std::uint8_t* mask, std::int32_t width,
                                  std::int32_t height) noexcept {
    SelectionRect r{width, height, 0, 0};
    if (mask != nullptr && width > 0 && height > 0) {
        for (std::int32_t y = 0; y < height; ++y) {
            const std::uint8_t* row = mask + static_cast<std::ptrdiff_t>(y) * width;
            // The first and last selected byte of the row settle its contribution.
            std::int32_t first = 0;
            while (first < width && row[first] == kUnselected) ++first;
            if (first == width) continue;
            std::int32_t last = width - 1;
            while (row[last] == kUnselected) --last;
            r.left = std::min(r.left, first);
            r.right = std::max(r.right, last);
            r.top = std::min(r.top, y);
            r.bottom = std::max(r.bottom, y);
        }
    }
    r.right += 1;  // exclusive edges
    r.bottom += 1;
    return r;
}
