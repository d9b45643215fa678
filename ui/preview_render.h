// Preview rendering: the Trapezoid transform of the part of the image that the canvas shows,
// computed pixel by pixel into the canvas, with the host's selection mask respected.
#pragma once

#include <cstdint>

#include "selection/selection_scan.h"
#include "transform/edge_samplers.h"
#include "transform/moved_lines.h"
#include "transform/pixel.h"
#include "transform/shape_profile.h"
#include "ui/canvas_pixels.h"

// The host's image as the preview reads it; null mask when the host has none.
using PreviewSource = PictureView;

// The visible part of the image: image pixel (sourceOrigin.x + i, sourceOrigin.y + j) is shown at
// canvas pixel (destOrigin.x + i, destOrigin.y + j), for 0 <= i < size.width, 0 <= j < size.height.
struct PreviewRegion {
    CanvasPoint destOrigin;
    CanvasPoint sourceOrigin;
    CanvasSize size;
};

// The region of the source unchanged, each pixel over the board with its own alpha; the same
// checks as below.
void RenderSourcePreview(CanvasPixels& canvas, const PreviewSource& source,
                         const PreviewRegion& region) noexcept;

// The transform of the region by shape 0..2 (rows) or 3..5 (columns) under `profile`: pixels that
// the pass would rewrite are computed as it computes them; pixels outside the fill's rectangle, and
// pixels whose mask byte is 255, show the source. A difference of 0, an empty rectangle or a shape
// outside 0..5 show the source. The fill carries the mode, the resolved colour, the transparent
// flag and the selection rectangle. Reads only inside the image and writes only the region's canvas
// pixels; a region that does not fit the canvas draws nothing and records kPixelOutside.
// With `moved` and the perspective profile, the proportions restored as the pass restores them:
// `moved` keeps the lines it moved for the next render of the same image and setting.
void RenderPreviewRows(CanvasPixels& canvas, const PreviewSource& source,
                       const PreviewRegion& region, std::int32_t shape, std::int32_t difference,
                       LineProfile profile, const FillParams& fill,
                       MovedLines* moved = nullptr) noexcept;
void RenderPreviewColumns(CanvasPixels& canvas, const PreviewSource& source,
                          const PreviewRegion& region, std::int32_t shape, std::int32_t difference,
                          LineProfile profile, const FillParams& fill,
                          MovedLines* moved = nullptr) noexcept;
// Rows or columns by the shape.
void RenderTrapezoidPreview(CanvasPixels& canvas, const PreviewSource& source,
                            const PreviewRegion& region, std::int32_t shape,
                            std::int32_t difference, LineProfile profile, const FillParams& fill,
                            MovedLines* moved = nullptr) noexcept;

// Zoomed views: canvas pixel (destOrigin.x + i, destOrigin.y + j) stands for block
// (sourceOrigin.x + i, sourceOrigin.y + j) of scale x scale image pixels, blocks counted from the
// image's top-left corner and cut at its right and bottom edges. It shows over the board the
// average of four pixels of what the 1:1 preview shows, alpha averaged and each colour averaged
// weighted by alpha (halves rounded up), so that it looks like the four pixels seen together: two
// positions along each axis, at the block's quarter points rounded down (block start + size / 4
// and + 3 size / 4). Only those pixels are computed. A scale below 1 counts as 1; the checks are
// those above, with the image's extent counted in blocks. The trapezoid's `spans`, when they
// describe the source's mask, spare reading the mask along lines whose selection is solid; the
// pixels shown are the same without them.
void RenderZoomedSourcePreview(CanvasPixels& canvas, const PreviewSource& source,
                               const PreviewRegion& blocks, std::int32_t scale) noexcept;
void RenderZoomedTrapezoidPreview(CanvasPixels& canvas, const PreviewSource& source,
                                  const PreviewRegion& blocks, std::int32_t scale,
                                  std::int32_t shape, std::int32_t difference, LineProfile profile,
                                  const FillParams& fill,
                                  const SelectionSpans* spans = nullptr,
                                  MovedLines* moved = nullptr) noexcept;
