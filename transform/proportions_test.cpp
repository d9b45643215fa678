// Tests of restored proportions: a tiled plane photographed through a pinhole camera at the tilt
// the setting stands for comes out front-on (straight grid lines, even spacings, square cells),
// and where nothing should move the result is the perspective profile's.
#include "transform/proportions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "transform/transform_pass.h"

namespace {

constexpr std::int32_t kWidth = 360;
constexpr std::int32_t kHeight = 240;
constexpr std::int32_t kFocal = 28;
constexpr int kGrid = 2;          // dots at -2..2 spacings from the centre, both ways
constexpr double kSpacing = 34;   // on the plane, which the camera sees at about 1:1
constexpr double kDotRadius = 4;  // the dots' Gaussian sigma on the plane

// A camera at focal f pixels tilted by `tilt` about the image's axis parallel to the lines: `along`
// and `across` are an image point's offsets from the centre (across positive towards the
// selection's first edge). Gives the plane point it sees, the plane 1 focal length away and its
// origin where the image's centre sees it.
struct Camera {
    double f;
    double tilt;
    void PlanePoint(double along, double across, double* p, double* q) const {
        const double s = f / (f * std::cos(tilt) - across * std::sin(tilt));
        *p = s * along;
        *q = s * (across * std::cos(tilt) + f * std::sin(tilt)) - f * std::tan(tilt);
    }
};

// The photograph: anti-aliased grey dots on black at the plane's grid points, 4 x 4 samples a
// pixel.
std::vector<Pixel32> Photograph(const Camera& camera, bool rows) {
    std::vector<Pixel32> image(static_cast<std::size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            double sum = 0;
            for (int k = 0; k < 16; ++k) {
                const double sx = x + (k % 4 + 0.5) / 4 - kWidth * 0.5;
                const double sy = y + (k / 4 + 0.5) / 4 - kHeight * 0.5;
                double p = 0, q = 0;
                camera.PlanePoint(rows ? sx : sy, rows ? -sy : -sx, &p, &q);
                const double dp = p - kSpacing * std::round(p / kSpacing);
                const double dq = q - kSpacing * std::round(q / kSpacing);
                const bool near = std::fabs(p) < (kGrid + 0.5) * kSpacing &&
                                  std::fabs(q) < (kGrid + 0.5) * kSpacing;
                if (near) sum += std::exp(-(dp * dp + dq * dq) / (2 * kDotRadius * kDotRadius));
            }
            const auto v = static_cast<Pixel32>(std::lround(255 * sum / 16));
            image[static_cast<std::size_t>(y) * kWidth + x] = 0xFF000000u | v * 0x010101u;
        }
    }
    return image;
}

// The centre of brightness of the result near (x, y), within half a spacing.
void Centroid(const std::vector<Pixel32>& image, double x, double y, double reach, double* cx,
              double* cy) {
    double sum = 0, sx = 0, sy = 0;
    for (int j = std::max(0, int(y - reach)); j < std::min(kHeight, int(y + reach) + 1); ++j) {
        for (int i = std::max(0, int(x - reach)); i < std::min(kWidth, int(x + reach) + 1); ++i) {
            const double v = image[static_cast<std::size_t>(j) * kWidth + i] & 0xFF;
            sum += v;
            sx += v * (i + 0.5);
            sy += v * (j + 0.5);
        }
    }
    *cx = sx / sum;
    *cy = sy / sum;
}

struct Point {
    double x;
    double y;
};

// The largest distance of the points from the straight line through the first and the last.
double Bend(const std::vector<Point>& points) {
    const Point a = points.front();
    const Point b = points.back();
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    double worst = 0;
    for (const Point& p : points) {
        const double cross = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
        worst = std::max(worst, std::fabs(cross) / length);
    }
    return worst;
}

// The gaps between neighbours, in `gaps`.
void Gaps(const std::vector<Point>& points, std::vector<double>* gaps) {
    for (std::size_t i = 1; i < points.size(); ++i) {
        gaps->push_back(std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y));
    }
}

double Spread(const std::vector<double>& gaps) {
    return *std::max_element(gaps.begin(), gaps.end()) /
           *std::min_element(gaps.begin(), gaps.end());
}

double Mean(const std::vector<double>& v) {
    double sum = 0;
    for (const double x : v) sum += x;
    return sum / static_cast<double>(v.size());
}

// Where plane point (p, q) lies in the photograph, as image coordinates, and where the move and
// the rebuilt lengths take it: only to find the dot in the result, not to measure it.
Point Expected(const Camera& camera, const LineGeometry& g, const LineMove& move, bool rows,
               double p, double q) {
    const double t = camera.tilt;
    q += camera.f * std::tan(t);
    const double depth = q * std::sin(t) + camera.f * std::cos(t);
    const double along = camera.f * p / depth;
    const double across = camera.f * (q * std::cos(t) - camera.f * std::sin(t)) / depth;
    const double length = g.hi - g.lo;
    const double a = (rows ? kHeight : kWidth) * 0.5 - across;
    const double m = length - 2 * PerspectiveInset(a, length, g.startLength, g.endLength, g.extent);
    const double moved = move.Moved(a);
    const double position = length * 0.5 + along * move.scale * m / length;
    return rows ? Point{position, moved} : Point{moved, position};
}

TEST(Proportions, TiltedPlaneComesOutFrontOn) {
    for (std::int32_t shape = 0; shape < 6; ++shape) {
        for (const std::int32_t difference : {-20, 20}) {
            SCOPED_TRACE(testing::Message() << "shape " << shape << " difference " << difference);
            const bool rows = ShapeRebuildsRows(shape);
            const SelectionRect rect{0, 0, kWidth, kHeight};
            const LineGeometry g =
                GeometryOf(rect, rows, shape, difference, LineProfile::kPerspective);
            const LineMove move = MoveOf(g, kWidth, kHeight, rows, kFocal);
            ASSERT_TRUE(move.moves);
            const Camera camera{kFocal * std::hypot(kWidth, kHeight) / 43.27, move.tilt};
            const std::vector<Pixel32> photo = Photograph(camera, rows);
            std::vector<Pixel32> out = photo;
            ASSERT_TRUE(RunTransformInProportion(photo.data(), out.data(), kWidth, kHeight, rect,
                                                 shape, difference, kFocal, {5}, nullptr));
            // Grid lines of constant q (across i) and of constant p (across j), as measured.
            std::vector<std::vector<Point>> lines(2 * (2 * kGrid + 1));
            for (int i = -kGrid; i <= kGrid; ++i) {
                for (int j = -kGrid; j <= kGrid; ++j) {
                    const Point e = Expected(camera, g, move, rows, i * kSpacing, j * kSpacing);
                    Point c{};
                    Centroid(out, e.x, e.y, 10, &c.x, &c.y);
                    lines[static_cast<std::size_t>(j + kGrid)].push_back(c);
                    lines[static_cast<std::size_t>(2 * kGrid + 1 + i + kGrid)].push_back(c);
                }
            }
            std::vector<double> gapsP, gapsQ;
            for (std::size_t k = 0; k < lines.size(); ++k) {
                EXPECT_LT(Bend(lines[k]), 0.15) << "grid line " << k;
                std::vector<double> gaps;
                Gaps(lines[k], &gaps);
                EXPECT_LT(Spread(gaps), 1.01) << "grid line " << k;
                std::vector<double>& all = k <= 2 * kGrid ? gapsQ : gapsP;
                all.insert(all.end(), gaps.begin(), gaps.end());
            }
            EXPECT_NEAR(Mean(gapsP) / Mean(gapsQ), 1.0, 0.02);
        }
    }
}

// An edge of length 0, a tilt of 60 degrees or more, a first edge behind the camera, and a
// difference of 0: the perspective profile's result, pixel for pixel.
TEST(Proportions, WhereNothingMovesThePerspectiveProfileStands) {
    struct Case {
        const char* name;
        SelectionRect rect;
        std::int32_t shape;
        std::int32_t difference;
        std::int32_t focal;
    };
    const Case cases[] = {{"edge of length 0", {0, 0, kWidth, kHeight}, 1, 100, 28},
                          {"tilt beyond 60 degrees", {0, 0, kWidth, kHeight}, 1, 50, 800},
                          {"edge behind the camera", {0, 0, kWidth, 20}, 1, 40, 8},
                          {"difference 0", {0, 0, kWidth, kHeight}, 4, 0, 28}};
    std::vector<Pixel32> source(static_cast<std::size_t>(kWidth) * kHeight);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<Pixel32>(i * 2654435761u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool rows = ShapeRebuildsRows(c.shape);
        const LineGeometry g =
            GeometryOf(c.rect, rows, c.shape, c.difference, LineProfile::kPerspective);
        EXPECT_FALSE(c.difference != 0 && MoveOf(g, kWidth, kHeight, rows, c.focal).moves);
        std::vector<Pixel32> expected(source.size(), 0x5A5A5A5Au);
        std::vector<Pixel32> out = expected;
        RunTransform(source.data(), expected.data(), kWidth, kHeight, c.rect, c.shape, c.difference,
                     LineProfile::kPerspective, {3, 0xFF102030u}, nullptr);
        ASSERT_TRUE(RunTransformInProportion(source.data(), out.data(), kWidth, kHeight, c.rect,
                                             c.shape, c.difference, c.focal, {3, 0xFF102030u},
                                             nullptr));
        EXPECT_TRUE(out == expected);
    }
}

}  // namespace
