// Tests of the transform pass: line geometry, worker choice per shape, progress, the rectangle
// as the only region written, and flat images staying flat at every size.
#include "transform/transform_pass.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "tests/far_image.h"
#include "transform/line_kernels.h"
#include "transform/span_path.h"

namespace {

constexpr Pixel32 kRed = 0xFFFF0000u;
constexpr Pixel32 kWhite = 0xFFFFFFFFu;

struct Image {
    std::int32_t width;
    std::int32_t height;
    std::vector<Pixel32> pixels;
    Image(std::int32_t w, std::int32_t h, Pixel32 value)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, value) {}
    Pixel32 At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

FillParams Fill(std::int32_t mode, Pixel32 colour = 0, std::int32_t transparent = 0) {
    return {mode, ResolveFillColour(mode, colour, transparent), transparent, 0, 0, 0, 0};
}

Image Transform(const Image& source, SelectionRect rect, int shape, int difference, FillParams fill,
                Pixel32 start = 0x5A5A5A5Au, LineProfile profile = LineProfile::kClassic) {
    Image dest(source.width, source.height, start);
    RunTransform(source.pixels.data(), dest.pixels.data(), source.width, source.height, rect, shape,
                 difference, profile, fill, nullptr);
    return dest;
}

Image Noise(int w, int h, unsigned seed) {
    Image image(w, h, 0);
    std::mt19937 rng(seed);
    for (Pixel32& p : image.pixels) p = rng();
    return image;
}

TEST(TransformPass, SqueezedRowsOfTheWorkedExample) {
    // W = 100, H = 50, difference 50, shape 1: D = 25; row 0 has t = 24.75, the last 0.25.
    const Image red(100, 50, kRed);
    const Image out = Transform(red, {0, 0, 100, 50}, 1, 50, Fill(4));
    for (int x = 0; x < 100; ++x) {
        const Pixel32 expected = x <= 23 || x >= 76 ? kWhite : (x == 24 || x == 75) ? 0 : kRed;
        if (expected == 0) {
            EXPECT_NE(out.At(x, 0), kWhite) << x;  // a blend of the fill and the line
            EXPECT_NE(out.At(x, 0), kRed) << x;
        } else {
            EXPECT_EQ(out.At(x, 0), expected) << x;
        }
    }
    for (int x = 1; x < 99; ++x) EXPECT_EQ(out.At(x, 49), kRed) << x;
    EXPECT_NE(out.At(0, 49), kRed);
    EXPECT_NE(out.At(99, 49), kRed);
}

// Whether row y of the output has any fill colour in it, that is, was squeezed.
bool RowHasFill(const Image& out, int y) {
    for (int x = 0; x < out.width; ++x) {
        if (out.At(x, y) == kWhite) return true;
    }
    return false;
}

TEST(TransformPass, WorkerChoicePerShapeAndSign) {
    const Image red(40, 10, kRed);
    const SelectionRect all{0, 0, 40, 10};
    Image out = Transform(red, all, 0, 60, Fill(4));
    EXPECT_TRUE(RowHasFill(out, 0));
    EXPECT_FALSE(RowHasFill(out, 9));
    out = Transform(red, all, 0, -60, Fill(4));
    EXPECT_FALSE(RowHasFill(out, 0));
    EXPECT_TRUE(RowHasFill(out, 9));
    out = Transform(red, all, 2, 60, Fill(4));  // bottom: the top row is barely squeezed
    EXPECT_EQ(out.At(1, 0), kRed);
    EXPECT_TRUE(RowHasFill(out, 9));
    // Stretching shapes have no undefined area: a flat image stays flat.
    for (int shape : {1, 2, 4, 5}) {
        out = Transform(red, all, shape, -100, Fill(4));
        for (Pixel32 p : out.pixels) ASSERT_EQ(p, kRed) << shape;
    }
}

TEST(TransformPass, UnsqueezedReducedRowIsACopy) {
    const Image noise = Noise(13, 3, 5);
    Image dest(13, 3, 0);
    FillParams fill = Fill(0);
    fill.right = 13;
    fill.bottom = 3;
    const SamplerContext ctx{noise.pixels.data(), 13, 3, &fill};
    const LinePass pass{dest.pixels.data(), &ctx, 0, 13, 0, 3, 0.0, FirstEdgeProfile};
    ReduceRow(pass, 1);
    EnlargeRow(pass, 2);
    for (int x = 0; x < 13; ++x) {
        EXPECT_EQ(dest.At(x, 1), noise.At(x, 1));
        EXPECT_EQ(dest.At(x, 2), noise.At(x, 2));
    }
}

TEST(TransformPass, ColumnsTransformLikeRowsOfTheTransposedImage) {
    const Image noise = Noise(11, 17, 9);
    Image transposed(17, 11, 0);
    for (int y = 0; y < 17; ++y) {
        for (int x = 0; x < 11; ++x) transposed.pixels[x * 17 + y] = noise.At(x, y);
    }
    for (int shape = 0; shape < 3; ++shape) {
        for (int mode = 0; mode < 6; ++mode) {
            const Image cols =
                Transform(noise, {1, 2, 10, 16}, shape + 3, 63, Fill(mode, 0x80402010u));
            const Image rows =
                Transform(transposed, {2, 1, 16, 10}, shape, 63, Fill(mode, 0x80402010u));
            for (int y = 0; y < 17; ++y) {
                for (int x = 0; x < 11; ++x) ASSERT_EQ(cols.At(x, y), rows.At(y, x));
            }
        }
    }
}

std::vector<int> g_reports;
std::int32_t KV_STDCALL Record(std::int32_t current, std::int32_t total, std::intptr_t user) {
    EXPECT_EQ(total, 100);
    EXPECT_EQ(user, 42);
    g_reports.push_back(current);
    return 0;
}

TEST(TransformPass, ProgressReportsEachNewPercentageOnce) {
    const Image red(5, 3, kRed);
    Image dest = red;
    ProgressRecord progress{42, Record, 0};
    g_reports.clear();
    RunTransform(red.pixels.data(), dest.pixels.data(), 5, 3, {0, 0, 5, 3}, 1, 30,
                 LineProfile::kClassic, Fill(0), &progress);
    EXPECT_EQ(g_reports, (std::vector<int>{33, 66}));

    const Image tall(1, 1000, kRed);
    dest = tall;
    // Rows count their lines; columns, rebuilt a row at a time across a band of them, count rows.
    for (const std::int32_t shape : {1, 4}) {
        progress = {42, Record, 0};
        g_reports.clear();
        RunTransform(tall.pixels.data(), dest.pixels.data(), 1, 1000, {0, 0, 1, 1000}, shape, 30,
                     LineProfile::kClassic, Fill(0), &progress);
        EXPECT_EQ(g_reports.size(), 99u);
        EXPECT_EQ(g_reports.back(), 99);
    }
}

TEST(TransformPass, ProgressOfHugeSelectionsDoesNotOverflow) {
    ProgressRecord progress{42, Record, 0};
    g_reports.clear();
    ReportLinesDone(&progress, 30'000'000, 40'000'000);  // 3e9 does not fit in 32 bits
    ReportLinesDone(&progress, 39'999'999, 40'000'000);
    EXPECT_EQ(g_reports, (std::vector<int>{75, 99}));
}

TEST(TransformPass, DifferenceZeroWritesNothing) {
    const Image noise = Noise(9, 9, 1);
    for (int shape = 0; shape < 6; ++shape) {
        const Image out = Transform(noise, {0, 0, 9, 9}, shape, 0, Fill(4));
        for (Pixel32 p : out.pixels) ASSERT_EQ(p, 0x5A5A5A5Au);
    }
}

// Runs with two different starting values: a pixel written by the pass ends the same in both,
// a pixel left alone keeps its starting value.
void ExpectWritesExactly(const Image& source, SelectionRect rect, SelectionRect inside, int shape,
                         int difference, FillParams fill) {
    const Image a = Transform(source, rect, shape, difference, fill, 0x01010101u);
    const Image b = Transform(source, rect, shape, difference, fill, 0x02020202u);
    for (int y = 0; y < source.height; ++y) {
        for (int x = 0; x < source.width; ++x) {
            const bool in =
                x >= inside.left && x < inside.right && y >= inside.top && y < inside.bottom;
            if (in) {
                ASSERT_EQ(a.At(x, y), b.At(x, y)) << x << "," << y << " shape " << shape;
            } else {
                ASSERT_EQ(a.At(x, y), 0x01010101u) << x << "," << y;
                ASSERT_EQ(b.At(x, y), 0x02020202u) << x << "," << y;
            }
        }
    }
}

TEST(TransformPass, WritesEveryPixelOfTheRectangleAndNothingElse) {
    const Image noise = Noise(23, 19, 4);
    for (int shape = 0; shape < 6; ++shape) {
        for (int difference : {-100, -37, -1, 1, 37, 100}) {
            for (int mode = 0; mode < 6; ++mode) {
                const SelectionRect r{3, 2, 20, 15};
                ExpectWritesExactly(noise, r, r, shape, difference, Fill(mode, 0xFF00FF00u, 1));
            }
        }
    }
}

TEST(TransformPass, RectanglesAreClippedToTheImage) {
    const Image noise = Noise(10, 8, 2);
    const SelectionRect none{0, 0, 0, 0};
    ExpectWritesExactly(noise, {-5, -3, 4, 20}, {0, 0, 4, 8}, 1, 50, Fill(0));
    ExpectWritesExactly(noise, {6, 5, 30, 30}, {6, 5, 10, 8}, 3, -50, Fill(1));
    ExpectWritesExactly(noise, {8, 2, 3, 6}, none, 0, 50, Fill(0));    // inverted
    ExpectWritesExactly(noise, {12, 0, 20, 8}, none, 0, 50, Fill(0));  // beside the image
    ExpectWritesExactly(noise, {2, 4, 2, 8}, none, 4, 50, Fill(0));    // width 0
    Image dest(10, 8, 7);
    RunTransform(nullptr, dest.pixels.data(), 10, 8, {0, 0, 10, 8}, 0, 50, LineProfile::kClassic,
                 Fill(0), nullptr);
    RunTransform(noise.pixels.data(), nullptr, 10, 8, {0, 0, 10, 8}, 0, 50, LineProfile::kClassic,
                 Fill(0), nullptr);
    RunTransform(noise.pixels.data(), dest.pixels.data(), 0, 8, {0, 0, 10, 8}, 0, 50,
                 LineProfile::kClassic, Fill(0), nullptr);
    for (Pixel32 p : dest.pixels) ASSERT_EQ(p, 7u);
}

// Every size up to 14 x 14, every shape and every difference: with the edge-pixel or source-pixel
// fill a flat image stays flat, and buffers of exactly the image's size are never overrun.
TEST(TransformPass, FlatImagesStayFlatAtEverySize) {
    for (int w = 1; w <= 14; ++w) {
        for (int h = 1; h <= 14; ++h) {
            const Image flat(w, h, 0xFFFEFDFCu);
            for (int shape = 0; shape < 6; ++shape) {
                for (int difference = -100; difference <= 100; difference += 3) {
                    const Image out =
                        Transform(flat, {0, 0, w, h}, shape, difference, Fill(shape % 2));
                    for (Pixel32 p : out.pixels) {
                        ASSERT_EQ(p, 0xFFFEFDFCu)
                            << w << "x" << h << " shape " << shape << " difference " << difference;
                    }
                }
            }
        }
    }
}

TEST(TransformPass, RoundingCasesStayInsideTheImage) {
    // Sizes and settings whose insets round so that an end interval starts exactly at the
    // selection's edge or ends with a zero-weight pixel past the buffer.
    struct Case {
        int w, h, shape, difference;
    };
    for (const Case& c : {Case{12, 12, 0, 40}, Case{5, 6, 0, -48}, Case{3, 1, 3, 37}}) {
        const Image noise = Noise(c.w, c.h, 3);
        for (int mode = 0; mode < 6; ++mode) {
            ExpectWritesExactly(noise, {0, 0, c.w, c.h}, {0, 0, c.w, c.h}, c.shape, c.difference,
                                Fill(mode, 0xFF808080u));
        }
    }
}

TEST(TransformPass, DifferencesBeyondTheLimitCountAsTheLimit) {
    const Image noise = Noise(17, 13, 8);
    for (int shape = 0; shape < 6; ++shape) {
        for (const auto& [beyond, limit] :
             {std::pair{101, 100}, std::pair{-250, -100}, std::pair{2147483647, 100}}) {
            ASSERT_EQ(Transform(noise, {1, 2, 16, 12}, shape, beyond, Fill(0)).pixels,
                      Transform(noise, {1, 2, 16, 12}, shape, limit, Fill(0)).pixels)
                << shape << " " << beyond;
        }
    }
}

// Selections at coordinates up to the 32-bit limit, along the lines and across them, in images
// of which only the selection's part is stored: a flat image stays flat, and nothing beyond the
// selection is written.
TEST(TransformPass, FarSelectionsStayFlatAndInside) {
    constexpr std::int32_t kMax = 2147483647;
    constexpr Pixel32 kFlat = 0xFFC08040u;
    constexpr Pixel32 kStart = 0x5A5A5A5Au;
    struct Case {
        std::int32_t width, height;
        SelectionRect rect;
        std::int32_t x, y, count;  // the stored window
        bool rows;
    };
    const Case cases[] = {
        {(1 << 22) + 40, 1, {1 << 22, 0, (1 << 22) + 40, 1}, 1 << 22, 0, 40, true},
        {(1 << 24) + 50, 1, {(1 << 24) + 3, 0, (1 << 24) + 50, 1}, 1 << 24, 0, 50, true},
        {kMax, 1, {kMax - 70, 0, kMax, 1}, kMax - 74, 0, 74, true},
        {30, kMax, {2, kMax - 6, 28, kMax}, 0, kMax - 6, 180, true},
        {1, (1 << 23) + 40, {0, 1 << 23, 1, (1 << 23) + 40}, 0, (1 << 23) - 4, 44, false},
        {1, kMax, {0, kMax - 70, 1, kMax}, 0, kMax - 74, 74, false},
        {kMax, 1, {kMax - 70, 0, kMax, 1}, kMax - 74, 0, 74, false},
    };
    for (const Case& c : cases) {
        for (int shape = c.rows ? 0 : 3; shape < (c.rows ? 3 : 6); ++shape) {
            for (int difference : {-100, -37, 37, 100}) {
                for (int mode : {0, 1}) {
                    FarImage source(c.width, c.height, c.x, c.y, c.count, kFlat);
                    FarImage dest(c.width, c.height, c.x, c.y, c.count, kStart);
                    RunTransform(source.Pixels(), dest.Pixels(), c.width, c.height, c.rect, shape,
                                 difference, LineProfile::kClassic, Fill(mode), nullptr);
                    ASSERT_TRUE(dest.GuardsIntact()) << c.width << "x" << c.height;
                    for (std::int32_t i = 0; i < c.count; ++i) {
                        const std::int64_t at = std::int64_t{c.y} * c.width + c.x + i;
                        const auto x = static_cast<std::int32_t>(at % c.width);
                        const auto y = static_cast<std::int32_t>(at / c.width);
                        const bool in = x >= c.rect.left && x < c.rect.right && y >= c.rect.top &&
                                        y < c.rect.bottom;
                        ASSERT_EQ(dest.At(x, y), in ? kFlat : kStart)
                            << c.width << "x" << c.height << " at " << x << "," << y << " shape "
                            << shape << " difference " << difference;
                    }
                }
            }
        }
    }
}

// The fill as the pass has it, its rectangle the selection's.
FillParams Covering(FillParams fill, SelectionRect rect) {
    fill.left = rect.left;
    fill.top = rect.top;
    fill.right = rect.right;
    fill.bottom = rect.bottom;
    return fill;
}

// The pass as a plain walk of each line with the single-pixel kernels, the squeeze rule as the
// pass first had it: from both ends inward the fills, then the partly covered pixels, each
// position and then its mirror, then the area averages, a position that several writes reach
// showing the last. The reference that the line plans, the span kernels and the column walk must
// equal bit for bit.
Image ReferencePass(const Image& source, SelectionRect rect, int shape, int difference,
                    FillParams fill, LineProfile profile) {
    Image dest(source.width, source.height, 0x5A5A5A5Au);
    fill = Covering(fill, rect);
    const SamplerContext ctx{source.pixels.data(), source.width, source.height, &fill};
    const SamplerRow& ops = SamplerTable(fill.mode);
    const bool rows = ShapeRebuildsRows(shape);
    const LineGeometry g = GeometryOf(rect, rows, shape, difference, profile);
    const std::ptrdiff_t step = rows ? 1 : source.width;
    const std::int32_t n = rows ? source.width : source.height;
    const std::int32_t lo = g.lo;
    const std::int32_t hi = g.hi;
    for (std::int32_t line = g.first; line < g.first + g.extent; ++line) {
        const std::ptrdiff_t start = rows ? std::ptrdiff_t{line} * source.width : line;
        const Pixel32* in = source.pixels.data() + start;
        Pixel32* out = dest.pixels.data() + start;
        const auto op = [&](SamplerSlot slot, std::int32_t p, double s, double len) {
            return rows ? ops[slot](ctx, p, line, s, line, len)
                        : ops[slot](ctx, line, p, line, s, len);
        };
        const double t = g.Inset(line);
        if (!g.Squeezed(line, t)) {
            const StretchMap map = g.Stretch(t);
            for (std::int32_t p = lo; p < hi; ++p) {
                out[p * step] = CubicLineSample(in, step, (p + map.shift) / map.scale, n);
            }
            continue;
        }
        const double len = g.SqueezedPixelLength(t);
        std::int32_t p = lo;
        for (; p <= (lo + t) - 1 && p < hi; ++p) {
            const std::int32_t m = hi - 1 - (p - lo);
            out[p * step] = op(rows ? kOutsideLeft : kOutsideTop, p, 0.0, len);
            out[m * step] = op(rows ? kOutsideRight : kOutsideBottom, m, 0.0, len);
        }
        for (; p < lo + t && p < hi; ++p) {
            const std::int32_t m = hi - 1 - (p - lo);
            const double s = lo + ((p - lo) - t) * len;
            out[p * step] = op(rows ? kEdgeLeft : kEdgeTop, p, s, len);
            out[m * step] = op(rows ? kEdgeRight : kEdgeBottom, m, (hi - (s - lo)) - len, len);
        }
        for (; p <= (hi - t) - 1 && p < hi; ++p) {
            out[p * step] = BoxLineAverage(in, step, lo + ((p - lo) - t) * len, len, n);
        }
    }
    return dest;
}

// The pass as its line workers give it one line after another, as the column pass runs when it
// has no room for its band of columns.
Image WorkerPass(const Image& source, SelectionRect rect, int shape, int difference,
                 FillParams fill, LineProfile profile) {
    Image dest(source.width, source.height, 0x5A5A5A5Au);
    fill = Covering(fill, rect);
    const SamplerContext ctx{source.pixels.data(), source.width, source.height, &fill};
    const bool rows = ShapeRebuildsRows(shape);
    const LinePass pass{dest.pixels.data(), &ctx,
                        GeometryOf(rect, rows, shape, difference, profile)};
    for (int line = pass.lines.first; line < pass.lines.first + pass.lines.extent; ++line) {
        const bool squeezed = pass.lines.Squeezed(line, pass.lines.Inset(line));
        if (rows) {
            (squeezed ? ReduceRow : EnlargeRow)(pass, line);
        } else {
            (squeezed ? ReduceColumn : EnlargeColumn)(pass, line);
        }
    }
    return dest;
}

// The passes and the line workers against the plain walk: lines longer than the kernels' chunks,
// of even and odd lengths (whose middle pixel both ends of a line squeezed to nothing reach), both
// profiles and every path this CPU runs, and a rectangle of more columns than a band.
TEST(TransformPass, PassesEqualThePlainWalk) {
    const Image noise = Noise(150, 141, 6);
    const LinePath chosen = ActiveLinePath();
    for (const LinePath path : {LinePath::kSse2, LinePath::kAvx2}) {
        if (!ChooseLinePath(path)) continue;
        for (int shape = 0; shape < 6; ++shape) {
            for (const SelectionRect rect :
                 {SelectionRect{3, 2, 147, 140}, SelectionRect{4, 3, 147, 140}}) {
                for (int difference : {-100, -63, -30, -1, 1, 30, 63, 100}) {
                    for (int mode : {0, 1, 4}) {
                        for (LineProfile profile :
                             {LineProfile::kClassic, LineProfile::kPerspective}) {
                            const FillParams fill = Fill(mode, 0, mode == 1);
                            const Image fast = Transform(noise, rect, shape, difference, fill,
                                                         0x5A5A5A5Au, profile);
                            const Image slow =
                                ReferencePass(noise, rect, shape, difference, fill, profile);
                            ASSERT_EQ(
                                WorkerPass(noise, rect, shape, difference, fill, profile).pixels,
                                slow.pixels)
                                << LinePathName(path) << " shape " << shape;
                            ASSERT_EQ(fast.pixels, slow.pixels)
                                << LinePathName(path) << " shape " << shape << " difference "
                                << difference << " width " << rect.right - rect.left << " profile "
                                << static_cast<int>(profile);
                        }
                    }
                }
            }
        }
    }
    ChooseLinePath(chosen);
    // More columns than one band of the column walk takes.
    const Image wide = Noise(4200, 24, 7);
    const SelectionRect rect{5, 2, 4195, 22};
    for (int shape = 3; shape < 6; ++shape) {
        for (int difference : {-63, 30, 100}) {
            for (LineProfile profile : {LineProfile::kClassic, LineProfile::kPerspective}) {
                const FillParams fill = Fill(4);
                ASSERT_EQ(
                    Transform(wide, rect, shape, difference, fill, 0x5A5A5A5Au, profile).pixels,
                    ReferencePass(wide, rect, shape, difference, fill, profile).pixels)
                    << "shape " << shape << " difference " << difference;
            }
        }
    }
}

}  // namespace
