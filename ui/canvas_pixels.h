// Preview canvas pixels: the off-screen display buffer of the preview, with the checkerboard
// composite of every pixel written into it and the pan geometry of the visible region.
#pragma once

#include <cstdint>
#include <memory>

#include "transform/pixel.h"

// Why a canvas stopped drawing the preview; the number is shown in its place.
enum class CanvasError : std::int32_t {
    kNone = 0,
    kNoControl = 1,        // the dialog has no control with the id
    kNoClientRect = 2,     // the control's client rectangle cannot be read
    kNoBuffer = 3,         // the pixel buffer cannot be allocated
    kNoSubclass = 4,       // the control's window procedure cannot be replaced
    kNoDeviceContext = 5,  // a refresh gets no device context
    kPixelOutside = 6,     // a pixel was written outside the canvas
};

struct CanvasPoint {
    std::int32_t x;
    std::int32_t y;
};

struct CanvasSize {
    std::int32_t width;
    std::int32_t height;
};

// Grey of the 8 x 8 checkerboard cell under canvas pixel (x, y); the top-left cell is light.
[[nodiscard]] constexpr std::uint32_t CheckerboardGrey(std::int32_t x, std::int32_t y) noexcept {
    return ((x ^ y) & 8) == 0 ? 255u : 192u;
}

// The display word of `source` seen over the board at (x, y) with the given opacity: each
// colour channel is (c * alpha + grey * (255 - alpha)) / 255, truncated; the top byte is 0.
[[nodiscard]] constexpr std::uint32_t CompositeOverBoard(std::int32_t x, std::int32_t y,
                                                         Pixel32 source,
                                                         std::uint8_t alpha) noexcept {
    // Opaque and clear pixels need no arithmetic; the general formula gives the same words.
    if (alpha == 255) return source & 0x00FFFFFFu;
    const std::uint32_t grey = CheckerboardGrey(x, y);
    if (alpha == 0) return grey << 16 | grey << 8 | grey;
    std::uint32_t word = 0;
    for (int channel = 0; channel < 3; ++channel) {
        const std::uint32_t c = Channel(source, channel);
        word |= ((c * alpha + grey * (255u - alpha)) / 255u) << (8 * channel);
    }
    return word;
}

// The image's placement along one axis of the canvas.
struct AxisView {
    std::int32_t destination;  // first canvas pixel showing the image
    std::int32_t extent;       // image pixels shown
};

// A fitting image is centred (rounded toward zero) and its origin reset to 0; a larger one fills
// the canvas from the panned `origin`.
[[nodiscard]] AxisView LayoutAxis(bool fits, std::int32_t canvasSize, std::int32_t imageSize,
                                  std::int32_t* origin) noexcept;

// Keeps a panned origin from showing anything beyond the image: the far edge is tested first,
// then the near one, so an axis along which the image fits keeps the origin 0 that layout uses.
[[nodiscard]] std::int32_t ClampOrigin(std::int32_t origin, std::int32_t imageSize,
                                       std::int32_t canvasSize) noexcept;

// Zoom: at scale k (1:k) one canvas pixel stands for a k x k block of the image. The scales run
// 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, ...: after 2, alternately half as large again and a third
// as large again, each power of two and three times each power of two.

// Canvas pixels an image axis of `imageSize` pixels takes at 1:scale; its last block may be cut.
[[nodiscard]] constexpr std::int32_t ZoomedExtent(std::int32_t imageSize,
                                                  std::int32_t scale) noexcept {
    if (imageSize <= 0) return 0;
    return scale <= 1 ? imageSize : (imageSize - 1) / scale + 1;
}

// The next smaller view (a larger k) and the next larger one (down to 1).
[[nodiscard]] std::int32_t ZoomOutStep(std::int32_t scale) noexcept;
[[nodiscard]] std::int32_t ZoomInStep(std::int32_t scale) noexcept;

// The first scale of the series at which the whole image fits the canvas; 1 when it fits at 1:1.
[[nodiscard]] std::int32_t FitScale(const CanvasSize& canvas, const CanvasSize& image) noexcept;

// The origin along one axis, in canvas pixels at scale `to`, that keeps under canvas position
// `at` the image point it shows at scale `from` with `origin`, as far as the pan clamp allows.
// An axis along which the image fits gets 0, which layout centres.
struct ZoomChange {
    std::int32_t from;
    std::int32_t to;
    std::int32_t at;
};
[[nodiscard]] std::int32_t ZoomedOrigin(std::int32_t origin, const ZoomChange& change,
                                        std::int32_t imageSize, std::int32_t canvasSize) noexcept;

// The buffer of display words, row after row from the top with no gap, and its error number.
class CanvasPixels {
   public:
    // Replaces the buffer by one of width x height words of `fill`; false when it cannot be had.
    bool Allocate(std::int32_t width, std::int32_t height, std::uint32_t fill) noexcept;
    // Sets every word to `fill`.
    void Clear(std::uint32_t fill) noexcept;

    // Composites `source` with `alpha` over the board at (x, y). A position outside the canvas
    // writes nothing, records kPixelOutside and gives false.
    bool PutPixel(std::int32_t x, std::int32_t y, Pixel32 source, std::uint8_t alpha) noexcept {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            Fail(CanvasError::kPixelOutside);
            return false;
        }
        PutPixelInside(x, y, source, alpha);
        return true;
    }

    // True when the block of `size` at `at` lies wholly inside the canvas.
    [[nodiscard]] bool Contains(const CanvasPoint& at, const CanvasSize& size) const noexcept {
        return at.x >= 0 && at.y >= 0 && size.width >= 0 && size.height >= 0 &&
               size.width <= width - at.x && size.height <= height - at.y;
    }

    // PutPixel without the bounds test, for writers that checked their block with Contains.
    void PutPixelInside(std::int32_t x, std::int32_t y, Pixel32 source,
                        std::uint8_t alpha) noexcept {
        words[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
              static_cast<std::size_t>(x)] = CompositeOverBoard(x, y, source, alpha);
    }

    // The word of (x, y), for writers that checked their block with Contains and composite
    // themselves.
    [[nodiscard]] std::uint32_t* WordInside(std::int32_t x, std::int32_t y) noexcept {
        return words.get() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                              static_cast<std::size_t>(x));
    }

    [[nodiscard]] std::int32_t Width() const noexcept { return width; }
    [[nodiscard]] std::int32_t Height() const noexcept { return height; }
    [[nodiscard]] const std::uint32_t* Words() const noexcept { return words.get(); }
    [[nodiscard]] std::uint32_t At(std::int32_t x, std::int32_t y) const noexcept {
        return words[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)];
    }

    [[nodiscard]] CanvasError Error() const noexcept { return error; }
    // Errors are final: once set, a later call keeps the first number.
    void Fail(CanvasError why) noexcept {
        if (error == CanvasError::kNone) error = why;
    }

   private:
    std::unique_ptr<std::uint32_t[]> words;
    std::int32_t width = 0;
    std::int32_t height = 0;
    CanvasError error = CanvasError::kNone;
};
