// Bounding rectangle of a selection mask (one byte per pixel, 255 = outside the selection).
#pragma once

#include <cstdint>

#include "transform/pixel.h"

constexpr std::uint8_t kUnselected = 255;

// Scans width x height mask bytes, rows of `width` bytes. With nothing selected (or no mask) the
// result is the inverted rectangle (width, height, 1, 1); with a size of 0 or below it is
// (0, 0, 0, 0). Callers treat both as empty.
[[nodiscard]] SelectionRect ScanSelectionBounds(const std::uint8_t* mask, std::int32_t width,
                                                std::int32_t height) noexcept;
