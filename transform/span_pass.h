// Span pass: the row or column pass run through the span kernels of the CPU's path. Rows are
// rebuilt in place; columns are rebuilt a band of neighbouring columns at a time, the band read
// into lines and written back row by row, so that memory is walked along its rows.
#pragma once

#include <cstdint>

#include "transform/edge_samplers.h"
#include "transform/line_geometry.h"
#include "transform/pixel.h"
#include "transform/progress.h"

// Columns rebuilt together: each row of a band is four 64-byte cache lines of the image.
constexpr std::int32_t kBandColumns = 64;

// Runs every line of `lines` (rows when `rows`, else columns); the split shapes change from
// squeezing to stretching at the middle line. Returns false, having written nothing, when its
// scratch memory cannot be had: 32 bytes for each pixel a squeezed line reads, and for columns
// two bands of kBandColumns x the rows the lines read and write.
bool RunSpanPass(Pixel32* destination, const SamplerContext& context, const LineGeometry& lines,
                 bool rows, std::int32_t shape, std::int32_t difference,
                 ProgressRecord* progress) noexcept;
