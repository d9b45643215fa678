// Bounding rectangle of a selection mask (one byte per pixel, 255 = outside the selection).
#include "selection/selection_scan.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

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

namespace {

// Columns 0..count-1 painted once each, a run at a time: each unpainted column of a run gets the
// run's row, and painted ones are skipped through links to the next unpainted column (path
// halving keeps the links short), so that painting costs about a step per column and per run.
class ColumnPainter {
   public:
    bool Start(std::size_t count) noexcept {
        next_.reset(new (std::nothrow) std::size_t[count + 1]);
        if (!next_) return false;
        for (std::size_t x = 0; x <= count; ++x) next_[x] = x;
        return true;
    }
    // Calls paint(x) for every column of [from, to) not painted before, and marks them.
    template <class Paint>
    void Run(std::size_t from, std::size_t to, Paint paint) noexcept {
        for (std::size_t x = Find(from); x < to; x = Find(x)) {
            paint(x);
            next_[x] = x + 1;
        }
    }

   private:
    std::size_t Find(std::size_t x) noexcept {
        while (next_[x] != x) {
            next_[x] = next_[next_[x]];
            x = next_[x];
        }
        return x;
    }
    std::unique_ptr<std::size_t[]> next_;
};

}  // namespace

bool SelectionSpans::Build(const std::uint8_t* mask, std::int32_t width,
                           std::int32_t height) noexcept {
    mask_ = nullptr;
    if (mask == nullptr || width <= 0 || height <= 0) return false;
    const auto rowCount = static_cast<std::size_t>(height);
    const auto columnCount = static_cast<std::size_t>(width);
    rows_.reset(new (std::nothrow) LineSpan[rowCount]);
    columns_.reset(new (std::nothrow) LineSpan[columnCount]);
    // Per column: its first selected row, the row after its last, and how many rows select it.
    // A solid run of a row counts through a difference array (+1 at its start, -1 at its end)
    // and reaches its columns' first and last rows by painting, top down and bottom up; only the
    // rows with holes update their columns byte by byte.
    const std::unique_ptr<std::int32_t[]> firsts(new (std::nothrow) std::int32_t[columnCount]);
    const std::unique_ptr<std::int32_t[]> ends(new (std::nothrow) std::int32_t[columnCount]());
    const std::unique_ptr<std::int32_t[]> counts(new (std::nothrow)
                                                     std::int32_t[columnCount + 1]());
    ColumnPainter top;
    ColumnPainter bottom;
    if (!rows_ || !columns_ || !firsts || !ends || !counts || !top.Start(columnCount) ||
        !bottom.Start(columnCount)) {
        return false;
    }
    std::fill_n(firsts.get(), columnCount, height);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = mask + static_cast<std::ptrdiff_t>(y) * width;
        const std::int32_t first = FirstSelected(row, width);
        LineSpan& span = rows_[static_cast<std::size_t>(y)];
        if (first == width) {
            span = {0, 0, true};
            continue;
        }
        const std::int32_t last = LastSelected(row, first, width);
        const auto length = static_cast<std::size_t>(last - first + 1);
        span = {first, last + 1, std::memchr(row + first, kUnselected, length) == nullptr};
        const auto from = static_cast<std::size_t>(first);
        const auto to = static_cast<std::size_t>(last) + 1;
        if (span.solid) {
            ++counts[from];
            --counts[to];
            top.Run(from, to, [&](std::size_t x) { firsts[x] = std::min(firsts[x], y); });
            continue;
        }
        for (std::size_t x = from; x < to; ++x) {
            if (row[x] == kUnselected) continue;
            firsts[x] = std::min(firsts[x], y);
            ends[x] = y + 1;
            ++counts[x];
            --counts[x + 1];
        }
    }
    for (std::int32_t y = height - 1; y >= 0; --y) {
        const LineSpan& span = rows_[static_cast<std::size_t>(y)];
        if (span.solid && span.from < span.to) {
            bottom.Run(static_cast<std::size_t>(span.from), static_cast<std::size_t>(span.to),
                       [&](std::size_t x) { ends[x] = std::max(ends[x], y + 1); });
        }
    }
    std::int32_t selecting = 0;  // the running sum of the difference array
    for (std::size_t x = 0; x < columnCount; ++x) {
        selecting += counts[x];
        columns_[x] = selecting == 0
                          ? LineSpan{0, 0, true}
                          : LineSpan{firsts[x], ends[x], selecting == ends[x] - firsts[x]};
    }
    mask_ = mask;
    width_ = width;
    height_ = height;
    return true;
}
