// Line kernels: one output pixel of a stretched or squeezed line, along a line whose pixel k is
// line[k * step]. Inline, so that the pass's per-pixel loops pay no call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transform/channels.h"
#include "transform/pixel.h"

// Keeps a position inside [0, n): callers stay inside, this only guards the buffer.
[[nodiscard]] inline double ClampToLine(double x, std::int32_t n) noexcept {
    if (!(x >= 0.0)) return 0.0;
    if (x >= static_cast<double>(n)) return static_cast<double>(n - 1);
    return x;
}

// Cubic convolution (kernel parameter -1) at positions along one line; taps are clamped to the
// line. Consecutive samples of a stretched line mostly share their taps, so the four taps of the
// previous sample are kept, converted, and slide along when the next sample moves one pixel on.
class CubicLineSampler {
public:
    CubicLineSampler(const Pixel32* line, std::ptrdiff_t step, std::int32_t n) noexcept
        : line_(line), step_(step), n_(n) {}

    [[nodiscard]] Pixel32 Sample(double x) noexcept {
        x = ClampToLine(x, n_);
        const std::int32_t i = static_cast<std::int32_t>(x);
        const double f = x - i;
        if (f == 0.0) return line_[i * step_];  // a whole position: the pixel itself
        LoadTaps(i);
        const double a = 1.0 + f;
        const double b = 1.0 - f;
        const double c = 2.0 - f;
        const double w0 = 4.0 - (8.0 - (5.0 - a) * a) * a;
        const double w1 = 1.0 - (f * f) * (2.0 - f);
        const double w2 = 1.0 - (b * b) * (2.0 - b);
        const double w3 = 4.0 - (8.0 - (5.0 - c) * c) * c;
        Channels v = Scaled(taps_[0], w0);
        v = AddScaled(v, taps_[1], w1);
        v = AddScaled(v, taps_[2], w2);
        v = AddScaled(v, taps_[3], w3);
        return ClampPackChannels(v);
    }

private:
    [[nodiscard]] Channels Tap(std::int32_t k) const noexcept {
        return LoadChannels(line_[k * step_]);
    }

    // Taps i - 1, i, i + 1, i + 2, each clamped to 0..n - 1.
    void LoadTaps(std::int32_t i) noexcept {
        if (i == tapsAt_) return;
        const std::int32_t k3 = i < n_ - 2 ? i + 2 : n_ - 1;
        if (i == tapsAt_ + 1) {
            taps_[0] = taps_[1];
            taps_[1] = taps_[2];
            taps_[2] = taps_[3];
            taps_[3] = Tap(k3);
        } else {
            taps_[0] = Tap(i >= 1 ? i - 1 : 0);
            taps_[1] = Tap(i);
            taps_[2] = Tap(i < n_ - 1 ? i + 1 : n_ - 1);
            taps_[3] = Tap(k3);
        }
        tapsAt_ = i;
    }

    const Pixel32* line_;
    std::ptrdiff_t step_;
    std::int32_t n_;
    std::int32_t tapsAt_ = -2;  // no taps loaded yet
    Channels taps_[4] = {};
};

[[nodiscard]] inline Pixel32 CubicLineSample(const Pixel32* line, std::ptrdiff_t step, double x,
                                             std::int32_t n) noexcept {
    return CubicLineSampler(line, step, n).Sample(x);
}

// Area average over [x, x + length): the first partial pixel, the last partial pixel, then the
// whole pixels between, the total weight summed in the same order. The part of the interval
// beyond the line is dropped and the mean taken over the weight actually used.
[[nodiscard]] inline Pixel32 BoxLineAverage(const Pixel32* line, std::ptrdiff_t step, double x,
                                            double length, std::int32_t n) noexcept {
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
