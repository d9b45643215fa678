// Tests of the preview rendering: agreement with the transform pass, the visible region as the
// only part computed, the selection mask and rectangle, and the worked examples.
#include "ui/preview_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <vector>

#include "tests/engine_cases.h"
#include "transform/transform_pass.h"
#include "ui/preview_test_images.h"

namespace {

using namespace preview_test;

// Where the preview may differ from the pass, only on a line squeezed to one pixel or less: the
// last partly covered pixel, whose interval the pass mirrors from the first one and which is the
// same interval unless its length is capped, and the centre of an odd line squeezed below one
// pixel, which the preview shows as the first end pixel and the pass as the last. `line` runs
// across, `p` along the lines.
struct EndPixels {
    bool lastEdge = false;
    bool capped = false;
    bool oddCentre = false;
};

EndPixels Classify(const engine_cases::Case& c, const Image& image, std::int32_t line,
                   std::int32_t p) {
    LineGeometry g =
        GeometryOf(c.rect, ShapeRebuildsRows(c.shape), c.shape, c.difference, c.profile);
    MovedLines moved(engine_cases::kFocal);
    if (c.proportions &&
        moved.Prepare(image.pixels.data(), c.width, c.height, c.rect, c.shape, c.difference)) {
        g = moved.Geometry();
    }
    const std::int32_t lo = g.lo;
    const std::int32_t hi = g.hi;
    const double t = g.Inset(line);
    if (!g.Squeezed(line, t)) return {};
    EndPixels where;
    where.lastEdge = p > (hi - t) - 1 && p < hi - t;
    where.capped = (hi - lo) - 2 * t <= 1;
    where.oddCentre = (hi - lo) % 2 == 1 && (hi - lo) - 2 * t < 1 && p == lo + (hi - lo) / 2;
    return where;
}

// Every case of the engine table under both profiles, and with the proportions restored, opaque
// and with varied alpha: the preview of the whole image shows exactly what the pass writes, except
// at the two places where their walks differ.
TEST(PreviewRender, AgreesWithThePassPixelForPixel) {
    std::vector<engine_cases::Case> cases;
    for (const engine_cases::Record& record : engine_cases::kRecords) {
        for (const engine_cases::Case& c :
             engine_cases::AllCases(record.profile, record.proportions)) {
            cases.push_back(c);
        }
    }
    for (const engine_cases::Case& c : cases) {
        for (const bool opaque : {true, false}) {
            const Image image = Noise(c.width, c.height, opaque);
            const FillParams fill = Fill(c.mode, c.rect, c.transparent);
            const std::int32_t focal = c.proportions ? engine_cases::kFocal : kNoLens;
            const std::vector<Pixel32> pass =
                Pass(image, c.rect, c.shape, c.difference, fill, c.profile, focal);
            const CanvasPixels preview =
                RenderWhole(image, c.shape, c.difference, fill, c.profile, focal);
            for (std::int32_t y = 0; y < c.height; ++y) {
                for (std::int32_t x = 0; x < c.width; ++x) {
                    const std::uint32_t expected = Shown(x, y, pass[y * c.width + x]);
                    if (preview.At(x, y) == expected) continue;
                    const bool rows = ShapeRebuildsRows(c.shape);
                    const EndPixels where = Classify(c, image, rows ? y : x, rows ? x : y);
                    ASSERT_TRUE(where.oddCentre || (where.lastEdge && where.capped))
                        << c.name << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(PreviewRender, WorkedExampleWholeAndPanned) {
    // 100 x 50, difference 50, shape 1: row 0 has t = 24.75; 0..23 and 76..99 are undefined,
    // 24 and 75 blended, 25..74 averages of a flat red line.
    const Image red = Flat(100, 50, kRed);
    const FillParams white = Fill(4, {0, 0, 100, 50});
    const CanvasPixels whole = RenderWhole(red, 1, 50, white);
    for (std::int32_t x = 0; x < 100; ++x) {
        const std::uint32_t shown = whole.At(x, 0);
        if (x <= 23 || x >= 76) {
            EXPECT_EQ(shown, 0x00FFFFFFu) << x;
        } else if (x == 24 || x == 75) {
            EXPECT_NE(shown, 0x00FFFFFFu) << x;
            EXPECT_NE(shown, 0x00FF0000u) << x;
        } else {
            EXPECT_EQ(shown, 0x00FF0000u) << x;
        }
    }
    // Panned to columns 30..59 of a 30-pixel canvas: t never exceeds 25, so every visible pixel
    // is an average, and the pixels equal those of the whole render.
    const Image noise = Noise(100, 50, /*opaque=*/true);
    const CanvasPixels all = RenderWhole(noise, 1, 50, white);
    CanvasPixels narrow = Canvas(30, 50);
    RenderTrapezoidPreview(narrow, noise.Source(), {{0, 0}, {30, 0}, {30, 50}}, 1, 50,
                           LineProfile::kClassic, white);
    ASSERT_EQ(narrow.Error(), CanvasError::kNone);
    for (std::int32_t y = 0; y < 50; ++y) {
        for (std::int32_t x = 0; x < 30; ++x) ASSERT_EQ(narrow.At(x, y), all.At(x + 30, y));
    }
    RenderTrapezoidPreview(narrow, red.Source(), {{0, 0}, {30, 0}, {30, 50}}, 1, 50,
                           LineProfile::kClassic, white);
    for (std::int32_t y = 0; y < 50; ++y) {
        for (std::int32_t x = 0; x < 30; ++x) ASSERT_EQ(narrow.At(x, y), 0x00FF0000u);
    }
}

TEST(PreviewRender, WritesOnlyTheVisibleRegion) {
    const Image image = Noise(40, 30, /*opaque=*/true);
    const CanvasPixels all = RenderWhole(image, 3, -40, Fill(0, {0, 0, 40, 30}));
    // Region (7, 5) 12 x 9 drawn at canvas (2, 3) of a 20 x 20 canvas.
    CanvasPixels canvas = Canvas(20, 20);
    RenderTrapezoidPreview(canvas, image.Source(), {{2, 3}, {7, 5}, {12, 9}}, 3, -40,
                           LineProfile::kClassic, Fill(0, {0, 0, 40, 30}));
    ASSERT_EQ(canvas.Error(), CanvasError::kNone);
    for (std::int32_t y = 0; y < 20; ++y) {
        for (std::int32_t x = 0; x < 20; ++x) {
            const bool inside = x >= 2 && x < 14 && y >= 3 && y < 12;
            ASSERT_EQ(canvas.At(x, y), inside ? all.At(x + 5, y + 2) : kUntouched) << x << "," << y;
        }
    }
    // A region reaching past the image is cut to it; nothing outside the image is read.
    CanvasPixels edge = Canvas(20, 20);
    RenderTrapezoidPreview(edge, image.Source(), {{0, 0}, {30, 25}, {20, 20}}, 3, -40,
                           LineProfile::kClassic, Fill(0, {0, 0, 40, 30}));
    ASSERT_EQ(edge.Error(), CanvasError::kNone);
    EXPECT_EQ(edge.At(9, 4), all.At(39, 29));
    EXPECT_EQ(edge.At(10, 4), kUntouched);
    EXPECT_EQ(edge.At(9, 5), kUntouched);
}

TEST(PreviewRender, RegionBesideTheRectangleShowsOnlyTheSource) {
    // Regions wholly left of, right of and above the rectangle: the source, inside the region.
    const Image image = Noise(40, 30, /*opaque=*/true);
    const FillParams fill = Fill(0, {20, 12, 30, 20});
    for (const CanvasPoint from : {CanvasPoint{2, 14}, CanvasPoint{32, 14}, CanvasPoint{21, 1}}) {
        for (const std::int32_t shape : {1, 4}) {
            CanvasPixels canvas = Canvas(12, 12);
            RenderTrapezoidPreview(canvas, image.Source(), {{1, 1}, from, {6, 6}}, shape, 80,
                                   LineProfile::kClassic, fill);
            ASSERT_EQ(canvas.Error(), CanvasError::kNone);
            for (std::int32_t y = 0; y < 12; ++y) {
                for (std::int32_t x = 0; x < 12; ++x) {
                    const bool inside = x >= 1 && x < 7 && y >= 1 && y < 7;
                    ASSERT_EQ(
                        canvas.At(x, y),
                        inside ? Shown(x, y, image.At(from.x + x - 1, from.y + y - 1)) : kUntouched)
                        << from.x << "," << from.y << " shape " << shape << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(PreviewRender, SplitShapesUseTheSelectionsMiddle) {
    // Shape 0 squeezing: the visible rows all lie below the middle, so every one is stretched,
    // and a flat image stays flat with no undefined area.
    const Image red = Flat(60, 40, kRed);
    CanvasPixels canvas = Canvas(60, 15);
    RenderTrapezoidPreview(canvas, red.Source(), {{0, 0}, {0, 25}, {60, 15}}, 0, 60,
                           LineProfile::kClassic, Fill(5, {0, 0, 60, 40}));
    for (std::int32_t y = 0; y < 15; ++y) {
        for (std::int32_t x = 0; x < 60; ++x) ASSERT_EQ(canvas.At(x, y), 0x00FF0000u);
    }
    // The same rows seen from the top half are squeezed and show black at their ends.
    RenderTrapezoidPreview(canvas, red.Source(), {{0, 0}, {0, 0}, {60, 15}}, 0, 60,
                           LineProfile::kClassic, Fill(5, {0, 0, 60, 40}));
    EXPECT_EQ(canvas.At(0, 0), 0u);
    EXPECT_EQ(canvas.At(59, 0), 0u);
}

TEST(PreviewRender, DifferenceZeroAndTinyLines) {
    // Difference 0 shows the source whatever the shape and mode.
    const Image image = Noise(20, 10, /*opaque=*/false);
    const CanvasPixels same = RenderWhole(image, 4, 0, Fill(4, {0, 0, 20, 10}));
    for (std::int32_t y = 0; y < 10; ++y) {
        for (std::int32_t x = 0; x < 20; ++x) ASSERT_EQ(same.At(x, y), Shown(x, y, image.At(x, y)));
    }
    // A row 3 pixels long squeezed by t = 1.45 at each end (shape 1 over 3 x 15 at the largest
    // squeeze: D = 1.5, row 0 at a = 0.5): an outside pixel, the first end pixel, an outside
    // pixel. The end pixel covers len = 3 (capped) from 1 - 1.45 * 3: mostly the white fill.
    const Image red = Flat(3, 15, kRed);
    const CanvasPixels tiny = RenderWhole(red, 1, 100, Fill(4, {0, 0, 3, 15}));
    EXPECT_EQ(tiny.At(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(tiny.At(2, 0), 0x00FFFFFFu);
    const std::uint32_t centre = tiny.At(1, 0);
    EXPECT_NE(centre, 0x00FFFFFFu);
    EXPECT_NE(centre, 0x00FF0000u);
    EXPECT_EQ(Channel(centre, 2), 255u);
    // A squeezed row with t = 0, the middle row of an odd-height shape 0: len = 1, every pixel
    // its source.
    const Image noise = Noise(9, 5, /*opaque=*/true);
    const CanvasPixels middle = RenderWhole(noise, 0, 60, Fill(0, {0, 0, 9, 5}));
    for (std::int32_t x = 0; x < 9; ++x) EXPECT_EQ(middle.At(x, 2), Shown(x, 2, noise.At(x, 2)));
    EXPECT_NE(middle.At(4, 1), Shown(4, 1, noise.At(4, 1)));  // its neighbours are squeezed
}

TEST(PreviewRender, MaskedPixelsShowTheSource) {
    // A squeezed column set with a mask: 255 keeps the source, even in the undefined area;
    // 0 and 254 are transformed alike.
    Image image = Noise(24, 16, /*opaque=*/true);
    const FillParams fill = Fill(4, {0, 0, 24, 16});
    const CanvasPixels open = RenderWhole(image, 4, 80, fill);
    image.mask.assign(24 * 16, 0);
    for (std::size_t i = 0; i < image.mask.size(); ++i) {
        image.mask[i] = i % 3 == 0 ? 255 : (i % 3 == 1 ? 254 : 0);
    }
    const CanvasPixels masked = RenderWhole(image, 4, 80, fill);
    int undefinedKept = 0;
    for (std::int32_t y = 0; y < 16; ++y) {
        for (std::int32_t x = 0; x < 24; ++x) {
            const bool out = image.mask[static_cast<std::size_t>(y) * 24 + x] == 255;
            ASSERT_EQ(masked.At(x, y), out ? Shown(x, y, image.At(x, y)) : open.At(x, y));
            if (out && open.At(x, y) == 0x00FFFFFFu) ++undefinedKept;
        }
    }
    EXPECT_GT(undefinedKept, 0);
}

TEST(PreviewRender, TransparentUndefinedAreaShowsTheBoard) {
    const Image red = Flat(40, 20, kRed);
    for (std::int32_t mode = 0; mode < kModeCount; ++mode) {
        const CanvasPixels canvas = RenderWhole(red, 1, 80, Fill(mode, {0, 0, 40, 20}, 1));
        // Row 0: t = 15.8; columns 0..14 and 25..39 are wholly undefined.
        for (const std::int32_t x : {0, 7, 14, 25, 39}) {
            const std::uint32_t grey = CheckerboardGrey(x, 0);
            EXPECT_EQ(canvas.At(x, 0), grey << 16 | grey << 8 | grey) << mode << " " << x;
        }
        // The end pixels are partly see-through: neither board nor red.
        EXPECT_NE(canvas.At(15, 0), 0x00FF0000u) << mode;
        EXPECT_NE(Channel(canvas.At(15, 0), 1), Channel(canvas.At(15, 0), 2)) << mode;
    }
}

TEST(PreviewRender, OutsideTheRectangleShowsTheSource) {
    // Rectangle (5, 5, 15, 15) of a 20 x 20 image at the largest squeeze: rows and columns
    // beyond it show the source, and nothing outside the image is read (sanitizers watch).
    const Image image = Noise(20, 20, /*opaque=*/false);
    const SelectionRect rect{5, 5, 15, 15};
    for (std::int32_t shape = 0; shape < kShapeCount; ++shape) {
        for (const std::int32_t difference : {100, -100}) {
            const FillParams fill = Fill(0, rect);
            const CanvasPixels canvas = RenderWhole(image, shape, difference, fill);
            const std::vector<Pixel32> pass = Pass(image, rect, shape, difference, fill);
            for (std::int32_t y = 0; y < 20; ++y) {
                for (std::int32_t x = 0; x < 20; ++x) {
                    if (x >= 5 && x < 15 && y >= 5 && y < 15) continue;
                    ASSERT_EQ(canvas.At(x, y), Shown(x, y, image.At(x, y)));
                    ASSERT_EQ(pass[y * 20 + x], image.At(x, y));
                }
            }
        }
    }
}

TEST(PreviewRender, EmptySelectionShowsTheSource) {
    const Image image = Noise(12, 8, /*opaque=*/false);
    // The bounds of a mask with nothing selected, a zero-width, a zero-height rectangle, and
    // one wholly outside the image.
    const SelectionRect empties[] = {{12, 8, 1, 1}, {4, 0, 4, 8}, {0, 3, 12, 3}, {20, 20, 30, 30}};
    for (const SelectionRect& rect : empties) {
        for (std::int32_t shape = 0; shape < kShapeCount; ++shape) {
            const CanvasPixels canvas = RenderWhole(image, shape, 100, Fill(4, rect));
            for (std::int32_t y = 0; y < 8; ++y) {
                for (std::int32_t x = 0; x < 12; ++x) {
                    ASSERT_EQ(canvas.At(x, y), Shown(x, y, image.At(x, y)));
                }
            }
        }
    }
}

// With the proportions restored the pass moves the columns a band of 1024 at a time, the preview
// from one moved picture: on a picture of several bands both show the same, squeezed and
// stretched alike.
TEST(PreviewRender, RestoredColumnsAgreeWithThePassAcrossBands) {
    const Image image = Noise(2600, 24, /*opaque=*/true);
    const SelectionRect rect{3, 2, 2597, 23};
    for (const std::int32_t difference : {30, -30}) {
        const FillParams fill = Fill(4, rect);
        const std::vector<Pixel32> pass =
            Pass(image, rect, 4, difference, fill, LineProfile::kPerspective, 50);
        const CanvasPixels preview =
            RenderWhole(image, 4, difference, fill, LineProfile::kPerspective, 50);
        int mismatches = 0;
        for (std::int32_t y = 0; y < image.height; ++y) {
            for (std::int32_t x = 0; x < image.width; ++x) {
                mismatches += preview.At(x, y) != Shown(x, y, pass[y * image.width + x]);
            }
        }
        EXPECT_EQ(mismatches, 0) << difference;
    }
}

// The samplers' mends hold in the preview too: with the edge-pixel or source-pixel fill a flat
// image previews flat at every size, shape and difference, whatever rounding the insets meet,
// and the canvas of exactly the image's size is never overrun.
TEST(PreviewRender, FlatImagesStayFlatAtEverySize) {
    for (std::int32_t w = 1; w <= 14; ++w) {
        for (std::int32_t h = 1; h <= 14; ++h) {
            const Image flat = Flat(w, h, 0xFFFEFDFCu);
            for (std::int32_t shape = 0; shape < kShapeCount; ++shape) {
                for (std::int32_t difference = -100; difference <= 100; difference += 3) {
                    const CanvasPixels canvas =
                        RenderWhole(flat, shape, difference, Fill(shape % 2, {0, 0, w, h}));
                    for (std::int32_t i = 0; i < w * h; ++i) {
                        ASSERT_EQ(canvas.Words()[i], 0x00FEFDFCu)
                            << w << "x" << h << " shape " << shape << " difference " << difference;
                    }
                }
            }
        }
    }
}

TEST(PreviewRender, UnusableInputWritesNothing) {
    const Image image = Noise(6, 6, /*opaque=*/true);
    CanvasPixels canvas = Canvas(6, 6);
    const FillParams fill = Fill(0, {0, 0, 6, 6});
    RenderTrapezoidPreview(canvas, {nullptr, 6, 6, nullptr}, {{0, 0}, {0, 0}, {6, 6}}, 1, 50,
                           LineProfile::kClassic, fill);
    RenderTrapezoidPreview(canvas, {image.pixels.data(), 0, 6, nullptr}, {{0, 0}, {0, 0}, {6, 6}},
                           1, 50, LineProfile::kClassic, fill);
    RenderTrapezoidPreview(canvas, image.Source(), {{0, 0}, {0, 0}, {-3, 6}}, 1, 50,
                           LineProfile::kClassic, fill);
    RenderTrapezoidPreview(canvas, image.Source(), {{0, 0}, {-9, -9}, {6, 6}}, 1, 50,
                           LineProfile::kClassic, fill);
    // Origins whose end would pass the 32-bit limit: nothing of the image is in the region.
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    RenderTrapezoidPreview(canvas, image.Source(), {{0, 0}, {kMax - 2, 0}, {6, 6}}, 1, 50,
                           LineProfile::kClassic, fill);
    RenderTrapezoidPreview(canvas, image.Source(), {{0, 0}, {0, kMax}, {6, 6}}, 4, 50,
                           LineProfile::kClassic, fill);
    RenderZoomedTrapezoidPreview(canvas, image.Source(), {{0, 0}, {kMax - 1, 0}, {3, 3}}, 2, 1, 50,
                                 LineProfile::kClassic, fill);
    for (std::int32_t y = 0; y < 6; ++y) {
        for (std::int32_t x = 0; x < 6; ++x) {
            ASSERT_EQ(canvas.At(x, y), kUntouched);
        }
    }
    // A region that does not fit the canvas records the canvas's error and writes nothing.
    for (const PreviewRegion& region :
         {PreviewRegion{{0, 0}, {0, 0}, {6, 6}}, PreviewRegion{{-1, 0}, {0, 0}, {2, 2}},
          PreviewRegion{{5, 0}, {std::numeric_limits<std::int32_t>::min(), 0}, {6, 2}}}) {
        CanvasPixels small = Canvas(3, 3);
        RenderTrapezoidPreview(small, image.Source(), region, 1, 50, LineProfile::kClassic, fill);
        EXPECT_EQ(small.Error(), CanvasError::kPixelOutside);
        for (std::int32_t i = 0; i < 9; ++i) EXPECT_EQ(small.Words()[i], kUntouched);
    }
    // Zoomed, the image's extent is counted in blocks: 6 pixels at 1:4 are 2 canvas pixels.
    CanvasPixels zoomed = Canvas(3, 3);
    RenderZoomedTrapezoidPreview(zoomed, image.Source(), {{1, 1}, {0, 0}, {3, 3}}, 4, 1, 50,
                                 LineProfile::kClassic, fill);
    EXPECT_EQ(zoomed.Error(), CanvasError::kNone);
    EXPECT_NE(zoomed.At(2, 2), kUntouched);
    RenderZoomedSourcePreview(zoomed, image.Source(), {{2, 0}, {0, 0}, {2, 1}}, 3);
    EXPECT_EQ(zoomed.Error(), CanvasError::kPixelOutside);
}

}  // namespace
