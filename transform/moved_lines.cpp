// Moved lines: each result line's taps and weights computed once, then one weighted sum of source
// lines per result line, the same weights for every pixel of it.
#include "transform/moved_lines.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include <emmintrin.h>

#include "transform/shape_profile.h"

namespace {

// Weights in 1/16384: a weight (at most one, a cubic's least above -0.15) fits 16 signed bits, as
// the multiply-adds take them, and a sum of weighted bytes 32.
constexpr int kWeightBits = 14;
constexpr std::int32_t kWeightOne = 1 << kWeightBits;
constexpr std::int32_t kWeightHalf = kWeightOne / 2;
// A result line's taps: an area average spans its interval and one more at each end, a cubic
// convolution four, so no result line needs more than its interval's length plus four.
constexpr std::int32_t kTapsPerLine = 5;

// The cubic convolution's kernel (parameter -1), as the line resampler has it: 1 - s^2 (2 - s) up
// to a distance of 1, 4 - (8 - (5 - s) s) s from 1 to 2.
double NearWeight(double s) noexcept { return 1.0 - s * s * (2.0 - s); }
double FarWeight(double s) noexcept { return 4.0 - (8.0 - (5.0 - s) * s) * s; }

// The weights in 1/16384, rounded, the rounding's rest given to the heaviest tap so that they sum
// to one exactly and a constant picture stays constant.
void Quantize(const double* weights, std::int32_t count, std::int32_t* out) noexcept {
    if (count <= 0) return;
    std::int32_t sum = 0;
    std::int32_t heaviest = 0;
    for (std::int32_t t = 0; t < count; ++t) {
        out[t] = static_cast<std::int32_t>(std::floor(weights[t] * kWeightOne + 0.5));
        sum += out[t];
        if (std::fabs(weights[t]) > std::fabs(weights[heaviest])) heaviest = t;
    }
    out[heaviest] += kWeightOne - sum;
}

// The taps of the area average of lines [s0, s1) (whole lines from..), within [0, n).
std::int32_t AreaTaps(double s0, double s1, std::int32_t n, std::int32_t* from,
                      double* weights) noexcept {
    const auto first = static_cast<std::int32_t>(std::floor(s0));
    *from = first;
    if (!(s1 > s0)) {  // no interval at all: the line it lies in
        weights[0] = 1.0;
        return 1;
    }
    const auto last = std::min(static_cast<std::int32_t>(std::ceil(s1)), n) - 1;
    std::int32_t count = 0;
    for (std::int32_t k = first; k <= last; ++k) {
        const double covered = std::min(s1, k + 1.0) - std::max(s0, static_cast<double>(k));
        weights[count++] = std::max(covered, 0.0) / (s1 - s0);
    }
    return count;
}

// The taps of the cubic convolution at position x (pixel k at k), clamped to lines 0..n-1 as the
// line resampler clamps its taps, those that fall together merged.
std::int32_t CubicTaps(double x, std::int32_t n, std::int32_t* from, double* weights) noexcept {
    x = std::clamp(x, 0.0, static_cast<double>(n - 1));
    const auto i = static_cast<std::int32_t>(x);
    const double f = x - i;
    const double kernel[4] = {FarWeight(1 + f), NearWeight(f), NearWeight(1 - f), FarWeight(2 - f)};
    const auto clamp = [n](std::int32_t k) { return std::clamp(k, 0, n - 1); };
    *from = clamp(i - 1);
    const std::int32_t count = clamp(i + 2) - *from + 1;
    std::fill_n(weights, count, 0.0);
    for (std::int32_t k = 0; k < 4; ++k) weights[clamp(i - 1 + k) - *from] += kernel[k];
    return count;
}

// Taps t and t + 1 weights, each in 16 bits of one word (a missing last tap weighs 0), as the
// multiply-adds of a tap pair take them.
void PackPairs(const std::int32_t* weights, std::int32_t count, std::uint32_t* pairs) noexcept {
    for (std::int32_t t = 0; t < count; t += 2) {
        const auto low = static_cast<std::uint16_t>(weights[t]);
        const auto high = static_cast<std::uint16_t>(t + 1 < count ? weights[t + 1] : 0);
        pairs[t / 2] = low | static_cast<std::uint32_t>(high) << 16;
    }
}

std::int32_t WeightOf(const std::uint32_t* pairs, std::int32_t t) noexcept {
    return static_cast<std::int16_t>(pairs[t / 2] >> (t % 2 * 16));
}

// Weighted sums in 32 bits back to bytes: rounded (the sums started at a half), clamped to 0..255
// by the saturating packs.
__m128i PackSums(__m128i a, __m128i b, __m128i c, __m128i d) noexcept {
    const __m128i low =
        _mm_packs_epi32(_mm_srai_epi32(a, kWeightBits), _mm_srai_epi32(b, kWeightBits));
    const __m128i high =
        _mm_packs_epi32(_mm_srai_epi32(c, kWeightBits), _mm_srai_epi32(d, kWeightBits));
    return _mm_packus_epi16(low, high);
}

// A moved row: every byte of it the same weighted sum of the bytes below each other in the tap
// rows, 16 at a time, two taps a multiply-add; the last bytes one at a time alike.
void MoveRow(const Pixel32* firstTap, std::int32_t width, const LineTaps& taps,
             const std::uint32_t* pairs, Pixel32* out) noexcept {
    const std::size_t bytes = static_cast<std::size_t>(width) * 4;
    if (taps.count == 1) {
        std::memcpy(out, firstTap, bytes);  // a lone tap weighs one
        return;
    }
    const auto* in = reinterpret_cast<const std::uint8_t*>(firstTap);
    auto* to = reinterpret_cast<std::uint8_t*>(out);
    const __m128i zero = _mm_setzero_si128();
    std::size_t b = 0;
    for (; b + 16 <= bytes; b += 16) {
        __m128i sums[4];
        for (__m128i& sum : sums) sum = _mm_set1_epi32(kWeightHalf);
        for (std::int32_t t = 0; t < taps.count; t += 2) {
            const auto* row = in + static_cast<std::size_t>(t) * bytes + b;
            const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
            const __m128i second =
                t + 1 < taps.count ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + bytes))
                                   : zero;
            const __m128i pair = _mm_set1_epi32(static_cast<int>(pairs[t / 2]));
            const __m128i low = _mm_unpacklo_epi8(first, second);
            const __m128i high = _mm_unpackhi_epi8(first, second);
            sums[0] = _mm_add_epi32(sums[0], _mm_madd_epi16(_mm_unpacklo_epi8(low, zero), pair));
            sums[1] = _mm_add_epi32(sums[1], _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), pair));
            sums[2] = _mm_add_epi32(sums[2], _mm_madd_epi16(_mm_unpacklo_epi8(high, zero), pair));
            sums[3] = _mm_add_epi32(sums[3], _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), pair));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + b),
                         PackSums(sums[0], sums[1], sums[2], sums[3]));
    }
    for (; b < bytes; ++b) {
        std::int32_t sum = kWeightHalf;
        for (std::int32_t t = 0; t < taps.count; ++t) {
            sum += WeightOf(pairs, t) * in[static_cast<std::size_t>(t) * bytes + b];
        }
        const std::int32_t v = sum >> kWeightBits;  // arithmetic: a negative sum stays negative
        to[b] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
}

// A pixel of a moved row of columns as four channel sums: the weighted sum of neighbouring pixels
// of the same row, the four channels of two taps a multiply-add.
__m128i ColumnSum(const Pixel32* firstTap, const LineTaps& taps,
                  const std::uint32_t* pairs) noexcept {
    const __m128i zero = _mm_setzero_si128();
    __m128i sum = _mm_set1_epi32(kWeightHalf);
    for (std::int32_t t = 0; t < taps.count; t += 2) {
        const __m128i a = _mm_cvtsi32_si128(static_cast<int>(firstTap[t]));
        const __m128i b =
            t + 1 < taps.count ? _mm_cvtsi32_si128(static_cast<int>(firstTap[t + 1])) : zero;
        const __m128i channels = _mm_unpacklo_epi8(_mm_unpacklo_epi8(a, b), zero);
        sum = _mm_add_epi32(
            sum, _mm_madd_epi16(channels, _mm_set1_epi32(static_cast<int>(pairs[t / 2]))));
    }
    return sum;
}

// The same for up to four taps in one load of four pixels, the weights past the last tap 0.
__m128i FourTapSum(const Pixel32* firstTap, const std::uint32_t* weights) noexcept {
    const __m128i zero = _mm_setzero_si128();
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(firstTap));
    const __m128i next = _mm_srli_si128(four, 4);
    const __m128i first = _mm_unpacklo_epi8(_mm_unpacklo_epi8(four, next), zero);
    const __m128i second = _mm_unpacklo_epi8(_mm_unpackhi_epi8(four, next), zero);
    const auto* w = reinterpret_cast<const __m128i*>(weights);
    const __m128i low = _mm_madd_epi16(first, _mm_loadu_si128(w));
    const __m128i high = _mm_madd_epi16(second, _mm_loadu_si128(w + 1));
    return _mm_add_epi32(_mm_add_epi32(_mm_set1_epi32(kWeightHalf), low), high);
}

}  // namespace

bool MovedLines::Same(const Key& key) const noexcept {
    const SelectionRect& a = key.rect;
    const SelectionRect& b = key_.rect;
    return ready_ && key.source == key_.source && key.width == key_.width &&
           key.height == key_.height && key.picture == key_.picture && a.left == b.left &&
           a.top == b.top && a.right == b.right && a.bottom == b.bottom &&
           key.shape == key_.shape && key.difference == key_.difference;
}

bool MovedLines::Allocate(const Key& key, bool picture) noexcept {
    const std::uint64_t pixels =
        picture ? static_cast<std::uint64_t>(key.width) * static_cast<std::uint64_t>(key.height)
                : 0;
    if (pixels > std::numeric_limits<std::size_t>::max() / sizeof(Pixel32)) return false;
    if (pixels != pixelCount_) {
        pixels_.reset();
        pixelCount_ = 0;
        pixels_.reset(new (std::nothrow) Pixel32[static_cast<std::size_t>(pixels)]);
        if (!pixels_) return false;
        pixelCount_ = static_cast<std::size_t>(pixels);
    }
    const std::int32_t lines = geometry_.extent;
    if (lines > lineCount_) {
        const auto n = static_cast<std::size_t>(lines);
        taps_.reset(new (std::nothrow) LineTaps[n]);
        weights_.reset(new (std::nothrow) std::uint32_t[kTapsPerLine * n + 8]);
        done_.reset(new (std::nothrow) std::uint8_t[n]);
        fourTaps_.reset(new (std::nothrow) FourTaps[n]);
        lineCount_ = taps_ && weights_ && done_ && fourTaps_ ? lines : 0;
        if (lineCount_ == 0) return false;
    }
    return true;
}

bool MovedLines::Prepare(const Pixel32* source, std::int32_t width, std::int32_t height,
                         const SelectionRect& rect, std::int32_t shape, std::int32_t difference,
                         bool picture) noexcept {
    const Key key{source, width, height, rect, shape, difference, picture};
    if (Same(key)) return true;
    ready_ = false;
    outOfMemory_ = false;
    if (source == nullptr || width <= 0 || height <= 0 || shape < 0 || shape >= kShapeCount ||
        difference == 0 || rect.right <= rect.left || rect.bottom <= rect.top) {
        return false;
    }
    const bool rows = ShapeRebuildsRows(shape);
    const LineGeometry g = GeometryOf(rect, rows, shape, difference, LineProfile::kPerspective);
    const LineMove move = MoveOf(g, width, height, rows, focal_);
    if (!move.moves) return false;
    geometry_ = g;
    if (!Allocate(key, picture)) {
        outOfMemory_ = true;
        return false;
    }
    geometry_ = MovedGeometry(g, move);
    PlanTaps(move, rows ? height : width);
    std::fill_n(done_.get(), g.extent, std::uint8_t{0});
    key_ = key;
    ready_ = true;
    return true;
}

// Result line j stands for source lines [g^-1(j), g^-1(j + 1)): where the move squeezes the
// picture (g' < 1) their area average, elsewhere the cubic convolution at its centre.
void MovedLines::PlanTaps(const LineMove& move, std::int32_t lines) noexcept {
    const LineGeometry& g = geometry_;
    const double extent = g.extent;
    double weights[kTapsPerLine * 64];
    std::int32_t at = 0;
    for (std::int32_t j = 0; j < g.extent; ++j) {
        const double centre = move.Source(j + 0.5);
        LineTaps& taps = taps_[static_cast<std::size_t>(j)];
        double* w = weights;
        std::int32_t from = 0;
        std::int32_t count = 0;
        if (move.Slope(centre) < 1) {
            double s0 = std::clamp(move.Source(j), 0.0, extent);
            double s1 = std::clamp(move.Source(j + 1.0), s0, extent);
            // An interval longer than the scratch holds is cut about its middle: the move
            // squeezes so far only at the strongest settings.
            constexpr double kLongest = kTapsPerLine * 64 - 4;
            if (s1 - s0 > kLongest) {
                const double middle = (s0 + s1) * 0.5;
                s0 = middle - kLongest * 0.5;
                s1 = middle + kLongest * 0.5;
            }
            count = AreaTaps(g.first + s0, g.first + s1, lines, &from, w);
        } else {
            count = CubicTaps(g.first + centre - 0.5, lines, &from, w);
        }
        taps = {from, count, at};
        std::int32_t quantized[kTapsPerLine * 64];
        Quantize(w, count, quantized);
        PackPairs(quantized, count, weights_.get() + at);
        // Up to four taps with four pixels of room: one load of the row, the weights ready.
        FourTaps& four = fourTaps_[static_cast<std::size_t>(j)];
        four.fits = count <= 4 && from + 4 <= lines;
        const std::uint32_t* pairs = weights_.get() + at;
        four.from = from;
        std::fill_n(four.weights, 4, pairs[0]);
        std::fill_n(four.weights + 4, 4, count > 2 ? pairs[1] : 0u);
        at += (count + 1) / 2;
    }
}

void MovedLines::MoveRowInto(std::int32_t row, Pixel32* out) const noexcept {
    const LineTaps& taps = Taps(row - geometry_.first);
    MoveRow(key_.source + PixelIndex(0, taps.from, key_.width), key_.width, taps,
            Weights() + taps.at, out);
}

void MovedLines::Ensure(std::int32_t from, std::int32_t to) noexcept {
    if (!ready_ || !key_.picture) return;
    const LineGeometry& g = geometry_;
    from = std::max(from, g.first) - g.first;
    to = std::min(to, g.first + g.extent) - g.first;
    const bool rows = ShapeRebuildsRows(key_.shape);
    for (std::int32_t j = from; j < to;) {
        if (done_[static_cast<std::size_t>(j)] != 0) {
            ++j;
            continue;
        }
        std::int32_t end = j;
        while (end < to && done_[static_cast<std::size_t>(end)] == 0) {
            done_[static_cast<std::size_t>(end++)] = 1;
        }
        if (rows) {
            for (std::int32_t k = j; k < end; ++k) {
                MoveRowInto(g.first + k, pixels_.get() + PixelIndex(0, g.first + k, key_.width));
            }
        } else {
            MoveColumnsInto(j, end, pixels_.get() + g.first + j, key_.width);
        }
        j = end;
    }
}

void MovedLines::MoveColumnsInto(std::int32_t from, std::int32_t to, Pixel32* out,
                                 std::int32_t stride) const noexcept {
    const auto sum = [&](const Pixel32* in, std::int32_t j) {
        const FourTaps& four = fourTaps_[static_cast<std::size_t>(j)];
        if (four.fits) return FourTapSum(in + four.from, four.weights);
        const LineTaps& taps = Taps(j);
        return ColumnSum(in + taps.from, taps, Weights() + taps.at);
    };
    const std::int32_t count = to - from;
    for (std::int32_t y = 0; y < key_.height; ++y) {
        const Pixel32* in = key_.source + PixelIndex(0, y, key_.width);
        Pixel32* row = out + PixelIndex(0, y, stride);
        std::int32_t k = 0;
        for (; count - k >= 4; k += 4) {
            const std::int32_t j = from + k;
            const __m128i packed =
                PackSums(sum(in, j), sum(in, j + 1), sum(in, j + 2), sum(in, j + 3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k), packed);
        }
        for (; k < count; ++k) {
            const __m128i s = sum(in, from + k);
            row[k] = static_cast<Pixel32>(_mm_cvtsi128_si32(PackSums(s, s, s, s)));
        }
    }
}
