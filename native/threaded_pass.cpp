// The transform on several threads.
#include "native/threaded_pass.h"

#include <algorithm>
#include <thread>
#include <vector>

#include "transform/line_geometry.h"
#include "transform/transform_pass.h"

namespace {

// Rows FROM..TO-1 of the pass, each through the worker the engine's row pass picks for it.
void RebuildRows(const LinePass& pass, std::int32_t from, std::int32_t to,
                 ProgressRecord* progress) {
    const LineGeometry& lines = pass.lines;
    for (std::int32_t row = from; row < to; ++row) {
        (lines.Squeezed(row, lines.Inset(row)) ? ReduceRow : EnlargeRow)(pass, row);
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
    const bool rows = shape >= 0 && shape < kShapeCount && ShapeRebuildsRows(shape);
    if (threads <= 1 || !rows || difference == 0 || r.right <= r.left || r.bottom <= r.top ||
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
    const auto parts = static_cast<std::int32_t>(std::min<unsigned>(threads, 64));
    const auto bound = [&](std::int32_t part) {
        return first + static_cast<std::int32_t>(static_cast<std::int64_t>(extent) * part / parts);
    };
    std::vector<std::thread> others;
    for (std::int32_t part = 1; part < parts; ++part) {
        others.emplace_back(RebuildRows, std::cref(pass), bound(part), bound(part + 1), nullptr);
    }
    RebuildRows(pass, bound(0), bound(1), progress);
    for (std::thread& thread : others) thread.join();
}
