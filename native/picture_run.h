// One picture's run, the same in the native command and the Python module: the picture and its
// selection read, the settings straightened with --auto, the engine's pass, the result written.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "imageio/image.h"
#include "native/filter_options.h"
#include "native/run_job.h"
#include "transform/edge_samplers.h"
#include "transform/straighten.h"

struct Selected {
    RgbaImage image;
    std::vector<std::uint8_t> mask;  // empty: every pixel selected
    SelectionRect rect{};
};

// INPUT read upright with RUN's mask and rectangle. Throws HostError (UsageError for a
// selection that does not fit the picture).
[[nodiscard]] Selected ReadSelected(const FilterOptions& run, const std::string& input,
                                    RunJob& job);

// The straightening of the selection under RUN's direction, shape and profile; none when the
// picture has no straight lines to go by.
[[nodiscard]] std::optional<Straightening> Suggest(const Selected& selected,
                                                   const FilterOptions& run);

// "shape=1 difference=12"
[[nodiscard]] std::string SuggestionText(const Straightening& found);

// The settings' fill with its colour resolved as the plug-in resolves it: the foreground or
// background colour for those modes, white or black for theirs, alpha 0 when transparent.
[[nodiscard]] FillParams ResolvedFill(const TrapezoidSettings& settings, Pixel32 foreground,
                                      Pixel32 background);

// One picture: read, straightened with --auto, run, written through a temporary file. Returns
// the exit code of a single run; throws HostError for the command's own failures. LABEL names it
// beside a progress bar.
int RunOne(const FilterOptions& run, const std::string& input, const std::string& output,
           const std::string& label, RunJob& job);

// How the file system tells files apart: the real path, or for a file not there yet its folder's
// real path and its name.
[[nodiscard]] std::string FileIdentity(const std::string& path);

// The message the plug-in refuses a settings file's difference beyond -100..100 with; none for a
// valid one.
[[nodiscard]] std::optional<std::string> SettingsRefusal(const FilterOptions& run);
