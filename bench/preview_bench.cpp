// Benchmarks of the preview: one paint of a 260 x 150 view in nanoseconds per visible pixel, at 1:1
// and at the scale that fits the whole image, against the transform pass of the same setting in
// nanoseconds per image pixel, on a small and a large image; and the dialog's opening scan of a
// 6000 x 4000 mask against a plain read of it, in nanoseconds per mask byte. Prints the ratios
// after the table, and the time of the redraw that follows a resize of the dialog: the whole
// canvas of a maximised preview (1088 x 820, its size on a 1280 x 1024 screen) painted with the
// 6000 x 4000 image at the scale that fits it.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_images.h"
#include "bench/least_reporter.h"
#include "selection/selection_scan.h"
#include "transform/transform_pass.h"
#include "ui/canvas_pixels.h"
#include "ui/preview_render.h"

namespace {

constexpr std::int32_t kViewWidth = 260;
constexpr std::int32_t kViewHeight = 150;
constexpr CanvasSize kMaximisedView{1088, 820};
constexpr std::int32_t kShape = 1;
constexpr std::int32_t kSqueeze = 30;
constexpr std::int32_t kStretch = -30;

// Random opaque pixels and an all-selected mask (every byte 0) of the same size.
struct Image {
    std::int32_t width;
    std::int32_t height;
    std::vector<Pixel32> pixels;
    std::vector<std::uint8_t> mask;

    [[nodiscard]] double Pixels() const noexcept { return static_cast<double>(width) * height; }
};

Image MakeImage(std::int32_t width, std::int32_t height) {
    Image image{width, height, {}, {}};
    image.pixels =
        RandomOpaquePixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    image.mask.assign(image.pixels.size(), 0);
    return image;
}

const Image& Small() {
    static const Image image = MakeImage(600, 400);
    return image;
}

const Image& Large() {
    static const Image image = MakeImage(6000, 4000);
    return image;
}

// A 6000 x 4000 mask selecting an ellipse in the middle that covers about half the image.
constexpr std::int32_t kMaskWidth = 6000;
constexpr std::int32_t kMaskHeight = 4000;
constexpr double kMaskBytes = static_cast<double>(kMaskWidth) * kMaskHeight;

const std::vector<std::uint8_t>& EllipseMask() {
    static const std::vector<std::uint8_t> mask = [] {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kMaskBytes), kUnselected);
        // Semi-axes of sqrt(2 / pi) times the half sizes give an area of half the image.
        const double a = kMaskWidth * 0.5 * 0.7979;
        const double b = kMaskHeight * 0.5 * 0.7979;
        for (std::int32_t y = 0; y < kMaskHeight; ++y) {
            for (std::int32_t x = 0; x < kMaskWidth; ++x) {
                const double u = (x + 0.5 - kMaskWidth * 0.5) / a;
                const double v = (y + 0.5 - kMaskHeight * 0.5) / b;
                if (u * u + v * v <= 1.0) {
                    bytes[static_cast<std::size_t>(PixelIndex(x, y, kMaskWidth))] = 0;
                }
            }
        }
        return bytes;
    }();
    return mask;
}

// What one iteration of each benchmark handles (visible pixels, image pixels or mask bytes), by
// name, so that the reporter can turn times into nanoseconds per unit.
std::map<std::string, double>& Units() {
    static std::map<std::string, double> units;
    return units;
}

// Processor time of this thread, in seconds: every benchmark here runs on one thread, and on a
// machine shared with other work the wall clock also counts the time it waited for a core.
double ThreadSeconds() noexcept {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Runs `body` as the benchmark's iterations, each timed on its own, and reports per unit both the
// mean and the fastest iteration. The ratios take the fastest, of a paint as of a pass: a
// neighbour on a shared machine only ever adds time, and a paint of a millisecond feels far more
// of them than a pass does.
template <class Body>
void Run(benchmark::State& state, double units, Body body) {
    double fastest = std::numeric_limits<double>::infinity();
    for (auto _ : state) {
        const double start = ThreadSeconds();
        body();
        fastest = std::min(fastest, ThreadSeconds() - start);
    }
    state.counters["ns_per_unit"] =
        benchmark::Counter(units * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["fastest_ns"] = fastest * 1e9 / units;
}

// One paint of the view at the middle of the image, the whole image being the rectangle, with an
// all-selected mask or none. The masked paint is the measured one: the dialog has a mask whenever
// the host gives one, and it costs the paint next to nothing (within the noise of the runs).
void Preview(benchmark::State& state, const Image& (*image)(), std::int32_t difference,
             bool masked) {
    const Image& img = image();
    CanvasPixels canvas;
    if (!canvas.Allocate(kViewWidth, kViewHeight, 0)) {
        state.SkipWithError("no canvas");
        return;
    }
    const PreviewSource source{img.pixels.data(), img.width, img.height,
                               masked ? img.mask.data() : nullptr};
    const PreviewRegion region{{0, 0},
                               {(img.width - kViewWidth) / 2, (img.height - kViewHeight) / 2},
                               {kViewWidth, kViewHeight}};
    const FillParams fill{0, 0, 0, 0, 0, img.width, img.height};
    Run(state, static_cast<double>(kViewWidth) * kViewHeight, [&] {
        RenderTrapezoidPreview(canvas, source, region, kShape, difference, LineProfile::kClassic,
                               fill);
        benchmark::DoNotOptimize(canvas.Words());
        benchmark::ClobberMemory();
    });
    if (canvas.Error() != CanvasError::kNone) state.SkipWithError("a pixel outside the canvas");
}

// The whole image zoomed out to fit the view, centred, with the all-selected mask; per canvas
// pixel drawn.
CanvasSize FittedView(const Image& img, const CanvasSize& canvas = {kViewWidth, kViewHeight}) {
    const std::int32_t scale = FitScale(canvas, {img.width, img.height});
    return {ZoomedExtent(img.width, scale), ZoomedExtent(img.height, scale)};
}

void FittedPreview(benchmark::State& state, const Image& (*image)(), std::int32_t difference,
                   CanvasSize size) {
    const Image& img = image();
    CanvasPixels canvas;
    if (!canvas.Allocate(size.width, size.height, 0)) {
        state.SkipWithError("no canvas");
        return;
    }
    const std::int32_t scale = FitScale(size, {img.width, img.height});
    const CanvasSize view = FittedView(img, size);
    const PreviewSource source{img.pixels.data(), img.width, img.height, img.mask.data()};
    const PreviewRegion blocks{
        {(size.width - view.width) / 2, (size.height - view.height) / 2}, {0, 0}, view};
    const FillParams fill{0, 0, 0, 0, 0, img.width, img.height};
    // The dialog reads the mask's spans once, at its first zoomed paint.
    SelectionSpans spans;
    if (!spans.Build(source.mask, source.width, source.height)) {
        state.SkipWithError("no memory for the selection spans");
        return;
    }
    Run(state, static_cast<double>(view.width) * view.height, [&] {
        RenderZoomedTrapezoidPreview(canvas, source, blocks, scale, kShape, difference,
                                     LineProfile::kClassic, fill, &spans);
        benchmark::DoNotOptimize(canvas.Words());
        benchmark::ClobberMemory();
    });
    if (canvas.Error() != CanvasError::kNone) state.SkipWithError("a pixel outside the canvas");
}

// The transform pass of the whole image.
void Pass(benchmark::State& state, const Image& (*image)(), std::int32_t difference) {
    const Image& img = image();
    std::vector<Pixel32> dest(img.pixels);
    const FillParams fill{0, 0, 0, 0, 0, 0, 0};
    Run(state, img.Pixels(), [&] {
        RunTransform(img.pixels.data(), dest.data(), img.width, img.height,
                     {0, 0, img.width, img.height}, kShape, difference, LineProfile::kClassic, fill,
                     nullptr);
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    });
}

void Scan(benchmark::State& state) {
    const std::vector<std::uint8_t>& mask = EllipseMask();
    Run(state, kMaskBytes, [&] {
        const SelectionRect r = ScanSelectionBounds(mask.data(), kMaskWidth, kMaskHeight);
        benchmark::DoNotOptimize(r);
    });
}

// The floor of the scan: every byte of the mask read once, eight at a time, into a checksum. A
// byte-by-byte count compiles to a scalar loop at -O2 and is slower than the scan itself.
void Read(benchmark::State& state) {
    const std::vector<std::uint8_t>& mask = EllipseMask();
    Run(state, kMaskBytes, [&] {
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i + 8 <= mask.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, mask.data() + i, sizeof word);
            sum += word;
        }
        benchmark::DoNotOptimize(sum);
    });
}

template <class... Args>
void Register(const std::string& name, double units, Args&&... args) {
    Units()[name] = units;
    benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
        ->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
    const double view = static_cast<double>(kViewWidth) * kViewHeight;
    const struct {
        const char* name;
        const Image& (*image)();
    } sizes[] = {{"600x400", Small}, {"6000x4000", Large}};
    const struct {
        const char* name;
        std::int32_t difference;
    } settings[] = {{"squeeze", kSqueeze}, {"stretch", kStretch}};
    for (const auto& size : sizes) {
        for (const auto& setting : settings) {
            const std::string suffix = std::string(setting.name) + "/" + size.name;
            Register("preview-" + suffix, view, Preview, size.image, setting.difference, false);
            Register("preview-mask-" + suffix, view, Preview, size.image, setting.difference, true);
            const CanvasSize fitted = FittedView(size.image());
            Register("preview-fit-" + suffix, static_cast<double>(fitted.width) * fitted.height,
                     FittedPreview, size.image, setting.difference,
                     CanvasSize{kViewWidth, kViewHeight});
            Register("pass-" + suffix, size.image().Pixels(), Pass, size.image, setting.difference);
        }
    }
    const CanvasSize maximised = FittedView(Large(), kMaximisedView);
    Register("resize-redraw/6000x4000", static_cast<double>(maximised.width) * maximised.height,
             FittedPreview, Large, kSqueeze, kMaximisedView);
    Register("scan", kMaskBytes, Scan);
    Register("read", kMaskBytes, Read);
    // The images and the mask are made before the first run, out of its measurements.
    Small();
    Large();
    EllipseMask();
    benchmark::Initialize(&argc, argv);
    // The fastest single paint, pass or scan of a run, per unit, of the benchmarks measured so.
    LeastReporter reporter(
        [](const LeastReporter::Run& run) -> std::optional<double> {
            const auto fastest = run.counters.find("fastest_ns");
            if (fastest == run.counters.end() || Units().count(run.run_name.function_name) == 0) {
                return std::nullopt;
            }
            return fastest->second.value;
        },
        /*aggregatesOnly=*/true);
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::map<std::string, double>& ns = reporter.least;
    const auto known = [&](const std::string& name) { return ns.count(name) != 0; };
    double previewVsPass = 0;
    double largeVsSmall = 0;
    double fitVsPass = 0;
    double fitLargeVsSmall = 0;
    bool complete = true;
    for (const auto& setting : settings) {
        for (const auto& size : sizes) {
            const std::string suffix = std::string(setting.name) + "/" + size.name;
            const std::string preview = "preview-mask-" + suffix;
            const std::string pass = "pass-" + suffix;
            if (!known(preview) || !known(pass)) {
                complete = false;
                continue;
            }
            std::printf("%s: %.3f ns per visible pixel, pass %.3f ns per pixel\n", preview.c_str(),
                        ns[preview], ns[pass]);
            previewVsPass = std::max(previewVsPass, ns[preview] / ns[pass]);
            const std::string fit = "preview-fit-" + suffix;
            if (!known(fit)) {
                complete = false;
                continue;
            }
            std::printf("%s: %.3f ns per canvas pixel\n", fit.c_str(), ns[fit]);
            fitVsPass = std::max(fitVsPass, ns[fit] / ns[pass]);
        }
        const std::string small = "preview-mask-" + std::string(setting.name) + "/600x400";
        const std::string large = "preview-mask-" + std::string(setting.name) + "/6000x4000";
        if (known(small) && known(large)) {
            largeVsSmall = std::max(largeVsSmall, ns[large] / ns[small]);
        }
        const std::string fitSmall = "preview-fit-" + std::string(setting.name) + "/600x400";
        const std::string fitLarge = "preview-fit-" + std::string(setting.name) + "/6000x4000";
        if (known(fitSmall) && known(fitLarge)) {
            fitLargeVsSmall = std::max(fitLargeVsSmall, ns[fitLarge] / ns[fitSmall]);
        }
    }
    if (!known("scan") || !known("read")) {
        complete = false;
    } else {
        std::printf("scan: %.3f ns per mask byte, plain read %.3f ns per mask byte\n", ns["scan"],
                    ns["read"]);
    }
    if (known("resize-redraw/6000x4000")) {
        std::printf("time resize-redraw: %.1f ms (6000 x 4000 at 1:%d on a %d x %d preview)\n",
                    ns["resize-redraw/6000x4000"] * maximised.width * maximised.height / 1e6,
                    FitScale(kMaximisedView, {Large().width, Large().height}), kMaximisedView.width,
                    kMaximisedView.height);
    }
    // The ratios only mean something when every figure was measured (no --benchmark_filter).
    if (!complete) return 0;
    std::printf("ratio preview-vs-pass: %.2f\n", previewVsPass);
    std::printf("ratio preview-large-vs-small: %.2f\n", largeVsSmall);
    std::printf("ratio preview-fit-vs-pass: %.2f\n", fitVsPass);
    std::printf("ratio preview-fit-large-vs-small: %.2f\n", fitLargeVsSmall);
    std::printf("ratio scan-vs-read: %.2f\n", ns["scan"] / ns["read"]);
    return 0;
}
