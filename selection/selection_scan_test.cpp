// Tests of the selection scan: bounding rectangles and line spans, against a byte-by-byte scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "selection/selection_scan.h"
#include "selection/selection_scan_reference.h"

namespace {

struct ScanCase {
    int width;
    int height;
    std::vector<std::uint8_t> mask;
    SelectionRect expected;
};

TEST(SelectionScan, BoundingRectangles) {
    const ScanCase cases[] = {
        {3, 2, {255, 255, 255, 255, 255, 255}, {3, 2, 1, 1}},  // nothing selected
        {3, 2, {255, 255, 255, 255, 7, 255}, {1, 1, 2, 2}},    // one pixel at (1, 1)
        {3, 2, {0, 254, 0, 1, 2, 3}, {0, 0, 3, 2}},            // 0 and 254 both count
        {4, 3, {255, 255, 255, 255, 255, 255, 255, 0, 255, 254, 255, 255}, {1, 1, 4, 3}},
        {0, 5, {}, {0, 0, 0, 0}},  // no pixels at all: empty on both axes
        {5, 0, {}, {0, 0, 0, 0}},
        {-3, 2, {}, {0, 0, 0, 0}},
        {2, -7, {}, {0, 0, 0, 0}},
    };
    for (const ScanCase& c : cases) {
        const SelectionRect r = ScanSelectionBounds(c.mask.data(), c.width, c.height);
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
}

// Rows and columns: the selected bytes' span, solid when nothing inside it is unselected.
TEST(SelectionScan, LineSpans) {
    constexpr std::uint8_t U = kUnselected;
    const std::vector<std::uint8_t> mask = {
        U, U, U, U, U, U,  // nothing selected
        U, 0, 0, 7, U, U,  // a solid run
        0, U, 0, 0, 0, U,  // a hole
        0, 0, 0, 0, 0, 0,  // everything
    };
    SelectionSpans spans;
    ASSERT_TRUE(spans.Build(mask.data(), 6, 4));
    EXPECT_TRUE(spans.Describe(mask.data(), 6, 4));
    EXPECT_FALSE(spans.Describe(mask.data(), 4, 6));
    const LineSpan rows[] = {{0, 0, true}, {1, 4, true}, {0, 5, false}, {0, 6, true}};
    const LineSpan columns[] = {{2, 4, true}, {1, 4, false}, {1, 4, true},
                                {1, 4, true}, {2, 4, true},  {3, 4, true}};
    const auto same = [](const LineSpan& a, const LineSpan& b) {
        return a.from == b.from && a.to == b.to && a.solid == b.solid;
    };
    for (std::int32_t y = 0; y < 4; ++y) EXPECT_TRUE(same(spans.Row(y), rows[y])) << "row " << y;
    for (std::int32_t x = 0; x < 6; ++x) {
        EXPECT_TRUE(same(spans.Column(x), columns[x])) << "column " << x;
    }
    // Against the bytes one by one, on random masks: scattered bytes, and one run a row (solid
    // rows whose columns may have holes).
    const auto expected = [](const std::uint8_t* bytes, std::int32_t n, std::ptrdiff_t step) {
        LineSpan span{0, 0, true};
        std::int32_t count = 0;
        for (std::int32_t k = 0; k < n; ++k) {
            if (bytes[k * step] == kUnselected) continue;
            if (count++ == 0) span.from = k;
            span.to = k + 1;
        }
        span.solid = count == span.to - span.from;
        return span;
    };
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        const std::int32_t w = 1 + static_cast<std::int32_t>(rng() % 20);
        const std::int32_t h = 1 + static_cast<std::int32_t>(rng() % 12);
        std::vector<std::uint8_t> random(static_cast<std::size_t>(w * h), kUnselected);
        for (std::int32_t y = 0; y < h; ++y) {
            std::uint8_t* row = random.data() + y * w;
            if (round % 2 == 0) {
                for (std::int32_t x = 0; x < w; ++x) row[x] = rng() % 3 == 0 ? 0 : kUnselected;
            } else {
                const std::int32_t a = static_cast<std::int32_t>(rng() % (w + 1));
                const std::int32_t b = static_cast<std::int32_t>(rng() % (w + 1));
                std::fill(row + std::min(a, b), row + std::max(a, b), std::uint8_t{7});
            }
        }
        ASSERT_TRUE(spans.Build(random.data(), w, h));
        for (std::int32_t y = 0; y < h; ++y) {
            EXPECT_TRUE(same(spans.Row(y), expected(random.data() + y * w, w, 1))) << round;
        }
        for (std::int32_t x = 0; x < w; ++x) {
            EXPECT_TRUE(same(spans.Column(x), expected(random.data() + x, h, w))) << round;
        }
    }
    EXPECT_FALSE(spans.Build(nullptr, 6, 4));
    EXPECT_FALSE(spans.Describe(mask.data(), 6, 4));  // a failed build keeps nothing
    EXPECT_FALSE(spans.Build(mask.data(), 0, 4));
}

void ExpectSameAsReference(const std::vector<std::uint8_t>& mask, int width, int height) {
    const SelectionRect expected = ReferenceSelectionBounds(mask, width, height);
    const SelectionRect r = ScanSelectionBounds(mask.data(), width, height);
    EXPECT_EQ(r.left, expected.left) << width << " x " << height;
    EXPECT_EQ(r.top, expected.top) << width << " x " << height;
    EXPECT_EQ(r.right, expected.right) << width << " x " << height;
    EXPECT_EQ(r.bottom, expected.bottom) << width << " x " << height;
}

// Widths on both sides of multiples of the eight-byte words, with single selected bytes at every
// position of a row (the first and the last byte included), random sparse selections and random
// runs.
TEST(SelectionScan, SameAsByteByByte) {
    std::mt19937 rng(7);
    for (int width = 1; width <= 41; ++width) {
        const int height = 3;
        std::vector<std::uint8_t> mask(static_cast<std::size_t>(width * height), kUnselected);
        ExpectSameAsReference(mask, width, height);
        for (int x = 0; x < width; ++x) {
            mask[static_cast<std::size_t>(width + x)] = 254;  // one byte of the middle row
            ExpectSameAsReference(mask, width, height);
            mask[static_cast<std::size_t>(width + x)] = kUnselected;
        }
        mask[static_cast<std::size_t>(width - 1)] = 0;  // the last byte of the first row
        mask[static_cast<std::size_t>(2 * width)] = 0;  // the first byte of the last row
        ExpectSameAsReference(mask, width, height);
        for (int round = 0; round < 20; ++round) {
            for (std::uint8_t& byte : mask) {
                byte = rng() % 16 == 0 ? static_cast<std::uint8_t>(rng() % 255) : kUnselected;
            }
            ExpectSameAsReference(mask, width, height);
            // One selected run per row, empty at times, as a shape's selection gives.
            for (int y = 0; y < height; ++y) {
                const int from = static_cast<int>(rng() % static_cast<unsigned>(width + 1));
                const int to =
                    from + static_cast<int>(rng() % static_cast<unsigned>(width - from + 1));
                for (int x = 0; x < width; ++x) {
                    mask[static_cast<std::size_t>(y * width + x)] =
                        x >= from && x < to ? 0 : kUnselected;
                }
            }
            ExpectSameAsReference(mask, width, height);
        }
        std::fill(mask.begin(), mask.end(), 0);
        ExpectSameAsReference(mask, width, height);
    }
}

}  // namespace
