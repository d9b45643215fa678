// Preview canvas pixels: the off-screen display buffer of the preview, with the checkerboard
// composite of every pixel written into it and the pan geometry of the visible region.
#include "ui/canvas_pixels.h"

#include <algorithm>
#include <cmath>
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
    if (imageSize - origin < canvasSize) origin = imageSize - canvasSize;
    return std::max(origin, 0);
}

namespace {

// Scales stop here: no image axis is longer, so every image fits by then.
constexpr std::int32_t kLargestScale = std::int32_t{1} << 29;

constexpr bool IsPowerOfTwo(std::int32_t scale) noexcept { return (scale & (scale - 1)) == 0; }

}  // namespace

std::int32_t ZoomOutStep(std::int32_t scale) noexcept {
    if (scale < 2) return 2;
    if (scale >= kLargestScale) return kLargestScale;
    return IsPowerOfTwo(scale) ? scale / 2 * 3 : scale / 3 * 4;
}

std::int32_t ZoomInStep(std::int32_t scale) noexcept {
    if (scale <= 2) return 1;
    return IsPowerOfTwo(scale) ? scale / 4 * 3 : scale / 3 * 2;
}

std::int32_t FitScale(const CanvasSize& canvas, const CanvasSize& image) noexcept {
    std::int32_t scale = 1;
    while (scale < kLargestScale && (ZoomedExtent(image.width, scale) > canvas.width ||
                                     ZoomedExtent(image.height, scale) > canvas.height)) {
        scale = ZoomOutStep(scale);
    }
    return scale;
}

std::int32_t ZoomedOrigin(std::int32_t origin, const ZoomChange& change, std::int32_t imageSize,
                          std::int32_t canvasSize) noexcept {
    const std::int32_t before = ZoomedExtent(imageSize, change.from);
    const std::int32_t after = ZoomedExtent(imageSize, change.to);
    if (after <= canvasSize) return 0;
    // The image point under `at`, in image pixels: the centre of the block it shows there.
    const bool centred = before <= canvasSize;
    const double shown = centred ? change.at - (canvasSize - before) / 2 : origin + change.at;
    const double point = (shown + 0.5) * std::max(change.from, 1);
    const double block = std::floor(point / std::max(change.to, 1)) - change.at;
    const double limit = static_cast<double>(after);
    return ClampOrigin(static_cast<std::int32_t>(std::clamp(block, -limit, limit)), after,
                       canvasSize);
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

void CanvasPixels::Clear(std::uint32_t fill) noexcept {
    std::fill_n(words.get(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                fill);
}
