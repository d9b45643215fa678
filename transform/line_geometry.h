// Line geometry: what every line of one pass over the selection shares, and the inset, scale and
// interval length of each line. The transform pass and the preview compute lines through these,
// so that both give the same numbers.
#pragma once

#include <algorithm>
#include <cstdint>

#include "transform/pixel.h"
#include "transform/shape_profile.h"

// Where output position p of a stretched line samples the source: (p + shift) / scale.
struct StretchMap {
    double scale;  // g = (L - 2t) / L
    double shift;  // c (g - 1), c the line's centre

    // Where output position p samples the source.
    [[nodiscard]] double At(double p) const noexcept { return (p + shift) / scale; }
};

// Positions lo..hi-1 along every line, lines first..first+extent-1 across them, the largest
// inset D, the shape's profile, and for the perspective profile the rebuilt lengths at the two
// edges. The shape and the difference's sign choose the classic profile's workers.
struct LineGeometry {
    std::int32_t lo;
    std::int32_t hi;
    std::int32_t first;
    std::int32_t extent;
    double largestInset;  // D
    ShapeProfile profile;
    std::int32_t shape;
    std::int32_t difference;
    bool perspective;
    double startLength;  // M(0), the perspective profile's length at the first edge
    double endLength;    // M(c), at the last edge
    // Lengths that change linearly from startLength to endLength (the lines of a picture whose
    // lines were moved to undo the camera's tilt), each line squeezed or stretched by its own,
    // from the line `linearFirst` over `linearExtent` lines (a band of the lines walks a part).
    bool linearLengths;
    std::int32_t linearFirst;
    std::int32_t linearExtent;

    // The inset t of a line: the profile at the line's centre.
    [[nodiscard]] double Inset(std::int32_t line) const noexcept {
        const double a = (line - first) + 0.5;
        if (linearLengths) {
            const double f = ((line - linearFirst) + 0.5) / linearExtent;
            return ((hi - lo) - ((1 - f) * startLength + f * endLength)) * 0.5;
        }
        if (perspective) return PerspectiveInset(a, hi - lo, startLength, endLength, extent);
        return profile(a, largestInset, extent);
    }

    // The line that splits the shapes which squeeze one half and stretch the other.
    [[nodiscard]] double Middle() const noexcept { return first + extent * 0.5; }

    // Whether a line of inset t (its Inset) is squeezed (area average, undefined area) rather
    // than stretched. The classic profile's split shapes change worker at the middle line; the
    // perspective profile follows each line's own length, and a line of the full length is
    // copied by the average.
    [[nodiscard]] bool Squeezed(std::int32_t line, double t) const noexcept {
        if (perspective) return t >= 0;
        return LineIsSqueezed(shape, difference, line < Middle());
    }

    // The rebuilt line is L - 2t long and centred in [lo, hi).
    [[nodiscard]] StretchMap Stretch(double t) const noexcept {
        const std::int32_t length = hi - lo;
        const double g = (length - 2 * t) / length;
        const double c = lo + length * 0.5;
        return {g, c * (g - 1)};
    }

    // The source interval one output pixel of a squeezed line stands for: L / (L - 2t), capped
    // at L, and L when nothing of the line is left.
    [[nodiscard]] double SqueezedPixelLength(double t) const noexcept {
        const std::int32_t length = hi - lo;
        const double q = length - 2 * t;
        return q > 0 ? std::min(length / q, static_cast<double>(length)) : length;
    }
};

// The greatest difference, in percent either way: at 100 the narrow side of the trapezoid is a
// point.
constexpr std::int32_t kDifferenceLimit = 100;

// The lines of a rectangle: rows (lo..hi the columns, across the rows) or columns. D is the
// difference's share of the line length. A difference beyond -100..100 counts as the limit on
// its side: further, the inset would pass the line's centre and the two sides' fills would trade
// places, which no setting means; at the limit the picture is the strongest one there is.
[[nodiscard]] inline LineGeometry GeometryOf(const SelectionRect& rect, bool rows,
                                             std::int32_t shape, std::int32_t difference,
                                             LineProfile lineProfile) noexcept {
    difference = std::clamp(difference, -kDifferenceLimit, kDifferenceLimit);
    const std::int32_t lo = rows ? rect.left : rect.top;
    const std::int32_t hi = rows ? rect.right : rect.bottom;
    const std::int32_t first = rows ? rect.top : rect.left;
    const std::int32_t extent = rows ? rect.bottom - rect.top : rect.right - rect.left;
    const double largestInset = (static_cast<double>(difference) * (hi - lo)) * 0.005;
    const EdgeInsets edges = EdgeInsetsOf(shape, largestInset);
    const double length = hi - lo;
    return {lo,
            hi,
            first,
            extent,
            largestInset,
            ProfileForShape(shape),
            shape,
            difference,
            lineProfile == LineProfile::kPerspective,
            length - 2 * edges.first,
            length - 2 * edges.last,
            /*linearLengths=*/false,
            first,
            extent};
}
