// Tests of the settings rules: value parsing, range rules, validation, the file's path, and the
// language choice.
#include "settings/settings_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "settings/localized_text.h"

namespace {

TEST(SettingsRules, ParsesValuesLikeAProfileIntegerRead) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"-5", -5},
        {"   -7   ", -7},
        {"+12", 12},
        {"abc12", 0},
        {"12abc", 12},
        {"3.9", 3},
        {"1 2", 1},
        {"", 0},
        {"-", 0},
        {"0x10", 0},
        {"100", 100},
        {"-100", -100},
        {"2147483647", 2147483647},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseProfileInt(c.text), c.value) << c.text;
    EXPECT_EQ(ParseProfileInt(nullptr), 0);
}

TEST(SettingsRules, EditTextsThatAreIntegers) {
    const struct {
        const char* text;
        bool valid;
        std::int32_t value;
    } cases[] = {
        {"-25", true, -25},
        {" 7 ", true, 7},
        {"+3", true, 3},
        {"", false, 0},
        {"-", false, 0},
        {"12x", false, 0},
        {"- 3", false, 0},
        {"1 2", false, 0},
        {"abc", false, 0},
        {"0x10", false, 0},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0},
        {"99999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        std::int32_t value = 12345;
        EXPECT_EQ(ParseEditInt(c.text, &value), c.valid) << c.text;
        EXPECT_EQ(value, c.valid ? c.value : 12345) << c.text;
    }
    std::int32_t value = 0;
    EXPECT_FALSE(ParseEditInt(nullptr, &value));
}

TEST(SettingsRules, ShapeAndModeOutOfRangeReadAsZero) {
    TrapezoidSettings s{};
    s.fill.colour = 0x12345678u;
    s.fill.left = 9;
    ApplyReadRules({6, -150, -1, 2, 3}, &s);
    EXPECT_EQ(s.shape, 0);
    EXPECT_EQ(s.difference, -150);  // kept as read; validation decides
    EXPECT_EQ(s.fill.mode, 0);
    EXPECT_EQ(s.fill.transparent, 2);
    EXPECT_EQ(s.preview, 3);
    EXPECT_EQ(s.fill.colour, 0x12345678u);  // not from the file: untouched
    EXPECT_EQ(s.fill.left, 9);
    ApplyReadRules({-1, 0, 6, 0, 0}, &s);
    EXPECT_EQ(s.shape, 0);
    EXPECT_EQ(s.fill.mode, 0);
    ApplyReadRules({5, 0, 5, 0, 0}, &s);
    EXPECT_EQ(s.shape, 5);
    EXPECT_EQ(s.fill.mode, 5);
}

TEST(SettingsRules, DifferenceValidation) {
    EXPECT_TRUE(IsValidDifference(-100));
    EXPECT_TRUE(IsValidDifference(100));
    EXPECT_TRUE(IsValidDifference(0));
    EXPECT_FALSE(IsValidDifference(-101));
    EXPECT_FALSE(IsValidDifference(101));
}

TEST(SettingsRules, SettingsFileLivesBesideTheModule) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\Program Files\\Editor\\Plug-ins\\trapezoid.dll",
         L"C:\\Program Files\\Editor\\Plug-ins\\vxfilters.ini"},
        {L"C:\\\u0444\u043E\u0442\u043E\\x.dll", L"C:\\\u0444\u043E\u0442\u043E\\vxfilters.ini"},
        {L"\\\\?\\C:\\" + std::wstring(300, L'a') + L"\\x.dll",
         L"\\\\?\\C:\\" + std::wstring(300, L'a') + L"\\vxfilters.ini"},  // no length limit
        {L"trapezoid.dll", L""},
        {L"", L""},
    };
    for (const auto& [module, expected] : cases) EXPECT_EQ(SettingsPathBeside(module), expected);
}

TEST(SettingsRules, LongPathsTakeTheFormOfAnyLength) {
    const std::wstring folder(300, L'a');
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\" + folder + L"\\vxfilters.ini", L"\\\\?\\C:\\" + folder + L"\\vxfilters.ini"},
        {L"\\\\server\\share\\" + folder, L"\\\\?\\UNC\\server\\share\\" + folder},
        {L"\\\\?\\C:\\" + folder, L"\\\\?\\C:\\" + folder},  // already in that form
        {L"C:\\short\\vxfilters.ini", L"C:\\short\\vxfilters.ini"},
        {folder, folder},  // relative: left alone
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(ExtendedLengthPath(path), expected);
}

TEST(LocalizedText, LanguageByPrimaryLanguageId) {
    EXPECT_EQ(DialogTemplateIdFor(1041), 118);  // Japanese, Japan
    for (std::uint32_t id : {1033u, 2057u, 1031u, 2052u, 0u}) {
        EXPECT_EQ(DialogTemplateIdFor(id), 119) << id;
        EXPECT_STREQ(TextForLanguage(id).InvalidSettingsMessage(),
                     "There is invalidate value in the initialization file.");
    }
    EXPECT_TRUE(IsJapaneseLanguage(0x7C11));  // any sublanguage of 17
    EXPECT_FALSE(IsJapaneseLanguage(0x0412));
    // Shift-JIS of the Japanese message begins with 設定 (90 DD 92 E8).
    EXPECT_EQ(std::strncmp(TextForLanguage(1041).InvalidSettingsMessage(), "\x90\xDD\x92\xE8", 4),
              0);
}

TEST(LocalizedText, SixFillNamesThenNull) {
    for (std::uint32_t id : {1041u, 1033u}) {
        const char* const* names = TextForLanguage(id).UndefinedAreaNames();
        for (int i = 0; i < 6; ++i) ASSERT_NE(names[i], nullptr) << i;
        EXPECT_EQ(names[6], nullptr);
    }
    EXPECT_STREQ(TextForLanguage(1033).UndefinedAreaNames()[2], "foreground color");
    EXPECT_STREQ(TextForLanguage(1041).UndefinedAreaNames()[4], "\x94\x92");  // 白
}

}  // namespace
