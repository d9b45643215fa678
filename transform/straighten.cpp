// Straightening: the shape and difference that make the picture's near-vertical (or
// near-horizontal) straight edges as straight as the transform can, or none when the picture has
// no such edges or they disagree.
#include "transform/straighten.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <limits>
#include <utility>
#include <vector>

#include "transform/line_geometry.h"
#include "transform/transform_pass.h"

namespace {

// The reduced copy's longest side: the estimate's cost does not grow with the photograph.
constexpr std::int32_t kReducedSide = 1000;
constexpr std::int32_t kMaxDifference = 100;
constexpr std::size_t kCandidates = 2 * kMaxDifference + 1;
// An edge fits a difference when the transform leaves it within 3 degrees of the wanted
// direction (as a tangent); beyond, it costs this much whatever its angle, so that edges which
// do not fit cannot drag the result.
constexpr double kFitTilt = 0.052407779283041;  // tan 3
// At least this share of the edges' length must fit the best difference ...
constexpr double kMinSupport = 0.5;
// ... carried by at least this many edges ...
constexpr std::int32_t kMinFittingEdges = 3;
// ... and a difference this far away on either side must cost this much more (as a share of the
// largest cost), or the edges do not tell the differences apart.
constexpr std::int32_t kSpread = 30;
constexpr double kMinRise = 0.08;

// Edges lie on one straight line when their directions agree within 1.5 degrees and each one's
// extension passes within this many reduced pixels of the other's ends.
constexpr double kSameDirection = 0.026179938779915;  // 1.5 degrees in radians
constexpr double kSameLineGap = 2;

// A straight line in line coordinates: positions u along the transform's lines, v across them
// (the line index), v1 < v2; the weight is its length in reduced pixels.
struct LineEvidence {
    double u1;
    double v1;
    double u2;
    double v2;
    double weight;
};

double Tilt(const LineEvidence& e) { return (e.u2 - e.u1) / (e.v2 - e.v1); }

// How far point (u, v) lies from the line through e, in image pixels.
double Distance(const LineEvidence& e, double u, double v) {
    const double du = e.u2 - e.u1, dv = e.v2 - e.v1;
    return std::fabs((u - e.u1) * dv - (v - e.v1) * du) / std::hypot(du, dv);
}

bool OnOneLine(const LineEvidence& a, const LineEvidence& b) {
    if (std::fabs(std::atan(Tilt(a)) - std::atan(Tilt(b))) > kSameDirection) {
        return false;
    }
    // Image pixels per reduced pixel, from the edges' lengths in both.
    const double gap = kSameLineGap * std::max(std::hypot(a.u2 - a.u1, a.v2 - a.v1) / a.weight,
                                               std::hypot(b.u2 - b.u1, b.v2 - b.v1) / b.weight);
    return Distance(a, b.u1, b.v1) <= gap && Distance(a, b.u2, b.v2) <= gap &&
           Distance(b, a.u1, a.v1) <= gap && Distance(b, a.u2, a.v2) <= gap;
}

// One line through the ends of a group of edges: the least-squares fit of u over v, each end
// weighted by its edge's length, from the group's first to its last position across the lines.
// A group of one edge is that edge.
LineEvidence Joined(const std::vector<const LineEvidence*>& group) {
    double weight = 0, meanU = 0, meanV = 0;
    double first = group.front()->v1, last = group.front()->v2;
    for (const LineEvidence* e : group) {
        weight += e->weight;
        meanU += e->weight * (e->u1 + e->u2) / 2;
        meanV += e->weight * (e->v1 + e->v2) / 2;
        first = std::min(first, e->v1);
        last = std::max(last, e->v2);
    }
    meanU /= weight;
    meanV /= weight;
    double spread = 0, along = 0;
    for (const LineEvidence* e : group) {
        for (const auto& [u, v] : {std::pair{e->u1, e->v1}, std::pair{e->u2, e->v2}}) {
            spread += e->weight * (v - meanV) * (v - meanV);
            along += e->weight * (v - meanV) * (u - meanU);
        }
    }
    const double slope = along / spread;
    return {meanU + slope * (first - meanV), first, meanU + slope * (last - meanV), last, weight};
}

// The edges as lines, those on one straight line joined into one: the transform bends a
// converging line slightly, so the line as a whole, not each short piece of it, must come out
// straight.
std::vector<LineEvidence> EvidenceOf(const std::vector<EdgeSegment>& edges, bool rows) {
    std::vector<LineEvidence> pieces;
    pieces.reserve(edges.size());
    for (const EdgeSegment& e : edges) {
        LineEvidence line = rows ? LineEvidence{e.x1, e.y1, e.x2, e.y2, e.length}
                                 : LineEvidence{e.y1, e.x1, e.y2, e.x2, e.length};
        if (line.v1 > line.v2) line = {line.u2, line.v2, line.u1, line.v1, line.weight};
        if (line.v2 - line.v1 > 1e-6 && line.weight > 0) pieces.push_back(line);
    }
    std::vector<std::size_t> root(pieces.size());
    for (std::size_t i = 0; i < root.size(); ++i) root[i] = i;
    const auto find = [&root](std::size_t i) {
        while (root[i] != i) i = root[i] = root[root[i]];
        return i;
    };
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        for (std::size_t j = i + 1; j < pieces.size(); ++j) {
            if (OnOneLine(pieces[i], pieces[j])) root[find(j)] = find(i);
        }
    }
    std::vector<std::vector<const LineEvidence*>> groups(pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) groups[find(i)].push_back(&pieces[i]);
    std::vector<LineEvidence> lines;
    for (const auto& group : groups) {
        if (!group.empty()) lines.push_back(Joined(group));
    }
    return lines;
}

// The scale of the line through v.
double ScaleAt(const LineGeometry& geo, double v) {
    const auto line =
        static_cast<std::int32_t>(std::clamp(std::floor(v), static_cast<double>(geo.first),
                                             static_cast<double>(geo.first) + geo.extent - 1));
    return geo.Stretch(geo.Inset(line)).scale;
}

// Where the transform puts position u of the line through v: the line's scale about its centre.
double Mapped(const LineGeometry& geo, double centre, double u, double v) {
    return centre + (u - centre) * ScaleAt(geo, v);
}

// The tilt an edge comes out with. Under the perspective profile a strong squeeze shrinks most
// lines towards their centres, which would flatten every tilt with the picture itself; there the
// tilt counts relative to the edge's mean scale, as if the result were scaled back to its width.
double MappedTilt(const LineGeometry& geo, double centre, const LineEvidence& e) {
    const double tilt =
        (Mapped(geo, centre, e.u2, e.v2) - Mapped(geo, centre, e.u1, e.v1)) / (e.v2 - e.v1);
    if (!geo.perspective) return tilt;
    const double scale = (ScaleAt(geo, e.v1) + ScaleAt(geo, e.v2)) / 2;
    return scale > 0 ? tilt / scale : std::numeric_limits<double>::infinity();
}

// How well one difference straightens the edges: the truncated squared tilt as a share of its
// largest value, the share of the weight that fits, and how many edges fit.
struct Fit {
    double cost = 1;
    double support = 0;
    std::int32_t fitting = 0;
};

Fit FitOf(const std::vector<LineEvidence>& lines, const LineGeometry& geo, double totalWeight) {
    const double centre = geo.lo + (geo.hi - geo.lo) * 0.5;
    Fit fit{0, 0, 0};
    for (const LineEvidence& e : lines) {
        const double tilt = MappedTilt(geo, centre, e);
        if (std::fabs(tilt) < kFitTilt) {
            fit.cost += e.weight * tilt * tilt;
            fit.support += e.weight;
            ++fit.fitting;
        } else {
            fit.cost += e.weight * kFitTilt * kFitTilt;
        }
    }
    fit.cost /= totalWeight * kFitTilt * kFitTilt;
    fit.support /= totalWeight;
    return fit;
}

// Every candidate difference of one shape, and the best: the lowest cost, the smaller difference
// on a tie.
struct ShapeFit {
    std::int32_t shape;
    std::int32_t difference;
    std::array<Fit, kCandidates> fits;

    [[nodiscard]] const Fit& At(std::int32_t d) const {
        return fits[static_cast<std::size_t>(d + kMaxDifference)];
    }
};

ShapeFit FitShape(const std::vector<LineEvidence>& lines, const SelectionRect& rect, bool rows,
                  std::int32_t shape, LineProfile profile) {
    double total = 0;
    for (const LineEvidence& e : lines) total += e.weight;
    ShapeFit shapeFit{shape, 0, {}};
    for (std::int32_t d = -kMaxDifference; d <= kMaxDifference; ++d) {
        shapeFit.fits[static_cast<std::size_t>(d + kMaxDifference)] =
            FitOf(lines, GeometryOf(rect, rows, shape, d, profile), total);
    }
    for (std::int32_t step = 1; step <= kMaxDifference; ++step) {
        for (const std::int32_t d : {step, -step}) {
            if (shapeFit.At(d).cost < shapeFit.At(shapeFit.difference).cost) {
                shapeFit.difference = d;
            }
        }
    }
    return shapeFit;
}

// Whether the best difference stands out: enough of the edges fit it, and differences kSpread
// away fit clearly worse.
bool Convincing(const ShapeFit& shapeFit) {
    const std::int32_t d = shapeFit.difference;
    const Fit& best = shapeFit.At(d);
    if (best.support < kMinSupport || best.fitting < kMinFittingEdges) return false;
    double rise = 1;
    if (d - kSpread >= -kMaxDifference) rise = shapeFit.At(d - kSpread).cost - best.cost;
    if (d + kSpread <= kMaxDifference) {
        rise = std::min(rise, shapeFit.At(d + kSpread).cost - best.cost);
    }
    return rise >= kMinRise;
}

// The shape's fit the edges choose: `currentShape` when it changes one edge of the wanted
// direction, else the edge that comes out squeezed; none without lines or rectangle.
std::optional<ShapeFit> BestShapeFit(const std::vector<EdgeSegment>& edges,
                                     const SelectionRect& rect, StraightenDirection direction,
                                     std::int32_t currentShape, LineProfile profile) {
    const bool rows = direction == StraightenDirection::kVerticals;
    const std::vector<LineEvidence> lines = EvidenceOf(edges, rows);
    if (lines.empty() || rect.right <= rect.left || rect.bottom <= rect.top) return {};
    const std::int32_t firstEdge = rows ? 1 : 4;
    if (currentShape == firstEdge || currentShape == firstEdge + 1) {
        return FitShape(lines, rect, rows, currentShape, profile);
    }
    // The edge that comes out squeezed keeps every pixel of the picture.
    const ShapeFit first = FitShape(lines, rect, rows, firstEdge, profile);
    const ShapeFit second = FitShape(lines, rect, rows, firstEdge + 1, profile);
    const bool squeezeSecond =
        second.difference > 0 && (first.difference <= 0 || second.At(second.difference).cost <
                                                               first.At(first.difference).cost);
    return squeezeSecond ? second : first;
}

// Lines the user drew need only that the best difference leaves one of them within the fit.
bool AnyFits(const ShapeFit& shapeFit) { return shapeFit.At(shapeFit.difference).fitting >= 1; }

// The best shape and difference for the lines when `accept` takes their fit; none otherwise.
std::optional<Straightening> Straightened(const std::vector<EdgeSegment>& lines,
                                          const SelectionRect& rect, StraightenDirection direction,
                                          std::int32_t currentShape, LineProfile profile,
                                          bool (*accept)(const ShapeFit&)) noexcept {
    try {
        const std::optional<ShapeFit> chosen =
            BestShapeFit(lines, rect, direction, currentShape, profile);
        if (!chosen || !accept(*chosen)) return {};
        return Straightening{chosen->shape, chosen->difference};
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

std::optional<Straightening> StraighteningFromEdges(const std::vector<EdgeSegment>& edges,
                                                    const SelectionRect& rect,
                                                    StraightenDirection direction,
                                                    std::int32_t currentShape,
                                                    LineProfile profile) noexcept {
    return Straightened(edges, rect, direction, currentShape, profile, Convincing);
}

std::optional<Straightening> StraighteningFromGuides(const std::vector<EdgeSegment>& guides,
                                                     const SelectionRect& rect,
                                                     StraightenDirection direction,
                                                     std::int32_t currentShape,
                                                     LineProfile profile) noexcept {
    return Straightened(guides, rect, direction, currentShape, profile, AnyFits);
}

std::optional<Straightening> SuggestStraightening(const PictureView& picture,
                                                  const SelectionRect& rect,
                                                  StraightenDirection direction,
                                                  std::int32_t currentShape,
                                                  LineProfile profile) noexcept {
    try {
        if (picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) return {};
        const SelectionRect clipped = ClipToImage(rect, picture.width, picture.height);
        const ReducedGrey reduced = ReduceToGrey(picture, clipped, kReducedSide);
        const bool nearVertical = direction == StraightenDirection::kVerticals;
        return StraighteningFromEdges(FindStraightEdges(reduced, nearVertical), clipped, direction,
                                      currentShape, profile);
    } catch (const std::exception&) {
        return {};
    }
}
