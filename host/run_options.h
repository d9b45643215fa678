// The options of the run command: one image (IN OUT) or a batch (IN... --out-dir DIR), and the
// help that lists them one line each.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/batch_plan.h"
#include "host/commands.h"
#include "host/filter_arguments.h"
#include "host/image_file.h"
#include "plugin_interface/kv_interface.h"

struct RunOptions {
    FilterArguments filter;           // its inputPath is the first input
    std::vector<std::string> inputs;  // one for the single form, any number for a batch
    std::string outputPath;           // the single form's OUT
    std::optional<BatchFiles> batch;  // --out-dir and the batch's options
    std::optional<SelectionRect> rect;
    WriteOptions write;
    bool straighten = false;  // --auto: the plug-in suggests and saves its settings before each run
    SuggestDirection direction = SuggestVerticals;  // what --auto straightens
    bool crop = false;  // --crop: the result cut to what the settings leave defined
    bool quiet = false;
    bool interactive = false;
    unsigned jobs = 1;  // a batch's files run at once: --jobs, by default the processors
};

// Throws UsageError for a malformed command line.
[[nodiscard]] RunOptions ParseRunOptions(const CommandArguments& arguments);

// Where a batch writes INPUT: DIR/NAME+SUFFIX.EXT, EXT that of --format or the input's own.
[[nodiscard]] std::string BatchOutputPath(const RunOptions& run, const std::string& input);

// The lines of those options (named without their value) from run's options table.
void PrintOptionHelp(std::FILE* stream, std::initializer_list<std::string_view> names);

// The usage of run, its options one line each, the formats and the exit codes.
void PrintRunHelp(std::FILE* stream);
