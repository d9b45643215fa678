// Tests of straightening: street scenes through a tilted pinhole camera, whose true vertical lines
// give the best difference the suggestion must find; pictures without straight lines give none.
#include "transform/straighten.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "transform/line_geometry.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180;

// True lines of a scene, as edges whose length is not used.
using Segment = EdgeSegment;

// A grey picture, 0..255 per pixel.
struct Grey {
    std::int32_t width;
    std::int32_t height;
    std::vector<float> v = std::vector<float>(static_cast<std::size_t>(width) * height);
    float& At(std::int32_t x, std::int32_t y) { return v[static_cast<std::size_t>(y) * width + x]; }
};

using Point = std::pair<double, double>;

// Fills a convex polygon, with the share of each pixel a row's span covers, so that steep edges
// come out smooth.
void FillConvex(Grey& g, const std::vector<Point>& p, float value) {
    double top = g.height, bottom = 0;
    for (const Point& a : p) {
        top = std::min(top, a.second);
        bottom = std::max(bottom, a.second);
    }
    const auto last = static_cast<std::int32_t>(std::min<double>(g.height, std::ceil(bottom)));
    for (auto y = static_cast<std::int32_t>(std::max(0.0, std::floor(top))); y < last; ++y) {
        const double yc = y + 0.5;
        double lo = 1e300, hi = -1e300;
        for (std::size_t i = 0; i < p.size(); ++i) {
            const Point& a = p[i];
            const Point& b = p[(i + 1) % p.size()];
            if ((a.second <= yc) == (b.second <= yc)) continue;
            const double x =
                a.first + (yc - a.second) * (b.first - a.first) / (b.second - a.second);
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
        const auto from = static_cast<std::int32_t>(std::max(0.0, std::floor(lo)));
        const auto to = static_cast<std::int32_t>(std::min<double>(g.width, std::ceil(hi)));
        for (std::int32_t x = from; x < to; ++x) {
            const auto cover = static_cast<float>(std::min(x + 1.0, hi) - std::max<double>(x, lo));
            g.At(x, y) += (value - g.At(x, y)) * cover;
        }
    }
}

// An ellipse of radii rx and ry turned by `angle`, as a polygon of `corners` corners: four make
// a thin one a stick.
void FillEllipse(Grey& g, Point c, double rx, double ry, double angle, int corners, float value) {
    std::vector<Point> p;
    for (int i = 0; i < corners; ++i) {
        const double a = i * 2 * kPi / corners, u = rx * std::cos(a), v = ry * std::sin(a);
        p.emplace_back(c.first + u * std::cos(angle) - v * std::sin(angle),
                       c.second + u * std::sin(angle) + v * std::cos(angle));
    }
    FillConvex(g, p, value);
}

// A pinhole camera `eye` metres above the ground, pitched up by `pitch`; the world has x to the
// right, y up and z ahead.
struct Camera {
    double focal;
    double pitch;
    double eye;
    double width;
    double height;
    [[nodiscard]] Point Project(double x, double y, double z) const {
        const double depth = (y - eye) * std::sin(pitch) + z * std::cos(pitch);
        const double up = (y - eye) * std::cos(pitch) - z * std::sin(pitch);
        return {width / 2 + focal * x / depth, height / 2 - focal * up / depth};
    }
    // A wall facing the camera, x0..x1 by y0..y1 at depth z.
    void Wall(Grey& g, double x0, double x1, double y0, double y1, double z, float value) const {
        FillConvex(g,
                   {Project(x0, y0, z), Project(x1, y0, z), Project(x1, y1, z), Project(x0, y1, z)},
                   value);
    }
    void Vertical(std::vector<Segment>& verticals, double x, double y0, double y1, double z) const {
        const Point a = Project(x, y0, z), b = Project(x, y1, z);
        verticals.push_back({a.first, a.second, b.first, b.second, 0});
    }
};

struct Scene {
    Grey picture;
    std::vector<Segment> verticals;
};

double Uniform(std::mt19937& rng, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

// Passes of a [1 2 1] / 4 blur across and down; the border stays.
void Blur(Grey& g, int passes) {
    auto blur = [&](std::size_t start, std::size_t step, std::int32_t n) {
        float previous = g.v[start];
        for (std::int32_t k = 1; k + 1 < n; ++k) {
            float& v = g.v[start + static_cast<std::size_t>(k) * step];
            const float next = g.v[start + static_cast<std::size_t>(k + 1) * step];
            const float current = v;
            v = (previous + 2 * current + next) / 4;
            previous = current;
        }
    };
    const auto w = static_cast<std::size_t>(g.width);
    for (int pass = 0; pass < passes; ++pass) {
        for (std::size_t y = 0; y < static_cast<std::size_t>(g.height); ++y)
            blur(y * w, 1, g.width);
        for (std::size_t x = 0; x < w; ++x) blur(x, w, g.height);
    }
}

// Clutter: blobs (bushes, leaves) up to `largest` pixels across and sticks at any angle.
void Clutter(Grey& g, std::mt19937& rng, int blobs, int sticks, double largest) {
    for (int i = 0; i < blobs + sticks; ++i) {
        const Point at{Uniform(rng, 0, g.width), Uniform(rng, 0, g.height)};
        const double r = i < blobs ? Uniform(rng, 1, largest / 2) : Uniform(rng, 10, 40);
        FillEllipse(g, at, r, i < blobs ? r * Uniform(rng, 0.5, 1) : 1, Uniform(rng, 0, kPi),
                    i < blobs ? 32 : 4, static_cast<float>(Uniform(rng, 0, 255)));
    }
}

void Noise(Grey& g, std::mt19937& rng, double sigma) {
    std::normal_distribution<float> noise(0, static_cast<float>(sigma));
    for (float& v : g.v) v += noise(rng);
}

// Buildings with window grids and poles in front of them, over a horizon, through a camera
// pitched by `pitch`; then clutter, blur and noise.
Scene StreetScene(std::mt19937& rng, std::int32_t width, std::int32_t height, double pitch) {
    const Camera camera{width * Uniform(rng, 0.7, 1.1), pitch, Uniform(rng, 1.5, 20), 1.0 * width,
                        1.0 * height};
    Scene scene{Grey{width, height}, {}};
    const double horizon = height / 2.0 + camera.focal * std::tan(pitch);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) scene.picture.At(x, y) = y < horizon ? 210 : 100;
    }
    const int buildings = 2 + static_cast<int>(rng() % 3);
    for (int b = 0; b < buildings; ++b) {
        const double z = 70 - b * Uniform(rng, 10, 15), x0 = Uniform(rng, -0.6 * z, 0.3 * z);
        const double x1 = x0 + Uniform(rng, 8, 25), top = Uniform(rng, 15, 50);
        const auto wall = static_cast<float>(Uniform(rng, 60, 170));
        camera.Wall(scene.picture, x0, x1, 0, top, z, wall);
        camera.Vertical(scene.verticals, x0, 0, top, z);
        camera.Vertical(scene.verticals, x1, 0, top, z);
        for (double wx = x0 + 1; wx + 2 < x1; wx += 3) {
            double wy = 1.5;
            for (; wy + 2 < top; wy += 3.5) {
                camera.Wall(scene.picture, wx, wx + 1.4, wy, wy + 1.8, z - 0.01,
                            wall + (wall < 115 ? 60.0f : -60.0f));
            }
            if (wy == 1.5) continue;  // no window in this column
            camera.Vertical(scene.verticals, wx, 1.5, wy - 1.7, z);
            camera.Vertical(scene.verticals, wx + 1.4, 1.5, wy - 1.7, z);
        }
    }
    for (int p = 2 + static_cast<int>(rng() % 4); p > 0; --p) {
        const double z = Uniform(rng, 8, 20), x = Uniform(rng, -0.5 * z, 0.5 * z);
        const double top = Uniform(rng, 5, 12);
        camera.Wall(scene.picture, x, x + 0.3, 0, top, z,
                    static_cast<float>(rng() % 2 == 0 ? 30 : 230));
        camera.Vertical(scene.verticals, x, 0, top, z);
        camera.Vertical(scene.verticals, x + 0.3, 0, top, z);
    }
    Clutter(scene.picture, rng, 5 + static_cast<int>(rng() % 10), 3 + static_cast<int>(rng() % 6),
            60);
    Blur(scene.picture, 1 + static_cast<int>(rng() % 3));
    Noise(scene.picture, rng, Uniform(rng, 1, 6));
    return scene;
}

// The scene turned about its diagonal: its vertical lines become horizontal ones.
Scene Transposed(const Scene& scene) {
    Scene t{Grey{scene.picture.height, scene.picture.width}, {}};
    for (std::int32_t y = 0; y < t.picture.height; ++y) {
        for (std::int32_t x = 0; x < t.picture.width; ++x) {
            t.picture.At(x, y) =
                scene.picture.v[static_cast<std::size_t>(x) * scene.picture.width + y];
        }
    }
    for (const Segment& s : scene.verticals) t.verticals.push_back({s.y1, s.x1, s.y2, s.x2, 0});
    return t;
}

std::vector<Pixel32> Pixels(const Grey& g) {
    std::vector<Pixel32> pixels(g.v.size());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const auto level = static_cast<Pixel32>(std::clamp(g.v[i] + 0.5f, 0.0f, 255.0f));
        pixels[i] = 0xFF000000u | level * 0x010101u;
    }
    return pixels;
}

// The part of the line between lines `first` and `last` (v = y for rows, x for columns); false
// when none is, or when it leaves the rectangle along the lines.
bool Clip(double& u1, double& v1, double& u2, double& v2, double first, double last, double lo,
          double hi) {
    if (v1 > v2) std::swap(u1, u2), std::swap(v1, v2);
    if (v2 - v1 < 1 || v2 <= first || v1 >= last) return false;
    const double slope = (u2 - u1) / (v2 - v1);
    if (v1 < first) u1 += slope * (first - v1), v1 = first;
    if (v2 > last) u2 -= slope * (v2 - last), v2 = last;
    return std::min(u1, u2) >= lo && std::max(u1, u2) <= hi;
}

// The difference whose lines, mapped by the pass's geometry, leave the true lines least tilted:
// the smallest length-weighted sum of squared angles.
std::int32_t BestDifference(const std::vector<Segment>& lines, const SelectionRect& rect, bool rows,
                            std::int32_t shape) {
    std::int32_t best = 0;
    double bestCost = 1e300;
    for (std::int32_t d = -100; d <= 100; ++d) {
        const LineGeometry geo = GeometryOf(rect, rows, shape, d, LineProfile::kClassic);
        const double centre = (geo.lo + geo.hi) * 0.5;
        auto mapped = [&](double u, double v) {
            const auto line = std::min(static_cast<std::int32_t>(v), geo.first + geo.extent - 1);
            return centre + (u - centre) * geo.Stretch(geo.Inset(line)).scale;
        };
        double cost = 0;
        for (const Segment& s : lines) {
            double u1 = rows ? s.x1 : s.y1, v1 = rows ? s.y1 : s.x1;
            double u2 = rows ? s.x2 : s.y2, v2 = rows ? s.y2 : s.x2;
            if (!Clip(u1, v1, u2, v2, geo.first, geo.first + geo.extent, geo.lo, geo.hi)) continue;
            const double angle = std::atan((mapped(u2, v2) - mapped(u1, v1)) / (v2 - v1));
            cost += std::hypot(u2 - u1, v2 - v1) * angle * angle;
        }
        if (cost < bestCost) {
            bestCost = cost;
            best = d;
        }
    }
    return best;
}

// Bars tilted 10 degrees, all alike, over the left part of the picture, which the mask leaves
// out (255): they would outweigh the scene's lines if they counted.
void HideFence(Grey& picture, Grey& mask) {
    const double band = 0.4 * picture.width, h = picture.height, lean = h * std::tan(10 * kDegree);
    for (double x = lean; x + 3 < band; x += 12) {
        FillConvex(picture, {{x, 0}, {x + 3, 0}, {x + 3 - lean, h}, {x - lean, h}}, 20);
    }
    FillConvex(mask, {{0, 0}, {band + 4, 0}, {band + 4, h}, {0, h}}, 255);
}

// Whether the suggestion keeps a one-edge shape of the wanted direction, else squeezes one, and
// comes within 2 of the best difference of the scene's true lines; a text saying why not.
std::string Miss(const std::optional<Straightening>& found, const Scene& scene,
                 const SelectionRect& rect, bool verticals, std::int32_t current) {
    if (!found) return "none";
    const std::int32_t firstEdge = verticals ? 1 : 4;
    const bool kept = current == firstEdge || current == firstEdge + 1;
    const std::int32_t best = BestDifference(scene.verticals, rect, verticals, found->shape);
    const bool shapeOk = kept ? found->shape == current
                              : found->difference >= 0 &&
                                    (found->shape == firstEdge || found->shape == firstEdge + 1);
    if (shapeOk && std::abs(found->difference - best) <= 2) return {};
    return std::to_string(found->shape) + "/" + std::to_string(found->difference) + " best " +
           std::to_string(best);
}

// Pictures without straight lines: noise, smooth gradients and foliage.
Grey Flat(int kind, std::mt19937& rng) {
    Grey g{480, 320};
    const double angle = Uniform(rng, 0, 6.3), cx = Uniform(rng, 0, 480), cy = Uniform(rng, 0, 320);
    for (std::int32_t y = 0; y < g.height; ++y) {
        for (std::int32_t x = 0; x < g.width; ++x) {
            const double ramp = (x * std::cos(angle) + y * std::sin(angle)) / 577 * 255;
            g.At(x, y) = static_cast<float>(kind == 1   ? std::fabs(ramp)
                                            : kind == 2 ? std::hypot(x - cx, y - cy) / 3
                                                        : 128);
        }
    }
    if (kind == 3) Clutter(g, rng, 1500, 0, 24);
    Blur(g, 1 + static_cast<int>(rng() % 3));
    Noise(g, rng, kind == 0 ? 40 : 3);
    return g;
}

TEST(Straighten, PicturesWithoutStraightLinesGiveNone) {
    for (int kind = 0; kind < 4; ++kind) {
        for (unsigned seed = 1; seed <= 2; ++seed) {
            std::mt19937 rng(seed);
            const Grey g = Flat(kind, rng);
            const std::vector<Pixel32> pixels = Pixels(g);
            for (const auto direction :
                 {StraightenDirection::kVerticals, StraightenDirection::kHorizontals}) {
                EXPECT_FALSE(SuggestStraightening({pixels.data(), g.width, g.height, nullptr},
                                                  {0, 0, g.width, g.height}, direction, 0,
                                                  LineProfile::kClassic))
                    << "kind " << kind << " seed " << seed;
            }
        }
    }
}

// Edges 300 long through (x, 200) of a 600 x 400 rectangle, tilted by the given angles in turn.
std::vector<EdgeSegment> Edges(std::vector<double> xs, std::vector<double> tilts) {
    std::vector<EdgeSegment> edges;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        const double lean = 150 * std::tan(tilts[i % tilts.size()] * kDegree);
        edges.push_back({xs[i] - lean, 50, xs[i] + lean, 350, 300});
    }
    return edges;
}

TEST(Straighten, EdgesThatDisagreeOrCannotTellGiveNone) {
    const std::vector<double> spread{50, 150, 250, 350, 450, 550};
    struct Case {
        std::vector<EdgeSegment> edges;
        std::int32_t current;
        std::optional<Straightening> expected;
    } const cases[] = {
        {Edges(spread, {0}), 0, Straightening{1, 0}},  // straight already: nothing to squeeze
        {Edges(spread, {0}), 2, Straightening{2, 0}},
        {Edges(spread, {0, 0, 0, 0, 0, 8}), 1, Straightening{1, 0}},  // one edge does not fit
        {Edges(spread, {6, -6}), 0, std::nullopt},                    // they disagree
        {Edges({290, 295, 300, 305, 310}, {0}), 0, std::nullopt},     // all near the middle
        {Edges({50, 550}, {0}), 0, std::nullopt},                     // too few
        {{}, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto found =
            StraighteningFromEdges(c.edges, {0, 0, 600, 400}, StraightenDirection::kVerticals,
                                   c.current, LineProfile::kClassic);
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.edges.size() << " " << c.current;
        if (found) {
            EXPECT_EQ(found->shape, c.expected->shape);
            EXPECT_EQ(found->difference, c.expected->difference);
        }
    }
}

// Six lines of a 600 x 400 rectangle converging towards the top, where they lie `narrowing` times
// as far from the middle as at the bottom: whole, or as three pieces each; for the rows, or turned
// about the diagonal for the columns.
std::vector<EdgeSegment> Converging(double narrowing, bool pieces, bool rows) {
    std::vector<EdgeSegment> edges;
    for (const double bottom : {60.0, 160.0, 260.0, 340.0, 440.0, 540.0}) {
        const auto x = [&](double y) {
            return 300 + (bottom - 300) * (narrowing + (1 - narrowing) * y / 400);
        };
        for (const auto& [from, to] : pieces ? std::vector<Point>{{10, 50}, {230, 270}, {350, 390}}
                                             : std::vector<Point>{{10, 390}}) {
            EdgeSegment e{x(from), from, x(to), to, std::hypot(x(to) - x(from), to - from)};
            edges.push_back(rows ? e : EdgeSegment{e.y1, e.x1, e.y2, e.x2, e.length});
        }
    }
    return edges;
}

TEST(Straighten, PiecesOfOneLineScoreAsTheWholeLine) {
    for (const double narrowing : {0.6, 0.75, 0.9}) {
        for (const bool rows : {true, false}) {
            const auto direction =
                rows ? StraightenDirection::kVerticals : StraightenDirection::kHorizontals;
            const SelectionRect rect =
                rows ? SelectionRect{0, 0, 600, 400} : SelectionRect{0, 0, 400, 600};
            const auto whole = StraighteningFromEdges(Converging(narrowing, false, rows), rect,
                                                      direction, 0, LineProfile::kClassic);
            const auto pieces = StraighteningFromEdges(Converging(narrowing, true, rows), rect,
                                                       direction, 0, LineProfile::kClassic);
            ASSERT_TRUE(whole && pieces) << narrowing;
            EXPECT_EQ(pieces->shape, whole->shape) << narrowing;
            EXPECT_EQ(pieces->difference, whole->difference) << narrowing;
        }
    }
}

TEST(Straighten, SceneLinesWithinTwoOfTheBestDifference) {
    int good[2] = {0, 0};
    std::string misses[2];
    for (int i = 0; i < 50; ++i) {
        std::mt19937 rng(static_cast<unsigned>(i + 1));
        const bool large = i % 25 == 24, portrait = i % 4 == 1;
        const std::int32_t w = large ? 1200 : portrait ? 320 : 480;
        const std::int32_t h = large ? 800 : portrait ? 480 : 320;
        const double pitch = (i % 2 == 0 ? 1 : -1) * Uniform(rng, 3, 12) * kDegree;
        Scene scene = StreetScene(rng, w, h, pitch);
        Scene mask{Grey{w, h}, {}};
        const bool masked = i % 5 == 3;
        if (masked) HideFence(scene.picture, mask.picture);
        SelectionRect rect{0, 0, w, h};
        if (i % 3 == 2) {
            rect = {static_cast<std::int32_t>(w * Uniform(rng, 0, 0.15)),
                    static_cast<std::int32_t>(h * Uniform(rng, 0, 0.15)),
                    static_cast<std::int32_t>(w * Uniform(rng, 0.85, 1)),
                    static_cast<std::int32_t>(h * Uniform(rng, 0.85, 1))};
        }
        const std::int32_t current = i % 6;
        for (const bool verticals : {true, false}) {
            const std::vector<Pixel32> pixels = Pixels(scene.picture);
            std::vector<std::uint8_t> maskBytes(masked ? mask.picture.v.size() : 0);
            for (std::size_t k = 0; k < maskBytes.size(); ++k) {
                maskBytes[k] = mask.picture.v[k] > 0 ? 255 : 0;
            }
            const auto found = SuggestStraightening(
                {pixels.data(), scene.picture.width, scene.picture.height,
                 masked ? maskBytes.data() : nullptr},
                rect,
                verticals ? StraightenDirection::kVerticals : StraightenDirection::kHorizontals,
                current, LineProfile::kClassic);
            const std::string miss = Miss(found, scene, rect, verticals, current);
            if (miss.empty())
                ++good[verticals];
            else
                misses[verticals] += " scene " + std::to_string(i) + ": " + miss;
            // The same scene turned about its diagonal for the horizontals.
            scene = Transposed(scene);
            if (masked) mask = Transposed(mask);
            rect = {rect.top, rect.left, rect.bottom, rect.right};
        }
    }
    EXPECT_GE(good[1], 45) << "verticals" << misses[1];
    EXPECT_GE(good[0], 45) << "horizontals" << misses[0];
}

}  // namespace
