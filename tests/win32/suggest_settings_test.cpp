// KVF_SuggestSettings through the real DLL: a picture with converging lines gets its shape and
// difference, saved or not; noise gets none; bad arguments get none and touch nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "plugin_interface/kv_interface.h"
#include "tests/win32/plugin_dll.h"

namespace {

constexpr int kSize = 240;
constexpr std::int32_t kUntouched = -999;

// Dark bands on a light ground, six of them, leaning towards the centre at the top (at the left
// when `transposed`): at the top they are 0.7 times as far from the centre as at the bottom, as
// a tall box looks from below. Squeezing the wide edge by 30 % or stretching the narrow one by
// 1 / 0.7 - 1 = 43 % makes them parallel.
std::vector<Pixel32> ConvergingLines(bool transposed) {
    constexpr double kNarrowing = 0.7;
    std::vector<Pixel32> image(kSize * kSize);
    for (int y = 0; y < kSize; ++y) {
        const double along = kNarrowing + (1 - kNarrowing) * (y + 0.5) / kSize;
        for (int x = 0; x < kSize; ++x) {
            double cover = 0;
            for (const double offset : {-100.0, -70.0, -40.0, 40.0, 70.0, 100.0}) {
                const double distance = std::fabs(x + 0.5 - (kSize / 2 + offset * along));
                cover = std::max(cover, std::clamp(2.5 - distance, 0.0, 1.0));
            }
            const auto grey = static_cast<Pixel32>(std::lround(220 - 180 * cover));
            image[transposed ? x * kSize + y : y * kSize + x] = 0xFF000000u | grey * 0x010101u;
        }
    }
    return image;
}

class SuggestSettingsDll : public PluginDll {
   protected:
    void SetUp() override {
        PluginDll::SetUp();
        suggest = Export<SuggestSettingsFn>("KVF_SuggestSettings");
        ASSERT_NE(suggest, nullptr);
    }
    int Key(const wchar_t* key) const {
        return static_cast<int>(GetPrivateProfileIntW(L"Trapezoid", key, -1, Ini().c_str()));
    }
    bool IniExists() const { return GetFileAttributesW(Ini().c_str()) != INVALID_FILE_ATTRIBUTES; }

    SuggestSettingsFn suggest = nullptr;
    std::int32_t shape = kUntouched;
    std::int32_t difference = kUntouched;
};

// Under the perspective profile, which the file chooses, lines that meet at a point are made
// exactly parallel by one difference, and the suggestion is that difference; restoring proportions
// (on in the file) keeps them parallel at the same difference, and its keys stay as they were.
TEST_F(SuggestSettingsDll, FindsTheShapeAndDifferenceOfConvergingLines) {
    struct Case {
        const char* name;
        std::int32_t fileShape;  // the shape in the file beforehand
        std::int32_t perspective;
        std::int32_t direction;
        std::int32_t save;
        std::int32_t shape;
        std::int32_t difference;
        int tolerance;
    };
    const Case cases[] = {
        {"the squeezed edge, not saved", 0, 0, SuggestVerticals, 0, 2, 30, 2},
        {"the file's edge of the wanted direction kept, saved", 1, 0, SuggestVerticals, 1, 1, -43,
         2},
        {"a row shape replaced for horizontals, saved", 1, 0, SuggestHorizontals, 1, 5, 30, 2},
        {"perspective, the squeezed edge exactly", 0, 1, SuggestVerticals, 1, 2, 30, 0},
        {"perspective, horizontals exactly", 2, 1, SuggestHorizontals, 0, 5, 30, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings(c.fileShape, 7, 3, 1);
        Write("preview", "1");
        Write("perspective", c.perspective != 0 ? "1" : "0");
        Write("proportions", "1");
        Write("focal", "50");
        const std::vector<Pixel32> image = ConvergingLines(c.direction == SuggestHorizontals);
        const SelectionRect rect{0, 0, kSize, kSize};
        EXPECT_EQ(suggest(image.data(), kSize, kSize, &rect, nullptr, c.direction, c.save, &shape,
                          &difference),
                  SuggestFound);
        EXPECT_EQ(shape, c.shape);
        EXPECT_NEAR(difference, c.difference, c.tolerance);
        EXPECT_EQ(Key(L"shape"), c.save ? shape : c.fileShape);
        EXPECT_EQ(Key(L"difference"), c.save ? difference : 7);
        EXPECT_EQ(Key(L"undefarea"), 3);  // the other keys stay as they were
        EXPECT_EQ(Key(L"transparent"), 1);
        EXPECT_EQ(Key(L"preview"), 1);
        EXPECT_EQ(Key(L"perspective"), c.perspective);
        EXPECT_EQ(Key(L"proportions"), 1);
        EXPECT_EQ(Key(L"focal"), 50);
    }
}

TEST_F(SuggestSettingsDll, NoneInNoiseOrOutsideTheSelection) {
    std::vector<Pixel32> noise(kSize * kSize);
    std::mt19937 random(13);
    for (Pixel32& p : noise) p = 0xFF000000u | (random() % 256) * 0x010101u;
    const std::vector<Pixel32> lines = ConvergingLines(false);
    const std::vector<std::uint8_t> nothingSelected(kSize * kSize, 255);
    const std::uint8_t* masks[] = {nullptr, nothingSelected.data()};
    const std::vector<Pixel32>* images[] = {&noise, &lines};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(suggest(images[i]->data(), kSize, kSize, nullptr, masks[i], SuggestVerticals,
                          /*save=*/1, &shape, &difference),
                  SuggestNotFound);
        EXPECT_EQ(shape, kUntouched);
        EXPECT_EQ(difference, kUntouched);
        EXPECT_FALSE(IniExists());
    }
}

// Each bad argument alone, on a picture whose lines would otherwise be found; the huge sizes
// would read far past the small buffer if they got through.
TEST_F(SuggestSettingsDll, BadArgumentsGiveNoneAndTouchNothing) {
    const std::vector<Pixel32> image = ConvergingLines(false);
    struct Case {
        const char* name;
        bool nullPixels;
        std::int32_t width;
        std::int32_t height;
        SelectionRect rect;
        std::int32_t direction;
        bool nullShape;
        bool nullDifference;
    };
    const SelectionRect all{0, 0, kSize, kSize};
    const Case cases[] = {
        {"null pixels", true, kSize, kSize, all, 0, false, false},
        {"zero width", false, 0, kSize, all, 0, false, false},
        {"negative height", false, kSize, -3, all, 0, false, false},
        {"bytes beyond 32 bits", false, 65536, 65536, all, 0, false, false},
        {"bytes beyond 31 bits", false, 32768, 16385, all, 0, false, false},
        {"rectangle outside", false, kSize, kSize, {300, 0, 400, kSize}, 0, false, false},
        {"rectangle inverted", false, kSize, kSize, {200, 200, 20, 20}, 0, false, false},
        {"direction 2", false, kSize, kSize, all, 2, false, false},
        {"direction -1", false, kSize, kSize, all, -1, false, false},
        {"null shape", false, kSize, kSize, all, 0, true, false},
        {"null difference", false, kSize, kSize, all, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(suggest(c.nullPixels ? nullptr : image.data(), c.width, c.height, &c.rect,
                          nullptr, c.direction, /*save=*/1, c.nullShape ? nullptr : &shape,
                          c.nullDifference ? nullptr : &difference),
                  SuggestNotFound);
        EXPECT_EQ(shape, kUntouched);
        EXPECT_EQ(difference, kUntouched);
        EXPECT_FALSE(IniExists());
    }
}

TEST_F(SuggestSettingsDll, SaveFailureIsReported) {
    ASSERT_TRUE(CreateDirectoryW(Ini().c_str(), nullptr));
    const std::vector<Pixel32> image = ConvergingLines(false);
    EXPECT_EQ(suggest(image.data(), kSize, kSize, nullptr, nullptr, SuggestVerticals, /*save=*/1,
                      &shape, &difference),
              SuggestSaveFailed);
    EXPECT_EQ(shape, 2);  // the suggestion is still reported
    EXPECT_NEAR(difference, 30, 2);
}

}  // namespace
