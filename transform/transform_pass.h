// Transform pass: rebuilds every row or column of the selection about its centre so that the
// selection's rectangle becomes a trapezoid.
#pragma once

#include <cstdint>

#include "transform/edge_samplers.h"
#include "transform/line_geometry.h"
#include "transform/pixel.h"
#include "transform/progress.h"

// What one line worker needs: the destination, the source through the sampler context, and the
// lines' geometry (lo..hi are left..right for rows, top..bottom for columns).
struct LinePass {
    Pixel32* destination;
    const SamplerContext* context;
    LineGeometry lines;
};

// Line workers, each rebuilding its line as the line's plan says: a stretched line by cubic
// convolution, a squeezed line by area average with the undefined area and its blended ends from
// the sampler table. The passes call the one their line's geometry names; the row pass runs them
// all, the column pass only when it has no room for its band of columns.
void EnlargeRow(const LinePass& pass, std::int32_t row) noexcept;
void ReduceRow(const LinePass& pass, std::int32_t row) noexcept;
void EnlargeColumn(const LinePass& pass, std::int32_t column) noexcept;
void ReduceColumn(const LinePass& pass, std::int32_t column) noexcept;

// All rows (shapes 0 to 2) or all columns (shapes 3 to 5) of the rectangle, which must lie inside
// the image; reports progress after each line.
void RowPass(Pixel32* destination, const SelectionRect& rect, std::int32_t shape,
             std::int32_t difference, LineProfile profile, const SamplerContext& context,
             ProgressRecord* progress) noexcept;
void ColumnPass(Pixel32* destination, const SelectionRect& rect, std::int32_t shape,
                std::int32_t difference, LineProfile profile, const SamplerContext& context,
                ProgressRecord* progress) noexcept;

// The lines of `lines`, rows or columns, rebuilt from the context's source into `destination`.
void PassLines(Pixel32* destination, const LineGeometry& lines, bool rows,
               const SamplerContext& context, ProgressRecord* progress) noexcept;

// The rectangle made to lie inside a width x height image; empty (right <= left or
// bottom <= top) when nothing of it does.
[[nodiscard]] SelectionRect ClipToImage(const SelectionRect& rect, std::int32_t width,
                                        std::int32_t height) noexcept;

// The whole transform of one image: clips the rectangle, fills in the fill's rectangle and runs
// the row or column pass. Writes only destination pixels inside the clipped rectangle; does
// nothing for a difference of 0, an empty rectangle, a shape outside 0..5 or null images; a
// difference beyond -100..100 counts as the limit on its side.
// `profile` says how the lines' lengths follow their position; `fill` carries the mode, the
// resolved colour and the transparent flag.
void RunTransform(const Pixel32* source, Pixel32* destination, std::int32_t width,
                  std::int32_t height, const SelectionRect& rect, std::int32_t shape,
                  std::int32_t difference, LineProfile profile, FillParams fill,
                  ProgressRecord* progress) noexcept;

// RunTransform under the perspective profile with the proportions restored (the lines moved to
// undo the camera's tilt, the lens `focal` mm). Where nothing moves, the perspective profile's
// result. False when memory for its scratch (a row, or a band of 1024 columns of the image's
// height) cannot be had: nothing is written then, except, should the column pass's own scratch
// fail between bands, the bands before.
[[nodiscard]] bool RunTransformInProportion(const Pixel32* source, Pixel32* destination,
                                            std::int32_t width, std::int32_t height,
                                            const SelectionRect& rect, std::int32_t shape,
                                            std::int32_t difference, std::int32_t focal,
                                            FillParams fill, ProgressRecord* progress) noexcept;
