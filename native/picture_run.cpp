// One picture's run in the native command and the Python module: read, straightened, corrected
// by the engine, written.
#include "native/picture_run.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "cli/arguments.h"
#include "cli/command_error.h"
#include "cli/defined_crop.h"
#include "cli/interruption.h"
#include "cli/run_selection.h"
#include "native/picture_files.h"
#include "native/threaded_pass.h"
#include "settings/localized_text.h"
#include "transform/proportions.h"
#include "transform/transform_pass.h"

namespace {

// Whether a run rebuilds the picture in place rather than into a copy: each row of a row shape
// is rebuilt from that row alone, unless the proportions move rows, and a mask needs the
// source's pixels back after the pass.
bool RunsInPlace(const TrapezoidSettings& settings, bool masked) {
    return !masked && ShapeRebuildsRows(settings.shape) &&
           !(settings.perspective != 0 && settings.proportions != 0);
}

// Bytes a run holds for each pixel: the picture, the result unless it is rebuilt in place, and a
// mask's byte.
std::uint32_t RunBytesPerPixel(bool inPlace, bool masked) {
    return (inPlace ? 4u : 8u) + (masked ? 1u : 0u);
}

// The same before the picture is read, never too few: --auto on verticals picks a row shape or
// leaves the settings' own, on horizontals it may pick a column shape.
std::uint32_t ExpectedBytesPerPixel(const FilterOptions& run) {
    const bool masked = run.maskPath.has_value();
    const bool columns = run.straighten && run.direction == StraightenDirection::kHorizontals;
    return RunBytesPerPixel(!columns && RunsInPlace(run.settings, masked), masked);
}

}  // namespace

Selected ReadSelected(const FilterOptions& run, const std::string& input, RunJob& job) {
    const std::uint32_t bytesPerPixel = ExpectedBytesPerPixel(run);
    std::optional<GreyImage> maskImage;
    if (run.maskPath) maskImage = ReadGreyPicture(*run.maskPath, bytesPerPixel, job);
    Selected selected;
    selected.image = ReadPicture(input, bytesPerPixel, job);
    if (maskImage) {
        CheckMaskSize(*run.maskPath, *maskImage, selected.image);
        selected.mask = MaskFromGrey(std::move(*maskImage));
    }
    selected.rect = ChooseRect(selected.image, selected.mask, run.maskPath.value_or(""), run.rect);
    return selected;
}

std::optional<Straightening> Suggest(const Selected& selected, const FilterOptions& run) {
    const PictureView picture{selected.image.pixels.data(), selected.image.width,
                              selected.image.height,
                              selected.mask.empty() ? nullptr : selected.mask.data()};
    return SuggestStraightening(picture, selected.rect, run.direction, run.settings.shape,
                                ProfileOfSetting(run.settings.perspective));
}

std::string SuggestionText(const Straightening& found) {
    return "shape=" + std::to_string(found.shape) +
           " difference=" + std::to_string(found.difference);
}

FillParams ResolvedFill(const TrapezoidSettings& settings, Pixel32 foreground, Pixel32 background) {
    FillParams fill = settings.fill;
    const Pixel32 queried = fill.mode == static_cast<std::int32_t>(UndefinedAreaMode::kForeground)
                                ? foreground
                                : background;
    fill.colour = ResolveFillColour(fill.mode, queried, fill.transparent);
    return fill;
}

namespace {

// A bar drawn on stderr while it is a terminal: the label and the percentage done.
struct Progress {
    std::string label;
    int shown = -1;

    static std::int32_t KV_STDCALL Report(std::int32_t current, std::int32_t total,
                                          std::intptr_t userData) noexcept {
        auto& progress = *reinterpret_cast<Progress*>(userData);
        const int percent = total > 0 ? static_cast<int>(current * 100 / total) : 0;
        if (percent == progress.shown) return 1;
        progress.shown = percent;
        std::fprintf(stderr, "\r%s%s%3d%%", progress.label.c_str(),
                     progress.label.empty() ? "" : " ", percent);
        return 1;
    }
};

// The pass from SOURCE, which may be the destination's own pixels (RunsInPlace), into
// DESTINATION, on the job's threads.
void RunFilter(const FilterOptions& run, const TrapezoidSettings& settings, const Pixel32* source,
               const SelectionRect& rect, RgbaImage& destination, const std::string& label,
               const RunJob& job) {
    if (settings.difference == 0) return;
    Progress progress{label};
    const bool visible = job.Direct() && !run.quiet && isatty(STDERR_FILENO) != 0;
    ProgressRecord record{reinterpret_cast<std::intptr_t>(&progress),
                          visible ? Progress::Report : nullptr, 0};
    const unsigned threads = job.PassThreads();
    const FillParams fill = ResolvedFill(settings, run.foreground, run.background);
    if (settings.perspective != 0 && settings.proportions != 0) {
        if (!RunTransformInProportion(source, destination.pixels.data(), destination.width,
                                      destination.height, rect, settings.shape, settings.difference,
                                      settings.focal, fill, &record)) {
            throw std::bad_alloc();
        }
    } else {
        RunTransformOnThreads(source, destination.pixels.data(), destination.width,
                              destination.height, rect, settings.shape, settings.difference,
                              ProfileOfSetting(settings.perspective), fill, &record, threads);
    }
    if (visible) std::fputs("\n", stderr);
}

}  // namespace

int RunOne(const FilterOptions& run, const std::string& input, const std::string& output,
           const std::string& label, RunJob& job) {
    if (imageio::CodecOfPath(output) == nullptr) CheckWritable(output, 1, 1);
    Selected selected = ReadSelected(run, input, job);
    ThrowIfInterrupted();
    CheckWritable(output, selected.image.width, selected.image.height);
    TrapezoidSettings settings = run.settings;
    if (!run.focalGiven) {
        settings.focal =
            FocalOfSetting(ExifFocalIn35mm(selected.image.metadata.exif).value_or(kDefaultFocal));
    }
    if (run.straighten) {
        const std::optional<Straightening> found = Suggest(selected, run);
        if (!found) {
            job.Line(Quoted(input) + ": no straight lines found, settings left as they are");
        } else {
            settings.shape = found->shape;
            settings.difference = found->difference;
            if (!run.quiet) job.Line(Quoted(input) + ": " + SuggestionText(*found));
        }
    }
    const TrapezoidGeometrySettings geometry{settings.shape, settings.difference,
                                             settings.perspective, settings.proportions,
                                             settings.focal};
    if (const std::optional<std::string> warning = AllUndefinedWarning(
            selected.image.width, selected.image.height, selected.rect, geometry, input)) {
        job.Warning(*warning);
    }
    const bool masked = !selected.mask.empty();
    RgbaImage destination;
    if (RunsInPlace(settings, masked)) {
        destination = std::move(selected.image);
        RunFilter(run, settings, destination.pixels.data(), selected.rect, destination, label, job);
    } else {
        destination = selected.image;
        RunFilter(run, settings, selected.image.pixels.data(), selected.rect, destination, label,
                  job);
    }
    ThrowIfInterrupted();
    if (masked) KeepUnselected(selected.mask, selected.image.pixels, destination.pixels);
    if (run.crop) {
        CropToDefined(destination, selected.rect, geometry, input);
        if (!run.quiet) {
            job.Line(Quoted(input) + ": cropped to " + std::to_string(destination.width) + "x" +
                     std::to_string(destination.height));
        }
    }
    selected.image = RgbaImage();  // the encoder gets the room
    WritePicture(output, destination, run.write, job);
    return kExitSuccess;
}

std::string FileIdentity(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        // A file not there yet: its folder's real path and its own name.
        const std::size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        char* parent = realpath(folder.c_str(), nullptr);
        std::string identity =
            (parent != nullptr ? std::string(parent) : folder) + "/" + FileNameOf(path);
        std::free(parent);
        return identity;
    }
    std::string identity(resolved);
    std::free(resolved);
    return identity;
}

std::optional<std::string> SettingsRefusal(const FilterOptions& run) {
    if (IsValidDifference(run.settings.difference)) return std::nullopt;
    return std::string("the filter refused the run: ") + EnglishText().InvalidSettingsMessage();
}
