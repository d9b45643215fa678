// Tests of the defined area: on a black picture filled with white, the rectangle holds only black
// and one more pixel along the lines at either end would take in some white.
#include "transform/defined_area.h"

#include <gtest/gtest.h>

#include <vector>

#include "transform/transform_pass.h"

namespace {

constexpr std::int32_t kWidth = 90;
constexpr std::int32_t kHeight = 60;
constexpr Pixel32 kBlack = 0xFF000000u;

bool AllBlack(const std::vector<Pixel32>& image, const SelectionRect& r) {
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        for (std::int32_t x = r.left; x < r.right; ++x) {
            if (image[static_cast<std::size_t>(y) * kWidth + x] != kBlack) return false;
        }
    }
    return true;
}

TEST(DefinedArea, HoldsNoFillAndCannotGrowAlongTheLines) {
    const SelectionRect rect{5, 3, 85, 57};
    const std::vector<Pixel32> black(static_cast<std::size_t>(kWidth) * kHeight, kBlack);
    for (int mode = 0; mode < 3; ++mode) {  // classic, perspective, proportions restored
        for (std::int32_t shape = 0; shape < kShapeCount; ++shape) {
            for (const std::int32_t difference : {-40, 25, 60}) {
                SCOPED_TRACE(testing::Message() << mode << " shape " << shape << " " << difference);
                const LineProfile profile =
                    mode == 0 ? LineProfile::kClassic : LineProfile::kPerspective;
                std::vector<Pixel32> out = black;
                const FillParams white{4, 0xFFFFFFFFu, 0, 0, 0, 0, 0};
                if (mode == 2) {
                    ASSERT_TRUE(RunTransformInProportion(black.data(), out.data(), kWidth, kHeight,
                                                         rect, shape, difference, 28, white,
                                                         nullptr));
                } else {
                    RunTransform(black.data(), out.data(), kWidth, kHeight, rect, shape, difference,
                                 profile, white, nullptr);
                }
                const SelectionRect d = DefinedRectangle(kWidth, kHeight, rect, shape, difference,
                                                         profile, mode == 2, 28);
                ASSERT_LT(d.left, d.right);
                ASSERT_LT(d.top, d.bottom);
                EXPECT_TRUE(AllBlack(out, d));
                // Centred across the lines' common centre.
                const bool rows = ShapeRebuildsRows(shape);
                EXPECT_EQ(rows ? d.left + d.right : d.top + d.bottom,
                          rows ? rect.left + rect.right : rect.top + rect.bottom);
                // Squeezed lines leave fill beside it: one pixel more at both ends takes it in.
                const SelectionRect wider =
                    rows ? SelectionRect{d.left - 1, d.top, d.right + 1, d.bottom}
                         : SelectionRect{d.left, d.top - 1, d.right, d.bottom + 1};
                const bool inside = rows ? d.left > rect.left : d.top > rect.top;
                if (inside) EXPECT_FALSE(AllBlack(out, wider));
            }
        }
    }
}

}  // namespace
