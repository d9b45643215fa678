// The selection of a run, the same for every command.
#include "cli/run_selection.h"

#include <algorithm>
#include <utility>

#include "cli/command_error.h"

GreyImage GreyOf(const RgbaImage& image) {
    GreyImage grey{image.width, image.height, std::vector<std::uint8_t>(image.pixels.size())};
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const Pixel32 pixel = image.pixels[i];
        // Rec. 601 luma in 8-bit fixed point, the weights summing to 256.
        grey.values[i] = static_cast<std::uint8_t>(
            (77 * Channel(pixel, 2) + 150 * Channel(pixel, 1) + 29 * Channel(pixel, 0)) >> 8);
    }
    return grey;
}

std::vector<std::uint8_t> MaskFromGrey(GreyImage grey) {
    std::transform(grey.values.begin(), grey.values.end(), grey.values.begin(),
                   [](std::uint8_t level) { return static_cast<std::uint8_t>(255 - level); });
    return std::move(grey.values);
}

void CheckMaskSize(const std::string& path, const GreyImage& grey, const RgbaImage& image) {
    if (grey.width != image.width || grey.height != image.height) {
        throw UsageError("mask " + Quoted(path) + " is " + std::to_string(grey.width) + "x" +
                         std::to_string(grey.height) + " but the image is " +
                         std::to_string(image.width) + "x" + std::to_string(image.height));
    }
}

std::optional<SelectionRect> MaskBounds(const std::vector<std::uint8_t>& mask, std::int32_t width,
                                        std::int32_t height) {
    if (mask.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return std::nullopt;
    }
    const SelectionRect bounds = ScanSelectionBounds(mask.data(), width, height);
    if (bounds.right <= bounds.left) return std::nullopt;  // nothing selected
    return bounds;
}

bool SelectsInside(const std::vector<std::uint8_t>& mask, std::int32_t width,
                   const SelectionRect& rect) {
    for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
        const auto row = mask.begin() + static_cast<std::ptrdiff_t>(y) * width;
        if (std::any_of(row + rect.left, row + rect.right,
                        [](std::uint8_t byte) { return byte != kUnselected; })) {
            return true;
        }
    }
    return false;
}

void CheckRectInside(const SelectionRect& rect, std::int32_t width, std::int32_t height) {
    if (rect.left >= rect.right || rect.top >= rect.bottom) {
        throw UsageError("rectangle " + RectText(rect) + " is empty or inverted");
    }
    if (rect.left < 0 || rect.top < 0 || rect.right > width || rect.bottom > height) {
        throw UsageError("rectangle " + RectText(rect) + " is outside the " +
                         std::to_string(width) + "x" + std::to_string(height) + " image");
    }
}

void KeepUnselected(const std::vector<std::uint8_t>& mask, const std::vector<Pixel32>& source,
                    std::vector<Pixel32>& destination) {
    for (std::size_t i = 0; i < mask.size() && i < destination.size(); ++i) {
        if (mask[i] == kUnselected) destination[i] = source[i];
    }
}

std::string RectText(const SelectionRect& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

SelectionRect ChooseRect(const RgbaImage& image, const std::vector<std::uint8_t>& mask,
                         const std::string& maskPath, const std::optional<SelectionRect>& rect) {
    const bool masked = !maskPath.empty();
    if (rect) {
        CheckRectInside(*rect, image.width, image.height);
        // Nothing selected in the rectangle would write the image back unchanged.
        if (masked && !SelectsInside(mask, image.width, *rect)) {
            throw UsageError("mask " + Quoted(maskPath) +
                             " selects no pixel inside the rectangle " + RectText(*rect));
        }
        return *rect;
    }
    if (masked) {
        const std::optional<SelectionRect> bounds = MaskBounds(mask, image.width, image.height);
        if (!bounds) throw UsageError("mask " + Quoted(maskPath) + " selects no pixel");
        return *bounds;
    }
    return SelectionRect{0, 0, image.width, image.height};
}
