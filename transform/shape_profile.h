// Shape profiles: the inset of each line of the selection as a linear function of its position.
#pragma once

#include <cstdint>

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
[[nodiscard]] constexpr bool LineIsReduced(std::int32_t shape, std::int32_t difference,
                                           bool beforeMiddle) noexcept {
    const bool squeezing = difference > 0;
    return ShapeSplitsLines(shape) ? (beforeMiddle == squeezing) : squeezing;
}
