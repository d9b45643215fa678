// Benchmarks of the transform pass on a 6000 x 4000 image, in nanoseconds per pixel, against a
// plain copy of the same image as the floor; prints each figure's ratio to the floor, the least
// of the repetitions of each, and the perspective profile's worst ratio to the classic one over
// the same settings.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_images.h"
#include "bench/least_reporter.h"
#include "transform/span_path.h"
#include "transform/transform_pass.h"

namespace {

constexpr std::int32_t kWidth = 6000;
constexpr std::int32_t kHeight = 4000;
constexpr double kPixels = static_cast<double>(kWidth) * kHeight;

const std::vector<Pixel32>& Source() {
    static const std::vector<Pixel32> image =
        RandomOpaquePixels(static_cast<std::size_t>(kWidth) * kHeight);
    return image;
}

void Report(benchmark::State& state) {
    state.counters["ns_per_pixel"] =
        benchmark::Counter(kPixels * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Copy(benchmark::State& state) {
    std::vector<Pixel32> dest(Source().size());
    for (auto _ : state) {
        std::memcpy(dest.data(), Source().data(), dest.size() * sizeof(Pixel32));
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    }
    Report(state);
}

void Pass(benchmark::State& state, std::int32_t shape, std::int32_t difference,
          LineProfile profile) {
    std::vector<Pixel32> dest(Source());
    const FillParams fill{0, 0, 0, 0, 0, 0, 0};
    for (auto _ : state) {
        RunTransform(Source().data(), dest.data(), kWidth, kHeight, {0, 0, kWidth, kHeight}, shape,
                     difference, profile, fill, nullptr);
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    }
    Report(state);
}

}  // namespace

int main(int argc, char** argv) {
    const struct {
        const char* name;
        std::int32_t shape;
        std::int32_t difference;
    } settings[] = {{"squeeze", 1, 30},
                    {"stretch", 1, -30},
                    {"squeeze-columns", 4, 30},
                    {"stretch-columns", 4, -30}};
    benchmark::RegisterBenchmark("copy", Copy)->Unit(benchmark::kMillisecond);
    for (const auto& s : settings) {
        benchmark::RegisterBenchmark(s.name, Pass, s.shape, s.difference, LineProfile::kClassic)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("perspective-") + s.name).c_str(), Pass, s.shape,
                                     s.difference, LineProfile::kPerspective)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    LeastReporter reporter([](const LeastReporter::Run& run) -> std::optional<double> {
        return RealNanoseconds(run) / kPixels;
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::map<std::string, double>& nsPerPixel = reporter.least;
    const double floor = nsPerPixel["copy"];
    if (floor <= 0) return 0;
    std::printf("path: %s\n", LinePathName(ActiveLinePath()));
    std::printf("floor copy: %.3f ns per pixel\n", floor);
    for (const auto& [name, ns] : nsPerPixel) {
        if (name != "copy") std::printf("ratio %s: %.2f\n", name.c_str(), ns / floor);
    }
    // Only each line's inset differs between the profiles: the worst setting's ratio.
    double worst = 0;
    for (const auto& s : settings) {
        const double classic = nsPerPixel[s.name];
        const double perspective = nsPerPixel[std::string("perspective-") + s.name];
        if (classic > 0) worst = std::max(worst, perspective / classic);
    }
    std::printf("ratio perspective-vs-classic: %.2f\n", worst);
    return 0;
}
