// Preview canvas pixels: the off-screen display buffer of the preview, with the checkerboard
// composite of every pixel written into it and the pan geometry of the visible region.
#include "ui/canvas_pixels.h"

#include <algorithm>
#include <cstddef>
#include <new>

AxisView LayoutAxis(bool fits, std::int32_t canvasSize, std::int32_t imageSize,
                    std::int32_t* origin) noexcept {
    if (fits) {
        *origin = 0;
        return {(canvasSize - imageSize) / 2, imageSize};
    }
    return {0, canvasSize};
}

std::int32_t ClampOrigin(std::int32_t origin, std::int32_t imageSize,
                         std::int32_t canvasSize) noexcept {
    if (imageSize - origin < canvasSize) return imageSize - canvasSize;
    if (origin < 0) return 0;
    return origin;
}

bool CanvasPixels::Allocate(std::int32_t newWidth, std::int32_t newHeight,
                            std::uint32_t fill) noexcept {
    words.reset();
    width = 0;
    height = 0;
    // A control cannot have a negative client size; treat one as empty rather than wrap.
    const std::size_t w = static_cast<std::size_t>(std::max(newWidth, 0));
    const std::size_t h = static_cast<std::size_t>(std::max(newHeight, 0));
    // No control is this large; the limit keeps the size product and the allocation sane.
    constexpr std::size_t kMaxWords = std::size_t{1} << 26;
    if (h != 0 && w > kMaxWords / h) return false;
    words.reset(new (std::nothrow) std::uint32_t[w * h]);
    if (!words) return false;
    std::fill_n(words.get(), w * h, fill);
    width = static_cast<std::int32_t>(w);
    height = static_cast<std::int32_t>(h);
    return true;
}
