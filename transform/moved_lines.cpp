// Moved lines: each result line's taps and weights computed once, then one weighted sum of source
// lines per result line, the same weights for every pixel of it.
#include "transform/moved_lines.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "transform/shape_profile.h"

namespace {

constexpr int kWeightBits = 16;
constexpr std::int32_t kWeightOne = 1 << kWeightBits;
constexpr std::int32_t kWeightHalf = kWeightOne / 2;
// A result line's taps: an area average spans its interval and one more at each end, a cubic
// convolution four, so no result line needs more than its interval's length plus four.
constexpr std::int32_t kTapsPerLine = 5;

// The cubic convolution's kernel (parameter -1), as the line resampler has it: 1 - s^2 (2 - s) up
// to a distance of 1, 4 - (8 - (5 - s) s) s from 1 to 2.
double NearWeight(double s) noexcept { return 1.0 - s * s * (2.0 - s); }
double FarWeight(double s) noexcept { return 4.0 - (8.0 - (5.0 - s) * s) * s; }

// The weights in 1/65536, rounded, the rounding's rest given to the heaviest tap so that they sum
// to one exactly and a constant picture stays constant.
void Quantize(const double* weights, std::int32_t count, std::int32_t* out) noexcept {
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

std::uint8_t ClampedByte(std::int32_t sum) noexcept {
    const std::int32_t v = sum >> kWeightBits;  // arithmetic: a negative sum stays negative
    return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// A moved row: every byte of the row the same weighted sum of the bytes below each other in the
// tap rows, a chunk at a time so that the sums stay in registers and cache.
void MoveRow(const Pixel32* firstTap, std::int32_t width, const LineTaps& taps,
             const std::int32_t* weights, Pixel32* out) noexcept {
    const std::size_t bytes = static_cast<std::size_t>(width) * 4;
    if (taps.count == 1) {
        std::memcpy(out, firstTap, bytes);  // a lone tap weighs one
        return;
    }
    const auto* in = reinterpret_cast<const std::uint8_t*>(firstTap);
    auto* to = reinterpret_cast<std::uint8_t*>(out);
    constexpr std::size_t kChunk = 512;
    std::int32_t sums[kChunk];
    for (std::size_t b0 = 0; b0 < bytes; b0 += kChunk) {
        const std::size_t n = std::min(kChunk, bytes - b0);
        std::fill_n(sums, n, kWeightHalf);
        for (std::int32_t t = 0; t < taps.count; ++t) {
            const std::uint8_t* tap = in + t * bytes + b0;
            const std::int32_t w = weights[t];
            for (std::size_t b = 0; b < n; ++b) sums[b] += w * tap[b];
        }
        for (std::size_t b = 0; b < n; ++b) to[b0 + b] = ClampedByte(sums[b]);
    }
}

// Pixel j of a moved row of columns: the weighted sum of neighbouring pixels of the same row.
Pixel32 MovePixel(const Pixel32* firstTap, const LineTaps& taps,
                  const std::int32_t* weights) noexcept {
    const auto* in = reinterpret_cast<const std::uint8_t*>(firstTap);
    std::int32_t sums[4] = {kWeightHalf, kWeightHalf, kWeightHalf, kWeightHalf};
    for (std::int32_t t = 0; t < taps.count; ++t) {
        for (int c = 0; c < 4; ++c) sums[c] += weights[t] * in[4 * t + c];
    }
    Pixel32 moved = 0;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&moved);
    for (int c = 0; c < 4; ++c) bytes[c] = ClampedByte(sums[c]);
    return moved;
}

}  // namespace

bool MovedLines::Same(const Key& key) const noexcept {
    const SelectionRect& a = key.rect;
    const SelectionRect& b = key_.rect;
    return ready_ && key.source == key_.source && key.width == key_.width &&
           key.height == key_.height && a.left == b.left && a.top == b.top &&
           a.right == b.right && a.bottom == b.bottom && key.shape == key_.shape &&
           key.difference == key_.difference;
}

bool MovedLines::Allocate(const Key& key) noexcept {
    const std::uint64_t pixels = static_cast<std::uint64_t>(key.width) * key.height;
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
        weights_.reset(new (std::nothrow) std::int32_t[kTapsPerLine * n + 8]);
        done_.reset(new (std::nothrow) std::uint8_t[n]);
        lineCount_ = taps_ && weights_ && done_ ? lines : 0;
        if (lineCount_ == 0) return false;
    }
    return true;
}

bool MovedLines::Prepare(const Pixel32* source, std::int32_t width, std::int32_t height,
                         const SelectionRect& rect, std::int32_t shape,
                         std::int32_t difference) noexcept {
    const Key key{source, width, height, rect, shape, difference};
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
    if (!Allocate(key)) {
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
        Quantize(w, count, weights_.get() + at);
        at += count;
    }
}

void MovedLines::Ensure(std::int32_t from, std::int32_t to) noexcept {
    if (!ready_) return;
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
                const LineTaps& taps = Taps(k);
                MoveRow(key_.source + PixelIndex(0, taps.from, key_.width), key_.width, taps,
                        Weights() + taps.at, pixels_.get() + PixelIndex(0, g.first + k, key_.width));
            }
        } else {
            MoveColumns(j, end);
        }
        j = end;
    }
}

// Result columns from..to-1 (counted from the selection's first), a row at a time.
void MovedLines::MoveColumns(std::int32_t from, std::int32_t to) noexcept {
    const std::int32_t first = geometry_.first;
    for (std::int32_t y = 0; y < key_.height; ++y) {
        const Pixel32* in = key_.source + PixelIndex(0, y, key_.width);
        Pixel32* out = pixels_.get() + PixelIndex(first, y, key_.width);
        for (std::int32_t j = from; j < to; ++j) {
            const LineTaps& taps = Taps(j);
            out[j] = MovePixel(in + taps.from, taps, Weights() + taps.at);
        }
    }
}
