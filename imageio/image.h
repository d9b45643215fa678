// Images in memory: Pixel32 words as the plug-in takes them, grey bytes for masks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "imageio/photo_metadata.h"
#include "transform/pixel.h"

// An image as the plug-in sees it: width × height Pixel32 words, row stride = width; with the
// metadata of the photograph it was read from.
struct RgbaImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Pixel32> pixels;
    PhotoMetadata metadata;
};

// A one-channel image, one byte per pixel, row stride = width.
struct GreyImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> values;
};

[[nodiscard]] constexpr Pixel32 PackPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                          std::uint8_t alpha) noexcept {
    return static_cast<Pixel32>(blue) | static_cast<Pixel32>(green) << 8 |
           static_cast<Pixel32>(red) << 16 | static_cast<Pixel32>(alpha) << 24;
}

// True when every pixel has alpha 255: the image can be written without its alpha channel.
[[nodiscard]] inline bool IsOpaque(const RgbaImage& image) {
    return std::all_of(image.pixels.begin(), image.pixels.end(),
                       [](Pixel32 pixel) { return pixel >> 24 == 0xFFu; });
}
