// Span kernels: the long runs of a line, stretched by cubic convolution or squeezed by area
// average, over a source line whose pixels are converted to doubles once, just before their use.
// Everything here is a template on a lane set `L` (the instruction set's registers), so that
// each instruction set's file instantiates its own copy with nothing shared between them. Each
// channel goes through the same double operations in the same order as the single-pixel kernels
// of line_kernels.h, whatever the lane set: the results are equal bit for bit.
//
// `L` provides: Px (a pixel's four channels), Pd (kLanes packed doubles, one sample per lane),
// FromPixel, Zero, Load, Store, Scaled, Added, Divided and
// Truncated (to four 32-bit integers, after the truncation slack) for pixels, and Ramp, Gather
// (kLanes 32-bit integers as doubles), Splat, Add, Sub, Mul, Div, Min, Max, And, Less,
// ClampToLine, Truncate, StoreSamples, LoadSamples for samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include <emmintrin.h>
#include <xmmintrin.h>

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

#define TRAPEZOID_SPAN_INLINE inline __attribute__((always_inline))

template <class L>
struct SpanKernels {
    using Px = typename L::Px;
    using Pd = typename L::Pd;
    static constexpr int kChunk = 64;  // samples whose weights are computed ahead
    static_assert(kChunk % (2 * L::kLanes) == 0);

    // The pixel of the channels, each truncated after the truncation slack. A channel outside
    // 0..255 (the cubic kernel overshoots, by at most a third of the range: its weights lie in
    // -4/27..1) saturates in the packing to 0 or 255, as clamping it first would give: below 0 it
    // truncates to 0 or less, above 255 to 255 or more.
    static Pixel32 Pack(Px v) noexcept {
        const __m128i four = L::Truncated(v);
        const __m128i words = _mm_packs_epi32(four, four);
        return static_cast<Pixel32>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
    }
    // Pack of a into out[0] and of b into out[1].
    static void PackTwo(Px a, Px b, Pixel32* out) noexcept {
        const __m128i words = _mm_packs_epi32(L::Truncated(a), L::Truncated(b));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
    }
    // put[j] = the pixel of sample(j) for j < count, two packed at a time. Samples are computed
    // in increasing order.
    template <class Sample>
    static TRAPEZOID_SPAN_INLINE void PackEach(std::int32_t count, Sample sample,
                                               Pixel32* put) noexcept {
        std::int32_t j = 0;
        for (; j + 1 < count; j += 2) {
            const Px first = sample(j);
            PackTwo(first, sample(j + 1), put + j);
        }
        if (j < count) put[j] = Pack(sample(j));
    }

    // Pixels k = from..to-1 of the line, each clamped to 0..n-1, as four doubles each. The
    // numbers are 64-bit: taps reach past a line that ends at the 32-bit limit.
    static void ToDoubles(const Pixel32* line, std::ptrdiff_t step, std::int32_t n,
                          std::int64_t from, std::int64_t to, double* out) noexcept {
        std::int64_t k = from;
        for (; k < to && k < 0; ++k, out += 4) L::Store(out, L::FromPixel(line[0]));
        if (k < to && k < n) {  // the pixels inside, walked by pointer (cheap in 32-bit code too)
            const std::int64_t end = to < n ? to : n;
            const Pixel32* pixel = line + k * step;
            for (auto count = static_cast<std::int32_t>(end - k); count > 0; --count) {
                L::Store(out, L::FromPixel(*pixel));
                pixel += step;
                out += 4;
            }
            k = end;
        }
        for (; k < to; ++k, out += 4) L::Store(out, L::FromPixel(line[(n - 1) * step]));
    }

    // The least and the greatest of the tap or pixel numbers a chunk reads, kept per lane.
    struct Bounds {
        Pd lowest = L::Splat(2147483647.0);
        Pd highest = L::Splat(-2147483648.0);
        void Take(Pd low, Pd high) noexcept {
            lowest = L::Min(lowest, low);
            highest = L::Max(highest, high);
        }
        // Whether every number read lies in lo..hi.
        [[nodiscard]] bool Within(std::int64_t lo, std::int64_t hi) const noexcept {
            alignas(32) double low[L::kLanes];
            alignas(32) double high[L::kLanes];
            L::StoreSamples(low, lowest);
            L::StoreSamples(high, highest);
            bool inside = true;
            for (int i = 0; i < L::kLanes; ++i) {
                inside &= low[i] >= static_cast<double>(lo) && high[i] <= static_cast<double>(hi);
            }
            return inside;
        }
    };

    // The kernel 1 - 2s^2 + s^3 for distances s up to 1, as 1 - s^2 (2 - s).
    static Pd NearWeight(Pd s) noexcept {
        return L::Sub(L::Splat(1.0), L::Mul(L::Mul(s, s), L::Sub(L::Splat(2.0), s)));
    }

    // The kernel 4 - 8s + 5s^2 - s^3 for distances s from 1 to 2, as 4 - (8 - (5 - s) s) s.
    static Pd FarWeight(Pd s) noexcept {
        const Pd inner = L::Mul(L::Sub(L::Splat(5.0), s), s);
        return L::Sub(L::Splat(4.0), L::Mul(L::Sub(L::Splat(8.0), inner), s));
    }

    // Sample j's cubic sum of its taps tap(0)..tap(3) with its weights w[0..3][j], in the order
    // of the single-pixel kernel.
    template <class Tap>
    static TRAPEZOID_SPAN_INLINE Px Cubic(Tap tap, const double (&w)[4][kChunk],
                                          std::int32_t j) noexcept {
        Px v = L::Scaled(tap(0), w[0][j]);
        v = L::Added(v, L::Scaled(tap(1), w[1][j]));
        v = L::Added(v, L::Scaled(tap(2), w[2][j]));
        return L::Added(v, L::Scaled(tap(3), w[3][j]));
    }

    // Two lane sets of samples, lanes j..j + kLanes - 1 and the next kLanes of a chunk, worked on
    // step by step together: the long chain of one (a division, a truncation) overlaps the
    // other's, which the processor cannot find across calls on its own.
    struct Two {
        Pd first;
        Pd second;
    };
    static Two Both(Pd v) noexcept { return {v, v}; }
    static Two LoadTwo(const double* d) noexcept {
        return {L::LoadSamples(d), L::LoadSamples(d + L::kLanes)};
    }
    // Positions p, p + 1, ...: the second set's taken on in doubles, where a line that ends at
    // the 32-bit limit still has them.
    static Two RampTwo(std::int32_t p) noexcept {
        const Pd first = L::Ramp(p);
        return {first, L::Add(first, L::Splat(static_cast<double>(L::kLanes)))};
    }
    // The positions of the next two lane sets: whole numbers, so the sums are exact, and far
    // cheaper than forming each ramp anew from its integer.
    static Two NextTwo(Two p) noexcept {
        const Pd step = L::Splat(2.0 * L::kLanes);
        return {L::Add(p.first, step), L::Add(p.second, step)};
    }
    static Two GatherTwo(const std::int32_t* p) noexcept {
        return {L::Gather(p), L::Gather(p + L::kLanes)};
    }

    // Positions kept inside [0, n): kGuard clamps them, for callers that have not shown that
    // every position of theirs lies inside already (the clamp then changes nothing).
    template <bool kGuard>
    static TRAPEZOID_SPAN_INLINE Pd Guarded(Pd x, std::int32_t n) noexcept {
        return kGuard ? L::ClampToLine(x, n) : x;
    }
    // Calls f with whether positions need their clamp, as a compile-time constant: not when they
    // are known to lie inside the line.
    template <class F>
    static TRAPEZOID_SPAN_INLINE void WithGuard(bool inside, F f) noexcept {
        if (inside) {
            f(std::false_type{});
        } else {
            f(std::true_type{});
        }
    }
    // How many positions a chunk of `count` samples computes: whole pairs of lane sets.
    static std::int32_t LanesOf(std::int32_t count) noexcept {
        return (count + 2 * L::kLanes - 1) / (2 * L::kLanes) * (2 * L::kLanes);
    }

    // Tap index and the four weights of the samples at positions p (one a lane) of lines of n
    // pixels, each lane with its own shift and scale, into the chunk's arrays from index and
    // weights on; the indices also go to `bounds` unless it is null.
    template <bool kGuard = true>
    static TRAPEZOID_SPAN_INLINE void Locate(Two p, Two shift, Two scale, std::int32_t n,
                                             std::int32_t* index, double* const weights[4],
                                             Bounds* bounds) noexcept {
        const Pd x0 = Guarded<kGuard>(L::Div(L::Add(p.first, shift.first), scale.first), n);
        const Pd x1 = Guarded<kGuard>(L::Div(L::Add(p.second, shift.second), scale.second), n);
        const Pd i0 = L::Truncate(x0, index);
        const Pd i1 = L::Truncate(x1, index + L::kLanes);
        if (bounds != nullptr) bounds->Take(L::Min(i0, i1), L::Max(i0, i1));
        const Pd f0 = L::Sub(x0, i0);
        const Pd f1 = L::Sub(x1, i1);
        const Pd one = L::Splat(1.0);
        const Pd two = L::Splat(2.0);
        const auto store = [&](int k, Pd w0, Pd w1) {
            L::StoreSamples(weights[k], w0);
            L::StoreSamples(weights[k] + L::kLanes, w1);
        };
        store(0, FarWeight(L::Add(one, f0)), FarWeight(L::Add(one, f1)));
        store(1, NearWeight(f0), NearWeight(f1));
        store(2, NearWeight(L::Sub(one, f0)), NearWeight(L::Sub(one, f1)));
        store(3, FarWeight(L::Sub(two, f0)), FarWeight(L::Sub(two, f1)));
    }

    // A stretched span, a chunk of samples at a time: their weights first, then their taps
    // converted once, then the sums. A whole position needs no case of its own: its weights are
    // (0, 1, 0, 0), which give the pixel itself exactly.
    static void Stretch(const Pixel32* line, const StretchSpan& span, double* /*scratch*/,
                        Pixel32* out) noexcept {
        alignas(32) std::int32_t index[kChunk];
        alignas(32) double w[4][kChunk];
        alignas(32) double taps[(kChunk + 4) * 4];
        const Two shift = Both(L::Splat(span.shift));
        const Two scale = Both(L::Splat(span.scale));
        std::int32_t count = 0;  // steps by the chunk actually taken, so p0 never passes `to`
        for (std::int32_t p0 = span.from; p0 < span.to; p0 += count) {
            count = span.to - p0 < kChunk ? span.to - p0 : kChunk;
            // Along a line the tap index never decreases: the chunk's first and last samples
            // bound it, and no running bound is carried from one lane set to the next.
            const double lastLane = static_cast<double>(p0) + (LanesOf(count) - 1);
            WithGuard(InsideLine(span.At(p0), span.At(lastLane), span.n), [&](auto guard) {
                Two p = RampTwo(p0);
                for (std::int32_t j = 0; j < count; j += 2 * L::kLanes, p = NextTwo(p)) {
                    double* const weights[4] = {w[0] + j, w[1] + j, w[2] + j, w[3] + j};
                    Locate<decltype(guard)::value>(p, shift, scale, span.n, index + j, weights,
                                                   nullptr);
                }
            });
            // Samples advance by at most a pixel (scale >= 1), so kChunk + 4 taps hold a
            // chunk's; a chunk that breaks this has its taps clamped to the buffer.
            const std::int64_t low = std::int64_t{index[0]} - 1;
            const std::int64_t high = low + kChunk + 3;
            const std::int64_t last = std::int64_t{index[count - 1]} + 2;
            ToDoubles(line, span.step, span.n, low, (last < high ? last : high) + 1, taps);
            const auto sample = [&](std::int32_t j, std::int64_t i) {
                const double* tap = taps + static_cast<std::ptrdiff_t>(i - low) * 4;
                return Cubic([&](int k) { return L::Load(tap + 4 * k); }, w, j);
            };
            Pixel32* const put = out + (p0 - span.from);
            if (std::int64_t{index[count - 1]} <= high - 2) {
                PackEach(
                    count, [&](std::int32_t j) { return sample(j, index[j] - 1); }, put);
            } else {
                for (std::int32_t j = 0; j < count; ++j) {
                    const std::int64_t i = std::int64_t{index[j]} - 1;
                    put[j] = Pack(sample(j, i < low ? low : (i > high - 3 ? high - 3 : i)));
                }
            }
        }
    }

    // A squeezed span: for each output pixel the first partial pixel, the last partial pixel,
    // then the whole pixels between, the total weight summed in the same order. `pixels` holds
    // the converted pixels readFirst..readLast.
    static void Squeeze(const Pixel32* line, const SqueezeSpan& given, double* pixels,
                        Pixel32* out) noexcept {
        const SqueezeSpan span = given;  // a copy that the pixels written cannot alias
        if (span.from >= span.to) return;
        const auto at = [&](std::int64_t k) {
            return pixels + static_cast<std::ptrdiff_t>(k - span.readFirst) * 4;
        };
        L::Store(at(span.readLast + 1), L::Zero());  // stands for a term of weight 0
        std::int32_t converted = span.readFirst;     // pixels are converted just before their use
        alignas(32) std::int32_t i0[kChunk];
        alignas(32) std::int32_t i1[kChunk];
        alignas(32) double w[3][kChunk];  // first, last, total
        const Two t = Both(L::Splat(span.t));
        const Two len = Both(L::Splat(span.len));
        std::int32_t count = 0;  // steps by the chunk actually taken, so p0 never passes `to`
        for (std::int32_t p0 = span.from; p0 < span.to; p0 += count) {
            count = span.to - p0 < kChunk ? span.to - p0 : kChunk;
            // Along a line the first and last pixels never decrease, and the last never precedes
            // the first: the chunk's first and last samples bound every pixel read.
            const double offset = static_cast<double>(p0 - span.lo);
            const double lastLane = offset + (LanesOf(count) - 1);
            const bool chunkInside =
                InsideLine(span.StartAt(offset), span.StartAt(lastLane), span.n);
            WithGuard(chunkInside, [&](auto guard) {
                Two p = RampTwo(p0 - span.lo);
                for (std::int32_t j = 0; j < count; j += 2 * L::kLanes, p = NextTwo(p)) {
                    double* const at3[3] = {w[0] + j, w[1] + j, w[2] + j};
                    LocateSqueeze<decltype(guard)::value>(p, t, len, span.lo, span.n, i0 + j,
                                                          i1 + j, at3, nullptr);
                }
            });
            // The chunk's last pixel reads up to its i1 (pixel a + 1 only where it precedes b).
            const std::int32_t reach =
                i1[count - 1] < span.readLast ? i1[count - 1] : span.readLast;
            ToDoubles(line, span.step, span.n, converted, reach + 1, at(converted));
            if (reach + 1 > converted) converted = reach + 1;
            // Offsets in 32 bits: every number read lies in readFirst..readLast + 1 here.
            const auto slot = [&](std::int32_t k) {
                return pixels + static_cast<std::ptrdiff_t>(k - span.readFirst) * 4;
            };
            // A last pixel b of n (an interval that reaches the line's end) carries weight 0. A
            // mean is taken below only where readLast is at least n - 1, so slot n lies within
            // the converted pixels and the zero term after them.
            const auto mean = [&](std::int32_t j) {
                const double* first = slot(i0[j]);
                const double* last = slot(i1[j]);
                Px sum = L::Scaled(L::Load(first), w[0][j]);
                sum = L::Added(sum, L::Scaled(L::Load(last), w[1][j]));
                // Pixel a + 1 counts whole when it precedes b; otherwise the single-pixel kernel
                // adds it with weight +0, which changes no bit of the non-negative sum.
                if (i0[j] + 1 < i1[j]) sum = L::Added(sum, L::Load(first + 4));
                double total = w[2][j];
                for (const double* k = first + 8; k < last; k += 4) {
                    sum = L::Added(sum, L::Load(k));
                    total += 1.0;
                }
                return L::Divided(sum, total);
            };
            Pixel32* const put = out + (p0 - span.from);
            const std::int32_t highest = i1[count - 1] < span.n ? i1[count - 1] : span.n - 1;
            if (i0[0] >= span.readFirst && highest <= span.readLast) {
                PackEach(count, mean, put);
            } else {
                for (std::int32_t j = 0; j < count; ++j) {
                    const std::int32_t b = i1[j];
                    const bool inside = i0[j] >= span.readFirst && i0[j] <= span.readLast &&
                                        (b < span.n ? b : span.n - 1) <= span.readLast;
                    put[j] = inside ? Pack(mean(j)) : 0;  // only a broken plan reads outside
                }
            }
        }
    }

    // The intervals of the output pixels lo + offset (one a lane): their first and last pixels, the
    // weights of those, and the total weight (pixel a + 1 counting whole when it precedes b). A
    // term the single-pixel kernel skips gets weight +0 here, which changes no bit of a
    // non-negative sum.
    template <bool kGuard = true>
    static TRAPEZOID_SPAN_INLINE void LocateSqueeze(Two offset, Two t, Two len, std::int32_t lo,
                                                    std::int32_t lineLength, std::int32_t* first,
                                                    std::int32_t* last, double* const weights[3],
                                                    Bounds* bounds) noexcept {
        const Pd n = L::Splat(static_cast<double>(lineLength));
        const Pd one = L::Splat(1.0);
        const Pd start = L::Splat(static_cast<double>(lo));
        Pd x0 = L::Mul(L::Sub(offset.first, t.first), len.first);
        Pd x1 = L::Mul(L::Sub(offset.second, t.second), len.second);
        x0 = Guarded<kGuard>(L::Add(start, x0), lineLength);
        x1 = Guarded<kGuard>(L::Add(start, x1), lineLength);
        const Pd a0 = L::Truncate(x0, first);
        const Pd a1 = L::Truncate(x1, first + L::kLanes);
        const Pd e0 = L::Add(x0, len.first);
        const Pd e1 = L::Add(x1, len.second);
        const Pd b0 = L::Truncate(L::Min(e0, n), last);  // n when e reaches the line's end
        const Pd b1 = L::Truncate(L::Min(e1, n), last + L::kLanes);
        // Pixel b is read only below n, and pixel a + 1 only where it precedes b.
        if (bounds != nullptr) {
            const Pd inside = L::Sub(n, one);
            bounds->Take(L::Min(a0, b0), L::Max(a0, L::Min(b0, inside)));
            bounds->Take(L::Min(a1, b1), L::Max(a1, L::Min(b1, inside)));
        }
        const Pd head0 = L::Sub(L::Add(a0, one), x0);
        const Pd head1 = L::Sub(L::Add(a1, one), x1);
        const Pd tail0 = L::And(L::Sub(e0, b0), L::Less(b0, n));
        const Pd tail1 = L::And(L::Sub(e1, b1), L::Less(b1, n));
        const Pd between0 = L::Less(L::Add(a0, one), b0);
        const Pd between1 = L::Less(L::Add(a1, one), b1);
        const auto store = [&](int k, Pd w0, Pd w1) {
            L::StoreSamples(weights[k], w0);
            L::StoreSamples(weights[k] + L::kLanes, w1);
        };
        store(0, head0, head1);
        store(1, tail0, tail1);
        store(2, L::Add(L::Add(head0, tail0), L::And(one, between0)),
              L::Add(L::Add(head1, tail1), L::And(one, between1)));
    }
    // Isolated positions: at[0..count) of a line, in any order, each sampled as the spans above
    // sample it, into out[0..count). Where a chunk's positions are read: at itself when the chunk
    // is whole (kChunk positions, whole pairs of lane sets), else `padded`, the rest copied and
    // padded to whole pairs of lane sets with its last one, so that every lane holds a real
    // position.
    static const std::int32_t* Positions(const std::int32_t* at, std::int32_t count,
                                         std::int32_t* padded) noexcept {
        if (count >= kChunk) return at;
        std::int32_t j = 0;
        for (; j < count; ++j) padded[j] = at[j];
        for (; j % (2 * L::kLanes) != 0; ++j) padded[j] = at[count - 1];
        return padded;
    }

    // Pixel k of the line as four doubles, k clamped to 0..n-1.
    static Px Tap(const Pixel32* line, std::ptrdiff_t step, std::int32_t n,
                  std::int64_t k) noexcept {
        const std::int64_t inside = k < 0 ? 0 : (k < n ? k : n - 1);
        return L::FromPixel(line[inside * step]);
    }

    // Samples a kernel asks for ahead of the one it computes: isolated positions of a large image
    // each read their own cache lines, which arrive meanwhile. Within a chunk the pixel numbers are
    // known; past its end, `ahead(p)` estimates them from the positions, so that the look-ahead
    // runs on into the next chunk. Only a hint: the number is kept inside the line.
    static constexpr std::int32_t kAhead = 16;
    // The step of a row, known at compile time: its taps are neighbours.
    static constexpr std::integral_constant<std::ptrdiff_t, 1> kUnitStep{};
    // Calls f with the line's step, a compile-time constant when it is 1.
    template <class F>
    static void WithStep(std::ptrdiff_t step, F f) noexcept {
        if (step == 1) {
            f(kUnitStep);
        } else {
            f(step);
        }
    }

    template <class Ahead>
    static void Prefetch(const Pixel32* line, std::ptrdiff_t step, std::int32_t n,
                         const std::int32_t* index, std::int32_t j, std::int32_t m,
                         const std::int32_t* at, std::int32_t rest, Ahead ahead) noexcept {
        std::int32_t k = 0;
        if (j + kAhead < m) {
            k = index[j + kAhead];
        } else if (j + kAhead < rest) {
            const double x = ahead(at[j + kAhead]);
            k = x >= 0.0 ? (x < n ? static_cast<std::int32_t>(x) : n - 1) : 0;
        } else {
            return;
        }
        _mm_prefetch(reinterpret_cast<const char*>(line + k * step), _MM_HINT_T0);
    }

    // The least and the greatest of the numbers a chunk's bounds took.
    static std::int32_t Least(const Bounds& bounds) noexcept {
        alignas(32) double low[L::kLanes];
        L::StoreSamples(low, bounds.lowest);
        double least = low[0];
        for (int i = 1; i < L::kLanes; ++i) least = low[i] < least ? low[i] : least;
        return static_cast<std::int32_t>(least);
    }
    static std::int32_t Greatest(const Bounds& bounds) noexcept {
        alignas(32) double high[L::kLanes];
        L::StoreSamples(high, bounds.highest);
        double greatest = high[0];
        for (int i = 1; i < L::kLanes; ++i) greatest = high[i] > greatest ? high[i] : greatest;
        return static_cast<std::int32_t>(greatest);
    }

    // Cubic samples of a stretched line at isolated positions; span.from and span.to are unused.
    static void StretchAt(const Pixel32* line, const StretchSpan& given, const std::int32_t* at,
                          std::int32_t count, Pixel32* out) noexcept {
        const StretchSpan span = given;  // a copy that the pixels written cannot alias
        alignas(32) std::int32_t padded[kChunk];
        alignas(32) std::int32_t index[kChunk];
        alignas(32) double w[4][kChunk];
        alignas(32) double taps[(2 * kChunk + 4) * 4];
        const Two shift = Both(L::Splat(span.shift));
        const Two scale = Both(L::Splat(span.scale));
        const std::ptrdiff_t step = span.step;
        for (std::int32_t j0 = 0; j0 < count; j0 += kChunk) {
            const std::int32_t m = count - j0 < kChunk ? count - j0 : kChunk;
            const std::int32_t* const p = Positions(at + j0, count - j0, padded);
            Bounds bounds;
            for (std::int32_t j = 0; j < m; j += 2 * L::kLanes) {
                double* const weights[4] = {w[0] + j, w[1] + j, w[2] + j, w[3] + j};
                Locate(GatherTwo(p + j), shift, scale, span.n, index + j, weights, &bounds);
            }
            const std::int32_t low = Least(bounds);
            const std::int32_t high = Greatest(bounds);
            Pixel32* const put = out + j0;
            const auto sum = [&](std::int32_t j, auto tap) { return Cubic(tap, w, j); };
            const auto each = [&](auto one) { PackEach(m, one, put); };
            if (high - low <= 2 * kChunk) {
                // Close positions share their taps: those are converted once, as a run does.
                ToDoubles(line, step, span.n, low - 1, high + 3, taps);
                each([&](std::int32_t j) {
                    const double* own = taps + static_cast<std::ptrdiff_t>(index[j] - low) * 4;
                    return sum(j, [&](std::int32_t k) { return L::Load(own + 4 * k); });
                });
            } else if (low >= 1 && high + 2 < span.n) {
                // Every tap lies inside the line: none needs its clamp.
                const double inverse = 1.0 / span.scale;
                const auto inside = [&](auto stride) {
                    each([&](std::int32_t j) {
                        Prefetch(line, stride, span.n, index, j, m, at + j0, count - j0,
                                 [&](std::int32_t q) { return (q + span.shift) * inverse; });
                        const Pixel32* first = line + (index[j] - 1) * stride;
                        return sum(j,
                                   [&](std::int32_t k) { return L::FromPixel(first[k * stride]); });
                    });
                };
                WithStep(step, inside);
            } else {
                each([&](std::int32_t j) {
                    const std::int32_t i = index[j];
                    return sum(j,
                               [&](std::int32_t k) { return Tap(line, step, span.n, i - 1 + k); });
                });
            }
        }
    }

    // Area averages of a squeezed line at isolated positions, summed in Squeeze's order; span.from,
    // span.to, span.readFirst and span.readLast are unused, every pixel read lies in 0..n-1.
    static void SqueezeAt(const Pixel32* line, const SqueezeSpan& given, const std::int32_t* at,
                          std::int32_t count, Pixel32* out) noexcept {
        const SqueezeSpan span = given;  // a copy that the pixels written cannot alias
        alignas(32) std::int32_t padded[kChunk];
        alignas(32) std::int32_t i0[kChunk];
        alignas(32) std::int32_t i1[kChunk];
        alignas(32) double w[3][kChunk];  // first, last, total
        const Two t = Both(L::Splat(span.t));
        const Two len = Both(L::Splat(span.len));
        const Pd lo = L::Splat(static_cast<double>(span.lo));
        const std::int32_t n = span.n;
        const std::ptrdiff_t step = span.step;
        for (std::int32_t j0 = 0; j0 < count; j0 += kChunk) {
            const std::int32_t m = count - j0 < kChunk ? count - j0 : kChunk;
            const std::int32_t* const p = Positions(at + j0, count - j0, padded);
            Bounds bounds;
            for (std::int32_t j = 0; j < m; j += 2 * L::kLanes) {
                double* const weights[3] = {w[0] + j, w[1] + j, w[2] + j};
                // Offsets from lo, exact in doubles as in integers.
                const Two q = GatherTwo(p + j);
                const Two offset = {L::Sub(q.first, lo), L::Sub(q.second, lo)};
                LocateSqueeze(offset, t, len, span.lo, span.n, i0 + j, i1 + j, weights, &bounds);
            }
            // `tap(k)` gives pixel k of the line; the last partial pixel is read only below n,
            // which every last pixel is when kInside holds.
            const auto mean = [&](std::int32_t j, auto tap, auto inside) {
                const std::int32_t a = i0[j];
                const std::int32_t b = i1[j];
                Px sum = L::Scaled(tap(a), w[0][j]);
                sum = L::Added(sum, L::Scaled(inside || b < n ? tap(b) : L::Zero(), w[1][j]));
                // Pixel a + 1 counts whole when it precedes b; otherwise Squeeze adds it with
                // weight +0, which changes no bit of the non-negative sum, so here it is not read.
                if (a + 1 < b) sum = L::Added(sum, tap(a + 1));
                double total = w[2][j];
                for (std::int32_t k = a + 2; k < b; ++k) {
                    sum = L::Added(sum, tap(k));
                    total += 1.0;
                }
                return L::Divided(sum, total);
            };
            Pixel32* const put = out + j0;
            // The greatest number taken is that of a first pixel or, below n, of a last one.
            if (Greatest(bounds) + 1 < n) {
                // Every pixel read lies inside the line: no tap needs its clamp.
                const auto inside = [&](auto stride) {
                    const auto one = [&](std::int32_t j) {
                        Prefetch(line, stride, n, i0, j, m, at + j0, count - j0,
                                 [&](std::int32_t q) { return span.StartAt(q - span.lo); });
                        return mean(
                            j, [&](std::int32_t k) { return L::FromPixel(line[k * stride]); },
                            std::true_type{});
                    };
                    PackEach(m, one, put);
                };
                WithStep(step, inside);
            } else {
                for (std::int32_t j = 0; j < m; ++j) {
                    put[j] = Pack(mean(
                        j, [&](std::int32_t k) { return Tap(line, step, n, k); },
                        std::false_type{}));
                }
            }
        }
    }

    // Asks for the cache line of column j a few rows below row k, which the next output rows
    // read: the processor does not guess a walk that moves down a row every few columns.
    static void AskAhead(const Pixel32* column, std::ptrdiff_t stride, std::int32_t n,
                         std::int32_t j, std::int32_t k) noexcept {
        constexpr std::int32_t kRowsAhead = 6;
        const std::int32_t ahead = k < n - kRowsAhead ? k + kRowsAhead : n - 1;
        _mm_prefetch(reinterpret_cast<const char*>(column + j + ahead * stride), _MM_HINT_T0);
    }

    // One output row of neighbouring stretched columns, each sample computed as Stretch computes
    // it along the column; the taps are read where they lie in the image, each row of them
    // walked along its length. The row's fields are copied first: the output's stores could
    // otherwise alias them, and the compiler would reload them at every pixel.
    static void StretchAcross(const AcrossRow& row, Pixel32* out) noexcept {
        alignas(32) std::int32_t index[kChunk];
        alignas(32) double w[4][kChunk];
        const Pixel32* const column = row.column;
        const std::ptrdiff_t s = row.stride;
        const std::int32_t n = row.n;
        const std::int32_t count = row.count;
        const Two y = Both(L::Splat(static_cast<double>(row.y)));
        for (std::int32_t j0 = 0; j0 < count; j0 += kChunk) {
            const std::int32_t m = count - j0 < kChunk ? count - j0 : kChunk;
            Bounds bounds;
            WithGuard(row.inside, [&](auto guard) {
                for (std::int32_t j = 0; j < m; j += 2 * L::kLanes) {
                    double* const at[4] = {w[0] + j, w[1] + j, w[2] + j, w[3] + j};
                    Locate<decltype(guard)::value>(y, LoadTwo(row.a + j0 + j),
                                                   LoadTwo(row.b + j0 + j), n, index + j, at,
                                                   &bounds);
                }
            });
            Pixel32* const put = out + j0;
            const Pixel32* const base = column + j0;
            if (bounds.Within(1, std::int64_t{n} - 3)) {
                for (std::int32_t j = 0; j < m; j += 16) AskAhead(base, s, n, j, index[j]);
                const auto sample = [&](std::int32_t j) {
                    const Pixel32* tap = base + j + (index[j] - 1) * s;
                    return Cubic([&](int k) { return L::FromPixel(tap[k * s]); }, w, j);
                };
                PackEach(m, sample, put);
            } else {
                for (std::int32_t j = 0; j < m; ++j) {
                    const std::int64_t i = std::int64_t{index[j]} - 1;
                    const auto tap = [&](int k) { return Tap(base + j, s, n, i + k); };
                    put[j] = Pack(Cubic(tap, w, j));
                }
            }
        }
    }

    // Rows y and y + 1 of a run of neighbouring stretched columns, into out and below: row y + 1
    // of a column samples at most one pixel further down (scale >= 1 moves a sample at most a
    // pixel a row), so its taps are row y's own, or three of row y's and the one after, converted
    // once for both. A column whose samples step otherwise reads its own; each sample is computed
    // as StretchAcross computes it.
    static void StretchAcrossTwoRows(const AcrossRow& row, Pixel32* out, Pixel32* below) noexcept {
        alignas(32) std::int32_t index[2][kChunk];
        alignas(32) double w[2][4][kChunk];
        const Pixel32* const column = row.column;
        const std::ptrdiff_t s = row.stride;
        const std::int32_t n = row.n;
        const std::int32_t count = row.count;
        for (std::int32_t j0 = 0; j0 < count; j0 += kChunk) {
            const std::int32_t m = count - j0 < kChunk ? count - j0 : kChunk;
            Bounds bounds;
            WithGuard(row.inside, [&](auto guard) {
                for (int r = 0; r < 2; ++r) {
                    const Two y = Both(L::Splat(static_cast<double>(row.y + r)));
                    for (std::int32_t j = 0; j < m; j += 2 * L::kLanes) {
                        double* const at[4] = {w[r][0] + j, w[r][1] + j, w[r][2] + j, w[r][3] + j};
                        Locate<decltype(guard)::value>(y, LoadTwo(row.a + j0 + j),
                                                       LoadTwo(row.b + j0 + j), n, index[r] + j, at,
                                                       &bounds);
                    }
                }
            });
            const Pixel32* const base = column + j0;
            if (!bounds.Within(1, std::int64_t{n} - 3)) {  // near the column's ends: one by one
                AcrossRow one = row;
                one.column = base;
                one.a = row.a + j0;
                one.b = row.b + j0;
                one.count = m;
                StretchAcross(one, out + j0);
                one.y = row.y + 1;
                StretchAcross(one, below + j0);
                continue;
            }
            for (std::int32_t j = 0; j < m; j += 16) AskAhead(base, s, n, j, index[1][j]);
            // Column j's samples on both rows.
            const auto both = [&](std::int32_t j, Px & upper, Px & lower)
                __attribute__((always_inline)) {
                const std::int32_t d = index[1][j] - index[0][j];
                const Pixel32* tap = base + j + (index[0][j] - 1) * s;
                const Px t[4] = {L::FromPixel(tap[0]), L::FromPixel(tap[s]),
                                 L::FromPixel(tap[2 * s]), L::FromPixel(tap[3 * s])};
                upper = Cubic([&](int k) { return t[k]; }, w[0], j);
                if (d == 1) {
                    const auto shared = [&](int k) {
                        return k < 3 ? t[k + 1] : L::FromPixel(tap[4 * s]);
                    };
                    lower = Cubic(shared, w[1], j);
                } else if (d == 0) {
                    lower = Cubic([&](int k) { return t[k]; }, w[1], j);
                } else {
                    const Pixel32* other = base + j + (index[1][j] - 1) * s;
                    lower = Cubic([&](int k) { return L::FromPixel(other[k * s]); }, w[1], j);
                }
            };
            std::int32_t j = 0;
            for (; j + 1 < m; j += 2) {
                Px a0, a1, b0, b1;
                both(j, a0, a1);
                both(j + 1, b0, b1);
                PackTwo(a0, b0, out + j0 + j);
                PackTwo(a1, b1, below + j0 + j);
            }
            if (j < m) {
                Px a0, a1;
                both(j, a0, a1);
                out[j0 + j] = Pack(a0);
                below[j0 + j] = Pack(a1);
            }
        }
    }

    // Column j's mean for SqueezeAcross, summed as Squeeze sums it: pixels a and b partly, then a +
    // 1 and the whole pixels between. kInside: every pixel read lies in the column.
    template <bool kInside>
    static TRAPEZOID_SPAN_INLINE Px AcrossMean(const Pixel32* column, std::ptrdiff_t s,
                                               std::int32_t n, std::int32_t a, std::int32_t b,
                                               const double* w0, const double* w1,
                                               double total) noexcept {
        const Px first = kInside ? L::FromPixel(column[a * s]) : Tap(column, s, n, a);
        const Px last = kInside || b < n ? L::FromPixel(column[b * s]) : L::Zero();
        Px sum = L::Scaled(first, *w0);
        sum = L::Added(sum, L::Scaled(last, *w1));
        // Pixel a + 1 counts whole when it precedes b; otherwise Squeeze adds it with weight +0,
        // which changes no bit of the non-negative sum, so here it is neither read nor converted.
        if (a + 1 < b) {
            const Pixel32* k = column + a * s + s;
            sum =
                L::Added(sum, kInside ? L::FromPixel(*k) : Tap(column, s, n, std::int64_t{a} + 1));
            for (std::int32_t between = b - a - 2; between > 0; --between) {
                k += s;
                sum = L::Added(sum, L::FromPixel(*k));
                total += 1.0;
            }
        }
        return L::Divided(sum, total);
    }

    // One output row of neighbouring squeezed columns, each average summed as Squeeze sums it.
    static void SqueezeAcross(const AcrossRow& row, Pixel32* out) noexcept {
        alignas(32) std::int32_t i0[kChunk];
        alignas(32) std::int32_t i1[kChunk];
        alignas(32) double w[3][kChunk];  // first, last, total
        const Pixel32* const column = row.column;
        const std::ptrdiff_t s = row.stride;
        const std::int32_t n = row.n;
        const std::int32_t count = row.count;
        const Two offset = Both(L::Splat(static_cast<double>(row.y - row.lo)));
        for (std::int32_t j0 = 0; j0 < count; j0 += kChunk) {
            const std::int32_t m = count - j0 < kChunk ? count - j0 : kChunk;
            Bounds bounds;
            WithGuard(row.inside, [&](auto guard) {
                for (std::int32_t j = 0; j < m; j += 2 * L::kLanes) {
                    double* const at[3] = {w[0] + j, w[1] + j, w[2] + j};
                    LocateSqueeze<decltype(guard)::value>(offset, LoadTwo(row.a + j0 + j),
                                                          LoadTwo(row.b + j0 + j), row.lo, n,
                                                          i0 + j, i1 + j, at, &bounds);
                }
            });
            const Pixel32* const base = column + j0;
            for (std::int32_t j = 0; j < m; j += 16) AskAhead(base, s, n, j, i1[j]);
            Pixel32* const put = out + j0;
            const auto means = [&](auto inside) {
                const auto mean = [&](std::int32_t j) __attribute__((always_inline)) {
                    return AcrossMean<decltype(inside)::value>(base + j, s, n, i0[j], i1[j],
                                                               w[0] + j, w[1] + j, w[2][j]);
                };
                PackEach(m, mean, put);
            };
            // Reads are kept to the column unless every pixel read lies well inside it.
            if (bounds.Within(0, std::int64_t{n} - 2)) {
                means(std::true_type{});
            } else {
                means(std::false_type{});
            }
        }
    }
};
