// The transform on several threads, and in place.
#include "native/threaded_pass.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "transform/line_geometry.h"
#include "transform/transform_pass.h"

namespace {

// Rows are handed out this many at a time to whichever thread asks next, so that a thread slowed
// by a neighbour's work on its processor takes fewer of them: a fixed share each would leave the
// pass waiting for the slowest.
constexpr std::int32_t kRowsPerTask = 16;

// Row ROW of the pass rebuilt from SOURCE's row alone through the worker the engine's row pass
// picks for it. SCRATCH, a row long, is empty unless SOURCE is the destination: the row is then
// copied there before its place is overwritten.
void RebuildRow(const LinePass& pass, const Pixel32* source, std::vector<Pixel32>& scratch,
                std::int32_t row) noexcept {
    const std::int32_t width = pass.context->stride;
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
}

// The pass's rows, a task at a time from NEXT on, until none is left; progress counts the rows
// handed out. Counted in 64 bits: the tasks asked for after the last row go past the end, which
// for the tallest pictures lies near the 32-bit limit.
void RebuildRows(const LinePass& pass, const Pixel32* source, std::vector<Pixel32>& scratch,
                 std::atomic<std::int64_t>& next, ProgressRecord* progress) noexcept {
    const std::int64_t first = pass.lines.first;
    const std::int64_t end = first + pass.lines.extent;
    for (std::int64_t from = next.fetch_add(kRowsPerTask); from < end;
         from = next.fetch_add(kRowsPerTask)) {
        const std::int64_t to = std::min(from + kRowsPerTask, end);
        for (std::int64_t row = from; row < to; ++row) {
            RebuildRow(pass, source, scratch, static_cast<std::int32_t>(row));
        }
        ReportLinesDone(progress, std::min(next.load(), end) - first, pass.lines.extent);
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
    const auto parts = static_cast<std::size_t>(std::clamp<unsigned>(threads, 1, 64));
    // Taken before any thread starts, so that running short of memory changes nothing.
    std::vector<std::vector<Pixel32>> scratch(
        parts, std::vector<Pixel32>(source == destination ? static_cast<std::size_t>(width) : 0));
    std::atomic<std::int64_t> next{pass.lines.first};
    std::vector<std::thread> others;
    for (std::size_t part = 1; part < parts; ++part) {
        others.emplace_back(RebuildRows, std::cref(pass), source, std::ref(scratch[part]),
                            std::ref(next), nullptr);
    }
    RebuildRows(pass, source, scratch[0], next, progress);
    for (std::thread& thread : others) thread.join();
}
