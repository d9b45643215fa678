// The runs of neighbouring columns that a row walk sends through one kernel together: on each
// row, the columns that share a class (stretched; or squeezed with the row inside or outside their
// area averages). Rows are visited in order, and a column changes class only on the rows where
// its area averages begin and end, so a row costs its changes and a scan of a bit per column.
#pragma once

#include <cstddef>
#include <cstdint>

class ColumnRuns {
   public:
    static constexpr std::uint8_t kInside = 1;    // the row lies in the column's [from, to)
    static constexpr std::uint8_t kSqueezed = 2;  // the column is squeezed
    // The most columns one walk takes: a band of the rectangle's columns at a time.
    static constexpr std::int32_t kMostColumns = 4096;

    // `count` columns, at most kMostColumns, to be added next.
    void Start(std::int32_t count) noexcept;
    // Column j: squeezed, and inside on rows from..to - 1; or stretched, inside on every row.
    void Add(std::int32_t j, bool squeezed, std::int32_t from, std::int32_t to) noexcept;
    // Once every column is added, before the first row.
    void Ready() noexcept;

    // Brings the classes to row y; rows never go back.
    void Advance(std::int32_t y) noexcept;

    // The end of the run that starts at column j (j = 0, then each end in turn).
    [[nodiscard]] std::int32_t End(std::int32_t j) const noexcept;
    [[nodiscard]] std::uint8_t Class(std::int32_t j) const noexcept {
        return class_[static_cast<std::size_t>(j)];
    }

   private:
    struct Change {
        std::int32_t row;
        std::int32_t column;
    };
    void Flip(std::int32_t j) noexcept;
    void Mark(std::int32_t j) noexcept;

    std::int32_t count_ = 0;
    std::uint8_t class_[kMostColumns];
    std::uint64_t starts_[kMostColumns / 64 + 1];  // bit j: a run starts at column j (and at count)
    Change changes_[2 * kMostColumns];             // in row order, two a column
    std::size_t changeCount_ = 0;
    std::size_t next_ = 0;
};
