// Tests of the transform on several threads: every shape, both profiles, squeezed and stretched,
// the same pixels as the engine's single pass; the row shapes in place too.
#include "native/threaded_pass.h"

#include <gtest/gtest.h>

#include <vector>

#include "transform/transform_pass.h"

namespace {

TEST(ThreadedPass, GivesTheSinglePassPixels) {
    constexpr std::int32_t kWidth = 67;
    constexpr std::int32_t kHeight = 41;
    std::vector<Pixel32> source(kWidth * kHeight);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<Pixel32>(i * 2654435761u) | 0x80000000u;
    }
    const SelectionRect rect{3, 2, 61, 39};
    const FillParams fill{
        static_cast<std::int32_t>(UndefinedAreaMode::kSourcePixel), 0, 0, 0, 0, 0, 0};
    for (std::int32_t shape = 0; shape < kShapeCount; ++shape) {
        for (const std::int32_t difference : {-70, -5, 40, 100}) {
            for (const LineProfile profile : {LineProfile::kClassic, LineProfile::kPerspective}) {
                std::vector<Pixel32> single = source;
                std::vector<Pixel32> threaded = source;
                RunTransform(source.data(), single.data(), kWidth, kHeight, rect, shape, difference,
                             profile, fill, nullptr);
                RunTransformOnThreads(source.data(), threaded.data(), kWidth, kHeight, rect, shape,
                                      difference, profile, fill, nullptr, /*threads=*/3);
                EXPECT_EQ(threaded, single) << "shape " << shape << " difference " << difference;
                if (!ShapeRebuildsRows(shape)) continue;
                for (const unsigned threads : {1u, 3u}) {
                    std::vector<Pixel32> inPlace = source;
                    RunTransformOnThreads(inPlace.data(), inPlace.data(), kWidth, kHeight, rect,
                                          shape, difference, profile, fill, nullptr, threads);
                    EXPECT_EQ(inPlace, single) << "in place, shape " << shape << " difference "
                                               << difference << " threads " << threads;
                }
            }
        }
    }
}

}  // namespace
