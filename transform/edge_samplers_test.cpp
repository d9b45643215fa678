// Tests of the edge samplers: every fill mode, transparency, the blended end pixels, and
// intervals that rounding pushed out of shape.
#include "transform/edge_samplers.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

Pixel32 Grey(unsigned v, unsigned alpha = 255) { return v | (v << 8) | (v << 16) | (alpha << 24); }

// A 6 x 3 image whose pixel (x, y) is grey 10 * (x + 1) + y, with the selection columns 1..4.
struct Fixture {
    std::vector<Pixel32> image;
    FillParams fill{0, 0, 0, 1, 0, 5, 3};
    SamplerContext ctx{};

    Fixture() {
        for (unsigned y = 0; y < 3; ++y) {
            for (unsigned x = 0; x < 6; ++x) image.push_back(Grey(10 * (x + 1) + y));
        }
        ctx = {image.data(), 6, 3, &fill};
    }
    Pixel32 Call(SamplerSlot slot, int x, int y, double sx = 0, double sy = 0, double len = 1) {
        return Sampler(ctx, slot)(ctx, x, y, sx, sy, len);
    }
};

TEST(EdgeSamplers, FillColoursResolvedPerMode) {
    EXPECT_EQ(ResolveFillColour(4, 0x12345678u, 0), 0xFFFFFFFFu);
    EXPECT_EQ(ResolveFillColour(4, 0x12345678u, 1), 0x00FFFFFFu);
    EXPECT_EQ(ResolveFillColour(5, 0x12345678u, 0), 0xFF000000u);
    EXPECT_EQ(ResolveFillColour(5, 0x12345678u, 7), 0x00000000u);
    EXPECT_EQ(ResolveFillColour(2, 0xFF102030u, 0), 0xFF102030u);
    EXPECT_EQ(ResolveFillColour(3, 0xFF102030u, 1), 0x00102030u);
}

TEST(EdgeSamplers, OutsideOperationsPerMode) {
    Fixture f;
    f.fill.mode = 0;  // the selection's edge pixel of the same line
    EXPECT_EQ(f.Call(kOutsideLeft, 0, 2), Grey(22));
    EXPECT_EQ(f.Call(kOutsideRight, 5, 2), Grey(52));
    EXPECT_EQ(f.Call(kOutsideTop, 3, 0), Grey(40));
    EXPECT_EQ(f.Call(kOutsideBottom, 3, 2), Grey(42));
    f.fill.transparent = 1;
    EXPECT_EQ(f.Call(kOutsideLeft, 0, 1), Grey(21, 0));
    EXPECT_EQ(f.Call(kOutsideRight, 5, 1), Grey(51, 0));

    f.fill.mode = 1;  // the source pixel itself
    EXPECT_EQ(f.Call(kOutsideLeft, 0, 1), Grey(11, 0));
    f.fill.transparent = 0;
    EXPECT_EQ(f.Call(kOutsideBottom, 5, 2), Grey(62));

    for (int mode = 2; mode <= 5; ++mode) {
        f.fill.mode = mode;
        f.fill.colour = 0x80112233u;
        for (SamplerSlot slot : {kOutsideLeft, kOutsideRight, kOutsideTop, kOutsideBottom}) {
            EXPECT_EQ(f.Call(slot, 2, 1, 3.5, 1.5, 9.0), 0x80112233u);
        }
    }
}

TEST(EdgeSamplers, OutsideIgnoresIntervalAndModeIsReadPerCall) {
    Fixture f;
    EXPECT_EQ(f.Call(kOutsideLeft, 0, 0, 0, 0, 1), f.Call(kOutsideLeft, 0, 0, 3.3, 1.1, 7.0));
    f.fill.mode = 4;
    f.fill.colour = 0xFFFFFFFFu;
    EXPECT_EQ(f.Call(kOutsideLeft, 0, 0), 0xFFFFFFFFu);
    f.fill.mode = 0;
    EXPECT_EQ(f.Call(kOutsideLeft, 0, 0), Grey(20));
}

TEST(EdgeSamplers, BlendedEndPixels) {
    // Row: 200 at the left edge, 100 next to it; black fill; [left - 0.5, left + 1.5).
    std::vector<Pixel32> image = {Grey(7), Grey(200), Grey(100), Grey(100), Grey(200), Grey(7)};
    FillParams fill{5, 0xFF000000u, 0, 1, 0, 5, 1};
    SamplerContext ctx{image.data(), 6, 1, &fill};
    EXPECT_EQ(Channel(Sampler(ctx, kEdgeLeft)(ctx, 1, 0, 0.5, 0, 2.0), 0), 125u);
    EXPECT_EQ(Channel(Sampler(ctx, kEdgeRight)(ctx, 4, 0, 3.5, 0, 2.0), 0), 125u);
    // The same along a column.
    SamplerContext column{image.data(), 1, 6, &fill};
    fill = {5, 0xFF000000u, 0, 0, 1, 1, 5};
    EXPECT_EQ(Channel(Sampler(column, kEdgeTop)(column, 0, 1, 0, 0.5, 2.0), 0), 125u);
    EXPECT_EQ(Channel(Sampler(column, kEdgeBottom)(column, 0, 4, 0, 3.5, 2.0), 0), 125u);
    // Mode 0 blends the selection's own edge pixel: (200 * 0.5 + 100 * 0.5 + 200) / 2.
    fill = {0, 0, 0, 1, 0, 5, 1};
    EXPECT_EQ(Sampler(ctx, kEdgeLeft)(ctx, 1, 0, 0.5, 0, 2.0), Grey(175));
    fill.transparent = 1;  // the fill part loses its alpha: (0 * 0.5 + 255 * 1.5) / 2
    EXPECT_EQ(Sampler(ctx, kEdgeLeft)(ctx, 1, 0, 0.5, 0, 2.0), Grey(175, 191));
}

TEST(EdgeSamplers, IntervalsOutOfShapeGiveTheFillAndReadNothingBeyond) {
    // The image is exactly the selection: any read past it is caught by the sanitizers.
    std::vector<Pixel32> image = {Grey(10), Grey(20), Grey(30)};
    FillParams fill{4, 0xFFFFFFFFu, 0, 0, 0, 3, 1};
    SamplerContext ctx{image.data(), 3, 1, &fill};
    const SamplerFn left = Sampler(ctx, kEdgeLeft);
    const SamplerFn right = Sampler(ctx, kEdgeRight);
    EXPECT_EQ(right(ctx, 2, 0, 3.0, 0, 1.5), 0xFFFFFFFFu);  // starts at the right edge
    EXPECT_EQ(left(ctx, 0, 0, -1.5, 0, 1.5), 0xFFFFFFFFu);  // ends at the left edge
    // Ends exactly at the right edge, whose zero-weight pixel is not read:
    // (255 * 0.5 + 10 + 20 + 30) / 3.5 = 53.57.
    EXPECT_EQ(left(ctx, 0, 0, -0.5, 0, 3.5), Grey(53));
    // Starts before the left edge and ends past the right one: both overhangs are fill.
    EXPECT_EQ(Channel(right(ctx, 2, 0, -1.0, 0, 5.0), 0), (255u * 2 + 60) / 5);
}

}  // namespace
