// Transform pass: rebuilds every row or column of the selection about its centre so that the
// selection's rectangle becomes a trapezoid.
#include "transform/transform_pass.h"

#include <algorithm>
#include <memory>
#include <new>

#include "transform/column_pass.h"
#include "transform/line_kernels.h"
#include "transform/line_plan.h"
#include "transform/moved_lines.h"

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

// Hands out pixels computed a chunk at a time along a column: put(from, pixels, count) stores
// them at positions from..from+count-1 of the line out[p * step].
auto ScatterTo(Pixel32* out, std::ptrdiff_t step) noexcept {
    return [out, step](std::int32_t from, const Pixel32* pixels, std::int32_t count) {
        for (std::int32_t j = 0; j < count; ++j) out[(from + j) * step] = pixels[j];
    };
}

// A stretched line: every output position samples the source at its scaled position. A row's
// samples go straight to their places; a column's are gathered a chunk at a time.
template <class Axis>
void StretchLine(const LinePass& pass, const LinePlan& plan) noexcept {
    const SamplerContext& ctx = *pass.context;
    Pixel32* out = Axis::Line(pass, plan.line);
    const std::ptrdiff_t step = Axis::Step(ctx);
    const Pixel32* in = Axis::Source(ctx, plan.line);
    if (step == 1) {
        const StretchSpan span{plan.lo,        plan.hi,           plan.map.shift,
                               plan.map.scale, Axis::Length(ctx), 1};
        ActiveSpanPath().stretch(in, span, nullptr, out + plan.lo);
        return;
    }
    const CubicLineSampler sampler(in, step, Axis::Length(ctx));
    SampleStretched(sampler, plan.lo, plan.hi, plan.map.shift, plan.map.scale,
                    ScatterTo(out, step));
}

// The area averages of a squeezed line's run. A row's go straight to their places, a chunk of up
// to kRowReach converted pixels at a time; a column's are gathered a chunk at a time.
template <class Axis>
void AverageRun(const LinePass& pass, const LinePlan& plan, const LinePart& run) noexcept {
    const SamplerContext& ctx = *pass.context;
    Pixel32* out = Axis::Line(pass, plan.line);
    const std::ptrdiff_t step = Axis::Step(ctx);
    const Pixel32* in = Axis::Source(ctx, plan.line);
    const std::int32_t n = Axis::Length(ctx);
    if (step != 1) {
        AverageSqueezed(in, step, n, plan.lo, plan.squeeze.t, plan.squeeze.len, run.from, run.to,
                        ScatterTo(out, step));
        return;
    }
    // Converted pixels start on a cache line: each is 32 bytes, and one that straddled two lines
    // would cost two accesses at every store and load.
    constexpr std::int32_t kRowReach = 1024;
    alignas(64) double converted[(kRowReach + 2) * 4];
    AverageSqueezedInChunks(
        in, 1, n, plan.lo, plan.squeeze.t, plan.squeeze.len, run.from, run.to, converted, kRowReach,
        kRowReach, [&](std::int32_t p, std::int32_t) { return out + p; },
        [](std::int32_t, const Pixel32*, std::int32_t) {});
}

// A squeezed line, part by part: the fills from the sampler table (one value for a whole part
// when the fill is the same all along the line), the partly covered pixels blended by it, and the
// area averages of the source.
template <class Axis>
void SqueezeLine(const LinePass& pass, const LinePlan& plan) noexcept {
    const SamplerContext& ctx = *pass.context;
    const SamplerRow& ops = SamplerTable(ctx.fill->mode);
    const bool uniform = FillIsUniformAlongLine(ctx.fill->mode);
    const std::int32_t line = plan.line;
    const double len = plan.squeeze.len;
    Pixel32* out = Axis::Line(pass, line);
    const std::ptrdiff_t step = Axis::Step(ctx);
    for (const LinePart& part : plan) {
        switch (part.kind) {
            case PartKind::kBefore:
            case PartKind::kAfter: {
                const SamplerFn fn =
                    ops[part.kind == PartKind::kBefore ? Axis::kBefore : Axis::kAfter];
                const Pixel32 same = uniform ? Axis::Sample(fn, ctx, line, part.from, 0.0, len) : 0;
                for (std::int32_t p = part.from; p < part.to; ++p) {
                    out[p * step] = uniform ? same : Axis::Sample(fn, ctx, line, p, 0.0, len);
                }
                break;
            }
            case PartKind::kStart:
                for (std::int32_t p = part.from; p < part.to; ++p) {
                    out[p * step] =
                        Axis::Sample(ops[Axis::kStart], ctx, line, p, plan.Start(p), len);
                }
                break;
            case PartKind::kEnd:
                for (std::int32_t p = part.from; p < part.to; ++p) {
                    out[p * step] =
                        Axis::Sample(ops[Axis::kEnd], ctx, line, p, plan.EndStart(p), len);
                }
                break;
            case PartKind::kRun:
                AverageRun<Axis>(pass, plan, part);
                break;
            case PartKind::kNone:  // plans hold none
                break;
        }
    }
}

template <class Axis>
void RebuildLine(const LinePass& pass, std::int32_t line) noexcept {
    const LinePlan plan = PlanLine(pass.lines, line, WalkOrder::kFromBothEnds);
    if (plan.squeezed) {
        SqueezeLine<Axis>(pass, plan);
    } else {
        StretchLine<Axis>(pass, plan);
    }
}

using LineWorker = void (*)(const LinePass&, std::int32_t) noexcept;

// Every line of the pass through the worker its geometry names, progress after each.
void RunWorkers(const LinePass& pass, LineWorker squeeze, LineWorker stretch,
                ProgressRecord* progress) noexcept {
    const LineGeometry& lines = pass.lines;
    for (std::int32_t line = lines.first; line < lines.first + lines.extent; ++line) {
        (lines.Squeezed(line, lines.Inset(line)) ? squeeze : stretch)(pass, line);
        ReportLinesDone(progress, line - lines.first, lines.extent);
    }
}

}  // namespace

// Each worker rebuilds its line as the line's plan says, whichever worker the caller picked.
void EnlargeRow(const LinePass& pass, std::int32_t row) noexcept {
    RebuildLine<RowAxis>(pass, row);
}
void ReduceRow(const LinePass& pass, std::int32_t row) noexcept { RebuildLine<RowAxis>(pass, row); }
void EnlargeColumn(const LinePass& pass, std::int32_t column) noexcept {
    RebuildLine<ColumnAxis>(pass, column);
}
void ReduceColumn(const LinePass& pass, std::int32_t column) noexcept {
    RebuildLine<ColumnAxis>(pass, column);
}

void RowPass(Pixel32* destination, const SelectionRect& rect, std::int32_t shape,
             std::int32_t difference, LineProfile profile, const SamplerContext& context,
             ProgressRecord* progress) noexcept {
    PassLines(destination, GeometryOf(rect, /*rows=*/true, shape, difference, profile),
              /*rows=*/true, context, progress);
}

void ColumnPass(Pixel32* destination, const SelectionRect& rect, std::int32_t shape,
                std::int32_t difference, LineProfile profile, const SamplerContext& context,
                ProgressRecord* progress) noexcept {
    PassLines(destination, GeometryOf(rect, /*rows=*/false, shape, difference, profile),
              /*rows=*/false, context, progress);
}

void PassLines(Pixel32* destination, const LineGeometry& lines, bool rows,
               const SamplerContext& context, ProgressRecord* progress) noexcept {
    if (rows) {
        if (lines.hi <= lines.lo) return;
        RunWorkers({destination, &context, lines}, ReduceRow, EnlargeRow, progress);
        return;
    }
    if (RunColumnPass(destination, context, lines, progress)) return;
    // Without room for a band's scratch each column is rebuilt on its own: the same plans, walked
    // down the columns, which is slower but needs nothing beyond the stack.
    RunWorkers({destination, &context, lines}, ReduceColumn, EnlargeColumn, progress);
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

namespace {

// The rows restored one at a time: each moved into a row of scratch, an image one row high, and
// rebuilt from there, so that the pass needs no moved picture.
bool RebuildMovedRows(const MovedLines& moved, Pixel32* destination, std::int32_t width,
                      const FillParams& fill, ProgressRecord* progress) noexcept {
    const std::unique_ptr<Pixel32[]> row(new (std::nothrow)
                                             Pixel32[static_cast<std::size_t>(width)]);
    if (!row) return false;
    const SamplerContext context{row.get(), width, 1, &fill};
    const LineGeometry& lines = moved.Geometry();
    for (std::int32_t r = lines.first; r < lines.first + lines.extent; ++r) {
        moved.MoveRowInto(r, row.get());
        LineGeometry one = lines;  // row r is line 0 of the scratch
        one.first = lines.first - r;
        one.linearFirst = lines.linearFirst - r;
        RebuildLine<RowAxis>({destination + PixelIndex(0, r, width), &context, one}, 0);
        ReportLinesDone(progress, r - lines.first, lines.extent);
    }
    return true;
}

// The columns restored a band at a time: each band moved into scratch (a band of columns of the
// image's height) and rebuilt from there into its place, so that the pass needs no moved picture.
// The bands' lines keep the lengths of their place among all the lines.
bool RebuildMovedColumns(const MovedLines& moved, Pixel32* destination, std::int32_t width,
                         std::int32_t height, const FillParams& fill,
                         ProgressRecord* progress) noexcept {
    constexpr std::int32_t kBand = 1024;
    const LineGeometry& lines = moved.Geometry();
    const std::int32_t band = std::min(kBand, lines.extent);
    const std::unique_ptr<Pixel32[]> scratch(
        new (std::nothrow) Pixel32[static_cast<std::size_t>(band) * static_cast<std::size_t>(height)]);
    if (!scratch) return false;
    for (std::int32_t from = 0, count = 0; from < lines.extent; from += count) {
        count = std::min(band, lines.extent - from);
        moved.MoveColumnsInto(from, from + count, scratch.get(), count);
        LineGeometry part = lines;
        part.first = 0;
        part.extent = count;
        part.linearFirst = lines.linearFirst - (lines.first + from);
        const SamplerContext context{scratch.get(), count, height, &fill};
        if (!RunColumnPass(destination + lines.first + from, context, part, nullptr, width)) {
            return false;
        }
        ReportLinesDone(progress, from + count - 1, lines.extent);
    }
    return true;
}

}  // namespace

bool RunTransformInProportion(const Pixel32* source, Pixel32* destination, std::int32_t width,
                              std::int32_t height, const SelectionRect& rect, std::int32_t shape,
                              std::int32_t difference, std::int32_t focal, FillParams fill,
                              ProgressRecord* progress) noexcept {
    if (source == nullptr || destination == nullptr || width <= 0 || height <= 0) return true;
    const SelectionRect r = ClipToImage(rect, width, height);
    const bool rows = ShapeRebuildsRows(shape);
    MovedLines moved(focal);
    if (!moved.Prepare(source, width, height, r, shape, difference, /*picture=*/false)) {
        if (moved.OutOfMemory()) return false;
        RunTransform(source, destination, width, height, rect, shape, difference,
                     LineProfile::kPerspective, fill, progress);
        return true;
    }
    fill.left = r.left;
    fill.top = r.top;
    fill.right = r.right;
    fill.bottom = r.bottom;
    if (rows) return RebuildMovedRows(moved, destination, width, fill, progress);
    return RebuildMovedColumns(moved, destination, width, height, fill, progress);
}
