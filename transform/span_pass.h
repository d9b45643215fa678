// Span pass: the row or column pass run through the span kernels of the CPU's path. Rows are
// rebuilt one at a time; columns are rebuilt one output row at a time across all of them, each
// column's samples read where they lie in the image, so that memory is walked along its rows.
#pragma once

#include <cstdint>

#include "transform/edge_samplers.h"
#include "transform/line_geometry.h"
#include "transform/pixel.h"
#include "transform/progress.h"

// Runs every line of `lines` (rows when `rows`, else columns), each squeezed or stretched as its
// geometry says. Returns false, having written nothing, when its
// scratch memory cannot be had: for rows 32 bytes for each pixel a squeezed row reads, for
// columns about 50 bytes a column.
bool RunSpanPass(Pixel32* destination, const SamplerContext& context, const LineGeometry& lines,
                 bool rows, ProgressRecord* progress) noexcept;
