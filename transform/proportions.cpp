// Restored proportions: the tilt, the scale and the move of the lines from the perspective
// profile's edge lengths, the image's size and the lens.
#include "transform/proportions.h"

#include <cmath>

namespace {

constexpr double kFrameDiagonal = 43.27;                  // mm, the 35-mm frame's diagonal
constexpr double kMostTilt = 3.14159265358979323846 / 3;  // 60 degrees

}  // namespace

LineMove MoveOf(const LineGeometry& g, std::int32_t width, std::int32_t height, bool rows,
                std::int32_t focal) noexcept {
    const double m0 = g.startLength;
    const double mc = g.endLength;
    LineMove move{false, 0.0, 1.0, m0, mc, g.extent};
    if (!(m0 > 0 && mc > 0) || g.extent <= 0 || g.hi <= g.lo) return move;
    const double w = width;
    const double h = height;
    const double f = FocalOfSetting(focal) * std::sqrt(w * w + h * h) / kFrameDiagonal;
    // The image's centre line across the lines, and the edges' distances from it.
    const double centre = (rows ? h : w) * 0.5;
    const double y0 = centre - g.first;
    const double yc = centre - (static_cast<double>(g.first) + g.extent);
    const double denominator = m0 * y0 - mc * yc;
    if (denominator == 0) return move;  // a tilt of 90 degrees
    const double tilt = std::atan(f * (m0 - mc) / denominator);
    if (!(std::fabs(tilt) < kMostTilt)) return move;
    const double ahead = f * std::cos(tilt) - y0 * std::sin(tilt);
    if (!(ahead > 0)) return move;  // the first edge lies behind the camera
    move.moves = true;
    move.tilt = tilt;
    move.scale = (g.hi - g.lo) * ahead / (f * mc);
    return move;
}

LineGeometry MovedGeometry(const LineGeometry& g, const LineMove& move) noexcept {
    LineGeometry moved = g;
    moved.linearLengths = true;
    moved.linearFirst = g.first;
    moved.linearExtent = g.extent;
    moved.startLength = move.scale * g.startLength;
    moved.endLength = move.scale * g.endLength;
    return moved;
}
