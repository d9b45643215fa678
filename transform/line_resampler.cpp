// Line resampler: cubic convolution for stretched lines, area average for squeezed ones.
#include "transform/line_resampler.h"

#include <cstddef>

namespace {

// Four channel sums, blue to alpha, built with the same operations in the same order per channel.
struct ChannelSums {
    double c[4] = {0.0, 0.0, 0.0, 0.0};

    void Set(Pixel32 p, double w) noexcept {
        for (int i = 0; i < 4; ++i) c[i] = static_cast<double>(Channel(p, i)) * w;
    }
    void Add(Pixel32 p, double w) noexcept {
        for (int i = 0; i < 4; ++i) c[i] += static_cast<double>(Channel(p, i)) * w;
    }
    void Add(Pixel32 p) noexcept {
        for (int i = 0; i < 4; ++i) c[i] += static_cast<double>(Channel(p, i));
    }
};

[[nodiscard]] Pixel32 Pack(unsigned b, unsigned g, unsigned r, unsigned a) noexcept {
    return b | (g << 8) | (r << 16) | (a << 24);
}

// Keeps a position inside [0, n): callers stay inside, this only guards the buffer.
[[nodiscard]] double ClampPosition(double x, std::int32_t n) noexcept {
    if (!(x >= 0.0)) return 0.0;
    if (x >= static_cast<double>(n)) return static_cast<double>(n - 1);
    return x;
}

// Cubic convolution along a line whose pixel k is line[k * step].
Pixel32 CubicLineSample(const Pixel32* line, std::ptrdiff_t step, double x,
                        std::int32_t n) noexcept {
    x = ClampPosition(x, n);
    const std::int32_t i = static_cast<std::int32_t>(x);
    const double f = x - i;
    if (f == 0.0) return line[i * step];

    const std::int32_t k0 = i >= 1 ? i - 1 : 0;
    const std::int32_t k2 = i < n - 1 ? i + 1 : n - 1;
    const std::int32_t k3 = i < n - 2 ? i + 2 : n - 1;
    const double a = 1.0 + f;
    const double b = 1.0 - f;
    const double c = 2.0 - f;
    const double w0 = 4.0 - (8.0 - (5.0 - a) * a) * a;
    const double w1 = 1.0 - (f * f) * (2.0 - f);
    const double w2 = 1.0 - (b * b) * (2.0 - b);
    const double w3 = 4.0 - (8.0 - (5.0 - c) * c) * c;

    const Pixel32 p0 = line[k0 * step];
    const Pixel32 p1 = line[i * step];
    const Pixel32 p2 = line[k2 * step];
    const Pixel32 p3 = line[k3 * step];
    unsigned out[4];
    for (int ch = 0; ch < 4; ++ch) {
        const double v = ((w0 * Channel(p0, ch) + w1 * Channel(p1, ch)) + w2 * Channel(p2, ch)) +
                         w3 * Channel(p3, ch);
        out[ch] = ClampTruncateChannel(v);
    }
    return Pack(out[0], out[1], out[2], out[3]);
}

// Area average along a line whose pixel k is line[k * step]: first partial pixel, last partial
// pixel, then the whole pixels between, the total weight summed in the same order.
Pixel32 BoxLineAverage(const Pixel32* line, std::ptrdiff_t step, double x, double length,
                       std::int32_t n) noexcept {
    x = ClampPosition(x, n);
    const std::int32_t i0 = static_cast<std::int32_t>(x);
    if (!(length > 0.0)) return line[i0 * step];
    const double e = x + length;
    const std::int32_t i1 = e < static_cast<double>(n) ? static_cast<std::int32_t>(e) : n;

    const double first = (i0 + 1) - x;
    ChannelSums sum;
    sum.Set(line[i0 * step], first);
    double total = first;
    if (i1 < n) {
        const double last = e - i1;
        sum.Add(line[i1 * step], last);
        total += last;
    }
    for (std::int32_t k = i0 + 1; k < i1; ++k) {
        sum.Add(line[k * step]);
        total += 1.0;
    }
    return Pack(TruncateChannel(sum.c[0] / total), TruncateChannel(sum.c[1] / total),
                TruncateChannel(sum.c[2] / total), TruncateChannel(sum.c[3] / total));
}

}  // namespace

Pixel32 CubicRowSample(const Pixel32* source, double x, std::int32_t row,
                       std::int32_t n) noexcept {
    if (n <= 0) return 0;
    return CubicLineSample(source + PixelIndex(0, row, n), 1, x, n);
}

Pixel32 CubicColumnSample(const Pixel32* source, std::int32_t column, double y,
                          std::int32_t stride, std::int32_t n) noexcept {
    if (n <= 0) return 0;
    return CubicLineSample(source + column, stride, y, n);
}

Pixel32 BoxRowAverage(const Pixel32* source, double x, std::int32_t row, double length,
                      std::int32_t n) noexcept {
    if (n <= 0) return 0;
    return BoxLineAverage(source + PixelIndex(0, row, n), 1, x, length, n);
}

Pixel32 BoxColumnAverage(const Pixel32* source, std::int32_t column, double y, double length,
                         std::int32_t stride, std::int32_t n) noexcept {
    if (n <= 0) return 0;
    return BoxLineAverage(source + column, stride, y, length, n);
}
