// Line kernels: one output pixel of a stretched or squeezed line, along a line whose pixel k is
// line[k * step]. Inline, so that the pass's per-pixel loops pay no call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transform/channels.h"
#include "transform/pixel.h"
#include "transform/span_path.h"

// Keeps a position inside [0, n): callers stay inside, this only guards the buffer.
[[nodiscard]] inline double ClampToLine(double x, std::int32_t n) noexcept {
    if (!(x >= 0.0)) return 0.0;
    if (x >= static_cast<double>(n)) return static_cast<double>(n - 1);
    return x;
}

// Cubic convolution (kernel parameter -1) at single positions along one line, the reference the
// span kernels match; taps are clamped to the line. Positions and weights are computed in packed
// arithmetic (each lane with the same operations as a scalar sample). The converted taps are kept
// in a ring
// indexed by pixel number, so a stretched line, whose samples advance by at most one pixel,
// converts one new pixel per sample and never branches on whether it moved.
class CubicLineSampler {
   public:
    CubicLineSampler(const Pixel32* line, std::ptrdiff_t step, std::int32_t n) noexcept
        : line_(line), step_(step), n_(n) {}

    [[nodiscard]] TRAPEZOID_HOT_INLINE Pixel32 Sample(double x) noexcept {
        const Positions at = Locate(_mm_set1_pd(x));
        return Combine(_mm_cvtsi128_si32(at.pixel), (at.whole & 1) != 0, at.weights, 0);
    }

    [[nodiscard]] const Pixel32* Line() const noexcept { return line_; }
    [[nodiscard]] std::ptrdiff_t Step() const noexcept { return step_; }
    [[nodiscard]] std::int32_t Length() const noexcept { return n_; }

   private:
    // Two positions split into pixel and fraction, with the four tap weights of each.
    struct Positions {
        __m128i pixel;
        int whole;  // bit per lane: the position is a whole number
        __m128d weights[4];
    };

    [[nodiscard]] TRAPEZOID_HOT_INLINE Positions Locate(__m128d x) const noexcept {
        x = ClampToLine(x);
        const __m128i i = _mm_cvttpd_epi32(x);
        const __m128d f = _mm_sub_pd(x, _mm_cvtepi32_pd(i));
        const __m128d one = _mm_set1_pd(1.0);
        const __m128d a = _mm_add_pd(one, f);
        const __m128d b = _mm_sub_pd(one, f);
        const __m128d c = _mm_sub_pd(_mm_set1_pd(2.0), f);
        return {i,
                _mm_movemask_pd(_mm_cmpeq_pd(f, _mm_setzero_pd())),
                {FarWeight(a), NearWeight(f), NearWeight(b), FarWeight(c)}};
    }

    // Positions are kept inside [0, n): callers stay inside, this only guards the buffer.
    [[nodiscard]] __m128d ClampToLine(__m128d x) const noexcept {
        x = _mm_max_pd(x, _mm_setzero_pd());
        const __m128d beyond = _mm_cmpge_pd(x, _mm_set1_pd(static_cast<double>(n_)));
        const __m128d last = _mm_set1_pd(static_cast<double>(n_ - 1));
        return _mm_or_pd(_mm_and_pd(beyond, last), _mm_andnot_pd(beyond, x));
    }

    // The kernel 1 - 2s^2 + s^3 for distances s up to 1, as 1 - s^2 (2 - s).
    [[nodiscard]] static __m128d NearWeight(__m128d s) noexcept {
        const __m128d squared = _mm_mul_pd(s, s);
        return _mm_sub_pd(_mm_set1_pd(1.0), _mm_mul_pd(squared, _mm_sub_pd(_mm_set1_pd(2.0), s)));
    }

    // The kernel 4 - 8s + 5s^2 - s^3 for distances s from 1 to 2, as 4 - (8 - (5 - s) s) s.
    [[nodiscard]] static __m128d FarWeight(__m128d s) noexcept {
        const __m128d inner = _mm_mul_pd(_mm_sub_pd(_mm_set1_pd(5.0), s), s);
        return _mm_sub_pd(_mm_set1_pd(4.0), _mm_mul_pd(_mm_sub_pd(_mm_set1_pd(8.0), inner), s));
    }

    [[nodiscard]] static __m128d Lane(__m128d v, int lane) noexcept {
        return lane == 0 ? _mm_unpacklo_pd(v, v) : _mm_unpackhi_pd(v, v);
    }

    // Tap numbers are 64-bit: a line may end at the 32-bit limit, and its last taps lie past it.
    TRAPEZOID_HOT_INLINE Pixel32 Combine(std::int64_t i, bool whole, const __m128d* w,
                                         int lane) noexcept {
        if (i - tapsAt_ > 1 || i < tapsAt_) {
            for (std::int64_t k = i - 1; k <= i + 2; ++k) Load(k);
        } else {
            Load(i + 2);  // a no-op reload when the sample stayed in the same pixel
        }
        tapsAt_ = i;
        if (whole) return line_[i * step_];  // a whole position: the pixel itself
        Channels v = Scaled(ring_[(i - 1) & 3], Lane(w[0], lane));
        v = AddScaled(v, ring_[i & 3], Lane(w[1], lane));
        v = AddScaled(v, ring_[(i + 1) & 3], Lane(w[2], lane));
        v = AddScaled(v, ring_[(i + 2) & 3], Lane(w[3], lane));
        return ClampPackChannels(v);
    }

    // Pixel k of the line, clamped to 0..n - 1, into ring slot k mod 4.
    void Load(std::int64_t k) noexcept {
        const std::int64_t clamped = k < 0 ? 0 : (k < n_ ? k : n_ - 1);
        ring_[k & 3] = LoadChannels(line_[clamped * step_]);
    }

    const Pixel32* line_;
    std::ptrdiff_t step_;
    std::int32_t n_;
    std::int64_t tapsAt_ = -3;  // no taps loaded yet
    Channels ring_[4] = {};
};

// Output pixels the span kernels compute ahead before handing them out.
constexpr std::int32_t kSpanChunk = 64;

// Samples positions from..to-1 of a stretched line (scale >= 1), each at (p + shift) / scale:
// the sampler's values, computed a chunk at a time by the span kernels of the CPU's path, each
// chunk handed to put(p0, pixels, count) for positions p0..p0+count-1.
template <class Put>
void SampleStretched(const CubicLineSampler& sampler, std::int32_t from, std::int32_t to,
                     double shift, double scale, Put&& put) noexcept {
    if (sampler.Length() <= 0) return;
    const SpanPath& path = ActiveSpanPath();
    Pixel32 pixels[kSpanChunk];
    std::int32_t count = 0;  // steps by the chunk actually taken, so p0 never passes `to`
    for (std::int32_t p0 = from; p0 < to; p0 += count) {
        count = to - p0 < kSpanChunk ? to - p0 : kSpanChunk;
        const StretchSpan span{p0, p0 + count, shift, scale, sampler.Length(), sampler.Step()};
        path.stretch(sampler.Line(), span, nullptr, pixels);
        put(p0, pixels, count);
    }
}

// SampleStretched at the isolated positions at[0..count) instead of a run: each chunk handed to
// put(positions, pixels, m), pixels[j] being the value at positions[j].
template <class Put>
void SampleStretchedAt(const CubicLineSampler& sampler, const std::int32_t* at, std::int32_t count,
                       double shift, double scale, Put&& put) noexcept {
    if (sampler.Length() <= 0) return;
    const SpanPath& path = ActiveSpanPath();
    const StretchSpan span{0, 0, shift, scale, sampler.Length(), sampler.Step()};
    Pixel32 pixels[kSpanChunk];
    for (std::int32_t j0 = 0; j0 < count; j0 += kSpanChunk) {
        const std::int32_t m = count - j0 < kSpanChunk ? count - j0 : kSpanChunk;
        path.stretchAt(sampler.Line(), span, at + j0, m, pixels);
        put(at + j0, pixels, m);
    }
}

[[nodiscard]] inline Pixel32 CubicLineSample(const Pixel32* line, std::ptrdiff_t step, double x,
                                             std::int32_t n) noexcept {
    return CubicLineSampler(line, step, n).Sample(x);
}

// Area average over [x, x + length): the first partial pixel, the last partial pixel, then the
// whole pixels between, the total weight summed in the same order. The part of the interval
// beyond the line is dropped and the mean taken over the weight actually used.
[[nodiscard]] TRAPEZOID_HOT_INLINE Pixel32 BoxLineAverage(const Pixel32* line, std::ptrdiff_t step,
                                                          double x, double length,
                                                          std::int32_t n) noexcept {
    x = ClampToLine(x, n);
    const std::int32_t i0 = static_cast<std::int32_t>(x);
    if (!(length > 0.0)) return line[i0 * step];
    const double e = x + length;
    const std::int32_t i1 = e < static_cast<double>(n) ? static_cast<std::int32_t>(e) : n;

    const double first = (i0 + 1) - x;
    Channels sum = Scaled(LoadChannels(line[i0 * step]), first);
    double total = first;
    if (i1 < n) {
        const double last = e - i1;
        sum = AddScaled(sum, LoadChannels(line[i1 * step]), last);
        total += last;
    }
    for (std::int32_t k = i0 + 1; k < i1; ++k) {
        sum = Added(sum, LoadChannels(line[k * step]));
        total += 1.0;
    }
    return PackChannels(Divided(sum, total));
}

// Area averages of positions from..to-1 of a squeezed line, each over [s, s + len) with
// s = lo + ((p - lo) - t) * len: BoxLineAverage's values, computed by the span kernels a chunk of
// at most `most` positions at a time into place(p0, count), a place for count pixels, then handed
// to done(p0, pixels, count). A chunk converts at most `reach` pixels into `converted`, which holds
// (reach + 2) * 4 doubles; an interval wider than that is averaged on its own.
template <class Place, class Done>
void AverageSqueezedInChunks(const Pixel32* line, std::ptrdiff_t step, std::int32_t n,
                             std::int32_t lo, double t, double len, std::int32_t from,
                             std::int32_t to, double* converted, std::int32_t reach,
                             std::int32_t most, Place&& place, Done&& done) noexcept {
    const auto start = [&](std::int32_t p) { return lo + ((p - lo) - t) * len; };
    const auto oneAtATime = [&](std::int32_t p, std::int32_t end) {
        for (; p < end; ++p) {
            Pixel32* pixel = place(p, 1);
            *pixel = BoxLineAverage(line, step, start(p), len, n);
            done(p, pixel, 1);
        }
    };
    const double per = len > 0.0 ? (reach - 3) / len : 0.0;
    if (!(per >= 1.0)) return oneAtATime(from, to);
    most = per < most ? static_cast<std::int32_t>(per) : most;
    const SpanPath& path = ActiveSpanPath();
    std::int32_t count = 0;  // steps by the chunk actually taken, so p0 never passes `to`
    for (std::int32_t p0 = from; p0 < to; p0 += count) {
        count = to - p0 > most ? most : to - p0;
        const std::int32_t end = p0 + count;
        const double e = ClampToLine(start(end - 1), n) + len;
        const SqueezeSpan span{p0,
                               end,
                               lo,
                               t,
                               len,
                               n,
                               step,
                               static_cast<std::int32_t>(ClampToLine(start(p0), n)),
                               e < n ? static_cast<std::int32_t>(e) : n - 1};
        if (span.readLast - span.readFirst + 1 > reach) {
            oneAtATime(p0, end);
            continue;
        }
        Pixel32* const pixels = place(p0, count);
        path.squeeze(line, span, converted, pixels);
        done(p0, pixels, count);
    }
}

// AverageSqueezedInChunks with scratch of its own, each chunk handed to put(p0, pixels, count).
template <class Put>
void AverageSqueezed(const Pixel32* line, std::ptrdiff_t step, std::int32_t n, std::int32_t lo,
                     double t, double len, std::int32_t from, std::int32_t to, Put&& put) noexcept {
    constexpr std::int32_t kReach = 256;  // pixels a chunk may read
    alignas(32) double converted[(kReach + 2) * 4];
    Pixel32 pixels[kSpanChunk];
    AverageSqueezedInChunks(
        line, step, n, lo, t, len, from, to, converted, kReach, kSpanChunk,
        [&](std::int32_t, std::int32_t) { return pixels; }, put);
}

// AverageSqueezed at the isolated positions at[0..count) instead of a run: each chunk handed to
// put(positions, pixels, m), pixels[j] being the value at positions[j], computed by the span
// kernels unless the interval is empty.
template <class Put>
void AverageSqueezedAt(const Pixel32* line, std::ptrdiff_t step, std::int32_t n, std::int32_t lo,
                       double t, double len, const std::int32_t* at, std::int32_t count,
                       Put&& put) noexcept {
    if (!(len > 0.0)) {
        for (std::int32_t j = 0; j < count; ++j) {
            const Pixel32 pixel = BoxLineAverage(line, step, lo + ((at[j] - lo) - t) * len, len, n);
            put(at + j, &pixel, 1);
        }
        return;
    }
    const SpanPath& path = ActiveSpanPath();
    const SqueezeSpan span{0, 0, lo, t, len, n, step, 0, 0};
    Pixel32 pixels[kSpanChunk];
    for (std::int32_t j0 = 0; j0 < count; j0 += kSpanChunk) {
        const std::int32_t m = count - j0 < kSpanChunk ? count - j0 : kSpanChunk;
        path.squeezeAt(line, span, at + j0, m, pixels);
        put(at + j0, pixels, m);
    }
}
