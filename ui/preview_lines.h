// Preview lines: the walk along one line of the preview that the 1:1 and the zoomed renders
// share, which positions keep the source and which sampler computes each of the others. Only the
// preview renderers include it; they check their regions before any line is walked.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include <emmintrin.h>

#include "selection/selection_scan.h"
#include "transform/edge_samplers.h"
#include "transform/line_geometry.h"
#include "transform/line_kernels.h"
#include "transform/line_plan.h"
#include "transform/moved_lines.h"
#include "transform/transform_pass.h"
#include "ui/preview_render.h"

namespace preview_lines {

// out[0..count) = values[0..count), except where mask[j * step] marks an unselected pixel, which
// keeps source[j * step]. Four at a time along a row.
inline void KeepSourceWhereMasked(const std::uint8_t* mask, const Pixel32* source,
                                  std::ptrdiff_t step, const Pixel32* values, std::int32_t count,
                                  Pixel32* out) noexcept {
    std::int32_t j = 0;
    if (step == 1) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i unselected = _mm_set1_epi32(kUnselected);
        for (; j + 4 <= count; j += 4) {
            std::int32_t bytes = 0;
            std::memcpy(&bytes, mask + j, sizeof bytes);
            const __m128i wide =
                _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero), zero);
            const __m128i keep = _mm_cmpeq_epi32(wide, unselected);
            const __m128i mixed = _mm_or_si128(
                _mm_and_si128(keep, _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + j))),
                _mm_andnot_si128(keep,
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + j))));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), mixed);
        }
    }
    for (; j < count; ++j) out[j] = mask[j * step] == kUnselected ? source[j * step] : values[j];
}

// One line of the source as a render reads it, and where its pixels go: position p along the line
// is source pixel pixels[p * step] with mask byte mask[p * step], the line's walk samples
// samples[p * step] (the moved picture's line where the lines move, else the source's), and
// `sink` takes what the preview shows for it.
template <bool kRows, class Sink>
class LineView {
   public:
    static constexpr bool kRowLine = kRows;

    LineView(const PreviewSource& source, std::int32_t line, const Sink& target,
             const Pixel32* moved = nullptr) noexcept
        : sink(target) {
        const std::ptrdiff_t start = kRows ? PixelIndex(0, line, source.width) : line;
        step = kRows ? 1 : source.width;
        pixels = source.pixels + start;
        samples = moved != nullptr ? moved + start : pixels;
        mask = source.mask != nullptr ? source.mask + start : nullptr;
    }

    [[nodiscard]] bool Masked(std::int32_t p) const noexcept {
        return mask != nullptr && mask[p * step] == kUnselected;
    }
    [[nodiscard]] Pixel32 Source(std::int32_t p) const noexcept { return pixels[p * step]; }
    void Put(std::int32_t p, Pixel32 value) noexcept { sink.Put(p, value); }
    void PutSource(std::int32_t from, std::int32_t to) noexcept {
        for (std::int32_t p = from; p < to; ++p) Put(p, Source(p));
    }
    // Positions from..from+count-1 get values[0..count), masked ones the source.
    void PutRun(std::int32_t from, const Pixel32* values, std::int32_t count) noexcept {
        if (mask == nullptr) {
            sink.PutRun(from, values, count);
            return;
        }
        Pixel32 kept[kSpanChunk];
        for (std::int32_t j0 = 0; j0 < count; j0 += kSpanChunk) {
            const std::int32_t m = count - j0 < kSpanChunk ? count - j0 : kSpanChunk;
            const std::ptrdiff_t at = (from + j0) * step;
            KeepSourceWhereMasked(mask + at, pixels + at, step, values + j0, m, kept);
            sink.PutRun(from + j0, kept, m);
        }
    }
    // Positions at[0..count) get values[0..count), masked ones the source.
    void PutEach(const std::int32_t* at, const Pixel32* values, std::int32_t count) noexcept {
        if (mask == nullptr) {
            sink.PutEach(at, values, count);
            return;
        }
        for (std::int32_t j = 0; j < count; ++j)
            Put(at[j], Masked(at[j]) ? Source(at[j]) : values[j]);
    }
    // Positions at[0..count) all get `value`, masked ones the source.
    void PutSame(const std::int32_t* at, Pixel32 value, std::int32_t count) noexcept {
        if (mask == nullptr) {
            sink.PutSame(at, value, count);
            return;
        }
        for (std::int32_t j = 0; j < count; ++j) Put(at[j], Masked(at[j]) ? Source(at[j]) : value);
    }
    // Masked positions keep the source; the others get what `compute` gives for them.
    template <class Compute>
    void PutUnlessMasked(std::int32_t p, Compute compute) noexcept {
        Put(p, Masked(p) ? Source(p) : compute());
    }

    const Pixel32* pixels;
    const Pixel32* samples;
    std::ptrdiff_t step;
    Sink sink;

   private:
    const std::uint8_t* mask;
};

// What every line of one render shares: the fill cut to the image, the sampler context over it,
// the lines' geometry and the rule that picks each line's walk. The context points into the
// object, which therefore is not copied. With `moved` (under the perspective profile) the lines
// are rebuilt from the moved picture, as the pass rebuilds them when it restores proportions.
struct PreviewLines {
    PreviewLines(const PreviewSource& source, const FillParams& given, bool rows,
                 std::int32_t shape, std::int32_t difference, LineProfile profile,
                 MovedLines* moved = nullptr) noexcept
        : fill(given),
          context{source.pixels, source.width, source.height, &fill},
          ops(&SamplerTable(given.mode)) {
        const SelectionRect rect = ClipToImage({fill.left, fill.top, fill.right, fill.bottom},
                                               source.width, source.height);
        fill.left = rect.left;
        fill.top = rect.top;
        fill.right = rect.right;
        fill.bottom = rect.bottom;
        const bool empty = rect.right <= rect.left || rect.bottom <= rect.top;
        transforms = difference != 0 && !empty && shape >= 0 && shape < kShapeCount;
        geometry = GeometryOf(rect, rows, transforms ? shape : 0, difference, profile);
        if (transforms && moved != nullptr &&
            moved->Prepare(source.pixels, source.width, source.height, rect, shape, difference)) {
            movedLines = moved;
            geometry = moved->Geometry();
            context.source = moved->Pixels();
        }
    }
    PreviewLines(const PreviewLines&) = delete;
    PreviewLines& operator=(const PreviewLines&) = delete;

    // Lines outside the rectangle, and positions outside lo..hi-1, keep the source: the pass
    // never rewrites them.
    [[nodiscard]] bool Covers(std::int32_t line) const noexcept {
        return line >= geometry.first && line < geometry.first + geometry.extent;
    }
    // Makes ready the moved lines from..to-1 that a render reads, where lines move.
    void Ensure(std::int32_t from, std::int32_t to) const noexcept {
        if (movedLines != nullptr) movedLines->Ensure(from, to);
    }
    // The moved picture the walks sample; null where lines do not move.
    [[nodiscard]] const Pixel32* Moved() const noexcept {
        return movedLines != nullptr ? movedLines->Pixels() : nullptr;
    }
    // The line's plan, its positions taken in increasing order.
    [[nodiscard]] LinePlan Prepare(std::int32_t line) const noexcept {
        return PlanLine(geometry, line, WalkOrder::kIncreasing);
    }

    FillParams fill;
    SamplerContext context;
    const SamplerRow* ops;
    LineGeometry geometry{};
    MovedLines* movedLines = nullptr;
    // False when the render shows the source: a difference of 0, an empty rectangle or a shape
    // outside 0..5.
    bool transforms = false;
};

// The sampler-table operation `fn` at position p of the line.
template <bool kRows>
Pixel32 Operation(SamplerFn fn, const SamplerContext& context, std::int32_t line, std::int32_t p,
                  double s, double len) noexcept {
    return kRows ? fn(context, p, line, s, 0.0, len) : fn(context, line, p, 0.0, s, len);
}

// The positions wholly in the undefined area from the current one on, up to `last`. With the
// transparent flag the board shows through, whatever the mode, so the operation is not asked;
// otherwise one value serves the whole run unless the mode shows each position's own source
// pixel.
template <class View, class Positions>
void PreviewOutsideRun(View& view, const SamplerContext& context, SamplerFn fn, std::int32_t line,
                       Positions& at, double last) noexcept {
    if (!at.More() || !(at.p <= last)) return;
    const FillParams& fill = *context.fill;
    const bool each = fill.transparent == 0 && !FillIsUniformAlongLine(fill.mode);
    const Pixel32 shown = fill.transparent != 0
                              ? Pixel32{0}
                              : Operation<View::kRowLine>(fn, context, line, at.p, 0.0, 0.0);
    if constexpr (!Positions::kContiguous) {
        if (!each) {
            const std::int32_t count = at.CountUpTo(last);
            view.PutSame(at.Rest(), shown, count);
            at.Skip(count);
            return;
        }
    }
    for (; at.More() && at.p <= last; at.Advance()) {
        view.PutUnlessMasked(at.p, [&] {
            return each ? Operation<View::kRowLine>(fn, context, line, at.p, 0.0, 0.0) : shown;
        });
    }
}

// A partly covered end pixel, its interval starting at s.
template <class View>
void PreviewEdgePixel(View& view, const SamplerContext& context, SamplerFn fn, std::int32_t line,
                      std::int32_t p, double s, double len) noexcept {
    view.PutUnlessMasked(p,
                         [&] { return Operation<View::kRowLine>(fn, context, line, p, s, len); });
}

// The positions of a line that a walk visits, in increasing order, up to a limit that the caller
// moves: every position from..to-1 at 1:1. `p` is the current one while More() holds.
struct EveryPosition {
    static constexpr bool kContiguous = true;
    std::int32_t p;
    std::int32_t to;

    [[nodiscard]] bool More() const noexcept { return p < to; }
    void Advance() noexcept { ++p; }
};

// Isolated positions of a line, at[0..count) in increasing order, walked up to a limit that the
// caller moves. `p` is the current one while More() holds.
class IsolatedPositions {
   public:
    static constexpr bool kContiguous = false;

    IsolatedPositions(const std::int32_t* positions, std::int32_t total) noexcept
        : p(total > 0 ? positions[0] : 0), at(positions), count(total) {}

    [[nodiscard]] bool More() const noexcept { return i < count && p < limit; }
    void Advance() noexcept { Skip(1); }
    void Limit(std::int32_t position) noexcept { limit = position; }

    // The positions from the current one on, and how many of them lie below the limit and at or
    // before `last`.
    [[nodiscard]] const std::int32_t* Rest() const noexcept { return at + i; }
    [[nodiscard]] std::int32_t CountUpTo(double last) const noexcept {
        if (i >= count) return 0;
        const auto below = [&](std::int32_t q) { return q < limit && q <= last; };
        return static_cast<std::int32_t>(std::partition_point(at + i, at + count, below) -
                                         (at + i));
    }
    void Skip(std::int32_t positions) noexcept {
        i += positions;
        if (i < count) p = at[i];
    }

    std::int32_t p;

   private:
    const std::int32_t* at;
    std::int32_t count;
    std::int32_t i = 0;
    std::int32_t limit = std::numeric_limits<std::int32_t>::max();
};

// The end of the run of positions from `from` on that lie below `to` and at or before `last`.
[[nodiscard]] inline std::int32_t EndOfRun(std::int32_t from, std::int32_t to,
                                           double last) noexcept {
    if (!(last >= from)) return from;
    if (last >= static_cast<double>(to) - 1.0) return std::max(from, to);
    return static_cast<std::int32_t>(std::floor(last)) + 1;
}

// The stretched positions of a line: each samples the source at its scaled position, as the pass
// does, so that both give the same values.
template <class View, class Positions>
void StretchRun(View& view, CubicLineSampler& sampler, const LinePlan& plan,
                Positions& at) noexcept {
    if constexpr (Positions::kContiguous) {
        SampleStretched(sampler, at.p, at.to, plan.map.shift, plan.map.scale,
                        [&](std::int32_t from, const Pixel32* pixels, std::int32_t count) {
                            view.PutRun(from, pixels, count);
                        });
        at.p = std::max(at.p, at.to);
    } else {
        const std::int32_t count = at.CountUpTo(std::numeric_limits<double>::infinity());
        SampleStretchedAt(sampler, at.Rest(), count, plan.map.shift, plan.map.scale,
                          [&](const std::int32_t* positions, const Pixel32* pixels,
                              std::int32_t m) { view.PutEach(positions, pixels, m); });
        at.Skip(count);
    }
}

// The squeezed positions of a line, walked part by part in increasing order: the undefined area
// before the line, the partly covered first pixels, the area averages, the partly covered last
// pixels and the undefined area after it, as the line's plan bounds them.
template <class View, class Positions>
void SqueezeRun(View& view, const PreviewLines& lines, const LinePlan& plan,
                Positions& at) noexcept {
    constexpr bool kRows = View::kRowLine;
    const SamplerContext& ctx = lines.context;
    const SamplerRow& ops = *lines.ops;
    const std::int32_t line = plan.line;
    const double len = plan.squeeze.len;
    const std::int32_t n = kRows ? ctx.stride : ctx.height;
    for (const LinePart& part : plan) {
        const double last = part.to - 1.0;
        switch (part.kind) {
            case PartKind::kBefore:
                PreviewOutsideRun(view, ctx, ops[kRows ? kOutsideLeft : kOutsideTop], line, at,
                                  last);
                break;
            case PartKind::kAfter:
                PreviewOutsideRun(view, ctx, ops[kRows ? kOutsideRight : kOutsideBottom], line, at,
                                  last);
                break;
            case PartKind::kStart:
            case PartKind::kEnd: {
                const bool start = part.kind == PartKind::kStart;
                const SamplerFn fn = ops[start ? (kRows ? kEdgeLeft : kEdgeTop)
                                               : (kRows ? kEdgeRight : kEdgeBottom)];
                for (; at.More() && at.p < part.to; at.Advance()) {
                    const double s = start ? plan.Start(at.p) : plan.EndStart(at.p);
                    PreviewEdgePixel(view, ctx, fn, line, at.p, s, len);
                }
                break;
            }
            case PartKind::kRun:
                if constexpr (Positions::kContiguous) {
                    const std::int32_t averagesEnd = EndOfRun(at.p, at.to, last);
                    AverageSqueezed(view.samples, view.step, n, plan.lo, plan.squeeze.t, len, at.p,
                                    averagesEnd,
                                    [&](std::int32_t from, const Pixel32* pixels,
                                        std::int32_t count) { view.PutRun(from, pixels, count); });
                    at.p = std::max(at.p, averagesEnd);
                } else {
                    const std::int32_t count = at.CountUpTo(last);
                    AverageSqueezedAt(view.samples, view.step, n, plan.lo, plan.squeeze.t, len,
                                      at.Rest(), count,
                                      [&](const std::int32_t* positions, const Pixel32* pixels,
                                          std::int32_t m) { view.PutEach(positions, pixels, m); });
                    at.Skip(count);
                }
                break;
            case PartKind::kNone:  // plans hold none
                break;
        }
    }
}

// One line inside the rectangle, prepared once for any runs of its positions within lo..hi-1:
// the line's numbers and, for a stretched line, the sampler that keeps its taps between runs.
template <class View>
class LineWalk {
   public:
    LineWalk(const PreviewLines& shared, View& target, std::int32_t at) noexcept
        : lines(shared),
          view(target),
          plan(shared.Prepare(at)),
          sampler(target.samples, target.step,
                  View::kRowLine ? shared.context.stride : shared.context.height) {}

    // Walks the positions `at` gives while it has more.
    template <class Positions>
    void Run(Positions& at) noexcept {
        if (plan.squeezed) {
            SqueezeRun(view, lines, plan, at);
        } else {
            StretchRun(view, sampler, plan, at);
        }
    }

   private:
    const PreviewLines& lines;
    View& view;
    LinePlan plan;
    CubicLineSampler sampler;
};

}  // namespace preview_lines
