// Pictures, canvases and the pass's output for the preview rendering's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/engine_cases.h"
#include "transform/transform_pass.h"
#include "ui/preview_render.h"

namespace preview_test {

inline constexpr Pixel32 kRed = 0xFFFF0000u;
inline constexpr Pixel32 kWhite = 0xFFFFFFFFu;
inline constexpr std::uint32_t kUntouched = 0x00ABCDEFu;  // canvas words no render should write

struct Image {
    std::int32_t width;
    std::int32_t height;
    std::vector<Pixel32> pixels;
    std::vector<std::uint8_t> mask;  // empty: the host has none

    Pixel32 At(std::int32_t x, std::int32_t y) const {
        return pixels[static_cast<std::size_t>(y) * width + x];
    }
    PreviewSource Source() const {
        return {pixels.data(), width, height, mask.empty() ? nullptr : mask.data()};
    }
};

inline Image Noise(std::int32_t w, std::int32_t h, bool opaque) {
    Image image{w, h, engine_cases::MakeImage(w, h), {}};
    if (opaque) {
        for (Pixel32& p : image.pixels) p |= 0xFF000000u;
    }
    return image;
}

inline Image Flat(std::int32_t w, std::int32_t h, Pixel32 value) {
    return {w, h, std::vector<Pixel32>(static_cast<std::size_t>(w) * h, value), {}};
}

inline FillParams Fill(std::int32_t mode, SelectionRect rect, std::int32_t transparent = 0) {
    return engine_cases::HostFill(mode, transparent, rect);
}

inline CanvasPixels Canvas(std::int32_t w, std::int32_t h) {
    CanvasPixels canvas;
    EXPECT_TRUE(canvas.Allocate(w, h, kUntouched));
    return canvas;
}

// A focal length that says the proportions are not restored.
inline constexpr std::int32_t kNoLens = 0;

// The whole image at canvas (0, 0), on a canvas of the image's size; with a `focal` length, the
// proportions restored.
inline CanvasPixels RenderWhole(const Image& image, std::int32_t shape, std::int32_t difference,
                                const FillParams& fill, LineProfile profile = LineProfile::kClassic,
                                std::int32_t focal = kNoLens) {
    CanvasPixels canvas = Canvas(image.width, image.height);
    MovedLines moved(focal);
    RenderTrapezoidPreview(canvas, image.Source(), {{0, 0}, {0, 0}, {image.width, image.height}},
                           shape, difference, profile, fill, focal != kNoLens ? &moved : nullptr);
    EXPECT_EQ(canvas.Error(), CanvasError::kNone);
    return canvas;
}

// What the canvas shows for pixel value p at canvas position (x, y).
inline std::uint32_t Shown(std::int32_t x, std::int32_t y, Pixel32 p) {
    return CompositeOverBoard(x, y, p, static_cast<std::uint8_t>(p >> 24));
}

inline std::vector<Pixel32> Pass(const Image& image, SelectionRect rect, std::int32_t shape,
                                 std::int32_t difference, const FillParams& fill,
                                 LineProfile profile = LineProfile::kClassic,
                                 std::int32_t focal = kNoLens) {
    std::vector<Pixel32> dest = image.pixels;
    if (focal != kNoLens) {
        EXPECT_TRUE(RunTransformInProportion(image.pixels.data(), dest.data(), image.width,
                                             image.height, rect, shape, difference, focal, fill,
                                             nullptr));
        return dest;
    }
    RunTransform(image.pixels.data(), dest.data(), image.width, image.height, rect, shape,
                 difference, profile, fill, nullptr);
    return dest;
}

}  // namespace preview_test
