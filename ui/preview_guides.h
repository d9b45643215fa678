// Guides: straight lines the user draws over the preview, kept in the source image's coordinates
// so that they stay on their edge through zoom, pan and resize; where the correction takes a
// point of the image, so that each guide is drawn where it will go; and which guides a
// straightening along them can use.
#pragma once

#include <cstdint>
#include <vector>

#include "transform/pixel.h"
#include "transform/shape_profile.h"
#include "transform/straight_edges.h"
#include "transform/straighten.h"

// A point of the source image, in its pixels, continuous: (0, 0) is the top-left pixel's corner.
struct ImagePoint {
    double x;
    double y;
};

struct Guide {
    ImagePoint a;
    ImagePoint b;
};

// How canvas positions and image points correspond in the view: canvas = image / scale + offset,
// in continuous canvas coordinates (pixel x covers x..x+1).
struct ViewMapping {
    double scale;
    double offsetX;
    double offsetY;

    [[nodiscard]] ImagePoint ToImage(double x, double y) const noexcept {
        return {(x - offsetX) * scale, (y - offsetY) * scale};
    }
    [[nodiscard]] ImagePoint ToCanvas(const ImagePoint& p) const noexcept {
        return {p.x / scale + offsetX, p.y / scale + offsetY};
    }
};

// The end of a guide near a point: the guide's index and which end (0 a, 1 b).
struct GuideEnd {
    std::int32_t guide;
    std::int32_t end;
};

// Among `guides` shown at `shown` (the same guides where the canvas draws them), the end within
// `radius` of `at` nearest to it, or guide -1; the guide whose line passes within `radius`
// (nearest first), or -1. All in canvas coordinates.
[[nodiscard]] GuideEnd GuideEndNear(const std::vector<Guide>& shown, const ImagePoint& at,
                                    double radius) noexcept;
[[nodiscard]] std::int32_t GuideNear(const std::vector<Guide>& shown, const ImagePoint& at,
                                     double radius) noexcept;

// Where the correction of `shape` and `difference` under `profile` takes image point `p` of a
// selection `rect`: along its line, scaled about the line's centre as the pass rebuilds it;
// a point outside the rectangle stays where it is.
[[nodiscard]] ImagePoint CorrectedPoint(const ImagePoint& p, const SelectionRect& rect,
                                        std::int32_t shape, std::int32_t difference,
                                        LineProfile profile) noexcept;

// The image point that the same correction takes to `shown`: the inverse of CorrectedPoint. A
// line squeezed to nothing gives its centre.
[[nodiscard]] ImagePoint UncorrectedPoint(const ImagePoint& shown, const SelectionRect& rect,
                                          std::int32_t shape, std::int32_t difference,
                                          LineProfile profile) noexcept;

// Why the guides cannot be straightened along.
enum class GuideProblem : std::int32_t {
    kNone = 0,
    kTooFew = 1,  // fewer than two guides of some length
    kMixed = 2,   // near-vertical and near-horizontal ones together
    kNoFit = 3,   // no difference straightens them
};

// The guides that count, as edges in image coordinates, and their direction: a guide within 45
// degrees of vertical is a vertical one, every other a horizontal one; guides shorter than
// kShortestGuide image pixels do not count.
constexpr double kShortestGuide = 4;
struct UsableGuides {
    std::vector<EdgeSegment> edges;
    StraightenDirection direction;
    GuideProblem problem;
};
[[nodiscard]] UsableGuides UsableGuidesOf(const std::vector<Guide>& guides);
