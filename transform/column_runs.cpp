// The runs of neighbouring columns of one class, kept up to date row by row.
#include "transform/column_runs.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

void ColumnRuns::Start(std::int32_t count) noexcept {
    count_ = count < 0 ? 0 : (count < kMostColumns ? count : kMostColumns);
    changeCount_ = 0;
    next_ = 0;
}

void ColumnRuns::Add(std::int32_t j, bool squeezed, std::int32_t from, std::int32_t to) noexcept {
    class_[static_cast<std::size_t>(j)] = squeezed ? kSqueezed : kInside;
    if (squeezed && from < to) {
        changes_[changeCount_++] = {from, j};
        changes_[changeCount_++] = {to, j};
    }
}

void ColumnRuns::Ready() noexcept {
    std::sort(changes_, changes_ + changeCount_,
              [](const Change& a, const Change& b) { return a.row < b.row; });
    for (std::int32_t j = 0; j <= count_; ++j) Mark(j);
}

void ColumnRuns::Advance(std::int32_t y) noexcept {
    for (; next_ < changeCount_ && changes_[next_].row <= y; ++next_) Flip(changes_[next_].column);
}

std::int32_t ColumnRuns::End(std::int32_t j) const noexcept {
    auto k = static_cast<std::size_t>(j) + 1;
    std::uint64_t word = starts_[k / 64] >> (k % 64);
    while (word == 0) {  // bit count is always set, so the scan ends there at the latest
        k = (k / 64 + 1) * 64;
        word = starts_[k / 64];
    }
    return static_cast<std::int32_t>(k) + __builtin_ctzll(word);
}

void ColumnRuns::Flip(std::int32_t j) noexcept {
    class_[static_cast<std::size_t>(j)] ^= kInside;
    Mark(j);
    Mark(j + 1);
}

// Sets bit j exactly when a run starts at column j: the first column, the end, or a change of
// class.
void ColumnRuns::Mark(std::int32_t j) noexcept {
    const auto k = static_cast<std::size_t>(j);
    const bool start = j == 0 || j == count_ || class_[k] != class_[k - 1];
    const std::uint64_t bit = std::uint64_t{1} << (k % 64);
    starts_[k / 64] = start ? (starts_[k / 64] | bit) : (starts_[k / 64] & ~bit);
}
