// Engine settings from a fuzz input: the shape, the difference, the profile and the fill, each
// also outside the values the dialog allows.
#pragma once

#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "transform/edge_samplers.h"
#include "transform/shape_profile.h"

struct EngineSettings {
    std::int32_t shape;
    std::int32_t difference;
    LineProfile profile;
    FillParams fill;  // the selection rectangle left at 0 for the caller
};

inline EngineSettings ReadEngineSettings(FuzzInput& input) {
    const std::int32_t shape = input.IntIn(-1, 6);
    const std::int32_t difference =
        input.IntIn(0, 1) != 0 ? input.IntIn(-100, 100) : input.Coordinate(100);
    const std::int32_t mode = input.IntIn(-1, 6);
    const std::int32_t transparent = input.IntIn(0, 1);
    const Pixel32 colour = static_cast<Pixel32>(input.IntIn(-2147483647 - 1, 2147483647));
    const LineProfile profile =
        input.IntIn(0, 1) != 0 ? LineProfile::kPerspective : LineProfile::kClassic;
    return {shape,
            difference,
            profile,
            {mode, ResolveFillColour(mode, colour, transparent), transparent, 0, 0, 0, 0}};
}
