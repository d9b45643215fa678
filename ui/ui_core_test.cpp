// The setup dialog's portable rules: the difference edit's accepted texts, the slider's codes,
// the checkerboard composite and the pan geometry of the preview canvas.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <iterator>
#include <vector>

#include "ui/canvas_pixels.h"
#include "ui/dialog_layout.h"
#include "ui/difference_rules.h"
#include "ui/preview_guides.h"

namespace {

TEST(DifferenceText, RefusedTexts) {
    for (const char* text :
         {"", "-", "05", "-0", "-05", "00", "+5", "101", "-101", "12a", " 5", "5 ", "5.0", "--5",
          "5-", "1000", "99999999999999", "-99999999999999", "\xEF\xBC\x95"}) {
        std::int32_t value = 12345;
        EXPECT_FALSE(ParseDifferenceText(text, &value)) << '"' << text << '"';
        EXPECT_EQ(value, 12345) << "a refused text leaves the value alone";
    }
    std::int32_t value = 0;
    EXPECT_FALSE(ParseDifferenceText(nullptr, &value));
}

TEST(DifferenceText, AcceptedTexts) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {{"0", 0}, {"-100", -100}, {"100", 100}, {"-7", -7}, {"42", 42}, {"-1", -1}};
    for (const auto& c : cases) {
        std::int32_t value = 999;
        EXPECT_TRUE(ParseDifferenceText(c.text, &value)) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(SliderDifference, EachCode) {
    const struct {
        std::uint32_t code;
        std::int32_t current;
        std::int16_t thumb;
        std::int32_t expected;
    } cases[] = {
        {0, 5, 0, 4},        // line up
        {0, -100, 0, -101},  // beyond the range: the edit validation refuses it
        {1, 100, 0, 101},    // line down
        {2, -95, 0, -100},   // page up stops at the end
        {2, 30, 0, 20},      //
        {3, 95, 0, 100},     // page down stops at the end
        {3, -30, 0, -20},    //
        {4, 0, -37, -37},    // thumb released
        {5, 12, 64, 64},     // thumb dragged
        {6, 50, 0, -100},    // Home
        {7, -50, 0, 100},    // End
    };
    for (const auto& c : cases) {
        std::int32_t value = 0;
        ASSERT_TRUE(SliderDifference(c.code, c.current, c.thumb, &value)) << c.code;
        EXPECT_EQ(value, c.expected) << "code " << c.code << " at " << c.current;
    }
    std::int32_t value = 77;
    for (std::uint32_t code : {8u, 9u, 0xFFFFu}) {
        EXPECT_FALSE(SliderDifference(code, 10, 20, &value));
    }
    EXPECT_EQ(value, 77);
}

TEST(CanvasComposite, CheckerboardCells) {
    for (std::int32_t y = 0; y < 8; ++y) {
        for (std::int32_t x = 0; x < 8; ++x) {
            EXPECT_EQ(CheckerboardGrey(x, y), 255u);
            EXPECT_EQ(CheckerboardGrey(x + 8, y), 192u);
            EXPECT_EQ(CheckerboardGrey(x, y + 8), 192u);
            EXPECT_EQ(CheckerboardGrey(x + 8, y + 8), 255u);
        }
    }
}

TEST(CanvasComposite, AlphaWeighsSourceAgainstBoard) {
    EXPECT_EQ(CompositeOverBoard(3, 3, 0xFF123456u, 255), 0x123456u);  // top byte dropped
    EXPECT_EQ(CompositeOverBoard(9, 0, 0x00123456u, 0), 0xC0C0C0u);
    EXPECT_EQ(CompositeOverBoard(0, 0, 0x80000000u, 128), 0x7F7F7Fu);  // 255 * 127 / 255
    // Red (200 * 100 + 192 * 155) / 255 = 195.1, green and blue (10 * 100 + 192 * 155) / 255
    // = 120.6: both truncated.
    EXPECT_EQ(CompositeOverBoard(8, 0, 0x64C80A0Au, 100), 0xC37878u);
}

TEST(CanvasGeometry, FittingImageIsCentred) {
    std::int32_t origin = 40;
    const AxisView view = LayoutAxis(true, 107, 100, &origin);
    EXPECT_EQ(view.destination, 3);  // 7 / 2 rounded toward zero
    EXPECT_EQ(view.extent, 100);
    EXPECT_EQ(origin, 0);
    const AxisView exact = LayoutAxis(true, 100, 100, &origin);
    EXPECT_EQ(exact.destination, 0);
}

TEST(CanvasGeometry, LargeImageFillsTheCanvasFromItsOrigin) {
    std::int32_t origin = 25;
    const AxisView view = LayoutAxis(false, 80, 300, &origin);
    EXPECT_EQ(view.destination, 0);
    EXPECT_EQ(view.extent, 80);
    EXPECT_EQ(origin, 25);
}

TEST(CanvasGeometry, PanClampStopsAtBothEdges) {
    EXPECT_EQ(ClampOrigin(-5, 300, 80), 0);
    EXPECT_EQ(ClampOrigin(100, 300, 80), 100);
    EXPECT_EQ(ClampOrigin(221, 300, 80), 220);  // last column at the canvas's right edge
    EXPECT_EQ(ClampOrigin(220, 300, 80), 220);
    // Along an axis that fits the origin stays 0, so a drag along it changes nothing.
    EXPECT_EQ(ClampOrigin(0, 50, 80), 0);
    EXPECT_EQ(ClampOrigin(7, 50, 80), 0);
}

TEST(CanvasZoom, ScalesStepUpToTheFirstThatFits) {
    const std::int32_t series[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64};
    for (std::size_t i = 0; i + 1 < std::size(series); ++i) {
        EXPECT_EQ(ZoomOutStep(series[i]), series[i + 1]);
        EXPECT_EQ(ZoomInStep(series[i + 1]), series[i]);
    }
    EXPECT_EQ(ZoomInStep(1), 1);
    const struct {
        CanvasSize canvas;
        CanvasSize image;
        std::int32_t fit;
    } cases[] = {
        {{260, 150}, {260, 150}, 1}, {{260, 150}, {261, 150}, 2},    {{260, 150}, {600, 400}, 3},
        {{260, 150}, {781, 10}, 4},  {{260, 150}, {6000, 4000}, 32},  // 4000 / 24 is still 167 rows
        {{260, 150}, {0, 0}, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FitScale(c.canvas, c.image), c.fit) << c.image.width << "x" << c.image.height;
    }
    EXPECT_EQ(ZoomedExtent(10, 4), 3);  // the last block is cut
    EXPECT_EQ(ZoomedExtent(8, 4), 2);
    EXPECT_EQ(ZoomedExtent(0, 4), 0);
}

TEST(CanvasZoom, ThePointUnderTheMouseStaysThere) {
    // 1:1 with origin 100, mouse at 30 over image pixel 130: at 1:2 block 65 (pixels 130 and
    // 131) comes under it; back at 1:1 the block's centre, pixel 131.
    EXPECT_EQ(ZoomedOrigin(100, {1, 2, 30}, 1000, 200), 35);
    EXPECT_EQ(ZoomedOrigin(35, {2, 1, 30}, 1000, 200), 101);
    // Near the far edge the clamp wins: at 1:4 the image is 250 wide, so the origin stops at 50.
    EXPECT_EQ(ZoomedOrigin(800, {1, 4, 190}, 1000, 200), 50);
    // A scale at which the image fits gets 0, which layout centres.
    EXPECT_EQ(ZoomedOrigin(300, {1, 8, 10}, 1000, 200), 0);
    // From a centred view: 300 pixels at 1:2 are 150, drawn from 25; canvas 100 shows block 75,
    // pixels 150 and 151, so 1:1 puts pixel 151 there.
    EXPECT_EQ(ZoomedOrigin(0, {2, 1, 100}, 300, 200), 51);
}

TEST(CanvasPixels, PutPixelInsideAndOutside) {
    CanvasPixels pixels;
    ASSERT_TRUE(pixels.Allocate(16, 9, 0x00ABCDEFu));
    EXPECT_EQ(pixels.At(15, 8), 0x00ABCDEFu);
    EXPECT_TRUE(pixels.PutPixel(15, 8, 0xFF010203u, 255));
    EXPECT_EQ(pixels.At(15, 8), 0x010203u);
    EXPECT_EQ(pixels.Error(), CanvasError::kNone);
    for (const auto& p :
         {CanvasPoint{16, 0}, CanvasPoint{0, 9}, CanvasPoint{-1, 0}, CanvasPoint{0, -1}}) {
        EXPECT_FALSE(pixels.PutPixel(p.x, p.y, 0xFFFFFFFFu, 255));
    }
    EXPECT_EQ(pixels.Error(), CanvasError::kPixelOutside);
    pixels.Fail(CanvasError::kNoDeviceContext);
    EXPECT_EQ(pixels.Error(), CanvasError::kPixelOutside) << "the first error stays";
}

TEST(CanvasPixels, EmptyAndImpossibleSizes) {
    CanvasPixels pixels;
    EXPECT_TRUE(pixels.Allocate(0, 5, 0));
    EXPECT_FALSE(pixels.PutPixel(0, 0, 0, 255));
    EXPECT_TRUE(pixels.Allocate(-4, 5, 0));
    EXPECT_EQ(pixels.Width(), 0);
    EXPECT_FALSE(pixels.Allocate(0x7FFFFFFF, 0x7FFFFFFF, 0));
    EXPECT_EQ(pixels.Words(), nullptr);
}

}  // namespace

namespace {

// The English template in dialog units: the controls left of the preview and above its bottom
// stay, the preview grows, OK and Cancel follow the corner, the check boxes below the preview, the
// group box under it and the group's contents follow its bottom.
TEST(DialogLayout, EachRuleAndWhereItPlaces) {
    const struct {
        LayoutControl control;
        LayoutRule rule;
        LayoutRect placed;  // after growing by 100 across and 50 down
    } cases[] = {
        {{{105, 4, 235, 80}, true, false}, LayoutRule::kGrows, {105, 4, 335, 130}},
        {{{5, 171, 55, 185}, false, true}, LayoutRule::kFollowsCorner, {105, 221, 155, 235}},
        {{{146, 87, 189, 97}, false, false}, LayoutRule::kFollowsPreview, {146, 137, 189, 147}},
        {{{5, 110, 145, 165}, false, false}, LayoutRule::kFollowsPreview, {5, 160, 145, 215}},
        {{{10, 125, 80, 137}, false, false}, LayoutRule::kFollowsPreview, {10, 175, 80, 187}},
        {{{10, 145, 140, 160}, false, false}, LayoutRule::kFollowsPreview, {10, 195, 140, 210}},
        {{{5, 86, 95, 106}, false, false}, LayoutRule::kStays, {5, 86, 95, 106}},  // the slider
        {{{5, 15, 35, 38}, false, false}, LayoutRule::kStays, {5, 15, 35, 38}},
    };
    std::vector<LayoutControl> controls;
    for (const auto& c : cases) controls.push_back(c.control);
    const std::vector<LayoutRule> rules = RulesFor(controls);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(rules[i], cases[i].rule) << i;
        const LayoutRect r = Placed(cases[i].control.rect, rules[i], {100, 50});
        const LayoutRect& p = cases[i].placed;
        EXPECT_EQ((std::array{r.left, r.top, r.right, r.bottom}),
                  (std::array{p.left, p.top, p.right, p.bottom}))
            << i;
    }
}

TEST(DialogLayout, OpeningSizeKeepsTheStoredOneOnlyWithinTheLimits) {
    const CanvasSize least{424, 332};
    const CanvasSize work{1280, 1024};
    const struct {
        CanvasSize stored;
        CanvasSize opened;
    } cases[] = {{{800, 600}, {800, 600}}, {{424, 332}, {424, 332}}, {{1280, 1024}, {1280, 1024}},
                 {{423, 600}, least},      {{800, 331}, least},      {{1281, 600}, least},
                 {{800, 1025}, least},     {{0, 0}, least},          {{-5, 700}, least}};
    for (const auto& c : cases) {
        const CanvasSize opened = OpeningSize(c.stored, least, work);
        EXPECT_EQ(opened.width, c.opened.width) << c.stored.width << "x" << c.stored.height;
        EXPECT_EQ(opened.height, c.opened.height) << c.stored.width << "x" << c.stored.height;
    }
}

}  // namespace

namespace {

// The source image points that the correction takes onto the output line at `x` from `top` to
// `bottom`: a guide along an edge that the correction makes vertical.
Guide ConvergingGuide(const SelectionRect& rect, std::int32_t shape, std::int32_t difference,
                      double x, double top, double bottom) {
    const auto source = [&](double y) {
        const double centre = (rect.left + rect.right) * 0.5;
        const double scale =
            CorrectedPoint({centre + 1, y}, rect, shape, difference, LineProfile::kPerspective).x -
            centre;
        return ImagePoint{centre + (x - centre) / scale, y};
    };
    return {source(top), source(bottom)};
}

// Two guides along edges that converge as the perspective profile makes them: the fit gives
// the difference that made them, to the integer, for either edge and either sign.
TEST(Guides, StraighteningAlongConvergingGuidesIsExact) {
    const SelectionRect rect{0, 0, 800, 600};
    for (const std::int32_t shape : {1, 2}) {
        for (const std::int32_t difference : {-45, 23, 37, 71}) {
            const std::vector<Guide> guides = {
                ConvergingGuide(rect, shape, difference, 300, 30, 570),
                ConvergingGuide(rect, shape, difference, 510, 60, 520)};
            const UsableGuides usable = UsableGuidesOf(guides);
            ASSERT_EQ(usable.problem, GuideProblem::kNone);
            ASSERT_EQ(usable.direction, StraightenDirection::kVerticals);
            const auto found = StraighteningFromGuides(usable.edges, rect, usable.direction, shape,
                                                       LineProfile::kPerspective);
            ASSERT_TRUE(found.has_value()) << shape << " " << difference;
            EXPECT_EQ(found->shape, shape);
            EXPECT_EQ(found->difference, difference) << "shape " << shape;
        }
    }
}

TEST(Guides, WhichGuidesCount) {
    const Guide vertical{{10, 10}, {14, 90}};
    const Guide horizontal{{10, 10}, {90, 30}};
    const Guide dot{{5, 5}, {7, 6}};
    const struct {
        std::vector<Guide> guides;
        GuideProblem problem;
        StraightenDirection direction;
    } cases[] = {
        {{}, GuideProblem::kTooFew, StraightenDirection::kVerticals},
        {{vertical, dot}, GuideProblem::kTooFew, StraightenDirection::kVerticals},
        {{vertical, horizontal}, GuideProblem::kMixed, StraightenDirection::kVerticals},
        {{vertical, vertical}, GuideProblem::kNone, StraightenDirection::kVerticals},
        {{horizontal, dot, horizontal}, GuideProblem::kNone, StraightenDirection::kHorizontals},
    };
    for (const auto& c : cases) {
        const UsableGuides usable = UsableGuidesOf(c.guides);
        EXPECT_EQ(usable.problem, c.problem) << c.guides.size();
        if (c.problem == GuideProblem::kNone) EXPECT_EQ(usable.direction, c.direction);
    }
}

TEST(Guides, EndsAndLinesNearAPointAndPointsOutsideStay) {
    const std::vector<Guide> shown = {{{10, 10}, {10, 100}}, {{50, 10}, {60, 100}}};
    const GuideEnd end = GuideEndNear(shown, {58, 97}, 5);
    EXPECT_EQ(end.guide, 1);
    EXPECT_EQ(end.end, 1);
    EXPECT_EQ(GuideEndNear(shown, {30, 50}, 5).guide, -1);
    EXPECT_EQ(GuideNear(shown, {13, 50}, 5), 0);
    EXPECT_EQ(GuideNear(shown, {30, 50}, 5), -1);
    const SelectionRect rect{100, 100, 300, 200};
    const ImagePoint outside = CorrectedPoint({50, 150}, rect, 1, 60, LineProfile::kClassic);
    EXPECT_EQ(outside.x, 50);
    const ImagePoint middle = CorrectedPoint({200, 100}, rect, 1, 60, LineProfile::kClassic);
    EXPECT_EQ(middle.x, 200) << "the line's centre stays";
    const ImagePoint squeezed = CorrectedPoint({100, 100}, rect, 1, 60, LineProfile::kClassic);
    EXPECT_NEAR(squeezed.x, 160, 1e-9) << "the first edge loses 60% of 200";
}

}  // namespace
