// Tests of the settings file read from its text: the keys found as the profile functions find
// them, each value by the plug-in's rules.
#include "settings/settings_text.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsText, FindsTheKeysAsTheProfileFunctionsDo) {
    const struct {
        const char* text;
        RawSettings expected;  // the keys in the file's order, proportions and focal last
    } cases[] = {
        {"[Trapezoid]\r\nshape=1\r\ndifference=-30\r\nundefarea=4\r\ntransparent=1\r\n"
         "preview=1\r\nperspective=1\r\nproportions=1\r\nfocal=50\r\n",
         {1, -30, 4, 1, 1, 1, 1, 50}},
        // Names in any case, blanks around names and values, a comment after a number.
        {"[ trapezoid ]\n  SHAPE = 2 \nDifference=12 ; squeezed\n", {2, 12, 0, 0, 0, 0, 0, 0}},
        // Only the section's own keys, and only the first line of a key.
        {"shape=5\n[Other]\nshape=4\n[Trapezoid]\nshape=3\nshape=1\n[Next]\ndifference=9\n",
         {3, 0, 0, 0, 0, 0, 0, 0}},
        {"", {0, 0, 0, 0, 0, 0, 0, 0}},
        {"[Trapezoid]\ndifference=150\nshape=x\n", {0, 150, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const RawSettings read = ReadSettingsText(c.text);
        const RawSettings& e = c.expected;
        EXPECT_EQ(read.shape, e.shape) << c.text;
        EXPECT_EQ(read.difference, e.difference) << c.text;
        EXPECT_EQ(read.undefinedArea, e.undefinedArea) << c.text;
        EXPECT_EQ(read.transparent, e.transparent) << c.text;
        EXPECT_EQ(read.preview, e.preview) << c.text;
        EXPECT_EQ(read.perspective, e.perspective) << c.text;
        EXPECT_EQ(read.proportions, e.proportions) << c.text;
        EXPECT_EQ(read.focal, e.focal) << c.text;
    }
}

}  // namespace
