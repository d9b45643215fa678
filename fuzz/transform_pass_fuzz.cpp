// Fuzz target: the transform pass on small images, everything from the input: the image's size
// (up to the 32-bit limit, only the selection's part stored), the rectangle anywhere, the shape,
// difference, fill, transparency, colour, pixels and the span path, and under the perspective
// profile the proportions restored with any lens (on images stored whole: the move reads whole
// lines). Guard zones around both buffers must be intact after the run, and the destination
// outside the rectangle unchanged.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/engine_settings.h"
#include "fuzz/fuzz_input.h"
#include "tests/far_image.h"
#include "transform/span_path.h"
#include "transform/transform_pass.h"

namespace {

constexpr Pixel32 kStart = 0x5A5A5A5Au;  // the destination before the run
// The most pixels stored, and the most pixels a nominal image may have: its pixel 0 must be an
// address, which a window far along a huge image would not give.
constexpr std::int64_t kMostStored = 1 << 11;
constexpr std::int64_t kMostNominal = std::int64_t{1} << 42;

// An image side: small, or anything up to the 32-bit limit.
std::int32_t Side(FuzzInput& input) {
    const std::int32_t side = input.Coordinate(16);
    return side < 1 ? 1 : side;
}

// The pixels the pass may touch: the clipped rectangle, four more along either axis for the taps.
struct Window {
    std::int32_t x;
    std::int32_t y;
    std::int64_t count;
};

Window WindowOf(const SelectionRect& clip, std::int32_t width, std::int32_t height) {
    const std::int32_t left = std::max(clip.left, 4) - 4;
    const std::int32_t top = std::max(clip.top, 4) - 4;
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{clip.right} + 4, width);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{clip.bottom} + 4, height);
    const std::int64_t first = std::int64_t{top} * width + left;
    const std::int64_t end = (bottom - 1) * width + right;
    return {left, top, end - first};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::int32_t width = Side(input);
    const std::int32_t height = Side(input);
    if (std::int64_t{width} * height > kMostNominal) return 0;
    const SelectionRect rect{input.Coordinate(width), input.Coordinate(height),
                             input.Coordinate(width), input.Coordinate(height)};
    const EngineSettings settings = ReadEngineSettings(input);
    const std::int32_t shape = settings.shape;
    const std::int32_t difference = settings.difference;
    const FillParams fill = settings.fill;
    if (!ChooseLinePath(input.IntIn(0, 1) != 0 ? LinePath::kAvx2 : LinePath::kSse2)) {
        ChooseLinePath(LinePath::kSse2);
    }

    const std::int32_t focal = input.IntIn(-1, 900);
    const bool restore = settings.profile == LineProfile::kPerspective && input.IntIn(0, 1) != 0 &&
                         std::int64_t{width} * height <= kMostStored;

    SelectionRect clip = ClipToImage(rect, width, height);
    if (clip.right <= clip.left || clip.bottom <= clip.top) clip = {0, 0, 1, 1};
    const Window window =
        restore ? Window{0, 0, std::int64_t{width} * height} : WindowOf(clip, width, height);
    if (window.count > kMostStored) return 0;
    const auto count = static_cast<std::size_t>(window.count);
    FarImage source(width, height, window.x, window.y, count, 0);
    const std::vector<std::uint8_t> bytes = input.Bytes(count * 4);
    std::memcpy(source.Window(), bytes.data(), bytes.size());
    FarImage dest(width, height, window.x, window.y, count, kStart);

    if (restore) {
        const bool ran = RunTransformInProportion(source.Pixels(), dest.Pixels(), width, height,
                                                  rect, shape, difference, focal, fill, nullptr);
        FuzzCheck(ran, "a small image's moved lines had their memory");
    } else {
        RunTransform(source.Pixels(), dest.Pixels(), width, height, rect, shape, difference,
                     settings.profile, fill, nullptr);
    }
    FuzzCheck(source.GuardsIntact() && dest.GuardsIntact(), "guard zones intact");
    const SelectionRect written = ClipToImage(rect, width, height);
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t at =
            std::int64_t{window.y} * width + window.x + static_cast<std::int64_t>(i);
        const std::int64_t x = at % width;
        const std::int64_t y = at / width;
        const bool inside =
            x >= written.left && x < written.right && y >= written.top && y < written.bottom;
        if (!inside) FuzzCheck(dest.Window()[i] == kStart, "nothing written outside the rectangle");
    }
    return 0;
}
