// Guides: straight lines the user draws over the preview, kept in the source image's coordinates
// so that they stay on their edge through zoom, pan and resize; where the correction takes a
// point of the image, so that each guide is drawn where it will go; and which guides a
// straightening along them can use.
#include "ui/preview_guides.h"

#include <cmath>

#include "transform/line_geometry.h"

namespace {

double DistanceTo(const ImagePoint& p, const ImagePoint& q) noexcept {
    return std::hypot(p.x - q.x, p.y - q.y);
}

// The distance from `p` to the segment a..b.
double DistanceToSegment(const ImagePoint& p, const Guide& g) noexcept {
    const double dx = g.b.x - g.a.x;
    const double dy = g.b.y - g.a.y;
    const double length2 = dx * dx + dy * dy;
    if (length2 <= 0) return DistanceTo(p, g.a);
    const double t =
        std::fmax(0.0, std::fmin(1.0, ((p.x - g.a.x) * dx + (p.y - g.a.y) * dy) / length2));
    return DistanceTo(p, {g.a.x + t * dx, g.a.y + t * dy});
}

}  // namespace

GuideEnd GuideEndNear(const std::vector<Guide>& shown, const ImagePoint& at,
                      double radius) noexcept {
    GuideEnd nearest{-1, 0};
    double best = radius;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        for (std::int32_t end = 0; end < 2; ++end) {
            const double d = DistanceTo(at, end == 0 ? shown[i].a : shown[i].b);
            if (d <= best) {
                best = d;
                nearest = {static_cast<std::int32_t>(i), end};
            }
        }
    }
    return nearest;
}

std::int32_t GuideNear(const std::vector<Guide>& shown, const ImagePoint& at,
                       double radius) noexcept {
    std::int32_t nearest = -1;
    double best = radius;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const double d = DistanceToSegment(at, shown[i]);
        if (d <= best) {
            best = d;
            nearest = static_cast<std::int32_t>(i);
        }
    }
    return nearest;
}

namespace {

// The scale the correction gives the line through `p` about its centre, and that centre; scale 1
// for a point outside the rectangle, which stays where it is.
struct LineScale {
    double scale;
    double centre;
    bool rows;
};

LineScale LineScaleAt(const ImagePoint& p, const SelectionRect& rect, std::int32_t shape,
                      std::int32_t difference, LineProfile profile) noexcept {
    const bool rows = ShapeRebuildsRows(shape);
    const LineGeometry g = GeometryOf(rect, rows, shape, difference, profile);
    const double along = rows ? p.x : p.y;
    const double across = rows ? p.y : p.x;
    const double length = g.hi - g.lo;
    const double centre = g.lo + length * 0.5;
    if (g.extent <= 0 || length <= 0 || along < g.lo || along > g.hi || across < g.first ||
        across > g.first + g.extent) {
        return {1, centre, rows};
    }
    // The profile at the point's own position across the lines, as the lines' centres sample it.
    const double a = across - g.first;
    const double t = g.perspective
                         ? PerspectiveInset(a, length, g.startLength, g.endLength, g.extent)
                         : g.profile(a, g.largestInset, g.extent);
    return {(length - 2 * t) / length, centre, rows};
}

ImagePoint AlongLine(const ImagePoint& p, const LineScale& line, double factor) noexcept {
    const double along = line.rows ? p.x : p.y;
    const double moved = line.centre + (along - line.centre) * factor;
    return line.rows ? ImagePoint{moved, p.y} : ImagePoint{p.x, moved};
}

}  // namespace

ImagePoint CorrectedPoint(const ImagePoint& p, const SelectionRect& rect, std::int32_t shape,
                          std::int32_t difference, LineProfile profile) noexcept {
    const LineScale line = LineScaleAt(p, rect, shape, difference, profile);
    return AlongLine(p, line, line.scale);
}

ImagePoint UncorrectedPoint(const ImagePoint& shown, const SelectionRect& rect, std::int32_t shape,
                            std::int32_t difference, LineProfile profile) noexcept {
    // The lines keep their places, so the line through the shown point is the source's.
    const LineScale line = LineScaleAt(shown, rect, shape, difference, profile);
    return AlongLine(shown, line, line.scale > 1e-9 ? 1 / line.scale : 0);
}

UsableGuides UsableGuidesOf(const std::vector<Guide>& guides) {
    UsableGuides usable{{}, StraightenDirection::kVerticals, GuideProblem::kNone};
    std::int32_t verticals = 0;
    for (const Guide& g : guides) {
        const double length = DistanceTo(g.a, g.b);
        if (length < kShortestGuide) continue;
        if (std::fabs(g.b.x - g.a.x) <= std::fabs(g.b.y - g.a.y)) ++verticals;
        usable.edges.push_back({g.a.x, g.a.y, g.b.x, g.b.y, length});
    }
    const auto count = static_cast<std::int32_t>(usable.edges.size());
    if (count < 2) {
        usable.problem = GuideProblem::kTooFew;
    } else if (verticals != 0 && verticals != count) {
        usable.problem = GuideProblem::kMixed;
    } else if (verticals == 0) {
        usable.direction = StraightenDirection::kHorizontals;
    }
    return usable;
}
