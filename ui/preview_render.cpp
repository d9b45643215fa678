// Preview rendering: the Trapezoid transform of the part of the image that the canvas shows,
// computed pixel by pixel into the canvas, with the host's selection mask respected.
#include "ui/preview_render.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include <xmmintrin.h>

#include "transform/transform_pass.h"
#include "ui/preview_lines.h"

namespace {

// The region cut down to the image, its canvas origin moved along; empty when nothing is inside.
// Computed in 64 bits: an origin near the 32-bit limit plus a size would wrap around and pass
// the checks. A canvas origin that leaves 32 bits is kept at -1, which no canvas contains.
PreviewRegion ClipRegion(const PreviewRegion& region, std::int32_t width,
                         std::int32_t height) noexcept {
    const auto clip = [](std::int32_t origin, std::int32_t size, std::int32_t extent,
                         std::int32_t dest, std::int32_t* from, std::int32_t* count) {
        const std::int64_t start = std::max<std::int64_t>(origin, 0);
        const std::int64_t end =
            std::min<std::int64_t>(std::int64_t{origin} + std::max(size, 0), std::max(extent, 0));
        const std::int64_t at = std::int64_t{dest} + (start - origin);
        *from = static_cast<std::int32_t>(start);
        *count = static_cast<std::int32_t>(std::max<std::int64_t>(end - start, 0));
        return static_cast<std::int32_t>(at > std::numeric_limits<std::int32_t>::max() ? -1 : at);
    };
    PreviewRegion clipped{};
    clipped.destOrigin.x = clip(region.sourceOrigin.x, region.size.width, width,
                                region.destOrigin.x, &clipped.sourceOrigin.x, &clipped.size.width);
    clipped.destOrigin.y = clip(region.sourceOrigin.y, region.size.height, height,
                                region.destOrigin.y, &clipped.sourceOrigin.y, &clipped.size.height);
    return clipped;
}

// The region of the image that can be drawn: cut to the image, whose extent is counted in the
// region's units (pixels, or blocks of a zoomed view), and empty, with the canvas's error
// recorded, when it does not fit the canvas. Checked once here, so that the pixels are written
// without a test each.
bool DrawableRegion(CanvasPixels& canvas, const PreviewSource& source, const PreviewRegion& visible,
                    const CanvasSize& extent, PreviewRegion* region) noexcept {
    if (source.pixels == nullptr || source.width <= 0 || source.height <= 0) return false;
    *region = ClipRegion(visible, extent.width, extent.height);
    if (!canvas.Contains(region->destOrigin, region->size)) {
        canvas.Fail(CanvasError::kPixelOutside);
        return false;
    }
    return true;
}

// Where a visible line's pixels go on the canvas: position p along it is canvas pixel
// (baseX + p, baseY) for a row or (baseX, baseY + p) for a column. The region it belongs to has
// been checked to fit the canvas.
template <bool kRows>
class CanvasLine {
   public:
    CanvasLine(CanvasPixels& target, const PreviewRegion& region, std::int32_t line) noexcept {
        const CanvasPoint& dest = region.destOrigin;
        const CanvasPoint& from = region.sourceOrigin;
        baseX = kRows ? dest.x - from.x : dest.x + (line - from.x);
        baseY = kRows ? dest.y + (line - from.y) : dest.y - from.y;
        // Positions of the region only are put: the first is at the region's canvas origin.
        first = target.WordInside(kRows ? dest.x : baseX, kRows ? baseY : dest.y);
        firstPosition = kRows ? from.x : from.y;
        stride = kRows ? 1 : target.Width();
    }
    void Put(std::int32_t p, Pixel32 value) noexcept {
        const std::uint8_t alpha = static_cast<std::uint8_t>(value >> 24);
        const std::int32_t x = kRows ? baseX + p : baseX;
        const std::int32_t y = kRows ? baseY : baseY + p;
        first[(p - firstPosition) * stride] = CompositeOverBoard(x, y, value, alpha);
    }

   private:
    std::uint32_t* first;  // the word of the region's first position along the line
    std::ptrdiff_t stride;
    std::int32_t firstPosition;
    std::int32_t baseX;
    std::int32_t baseY;
};

// Asks for the pixels and mask bytes of row `row`, positions from..to-1 and a quarter of their
// width on each side (where the intervals of a squeezed row reach), to be fetched while the row
// before it is computed: each row of a large image starts in memory that is not cached yet.
void PrefetchRow(const PreviewSource& source, std::int32_t row, std::int32_t from,
                 std::int32_t to) noexcept {
    if (row >= source.height) return;
    const std::int32_t margin = (to - from) / 4;
    from = std::max(from - margin, 0);
    to = std::min(to + margin, source.width);
    constexpr std::int32_t kCacheLine = 64;  // bytes
    const std::ptrdiff_t start = PixelIndex(0, row, source.width);
    for (std::int32_t x = from; x < to; x += kCacheLine / 4) {
        _mm_prefetch(reinterpret_cast<const char*>(source.pixels + start + x), _MM_HINT_T0);
    }
    if (source.mask == nullptr) return;
    for (std::int32_t x = from; x < to; x += kCacheLine) {
        _mm_prefetch(reinterpret_cast<const char*>(source.mask + start + x), _MM_HINT_T0);
    }
}

template <bool kRows>
using CanvasView = preview_lines::LineView<kRows, CanvasLine<kRows>>;

// Visits the visible lines. Lines and positions outside the rectangle show the source, as the
// pass never rewrites them; the others are walked as the pass computes their line.
template <bool kRows>
void RenderLines(CanvasPixels& canvas, const PreviewSource& source, const PreviewRegion& visible,
                 std::int32_t shape, std::int32_t difference, const FillParams& fill) noexcept {
    PreviewRegion region{};
    if (!DrawableRegion(canvas, source, visible, {source.width, source.height}, &region)) return;
    const preview_lines::PreviewLines lines(source, fill, kRows, shape, difference);
    if (!lines.transforms) {
        RenderSourcePreview(canvas, source, region);
        return;
    }
    const std::int32_t lineFrom = kRows ? region.sourceOrigin.y : region.sourceOrigin.x;
    const std::int32_t lineTo = lineFrom + (kRows ? region.size.height : region.size.width);
    const std::int32_t posFrom = kRows ? region.sourceOrigin.x : region.sourceOrigin.y;
    const std::int32_t posTo = posFrom + (kRows ? region.size.width : region.size.height);
    const std::int32_t from = std::max(posFrom, lines.geometry.lo);
    const std::int32_t to = std::min(posTo, lines.geometry.hi);
    for (std::int32_t line = lineFrom; line < lineTo; ++line) {
        if (kRows) PrefetchRow(source, line + 1, posFrom, posTo);
        CanvasView<kRows> view(source, line, CanvasLine<kRows>(canvas, region, line));
        if (!lines.Covers(line)) {
            view.PutSource(posFrom, posTo);
            continue;
        }
        view.PutSource(posFrom, std::min(posTo, lines.geometry.lo));
        preview_lines::EveryPosition at{from, to};
        preview_lines::LineWalk<CanvasView<kRows>>(lines, view, line).Run(at);
        view.PutSource(std::max(posFrom, to), posTo);
    }
}

// Zoomed views.

// The two positions that block `block` of an axis samples: its quarter points, rounded down, in
// the block cut at the image's far edge.
struct BlockSamples {
    std::int32_t first;
    std::int32_t second;
};

BlockSamples SamplesOf(std::int32_t block, std::int32_t scale, std::int32_t imageSize) noexcept {
    const std::int32_t start = block * scale;
    const std::int32_t size = std::min(scale, imageSize - start);
    return {start + size / 4, start + static_cast<std::int32_t>(std::int64_t{size} * 3 / 4)};
}

// The quarter points of blocks from..end-1 along a line, two a block, in increasing order.
void QuartersOf(std::int32_t from, std::int32_t end, std::int32_t scale, std::int32_t imageSize,
                std::int32_t* at) noexcept {
    for (std::int32_t block = from; block < end; ++block, at += 2) {
        const BlockSamples samples = SamplesOf(block, scale, imageSize);
        at[0] = samples.first;
        at[1] = samples.second;
    }
}

// Takes a line's samples in the order the walk visits them.
struct SampleSink {
    Pixel32* next;
    void Put(std::int32_t, Pixel32 pixel) noexcept { *next++ = pixel; }
};

// What the 1:1 preview shows at the quarter points `at` along `line`, into `out`, two a block:
// the source before lo and from hi on, and the line's walk between.
template <bool kRows>
void SampleLine(const PreviewSource& source, const preview_lines::PreviewLines& lines,
                std::int32_t line, preview_lines::IsolatedPositions at, Pixel32* out) noexcept {
    using View = preview_lines::LineView<kRows, SampleSink>;
    View view(source, line, SampleSink{out});
    const auto copySource = [&] {
        for (; at.More(); at.Advance()) view.Put(at.p, view.Source(at.p));
    };
    if (lines.transforms && lines.Covers(line)) {
        at.Limit(lines.geometry.lo);
        copySource();
        at.Limit(lines.geometry.hi);
        preview_lines::LineWalk<View>(lines, view, line).Run(at);
        at.Limit(std::numeric_limits<std::int32_t>::max());
    }
    copySource();
}

// The average of four pixels as they are seen: alpha averaged, each colour channel averaged
// weighted by alpha (halves rounded up), so that the colour a transparent pixel happens to carry
// does not show. Four pixels of one alpha give the plain average of each channel.
Pixel32 AverageOfFour(const Pixel32 (&samples)[4]) noexcept {
    const std::uint32_t alpha = samples[0] >> 24;
    if ((samples[1] >> 24) == alpha && (samples[2] >> 24) == alpha && (samples[3] >> 24) == alpha) {
        // One alpha, the common case: the weights cancel. Two channels a word, each sum of four
        // bytes (at most 1020) in its own 16 bits.
        std::uint32_t redBlue = 0x00020002u;
        std::uint32_t alphaGreen = 0x00020002u;
        for (const Pixel32 sample : samples) {
            redBlue += sample & 0x00FF00FFu;
            alphaGreen += sample >> 8 & 0x00FF00FFu;
        }
        return (redBlue >> 2 & 0x00FF00FFu) | (alphaGreen >> 2 & 0x00FF00FFu) << 8;
    }
    std::uint32_t alphas = 0;
    for (const Pixel32 sample : samples) alphas += sample >> 24;
    Pixel32 average = ((alphas + 2) / 4) << 24;
    for (int channel = 0; channel < 3; ++channel) {
        std::uint32_t sum = alphas / 2;
        for (const Pixel32 sample : samples) sum += Channel(sample, channel) * (sample >> 24);
        average |= (sum / alphas) << (8 * channel);
    }
    return average;
}

// Blocks sampled in one go along a line: their samples stay on the stack.
constexpr std::int32_t kChunkBlocks = 256;

// Visits the visible blocks a line of blocks at a time (rows of blocks for shapes that rebuild
// rows, columns of blocks for the others): each of its two sampled lines is walked once over
// the quarter points of a chunk of blocks, then the chunk's canvas pixels are written.
template <bool kRows>
void RenderZoomedLines(CanvasPixels& canvas, const PreviewSource& source,
                       const PreviewRegion& blocks, std::int32_t scale,
                       const preview_lines::PreviewLines& lines) noexcept {
    scale = std::max(scale, 1);
    PreviewRegion region{};
    const CanvasSize extent{ZoomedExtent(source.width, scale), ZoomedExtent(source.height, scale)};
    if (!DrawableRegion(canvas, source, blocks, extent, &region)) return;
    const CanvasPoint& dest = region.destOrigin;
    const std::int32_t across = kRows ? region.size.height : region.size.width;
    const std::int32_t along = kRows ? region.size.width : region.size.height;
    const std::int32_t acrossFrom = kRows ? region.sourceOrigin.y : region.sourceOrigin.x;
    const std::int32_t alongFrom = kRows ? region.sourceOrigin.x : region.sourceOrigin.y;
    const std::int32_t acrossSize = kRows ? source.height : source.width;
    const std::int32_t alongSize = kRows ? source.width : source.height;
    std::int32_t quarters[2 * kChunkBlocks];
    Pixel32 near[2 * kChunkBlocks];
    Pixel32 far[2 * kChunkBlocks];
    for (std::int32_t j = 0; j < across; ++j) {
        const BlockSamples lineAt = SamplesOf(acrossFrom + j, scale, acrossSize);
        for (std::int32_t chunk = 0; chunk < along; chunk += kChunkBlocks) {
            const std::int32_t count = std::min(kChunkBlocks, along - chunk);
            QuartersOf(alongFrom + chunk, alongFrom + chunk + count, scale, alongSize, quarters);
            if (kRows && j + 1 < across) {
                const BlockSamples next = SamplesOf(acrossFrom + j + 1, scale, acrossSize);
                PrefetchRow(source, next.first, quarters[0], quarters[2 * count - 1] + 1);
                PrefetchRow(source, next.second, quarters[0], quarters[2 * count - 1] + 1);
            }
            const preview_lines::IsolatedPositions at(quarters, 2 * count);
            SampleLine<kRows>(source, lines, lineAt.first, at, near);
            SampleLine<kRows>(source, lines, lineAt.second, at, far);
            for (std::int32_t i = 0; i < count; ++i) {
                const Pixel32 four[4] = {near[2 * i], near[2 * i + 1], far[2 * i], far[2 * i + 1]};
                const Pixel32 shown = AverageOfFour(four);
                const std::int32_t k = chunk + i;
                canvas.PutPixelInside(dest.x + (kRows ? k : j), dest.y + (kRows ? j : k), shown,
                                      static_cast<std::uint8_t>(shown >> 24));
            }
        }
    }
}

}  // namespace

void RenderSourcePreview(CanvasPixels& canvas, const PreviewSource& source,
                         const PreviewRegion& visible) noexcept {
    PreviewRegion region{};
    if (!DrawableRegion(canvas, source, visible, {source.width, source.height}, &region)) return;
    for (std::int32_t j = 0; j < region.size.height; ++j) {
        const std::int32_t row = region.sourceOrigin.y + j;
        CanvasView<true> view(source, row, CanvasLine<true>(canvas, region, row));
        view.PutSource(region.sourceOrigin.x, region.sourceOrigin.x + region.size.width);
    }
}

void RenderPreviewRows(CanvasPixels& canvas, const PreviewSource& source,
                       const PreviewRegion& region, std::int32_t shape, std::int32_t difference,
                       const FillParams& fill) noexcept {
    RenderLines<true>(canvas, source, region, shape, difference, fill);
}

void RenderPreviewColumns(CanvasPixels& canvas, const PreviewSource& source,
                          const PreviewRegion& region, std::int32_t shape, std::int32_t difference,
                          const FillParams& fill) noexcept {
    RenderLines<false>(canvas, source, region, shape, difference, fill);
}

void RenderTrapezoidPreview(CanvasPixels& canvas, const PreviewSource& source,
                            const PreviewRegion& region, std::int32_t shape,
                            std::int32_t difference, const FillParams& fill) noexcept {
    if (ShapeRebuildsRows(shape)) {
        RenderPreviewRows(canvas, source, region, shape, difference, fill);
    } else {
        RenderPreviewColumns(canvas, source, region, shape, difference, fill);
    }
}

void RenderZoomedSourcePreview(CanvasPixels& canvas, const PreviewSource& source,
                               const PreviewRegion& blocks, std::int32_t scale) noexcept {
    const preview_lines::PreviewLines unchanged(source, FillParams{}, true, 0, 0);
    RenderZoomedLines<true>(canvas, source, blocks, scale, unchanged);
}

void RenderZoomedTrapezoidPreview(CanvasPixels& canvas, const PreviewSource& source,
                                  const PreviewRegion& blocks, std::int32_t scale,
                                  std::int32_t shape, std::int32_t difference,
                                  const FillParams& fill) noexcept {
    const bool rows = ShapeRebuildsRows(shape);
    const preview_lines::PreviewLines lines(source, fill, rows, shape, difference);
    if (rows) {
        RenderZoomedLines<true>(canvas, source, blocks, scale, lines);
    } else {
        RenderZoomedLines<false>(canvas, source, blocks, scale, lines);
    }
}
