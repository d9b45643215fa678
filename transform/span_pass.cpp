// Span pass: the row or column pass run through the span kernels of the CPU's path.
#include "transform/span_pass.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include <emmintrin.h>
#include <xmmintrin.h>

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

// The tap of a stretched line's sample at p that lies at the sample or before it.
std::int32_t TapIndex(std::int32_t p, const StretchMap& map, std::int32_t n) noexcept {
    double x = (p + map.shift) / map.scale;
    if (!(x >= 0.0)) x = 0.0;
    if (x >= static_cast<double>(n)) x = static_cast<double>(n - 1);
    return static_cast<std::int32_t>(x);
}

// How one line is rebuilt. A squeezed line runs, from each end inward, the undefined area
// [lo, outsideEnd), the blended ends [outsideEnd, box.from) and the area averages of box.
struct LinePlan {
    std::int32_t line;
    bool reduced;
    std::int32_t outsideEnd;
    StretchSpan stretch;
    BoxSpan box;
    std::int32_t readFirst;  // the source pixels the span kernels read; none when first > last
    std::int32_t readLast;
};

LinePlan PlanLine(const LineGeometry& g, std::int32_t line, bool reduced, std::int32_t n) noexcept {
    LinePlan plan{line, reduced, g.lo, {}, {}, 0, -1};
    const double t = g.Inset(line);
    if (!reduced) {
        const StretchMap map = g.Stretch(t);
        // The last tap kept to the line, whose end may be the 32-bit limit itself.
        const std::int32_t lastTap = std::min(TapIndex(g.hi - 1, map, n), n - 3) + 2;
        plan.stretch = {
            g.lo, g.hi, map.shift, map.scale, n, /*step=*/1, TapIndex(g.lo, map, n) - 1, lastTap};
        plan.readFirst = std::max(plan.stretch.tapFirst, 0);
        plan.readLast = std::min(plan.stretch.tapLast, n - 1);
        return plan;
    }
    const double len = g.SqueezedPixelLength(t);
    plan.outsideEnd = EndOfAtMost((g.lo + t) - 1, g.lo, g.hi);
    const std::int32_t from = EndOfBelow(g.lo + t, plan.outsideEnd, g.hi);
    const std::int32_t to = EndOfAtMost((g.hi - t) - 1, from, g.hi);
    plan.box = {from, to, g.lo, t, len, n, /*step=*/1, 0, -1};
    if (from < to && len > 0.0) {
        const auto start = [&](std::int32_t p) {
            const double x = g.lo + ((p - g.lo) - t) * len;
            return !(x >= 0.0) ? 0.0 : (x >= n ? static_cast<double>(n - 1) : x);
        };
        const double e = start(to - 1) + len;
        plan.readFirst = plan.box.readFirst = static_cast<std::int32_t>(start(from));
        plan.readLast = plan.box.readLast = e < n ? static_cast<std::int32_t>(e) : n - 1;
    }
    return plan;
}

// Output pixel p of a line as the fill operation gives it, with (line, p) as the axis orders them.
Pixel32 Operate(SamplerFn fn, const SamplerContext& ctx, bool rows, std::int32_t line,
                std::int32_t p, double s, double len) noexcept {
    return rows ? fn(ctx, p, line, s, line, len) : fn(ctx, line, p, line, s, len);
}

// A squeezed line into out (position p at out[p]): the undefined area and the blended ends from
// the sampler table, walked inward from both ends, then the area averages of the middle.
void ReduceSpan(const LinePlan& plan, const SamplerContext& ctx, const LineGeometry& g, bool rows,
                const Pixel32* in, double* scratch, Pixel32* out) noexcept {
    const SamplerRow& ops = SamplerTable(ctx.fill->mode);
    const SamplerFn before = ops[rows ? kOutsideLeft : kOutsideTop];
    const SamplerFn after = ops[rows ? kOutsideRight : kOutsideBottom];
    const std::int32_t lo = g.lo;
    const std::int32_t hi = g.hi;
    const double t = plan.box.t;
    const double len = plan.box.len;
    const std::int32_t line = plan.line;
    if (FillIsUniformAlongLine(ctx.fill->mode) && plan.outsideEnd > lo) {
        const Pixel32 first = Operate(before, ctx, rows, line, lo, 0.0, len);
        const Pixel32 last = Operate(after, ctx, rows, line, hi - 1, 0.0, len);
        for (std::int32_t p = lo; p < plan.outsideEnd; ++p) {
            out[p] = first;
            out[hi - 1 - (p - lo)] = last;
        }
    } else {
        for (std::int32_t p = lo; p < plan.outsideEnd; ++p) {
            const std::int32_t m = hi - 1 - (p - lo);
            out[p] = Operate(before, ctx, rows, line, p, 0.0, len);
            out[m] = Operate(after, ctx, rows, line, m, 0.0, len);
        }
    }
    const SamplerFn start = ops[rows ? kEdgeLeft : kEdgeTop];
    const SamplerFn end = ops[rows ? kEdgeRight : kEdgeBottom];
    for (std::int32_t p = plan.outsideEnd; p < plan.box.from; ++p) {
        const std::int32_t m = hi - 1 - (p - lo);
        const double s = lo + ((p - lo) - t) * len;
        out[p] = Operate(start, ctx, rows, line, p, s, len);
        out[m] = Operate(end, ctx, rows, line, m, (hi - (s - lo)) - len, len);
    }
    ActiveSpanPath().box(in, plan.box, scratch, out + plan.box.from);
}

void RunPlan(const LinePlan& plan, const SamplerContext& ctx, const LineGeometry& g, bool rows,
             const Pixel32* in, double* scratch, Pixel32* out) noexcept {
    if (plan.reduced) {
        ReduceSpan(plan, ctx, g, rows, in, scratch, out);
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

// What the lines of a pass read: source pixels first..last of their lines (none when
// first > last), and at most boxPixels pixels for one box span, with its term of weight 0.
struct Reach {
    std::int32_t first;
    std::int32_t last;
    std::int64_t boxPixels;
};

struct Pass {
    Pixel32* destination;
    const SamplerContext& ctx;
    const LineGeometry& g;
    std::int32_t shape;
    std::int32_t difference;
    ProgressRecord* progress;

    [[nodiscard]] bool Reduced(std::int32_t line) const noexcept {
        return LineIsReduced(shape, difference, line < g.Middle());
    }
    [[nodiscard]] LinePlan Plan(std::int32_t line, std::int32_t n) const noexcept {
        return PlanLine(g, line, Reduced(line), n);
    }
};

// Plans every line once, for the memory the pass needs before it writes anything: a line's reach
// follows the rectangle, not the image, whose lines may be far longer.
Reach SurveyLines(const Pass& pass, std::int32_t n) noexcept {
    Reach reach{n, -1, 0};
    for (std::int32_t line = pass.g.first; line < pass.g.first + pass.g.extent; ++line) {
        const LinePlan plan = pass.Plan(line, n);
        if (plan.readFirst > plan.readLast) continue;
        reach.first = std::min(reach.first, plan.readFirst);
        reach.last = std::max(reach.last, plan.readLast);
        if (plan.reduced) {
            reach.boxPixels =
                std::max(reach.boxPixels, std::int64_t{plan.readLast} - plan.readFirst + 2);
        }
    }
    return reach;
}

bool RunRows(const Pass& pass) noexcept {
    const std::int32_t n = pass.ctx.stride;
    const auto scratch = Allocate<double>(SurveyLines(pass, n).boxPixels * 4);
    if (!scratch) return false;
    for (std::int32_t row = pass.g.first; row < pass.g.first + pass.g.extent; ++row) {
        RunPlan(pass.Plan(row, n), pass.ctx, pass.g, /*rows=*/true,
                pass.ctx.source + PixelIndex(0, row, n), scratch.get(),
                pass.destination + PixelIndex(0, row, n));
        ReportLinesDone(pass.progress, row - pass.g.first, pass.g.extent);
    }
    return true;
}

// A band of columns x0..x0 + width - 1 held as lines, over image rows base..base + length - 1:
// column j's pixel y at band[j * length + (y - base)]. The rows are the band's reach, not the
// image's height, which may be far more.
struct Band {
    Pixel32* in;
    Pixel32* out;
    std::int32_t x0;
    std::int32_t width;
    std::int32_t base;
    std::int32_t length;

    [[nodiscard]] std::ptrdiff_t At(std::int32_t j, std::int32_t y) const noexcept {
        return static_cast<std::ptrdiff_t>(j) * length + (y - base);
    }
};

// dst[c * dstStride + r] = src[r * srcStride + c] for a 4 x 4 block, in registers.
void Transpose4(const Pixel32* src, std::ptrdiff_t srcStride, Pixel32* dst,
                std::ptrdiff_t dstStride) noexcept {
    const auto row = [&](std::ptrdiff_t r) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + r * srcStride));
    };
    const __m128i a = row(0);
    const __m128i b = row(1);
    const __m128i c = row(2);
    const __m128i d = row(3);
    const __m128i ab01 = _mm_unpacklo_epi32(a, b);
    const __m128i ab23 = _mm_unpackhi_epi32(a, b);
    const __m128i cd01 = _mm_unpacklo_epi32(c, d);
    const __m128i cd23 = _mm_unpackhi_epi32(c, d);
    const auto put = [&](std::ptrdiff_t r, __m128i v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + r * dstStride), v);
    };
    put(0, _mm_unpacklo_epi64(ab01, cd01));
    put(1, _mm_unpackhi_epi64(ab01, cd01));
    put(2, _mm_unpacklo_epi64(ab23, cd23));
    put(3, _mm_unpackhi_epi64(ab23, cd23));
}

// The image's part of a band: row y's pixels begin at at + y * stride.
struct BandRows {
    const Pixel32* at;
    std::ptrdiff_t stride;
    std::int32_t width;
};

// Rows this far ahead are asked for while a block is moved: a band's rows lie a whole image row
// apart, too far for the processor to guess.
constexpr std::int32_t kRowsAhead = 16;

void Prefetch(const BandRows& rows, std::int32_t y) noexcept {
    const char* row = reinterpret_cast<const char*>(rows.at + y * rows.stride);
    const std::ptrdiff_t bytes = static_cast<std::ptrdiff_t>(rows.width) * 4;
    for (std::ptrdiff_t b = 0; b < bytes; b += 64) _mm_prefetch(row + b, _MM_HINT_T0);
}

// Image rows first..end - 1 of a band, the outer loop on the image's rows so that each is walked
// along its length: move4(y, j) for the 4 x 4 blocks, move1(y, j) for single pixels at the edges.
template <class Move4, class Move1>
void WalkBand(const BandRows& rows, std::int32_t first, std::int32_t end, Move4 move4,
              Move1 move1) noexcept {
    std::int32_t y = first;
    for (; y <= end - 4; y += 4) {  // end may be the 32-bit limit: y + 4 would overflow
        for (std::int32_t k = y; k < y + 4 && k < end - kRowsAhead; ++k) {
            Prefetch(rows, k + kRowsAhead);
        }
        std::int32_t j = 0;
        for (; j + 4 <= rows.width; j += 4) move4(y, j);
        for (; j < rows.width; ++j) {
            for (std::int32_t k = 0; k < 4; ++k) move1(y + k, j);
        }
    }
    for (; y < end; ++y) {
        for (std::int32_t j = 0; j < rows.width; ++j) move1(y, j);
    }
}

// Rows first..last of the band's source columns.
void GatherBand(const SamplerContext& ctx, const Band& band, std::int32_t first,
                std::int32_t last) noexcept {
    const Pixel32* image = ctx.source + band.x0;
    const std::ptrdiff_t stride = ctx.stride;
    WalkBand(
        {image, stride, band.width}, first, last + 1,
        [&](std::int32_t y, std::int32_t j) {
            Transpose4(image + y * stride + j, stride, band.in + band.At(j, y), band.length);
        },
        [&](std::int32_t y, std::int32_t j) { band.in[band.At(j, y)] = image[y * stride + j]; });
}

// Rows lo..hi - 1 of the band's output into the destination.
void ScatterBand(const Pass& pass, const Band& band) noexcept {
    Pixel32* image = pass.destination + band.x0;
    const std::ptrdiff_t stride = pass.ctx.stride;
    WalkBand(
        {image, stride, band.width}, pass.g.lo, pass.g.hi,
        [&](std::int32_t y, std::int32_t j) {
            Transpose4(band.out + band.At(j, y), band.length, image + y * stride + j, stride);
        },
        [&](std::int32_t y, std::int32_t j) { image[y * stride + j] = band.out[band.At(j, y)]; });
}

void RunBand(const Pass& pass, const Band& band, double* scratch) noexcept {
    const std::int32_t n = pass.ctx.height;
    LinePlan plans[kBandColumns];
    std::int32_t first = n;
    std::int32_t last = -1;
    for (std::int32_t j = 0; j < band.width; ++j) {
        plans[j] = pass.Plan(band.x0 + j, n);
        if (plans[j].readFirst <= plans[j].readLast) {
            first = std::min(first, plans[j].readFirst);
            last = std::max(last, plans[j].readLast);
        }
    }
    GatherBand(pass.ctx, band, first, last);
    for (std::int32_t j = 0; j < band.width; ++j) {
        const std::ptrdiff_t at = band.At(j, 0);  // pixel 0 of the column, which may lie before
        RunPlan(plans[j], pass.ctx, pass.g, /*rows=*/false, band.in + at, scratch, band.out + at);
        ReportLinesDone(pass.progress, band.x0 + j - pass.g.first, pass.g.extent);
    }
    ScatterBand(pass, band);
}

bool RunColumns(const Pass& pass) noexcept {
    const Reach reach = SurveyLines(pass, pass.ctx.height);
    // The bands hold the rows the lines read and the rows they write.
    const std::int32_t base = std::min(reach.first, pass.g.lo);
    const std::int32_t length = std::max(reach.last, pass.g.hi - 1) - base + 1;
    const auto scratch = Allocate<double>(reach.boxPixels * 4);
    const auto in = Allocate<Pixel32>(std::int64_t{length} * kBandColumns);
    const auto out = Allocate<Pixel32>(std::int64_t{length} * kBandColumns);
    if (!scratch || !in || !out) return false;
    const std::int32_t end = pass.g.first + pass.g.extent;
    std::int32_t width = 0;  // steps by the band actually taken, so x0 never passes `end`
    for (std::int32_t x0 = pass.g.first; x0 < end; x0 += width) {
        width = std::min(kBandColumns, end - x0);
        RunBand(pass, {in.get(), out.get(), x0, width, base, length}, scratch.get());
    }
    return true;
}

}  // namespace

bool RunSpanPass(Pixel32* destination, const SamplerContext& context, const LineGeometry& lines,
                 bool rows, std::int32_t shape, std::int32_t difference,
                 ProgressRecord* progress) noexcept {
    if (lines.hi <= lines.lo || lines.extent <= 0) return true;
    const Pass pass{destination, context, lines, shape, difference, progress};
    return rows ? RunRows(pass) : RunColumns(pass);
}
