// Tests of the line resampler: worked values, tap clamping, flat lines and a slow reference.
#include "transform/line_resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "transform/line_kernels.h"
#include "transform/span_path.h"

namespace {

// A pixel whose four channels all hold v.
Pixel32 Grey(unsigned v) { return v | (v << 8) | (v << 16) | (v << 24); }

std::vector<Pixel32> GreyLine(std::initializer_list<unsigned> values) {
    std::vector<Pixel32> line;
    for (unsigned v : values) line.push_back(Grey(v));
    return line;
}

struct CubicCase {
    std::vector<unsigned> line;
    double x;
    unsigned expected;
};

TEST(LineResampler, CubicWorkedValues) {
    const CubicCase cases[] = {
        {{0, 0, 255, 255}, 1.5, 127},       // weights -0.125, 0.625, 0.625, -0.125
        {{0, 255, 255, 0}, 1.5, 255},       // 318.75, clamped
        {{255, 0, 0, 255}, 1.5, 0},         // -63.75, clamped
        {{100, 100, 200, 200}, 1.25, 125},  // weights -0.140625, 0.890625, 0.296875, -0.046875
        {{10, 20, 30, 40}, 0.5, 13},        // first pixel: k0 = k1 = 0; 13.75
        {{10, 20, 30, 40}, 2.5, 36},        // i = n - 2: k3 = n - 1; 36.25
        {{10, 20, 30, 40}, 3.5, 41},        // last pixel: k2 = k3 = n - 1; 41.25
        {{10, 20, 30, 40}, 2.0, 30},        // whole position: the pixel itself
    };
    for (const CubicCase& c : cases) {
        std::vector<Pixel32> row;
        for (unsigned v : c.line) row.push_back(Grey(v));
        const auto n = static_cast<std::int32_t>(row.size());
        EXPECT_EQ(CubicRowSample(row.data(), c.x, 0, n), Grey(c.expected)) << "x=" << c.x;
        EXPECT_EQ(CubicColumnSample(row.data(), 0, c.x, 1, n), Grey(c.expected)) << "x=" << c.x;
    }
}

TEST(LineResampler, CubicReadsTheImageRowNotJustTheSelection) {
    // Row 1 of a 4 x 2 image: the taps of x = 1.5 are pixels 0..3 of that row only.
    const std::vector<Pixel32> image = {Grey(9), Grey(9), Grey(9),   Grey(9),
                                        Grey(0), Grey(0), Grey(255), Grey(255)};
    EXPECT_EQ(CubicRowSample(image.data(), 1.5, 1, 4), Grey(127));
}

TEST(LineResampler, BoxWorkedValues) {
    const std::vector<Pixel32> line = GreyLine({0, 0, 100, 200, 50});
    EXPECT_EQ(BoxRowAverage(line.data(), 2.5, 0, 2.0, 5), Grey(137));   // (50 + 200 + 25) / 2
    EXPECT_EQ(BoxRowAverage(line.data(), 3.0, 0, 1.0, 5), Grey(200));   // next pixel weight 0
    EXPECT_EQ(BoxRowAverage(line.data(), 3.25, 0, 0.5, 5), Grey(200));  // inside one pixel
    // Past the end: pixels 3 (0.5) and 4 (1) over the weight they received, 1.5.
    EXPECT_EQ(BoxRowAverage(line.data(), 3.5, 0, 3.0, 5), Grey(100));
    EXPECT_EQ(BoxColumnAverage(line.data(), 0, 2.5, 2.0, 1, 5), Grey(137));
}

TEST(LineResampler, FlatLinesStayFlat) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (unsigned v : {0u, 1u, 77u, 128u, 254u, 255u}) {
        const std::vector<Pixel32> line(64, Grey(v));
        for (int i = 0; i < 2000; ++i) {
            const double x = unit(rng) * 63.0;
            const double len = 0.01 + unit(rng) * 20.0;
            ASSERT_EQ(CubicRowSample(line.data(), x, 0, 64), Grey(v)) << x;
            ASSERT_EQ(BoxRowAverage(line.data(), x, 0, len, 64), Grey(v)) << x << " " << len;
        }
    }
}

// The exact mean of the line over [x, x + len), clipped to the line, by integrating each pixel's
// overlap: independent of the order and shape of the production code's sums.
double ReferenceMean(const std::vector<unsigned>& v, double x, double len) {
    double sum = 0.0;
    double weight = 0.0;
    for (std::size_t k = 0; k < v.size(); ++k) {
        const double overlap = std::min(k + 1.0, x + len) - std::max(static_cast<double>(k), x);
        if (overlap <= 0) continue;
        sum += v[k] * overlap;
        weight += overlap;
    }
    return sum / weight;
}

TEST(LineResampler, BoxAgreesWithIntegratedMean) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<unsigned> byte(0, 255);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<unsigned> values(40);
    std::vector<Pixel32> line(40);
    for (int trial = 0; trial < 3000; ++trial) {
        for (std::size_t k = 0; k < values.size(); ++k) line[k] = Grey(values[k] = byte(rng));
        const double x = unit(rng) * 39.9;
        const double len = 0.05 + unit(rng) * 8.0;
        const double expected = ReferenceMean(values, x, len);
        const auto got = static_cast<double>(Channel(BoxRowAverage(line.data(), x, 0, len, 40), 0));
        ASSERT_NEAR(got, std::floor(expected + 1e-7), 1.0) << x << " " << len;
    }
}

TEST(LineResampler, ColumnsSampleLikeRowsOfTheTransposedImage) {
    std::mt19937 rng(3);
    const int w = 7;
    const int h = 9;
    std::vector<Pixel32> image(w * h);
    std::vector<Pixel32> transposed(w * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) transposed[x * h + y] = image[y * w + x] = rng();
    }
    for (double s : {0.0, 0.3, 1.5, 4.75, 8.9}) {
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(CubicColumnSample(image.data(), x, s, w, h),
                      CubicRowSample(transposed.data(), s, x, h));
            EXPECT_EQ(BoxColumnAverage(image.data(), x, s, 1.7, w, h),
                      BoxRowAverage(transposed.data(), s, x, 1.7, h));
        }
    }
}

TEST(LineResampler, PositionsOutsideTheLineStayInTheBuffer) {
    const std::vector<Pixel32> line = GreyLine({10, 20, 30});
    EXPECT_EQ(CubicRowSample(line.data(), -5.55e-17, 0, 3), Grey(10));
    EXPECT_EQ(CubicRowSample(line.data(), 7.0, 0, 3), Grey(30));
    EXPECT_EQ(BoxRowAverage(line.data(), -3.0, 0, 1.0, 3), Grey(10));
    EXPECT_EQ(BoxRowAverage(line.data(), 5.0, 0, 2.0, 3), Grey(30));
    EXPECT_EQ(BoxRowAverage(line.data(), 1.0, 0, 0.0, 3), Grey(20));
    EXPECT_EQ(CubicRowSample(line.data(), 1.0, 0, 0), 0u);
}

// Isolated positions sampled a chunk at a time by each path's kernels give the single-position
// samplers' bits: stretched and squeezed, over chunk boundaries, along a row and a strided line,
// with positions whose samples or intervals reach past either end, and an empty interval.
TEST(LineResampler, IsolatedPositionsEqualTheSinglePositionSamplers) {
    std::mt19937 rng(11);
    constexpr std::int32_t kLength = 997;
    std::vector<Pixel32> pixels(2 * kLength);
    for (Pixel32& p : pixels) p = rng();
    // Close positions (their taps shared), then far ones, then past the end.
    std::vector<std::int32_t> at;
    for (std::int32_t p = -3; p < 1400;
         p += 1 + static_cast<std::int32_t>(rng() % (p < 160 ? 3 : 40))) {
        at.push_back(p);
    }
    const auto count = static_cast<std::int32_t>(at.size());
    // What a kernel hands out, chunk by chunk, checked against `expected` at each position.
    std::vector<std::int32_t> seen;
    const auto check = [&](auto expected) {
        seen.clear();
        return [&seen, expected](const std::int32_t* positions, const Pixel32* values,
                                 std::int32_t m) {
            for (std::int32_t j = 0; j < m; ++j) {
                seen.push_back(positions[j]);
                ASSERT_EQ(values[j], expected(positions[j])) << "at " << positions[j];
            }
        };
    };
    const LinePath chosen = ActiveLinePath();
    for (const auto& [path, step] : {std::pair<LinePath, std::ptrdiff_t>{LinePath::kSse2, 1},
                                     {LinePath::kSse2, 2},
                                     {LinePath::kAvx2, 1},
                                     {LinePath::kAvx2, 2}}) {
        if (!ChooseLinePath(path)) continue;
        SCOPED_TRACE(std::string(LinePathName(path)) + " step " + std::to_string(step));
        const CubicLineSampler sampler(pixels.data(), step, kLength);
        for (const double scale : {1.0, 1.37, 3.9}) {
            for (const double shift : {-2.5, 0.3}) {
                SampleStretchedAt(
                    sampler, at.data(), count, shift, scale, check([&](std::int32_t p) {
                        return CubicLineSample(pixels.data(), step, (p + shift) / scale, kLength);
                    }));
                EXPECT_EQ(seen, at) << "stretched";
            }
        }
        for (const double len : {0.0, 1.0, 1.43, 7.6}) {
            for (const double t : {0.4, 2.7}) {
                AverageSqueezedAt(pixels.data(), step, kLength, 3, t, len, at.data(), count,
                                  check([&](std::int32_t p) {
                                      const double x = 3 + ((p - 3) - t) * len;
                                      return BoxLineAverage(pixels.data(), step, x, len, kLength);
                                  }));
                EXPECT_EQ(seen, at) << "squeezed";
            }
        }
    }
    ChooseLinePath(chosen);
}

// Spans whose positions begin before the line and end past it give the single-position
// samplers' bits on every path, the chunks wholly inside the line as much as those at its ends;
// so do rows of neighbouring columns whose positions the walk has not shown to lie inside.
TEST(LineResampler, SpansReachingPastTheLineEqualTheSinglePositionSamplers) {
    std::mt19937 rng(5);
    constexpr std::int32_t kLength = 301;
    std::vector<Pixel32> pixels(kLength);
    for (Pixel32& p : pixels) p = rng();
    std::vector<Pixel32> out(2 * kLength);
    std::vector<double> scratch(4 * (kLength + 2));
    const LinePath chosen = ActiveLinePath();
    for (const LinePath path : {LinePath::kSse2, LinePath::kAvx2}) {
        if (!ChooseLinePath(path)) continue;
        SCOPED_TRACE(LinePathName(path));
        for (const auto& [shift, scale] : {std::pair{-5.5, 1.0}, {-9.25, 1.37}}) {
            const auto to = static_cast<std::int32_t>((kLength + 9) * scale);
            ActiveSpanPath().stretch(pixels.data(), {0, to, shift, scale, kLength, 1},
                                     scratch.data(), out.data());
            for (std::int32_t p = 0; p < to; ++p) {
                ASSERT_EQ(out[p], CubicLineSample(pixels.data(), 1, (p + shift) / scale, kLength))
                    << "stretched at " << p;
            }
        }
        for (const auto& [t, len] : {std::pair{3.5, 1.0}, {6.25, 1.43}}) {
            const auto to = static_cast<std::int32_t>((kLength + 9) / len);
            ActiveSpanPath().squeeze(pixels.data(), {0, to, 0, t, len, kLength, 1, 0, kLength - 1},
                                     scratch.data(), out.data());
            for (std::int32_t p = 0; p < to; ++p) {
                ASSERT_EQ(out[p], BoxLineAverage(pixels.data(), 1, (p - t) * len, len, kLength))
                    << "squeezed at " << p;
            }
        }
        // 70 columns of 21 pixels; column j's numbers move its positions from before the column
        // to past it.
        constexpr std::int32_t kColumns = 70;
        constexpr std::int32_t kHeight = 21;
        std::vector<Pixel32> image(kColumns * kHeight);
        for (Pixel32& p : image) p = rng();
        std::vector<double> a(kColumns + 8, 0.0);
        std::vector<double> b(kColumns + 8, 1.0);
        for (std::int32_t j = 0; j < kColumns; ++j) {
            a[j] = -6.5 + 0.4 * j;
            b[j] = 1.0 + 0.01 * j;
        }
        for (std::int32_t y = 0; y + 1 < kHeight; ++y) {
            const AcrossRow row{image.data(), kColumns, kHeight,  y,    2,
                                a.data(),     b.data(), kColumns, false};
            const SpanPath& kernels = ActiveSpanPath();
            kernels.stretchAcross(row, out.data());
            kernels.stretchAcrossTwoRows(row, out.data() + kColumns, out.data() + 2 * kColumns);
            for (std::int32_t j = 0; j < kColumns; ++j) {
                const auto sample = [&](std::int32_t r) {
                    return CubicLineSample(image.data() + j, kColumns, (r + a[j]) / b[j], kHeight);
                };
                ASSERT_EQ(out[j], sample(y)) << "column " << j << " row " << y;
                ASSERT_EQ(out[kColumns + j], sample(y)) << "column " << j << " row " << y;
                ASSERT_EQ(out[2 * kColumns + j], sample(y + 1)) << "column " << j << " row " << y;
            }
            kernels.squeezeAcross(row, out.data());
            for (std::int32_t j = 0; j < kColumns; ++j) {
                const double x = 2 + ((y - 2) - a[j]) * b[j];
                ASSERT_EQ(out[j], BoxLineAverage(image.data() + j, kColumns, x, b[j], kHeight))
                    << "squeezed column " << j << " row " << y;
            }
        }
    }
    ChooseLinePath(chosen);
}

}  // namespace
