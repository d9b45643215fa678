// Span paths: the span kernels built for each instruction set, and the one this CPU runs. The
// path is chosen once, from the CPU's features, the first time it is asked for; every path gives
// the same pixels.
#pragma once

#include "transform/pixel.h"
#include "transform/span_kernels.h"

enum class LinePath : int {
    kSse2 = 0,  // any i686 or x86-64 CPU this engine runs on
    kAvx2 = 1,  // a pixel's four channels in one 256-bit register
};

struct SpanPath {
    void (*stretch)(const Pixel32* line, const StretchSpan& span, double* taps,
                    Pixel32* out) noexcept;
    void (*squeeze)(const Pixel32* line, const SqueezeSpan& span, double* pixels,
                    Pixel32* out) noexcept;
    // The same at isolated positions at[0..count) of the line, into out[0..count).
    void (*stretchAt)(const Pixel32* line, const StretchSpan& span, const std::int32_t* at,
                      std::int32_t count, Pixel32* out) noexcept;
    void (*squeezeAt)(const Pixel32* line, const SqueezeSpan& span, const std::int32_t* at,
                      std::int32_t count, Pixel32* out) noexcept;
    // One output row of a run of neighbouring columns, stretched or squeezed.
    void (*stretchAcross)(const AcrossRow& row, Pixel32* out) noexcept;
    void (*squeezeAcross)(const AcrossRow& row, Pixel32* out) noexcept;
    // Rows y and y + 1 of a run of stretched columns at once, row y + 1 into `below`.
    void (*stretchAcrossTwoRows)(const AcrossRow& row, Pixel32* out, Pixel32* below) noexcept;
};

// The span kernels built on lane set L, which only the file of its instruction set instantiates.
template <class L>
constexpr SpanPath PathOf() noexcept {
    using K = SpanKernels<L>;
    return {K::Stretch,       K::Squeeze,       K::StretchAt,           K::SqueezeAt,
            K::StretchAcross, K::SqueezeAcross, K::StretchAcrossTwoRows};
}

[[nodiscard]] const SpanPath& Sse2SpanPath() noexcept;
[[nodiscard]] const SpanPath& Avx2SpanPath() noexcept;

// Whether this CPU (and its operating system) can run the path.
[[nodiscard]] bool LinePathRuns(LinePath path) noexcept;

// The path in use: the fastest one this CPU runs unless ChooseLinePath picked another.
[[nodiscard]] LinePath ActiveLinePath() noexcept;
[[nodiscard]] const SpanPath& ActiveSpanPath() noexcept;

// Makes `path` the one in use, for tests and benchmarks that cover every path; refuses (false)
// a path this CPU cannot run.
bool ChooseLinePath(LinePath path) noexcept;

[[nodiscard]] const char* LinePathName(LinePath path) noexcept;
