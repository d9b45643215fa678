// Fuzz target: the preview rendering, everything from the input: the image and its mask, the
// canvas's size, the region (origins up to the 32-bit limits), the settings and the selection,
// at 1:1 and zoomed. Only the region's part of the canvas may change: the rest of it is the
// guard zone, checked after each render.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/engine_settings.h"
#include "fuzz/fuzz_input.h"
#include "ui/canvas_pixels.h"
#include "ui/preview_render.h"

namespace {

constexpr std::uint32_t kUntouched = 0x00ABCDEFu;

// The canvas pixels a render may write along one axis: the region cut to the image's extent,
// in 64 bits as a render must compute it. Empty when first >= end.
struct Span {
    std::int64_t first;
    std::int64_t end;
};

Span Written(std::int32_t dest, std::int32_t origin, std::int32_t size, std::int32_t extent) {
    const std::int64_t from = std::max<std::int64_t>(origin, 0);
    const std::int64_t to =
        std::min<std::int64_t>(std::int64_t{origin} + std::max(size, 0), extent);
    const std::int64_t at = std::int64_t{dest} + (from - origin);
    return {at, at + std::max<std::int64_t>(to - from, 0)};
}

void CheckGuards(const CanvasPixels& canvas, CanvasSize size, const PreviewRegion& region,
                 CanvasSize extent) {
    const Span xs =
        Written(region.destOrigin.x, region.sourceOrigin.x, region.size.width, extent.width);
    const Span ys =
        Written(region.destOrigin.y, region.sourceOrigin.y, region.size.height, extent.height);
    for (std::int32_t y = 0; y < size.height; ++y) {
        for (std::int32_t x = 0; x < size.width; ++x) {
            const bool region_pixel = x >= xs.first && x < xs.end && y >= ys.first && y < ys.end;
            if (!region_pixel) FuzzCheck(canvas.At(x, y) == kUntouched, "guard zone intact");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::int32_t width = input.IntIn(0, 24);
    const std::int32_t height = input.IntIn(0, 24);
    const CanvasSize canvasSize{input.IntIn(1, 40), input.IntIn(1, 40)};
    PreviewRegion region{};
    region.destOrigin = {input.Coordinate(canvasSize.width), input.Coordinate(canvasSize.height)};
    region.sourceOrigin = {input.Coordinate(width), input.Coordinate(height)};
    region.size = {input.Coordinate(canvasSize.width), input.Coordinate(canvasSize.height)};
    const EngineSettings settings = ReadEngineSettings(input);
    const std::int32_t shape = settings.shape;
    const std::int32_t difference = settings.difference;
    FillParams fill = settings.fill;
    fill.left = input.Coordinate(width);
    fill.top = input.Coordinate(height);
    fill.right = input.Coordinate(width);
    fill.bottom = input.Coordinate(height);
    const std::int32_t scale = input.IntIn(0, 1) != 0 ? input.IntIn(1, 8) : input.Coordinate(8);
    const bool masked = input.IntIn(0, 1) != 0;
    const auto pixelCount = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::vector<std::uint8_t> maskBytes = input.Bytes(masked ? pixelCount : 0);
    const std::vector<std::uint8_t> pixelBytes = input.Bytes(pixelCount * 4);
    std::vector<Pixel32> pixels(pixelCount);
    if (!pixels.empty()) std::memcpy(pixels.data(), pixelBytes.data(), pixelBytes.size());
    const PreviewSource source{pixels.empty() ? nullptr : pixels.data(), width, height,
                               masked && !maskBytes.empty() ? maskBytes.data() : nullptr};

    CanvasPixels canvas;
    FuzzCheck(canvas.Allocate(canvasSize.width, canvasSize.height, kUntouched), "canvas");
    RenderTrapezoidPreview(canvas, source, region, shape, difference, settings.profile, fill);
    CheckGuards(canvas, canvasSize, region, {width, height});
    canvas.Clear(kUntouched);
    RenderZoomedTrapezoidPreview(canvas, source, region, scale, shape, difference, settings.profile,
                                 fill);
    const std::int32_t blocks = std::max(scale, 1);
    CheckGuards(canvas, canvasSize, region,
                {ZoomedExtent(width, blocks), ZoomedExtent(height, blocks)});
    // The mask's spans change no pixel of the zoomed view.
    SelectionSpans spans;
    if (spans.Build(source.mask, width, height)) {
        const std::size_t words = static_cast<std::size_t>(canvasSize.width) *
                                  static_cast<std::size_t>(canvasSize.height);
        const std::vector<std::uint32_t> plain(canvas.Words(), canvas.Words() + words);
        canvas.Clear(kUntouched);
        RenderZoomedTrapezoidPreview(canvas, source, region, scale, shape, difference,
                                     settings.profile, fill, &spans);
        FuzzCheck(std::equal(plain.begin(), plain.end(), canvas.Words()), "spans change pixels");
    }
    return 0;
}
