// Column pass: every column of the rectangle walked one output row at a time across a band of
// neighbouring columns, through the span kernels of the CPU's path.
#include "transform/column_pass.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "transform/column_runs.h"
#include "transform/line_plan.h"
#include "transform/span_path.h"

namespace {

struct Pass {
    Pixel32* destination;
    const SamplerContext& ctx;
    const LineGeometry& g;
    ProgressRecord* progress;
    std::int32_t destinationStride;
};

// The columns a walk takes at a time: its scratch, taken once, has a fixed size whatever the
// image's. Narrower bands measured slower, wider ones no faster.
constexpr std::int32_t kBand = ColumnRuns::kMostColumns;
constexpr std::int32_t kLanePadding = 8;

// A band of neighbouring columns, walked one output row at a time: per column its plan, the two
// numbers its kernel reads (shift and scale, or inset and interval length), padded for the lanes,
// and its fills when they are the same all along it; and the runs of columns of one class.
struct ColumnWalk {
    ColumnWalk(const Pass& given, std::int32_t mode) noexcept
        : pass(given), ops(SamplerTable(mode)), uniform(FillIsUniformAlongLine(mode)) {}

    const Pass& pass;
    const SamplerRow& ops;
    bool uniform;            // the fill is the same all along a column
    std::int32_t first = 0;  // the band's first column, counted from the rectangle's
    std::int32_t count = 0;
    SqueezedLine squeezed[kBand];  // a squeezed column's line, for its pixels outside the kernels
    alignas(64) double a[kBand + kLanePadding];
    alignas(64) double b[kBand + kLanePadding];
    // A squeezed column's fills and where they lie: before fillEnd and from fillFrom on.
    Pixel32 before[kBand];
    Pixel32 after[kBand];
    std::int32_t fillEnd[kBand];
    std::int32_t fillFrom[kBand];
    ColumnRuns runs;
    // Whether every stretched (squeezed) column's positions lie inside the column on every row
    // the walk takes it through the kernels, so that their clamp can be left out.
    bool stretchedInside = true;
    bool squeezedInside = true;
};

void PlanColumns(ColumnWalk& walk, std::int32_t first, std::int32_t count) noexcept {
    const Pass& pass = walk.pass;
    const LineGeometry& g = pass.g;
    walk.first = first;
    walk.count = count;
    walk.stretchedInside = true;
    walk.squeezedInside = true;
    walk.runs.Start(count);
    const SamplerRow& ops = walk.ops;
    for (std::int32_t j = 0; j < count; ++j) {
        const std::int32_t line = g.first + first + j;
        const LinePlan plan = PlanLine(g, line, WalkOrder::kFromBothEnds);
        const SqueezedLine& squeezed = plan.squeeze;
        walk.runs.Add(j, plan.squeezed, squeezed.runFrom, squeezed.runTo);
        // A column's positions only grow down it, so its first and last rows bound them.
        const auto inside = [&](auto position) {
            return InsideLine(position(g.lo), position(g.hi - 1), pass.ctx.height);
        };
        if (!plan.squeezed) {
            walk.a[j] = plan.map.shift;
            walk.b[j] = plan.map.scale;
            walk.stretchedInside &= inside([&](std::int32_t y) { return plan.map.At(y); });
            continue;
        }
        walk.squeezed[j] = squeezed;
        walk.a[j] = squeezed.t;
        walk.b[j] = squeezed.len;
        walk.squeezedInside &= inside([&](std::int32_t y) { return squeezed.Start(y); });
        // The fills that begin and end the column, which most of its pixels outside the kernels
        // show.
        const LinePart& head = plan.parts[0];
        const LinePart& tail = plan.parts[plan.partCount > 0 ? plan.partCount - 1 : 0];
        const bool some = plan.partCount > 0;
        walk.fillEnd[j] =
            some && head.kind == PartKind::kBefore && head.from == g.lo ? head.to : g.lo;
        walk.fillFrom[j] =
            some && tail.kind == PartKind::kAfter && tail.to == g.hi ? tail.from : g.hi;
        if (walk.uniform) {
            walk.before[j] = ops[kOutsideTop](pass.ctx, line, g.lo, line, 0.0, squeezed.len);
            walk.after[j] = ops[kOutsideBottom](pass.ctx, line, g.hi - 1, line, 0.0, squeezed.len);
        }
    }
    std::fill_n(walk.a + count, kLanePadding, 0.0);
    std::fill_n(walk.b + count, kLanePadding, 1.0);
    walk.runs.Ready();
}

// Row y of squeezed column j outside its area averages, as the part that owns it says.
void EdgePixel(const ColumnWalk& walk, std::int32_t j, std::int32_t y, Pixel32* out) noexcept {
    const SqueezedLine& squeezed = walk.squeezed[j];
    const SamplerContext& ctx = walk.pass.ctx;
    const SamplerRow& ops = walk.ops;
    const std::int32_t line = walk.pass.g.first + walk.first + j;
    const double len = squeezed.len;
    switch (squeezed.OwnerFromBothEnds(y)) {
        case PartKind::kBefore:
            *out = walk.uniform ? walk.before[j] : ops[kOutsideTop](ctx, line, y, line, 0.0, len);
            break;
        case PartKind::kAfter:
            *out = walk.uniform ? walk.after[j] : ops[kOutsideBottom](ctx, line, y, line, 0.0, len);
            break;
        case PartKind::kStart:
            *out = ops[kEdgeTop](ctx, line, y, line, squeezed.Start(y), len);
            break;
        case PartKind::kEnd:
            *out = ops[kEdgeBottom](ctx, line, y, line, squeezed.MirroredStart(y), len);
            break;
        case PartKind::kRun:  // the kernels' rows
        case PartKind::kNone:
            break;
    }
}

// Row y of the squeezed columns j..end-1, all outside their area averages there. Most such pixels
// lie in the fill at a column's start or end, and a fill that is the same all along the column
// gives them its value straight away; the rest go through EdgePixel.
void EdgeRun(const ColumnWalk& walk, std::int32_t j, std::int32_t end, std::int32_t y,
             Pixel32* out) noexcept {
    if (!walk.uniform) {
        for (std::int32_t k = j; k < end; ++k) EdgePixel(walk, k, y, out + k);
        return;
    }
    for (std::int32_t k = j; k < end; ++k) {
        if (y < walk.fillEnd[k]) {
            out[k] = walk.before[k];
        } else if (y >= walk.fillFrom[k]) {
            out[k] = walk.after[k];
        } else {
            EdgePixel(walk, k, y, out + k);
        }
    }
}

// How a row walk takes its runs of stretched columns: on this row only, on this row and the next
// together (their samples share most of their taps), or not at all (the row above took them).
enum class StretchedRows { kOne, kTwo, kDone };

// Output row y of the band's columns: runs of neighbouring columns that are all stretched there,
// or all averaged there, go through the kernels together; the rest are edge pixels.
void WalkRow(ColumnWalk& walk, std::int32_t y, StretchedRows stretchedRows) noexcept {
    const Pass& pass = walk.pass;
    const std::int32_t stride = pass.ctx.stride;
    const std::int32_t firstColumn = pass.g.first + walk.first;
    Pixel32* out = pass.destination + PixelIndex(firstColumn, y, pass.destinationStride);
    walk.runs.Advance(y);
    const SpanPath& path = ActiveSpanPath();
    for (std::int32_t j = 0, end = 0; j < walk.count; j = end) {
        end = walk.runs.End(j);
        const std::uint8_t kind = walk.runs.Class(j);
        if ((kind & ColumnRuns::kInside) == 0) {
            EdgeRun(walk, j, end, y, out);
            continue;
        }
        const bool stretched = (kind & ColumnRuns::kSqueezed) == 0;
        if (stretched && stretchedRows == StretchedRows::kDone) continue;
        const AcrossRow row{pass.ctx.source + firstColumn + j,
                            stride,
                            pass.ctx.height,
                            y,
                            pass.g.lo,
                            walk.a + j,
                            walk.b + j,
                            end - j,
                            stretched ? walk.stretchedInside : walk.squeezedInside};
        if (!stretched) {
            path.squeezeAcross(row, out + j);
        } else if (stretchedRows == StretchedRows::kTwo) {
            path.stretchAcrossTwoRows(row, out + j, out + pass.destinationStride + j);
        } else {
            path.stretchAcross(row, out + j);
        }
    }
}

// Every output row of the band's columns, two rows after another; progress counts the rows of
// every band.
void WalkBand(ColumnWalk& walk) noexcept {
    const Pass& pass = walk.pass;
    const std::int32_t lo = pass.g.lo;
    const std::int64_t rows = pass.g.hi - lo;
    const std::int64_t band = walk.first / kBand;
    const std::int64_t bands = (std::int64_t{pass.g.extent} + kBand - 1) / kBand;
    const auto report = [&](std::int32_t y) {
        ReportLinesDone(pass.progress, band * rows + (y - lo), bands * rows);
    };
    std::int32_t y = lo;
    for (; pass.g.hi - y > 1; y += 2) {  // y + 1 may not be formed past the 32-bit limit
        WalkRow(walk, y, StretchedRows::kTwo);
        report(y);
        WalkRow(walk, y + 1, StretchedRows::kDone);
        report(y + 1);
    }
    if (y < pass.g.hi) {
        WalkRow(walk, y, StretchedRows::kOne);
        report(y);
    }
}

}  // namespace

bool RunColumnPass(Pixel32* destination, const SamplerContext& context, const LineGeometry& lines,
                   ProgressRecord* progress, std::int32_t destinationStride) noexcept {
    if (lines.hi <= lines.lo || lines.extent <= 0) return true;
    const Pass pass{destination, context, lines, progress,
                    destinationStride != 0 ? destinationStride : context.stride};
    const std::unique_ptr<ColumnWalk> walk(new (std::nothrow) ColumnWalk(pass, context.fill->mode));
    if (!walk) return false;
    for (std::int32_t first = 0, count = 0; first < lines.extent; first += count) {
        count = std::min(kBand, lines.extent - first);
        PlanColumns(*walk, first, count);
        WalkBand(*walk);
    }
    return true;
}
