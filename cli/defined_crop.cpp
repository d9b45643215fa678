// run --crop: the rectangle from the engine, the pixels inside it moved to the image's start.
#include "cli/defined_crop.h"

#include <algorithm>

#include "cli/command_error.h"
#include "transform/defined_area.h"

namespace {

SelectionRect DefinedOf(std::int32_t width, std::int32_t height, const SelectionRect& rect,
                        const TrapezoidGeometrySettings& s) {
    const LineProfile profile =
        s.perspective != 0 ? LineProfile::kPerspective : LineProfile::kClassic;
    return DefinedRectangle(width, height, rect, s.shape, s.difference, profile, s.proportions != 0,
                            s.focal);
}

}  // namespace

std::optional<std::string> AllUndefinedWarning(std::int32_t width, std::int32_t height,
                                               const SelectionRect& rect,
                                               const TrapezoidGeometrySettings& settings,
                                               const std::string& input) {
    if (settings.difference == 0 || settings.difference < -100 || settings.difference > 100) {
        return std::nullopt;  // nothing changes, or the filter refuses the run
    }
    const SelectionRect d = DefinedOf(width, height, rect, settings);
    if ((d.right > d.left && d.bottom > d.top)) return std::nullopt;
    return Quoted(input) + ": difference=" + std::to_string(settings.difference) +
           " makes an edge 0 long, so every line of the rectangle is undefined: the result is all "
           "fill";
}

void CropToDefined(RgbaImage& image, const SelectionRect& rect, const TrapezoidGeometrySettings& s,
                   const std::string& input) {
    const SelectionRect d = DefinedOf(image.width, image.height, rect, s);
    if (d.right <= d.left || d.bottom <= d.top) {
        throw HostError(Quoted(input) + ": nothing of the result is defined to crop to");
    }
    const std::int32_t width = d.right - d.left;
    const std::int32_t height = d.bottom - d.top;
    if (width == image.width && height == image.height) return;
    for (std::int32_t y = 0; y < height; ++y) {
        const auto from = image.pixels.begin() + PixelIndex(d.left, d.top + y, image.width);
        std::copy(from, from + width, image.pixels.begin() + PixelIndex(0, y, width));
    }
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    image.width = width;
    image.height = height;
}
