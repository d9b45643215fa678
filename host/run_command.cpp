// The run command: one filter of a plug-in applied to a PNG image, as an editor applies it to
// its current image and selection.
#include <optional>
#include <string>
#include <vector>

#include "host/arguments.h"
#include "host/client_info.h"
#include "host/commands.h"
#include "host/filter_arguments.h"
#include "host/host_error.h"
#include "host/message_boxes.h"
#include "host/plugin_module.h"
#include "host/png_io.h"
#include "host/progress_bar.h"
#include "host/selection.h"

namespace {

struct RunOptions {
    FilterArguments filter;
    std::string outputPath;
    std::optional<SelectionRect> rect;
    bool quiet = false;
    bool interactive = false;
};

RunOptions ParseRunOptions(const CommandArguments& arguments) {
    cxxopts::Options options("kvhost run");
    AddFilterArguments(options);
    options.add_options()("rect", "selection rectangle", cxxopts::value<std::string>())(
        "quiet", "no progress bar")("interactive", "leave message boxes to the user")(
        "output", "output image", cxxopts::value<std::string>());
    options.parse_positional({"plugin", "input", "output"});
    const cxxopts::ParseResult result = ParseArguments(options, arguments);
    RunOptions run;
    run.filter = ReadFilterArguments(result, kRunUsage);
    run.outputPath = Positional(result, "output", kRunUsage);
    if (result.count("rect") != 0) run.rect = ParseRect(result["rect"].as<std::string>());
    run.quiet = result["quiet"].as<bool>();
    run.interactive = result["interactive"].as<bool>();
    return run;
}

// The rectangle given, else the bounding box of the mask's selection, else the whole image.
SelectionRect ChooseRect(const RunOptions& run, const std::vector<std::uint8_t>& mask,
                         const RgbaImage& image) {
    if (run.rect) {
        CheckRectInside(*run.rect, image.width, image.height);
        return *run.rect;
    }
    if (run.filter.maskPath) {
        const std::optional<SelectionRect> bounds = MaskBounds(mask, image.width, image.height);
        if (!bounds) {
            throw UsageError("mask " + Quoted(*run.filter.maskPath) + " selects no pixel");
        }
        return *bounds;
    }
    return SelectionRect{0, 0, image.width, image.height};
}

// Calls the filter with a destination that starts as a copy of the source.
RgbaImage ExecuteFilter(const PluginModule& plugin, const RunOptions& run, const RgbaImage& source,
                        const SelectionRect& rect, ClientInfoState clientInfo) {
    RgbaImage destination = source;
    const ClientInfoSession session(clientInfo);
    std::optional<MessageBoxAnswerer> answerer;
    if (!run.interactive) answerer.emplace();
    ProgressBar progress(!run.quiet && ProgressBar::StderrIsTerminal());
    plugin.Execute()(run.filter.filterIndex, /*parent=*/nullptr, source.pixels.data(),
                     destination.pixels.data(), /*reservedA=*/0, &rect, /*reservedB=*/0,
                     source.width, source.height, ProgressBar::Report, progress.UserData());
    return destination;
}

}  // namespace

int RunCommand(const CommandArguments& arguments) {
    const RunOptions run = ParseRunOptions(arguments);
    const RgbaImage source = ReadRgbaPng(run.filter.inputPath);
    std::vector<std::uint8_t> mask;
    if (run.filter.maskPath) mask = ReadMask(*run.filter.maskPath, source);
    const SelectionRect rect = ChooseRect(run, mask, source);

    const PluginModule plugin(run.filter.pluginPath);
    plugin.CheckFilterIndex(run.filter.filterIndex);
    ClientInfoState clientInfo = run.filter.colours;
    clientInfo.mask = mask.empty() ? nullptr : mask.data();
    RgbaImage destination = ExecuteFilter(plugin, run, source, rect, clientInfo);
    if (!mask.empty()) KeepUnselected(mask, source.pixels, destination.pixels);
    WriteRgbaPng(run.outputPath, destination);
    return kExitSuccess;
}
