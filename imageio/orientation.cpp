// A photograph turned upright: its stored pixels as a viewer shows them under the EXIF
// orientation 1 to 8. Portable.
#include "imageio/orientation.h"

#include <cstddef>
#include <utility>

namespace {

// Where shown pixel (x, y) is stored: index base + x * acrossStep + y * downStep, each a signed
// multiple of 1 or of the stored width W; H is the stored height.
struct Walk {
    std::ptrdiff_t base;
    std::ptrdiff_t acrossStep;
    std::ptrdiff_t downStep;
};

Walk WalkOf(int orientation, std::ptrdiff_t w, std::ptrdiff_t h) {
    switch (orientation) {
        case 2:
            return {w - 1, -1, w};  // mirrored
        case 3:
            return {(h - 1) * w + w - 1, -1, -w};  // half round
        case 4:
            return {(h - 1) * w, 1, -w};  // upside-down mirror
        case 5:
            return {0, w, 1};  // transposed
        case 6:
            return {(h - 1) * w, -w, 1};  // a quarter clockwise
        case 7:
            return {(h - 1) * w + w - 1, -w, -1};  // transversed
        case 8:
            return {w - 1, w, -1};  // a quarter anticlockwise
        default:
            return {0, 1, w};
    }
}

}  // namespace

RgbaImage Upright(RgbaImage image, int orientation) {
    if (orientation < 2 || orientation > 8) return image;
    const std::ptrdiff_t width = image.width;
    const std::ptrdiff_t height = image.height;
    const bool swaps = orientation >= 5;
    const std::ptrdiff_t shownWidth = swaps ? height : width;
    const std::ptrdiff_t shownHeight = swaps ? width : height;
    const Walk walk = WalkOf(orientation, width, height);
    std::vector<Pixel32> shown(image.pixels.size());
    const Pixel32* in = image.pixels.data();
    Pixel32* out = shown.data();
    for (std::ptrdiff_t y = 0; y < shownHeight; ++y) {
        const std::ptrdiff_t start = walk.base + y * walk.downStep;
        for (std::ptrdiff_t x = 0; x < shownWidth; ++x) *out++ = in[start + x * walk.acrossStep];
    }
    image.pixels = std::move(shown);
    image.width = static_cast<std::int32_t>(shownWidth);
    image.height = static_cast<std::int32_t>(shownHeight);
    return image;
}
