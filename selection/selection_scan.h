// Bounding rectangle of a selection mask (one byte per pixel, 255 = outside the selection).
#pragma once

#include <cstdint>
#include <memory>

#include "transform/pixel.h"

constexpr std::uint8_t kUnselected = 255;

// Scans width x height mask bytes, rows of `width` bytes. With nothing selected (or no mask) the
// result is the inverted rectangle (width, height, 1, 1); with a size of 0 or below it is
// (0, 0, 0, 0). Callers treat both as empty.
[[nodiscard]] SelectionRect ScanSelectionBounds(const std::uint8_t* mask, std::int32_t width,
                                                std::int32_t height) noexcept;

// Where the selection lies along one row or column of a mask: its selected bytes lie in
// [from, to), and when `solid` every byte there is selected, so that whether a position is
// selected follows from the span alone. A line with no selected byte has from = to = 0.
struct LineSpan {
    std::int32_t from;
    std::int32_t to;
    bool solid;
};

// The spans of every row and every column of one mask, read once: a large image's mask need not
// be read again at each position that a preview samples.
class SelectionSpans {
   public:
    // Reads width x height mask bytes; false, keeping no spans, for a null mask, a size of 0 or
    // below, or no memory for them.
    bool Build(const std::uint8_t* mask, std::int32_t width, std::int32_t height) noexcept;
    // Whether the spans are those of this mask and size.
    [[nodiscard]] bool Describe(const std::uint8_t* mask, std::int32_t width,
                                std::int32_t height) const noexcept {
        return mask != nullptr && mask == mask_ && width == width_ && height == height_;
    }
    // Row y (0..height-1) and column x (0..width-1) of the mask last built.
    [[nodiscard]] const LineSpan& Row(std::int32_t y) const noexcept {
        return rows_[static_cast<std::size_t>(y)];
    }
    [[nodiscard]] const LineSpan& Column(std::int32_t x) const noexcept {
        return columns_[static_cast<std::size_t>(x)];
    }

   private:
    const std::uint8_t* mask_ = nullptr;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::unique_ptr<LineSpan[]> rows_;
    std::unique_ptr<LineSpan[]> columns_;
};
