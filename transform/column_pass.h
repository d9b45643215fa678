// Column pass: every column of the rectangle rebuilt one output row at a time across a band of
// neighbouring columns, each column's samples read where they lie in the image, so that memory is
// walked along its rows.
#pragma once

#include <cstdint>

#include "transform/edge_samplers.h"
#include "transform/line_geometry.h"
#include "transform/pixel.h"
#include "transform/progress.h"

// Rebuilds every column of `lines` as its plan says, reporting progress by output rows. False,
// having written nothing, when its scratch (about 360 KiB, whatever the image) cannot be had.
// The destination's rows lie `destinationStride` pixels apart, 0 for the source's stride.
bool RunColumnPass(Pixel32* destination, const SamplerContext& context, const LineGeometry& lines,
                   ProgressRecord* progress, std::int32_t destinationStride = 0) noexcept;
