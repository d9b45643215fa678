// Arguments that run and setup share: the plug-in, the input image, the filter index, the
// selection mask and the editor's colours.
#include "host/filter_arguments.h"

#include "host/arguments.h"

void AddFilterArguments(cxxopts::Options& options) {
    options.add_options()("filter", "filter index", cxxopts::value<std::string>())(
        "mask", "selection mask image", cxxopts::value<std::string>())(
        "fg", "foreground colour", cxxopts::value<std::string>())("bg", "background colour",
                                                                  cxxopts::value<std::string>())(
        "plugin", "plug-in", cxxopts::value<std::string>())("input", "input image",
                                                            cxxopts::value<std::string>());
}

FilterArguments ReadFilterArguments(const cxxopts::ParseResult& result, const std::string& usage) {
    FilterArguments filter;
    filter.pluginPath = Positional(result, "plugin", usage);
    filter.inputPath = Positional(result, "input", usage);
    if (result.count("filter") != 0) filter.filter = result["filter"].as<std::string>();
    if (result.count("mask") != 0) filter.maskPath = result["mask"].as<std::string>();
    if (result.count("fg") != 0) {
        filter.colours.foreground = ParseColour(result["fg"].as<std::string>());
    }
    if (result.count("bg") != 0) {
        filter.colours.background = ParseColour(result["bg"].as<std::string>());
    }
    return filter;
}
