// Line resampler: cubic convolution for stretched lines, area average for squeezed ones.
#pragma once

#include <cstdint>

#include "transform/pixel.h"

// Added to every channel value before it is truncated, so that a mean whose exact value is a
// whole number but comes out a hair low in floating point keeps that number: flat areas stay flat.
constexpr double kTruncationSlack = 1e-7;

// One channel value in 0..255 from a double already known to be in range.
[[nodiscard]] inline unsigned TruncateChannel(double v) noexcept {
    return static_cast<unsigned>(v + kTruncationSlack);
}

// Clamp first: the cubic kernel and rounding can overshoot next to sharp edges.
[[nodiscard]] inline unsigned ClampTruncateChannel(double v) noexcept {
    if (v > 255.0) v = 255.0;
    if (!(v >= 0.0)) v = 0.0;
    return TruncateChannel(v);
}

// Cubic-convolution sample (kernel parameter -1) at position x of row `row`; n is the row length,
// which is also the stride. Taps are clamped to the image row, not to the selection.
// Expects 0 <= x < n; positions outside are clamped to the line.
[[nodiscard]] Pixel32 CubicRowSample(const Pixel32* source, double x, std::int32_t row,
                                     std::int32_t n) noexcept;

// The same along column `column`; n is the column length (the image height).
[[nodiscard]] Pixel32 CubicColumnSample(const Pixel32* source, std::int32_t column, double y,
                                        std::int32_t stride, std::int32_t n) noexcept;

// Area average of row `row` over [x, x + length); the part beyond the row's end is dropped and the
// mean is taken over the weight actually used. Expects 0 <= x < n and length > 0.
[[nodiscard]] Pixel32 BoxRowAverage(const Pixel32* source, double x, std::int32_t row,
                                    double length, std::int32_t n) noexcept;

// The same along column `column` over [y, y + length).
[[nodiscard]] Pixel32 BoxColumnAverage(const Pixel32* source, std::int32_t column, double y,
                                       double length, std::int32_t stride,
                                       std::int32_t n) noexcept;
