// The options of the native command's run and suggest: the files, the selection, the output,
// and the filter's settings from a settings file or from options, the perspective profile the
// default of --auto.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch_plan.h"
#include "imageio/image_codec.h"
#include "settings/settings_rules.h"
#include "transform/straighten.h"

struct FilterOptions {
    std::vector<std::string> inputs;  // one for the single form and for suggest
    std::string outputPath;           // the single form's OUT
    std::optional<BatchFiles> batch;  // --out-dir and the batch's options
    std::optional<std::string> maskPath;
    std::optional<SelectionRect> rect;
    Pixel32 foreground = 0xFF000000u;
    Pixel32 background = 0xFFFFFFFFu;
    imageio::EncodeOptions write;
    TrapezoidSettings settings{};  // the settings file's, then the options'
    bool straighten = false;       // --auto: a suggestion for each picture before its run
    StraightenDirection direction = StraightenDirection::kVerticals;
    bool focalGiven = false;  // --focal or the settings file's: else each photograph's lens
    bool crop = false;        // --crop: each result cut to what its settings leave defined
    bool quiet = false;
    unsigned jobs = 1;  // a batch's pictures run at once: --jobs, by default the processors
};

constexpr char kRunUsage[] =
    "trapezoid run IN OUT [--shape 0..5] [--difference -100..100] [--fill MODE] "
    "[--transparent] [--perspective [--proportions [--focal MM]]] [--settings FILE] "
    "[--rect L,T,R,B] [--mask MASK] [--fg RRGGBB[AA]] [--bg RRGGBB[AA]] [--quality Q] [--strip] "
    "[--auto [--horizontal] [--classic]] [--crop] [--quiet]";
constexpr char kRunBatchUsage[] =
    "trapezoid run IN... --out-dir DIR [--suffix TEXT] [--format png|jpg|tif|bmp|webp] "
    "[--in-place] "
    "[--jobs N] [options]";
constexpr char kSuggestUsage[] =
    "trapezoid suggest IN [--rect L,T,R,B] [--mask MASK] [--horizontal] [--classic] "
    "[--perspective] [--settings FILE]";

enum class FilterCommand { kRun, kSuggest };

// The options of COMMAND's arguments (arguments[0] is the command's name). Throws UsageError for
// a malformed command line, HostError for a settings file that cannot be read.
[[nodiscard]] FilterOptions ParseFilterOptions(const std::vector<std::string>& arguments,
                                               FilterCommand command);

void PrintRunHelp(std::FILE* stream);
void PrintSuggestHelp(std::FILE* stream);
