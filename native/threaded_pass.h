// The transform on several threads: the engine keeps no global state and rebuilds each row of a
// row shape from that row alone, so the rows are split between threads, each rebuilt by the
// engine's own line workers: the same pixels as its single pass. Since a row reads no other row,
// a row shape can also be run in place, each row copied to scratch before it is overwritten, so
// that a run needs no second picture. Column shapes go through the engine's band pass on one
// thread, which walks the columns faster than the lone column workers could.
#pragma once

#include <cstdint>

#include "transform/edge_samplers.h"
#include "transform/pixel.h"
#include "transform/progress.h"
#include "transform/shape_profile.h"

// RunTransform with its arguments, on THREADS threads (at least one). SOURCE may be DESTINATION
// itself when SHAPE rebuilds rows: the result is then the one RunTransform writes into a copy of
// the source. Progress is reported on the calling thread, by the rows handed out. Throws
// std::bad_alloc when the threads' scratch rows cannot be had, having changed nothing.
void RunTransformOnThreads(const Pixel32* source, Pixel32* destination, std::int32_t width,
                           std::int32_t height, const SelectionRect& rect, std::int32_t shape,
                           std::int32_t difference, LineProfile profile, FillParams fill,
                           ProgressRecord* progress, unsigned threads);
