// The setup command: a filter's setup dialog opened over the image, as an editor opens it before
// it runs the filter, and whether the user confirmed it.
#include <string>
#include <vector>

#include "host/arguments.h"
#include "host/client_info.h"
#include "host/commands.h"
#include "host/filter_arguments.h"
#include "host/host_error.h"
#include "host/image_file.h"
#include "host/image_window.h"
#include "host/memory_limit.h"
#include "host/plugin_module.h"
#include "host/selection.h"
#include "host/text_encoding.h"

namespace {

// What KVF_Setup returns when the user confirmed the dialog; anything else is not a confirmation.
constexpr std::int32_t kSetupConfirmed = 1;

FilterArguments ParseSetupArguments(const CommandArguments& arguments) {
    cxxopts::Options options("kvhost setup");
    AddFilterArguments(options);
    options.parse_positional({"plugin", "input"});
    return ReadFilterArguments(ParseArguments(options, arguments), kSetupUsage);
}

// Runs the plug-in's dialog owned by a window that shows the image. A person is at the dialog:
// its message boxes show over it as windows, as in the host editor, for the person to answer.
std::int32_t ShowSetup(const PluginModule& plugin, std::int32_t filterIndex, const RgbaImage& image,
                       const std::string& inputPath, const ClientInfoState& clientInfo) {
    const ImageWindow window(Utf8ToWide("kvhost - " + FileNameOf(inputPath)), image);
    const ClientInfoSession session(clientInfo);
    return plugin.Setup()(filterIndex, window.Handle(), image.pixels.data(), image.width,
                          image.height);
}

}  // namespace

int SetupCommand(const CommandArguments& arguments) {
    const FilterArguments setup = ParseSetupArguments(arguments);
    const RgbaImage image =
        ReadImage(setup.inputPath, RunBytesPerPixel(setup.maskPath.has_value()));
    std::vector<std::uint8_t> mask;
    if (setup.maskPath) mask = ReadMask(*setup.maskPath, image);

    const PluginModule plugin(setup.pluginPath);
    const std::int32_t filterIndex = plugin.FilterIndex(setup.filter);
    ClientInfoState clientInfo = setup.colours;
    clientInfo.mask = mask.empty() ? nullptr : mask.data();
    const std::int32_t result = ShowSetup(plugin, filterIndex, image, setup.inputPath, clientInfo);
    WriteUtf8(stdout, result == kSetupConfirmed ? std::string("kvhost: setup confirmed\n")
                                                : "kvhost: setup not confirmed (result " +
                                                      std::to_string(result) + ")\n");
    return kExitSuccess;
}
