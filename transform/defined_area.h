// Defined area: the part of a transform's result that holds no pixel of the undefined area, from
// the lines' geometry alone, so that a white wall beside a white fill is not taken for the fill.
#pragma once

#include <cstdint>

#include "transform/pixel.h"
#include "transform/shape_profile.h"

// The largest rectangle of the result inside the selection `rect` (clipped to the width x height
// image) that holds no pixel of the undefined area, wholly or partly, centred along the lines on
// their common centre. The clipped rectangle itself where nothing is undefined (a difference of 0,
// a shape outside 0..5, only stretched lines); an empty rectangle where nothing is defined. With
// `restore` and the perspective profile, the proportions restored with the lens of `focal` mm.
[[nodiscard]] SelectionRect DefinedRectangle(std::int32_t width, std::int32_t height,
                                             const SelectionRect& rect, std::int32_t shape,
                                             std::int32_t difference, LineProfile profile,
                                             bool restore, std::int32_t focal) noexcept;
