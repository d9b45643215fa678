// Span paths: the span kernels built for each instruction set, and the one this CPU runs.
#include "transform/span_path.h"

namespace {

LinePath FastestPath() noexcept {
    return LinePathRuns(LinePath::kAvx2) ? LinePath::kAvx2 : LinePath::kSse2;
}

// The engine runs on its caller's thread only; the choice is made once, on first use.
LinePath& Active() noexcept {
    static LinePath path = FastestPath();
    return path;
}

}  // namespace

bool LinePathRuns(LinePath path) noexcept {
    if (path == LinePath::kSse2) return true;
    // Also checks that the operating system saves the 256-bit registers.
    __builtin_cpu_init();
    return path == LinePath::kAvx2 && __builtin_cpu_supports("avx2");
}

LinePath ActiveLinePath() noexcept { return Active(); }

const SpanPath& ActiveSpanPath() noexcept {
    return Active() == LinePath::kAvx2 ? Avx2SpanPath() : Sse2SpanPath();
}

bool ChooseLinePath(LinePath path) noexcept {
    if (!LinePathRuns(path)) return false;
    Active() = path;
    return true;
}

const char* LinePathName(LinePath path) noexcept {
    return path == LinePath::kAvx2 ? "avx2" : "sse2";
}
