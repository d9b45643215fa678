// kvhost: command-line host that loads a filter plug-in as an image editor does and runs its
// filters on PNG files.
#include <cstdio>
#include <string>

#include "host/arguments.h"
#include "host/commands.h"
#include "host/host_error.h"
#include "host/plugin_module.h"
#include "host/text_encoding.h"
#include "plugin/win32.h"

#include <commctrl.h>

namespace {

struct Command {
    const char* name;
    int (*run)(const CommandArguments& arguments);
    const char* usage;
};

int HelpCommand(const CommandArguments& arguments);

constexpr Command kCommands[] = {
    {"info", InfoCommand, kInfoUsage},     // plug-in information and filter names
    {"run", RunCommand, kRunUsage},        // one filter on one image
    {"setup", SetupCommand, kSetupUsage},  // a filter's setup dialog over an image
    {"help", HelpCommand, "kvhost help"},
};

void PrintUsage(std::FILE* stream) {
    std::fputs("usage:\n", stream);
    for (const Command& command : kCommands) std::fprintf(stream, "  %s\n", command.usage);
}

int HelpCommand(const CommandArguments&) {
    PrintUsage(stdout);
    return kExitSuccess;
}

// "info, run, ...", for the errors that name the commands.
std::string CommandNames() {
    std::string names;
    for (const Command& command : kCommands) {
        names += (names.empty() ? "" : ", ") + std::string(command.name);
    }
    return names;
}

const Command& FindCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) return command;
    }
    throw UsageError("unknown command " + Quoted(name) + " (commands: " + CommandNames() + ")");
}

// Common controls the plug-ins' dialogs use (up-down buttons, trackbars), registered before any
// plug-in is loaded, as an editor has them.
void RegisterDialogControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_UPDOWN_CLASS | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
}

int Dispatch() {
    const std::vector<std::string> arguments = Utf8CommandLine();
    if (arguments.size() < 2) {
        throw UsageError("no command given (commands: " + CommandNames() + ")");
    }
    const Command& command = FindCommand(arguments[1]);
    return command.run(CommandArguments(arguments.begin() + 1, arguments.end()));
}

}  // namespace

int InfoCommand(const CommandArguments& arguments) {
    cxxopts::Options options("kvhost info");
    options.add_options()("plugin", "plug-in", cxxopts::value<std::string>());
    options.parse_positional({"plugin"});
    const cxxopts::ParseResult result = ParseArguments(options, arguments);
    const PluginModule plugin(Positional(result, "plugin", kInfoUsage));

    std::string output = "info: " + OneLine(PluginTextToUtf8(plugin.Information())) + "\n";
    const std::int32_t count = plugin.FilterCount();
    output += "filters: " + std::to_string(count) + "\n";
    for (std::int32_t index = 0; index < count; ++index) {
        const FilterNames names = plugin.Names(index);
        output += "filter " + std::to_string(index) + ": category \"" +
                  OneLine(PluginTextToUtf8(names.category)) + "\" name \"" +
                  OneLine(PluginTextToUtf8(names.name)) + "\"\n";
    }
    WriteUtf8(stdout, output);
    return kExitSuccess;
}

int main() {
    BinaryStandardStreams();
    // Failures to find a file or a plug-in's dependency are reported here, not in a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    RegisterDialogControls();
    try {
        return Dispatch();
    } catch (const UsageError& error) {
        WriteUtf8(stderr, std::string("kvhost: error: ") + error.what() + "\n");
        return kExitUsage;
    } catch (const std::exception& error) {
        WriteUtf8(stderr, std::string("kvhost: error: ") + error.what() + "\n");
        return kExitFailure;
    }
}
