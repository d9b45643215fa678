// Defined area: the widest run of lines times the defined length they share.
#include "transform/defined_area.h"

#include <cmath>

#include "transform/proportions.h"
#include "transform/transform_pass.h"

namespace {

// How many positions of line `line` are wholly covered by the rebuilt line, centred in it: all of
// a stretched one, of a squeezed one those between its partly covered ends.
std::int64_t DefinedLength(const LineGeometry& g, std::int32_t line) noexcept {
    const std::int64_t length = g.hi - g.lo;
    const double t = g.Inset(line);
    if (!g.Squeezed(line, t) || !(t > 0)) return length;
    const double ends = std::ceil(t);
    return ends * 2 >= static_cast<double>(length) ? 0
                                                   : length - 2 * static_cast<std::int64_t>(ends);
}

}  // namespace

SelectionRect DefinedRectangle(std::int32_t width, std::int32_t height, const SelectionRect& rect,
                               std::int32_t shape, std::int32_t difference, LineProfile profile,
                               bool restore, std::int32_t focal) noexcept {
    const SelectionRect r = ClipToImage(rect, width, height);
    if (r.right <= r.left || r.bottom <= r.top || difference == 0 || shape < 0 ||
        shape >= kShapeCount) {
        return r;
    }
    const bool rows = ShapeRebuildsRows(shape);
    LineGeometry g = GeometryOf(r, rows, shape, difference, profile);
    if (restore && profile == LineProfile::kPerspective) {
        const LineMove move = MoveOf(g, width, height, rows, focal);
        if (move.moves) g = MovedGeometry(g, move);
    }
    // Under every profile the lines' lengths change one way across the selection, so the best
    // run of lines starts at the edge whose line is longest: the first k lines from there share
    // the k-th line's defined length.
    const std::int32_t last = g.first + g.extent - 1;
    const bool fromFirst = DefinedLength(g, g.first) >= DefinedLength(g, last);
    std::int64_t bestArea = 0;
    std::int32_t bestLines = 0;
    std::int64_t bestLength = 0;
    for (std::int32_t k = 1; k <= g.extent; ++k) {
        const std::int64_t length = DefinedLength(g, fromFirst ? g.first + k - 1 : last - k + 1);
        if (length * k > bestArea) {
            bestArea = length * k;
            bestLines = k;
            bestLength = length;
        }
    }
    const auto inset = static_cast<std::int32_t>(((g.hi - g.lo) - bestLength) / 2);
    const std::int32_t from = fromFirst ? g.first : last - bestLines + 1;
    const SelectionRect along{g.lo + inset, from, g.hi - inset, from + bestLines};
    if (bestLines == 0) return {r.left, r.top, r.left, r.top};
    return rows ? along : SelectionRect{along.top, along.left, along.bottom, along.right};
}
