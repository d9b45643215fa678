// Arguments that run and setup share: the plug-in, the input image, the filter index, the
// selection mask and the editor's colours.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/arguments.h"
#include "host/client_info.h"

struct FilterArguments {
    std::string pluginPath;
    std::string inputPath;
    std::string filter = "0";      // --filter as given, which the plug-in's FilterIndex reads
    std::int32_t filterIndex = 0;  // what it names, once the plug-in is loaded
    std::optional<std::string> maskPath;
    ClientInfoState colours;  // its mask stays null: the mask bytes come later, from the file
};

// Adds --filter, --mask, --fg and --bg, and the positional "plugin" and "input".
void AddFilterArguments(cxxopts::Options& options);

// Reads what AddFilterArguments added; throws UsageError (with the usage) when one is missing or
// malformed.
[[nodiscard]] FilterArguments ReadFilterArguments(const cxxopts::ParseResult& result,
                                                  const std::string& usage);
