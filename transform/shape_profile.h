// Shape profiles: the inset of each line of the selection as a function of its position, linear
// in the classic profile, with a linear reciprocal of the line's length in the perspective one.
#pragma once

#include <cstdint>

// How the rebuilt length of a line follows its position across the selection. The classic
// profile changes the length linearly: the rectangle becomes a trapezoid with straight sides. The
// perspective profile changes the reciprocal of the length linearly between the same lengths at
// the two edges: a trapezoid whose sides meet at a point becomes a rectangle with straight sides,
// and every straight line stays straight. Persisted in the settings file: never renumber.
enum class LineProfile : std::int32_t {
    kClassic = 0,
    kPerspective = 1,
};

// (a: the line's centre measured from the selection's first line, b: the largest inset D,
//  c: the number of lines) -> inset in pixels; positive squeezes, negative stretches.
using ShapeProfile = double (*)(double a, double b, std::int32_t c);

// From b at the first line down to -b at the last, 0 in the middle.
[[nodiscard]] inline double TopAndBottomProfile(double a, double b, std::int32_t c) noexcept {
    return b - ((a * b * 2) / c);
}

// From b at the first line down to 0 at the last.
[[nodiscard]] inline double FirstEdgeProfile(double a, double b, std::int32_t c) noexcept {
    return ((c - a) * b) / c;
}

// From 0 at the first line up to b at the last.
[[nodiscard]] inline double SecondEdgeProfile(double a, double b, std::int32_t c) noexcept {
    return (a * b) / c;
}

// The inset of the perspective profile at position a of c lines, each line `length` long: the
// rebuilt length M(a) = M(0) M(c) / ((1 - a/c) M(c) + (a/c) M(0)) between the edge lengths
// `startLength` = M(0) and `endLength` = M(c), and t = (L - M(a)) / 2. An edge of length 0 (or
// less) makes every line 0 long: no division by zero, no line of negative length.
[[nodiscard]] inline double PerspectiveInset(double a, double length, double startLength,
                                             double endLength, std::int32_t c) noexcept {
    if (!(startLength > 0 && endLength > 0)) return length * 0.5;
    const double f = a / c;
    const double m = (startLength * endLength) / ((1 - f) * endLength + f * startLength);
    return (length - m) * 0.5;
}

// The insets the classic profile of a shape reaches at the selection's first and last edges
// (a = 0 and a = c), exactly: b and -b for shapes 0 and 3, b and 0 for 1 and 4, 0 and b for 2
// and 5; a shape outside 0..5 as shape 0.
struct EdgeInsets {
    double first;
    double last;
};
[[nodiscard]] constexpr EdgeInsets EdgeInsetsOf(std::int32_t shape, double b) noexcept {
    switch (shape) {
        case 1:
        case 4:
            return {b, 0.0};
        case 2:
        case 5:
            return {0.0, b};
        default:
            return {b, -b};
    }
}

// The profile of a shape; a shape outside 0..5 gets the profile of shape 0.
[[nodiscard]] ShapeProfile ProfileForShape(std::int32_t shape) noexcept;

// Shapes 0 to 2 rebuild rows, 3 to 5 columns.
[[nodiscard]] constexpr bool ShapeRebuildsRows(std::int32_t shape) noexcept {
    return shape >= 0 && shape <= 2;
}

// Shapes 0 and 3 squeeze one half of the lines and stretch the other.
[[nodiscard]] constexpr bool ShapeSplitsLines(std::int32_t shape) noexcept {
    return shape == 0 || shape == 3;
}

// Whether a line is squeezed (rebuilt by area average) rather than stretched: `beforeMiddle` tells
// whether the line lies before the split line of the shapes that have one.
[[nodiscard]] constexpr bool LineIsSqueezed(std::int32_t shape, std::int32_t difference,
                                            bool beforeMiddle) noexcept {
    const bool squeezing = difference > 0;
    return ShapeSplitsLines(shape) ? (beforeMiddle == squeezing) : squeezing;
}
