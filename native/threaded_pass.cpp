// The transform on several threads, and in place.
#include "native/threaded_pass.h"

#include <algorithm>
#include <thread>
#include <vector>

#include "transform/line_geometry.h"
#include "transform/transform_pass.h"

namespace {

// Rows FROM..TO-1 of the pass, each rebuilt from SOURCE's row alone through the worker the
// engine's row pass picks for it. SCRATCH, a row long, is empty unless SOURCE is the
// destination: the row is then copied there before its place is overwritten.
void RebuildRows(const LinePass& pass, const Pixel32* source, std::vector<Pixel32>& scratch,
                 std::int32_t from, std::int32_t to, ProgressRecord* progress) {
    const std::int32_t width = pass.context->stride;
    for (std::int32_t row = from; row < to; ++row) {
        const Pixel32* in = source + PixelIndex(0, row, width);
        if (!scratch.empty()) {
            std::copy_n(in, width, scratch.begin());
            in = scratch.data();
        }
        // The row is line 0 of an image one row high, as the engine's moved rows are.
        const SamplerContext one{in, width, 1, pass.context->fill};
        LineGeometry lines = pass.lines;
        lines.first -= row;
        lines.linearFirst -= row;
        const LinePass rowPass{pass.destination + PixelIndex(0, row, width), &one, lines};
        (lines.Squeezed(0, lines.Inset(0)) ? ReduceRow : EnlargeRow)(rowPass, 0);
        ReportLinesDone(progress, row - from, to - from);
    }
}

}  // namespace

void RunTransformOnThreads(const Pixel32* source, Pixel32* destination, std::int32_t width,
                           std::int32_t height, const SelectionRect& rect, std::int32_t shape,
                           std::int32_t difference, LineProfile profile, FillParams fill,
                           ProgressRecord* progress, unsigned threads) {
    // What RunTransform checks and sets up before its pass.
    const SelectionRect r = ClipToImage(rect, width, height);
    if (!ShapeRebuildsRows(shape) || difference == 0 || r.right <= r.left || r.bottom <= r.top ||
        source == nullptr || destination == nullptr) {
        RunTransform(source, destination, width, height, rect, shape, difference, profile, fill,
                     progress);
        return;
    }
    fill.left = r.left;
    fill.top = r.top;
    fill.right = r.right;
    fill.bottom = r.bottom;
    const SamplerContext context{source, width, height, &fill};
    const LinePass pass{destination, &context,
                        GeometryOf(r, /*rows=*/true, shape, difference, profile)};
    if (pass.lines.hi <= pass.lines.lo) return;
    const std::int32_t first = pass.lines.first;
    const std::int32_t extent = pass.lines.extent;
    const auto parts = static_cast<std::int32_t>(std::clamp<unsigned>(threads, 1, 64));
    const auto bound = [&](std::int32_t part) {
        return first + static_cast<std::int32_t>(static_cast<std::int64_t>(extent) * part / parts);
    };
    // Taken before any thread starts, so that running short of memory changes nothing.
    std::vector<std::vector<Pixel32>> scratch(
        static_cast<std::size_t>(parts),
        std::vector<Pixel32>(source == destination ? static_cast<std::size_t>(width) : 0));
    std::vector<std::thread> others;
    for (std::int32_t part = 1; part < parts; ++part) {
        others.emplace_back(RebuildRows, std::cref(pass), source,
                            std::ref(scratch[static_cast<std::size_t>(part)]), bound(part),
                            bound(part + 1), nullptr);
    }
    RebuildRows(pass, source, scratch[0], bound(0), bound(1), progress);
    for (std::thread& thread : others) thread.join();
}
