// Tests of the zoomed preview: its blocks against the pass, and the mask's spans.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ui/preview_render.h"
#include "ui/preview_test_images.h"

namespace {

using namespace preview_test;

// Four pixels seen together: alpha averaged, colours averaged weighted by alpha, halves up.
Pixel32 SeenTogether(const std::vector<Pixel32>& four) {
    std::uint32_t alphas = 0;
    for (const Pixel32 p : four) alphas += p >> 24;
    if (alphas == 0) return 0;
    Pixel32 average = (alphas + 2) / 4 << 24;
    for (int channel = 0; channel < 3; ++channel) {
        std::uint32_t weighted = 0;
        for (const Pixel32 p : four) weighted += Channel(p, channel) * (p >> 24);
        average |= (weighted + alphas / 2) / alphas << (8 * channel);
    }
    return average;
}

// A zoomed view against the pass, every shape under both profiles and with the proportions
// restored, on a small image with a mask,
// at scales whose last blocks are cut: each canvas pixel shows together the pass's output (the
// source where the mask byte is 255) at the block's quarter points. No line here is squeezed to
// one pixel, so the pass and the 1:1 preview agree everywhere.
TEST(PreviewRender, ZoomedViewAveragesFourPixelsOfThePass) {
    for (const bool opaque : {false, true}) {
        Image image = Noise(23, 17, opaque);
        image.mask.resize(23 * 17);
        for (std::size_t i = 0; i < image.mask.size(); ++i) image.mask[i] = i % 5 == 0 ? 255 : 254;
        const SelectionRect rect{2, 1, 21, 15};
        const auto quarter = [](std::int32_t block, std::int32_t scale, std::int32_t size, int i) {
            return block * scale + std::min(scale, size - block * scale) * i / 4;
        };
        for (std::int32_t setting = 0; setting < 3 * kShapeCount; ++setting) {
            const std::int32_t shape = setting % kShapeCount;
            const LineProfile profile =
                setting < kShapeCount ? LineProfile::kClassic : LineProfile::kPerspective;
            const std::int32_t focal = setting >= 2 * kShapeCount ? 50 : kNoLens;
            const std::int32_t difference = shape % 2 == 0 ? 45 : -45;
            const FillParams fill = Fill(shape, rect, shape % 2);
            const std::vector<Pixel32> pass =
                Pass(image, rect, shape, difference, fill, profile, focal);
            MovedLines moved(focal);
            for (const std::int32_t scale : {2, 3, 4}) {
                const std::int32_t w = ZoomedExtent(23, scale);
                const std::int32_t h = ZoomedExtent(17, scale);
                CanvasPixels canvas = Canvas(w + 1, h);
                RenderZoomedTrapezoidPreview(canvas, image.Source(), {{1, 0}, {0, 0}, {w, h}},
                                             scale, shape, difference, profile, fill, nullptr,
                                             focal != kNoLens ? &moved : nullptr);
                ASSERT_EQ(canvas.Error(), CanvasError::kNone);
                EXPECT_EQ(canvas.At(0, 0), kUntouched);
                for (std::int32_t by = 0; by < h; ++by) {
                    for (std::int32_t bx = 0; bx < w; ++bx) {
                        std::vector<Pixel32> four;
                        for (const int j : {1, 3}) {
                            for (const int i : {1, 3}) {
                                const std::int32_t x = quarter(bx, scale, 23, i);
                                const std::int32_t y = quarter(by, scale, 17, j);
                                const bool kept = image.mask[y * 23 + x] == 255;
                                four.push_back(kept ? image.At(x, y) : pass[y * 23 + x]);
                            }
                        }
                        const std::uint32_t expected = Shown(bx + 1, by, SeenTogether(four));
                        const std::uint32_t shown = canvas.At(bx + 1, by);
                        ASSERT_EQ(shown, expected)
                            << "setting " << setting << " 1:" << scale << " at " << bx << "," << by;
                    }
                }
            }
        }
    }
}

// The mask's spans spare reading it along lines whose selection is solid, and change no pixel:
// a rectangle (solid rows and columns, and empty ones), a disc (solid, of every length) and a
// ring (with a hole), zoomed rows and columns alike.
TEST(PreviewRender, ZoomedViewSameWithTheMaskSpans) {
    constexpr std::int32_t kW = 47;
    constexpr std::int32_t kH = 31;
    const auto inRectangle = [](std::int32_t x, std::int32_t y) {
        return x >= 5 && x < 40 && y >= 3 && y < 25;
    };
    const auto inDisc = [](std::int32_t x, std::int32_t y) {
        return (x - 23) * (x - 23) + (y - 15) * (y - 15) < 180;
    };
    const auto inRing = [&](std::int32_t x, std::int32_t y) {
        return inDisc(x, y) && (x - 23) * (x - 23) + (y - 15) * (y - 15) >= 40;
    };
    const std::function<bool(std::int32_t, std::int32_t)> selections[] = {inRectangle, inDisc,
                                                                          inRing};
    Image image = Noise(kW, kH, /*opaque=*/false);
    image.mask.resize(kW * kH);
    for (const auto& selected : selections) {
        for (std::int32_t y = 0; y < kH; ++y) {
            for (std::int32_t x = 0; x < kW; ++x) {
                image.mask[static_cast<std::size_t>(y * kW + x)] = selected(x, y) ? 0 : 255;
            }
        }
        SelectionSpans spans;
        ASSERT_TRUE(spans.Build(image.mask.data(), kW, kH));
        for (const std::int32_t shape : {1, 4}) {
            const FillParams fill = Fill(shape, {0, 0, kW, kH});
            for (const std::int32_t scale : {2, 3}) {
                const CanvasSize size{ZoomedExtent(kW, scale), ZoomedExtent(kH, scale)};
                CanvasPixels plain = Canvas(size.width, size.height);
                CanvasPixels spanned = Canvas(size.width, size.height);
                RenderZoomedTrapezoidPreview(plain, image.Source(), {{0, 0}, {0, 0}, size}, scale,
                                             shape, 40, LineProfile::kClassic, fill);
                RenderZoomedTrapezoidPreview(spanned, image.Source(), {{0, 0}, {0, 0}, size}, scale,
                                             shape, 40, LineProfile::kClassic, fill, &spans);
                for (std::int32_t y = 0; y < size.height; ++y) {
                    for (std::int32_t x = 0; x < size.width; ++x) {
                        ASSERT_EQ(spanned.At(x, y), plain.At(x, y))
                            << "shape " << shape << " 1:" << scale << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

}  // namespace
