// Bounding rectangle of a selection mask (one byte per pixel, 255 = outside the selection).
#include "plugin/selection_scan.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// Unselected runs are skipped eight bytes at a time: a word of eight 255 bytes is all ones.
constexpr std::int32_t kWordBytes = 8;

[[nodiscard]] bool WordUnselected(const std::uint8_t* bytes) noexcept {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word == ~std::uint64_t{0};
}

// Position of the first selected byte of the row, or `width` when it has none.
[[nodiscard]] std::int32_t FirstSelected(const std::uint8_t* row, std::int32_t width) noexcept {
    std::int32_t x = 0;
    while (width - x >= kWordBytes && WordUnselected(row + x)) x += kWordBytes;
    while (x < width && row[x] == kUnselected) ++x;
    return x;
}

// Position of the last selected byte of the row, whose byte at `first` is selected.
[[nodiscard]] std::int32_t LastSelected(const std::uint8_t* row, std::int32_t first,
                                        std::int32_t width) noexcept {
    std::int32_t end = width;  // the bytes from `end` on are unselected
    while (end - kWordBytes >= first && WordUnselected(row + end - kWordBytes)) end -= kWordBytes;
    while (row[end - 1] == kUnselected) --end;
    return end - 1;
}

}  // namespace

SelectionRect ScanSelectionBounds(const std::uint8_t* mask, std::int32_t width,
                                  std::int32_t height) noexcept {
    if (width <= 0 || height <= 0) return {0, 0, 0, 0};
    SelectionRect r{width, height, 0, 0};
    for (std::int32_t y = 0; mask != nullptr && y < height; ++y) {
        const std::uint8_t* row = mask + static_cast<std::ptrdiff_t>(y) * width;
        // The first and last selected byte of the row settle its contribution.
        const std::int32_t first = FirstSelected(row, width);
        if (first == width) continue;
        const std::int32_t last = LastSelected(row, first, width);
        r.left = std::min(r.left, first);
        r.right = std::max(r.right, last);
        r.top = std::min(r.top, y);
        r.bottom = std::max(r.bottom, y);
    }
    r.right += 1;  // exclusive edges
    r.bottom += 1;
    return r;
}
