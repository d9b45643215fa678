// Four channel values of a pixel as doubles, blue to alpha, in two SSE2 registers: every
// operation is the same IEEE double operation on each channel, so results equal those of plain
// scalar arithmetic in the same order, in the native and the 32-bit build alike.
#pragma once

#include <emmintrin.h>

#include "transform/pixel.h"

#if !defined(__SSE2__)
#error "The transform engine needs SSE2 double arithmetic (-msse2 -mfpmath=sse on i686)."
#endif

// The per-pixel kernels are large for the compiler's taste but run once per output pixel.
#define TRAPEZOID_HOT_INLINE inline __attribute__((always_inline))

struct Channels {
    __m128d blueGreen;
    __m128d redAlpha;
};

[[nodiscard]] inline Channels LoadChannels(Pixel32 p) noexcept {
    const __m128i zero = _mm_setzero_si128();
    __m128i v = _mm_cvtsi32_si128(static_cast<int>(p));
    v = _mm_unpacklo_epi16(_mm_unpacklo_epi8(v, zero), zero);
    return {_mm_cvtepi32_pd(v), _mm_cvtepi32_pd(_mm_shuffle_epi32(v, 0xEE))};
}

// p * w, with the weight in both lanes of `weight`
[[nodiscard]] inline Channels Scaled(const Channels& p, __m128d weight) noexcept {
    return {_mm_mul_pd(p.blueGreen, weight), _mm_mul_pd(p.redAlpha, weight)};
}
[[nodiscard]] inline Channels Scaled(const Channels& p, double w) noexcept {
    return Scaled(p, _mm_set1_pd(w));
}

// sum + p * w
[[nodiscard]] inline Channels AddScaled(const Channels& sum, const Channels& p,
                                        __m128d weight) noexcept {
    const Channels term = Scaled(p, weight);
    return {_mm_add_pd(sum.blueGreen, term.blueGreen), _mm_add_pd(sum.redAlpha, term.redAlpha)};
}
[[nodiscard]] inline Channels AddScaled(const Channels& sum, const Channels& p, double w) noexcept {
    return AddScaled(sum, p, _mm_set1_pd(w));
}

// sum + p
[[nodiscard]] inline Channels Added(const Channels& sum, const Channels& p) noexcept {
    return {_mm_add_pd(sum.blueGreen, p.blueGreen), _mm_add_pd(sum.redAlpha, p.redAlpha)};
}

// sum / d
[[nodiscard]] inline Channels Divided(const Channels& sum, double d) noexcept {
    const __m128d divisor = _mm_set1_pd(d);
    return {_mm_div_pd(sum.blueGreen, divisor), _mm_div_pd(sum.redAlpha, divisor)};
}

// Added before truncation, so that a mean whose exact value is a whole number but comes out a
// hair low in floating point keeps that number: flat areas stay flat.
constexpr double kTruncationSlack = 1e-7;

// Truncates each channel (already within 0..255) after adding the slack, and packs the pixel.
[[nodiscard]] inline Pixel32 PackChannels(const Channels& c) noexcept {
    const __m128d slack = _mm_set1_pd(kTruncationSlack);
    const __m128i low = _mm_cvttpd_epi32(_mm_add_pd(c.blueGreen, slack));
    const __m128i high = _mm_cvttpd_epi32(_mm_add_pd(c.redAlpha, slack));
    const __m128i four = _mm_unpacklo_epi64(low, high);
    const __m128i words = _mm_packs_epi32(four, four);
    const __m128i bytes = _mm_packus_epi16(words, words);
    return static_cast<Pixel32>(_mm_cvtsi128_si32(bytes));
}

// Clamps each channel to 0..255 first: kernels and rounding can overshoot.
[[nodiscard]] inline Pixel32 ClampPackChannels(const Channels& c) noexcept {
    const __m128d low = _mm_setzero_pd();
    const __m128d high = _mm_set1_pd(255.0);
    return PackChannels({_mm_max_pd(_mm_min_pd(c.blueGreen, high), low),
                         _mm_max_pd(_mm_min_pd(c.redAlpha, high), low)});
}
