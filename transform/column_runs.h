// The runs of neighbouring columns that a row walk sends through one kernel together: on each
// row, the columns that share a class (stretched; or squeezed with the row inside or outside their
// area averages). Rows are visited in order, and a column changes class only on the rows where
// its area averages begin and end, so a row costs its changes and a scan of a bit per column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class ColumnRuns {
   public:
    static constexpr std::uint8_t kInside = 1;    // the row lies in the column's [from, to)
    static constexpr std::uint8_t kSqueezed = 2;  // the column is squeezed

    // Room for `count` columns, to be added next; false when there is no memory for them.
    bool Start(std::int32_t count) noexcept;
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
    std::unique_ptr<std::uint8_t[]> class_;
    std::unique_ptr<std::uint64_t[]> starts_;  // bit j: a run starts at column j (and at count)
    std::unique_ptr<Change[]> changes_;        // in row order
    std::size_t changeCount_ = 0;              // two a column, an addressable number (see Start)
    std::size_t next_ = 0;
};
