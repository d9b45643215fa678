// Preview rendering: the Trapezoid transform of the part of the image that the canvas shows,
// computed pixel by pixel into the canvas, with the host's selection mask respected.
#include "ui/preview_render.h"

#include <algorithm>
#include <cstddef>

#include <emmintrin.h>
#include <xmmintrin.h>

#include "transform/transform_pass.h"
#include "ui/preview_canvas_lines.h"
#include "ui/preview_lines.h"

namespace {

using namespace preview_canvas_lines;

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
                 std::int32_t shape, std::int32_t difference, LineProfile profile,
                 const FillParams& fill, MovedLines* moved) noexcept {
    PreviewRegion region{};
    if (!DrawableRegion(canvas, source, visible, {source.width, source.height}, &region)) return;
    const preview_lines::PreviewLines lines(source, fill, kRows, shape, difference, profile, moved);
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
    lines.Ensure(lineFrom, lineTo);
    for (std::int32_t line = lineFrom; line < lineTo; ++line) {
        if (kRows) PrefetchRow(source, line + 1, posFrom, posTo);
        CanvasView<kRows> view(source, line, CanvasLine<kRows>(canvas, region, line),
                               lines.Moved());
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
                       LineProfile profile, const FillParams& fill, MovedLines* moved) noexcept {
    RenderLines<true>(canvas, source, region, shape, difference, profile, fill, moved);
}

void RenderPreviewColumns(CanvasPixels& canvas, const PreviewSource& source,
                          const PreviewRegion& region, std::int32_t shape, std::int32_t difference,
                          LineProfile profile, const FillParams& fill, MovedLines* moved) noexcept {
    RenderLines<false>(canvas, source, region, shape, difference, profile, fill, moved);
}

void RenderTrapezoidPreview(CanvasPixels& canvas, const PreviewSource& source,
                            const PreviewRegion& region, std::int32_t shape,
                            std::int32_t difference, LineProfile profile, const FillParams& fill,
                            MovedLines* moved) noexcept {
    if (ShapeRebuildsRows(shape)) {
        RenderPreviewRows(canvas, source, region, shape, difference, profile, fill, moved);
    } else {
        RenderPreviewColumns(canvas, source, region, shape, difference, profile, fill, moved);
    }
}
