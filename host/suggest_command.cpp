// The suggest command: the shape and difference that the plug-in finds to straighten a picture's
// converging lines, printed without saving them.
#include <optional>
#include <string>

#include "host/arguments.h"
#include "host/commands.h"
#include "host/host_error.h"
#include "host/plugin_module.h"
#include "host/run_options.h"
#include "host/selection.h"
#include "host/suggestion.h"
#include "host/text_encoding.h"

namespace {

struct SuggestOptions {
    std::string pluginPath;
    std::string inputPath;
    std::optional<std::string> maskPath;
    std::optional<SelectionRect> rect;
    SuggestDirection direction = SuggestVerticals;
};

SuggestOptions ParseSuggestOptions(const CommandArguments& arguments) {
    cxxopts::Options options("kvhost suggest");
    options.add_options()("plugin", "", cxxopts::value<std::string>())(
        "input", "", cxxopts::value<std::string>())("rect", "", cxxopts::value<std::string>())(
        "mask", "", cxxopts::value<std::string>())("horizontal", "");
    options.parse_positional({"plugin", "input"});
    const cxxopts::ParseResult result = ParseArguments(options, arguments);
    SuggestOptions suggest;
    suggest.pluginPath = Positional(result, "plugin", kSuggestUsage);
    suggest.inputPath = Positional(result, "input", kSuggestUsage);
    if (result.count("mask") != 0) suggest.maskPath = result["mask"].as<std::string>();
    if (result.count("rect") != 0) suggest.rect = ParseRect(result["rect"].as<std::string>());
    if (result["horizontal"].as<bool>()) suggest.direction = SuggestHorizontals;
    return suggest;
}

}  // namespace

int SuggestCommand(const CommandArguments& arguments) {
    const SuggestOptions suggest = ParseSuggestOptions(arguments);
    const PluginModule plugin(suggest.pluginPath);
    static_cast<void>(plugin.RequireSuggest());  // before the image is read
    const SelectedImage selected =
        ReadSelectedImage(suggest.inputPath, suggest.maskPath, suggest.rect);
    const std::optional<Suggestion> suggestion =
        AskSuggestion(plugin, selected, suggest.direction, /*save=*/false);
    if (!suggestion) {
        WriteUtf8(stdout, std::string("kvhost: ") + kNoStraightLines + "\n");
        return kExitNoSuggestion;
    }
    WriteUtf8(stdout, SuggestionText(*suggestion) + "\n");
    return kExitSuccess;
}

void PrintSuggestHelp(std::FILE* stream) {
    std::fprintf(stream,
                 "usage: %s\n"
                 "prints the settings with which the plug-in would straighten the picture's\n"
                 "converging lines, as \"shape=N difference=D\", and saves nothing\noptions:\n",
                 kSuggestUsage);
    PrintOptionHelp(stream, {"--rect", "--mask", "--horizontal", "-h"});
    std::fputs(
        "exit codes: 0 found, 1 kvhost's own error (or a plug-in that cannot suggest), 3 no "
        "straight lines found\n",
        stream);
}
