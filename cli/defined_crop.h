// run --crop: the result cut to the rectangle that its settings leave defined, computed from
// their geometry by the portable engine, not by looking for the fill's colours.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "imageio/image.h"

// The settings that say where a result is defined.
struct TrapezoidGeometrySettings {
    std::int32_t shape;
    std::int32_t difference;
    std::int32_t perspective;
    std::int32_t proportions;
    std::int32_t focal;
};

// The part of `image` inside the rectangle that a run over `rect` leaves defined. Throws
// HostError naming `input` when nothing of it is.
void CropToDefined(RgbaImage& image, const SelectionRect& rect,
                   const TrapezoidGeometrySettings& settings, const std::string& input);

// The text of a warning when a run over `rect` of a WIDTH x HEIGHT image leaves none of it
// defined (the perspective profile with an edge 0 long: every line is), else nothing.
[[nodiscard]] std::optional<std::string> AllUndefinedWarning(
    std::int32_t width, std::int32_t height, const SelectionRect& rect,
    const TrapezoidGeometrySettings& settings, const std::string& input);
