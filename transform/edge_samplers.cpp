// Edge samplers: the undefined area beside a squeezed line and the blended pixels at its ends,
// for each of the six fills.
#include "transform/edge_samplers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "transform/channels.h"

namespace {

enum class FillKind { kEdgePixel, kSourcePixel, kColour };

[[nodiscard]] std::int32_t ClampIndex(std::int32_t v, std::int32_t n) noexcept {
    return std::max(0, std::min(v, n - 1));
}

// A pixel of the image; coordinates are kept inside it so that no caller can read past it.
[[nodiscard]] Pixel32 ImagePixel(const SamplerContext& ctx, std::int32_t x,
                                 std::int32_t y) noexcept {
    return ctx.source[PixelIndex(ClampIndex(x, ctx.stride), ClampIndex(y, ctx.height), ctx.stride)];
}

[[nodiscard]] constexpr bool IsRowSlot(SamplerSlot slot) noexcept {
    return slot == kOutsideLeft || slot == kOutsideRight || slot == kEdgeLeft || slot == kEdgeRight;
}

[[nodiscard]] constexpr bool IsStartSlot(SamplerSlot slot) noexcept {
    return slot == kOutsideLeft || slot == kOutsideTop || slot == kEdgeLeft || slot == kEdgeTop;
}

// The pixel that stands for the undefined area at output pixel (x, y).
template <FillKind kind, SamplerSlot slot>
Pixel32 FillPixel(const SamplerContext& ctx, std::int32_t x, std::int32_t y) noexcept {
    const FillParams& fill = *ctx.fill;
    if constexpr (kind == FillKind::kColour) {
        return fill.colour;
    } else {
        if constexpr (kind == FillKind::kEdgePixel) {
            // The selection's own pixel at the near end of the same line.
            if constexpr (IsRowSlot(slot)) {
                x = IsStartSlot(slot) ? fill.left : fill.right - 1;
            } else {
                y = IsStartSlot(slot) ? fill.top : fill.bottom - 1;
            }
        }
        const Pixel32 p = ImagePixel(ctx, x, y);
        return fill.transparent != 0 ? WithoutAlpha(p) : p;
    }
}

// Channel sums in the order the operations add their terms, with the weight they add up to.
struct Sums {
    Channels c{_mm_setzero_pd(), _mm_setzero_pd()};
    double weight = 0.0;
    void Add(Pixel32 p, double w) noexcept {
        c = AddScaled(c, LoadChannels(p), w);
        weight += w;
    }
    void Add(Pixel32 p) noexcept {
        c = Added(c, LoadChannels(p));
        weight += 1.0;
    }
    // The mean over the interval's nominal length. Far from the origin the interval's ends are
    // rounded to coarser steps, and its weights no longer add up to that length: a flat line
    // would then come out darker, so the mean is taken over the weights themselves. Only there:
    // where the weights do add up to the length, the mean stays as it always was.
    [[nodiscard]] Pixel32 Mean(double length) const noexcept {
        const double over = std::abs(weight - length) > kWeightTolerance ? weight : length;
        return ClampPackChannels(Divided(c, over));
    }
    // Rounding near the origin leaves the weights within this of the length.
    static constexpr double kWeightTolerance = 1e-12;
};

// One line of the selection: pixel k is at[k * step]; lo..hi is the selection's part of it.
struct Line {
    const Pixel32* at;
    std::ptrdiff_t step;
    std::int32_t lo;
    std::int32_t hi;
    [[nodiscard]] Pixel32 operator[](std::int32_t k) const noexcept { return at[k * step]; }
};

// Mean over [s, e) where everything outside [lo, hi) counts as the fill pixel. Serves the
// intervals that rounding pushed out of the shape the operations expect.
Pixel32 ClippedAverage(const Line& line, double s, double length, Pixel32 fill) noexcept {
    const double e = s + length;
    const double a = std::max(s, static_cast<double>(line.lo));
    const double b = std::min(e, static_cast<double>(line.hi));
    Sums sum;
    sum.Add(fill, (a - s) + (e - b));
    const std::int32_t i0 = static_cast<std::int32_t>(a);
    const std::int32_t i1 = static_cast<std::int32_t>(b);
    if (i0 == i1) {
        if (i0 < line.hi) sum.Add(line[i0], b - a);
        return sum.Mean(length);
    }
    sum.Add(line[i0], (i0 + 1) - a);
    for (std::int32_t k = i0 + 1; k < i1; ++k) sum.Add(line[k]);
    if (i1 < line.hi && b > i1) sum.Add(line[i1], b - i1);
    return sum.Mean(length);
}

// The first pixel of a squeezed line: its interval begins in the undefined area before lo.
Pixel32 StartEdgeAverage(const Line& line, double s, double length, Pixel32 fill) noexcept {
    const double e = s + length;
    if (!(length > 0.0) || !(e > line.lo) || !(s < line.hi)) return fill;
    if (e > line.hi) return ClippedAverage(line, s, length, fill);
    const std::int32_t i1 = static_cast<std::int32_t>(e);
    Sums sum;
    sum.Add(fill, line.lo - s);
    const double last = e - i1;
    if (last != 0.0) sum.Add(line[i1], last);  // a zero-weight end may lie past the line
    for (std::int32_t k = line.lo; k < i1; ++k) sum.Add(line[k]);
    return sum.Mean(length);
}

// The last pixel of a squeezed line: its interval ends in the undefined area after hi.
Pixel32 EndEdgeAverage(const Line& line, double s, double length, Pixel32 fill) noexcept {
    const double e = s + length;
    if (!(length > 0.0) || !(e > line.lo) || !(s < line.hi)) return fill;
    if (s < line.lo) return ClippedAverage(line, s, length, fill);
    const std::int32_t i0 = static_cast<std::int32_t>(s);
    Sums sum;
    sum.Add(line[i0], (i0 + 1) - s);
    for (std::int32_t k = i0 + 1; k < line.hi; ++k) sum.Add(line[k]);
    sum.Add(fill, e - line.hi);
    return sum.Mean(length);
}

template <FillKind kind, SamplerSlot slot>
Pixel32 Outside(const SamplerContext& ctx, std::int32_t x, std::int32_t y, double, double,
                double) noexcept {
    return FillPixel<kind, slot>(ctx, x, y);
}

template <FillKind kind, SamplerSlot slot>
Pixel32 Edge(const SamplerContext& ctx, std::int32_t x, std::int32_t y, double sx, double sy,
             double length) noexcept {
    const Pixel32 fill = FillPixel<kind, slot>(ctx, x, y);
    const FillParams& f = *ctx.fill;
    Line line{};
    if constexpr (IsRowSlot(slot)) {
        line = {ctx.source + PixelIndex(0, ClampIndex(y, ctx.height), ctx.stride), 1,
                std::max(f.left, 0), std::min(f.right, ctx.stride)};
    } else {
        line = {ctx.source + ClampIndex(x, ctx.stride), ctx.stride, std::max(f.top, 0),
                std::min(f.bottom, ctx.height)};
    }
    const double s = IsRowSlot(slot) ? sx : sy;
    if (line.lo >= line.hi) return fill;
    return IsStartSlot(slot) ? StartEdgeAverage(line, s, length, fill)
                             : EndEdgeAverage(line, s, length, fill);
}

template <FillKind kind>
constexpr SamplerRow MakeRow() {
    return {
        Outside<kind, kOutsideLeft>,    // kOutsideLeft
        Outside<kind, kOutsideRight>,   // kOutsideRight
        Outside<kind, kOutsideTop>,     // kOutsideTop
        Outside<kind, kOutsideBottom>,  // kOutsideBottom
        Edge<kind, kEdgeLeft>,          // kEdgeLeft
        Edge<kind, kEdgeRight>,         // kEdgeRight
        Edge<kind, kEdgeTop>,           // kEdgeTop
        Edge<kind, kEdgeBottom>,        // kEdgeBottom
    };
}

// Modes 2 to 5 differ only in the colour the caller resolved, so they share one row.
constexpr std::array<SamplerRow, kModeCount> kSamplerTable = {
    MakeRow<FillKind::kEdgePixel>(),    // UndefinedAreaMode::kEdgePixel
    MakeRow<FillKind::kSourcePixel>(),  // UndefinedAreaMode::kSourcePixel
    MakeRow<FillKind::kColour>(),       // UndefinedAreaMode::kForeground
    MakeRow<FillKind::kColour>(),       // UndefinedAreaMode::kBackground
    MakeRow<FillKind::kColour>(),       // UndefinedAreaMode::kWhite
    MakeRow<FillKind::kColour>(),       // UndefinedAreaMode::kBlack
};
static_assert(kSamplerTable.size() == kModeCount);

}  // namespace

const SamplerRow& SamplerTable(std::int32_t mode) noexcept {
    if (mode < 0 || mode >= kModeCount) mode = 0;
    return kSamplerTable[static_cast<std::size_t>(mode)];
}
