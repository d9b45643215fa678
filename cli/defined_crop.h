// run --crop: the result cut to the rectangle that its settings leave defined, computed from
// their geometry by the portable engine, not by looking for the fill's colours.
#pragma once

#include <cstdint>
#include <string>

#include "host/image.h"

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
