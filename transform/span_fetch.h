// Span fetching and summing: pixels converted to four doubles (a run at once, or one at a time),
// the look-ahead that asks for the cache lines of later samples, and the sums that make a sample
// (cubic or mean) and pack it into a pixel. Templates on a lane set `L` (span_kernels.h says
// what it provides).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include <emmintrin.h>
#include <xmmintrin.h>

#include "transform/span_locate.h"

template <class L>
struct SpanFetch : SpanLanes<L> {
    using typename SpanLanes<L>::Px;
    using SpanLanes<L>::kChunk;

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

    // Asks for the cache line of column j a few rows below row k, which the next output rows
    // read: the processor does not guess a walk that moves down a row every few columns.
    static void AskAhead(const Pixel32* column, std::ptrdiff_t stride, std::int32_t n,
                         std::int32_t j, std::int32_t k) noexcept {
        constexpr std::int32_t kRowsAhead = 6;
        const std::int32_t ahead = k < n - kRowsAhead ? k + kRowsAhead : n - 1;
        _mm_prefetch(reinterpret_cast<const char*>(column + j + ahead * stride), _MM_HINT_T0);
    }
};

template <class L>
struct SpanSums : SpanLanes<L> {
    using typename SpanLanes<L>::Px;
    using SpanLanes<L>::kChunk;

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

    // The mean of an interval from its first pixel a (value `first`, weight w0), its last pixel b
    // (`last`, weight w1) and the pixels between, which next() gives one after another from
    // a + 1 on; `total` is the interval's weight as located, pixel a + 1 counted whole in it when
    // it precedes b. Where it does not, the single-pixel kernel adds pixel a + 1 with weight +0,
    // which changes no bit of the non-negative sum, so here it is not read. Every sum of an area
    // average goes through here, in the single-pixel kernel's order.
    template <class Next>
    static TRAPEZOID_SPAN_INLINE Px Mean(Px first, double w0, Px last, double w1, double total,
                                         std::int32_t a, std::int32_t b, Next next) noexcept {
        Px sum = L::Scaled(first, w0);
        sum = L::Added(sum, L::Scaled(last, w1));
        if (a + 1 < b) {
            sum = L::Added(sum, next());
            // Counted rather than bounded: a + 2 may lie past the 32-bit limit.
            for (std::int32_t between = b - a - 2; between > 0; --between) {
                sum = L::Added(sum, next());
                total += 1.0;
            }
        }
        return L::Divided(sum, total);
    }
};
