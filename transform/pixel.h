// Pixel words, selection rectangles and the enumerations the settings file persists.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin_interface/kv_types.h"

constexpr Pixel32 kAlphaMask = 0xFF000000u;

[[nodiscard]] constexpr unsigned Channel(Pixel32 p, int channel) noexcept {
    return (p >> (8 * channel)) & 0xFFu;
}

[[nodiscard]] constexpr Pixel32 WithoutAlpha(Pixel32 p) noexcept { return p & ~kAlphaMask; }

// Values are persisted in the settings file: never renumber.
enum class TrapezoidShape : std::int32_t {
    kTopAndBottom = 0,
    kTop = 1,
    kBottom = 2,
    kLeftAndRight = 3,
    kLeft = 4,
    kRight = 5,
};

enum class UndefinedAreaMode : std::int32_t {
    kEdgePixel = 0,
    kSourcePixel = 1,
    kForeground = 2,
    kBackground = 3,
    kWhite = 4,
    kBlack = 5,
};

constexpr std::int32_t kShapeCount = 6;
constexpr std::int32_t kModeCount = 6;

// Word index of (x, y) in an image whose row stride is `stride` pixels; wide enough for any image.
[[nodiscard]] constexpr std::ptrdiff_t PixelIndex(std::int32_t x, std::int32_t y,
                                                  std::int32_t stride) noexcept {
    return static_cast<std::ptrdiff_t>(y) * stride + x;
}

// An image as the preview and the straightening estimate read it. The width is also the row
// stride. `mask` has one byte per pixel in the same layout, 255 for a pixel outside the selection;
// null when every pixel is selected.
struct PictureView {
    const Pixel32* pixels;
    std::int32_t width;
    std::int32_t height;
    const std::uint8_t* mask;
};
