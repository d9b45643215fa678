// PNG files of the host: 8-bit images read into Pixel32 words or grey bytes, written back as RGBA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transform/pixel.h"

// An image as the plug-in sees it: width × height Pixel32 words, row stride = width.
struct RgbaImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Pixel32> pixels;
};

// A one-channel image, one byte per pixel, row stride = width.
struct GreyImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> values;
};

// Reads an 8-bit PNG file; grey and RGB images get alpha 255. Throws HostError.
[[nodiscard]] RgbaImage ReadRgbaPng(const std::string& path);

// Reads an 8-bit PNG file as grey levels (colour converted to luminance). Throws HostError.
[[nodiscard]] GreyImage ReadGreyPng(const std::string& path);

// Writes an RGBA PNG file. Throws HostError and leaves no partial file behind.
void WriteRgbaPng(const std::string& path, const RgbaImage& image);

[[nodiscard]] constexpr Pixel32 PackPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                          std::uint8_t alpha) noexcept {
    return static_cast<Pixel32>(blue) | static_cast<Pixel32>(green) << 8 |
           static_cast<Pixel32>(red) << 16 | static_cast<Pixel32>(alpha) << 24;
}
