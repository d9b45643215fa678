// Line resampler: cubic convolution for stretched lines, area average for squeezed ones.
#pragma once

#include <cstdint>

#include "transform/pixel.h"

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
                                       double length, std::int32_t stride, std::int32_t n) noexcept;
