// The selection of a run: mask bytes from a mask image, their bounding box, the rectangle that
// the plug-in gets, and keeping the pixels outside the selection as they were.
#include "host/selection.h"

#include <algorithm>
#include <utility>

#include "host/host_error.h"
#include "host/image_file.h"
#include "host/memory_limit.h"
#include "selection/selection_scan.h"

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

std::vector<std::uint8_t> ReadMask(const std::string& path, const RgbaImage& image) {
    GreyImage grey = ReadGreyImage(path, RunBytesPerPixel(/*withMask=*/true));
    CheckMaskSize(path, grey, image);
    return MaskFromGrey(std::move(grey));
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

SelectedImage ReadSelectedImage(const std::string& input,
                                const std::optional<std::string>& maskPath,
                                const std::optional<SelectionRect>& rect) {
    const std::uint32_t bytesPerPixel = RunBytesPerPixel(maskPath.has_value());
    // The mask first: its decoding needs room that the images take later.
    std::optional<GreyImage> maskImage;
    if (maskPath) maskImage = ReadGreyImage(*maskPath, bytesPerPixel);
    SelectedImage selected;
    selected.image = ReadImage(input, bytesPerPixel);
    const RgbaImage& image = selected.image;
    if (maskImage) {
        CheckMaskSize(*maskPath, *maskImage, image);
        selected.mask = MaskFromGrey(std::move(*maskImage));
    }
    if (rect) {
        CheckRectInside(*rect, image.width, image.height);
        selected.rect = *rect;
        // Nothing selected in the rectangle would write the image back unchanged.
        if (maskPath && !SelectsInside(selected.mask, image.width, *rect)) {
            throw UsageError("mask " + Quoted(*maskPath) +
                             " selects no pixel inside the rectangle " + RectText(*rect));
        }
    } else if (maskPath) {
        const std::optional<SelectionRect> bounds =
            MaskBounds(selected.mask, image.width, image.height);
        if (!bounds) throw UsageError("mask " + Quoted(*maskPath) + " selects no pixel");
        selected.rect = *bounds;
    } else {
        selected.rect = SelectionRect{0, 0, image.width, image.height};
    }
    return selected;
}
