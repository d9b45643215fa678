// Tests of the portable plug-in pieces: the bounded text copy and the selection scan.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "plugin/selection_scan.h"
#include "plugin/text_copy.h"

namespace {

TEST(TextCopy, PadsShortTextsWithZeros) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    BoundedCopy(buffer, 8, "abc");
    EXPECT_EQ(std::memcmp(buffer, "abc\0\0\0\0\0", 8), 0);
}

TEST(TextCopy, FillsWithoutTerminatorWhenTheTextIsTooLong) {
    char buffer[10];
    std::memset(buffer, 'x', sizeof buffer);
    BoundedCopy(buffer, 9, "Transform|...");
    EXPECT_EQ(std::memcmp(buffer, "Transform", 9), 0);
    EXPECT_EQ(buffer[9], 'x');      // past the length: untouched
    BoundedCopy(buffer, 3, "abc");  // exactly as long as the buffer: no terminator
    EXPECT_EQ(std::memcmp(buffer, "abcnsform", 9), 0);
}

TEST(TextCopy, NothingWrittenForNoRoom) {
    char buffer[4] = {'x', 'x', 'x', 'x'};
    BoundedCopy(buffer, 0, "abc");
    BoundedCopy(buffer, -5, "abc");
    BoundedCopy(nullptr, 4, "abc");
    EXPECT_EQ(std::memcmp(buffer, "xxxx", 4), 0);
    BoundedCopy(buffer, 4, nullptr);
    EXPECT_EQ(std::memcmp(buffer, "\0\0\0\0", 4), 0);
}

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
        {0, 5, {}, {0, 5, 1, 1}},  // no pixels at all
    };
    for (const ScanCase& c : cases) {
        const SelectionRect r = ScanSelectionBounds(c.mask.data(), c.width, c.height);
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
}

}  // namespace
