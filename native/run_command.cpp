// The native command's run and suggest: the engine called directly on pictures read and written
// through imageio, one at a time or a batch, with kvhost's messages, refusals and exit codes.
#include <unistd.h>

#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

#include "cli/arguments.h"
#include "cli/batch_run.h"
#include "cli/command_error.h"
#include "cli/defined_crop.h"
#include "cli/run_selection.h"
#include "native/commands.h"
#include "native/filter_options.h"
#include "native/parallel_batch.h"
#include "native/picture_files.h"
#include "native/threaded_pass.h"
#include "settings/localized_text.h"
#include "transform/proportions.h"
#include "transform/transform_pass.h"

namespace {

// Bytes a run holds for each pixel: the source and the result, and a mask's byte.
std::uint32_t RunBytesPerPixel(bool withMask) { return withMask ? 9u : 8u; }

struct Selected {
    RgbaImage image;
    std::vector<std::uint8_t> mask;  // empty: every pixel selected
    SelectionRect rect{};
};

Selected ReadSelected(const FilterOptions& run, const std::string& input, RunJob& job) {
    const std::uint32_t bytesPerPixel = RunBytesPerPixel(run.maskPath.has_value());
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

void RunFilter(const FilterOptions& run, TrapezoidSettings settings, const Selected& selected,
               RgbaImage& destination, const std::string& label, bool alone) {
    if (settings.difference == 0) return;
    const Pixel32 queried =
        settings.fill.mode == static_cast<std::int32_t>(UndefinedAreaMode::kForeground)
            ? run.foreground
            : run.background;
    settings.fill.colour =
        ResolveFillColour(settings.fill.mode, queried, settings.fill.transparent);
    Progress progress{label};
    const bool visible = alone && !run.quiet && isatty(STDERR_FILENO) != 0;
    ProgressRecord record{reinterpret_cast<std::intptr_t>(&progress),
                          visible ? Progress::Report : nullptr, 0};
    // A run alone has the processors to itself; a batch's runs share them already.
    const unsigned threads = alone ? std::max(1u, std::thread::hardware_concurrency()) : 1;
    if (settings.perspective != 0 && settings.proportions != 0) {
        if (!RunTransformInProportion(selected.image.pixels.data(), destination.pixels.data(),
                                      selected.image.width, selected.image.height, selected.rect,
                                      settings.shape, settings.difference, settings.focal,
                                      settings.fill, &record)) {
            throw std::bad_alloc();
        }
        if (visible) std::fputs("\n", stderr);
        return;
    }
    RunTransformOnThreads(selected.image.pixels.data(), destination.pixels.data(),
                          selected.image.width, selected.image.height, selected.rect,
                          settings.shape, settings.difference,
                          ProfileOfSetting(settings.perspective), settings.fill, &record, threads);
    if (visible) std::fputs("\n", stderr);
}

// One picture: read, straightened with --auto, run, written. Returns the exit code of a single
// run; throws HostError for the command's own failures.
int RunOne(const FilterOptions& run, const std::string& input, const std::string& output,
           const std::string& label, RunJob& job) {
    if (imageio::CodecOfPath(output) == nullptr) CheckWritable(output, 1, 1);
    Selected selected = ReadSelected(run, input, job);
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
    RgbaImage destination = selected.image;
    RunFilter(run, settings, selected, destination, label, job.Direct());
    if (!selected.mask.empty())
        KeepUnselected(selected.mask, selected.image.pixels, destination.pixels);
    if (run.crop) {
        CropToDefined(destination, selected.rect,
                      {settings.shape, settings.difference, settings.perspective,
                       settings.proportions, settings.focal},
                      input);
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

void MakeOutputFolder(const std::string& folder) {
    struct stat status {};
    if (stat(folder.c_str(), &status) == 0) {
        if (!S_ISDIR(status.st_mode)) {
            throw UsageError("--out-dir " + Quoted(folder) + " is a file, not a folder");
        }
        return;
    }
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        throw HostError("cannot create the output folder " + Quoted(folder) + ": " +
                        std::strerror(errno));
    }
}

// One job: as kvhost runs a batch. More: on as many threads, each file's lines kept until its
// turn, labelled rather than drawn as a bar.
int RunBatch(const FilterOptions& run) {
    if (run.jobs <= 1) {
        return RunEachInput(run.inputs, "trapezoid", !run.quiet && isatty(STDERR_FILENO) == 0,
                            [&](const std::string& input, const std::string& label) {
                                RunJob job(/*budget=*/nullptr, /*direct=*/true);
                                RunOne(run, input, BatchOutputPath(*run.batch, input), label, job);
                            });
    }
    return RunInParallel(run.inputs, run.jobs, !run.quiet,
                         [&](const std::string& input, const std::string& label, RunJob& job) {
                             RunOne(run, input, BatchOutputPath(*run.batch, input), label, job);
                         });
}

// The plug-in refuses a difference beyond -100..100 from its settings file with this message.
bool SettingsRefused(const FilterOptions& run) {
    if (IsValidDifference(run.settings.difference)) return false;
    std::fprintf(stderr, "trapezoid: the filter refused the run: %s\n",
                 EnglishText().InvalidSettingsMessage());
    return true;
}

}  // namespace

int RunCommand(const std::vector<std::string>& arguments) {
    const FilterOptions run = ParseRunOptions(arguments);
    if (run.batch) {
        CheckBatch(*run.batch, FileIdentity);  // before any file is read
        MakeOutputFolder(run.batch->outDir);
    }
    if (SettingsRefused(run)) return kExitRefused;
    if (run.batch) return RunBatch(run);
    try {
        RunJob job(/*budget=*/nullptr, /*direct=*/true);
        return RunOne(run, run.inputs.front(), run.outputPath, std::string(), job);
    } catch (const std::bad_alloc&) {
        throw HostError(Quoted(run.inputs.front()) + ": out of memory");
    }
}

int SuggestCommand(const std::vector<std::string>& arguments) {
    const FilterOptions suggest = ParseSuggestOptions(arguments);
    RunJob job(/*budget=*/nullptr, /*direct=*/true);
    const std::optional<Straightening> found =
        Suggest(ReadSelected(suggest, suggest.inputs.front(), job), suggest);
    if (!found) {
        std::printf("trapezoid: no straight lines found\n");
        return kExitNoSuggestion;
    }
    std::printf("%s\n", SuggestionText(*found).c_str());
    return kExitSuccess;
}
