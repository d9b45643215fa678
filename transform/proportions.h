// Restored proportions: the camera's tilt undone as a whole. Under the perspective profile the
// lines keep their places; here each line also moves along the picture, by the projective map
// that shares the profile's denominator, and all are scaled by one factor that the lens's angle of
// view gives, so that a plane photographed at a tilt comes out as seen front-on.
#pragma once

#include <cstdint>

#include "transform/line_geometry.h"

// The lens's focal length in millimetres, 35-mm equivalent: a whole number from 8 to 800, 28 (a
// common wide lens) when the setting is missing or outside.
constexpr std::int32_t kMinFocal = 8;
constexpr std::int32_t kMaxFocal = 800;
constexpr std::int32_t kDefaultFocal = 28;

[[nodiscard]] constexpr std::int32_t FocalOfSetting(std::int32_t focal) noexcept {
    return focal >= kMinFocal && focal <= kMaxFocal ? focal : kDefaultFocal;
}

// The move of the lines of one pass. With M(0) and M(c) the perspective profile's lengths at the
// two edges and c the number of lines, the line at position a goes to g(a) = a M(a) / M(c), so the
// edges stay, and is rebuilt to the length u M(a). `moves` is false when nothing moves and u is 1
// (the perspective profile's result): an edge of length 0, a tilt of 60 degrees or more, or a
// camera that would look past the plane.
struct LineMove {
    bool moves;
    double tilt;          // theta, radians: tan theta = f (M(0) - M(c)) / (M(0) y(0) - M(c) y(c))
    double scale;         // u = L (f cos theta - y(0) sin theta) / (f M(c))
    double startLength;   // M(0)
    double endLength;     // M(c)
    std::int32_t extent;  // c

    // g(a): where the line at position a (measured from the first edge) goes.
    [[nodiscard]] double Moved(double a) const noexcept {
        const double f = a / extent;
        return (a * startLength) / ((1 - f) * endLength + f * startLength);
    }
    // g^-1(a): which position of the source comes to position a.
    [[nodiscard]] double Source(double a) const noexcept {
        const double f = a / extent;
        return (a * endLength) / (startLength - f * (startLength - endLength));
    }
    // g'(a): how much the move stretches the picture across the lines at position a.
    [[nodiscard]] double Slope(double a) const noexcept {
        const double f = a / extent;
        const double d = (1 - f) * endLength + f * startLength;
        return (startLength * endLength) / (d * d);
    }
};

// The move for the lines `g` of the perspective profile in a width x height image (rows: g's lines
// are rows) photographed with `focal` mm: f = focal D / 43.27, D the image's diagonal in pixels,
// and y(a) the signed distance of position a from the image's centre line parallel to the lines,
// positive towards the first edge.
[[nodiscard]] LineMove MoveOf(const LineGeometry& g, std::int32_t width, std::int32_t height,
                              bool rows, std::int32_t focal) noexcept;

// The lines of the moved picture: the line at a' is the source's line g^-1(a') rebuilt to
// u M(g^-1(a')), which is u ((1 - a'/c) M(0) + (a'/c) M(c)): lengths linear in the position.
[[nodiscard]] LineGeometry MovedGeometry(const LineGeometry& g, const LineMove& move) noexcept;
