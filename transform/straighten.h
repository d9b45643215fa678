// Straightening: the shape and difference that make the picture's near-vertical (or
// near-horizontal) straight edges as straight as the transform can, or none when the picture has
// no such edges or they disagree.
#pragma once

#include <cstdint>
#include <optional>

#include "transform/pixel.h"
#include "transform/shape_profile.h"
#include "transform/straight_edges.h"

enum class StraightenDirection : std::int32_t {
    kVerticals = 0,    // row shapes 1 and 2
    kHorizontals = 1,  // column shapes 4 and 5
};

struct Straightening {
    std::int32_t shape;
    std::int32_t difference;
};

// The suggestion for the rectangle, clipped to the picture; only selected pixels inside it count.
// The shape: `currentShape` when it changes one edge in the wanted direction (1 or 2 for
// verticals, 4 or 5 for horizontals); otherwise the edge that comes out squeezed (a positive
// difference), because squeezing keeps every pixel of the picture and leaves only the corners to
// the fill, which the user can make transparent or crop, while stretching an edge pushes the ends
// of its lines out of the rectangle for good. When neither edge squeezes (the edges are straight
// already) the first edge, 1 or 4. The difference: the whole number from -100 to 100 whose line
// geometry under `profile`, the pass's own, leaves the edges nearest to the wanted direction, edges
// that do not fit counting a fixed amount each; the smaller one on a tie. Edges on one straight
// line count as that one line from its first to its last point, which must come out straight as a
// whole. None when the picture is empty, has too few straight edges, when most of them disagree
// with the best difference, or when they do not tell differences apart (all of them near the
// middle).
[[nodiscard]] std::optional<Straightening> SuggestStraightening(const PictureView& picture,
                                                                const SelectionRect& rect,
                                                                StraightenDirection direction,
                                                                std::int32_t currentShape,
                                                                LineProfile profile) noexcept;

// The same from edges already found, in image coordinates within the clipped rectangle.
[[nodiscard]] std::optional<Straightening> StraighteningFromEdges(
    const std::vector<EdgeSegment>& edges, const SelectionRect& rect, StraightenDirection direction,
    std::int32_t currentShape, LineProfile profile) noexcept;

// The same fit on lines the user drew (guides), in image coordinates: the shape and difference
// under which they come out straightest, with no least number of lines and no test of how
// clearly the best difference stands out; none when no difference leaves any of them within the
// fit's tilt of the wanted direction.
[[nodiscard]] std::optional<Straightening> StraighteningFromGuides(
    const std::vector<EdgeSegment>& guides, const SelectionRect& rect,
    StraightenDirection direction, std::int32_t currentShape, LineProfile profile) noexcept;
