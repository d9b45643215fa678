// Tests of the perspective profile: straight converging lines come out straight and parallel,
// the edge lengths are the classic profile's, and the strongest differences give defined lines.
#include "transform/shape_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "transform/line_geometry.h"
#include "transform/transform_pass.h"

namespace {

constexpr std::int32_t kLength = 320;  // along the lines
constexpr std::int32_t kLines = 200;   // across them
constexpr double kOffsets[] = {-105, -60, -20, 35, 75, 110};
constexpr double kPi = 3.14159265358979323846;

// Bright lines on a dark ground, each at offset u * L / M(a) from the centre of line a, where it
// comes out at offset u; soft-edged (a squared cosine 8 pixels wide), as a camera records them.
std::vector<Pixel32> ConvergingScene(const LineGeometry& g, bool rows) {
    std::vector<Pixel32> pixels(static_cast<std::size_t>(kLength) * kLines);
    const double centre = kLength * 0.5;
    for (std::int32_t line = 0; line < kLines; ++line) {
        const double spread = kLength / (kLength - 2 * g.Inset(line));
        for (std::int32_t p = 0; p < kLength; ++p) {
            double cover = 0;
            for (const double u : kOffsets) {
                const double d = (p + 0.5 - (centre + u * spread)) / 4;
                if (std::fabs(d) < 1) cover += std::pow(std::cos(d * kPi / 2), 2);
            }
            const auto level = static_cast<Pixel32>(std::lround(20 + 200 * std::min(cover, 1.0)));
            pixels[static_cast<std::size_t>(rows ? PixelIndex(p, line, kLength)
                                                 : PixelIndex(line, p, kLines))] =
                0xFF000000u | level * 0x010101u;
        }
    }
    return pixels;
}

// How far each line's centroid wanders across the output lines: the largest spread, over the
// drawn lines, of where they stand. 0 for lines that come out straight and parallel to the axis.
double WorstWander(const std::vector<Pixel32>& pixels, bool rows) {
    double worst = 0;
    for (const double u : kOffsets) {
        const double expected = kLength * 0.5 + u;
        double least = kLength;
        double most = 0;
        for (std::int32_t line = 0; line < kLines; ++line) {
            double mass = 0;
            double moment = 0;
            for (auto p = static_cast<std::int32_t>(expected) - 7; p <= expected + 7; ++p) {
                const Pixel32 v = pixels[static_cast<std::size_t>(
                    rows ? PixelIndex(p, line, kLength) : PixelIndex(line, p, kLines))];
                const double w = std::max(0.0, Channel(v, 1) - 20.0);
                mass += w;
                moment += w * (p + 0.5);
            }
            least = std::min(least, moment / mass);
            most = std::max(most, moment / mass);
        }
        worst = std::max(worst, most - least);
    }
    return worst;
}

TEST(PerspectiveProfile, StraightConvergingLinesComeOutStraightAndParallel) {
    for (std::int32_t shape = 0; shape < kShapeCount; ++shape) {
        for (const std::int32_t difference : {-24, 24}) {
            SCOPED_TRACE(::testing::Message() << "shape " << shape << " difference " << difference);
            const bool rows = ShapeRebuildsRows(shape);
            const SelectionRect rect =
                rows ? SelectionRect{0, 0, kLength, kLines} : SelectionRect{0, 0, kLines, kLength};
            const std::int32_t width = rows ? kLength : kLines;
            const std::int32_t height = rows ? kLines : kLength;
            const LineGeometry g =
                GeometryOf(rect, rows, shape, difference, LineProfile::kPerspective);
            const LineGeometry classic =
                GeometryOf(rect, rows, shape, difference, LineProfile::kClassic);
            // The same lengths as the classic profile at the two edges.
            EXPECT_DOUBLE_EQ(PerspectiveInset(0, kLength, g.startLength, g.endLength, kLines),
                             classic.profile(0, g.largestInset, kLines));
            EXPECT_DOUBLE_EQ(PerspectiveInset(kLines, kLength, g.startLength, g.endLength, kLines),
                             classic.profile(kLines, g.largestInset, kLines));

            const std::vector<Pixel32> scene = ConvergingScene(g, rows);
            const FillParams fill{5, 0xFF000000u, 0, 0, 0, 0, 0};
            for (const LineProfile profile : {LineProfile::kPerspective, LineProfile::kClassic}) {
                std::vector<Pixel32> out = scene;
                RunTransform(scene.data(), out.data(), width, height, rect, shape, difference,
                             profile, fill, nullptr);
                // A stretched line samples at the start of its pixel's interval, which shifts
                // it by (g - 1) / 2 of a pixel; the classic profile bows the same lines by
                // pixels, which shows the scene can tell.
                const double wander = WorstWander(out, rows);
                if (profile == LineProfile::kPerspective) {
                    EXPECT_LT(wander, 0.25);
                } else {
                    EXPECT_GT(wander, 1.0);
                }
            }
        }
    }
}

// At the limits an edge can be 0 long: every line then is, and nothing divides by zero.
TEST(PerspectiveProfile, StrongestDifferencesGiveDefinedLines) {
    const SelectionRect rect{0, 0, 31, 17};
    for (std::int32_t shape = 0; shape < kShapeCount; ++shape) {
        for (const std::int32_t difference : {-100, 100, -250, 250}) {
            const bool rows = ShapeRebuildsRows(shape);
            const LineGeometry g =
                GeometryOf(rect, rows, shape, difference, LineProfile::kPerspective);
            const double length = g.hi - g.lo;
            const bool zeroEdge = g.startLength == 0 || g.endLength == 0;
            for (std::int32_t line = g.first; line < g.first + g.extent; ++line) {
                const double t = g.Inset(line);
                ASSERT_TRUE(t >= -length / 2 && t <= length / 2) << shape << " " << difference;
                if (zeroEdge) EXPECT_EQ(t, length / 2) << shape << " " << difference;
            }
        }
    }
}

}  // namespace
