// Transform pass: rebuilds every row or column of the selection about its centre so that the
// selection's rectangle becomes a trapezoid.
#include "transform/transform_pass.h"

#include <algorithm>

#include "transform/line_kernels.h"
#include "transform/span_pass.h"

namespace {

// Rows: position p along line r is pixel (p, r).
struct RowAxis {
    static constexpr SamplerSlot kBefore = kOutsideLeft;
    static constexpr SamplerSlot kAfter = kOutsideRight;
    static constexpr SamplerSlot kStart = kEdgeLeft;
    static constexpr SamplerSlot kEnd = kEdgeRight;

    static Pixel32* Line(const LinePass& pass, std::int32_t r) noexcept {
        return pass.destination + PixelIndex(0, r, pass.context->stride);
    }
    static constexpr std::ptrdiff_t Step(const SamplerContext&) noexcept { return 1; }
    static const Pixel32* Source(const SamplerContext& c, std::int32_t r) noexcept {
        return c.source + PixelIndex(0, r, c.stride);
    }
    static std::int32_t Length(const SamplerContext& c) noexcept { return c.stride; }
    static Pixel32 Sample(SamplerFn fn, const SamplerContext& c, std::int32_t r, std::int32_t p,
                          double s, double len) noexcept {
        return fn(c, p, r, s, r, len);
    }
};

// Columns: position p along line x is pixel (x, p).
struct ColumnAxis {
    static constexpr SamplerSlot kBefore = kOutsideTop;
    static constexpr SamplerSlot kAfter = kOutsideBottom;
    static constexpr SamplerSlot kStart = kEdgeTop;
    static constexpr SamplerSlot kEnd = kEdgeBottom;

    static Pixel32* Line(const LinePass& pass, std::int32_t x) noexcept {
        return pass.destination + x;
    }
    static std::ptrdiff_t Step(const SamplerContext& c) noexcept { return c.stride; }
    static const Pixel32* Source(const SamplerContext& c, std::int32_t x) noexcept {
        return c.source + x;
    }
    static std::int32_t Length(const SamplerContext& c) noexcept { return c.height; }
    static Pixel32 Sample(SamplerFn fn, const SamplerContext& c, std::int32_t x, std::int32_t p,
                          double s, double len) noexcept {
        return fn(c, x, p, x, s, len);
    }
};

// A stretched line: every output position samples the source at its scaled position.
template <class Axis>
void StretchLine(const LinePass& pass, std::int32_t line) noexcept {
    const SamplerContext& ctx = *pass.context;
    const StretchMap map = pass.lines.Stretch(pass.lines.Inset(line));
    Pixel32* out = Axis::Line(pass, line);
    const std::ptrdiff_t step = Axis::Step(ctx);
    CubicLineSampler sampler(Axis::Source(ctx, line), step, Axis::Length(ctx));
    for (std::int32_t p = pass.lines.lo; p < pass.lines.hi; ++p) {
        out[p * step] = sampler.Sample((p + map.shift) / map.scale);
    }
}

// A squeezed line, walked inward from both ends: the undefined area, the partly covered end
// pixels, then the area averages of the middle. Every bound also stops at the line's end, which
// only matters for a difference outside -100..100.
template <class Axis>
void SqueezeLine(const LinePass& pass, std::int32_t line) noexcept {
    const SamplerContext& ctx = *pass.context;
    const SamplerRow& ops = SamplerTable(ctx.fill->mode);
    const std::int32_t lo = pass.lines.lo;
    const std::int32_t hi = pass.lines.hi;
    const double t = pass.lines.Inset(line);
    const double len = pass.lines.SqueezedPixelLength(t);
    Pixel32* out = Axis::Line(pass, line);
    const Pixel32* in = Axis::Source(ctx, line);
    const std::ptrdiff_t step = Axis::Step(ctx);
    const std::int32_t n = Axis::Length(ctx);

    std::int32_t p = lo;
    for (; p <= (lo + t) - 1 && p < hi; ++p) {
        const std::int32_t m = hi - 1 - (p - lo);
        out[p * step] = Axis::Sample(ops[Axis::kBefore], ctx, line, p, 0.0, len);
        out[m * step] = Axis::Sample(ops[Axis::kAfter], ctx, line, m, 0.0, len);
    }
    for (; p < lo + t && p < hi; ++p) {
        const std::int32_t m = hi - 1 - (p - lo);
        const double s = lo + ((p - lo) - t) * len;
        out[p * step] = Axis::Sample(ops[Axis::kStart], ctx, line, p, s, len);
        out[m * step] = Axis::Sample(ops[Axis::kEnd], ctx, line, m, (hi - (s - lo)) - len, len);
    }
    for (; p <= (hi - t) - 1 && p < hi; ++p) {
        out[p * step] = BoxLineAverage(in, step, lo + ((p - lo) - t) * len, len, n);
    }
}

using LineWorker = void (*)(const LinePass&, std::int32_t) noexcept;

// Runs the workers over the lines of `lines`, each line's worker as its geometry chooses.
void RunLines(Pixel32* destination, const SamplerContext& context, const LineGeometry& lines,
              LineWorker reduce, LineWorker enlarge, ProgressRecord* progress) noexcept {
    if (lines.hi <= lines.lo || lines.extent <= 0) return;
    const LinePass pass{destination, &context, lines};
    for (std::int32_t line = lines.first; line < lines.first + lines.extent; ++line) {
        (lines.Squeezed(line, lines.Inset(line)) ? reduce : enlarge)(pass, line);
        ReportLinesDone(progress, line - lines.first, lines.extent);
    }
}

}  // namespace

void EnlargeRow(const LinePass& pass, std::int32_t row) noexcept {
    StretchLine<RowAxis>(pass, row);
}
void ReduceRow(const LinePass& pass, std::int32_t row) noexcept { SqueezeLine<RowAxis>(pass, row); }
void EnlargeColumn(const LinePass& pass, std::int32_t column) noexcept {
    StretchLine<ColumnAxis>(pass, column);
}
void ReduceColumn(const LinePass& pass, std::int32_t column) noexcept {
    SqueezeLine<ColumnAxis>(pass, column);
}

void RowPass(Pixel32* destination, const SelectionRect& rect, std::int32_t shape,
             std::int32_t difference, LineProfile profile, const SamplerContext& context,
             ProgressRecord* progress) noexcept {
    const LineGeometry lines = GeometryOf(rect, /*rows=*/true, shape, difference, profile);
    if (RunSpanPass(destination, context, lines, /*rows=*/true, progress)) return;
    RunLines(destination, context, lines, ReduceRow, EnlargeRow, progress);
}

void ColumnPass(Pixel32* destination, const SelectionRect& rect, std::int32_t shape,
                std::int32_t difference, LineProfile profile, const SamplerContext& context,
                ProgressRecord* progress) noexcept {
    const LineGeometry lines = GeometryOf(rect, /*rows=*/false, shape, difference, profile);
    if (RunSpanPass(destination, context, lines, /*rows=*/false, progress)) return;
    RunLines(destination, context, lines, ReduceColumn, EnlargeColumn, progress);
}

SelectionRect ClipToImage(const SelectionRect& rect, std::int32_t width,
                          std::int32_t height) noexcept {
    SelectionRect clipped{std::max(rect.left, 0), std::max(rect.top, 0),
                          std::min(rect.right, width), std::min(rect.bottom, height)};
    if (clipped.right < clipped.left) clipped.right = clipped.left;
    if (clipped.bottom < clipped.top) clipped.bottom = clipped.top;
    return clipped;
}

void RunTransform(const Pixel32* source, Pixel32* destination, std::int32_t width,
                  std::int32_t height, const SelectionRect& rect, std::int32_t shape,
                  std::int32_t difference, LineProfile profile, FillParams fill,
                  ProgressRecord* progress) noexcept {
    if (source == nullptr || destination == nullptr || width <= 0 || height <= 0) return;
    if (difference == 0 || shape < 0 || shape >= kShapeCount) return;
    const SelectionRect r = ClipToImage(rect, width, height);
    if (r.right <= r.left || r.bottom <= r.top) return;
    fill.left = r.left;
    fill.top = r.top;
    fill.right = r.right;
    fill.bottom = r.bottom;
    const SamplerContext context{source, width, height, &fill};
    if (ShapeRebuildsRows(shape)) {
        RowPass(destination, r, shape, difference, profile, context, progress);
    } else {
        ColumnPass(destination, r, shape, difference, profile, context, progress);
    }
}
