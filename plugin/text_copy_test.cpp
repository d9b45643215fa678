// Tests of the bounded text copy that fills the host's buffers.
#include <gtest/gtest.h>

#include <cstring>

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

}  // namespace
