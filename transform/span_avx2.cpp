// Span kernels for AVX2, compiled with -mavx2 (never with FMA, so no product is fused into a
// sum): a pixel's four channels in one 256-bit register, four samples' positions and weights per
// register. Called only once the CPU check found AVX2; every lane does what the SSE2 lanes do.
#include <immintrin.h>

#include "transform/span_path.h"

#if !defined(__AVX2__) || defined(__FMA__)
#error "This file is built with -mavx2 and without -mfma."
#endif

namespace {

constexpr double kSlack = 1e-7;  // the truncation slack of channels.h

struct Avx2Lanes {
    using Px = __m256d;
    using Pd = __m256d;
    static constexpr int kLanes = 4;

    static Px FromPixel(Pixel32 p) noexcept {
        return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int>(p))));
    }
    static Px Zero() noexcept { return _mm256_setzero_pd(); }
    static Px Load(const double* d) noexcept { return _mm256_loadu_pd(d); }
    static void Store(double* d, Px v) noexcept { _mm256_storeu_pd(d, v); }
    static Px Scaled(Px v, double w) noexcept { return _mm256_mul_pd(v, _mm256_set1_pd(w)); }
    static Px Added(Px a, Px b) noexcept { return _mm256_add_pd(a, b); }
    static Px Divided(Px v, double d) noexcept { return _mm256_div_pd(v, _mm256_set1_pd(d)); }
    // The channels of v truncated to four 32-bit integers, after the truncation slack.
    static __m128i Truncated(Px v) noexcept {
        return _mm256_cvttpd_epi32(_mm256_add_pd(v, _mm256_set1_pd(kSlack)));
    }

    // In doubles: lanes past a line that ends at the 32-bit limit still get their positions.
    static Pd Ramp(std::int32_t p) noexcept { return _mm256_set_pd(p + 3.0, p + 2.0, p + 1.0, p); }
    static Pd Gather(const std::int32_t* p) noexcept {
        return _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static Pd Splat(double v) noexcept { return _mm256_set1_pd(v); }
    static Pd Add(Pd a, Pd b) noexcept { return _mm256_add_pd(a, b); }
    static Pd Sub(Pd a, Pd b) noexcept { return _mm256_sub_pd(a, b); }
    static Pd Mul(Pd a, Pd b) noexcept { return _mm256_mul_pd(a, b); }
    static Pd Div(Pd a, Pd b) noexcept { return _mm256_div_pd(a, b); }
    static Pd Min(Pd a, Pd b) noexcept { return _mm256_min_pd(a, b); }
    static Pd Max(Pd a, Pd b) noexcept { return _mm256_max_pd(a, b); }
    static Pd And(Pd a, Pd b) noexcept { return _mm256_and_pd(a, b); }
    static Pd Less(Pd a, Pd b) noexcept { return _mm256_cmp_pd(a, b, _CMP_LT_OS); }
    // Positions are kept inside [0, n): callers stay inside, this only guards the buffer.
    static Pd ClampToLine(Pd x, std::int32_t n) noexcept {
        x = _mm256_max_pd(x, _mm256_setzero_pd());
        const __m256d beyond = _mm256_cmp_pd(x, _mm256_set1_pd(static_cast<double>(n)), _CMP_GE_OS);
        return _mm256_blendv_pd(x, _mm256_set1_pd(static_cast<double>(n - 1)), beyond);
    }
    // Whole parts of non-negative x, stored to index[0..kLanes), and returned as doubles: those
    // are x rounded toward zero, the same numbers without waiting for the integers.
    static Pd Truncate(Pd x, std::int32_t* index) noexcept {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(index), _mm256_cvttpd_epi32(x));
        return _mm256_round_pd(x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    }
    static void StoreSamples(double* d, Pd v) noexcept { _mm256_storeu_pd(d, v); }
    static Pd LoadSamples(const double* d) noexcept { return _mm256_loadu_pd(d); }
};

}  // namespace

const SpanPath& Avx2SpanPath() noexcept {
    static constexpr SpanPath path = PathOf<Avx2Lanes>();
    return path;
}
