// Preview rendering: the Trapezoid transform of the part of the image that the canvas shows,
// computed pixel by pixel into the canvas, with the host's selection mask respected.
#include "ui/preview_render.h"

#include <algorithm>
#include <cstddef>

#include "plugin/selection_scan.h"
#include "transform/line_geometry.h"
#include "transform/line_kernels.h"
#include "transform/transform_pass.h"

namespace {

// The region cut down to the image, its canvas origin moved along; empty when nothing is inside.
PreviewRegion ClipRegion(const PreviewRegion& region, std::int32_t width,
                         std::int32_t height) noexcept {
    const std::int32_t x0 = std::max(region.sourceOrigin.x, 0);
    const std::int32_t y0 = std::max(region.sourceOrigin.y, 0);
    const std::int32_t x1 = std::min(region.sourceOrigin.x + std::max(region.size.width, 0), width);
    const std::int32_t y1 =
        std::min(region.sourceOrigin.y + std::max(region.size.height, 0), height);
    const CanvasPoint dest{region.destOrigin.x + (x0 - region.sourceOrigin.x),
                           region.destOrigin.y + (y0 - region.sourceOrigin.y)};
    return {dest, {x0, y0}, {std::max(x1 - x0, 0), std::max(y1 - y0, 0)}};
}

// The region of the image that can be drawn: cut to the image, and empty, with the canvas's
// error recorded, when it does not fit the canvas. Checked once here, so that the pixels are
// written without a test each.
bool DrawableRegion(CanvasPixels& canvas, const PreviewSource& source, const PreviewRegion& visible,
                    PreviewRegion* region) noexcept {
    if (source.pixels == nullptr || source.width <= 0 || source.height <= 0) return false;
    *region = ClipRegion(visible, source.width, source.height);
    if (!canvas.Contains(region->destOrigin, region->size)) {
        canvas.Fail(CanvasError::kPixelOutside);
        return false;
    }
    return true;
}

// One visible line as the canvas shows it: position p along the line is source pixel
// pixels[p * step], mask byte mask[p * step], and canvas pixel (baseX + p, baseY) for a row or
// (baseX, baseY + p) for a column. The region it belongs to has been checked to fit the canvas.
template <bool kRows>
class LineView {
   public:
    LineView(CanvasPixels& target, const PreviewSource& source, const PreviewRegion& region,
             std::int32_t line) noexcept
        : canvas(target) {
        const std::ptrdiff_t start = kRows ? PixelIndex(0, line, source.width) : line;
        step = kRows ? 1 : source.width;
        pixels = source.pixels + start;
        mask = source.mask != nullptr ? source.mask + start : nullptr;
        const CanvasPoint& dest = region.destOrigin;
        const CanvasPoint& from = region.sourceOrigin;
        baseX = kRows ? dest.x - from.x : dest.x + (line - from.x);
        baseY = kRows ? dest.y + (line - from.y) : dest.y - from.y;
    }

    [[nodiscard]] bool Masked(std::int32_t p) const noexcept {
        return mask != nullptr && mask[p * step] == kUnselected;
    }
    [[nodiscard]] Pixel32 Source(std::int32_t p) const noexcept { return pixels[p * step]; }
    void Put(std::int32_t p, Pixel32 value) noexcept {
        const std::uint8_t alpha = static_cast<std::uint8_t>(value >> 24);
        if (kRows) {
            canvas.PutPixelInside(baseX + p, baseY, value, alpha);
        } else {
            canvas.PutPixelInside(baseX, baseY + p, value, alpha);
        }
    }
    void PutSource(std::int32_t p) noexcept { Put(p, Source(p)); }
    void PutSource(std::int32_t from, std::int32_t to) noexcept {
        for (std::int32_t p = from; p < to; ++p) PutSource(p);
    }
    // Masked positions keep the source; the others get what `compute` gives for them.
    template <class Compute>
    void PutUnlessMasked(std::int32_t p, Compute compute) noexcept {
        Put(p, Masked(p) ? Source(p) : compute());
    }

    const Pixel32* pixels;
    std::ptrdiff_t step;

   private:
    CanvasPixels& canvas;
    const std::uint8_t* mask;
    std::int32_t baseX;
    std::int32_t baseY;
};

// The sampler-table operation `fn` at position p of the line.
template <bool kRows>
Pixel32 Operation(SamplerFn fn, const SamplerContext& context, std::int32_t line, std::int32_t p,
                  double s, double len) noexcept {
    return kRows ? fn(context, p, line, s, 0.0, len) : fn(context, line, p, 0.0, s, len);
}

// A pixel wholly in the undefined area. With the transparent flag the board shows through,
// whatever the mode, so the operation is not asked.
template <bool kRows>
void PreviewOutsidePixel(LineView<kRows>& view, const SamplerContext& context, SamplerFn fn,
                         std::int32_t line, std::int32_t p) noexcept {
    view.PutUnlessMasked(p, [&] {
        return context.fill->transparent != 0 ? Pixel32{0}
                                              : Operation<kRows>(fn, context, line, p, 0.0, 0.0);
    });
}

// A partly covered end pixel, its interval starting at s.
template <bool kRows>
void PreviewEdgePixel(LineView<kRows>& view, const SamplerContext& context, SamplerFn fn,
                      std::int32_t line, std::int32_t p, double s, double len) noexcept {
    view.PutUnlessMasked(p, [&] { return Operation<kRows>(fn, context, line, p, s, len); });
}

// What every visible line of one render shares: the sampler context, the lines' geometry, and
// the visible positions along a line that lie inside the rectangle, from..to-1.
struct PreviewLines {
    SamplerContext context;
    LineGeometry geometry;
    std::int32_t from;
    std::int32_t to;
};

// A stretched line: every visible position samples the source at its scaled position, as the
// pass does, so that both give the same values.
template <bool kRows>
void EnlargeLine(LineView<kRows>& view, const PreviewLines& lines, std::int32_t line) noexcept {
    const SamplerContext& ctx = lines.context;
    const StretchMap map = lines.geometry.Stretch(lines.geometry.Inset(line));
    CubicLineSampler sampler(view.pixels, view.step, kRows ? ctx.stride : ctx.height);
    SampleStretched(
        sampler, lines.from, lines.to, map.shift, map.scale,
        [&](std::int32_t p, Pixel32 pixel) { view.PutUnlessMasked(p, [&] { return pixel; }); });
}

// A squeezed line, walked once from its first visible position to its last through five runs:
// the undefined area before the line, the partly covered first pixel, the area averages, the
// partly covered last pixel and the undefined area after it. The bounds are those of the pass.
template <bool kRows>
void ReduceLine(LineView<kRows>& view, const PreviewLines& lines, std::int32_t line) noexcept {
    const SamplerContext& ctx = lines.context;
    const SamplerRow& ops = SamplerTable(ctx.fill->mode);
    const SamplerFn before = ops[kRows ? kOutsideLeft : kOutsideTop];
    const SamplerFn after = ops[kRows ? kOutsideRight : kOutsideBottom];
    const SamplerFn start = ops[kRows ? kEdgeLeft : kEdgeTop];
    const SamplerFn end = ops[kRows ? kEdgeRight : kEdgeBottom];
    const std::int32_t lo = lines.geometry.lo;
    const std::int32_t hi = lines.geometry.hi;
    const double t = lines.geometry.Inset(line);
    const double len = lines.geometry.SqueezedPixelLength(t);
    const std::int32_t n = kRows ? ctx.stride : ctx.height;
    const auto s = [&](std::int32_t p) { return lo + ((p - lo) - t) * len; };

    std::int32_t p = lines.from;
    for (; p < lines.to && p <= (lo + t) - 1; ++p) PreviewOutsidePixel(view, ctx, before, line, p);
    for (; p < lines.to && p < lo + t; ++p) PreviewEdgePixel(view, ctx, start, line, p, s(p), len);
    std::int32_t boxEnd = p;
    while (boxEnd < lines.to && boxEnd <= (hi - t) - 1) ++boxEnd;
    AverageSqueezed(
        view.pixels, view.step, n, lo, t, len, p, boxEnd,
        [&](std::int32_t q, Pixel32 pixel) { view.PutUnlessMasked(q, [&] { return pixel; }); });
    p = boxEnd;
    for (; p < lines.to && p < hi - t; ++p) PreviewEdgePixel(view, ctx, end, line, p, s(p), len);
    for (; p < lines.to; ++p) PreviewOutsidePixel(view, ctx, after, line, p);
}

// Line workers for one visible line inside the rectangle: a stretched line by cubic convolution,
// a squeezed one by area average with the undefined area and its blended ends.
void PreviewEnlargeRow(LineView<true>& view, const PreviewLines& lines, std::int32_t row) noexcept {
    EnlargeLine(view, lines, row);
}
void PreviewReduceRow(LineView<true>& view, const PreviewLines& lines, std::int32_t row) noexcept {
    ReduceLine(view, lines, row);
}
void PreviewEnlargeColumn(LineView<false>& view, const PreviewLines& lines,
                          std::int32_t column) noexcept {
    EnlargeLine(view, lines, column);
}
void PreviewReduceColumn(LineView<false>& view, const PreviewLines& lines,
                         std::int32_t column) noexcept {
    ReduceLine(view, lines, column);
}

template <bool kRows>
using PreviewWorker = void (*)(LineView<kRows>&, const PreviewLines&, std::int32_t) noexcept;

// Visits the visible lines. Lines and positions outside the rectangle show the source, as the
// pass never rewrites them; the others get the worker the pass gives their line.
template <bool kRows>
void RenderLines(CanvasPixels& canvas, const PreviewSource& source, const PreviewRegion& visible,
                 std::int32_t shape, std::int32_t difference, const FillParams& fill,
                 PreviewWorker<kRows> reduce, PreviewWorker<kRows> enlarge) noexcept {
    PreviewRegion region{};
    if (!DrawableRegion(canvas, source, visible, &region)) return;
    const SelectionRect rect =
        ClipToImage({fill.left, fill.top, fill.right, fill.bottom}, source.width, source.height);
    const bool empty = rect.right <= rect.left || rect.bottom <= rect.top;
    if (difference == 0 || empty || shape < 0 || shape >= kShapeCount) {
        RenderSourcePreview(canvas, source, region);
        return;
    }
    FillParams clipped = fill;
    clipped.left = rect.left;
    clipped.top = rect.top;
    clipped.right = rect.right;
    clipped.bottom = rect.bottom;
    const LineGeometry geometry = GeometryOf(rect, kRows, shape, difference);
    const std::int32_t lineFrom = kRows ? region.sourceOrigin.y : region.sourceOrigin.x;
    const std::int32_t lineTo = lineFrom + (kRows ? region.size.height : region.size.width);
    const std::int32_t posFrom = kRows ? region.sourceOrigin.x : region.sourceOrigin.y;
    const std::int32_t posTo = posFrom + (kRows ? region.size.width : region.size.height);
    const PreviewLines lines{{source.pixels, source.width, source.height, &clipped},
                             geometry,
                             std::max(posFrom, geometry.lo),
                             std::min(posTo, geometry.hi)};
    const double mid = geometry.Middle();
    for (std::int32_t line = lineFrom; line < lineTo; ++line) {
        LineView<kRows> view(canvas, source, region, line);
        if (line < geometry.first || line >= geometry.first + geometry.extent) {
            view.PutSource(posFrom, posTo);
            continue;
        }
        view.PutSource(posFrom, std::min(posTo, geometry.lo));
        const bool reduced = LineIsReduced(shape, difference, line < mid);
        (reduced ? reduce : enlarge)(view, lines, line);
        view.PutSource(std::max(posFrom, lines.to), posTo);
    }
}

}  // namespace

void RenderSourcePreview(CanvasPixels& canvas, const PreviewSource& source,
                         const PreviewRegion& visible) noexcept {
    PreviewRegion region{};
    if (!DrawableRegion(canvas, source, visible, &region)) return;
    for (std::int32_t j = 0; j < region.size.height; ++j) {
        LineView<true> view(canvas, source, region, region.sourceOrigin.y + j);
        view.PutSource(region.sourceOrigin.x, region.sourceOrigin.x + region.size.width);
    }
}

void RenderPreviewRows(CanvasPixels& canvas, const PreviewSource& source,
                       const PreviewRegion& region, std::int32_t shape, std::int32_t difference,
                       const FillParams& fill) noexcept {
    RenderLines<true>(canvas, source, region, shape, difference, fill, PreviewReduceRow,
                      PreviewEnlargeRow);
}

void RenderPreviewColumns(CanvasPixels& canvas, const PreviewSource& source,
                          const PreviewRegion& region, std::int32_t shape, std::int32_t difference,
                          const FillParams& fill) noexcept {
    RenderLines<false>(canvas, source, region, shape, difference, fill, PreviewReduceColumn,
                       PreviewEnlargeColumn);
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
