// The transform on several threads: the engine keeps no global state and rebuilds each row on
// its own, so the rows of a row shape are split between threads, each rebuilt by the engine's
// own line workers: the same pixels as its single pass. Column shapes go through the engine's
// band pass on one thread, which walks the columns faster than the lone column workers could.
#pragma once

#include <cstdint>

#include "transform/edge_samplers.h"
#include "transform/pixel.h"
#include "transform/progress.h"
#include "transform/shape_profile.h"

// RunTransform with its arguments, on THREADS threads (1: RunTransform itself). Progress is
// reported from the first thread's share of the rows.
void RunTransformOnThreads(const Pixel32* source, Pixel32* destination, std::int32_t width,
                           std::int32_t height, const SelectionRect& rect, std::int32_t shape,
                           std::int32_t difference, LineProfile profile, FillParams fill,
                           ProgressRecord* progress, unsigned threads);
