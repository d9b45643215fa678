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

#include "transform/span_fetch.h"
#include "transform/span_locate.h"
#include "transform/spans.h"

template <class L>
struct SpanKernels : SpanLocate<L>, SpanFetch<L>, SpanSums<L> {
    using typename SpanLanes<L>::Px;
    using typename SpanLanes<L>::Pd;
    using SpanLanes<L>::kChunk;
    using Locating = SpanLocate<L>;
    using Locating::Both;
    using Locating::GatherTwo;
    using Locating::Greatest;
    using Locating::LanesOf;
    using Locating::Least;
    using Locating::LoadTwo;
    using Locating::Locate;
    using Locating::LocateSqueeze;
    using Locating::NextTwo;
    using Locating::RampTwo;
    using Locating::WithGuard;
    using typename Locating::Bounds;
    using typename Locating::Two;
    using Fetching = SpanFetch<L>;
    using Fetching::AskAhead;
    using Fetching::Positions;
    using Fetching::Prefetch;
    using Fetching::Tap;
    using Fetching::ToDoubles;
    using Fetching::WithStep;
    using Summing = SpanSums<L>;
    using Summing::Cubic;
    using Summing::Mean;
    using Summing::Pack;
    using Summing::PackEach;
    using Summing::PackTwo;

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
                    Locating::template Locate<decltype(guard)::value>(p, shift, scale, span.n,
                                                                      index + j, weights, nullptr);
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
                    Locating::template LocateSqueeze<decltype(guard)::value>(
                        p, t, len, span.lo, span.n, i0 + j, i1 + j, at3, nullptr);
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
                const double* pixel = slot(i0[j]);
                const auto next = [pixel]() mutable { return L::Load(pixel += 4); };
                return Mean(L::Load(pixel), w[0][j], L::Load(slot(i1[j])), w[1][j], w[2][j], i0[j],
                            i1[j], next);
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
                const std::int32_t b = i1[j];
                const Px last = inside || b < n ? tap(b) : L::Zero();
                std::int32_t k = i0[j];
                const auto next = [&] { return tap(++k); };
                return Mean(tap(k), w[0][j], last, w[1][j], w[2][j], i0[j], b, next);
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
                    Locating::template Locate<decltype(guard)::value>(y, LoadTwo(row.a + j0 + j),
                                                                      LoadTwo(row.b + j0 + j), n,
                                                                      index + j, at, &bounds);
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
                        Locating::template Locate<decltype(guard)::value>(
                            y, LoadTwo(row.a + j0 + j), LoadTwo(row.b + j0 + j), n, index[r] + j,
                            at, &bounds);
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

    // Column j's mean for SqueezeAcross, summed as Mean sums it: pixels a and b partly, then a + 1
    // and the whole pixels between. kInside: every pixel read lies in the column. Written out
    // rather than through Mean: that way the 32-bit build of this walk measured 7% slower.
    template <bool kInside>
    static TRAPEZOID_SPAN_INLINE Px AcrossMean(const Pixel32* column, std::ptrdiff_t s,
                                               std::int32_t n, std::int32_t a, std::int32_t b,
                                               const double* w0, const double* w1,
                                               double total) noexcept {
        const Px first = kInside ? L::FromPixel(column[a * s]) : Tap(column, s, n, a);
        const Px last = kInside || b < n ? L::FromPixel(column[b * s]) : L::Zero();
        Px sum = L::Scaled(first, *w0);
        sum = L::Added(sum, L::Scaled(last, *w1));
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
                    Locating::template LocateSqueeze<decltype(guard)::value>(
                        offset, LoadTwo(row.a + j0 + j), LoadTwo(row.b + j0 + j), row.lo, n, i0 + j,
                        i1 + j, at, &bounds);
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
