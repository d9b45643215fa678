// Line resampler: cubic convolution for stretched lines, area average for squeezed ones.
#include "transform/line_resampler.h"

#include "transform/line_kernels.h"

Pixel32 CubicRowSample(const Pixel32* source, double x, std::int32_t row, std::int32_t n) noexcept {
    if (n <= 0) return 0;
    return CubicLineSample(source + PixelIndex(0, row, n), 1, x, n);
}

Pixel32 CubicColumnSample(const Pixel32* source, std::int32_t column, double y, std::int32_t stride,
                          std::int32_t n) noexcept {
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
