// Edge samplers: the undefined area beside a squeezed line and the blended pixels at its ends,
// for each of the six fills.
#pragma once

#include <array>
#include <cstdint>

#include "transform/pixel.h"

// The fill of the undefined area. `colour` is already resolved for modes 2 to 5 (and made
// transparent when asked); left..bottom is the selection rectangle, clipped to the image.
struct FillParams {
    std::int32_t mode;  // UndefinedAreaMode
    Pixel32 colour;
    std::int32_t transparent;  // non-zero: pixels taken from the image get alpha 0
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

struct SamplerContext {
    const Pixel32* source;  // the untouched source image
    std::int32_t stride;    // pixels per row, equal to the image width
    std::int32_t height;    // rows
    const FillParams* fill;
};

// Every outside and edge operation has this signature; each ignores the arguments it does not use.
// (x, y) is the output pixel; [sx, sx + length) or [sy, sy + length) the interval along its line.
using SamplerFn = Pixel32 (*)(const SamplerContext& context, std::int32_t x, std::int32_t y,
                              double sx, double sy, double length);

enum SamplerSlot : int {
    kOutsideLeft = 0,
    kOutsideRight = 1,
    kOutsideTop = 2,
    kOutsideBottom = 3,
    kEdgeLeft = 4,
    kEdgeRight = 5,
    kEdgeTop = 6,
    kEdgeBottom = 7,
};
constexpr int kSlotCount = 8;

using SamplerRow = std::array<SamplerFn, kSlotCount>;

// The operations for a fill mode; a mode outside 0..5 gets the row of mode 0.
[[nodiscard]] const SamplerRow& SamplerTable(std::int32_t mode) noexcept;

// The colour the undefined area is filled with: the host's colour for the foreground and
// background modes, opaque white or black for modes 4 and 5, with alpha 0 when transparent.
// Modes 0 and 1 take their fill from the image and keep `queried` unused.
[[nodiscard]] constexpr Pixel32 ResolveFillColour(std::int32_t mode, Pixel32 queried,
                                                  std::int32_t transparent) noexcept {
    Pixel32 colour = queried;
    if (mode == static_cast<std::int32_t>(UndefinedAreaMode::kWhite)) colour = 0xFFFFFFFFu;
    if (mode == static_cast<std::int32_t>(UndefinedAreaMode::kBlack)) colour = 0xFF000000u;
    return transparent != 0 ? WithoutAlpha(colour) : colour;
}

// Whether the undefined area's pixel is the same all along each side of a line, as it is for every
// fill but the source pixel: a line then asks its operation once per side, not once per pixel.
[[nodiscard]] constexpr bool FillIsUniformAlongLine(std::int32_t mode) noexcept {
    return mode != static_cast<std::int32_t>(UndefinedAreaMode::kSourcePixel);
}

// Shorthand: the operation in `slot` for the mode of the context's fill.
[[nodiscard]] inline SamplerFn Sampler(const SamplerContext& context, SamplerSlot slot) noexcept {
    return SamplerTable(context.fill->mode)[static_cast<std::size_t>(slot)];
}
