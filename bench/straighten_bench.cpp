// Benchmark of the straightening suggestion on a 6000 x 4000 facade against one transform pass
// of the same image; prints the ratio of the two.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdio>
#include <optional>
#include <vector>

#include "bench/least_reporter.h"
#include "transform/straighten.h"
#include "transform/transform_pass.h"

namespace {

constexpr std::int32_t kWidth = 6000;
constexpr std::int32_t kHeight = 4000;

// Window columns whose verticals converge towards the top, under noise.
const std::vector<Pixel32>& Facade() {
    static const std::vector<Pixel32> image = [] {
        std::vector<Pixel32> pixels(static_cast<std::size_t>(kWidth) * kHeight);
        std::uint32_t noise = 1;
        for (std::int32_t y = 0; y < kHeight; ++y) {
            const double spread = 1 + 0.2 * y / kHeight;
            for (std::int32_t x = 0; x < kWidth; ++x) {
                const double u = kWidth / 2.0 + (x - kWidth / 2.0) * spread;
                const bool window = static_cast<std::int32_t>(u) % 300 < 120 && y % 400 < 250;
                noise = noise * 1664525u + 1013904223u;
                const std::uint32_t level = (window ? 60u : 170u) + (noise >> 28);
                const auto at = static_cast<std::size_t>(PixelIndex(x, y, kWidth));
                pixels[at] = 0xFF000000u | level * 0x010101u;
            }
        }
        return pixels;
    }();
    return image;
}

void Pass(benchmark::State& state) {
    std::vector<Pixel32> dest(Facade());
    const FillParams fill{0, 0, 0, 0, 0, 0, 0};
    for (auto _ : state) {
        RunTransform(Facade().data(), dest.data(), kWidth, kHeight, {0, 0, kWidth, kHeight}, 2, 20,
                     LineProfile::kClassic, fill, nullptr);
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    }
}

void Suggest(benchmark::State& state) {
    for (auto _ : state) {
        const auto found = SuggestStraightening(
            {Facade().data(), kWidth, kHeight, nullptr}, {0, 0, kWidth, kHeight},
            StraightenDirection::kVerticals, 0, LineProfile::kClassic);
        if (!found) state.SkipWithError("no straight lines found in the facade");
        benchmark::DoNotOptimize(found);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("pass", Pass)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("suggest", Suggest)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    LeastReporter reporter([](const LeastReporter::Run& run) -> std::optional<double> {
        return RealNanoseconds(run);
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double pass = reporter.least["pass"];
    if (pass > 0) std::printf("ratio suggest-vs-pass: %.2f\n", reporter.least["suggest"] / pass);
    return 0;
}
