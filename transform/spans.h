// Spans: what the span kernels are handed for a run of one line, or for one output row across
// neighbouring columns.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transform/pixel.h"

// What a stretched span needs: output positions from..to-1, written to out[p - from], sample
// (p + shift) / scale of a line of n pixels whose pixel k is line[k * step].
struct StretchSpan {
    std::int32_t from;
    std::int32_t to;
    double shift;
    double scale;  // >= 1: a stretched line
    std::int32_t n;
    std::ptrdiff_t step;

    // Where output position p samples the line.
    [[nodiscard]] double At(double p) const noexcept { return (p + shift) / scale; }
};

// What a squeezed span needs: output positions from..to-1, written to out[p - from], average
// [s, s + len) with s = lo + ((p - lo) - t) * len, over a line of n pixels whose pixel k is
// line[k * step] and of which readFirst..readLast are read. The scratch of a squeeze span holds
// readLast - readFirst + 2 pixels of four doubles.
struct SqueezeSpan {
    std::int32_t from;
    std::int32_t to;
    std::int32_t lo;
    double t;
    double len;  // > 0
    std::int32_t n;
    std::ptrdiff_t step;
    std::int32_t readFirst;
    std::int32_t readLast;

    // Where the interval of the output position `offset` past lo starts.
    [[nodiscard]] double StartAt(double offset) const noexcept { return lo + ((offset - t) * len); }
};

// One output row y of a run of neighbouring columns: column j's pixel k is
// column[k * stride + j], each column n pixels long, and its output goes to out[j], j < count.
// Stretched, column j samples (y + a[j]) / b[j] (shift and scale); squeezed, it averages
// [s, s + b[j]) with s = lo + ((y - lo) - a[j]) * b[j] (inset and interval length). a and b are
// readable for eight entries past count. `inside`: the caller has shown that every column's
// position on this row lies inside the column, so none needs the clamp that guards the buffer.
struct AcrossRow {
    const Pixel32* column;
    std::ptrdiff_t stride;
    std::int32_t n;
    std::int32_t y;
    std::int32_t lo;
    const double* a;
    const double* b;
    std::int32_t count;
    bool inside;
};

// Whether every position from `first` to `last` lies inside a line of n pixels. Along a line
// each position comes from a growing number by the same rounded steps, which keep its order, so
// the first and the last bound all between.
inline bool InsideLine(double first, double last, std::int32_t n) noexcept {
    return first >= 0.0 && last >= 0.0 && first < n && last < n;  // false for a NaN
}
