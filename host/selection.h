// The selection of a run as kvhost reads it: the image and its mask image from their files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/run_selection.h"

// The mask bytes of a mask image file, which must be the image's size. Throws HostError, and
// UsageError when the sizes differ.
[[nodiscard]] std::vector<std::uint8_t> ReadMask(const std::string& path, const RgbaImage& image);

// An image with its selection, as run and suggest hand it to the plug-in.
struct SelectedImage {
    RgbaImage image;
    std::vector<std::uint8_t> mask;  // empty: every pixel is selected
    SelectionRect rect{};
};

// Reads the image and its mask image (white selects), and chooses the rectangle: the one given,
// else the bounding box of the mask's selection, else the whole image. The room checked for is
// a run's (RunBytesPerPixel). Throws HostError, and UsageError for a rectangle outside the image,
// a mask of another size or a mask that selects nothing (inside the rectangle, when one is given).
[[nodiscard]] SelectedImage ReadSelectedImage(const std::string& input,
                                              const std::optional<std::string>& maskPath,
                                              const std::optional<SelectionRect>& rect);
