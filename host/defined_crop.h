// run --crop: the result cut to the rectangle that the Trapezoid plug-in's settings leave
// defined, computed from their geometry by the portable engine.
#pragma once

#include <cstdint>

#include "host/image.h"
#include "platform/win32.h"

// The settings of the plug-in's [Trapezoid] section, in the settings file beside it, that say
// where a result is defined; a missing file or key reads as 0, a lens outside 8..800 as 28.
struct TrapezoidGeometrySettings {
    std::int32_t shape;
    std::int32_t difference;
    std::int32_t perspective;
    std::int32_t proportions;
    std::int32_t focal;
};
[[nodiscard]] TrapezoidGeometrySettings ReadGeometrySettings(HMODULE plugin);

// The part of `image` inside the rectangle that a run over `rect` leaves defined. Throws
// HostError naming `input` when nothing of it is.
void CropToDefined(RgbaImage& image, const SelectionRect& rect,
                   const TrapezoidGeometrySettings& settings, const std::string& input);
