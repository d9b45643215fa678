// The selection of a run: mask bytes from a mask image, their bounding box, the rectangle that
// the plug-in gets, and keeping the pixels outside the selection as they were.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/image.h"
#include "selection/selection_scan.h"
#include "transform/pixel.h"

// Mask bytes from a grey mask image, in place: 255 − grey, so that white selects and black does
// not.
[[nodiscard]] std::vector<std::uint8_t> MaskFromGrey(GreyImage grey);

// Throws UsageError unless the mask image read from PATH has the image's size.
void CheckMaskSize(const std::string& path, const GreyImage& grey, const RgbaImage& image);

// The mask bytes of a mask image file, which must be the image's size. Throws HostError, and
// UsageError when the sizes differ.
[[nodiscard]] std::vector<std::uint8_t> ReadMask(const std::string& path, const RgbaImage& image);

// Bounding box of the selected bytes (≠ 255), or nothing when no byte is selected.
[[nodiscard]] std::optional<SelectionRect> MaskBounds(const std::vector<std::uint8_t>& mask,
                                                      std::int32_t width, std::int32_t height);

// Whether the mask selects a pixel inside RECT, which lies inside the mask's width-wide image.
[[nodiscard]] bool SelectsInside(const std::vector<std::uint8_t>& mask, std::int32_t width,
                                 const SelectionRect& rect);

// Throws UsageError unless 0 ≤ left < right ≤ width and 0 ≤ top < bottom ≤ height.
void CheckRectInside(const SelectionRect& rect, std::int32_t width, std::int32_t height);

// Puts the source value back into every destination pixel that the mask leaves unselected.
void KeepUnselected(const std::vector<std::uint8_t>& mask, const std::vector<Pixel32>& source,
                    std::vector<Pixel32>& destination);

[[nodiscard]] std::string RectText(const SelectionRect& rect);

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
