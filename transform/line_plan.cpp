// Line plan: the parts of a squeezed line and the map of a stretched one.
#include "transform/line_plan.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

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

void Append(LinePlan& plan, PartKind kind, std::int32_t from, std::int32_t to) noexcept {
    if (kind == PartKind::kNone || from >= to) return;
    LinePart* last = plan.partCount > 0 ? &plan.parts[plan.partCount - 1] : nullptr;
    if (last != nullptr && last->kind == kind && last->to == from) {
        last->to = to;
        return;
    }
    plan.parts[plan.partCount++] = {kind, from, to};
}

// The owner is the same between neighbouring breakpoints: where a phase changes seen from either
// end, where the averages start and end, and where the mirror passes the position.
void PartsFromBothEnds(const SqueezedLine& line, LinePlan& plan) noexcept {
    const std::int64_t lo = line.lo;
    const std::int64_t hi = line.hi;
    std::int64_t points[] = {lo,
                             hi,
                             line.fillEnd,
                             line.runFrom,
                             line.runTo,
                             hi - (line.fillEnd - lo),
                             hi - (line.runFrom - lo),
                             (lo + hi - 1) / 2 + 1};
    for (std::int64_t& point : points) point = std::clamp(point, lo, hi);
    std::sort(std::begin(points), std::end(points));
    const std::int64_t* const last = std::unique(std::begin(points), std::end(points));
    for (const std::int64_t* point = points; point + 1 < last; ++point) {
        const auto from = static_cast<std::int32_t>(point[0]);
        Append(plan, line.OwnerFromBothEnds(from), from, static_cast<std::int32_t>(point[1]));
    }
}

void PartsInIncreasingOrder(const SqueezedLine& line, LinePlan& plan) noexcept {
    const std::int32_t endTo = EndOfBelow(line.hi - line.t, line.runTo, line.hi);
    Append(plan, PartKind::kBefore, line.lo, line.fillEnd);
    Append(plan, PartKind::kStart, line.fillEnd, line.runFrom);
    Append(plan, PartKind::kRun, line.runFrom, line.runTo);
    Append(plan, PartKind::kEnd, line.runTo, endTo);
    Append(plan, PartKind::kAfter, endTo, line.hi);
}

}  // namespace

PartKind SqueezedLine::OwnerFromBothEnds(std::int32_t p) const noexcept {
    // The fill (phase 0) and the partly covered pixels (phase 1) of the start at q and of the end
    // at its mirror, each phase from both ends before the next, then the averages over all.
    if (p >= runFrom && p < runTo) return PartKind::kRun;
    const auto phase = [&](std::int32_t q) { return q < fillEnd ? 0 : (q < runFrom ? 1 : -1); };
    const std::int32_t mirror = hi - 1 - (p - lo);
    const int near = phase(p);
    const int far = phase(mirror);
    if (near < 0 && far < 0) return PartKind::kNone;
    // The later write shows: a later phase, or in one phase the mirror written after p.
    if (far > near || (far == near && mirror >= p)) {
        return far == 0 ? PartKind::kAfter : PartKind::kEnd;
    }
    return near == 0 ? PartKind::kBefore : PartKind::kStart;
}

LinePlan PlanLine(const LineGeometry& g, std::int32_t line, WalkOrder order) noexcept {
    LinePlan plan{};
    plan.line = line;
    const double t = g.Inset(line);
    plan.squeezed = g.Squeezed(line, t);
    plan.lo = g.lo;
    plan.hi = g.hi;
    plan.order = order;
    if (!plan.squeezed) {
        plan.map = g.Stretch(t);
        return plan;
    }
    SqueezedLine& squeezed = plan.squeeze;
    squeezed = {g.lo, g.hi, t, g.SqueezedPixelLength(t), 0, 0, 0};
    squeezed.fillEnd = EndOfAtMost((g.lo + t) - 1, g.lo, g.hi);
    squeezed.runFrom = EndOfBelow(g.lo + t, squeezed.fillEnd, g.hi);
    squeezed.runTo = EndOfAtMost((g.hi - t) - 1, squeezed.runFrom, g.hi);
    if (order == WalkOrder::kFromBothEnds) {
        PartsFromBothEnds(squeezed, plan);
    } else {
        PartsInIncreasingOrder(squeezed, plan);
    }
    return plan;
}
