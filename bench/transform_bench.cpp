// Benchmarks of the transform pass on a 6000 x 4000 image, in nanoseconds per pixel, against a
// plain copy of the same image as the floor; prints each figure's ratio to the floor, the least
// of the repetitions of each, the perspective profile's worst ratio to the classic one over the
// same settings, and the worst ratio of the pass that restores proportions to the perspective one.
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

// The lens of the passes that restore proportions; 0 for the others.
constexpr std::int32_t kFocal = 28;

void Pass(benchmark::State& state, std::int32_t shape, std::int32_t difference, LineProfile profile,
          std::int32_t focal) {
    std::vector<Pixel32> dest(Source());
    const FillParams fill{0, 0, 0, 0, 0, 0, 0};
    const SelectionRect whole{0, 0, kWidth, kHeight};
    for (auto _ : state) {
        if (focal != 0) {
            benchmark::DoNotOptimize(RunTransformInProportion(Source().data(), dest.data(), kWidth,
                                                              kHeight, whole, shape, difference,
                                                              focal, fill, nullptr));
        } else {
            RunTransform(Source().data(), dest.data(), kWidth, kHeight, whole, shape, difference,
                         profile, fill, nullptr);
        }
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
        benchmark::RegisterBenchmark(s.name, Pass, s.shape, s.difference, LineProfile::kClassic, 0)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("perspective-") + s.name).c_str(), Pass, s.shape,
                                     s.difference, LineProfile::kPerspective, 0)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("proportions-") + s.name).c_str(), Pass, s.shape,
                                     s.difference, LineProfile::kPerspective, kFocal)
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
    // The worst setting's ratio of the passes named `over` to those named `under`.
    const auto worstRatio = [&](const std::string& over, const std::string& under) {
        double worst = 0;
        for (const auto& s : settings) {
            const double base = nsPerPixel[under + s.name];
            if (base > 0) worst = std::max(worst, nsPerPixel[over + s.name] / base);
        }
        return worst;
    };
    // Only each line's inset differs between the profiles.
    std::printf("ratio perspective-vs-classic: %.2f\n", worstRatio("perspective-", ""));
    // The move of the lines, and the pass over the moved picture.
    std::printf("ratio proportions-vs-perspective: %.2f\n",
                worstRatio("proportions-", "perspective-"));
    return 0;
}
