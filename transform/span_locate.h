// Span locating: where the samples of a chunk lie (tap or pixel numbers) and their weights,
// worked out two lane sets at a time, with the guards that keep positions inside their line.
// Templates on a lane set `L` (span_kernels.h says what it provides).
#pragma once

#include <cstdint>
#include <type_traits>

#include "transform/spans.h"

#define TRAPEZOID_SPAN_INLINE inline __attribute__((always_inline))

template <class L>
struct SpanLanes {
    using Px = typename L::Px;
    using Pd = typename L::Pd;
    static constexpr int kChunk = 64;  // samples whose weights are computed ahead
    static_assert(kChunk % (2 * L::kLanes) == 0);
};

template <class L>
struct SpanLocate : SpanLanes<L> {
    using typename SpanLanes<L>::Pd;

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
};
