// The selection of a run, the same for every command: mask bytes from a grey mask image, their
// bounding box, the rectangle the filter gets, and the pixels outside the selection kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imageio/image.h"
#include "selection/selection_scan.h"
#include "transform/pixel.h"

// The grey levels of an image, as a mask image is read: luminance, alpha ignored.
[[nodiscard]] GreyImage GreyOf(const RgbaImage& image);

// Mask bytes from a grey mask image, in place: 255 − grey, so that white selects and black does
// not.
[[nodiscard]] std::vector<std::uint8_t> MaskFromGrey(GreyImage grey);

// Throws UsageError unless the mask image read from PATH has the image's size.
void CheckMaskSize(const std::string& path, const GreyImage& grey, const RgbaImage& image);

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

// The rectangle of a run on IMAGE: RECT, which must lie inside it (and, with a mask, hold a
// selected pixel), else the bounding box of MASK's selection, else the whole image. MASK_PATH
// names the mask in messages (empty: no mask). Throws UsageError.
[[nodiscard]] SelectionRect ChooseRect(const RgbaImage& image,
                                       const std::vector<std::uint8_t>& mask,
                                       const std::string& maskPath,
                                       const std::optional<SelectionRect>& rect);
