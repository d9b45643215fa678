// The run command: one filter of a plug-in applied to a PNG image, as an editor applies it to
// its current image and selection.
#include <optional>
#include <string>
#include <vector>

#include "host/arguments.h"
#include "host/client_info.h"
#include "host/commands.h"
#include "host/host_error.h"
#include "host/message_boxes.h"
#include "host/plugin_module.h"
#include "host/png_io.h"
#include "host/progress_bar.h"
#include "host/selection.h"

namespace {

struct RunOptions {
    std::string pluginPath;
    std::string inputPath;
    std::string outputPath;
    std::int32_t filterIndex = 0;
    std::optional<SelectionRect> rect;
    std::optional<std::string> maskPath;
    ClientInfoState colours;
    bool quiet = false;
    bool interactive = false;
};

void AddRunOptions(cxxopts::Options& options) {
    options.add_options()("filter", "filter index", cxxopts::value<std::int32_t>())(
        "rect", "selection rectangle", cxxopts::value<std::string>())(
        "mask", "selection mask image", cxxopts::value<std::string>())(
        "fg", "foreground colour", cxxopts::value<std::string>())(
        "bg", "background colour", cxxopts::value<std::string>())("quiet", "no progress bar")(
        "interactive", "leave message boxes to the user")("plugin", "plug-in",
                                                          cxxopts::value<std::string>())(
        "input", "input image", cxxopts::value<std::string>())("output", "output image",
                                                               cxxopts::value<std::string>());
    options.parse_positional({"plugin", "input", "output"});
}

RunOptions ParseRunOptions(const CommandArguments& arguments) {
    cxxopts::Options options("kvhost run");
    AddRunOptions(options);
    const cxxopts::ParseResult result = ParseArguments(options, arguments);
    RunOptions run;
    run.pluginPath = Positional(result, "plugin", kRunUsage);
    run.inputPath = Positional(result, "input", kRunUsage);
    run.outputPath = Positional(result, "output", kRunUsage);
    if (result.count("filter") != 0) run.filterIndex = result["filter"].as<std::int32_t>();
    if (result.count("rect") != 0) run.rect = ParseRect(result["rect"].as<std::string>());
    if (result.count("mask") != 0) run.maskPath = result["mask"].as<std::string>();
    if (result.count("fg") != 0) {
        run.colours.foreground = ParseColour(result["fg"].as<std::string>());
    }
    if (result.count("bg") != 0) {
        run.colours.background = ParseColour(result["bg"].as<std::string>());
    }
    run.quiet = result["quiet"].as<bool>();
    run.interactive = result["interactive"].as<bool>();
    return run;
}

std::vector<std::uint8_t> ReadMask(const std::string& path, const RgbaImage& image) {
    const GreyImage grey = ReadGreyPng(path);
    if (grey.width != image.width || grey.height != image.height) {
        throw UsageError("mask " + Quoted(path) + " is " + std::to_string(grey.width) + "x" +
                         std::to_string(grey.height) + " but the image is " +
                         std::to_string(image.width) + "x" + std::to_string(image.height));
    }
    return MaskFromGrey(grey);
}

// The rectangle given, else the bounding box of the mask's selection, else the whole image.
SelectionRect ChooseRect(const RunOptions& run, const std::vector<std::uint8_t>& mask,
                         const RgbaImage& image) {
    if (run.rect) {
        CheckRectInside(*run.rect, image.width, image.height);
        return *run.rect;
    }
    if (run.maskPath) {
        const std::optional<SelectionRect> bounds = MaskBounds(mask, image.width, image.height);
        if (!bounds) throw UsageError("mask " + Quoted(*run.maskPath) + " selects no pixel");
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
    plugin.Execute()(run.filterIndex, /*parent=*/nullptr, source.pixels.data(),
                     destination.pixels.data(), /*reservedA=*/0, &rect, /*reservedB=*/0,
                     source.width, source.height, ProgressBar::Report, progress.UserData());
    return destination;
}

}  // namespace

int RunCommand(const CommandArguments& arguments) {
    const RunOptions run = ParseRunOptions(arguments);
    const RgbaImage source = ReadRgbaPng(run.inputPath);
    std::vector<std::uint8_t> mask;
    if (run.maskPath) mask = ReadMask(*run.maskPath, source);
    const SelectionRect rect = ChooseRect(run, mask, source);

    const PluginModule plugin(run.pluginPath);
    plugin.CheckFilterIndex(run.filterIndex);
    ClientInfoState clientInfo = run.colours;
    clientInfo.mask = mask.empty() ? nullptr : mask.data();
    RgbaImage destination = ExecuteFilter(plugin, run, source, rect, clientInfo);
    if (!mask.empty()) KeepUnselected(mask, source.pixels, destination.pixels);
    WriteRgbaPng(run.outputPath, destination);
    return kExitSuccess;
}
