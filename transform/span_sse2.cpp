// Span kernels for SSE2, the baseline every CPU of the engine runs: a pixel's channels in two
// 128-bit registers, two samples' positions and weights per register.
#include <emmintrin.h>

#include "transform/span_path.h"

namespace {

constexpr double kSlack = 1e-7;  // the truncation slack of channels.h

struct Sse2Lanes {
    struct Px {
        __m128d blueGreen;
        __m128d redAlpha;
    };
    using Pd = __m128d;
    static constexpr int kLanes = 2;

    static Px FromPixel(Pixel32 p) noexcept {
        const __m128i zero = _mm_setzero_si128();
        __m128i v = _mm_cvtsi32_si128(static_cast<int>(p));
        v = _mm_unpacklo_epi16(_mm_unpacklo_epi8(v, zero), zero);
        return {_mm_cvtepi32_pd(v), _mm_cvtepi32_pd(_mm_shuffle_epi32(v, 0xEE))};
    }
    static Px Zero() noexcept { return {_mm_setzero_pd(), _mm_setzero_pd()}; }
    static Px Load(const double* d) noexcept { return {_mm_loadu_pd(d), _mm_loadu_pd(d + 2)}; }
    static void Store(double* d, Px v) noexcept {
        _mm_storeu_pd(d, v.blueGreen);
        _mm_storeu_pd(d + 2, v.redAlpha);
    }
    static Px Scaled(Px v, double w) noexcept {
        const __m128d weight = _mm_set1_pd(w);
        return {_mm_mul_pd(v.blueGreen, weight), _mm_mul_pd(v.redAlpha, weight)};
    }
    static Px Added(Px a, Px b) noexcept {
        return {_mm_add_pd(a.blueGreen, b.blueGreen), _mm_add_pd(a.redAlpha, b.redAlpha)};
    }
    static Px Divided(Px v, double d) noexcept {
        const __m128d divisor = _mm_set1_pd(d);
        return {_mm_div_pd(v.blueGreen, divisor), _mm_div_pd(v.redAlpha, divisor)};
    }
    // The channels of v truncated to four 32-bit integers, after the truncation slack.
    static __m128i Truncated(Px v) noexcept {
        const __m128d slack = _mm_set1_pd(kSlack);
        return _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_add_pd(v.blueGreen, slack)),
                                  _mm_cvttpd_epi32(_mm_add_pd(v.redAlpha, slack)));
    }

    // In doubles: lanes past a line that ends at the 32-bit limit still get their positions.
    static Pd Ramp(std::int32_t p) noexcept { return _mm_set_pd(p + 1.0, p); }
    static Pd Gather(const std::int32_t* p) noexcept {
        return _mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    static Pd Splat(double v) noexcept { return _mm_set1_pd(v); }
    static Pd Add(Pd a, Pd b) noexcept { return _mm_add_pd(a, b); }
    static Pd Sub(Pd a, Pd b) noexcept { return _mm_sub_pd(a, b); }
    static Pd Mul(Pd a, Pd b) noexcept { return _mm_mul_pd(a, b); }
    static Pd Div(Pd a, Pd b) noexcept { return _mm_div_pd(a, b); }
    static Pd Min(Pd a, Pd b) noexcept { return _mm_min_pd(a, b); }
    static Pd Max(Pd a, Pd b) noexcept { return _mm_max_pd(a, b); }
    static Pd And(Pd a, Pd b) noexcept { return _mm_and_pd(a, b); }
    static Pd Less(Pd a, Pd b) noexcept { return _mm_cmplt_pd(a, b); }  // a mask per lane
    // Positions are kept inside [0, n): callers stay inside, this only guards the buffer.
    static Pd ClampToLine(Pd x, std::int32_t n) noexcept {
        x = _mm_max_pd(x, _mm_setzero_pd());
        const __m128d beyond = _mm_cmpge_pd(x, _mm_set1_pd(static_cast<double>(n)));
        const __m128d last = _mm_set1_pd(static_cast<double>(n - 1));
        return _mm_or_pd(_mm_and_pd(beyond, last), _mm_andnot_pd(beyond, x));
    }
    // Whole parts of non-negative x, stored to index[0..kLanes), and returned as doubles.
    static Pd Truncate(Pd x, std::int32_t* index) noexcept {
        const __m128i i = _mm_cvttpd_epi32(x);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(index), i);
        return _mm_cvtepi32_pd(i);
    }
    static void StoreSamples(double* d, Pd v) noexcept { _mm_storeu_pd(d, v); }
    static Pd LoadSamples(const double* d) noexcept { return _mm_loadu_pd(d); }
};

}  // namespace

const SpanPath& Sse2SpanPath() noexcept {
    static constexpr SpanPath path = PathOf<Sse2Lanes>();
    return path;
}
