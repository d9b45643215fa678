// What the preview renderers share: the region of the image that can be drawn, and where a
// visible line's pixels go on the canvas.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

#include <emmintrin.h>

#include "ui/canvas_pixels.h"
#include "ui/preview_render.h"

namespace preview_canvas_lines {

// The region cut down to the image, its canvas origin moved along; empty when nothing is inside.
// Computed in 64 bits: an origin near the 32-bit limit plus a size would wrap around and pass
// the checks. A canvas origin that leaves 32 bits is kept at -1, which no canvas contains.
inline PreviewRegion ClipRegion(const PreviewRegion& region, std::int32_t width,
                                std::int32_t height) noexcept {
    const auto clip = [](std::int32_t origin, std::int32_t size, std::int32_t extent,
                         std::int32_t dest, std::int32_t* from, std::int32_t* count) {
        const std::int64_t start = std::max<std::int64_t>(origin, 0);
        const std::int64_t end =
            std::min<std::int64_t>(std::int64_t{origin} + std::max(size, 0), std::max(extent, 0));
        const std::int64_t at = std::int64_t{dest} + (start - origin);
        *from = static_cast<std::int32_t>(start);
        *count = static_cast<std::int32_t>(std::max<std::int64_t>(end - start, 0));
        return static_cast<std::int32_t>(at > std::numeric_limits<std::int32_t>::max() ? -1 : at);
    };
    PreviewRegion clipped{};
    clipped.destOrigin.x = clip(region.sourceOrigin.x, region.size.width, width,
                                region.destOrigin.x, &clipped.sourceOrigin.x, &clipped.size.width);
    clipped.destOrigin.y = clip(region.sourceOrigin.y, region.size.height, height,
                                region.destOrigin.y, &clipped.sourceOrigin.y, &clipped.size.height);
    return clipped;
}

// The region of the image that can be drawn: cut to the image, whose extent is counted in the
// region's units (pixels, or blocks of a zoomed view), and empty, with the canvas's error
// recorded, when it does not fit the canvas. Checked once here, so that the pixels are written
// without a test each.
inline bool DrawableRegion(CanvasPixels& canvas, const PreviewSource& source,
                           const PreviewRegion& visible, const CanvasSize& extent,
                           PreviewRegion* region) noexcept {
    if (source.pixels == nullptr || source.width <= 0 || source.height <= 0) return false;
    *region = ClipRegion(visible, extent.width, extent.height);
    if (!canvas.Contains(region->destOrigin, region->size)) {
        canvas.Fail(CanvasError::kPixelOutside);
        return false;
    }
    return true;
}

// Whether the four pixels of v are all opaque.
inline bool AllOpaque(__m128i v) noexcept {
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(v, alpha), alpha)) == 0xFFFF;
}

// The canvas words of four opaque pixels: their colours, the alpha byte cleared.
inline __m128i OpaqueWords(__m128i v) noexcept {
    return _mm_and_si128(v, _mm_set1_epi32(0x00FFFFFF));
}

// The 32-bit lane k (0 or 1) of v.
inline std::uint32_t Lane(__m128i v, int k) noexcept {
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(k == 0 ? v : _mm_srli_si128(v, 4)));
}

// Where a visible line's pixels go on the canvas: position p along it is canvas pixel
// (baseX + p, baseY) for a row or (baseX, baseY + p) for a column. The region it belongs to has
// been checked to fit the canvas.
template <bool kRows>
class CanvasLine {
   public:
    CanvasLine(CanvasPixels& target, const PreviewRegion& region, std::int32_t line) noexcept {
        const CanvasPoint& dest = region.destOrigin;
        const CanvasPoint& from = region.sourceOrigin;
        baseX = kRows ? dest.x - from.x : dest.x + (line - from.x);
        baseY = kRows ? dest.y + (line - from.y) : dest.y - from.y;
        // Positions of the region only are put: the first is at the region's canvas origin.
        first = target.WordInside(kRows ? dest.x : baseX, kRows ? baseY : dest.y);
        firstPosition = kRows ? from.x : from.y;
        stride = kRows ? 1 : target.Width();
    }
    void Put(std::int32_t p, Pixel32 value) noexcept {
        const std::uint8_t alpha = static_cast<std::uint8_t>(value >> 24);
        const std::int32_t x = kRows ? baseX + p : baseX;
        const std::int32_t y = kRows ? baseY : baseY + p;
        first[(p - firstPosition) * stride] = CompositeOverBoard(x, y, value, alpha);
    }
    // Positions from..from+count-1 get values[0..count). Along a row, four opaque pixels at a
    // time need only their alpha byte cleared.
    void PutRun(std::int32_t from, const Pixel32* values, std::int32_t count) noexcept {
        std::int32_t j = 0;
        if (kRows) {
            std::uint32_t* words = first + (from - firstPosition);
            for (; j + 4 <= count; j += 4) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + j));
                if (!AllOpaque(v)) {
                    for (std::int32_t k = j; k < j + 4; ++k) Put(from + k, values[k]);
                    continue;
                }
                _mm_storeu_si128(reinterpret_cast<__m128i*>(words + j), OpaqueWords(v));
            }
        }
        for (; j < count; ++j) Put(from + j, values[j]);
    }

   private:
    std::uint32_t* first;  // the word of the region's first position along the line
    std::ptrdiff_t stride;
    std::int32_t firstPosition;
    std::int32_t baseX;
    std::int32_t baseY;
};

}  // namespace preview_canvas_lines
