// Span pass: the row or column pass run through the span kernels of the CPU's path.
#include "transform/span_pass.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "transform/column_runs.h"
#include "transform/span_path.h"

namespace {

// The first p >= from for which p <= bound fails, at most hi.
std::int32_t EndOfAtMost(double bound, std::int32_t from, std::int32_t hi) noexcept {
    if (from >= hi || !(from <= bound)) return from;
    if (bound >= hi) return hi;
    return static_cast<std::int32_t>(bound) + 1;  // bound >= from >= 0: truncation is floor
}

// The first p >= from for which p < bound fails, at most hi.
std::int32_t EndOfBelow(double bound, std::int32_t from, std::int32_t hi) noexcept {
    if (from >= hi || !(from < bound)) return from;
    if (bound > hi) return hi;
    const auto whole = static_cast<std::int32_t>(bound);
    return whole < bound ? whole + 1 : whole;
}

// How one line is rebuilt. A squeezed line runs, from each end inward, the undefined area
// [lo, outsideEnd), the blended ends [outsideEnd, squeeze.from) and the area averages of squeeze.
struct LinePlan {
    std::int32_t line;
    bool squeezed;
    std::int32_t outsideEnd;
    StretchSpan stretch;
    SqueezeSpan squeeze;  // its pixels readFirst..readLast are read; none when first > last
};

LinePlan PlanLine(const LineGeometry& g, std::int32_t line, std::int32_t n) noexcept {
    const double t = g.Inset(line);
    LinePlan plan{line, g.Squeezed(line, t), g.lo, {}, {}};
    if (!plan.squeezed) {
        const StretchMap map = g.Stretch(t);
        plan.stretch = {g.lo, g.hi, map.shift, map.scale, n, /*step=*/1};
        return plan;
    }
    const double len = g.SqueezedPixelLength(t);
    plan.outsideEnd = EndOfAtMost((g.lo + t) - 1, g.lo, g.hi);
    const std::int32_t from = EndOfBelow(g.lo + t, plan.outsideEnd, g.hi);
    const std::int32_t to = EndOfAtMost((g.hi - t) - 1, from, g.hi);
    plan.squeeze = {from, to, g.lo, t, len, n, /*step=*/1, 0, -1};
    if (from < to && len > 0.0) {
        const auto start = [&](std::int32_t p) {
            const double x = plan.squeeze.StartAt(p - g.lo);
            return !(x >= 0.0) ? 0.0 : (x >= n ? static_cast<double>(n - 1) : x);
        };
        const double e = start(to - 1) + len;
        plan.squeeze.readFirst = static_cast<std::int32_t>(start(from));
        plan.squeeze.readLast = e < n ? static_cast<std::int32_t>(e) : n - 1;
    }
    return plan;
}

// Output pixel p of a row as the fill operation gives it.
Pixel32 Operate(SamplerFn fn, const SamplerContext& ctx, std::int32_t row, std::int32_t p, double s,
                double len) noexcept {
    return fn(ctx, p, row, s, row, len);
}

// A squeezed row into out (position p at out[p]): the undefined area and the blended ends from
// the sampler table, walked inward from both ends, then the area averages of the middle.
void SqueezeRow(const LinePlan& plan, const SamplerContext& ctx, const LineGeometry& g,
                const Pixel32* in, double* scratch, Pixel32* out) noexcept {
    const SamplerRow& ops = SamplerTable(ctx.fill->mode);
    const SamplerFn before = ops[kOutsideLeft];
    const SamplerFn after = ops[kOutsideRight];
    const std::int32_t lo = g.lo;
    const std::int32_t hi = g.hi;
    const double len = plan.squeeze.len;
    const std::int32_t line = plan.line;
    if (FillIsUniformAlongLine(ctx.fill->mode) && plan.outsideEnd > lo) {
        const Pixel32 first = Operate(before, ctx, line, lo, 0.0, len);
        const Pixel32 last = Operate(after, ctx, line, hi - 1, 0.0, len);
        for (std::int32_t p = lo; p < plan.outsideEnd; ++p) {
            out[p] = first;
            out[hi - 1 - (p - lo)] = last;
        }
    } else {
        for (std::int32_t p = lo; p < plan.outsideEnd; ++p) {
            const std::int32_t m = hi - 1 - (p - lo);
            out[p] = Operate(before, ctx, line, p, 0.0, len);
            out[m] = Operate(after, ctx, line, m, 0.0, len);
        }
    }
    const SamplerFn start = ops[kEdgeLeft];
    const SamplerFn end = ops[kEdgeRight];
    for (std::int32_t p = plan.outsideEnd; p < plan.squeeze.from; ++p) {
        const std::int32_t m = hi - 1 - (p - lo);
        const double s = plan.squeeze.StartAt(p - lo);
        out[p] = Operate(start, ctx, line, p, s, len);
        out[m] = Operate(end, ctx, line, m, (hi - (s - lo)) - len, len);
    }
    ActiveSpanPath().squeeze(in, plan.squeeze, scratch, out + plan.squeeze.from);
}

void RunRow(const LinePlan& plan, const SamplerContext& ctx, const LineGeometry& g,
            const Pixel32* in, double* scratch, Pixel32* out) noexcept {
    if (plan.squeezed) {
        SqueezeRow(plan, ctx, g, in, scratch, out);
    } else {
        ActiveSpanPath().stretch(in, plan.stretch, scratch, out + plan.stretch.from);
    }
}

// `count` things of T, or null when there is no memory for them or they cannot be addressed.
template <class T>
std::unique_ptr<T[]> Allocate(std::int64_t count) noexcept {
    if (count < 0 || static_cast<std::uint64_t>(count) > SIZE_MAX / sizeof(T)) return nullptr;
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<std::size_t>(count)]);
}

struct Pass {
    Pixel32* destination;
    const SamplerContext& ctx;
    const LineGeometry& g;
    ProgressRecord* progress;

    [[nodiscard]] LinePlan Plan(std::int32_t line, std::int32_t n) const noexcept {
        return PlanLine(g, line, n);
    }
};

// Plans every row once, for the memory the pass needs before it writes anything: the most pixels
// one squeezed row reads, with its term of weight 0. A row's reach follows the rectangle, not the
// image, whose rows may be far longer.
std::int64_t LargestSqueeze(const Pass& pass, std::int32_t n) noexcept {
    std::int64_t most = 0;
    for (std::int32_t line = pass.g.first; line < pass.g.first + pass.g.extent; ++line) {
        const LinePlan plan = pass.Plan(line, n);
        if (plan.squeezed && plan.squeeze.readFirst <= plan.squeeze.readLast) {
            most = std::max(most, std::int64_t{plan.squeeze.readLast} - plan.squeeze.readFirst + 2);
        }
    }
    return most;
}

bool RunRows(const Pass& pass) noexcept {
    const std::int32_t n = pass.ctx.stride;
    // The converted pixels start on a cache line: each is 32 bytes, and one that straddled two
    // lines would cost two accesses at every store and load (the allocator promises 8 or 16).
    constexpr auto kLineDoubles = static_cast<std::int64_t>(64 / sizeof(double));
    const auto scratch = Allocate<double>(LargestSqueeze(pass, n) * 4 + kLineDoubles);
    if (!scratch) return false;
    const auto address = reinterpret_cast<std::uintptr_t>(scratch.get());
    double* const pixels = scratch.get() + (64 - address % 64) % 64 / sizeof(double);
    for (std::int32_t row = pass.g.first; row < pass.g.first + pass.g.extent; ++row) {
        const std::ptrdiff_t start = PixelIndex(0, row, n);
        RunRow(pass.Plan(row, n), pass.ctx, pass.g, pass.ctx.source + start, pixels,
               pass.destination + start);
        ReportLinesDone(pass.progress, row - pass.g.first, pass.g.extent);
    }
    return true;
}

// What a squeezed column's edge pixels need: where its undefined area and its blended ends end,
// and the fills when they are uniform along it.
struct ColumnPlan {
    std::int32_t outsideEnd;
    std::int32_t from;
    Pixel32 before;
    Pixel32 after;
};

// The columns of a pass, walked one output row at a time: per column its plan and the two
// numbers its kernel reads (shift and scale, or inset and interval length), padded for the lanes,
// and the runs of columns of one class.
struct ColumnWalk {
    const Pass& pass;
    const SamplerRow& ops;
    bool uniform;  // the fill is the same all along a column
    std::unique_ptr<ColumnPlan[]> plans;
    std::unique_ptr<double[]> a;
    std::unique_ptr<double[]> b;
    ColumnRuns runs;
    // Whether every stretched (squeezed) column's positions lie inside the column on every row
    // the walk takes it through the kernels, so that their clamp can be left out.
    bool stretchedInside = true;
    bool squeezedInside = true;
};

constexpr std::int32_t kLanePadding = 8;

bool PlanColumns(ColumnWalk& walk) noexcept {
    const Pass& pass = walk.pass;
    const std::int32_t count = pass.g.extent;
    walk.plans = Allocate<ColumnPlan>(count);
    walk.a = Allocate<double>(std::int64_t{count} + kLanePadding);
    walk.b = Allocate<double>(std::int64_t{count} + kLanePadding);
    if (!walk.plans || !walk.a || !walk.b || !walk.runs.Start(count)) return false;
    const SamplerRow& ops = walk.ops;
    for (std::int32_t j = 0; j < count; ++j) {
        const std::int32_t line = pass.g.first + j;
        const LinePlan plan = pass.Plan(line, pass.ctx.height);
        const auto at = static_cast<std::size_t>(j);
        ColumnPlan& column = walk.plans[at];
        column = {plan.outsideEnd, plan.squeeze.from, 0, 0};
        walk.runs.Add(j, plan.squeezed, plan.squeeze.from, plan.squeeze.to);
        // A column's positions only grow down it, so its first and last rows bound them.
        const auto inside = [&](auto position) {
            return InsideLine(position(pass.g.lo), position(pass.g.hi - 1), pass.ctx.height);
        };
        if (!plan.squeezed) {
            walk.a[at] = plan.stretch.shift;
            walk.b[at] = plan.stretch.scale;
            walk.stretchedInside &= inside([&](std::int32_t y) { return plan.stretch.At(y); });
            continue;
        }
        walk.a[at] = plan.squeeze.t;
        walk.b[at] = plan.squeeze.len;
        walk.squeezedInside &=
            inside([&](std::int32_t y) { return plan.squeeze.StartAt(y - pass.g.lo); });
        if (walk.uniform) {
            column.before =
                ops[kOutsideTop](pass.ctx, line, pass.g.lo, line, 0.0, plan.squeeze.len);
            column.after =
                ops[kOutsideBottom](pass.ctx, line, pass.g.hi - 1, line, 0.0, plan.squeeze.len);
        }
    }
    std::fill_n(walk.a.get() + count, kLanePadding, 0.0);
    std::fill_n(walk.b.get() + count, kLanePadding, 1.0);
    walk.runs.Ready();
    return true;
}

// Row y of a squeezed column outside its area averages. A line writes its undefined area, then
// its blended ends, each walked inward from both ends at once (position p, then its mirror), so a
// pixel that both ends reach shows the later write.
void EdgePixel(const ColumnWalk& walk, std::int32_t j, std::int32_t y, Pixel32* out) noexcept {
    const Pass& pass = walk.pass;
    const auto at = static_cast<std::size_t>(j);
    const ColumnPlan& column = walk.plans[at];
    const std::int32_t lo = pass.g.lo;
    const std::int32_t hi = pass.g.hi;
    const auto phase = [&](std::int32_t p) {
        return p < column.outsideEnd ? 0 : (p < column.from ? 1 : -1);
    };
    const std::int32_t mirror = hi - 1 - (y - lo);
    const int near = phase(y);
    const int far = phase(mirror);
    if (near < 0 && far < 0) return;  // no write reaches it
    const bool fromFar = far > near || (far == near && mirror >= y);
    const std::int32_t p = fromFar ? mirror : y;
    const std::int32_t line = pass.g.first + j;
    const double t = walk.a[at];
    const double len = walk.b[at];
    const SamplerRow& ops = walk.ops;
    if ((fromFar ? far : near) == 0) {
        if (walk.uniform) {
            *out = fromFar ? column.after : column.before;
        } else {
            *out = ops[fromFar ? kOutsideBottom : kOutsideTop](pass.ctx, line, y, line, 0.0, len);
        }
        return;
    }
    const double s = lo + ((p - lo) - t) * len;
    *out = fromFar ? ops[kEdgeBottom](pass.ctx, line, y, line, (hi - (s - lo)) - len, len)
                   : ops[kEdgeTop](pass.ctx, line, y, line, s, len);
}

// Row y of the squeezed columns j..end-1, all outside their area averages there. Most such pixels
// lie in an undefined area that only one end of their column reaches, and a fill that is the same
// all along the column gives them its value straight away; the rest go through EdgePixel.
void EdgeRun(const ColumnWalk& walk, std::int32_t j, std::int32_t end, std::int32_t y,
             Pixel32* out) noexcept {
    if (!walk.uniform) {
        for (std::int32_t k = j; k < end; ++k) EdgePixel(walk, k, y, out + k);
        return;
    }
    // Walked by pointer, with nothing of the walk read inside the loop: the pixels written could
    // alias it, and 32-bit code has too few registers to keep the indices as well.
    const std::int32_t mirror = walk.pass.g.hi - 1 - (y - walk.pass.g.lo);
    const ColumnPlan* column = walk.plans.get() + j;
    for (Pixel32 *pixel = out + j, *last = out + end; pixel < last; ++pixel, ++column) {
        if (y < column->outsideEnd && mirror >= column->from) {
            *pixel = column->before;
        } else if (mirror < column->outsideEnd && y >= column->from) {
            *pixel = column->after;
        } else {
            EdgePixel(walk, static_cast<std::int32_t>(pixel - out), y, pixel);
        }
    }
}

// How a row walk takes its runs of stretched columns: on this row only, on this row and the next
// together (their samples share most of their taps), or not at all (the row above took them).
enum class StretchedRows { kOne, kTwo, kDone };

// Output row y of every column: runs of neighbouring columns that are all stretched there, or
// all averaged there, go through the kernels together; the rest are edge pixels.
void WalkRow(ColumnWalk& walk, std::int32_t y, StretchedRows stretchedRows) noexcept {
    const Pass& pass = walk.pass;
    const std::int32_t stride = pass.ctx.stride;
    Pixel32* out = pass.destination + PixelIndex(pass.g.first, y, stride);
    walk.runs.Advance(y);
    const SpanPath& path = ActiveSpanPath();
    for (std::int32_t j = 0, end = 0; j < pass.g.extent; j = end) {
        end = walk.runs.End(j);
        const std::uint8_t kind = walk.runs.Class(j);
        if ((kind & ColumnRuns::kInside) == 0) {
            EdgeRun(walk, j, end, y, out);
            continue;
        }
        const bool stretched = (kind & ColumnRuns::kSqueezed) == 0;
        if (stretched && stretchedRows == StretchedRows::kDone) continue;
        const AcrossRow row{pass.ctx.source + pass.g.first + j,
                            stride,
                            pass.ctx.height,
                            y,
                            pass.g.lo,
                            walk.a.get() + j,
                            walk.b.get() + j,
                            end - j,
                            stretched ? walk.stretchedInside : walk.squeezedInside};
        if (!stretched) {
            path.squeezeAcross(row, out + j);
        } else if (stretchedRows == StretchedRows::kTwo) {
            path.stretchAcrossTwoRows(row, out + j, out + stride + j);
        } else {
            path.stretchAcross(row, out + j);
        }
    }
}

// Every column at once, two output rows after another (progress counts rows). Narrower tiles of
// columns walked down the rows measured no faster.
bool RunColumns(const Pass& pass) noexcept {
    const std::int32_t mode = pass.ctx.fill->mode;
    ColumnWalk walk{
        pass, SamplerTable(mode), FillIsUniformAlongLine(mode), nullptr, nullptr, nullptr, {}};
    if (!PlanColumns(walk)) return false;
    const std::int32_t rows = pass.g.hi - pass.g.lo;
    std::int32_t y = pass.g.lo;
    for (; pass.g.hi - y > 1; y += 2) {  // y + 1 may not be formed past the 32-bit limit
        WalkRow(walk, y, StretchedRows::kTwo);
        ReportLinesDone(pass.progress, y - pass.g.lo, rows);
        WalkRow(walk, y + 1, StretchedRows::kDone);
        ReportLinesDone(pass.progress, y + 1 - pass.g.lo, rows);
    }
    if (y < pass.g.hi) {
        WalkRow(walk, y, StretchedRows::kOne);
        ReportLinesDone(pass.progress, y - pass.g.lo, rows);
    }
    return true;
}

}  // namespace

bool RunSpanPass(Pixel32* destination, const SamplerContext& context, const LineGeometry& lines,
                 bool rows, ProgressRecord* progress) noexcept {
    if (lines.hi <= lines.lo || lines.extent <= 0) return true;
    const Pass pass{destination, context, lines, progress};
    return rows ? RunRows(pass) : RunColumns(pass);
}
