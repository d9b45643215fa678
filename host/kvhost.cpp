// kvhost: command-line host that loads a filter plug-in as an image editor does and runs its
// filters on image files.
#include <cstdio>
#include <new>
#include <string>

#include "host/arguments.h"
#include "host/commands.h"
#include "host/host_error.h"
#include "host/plugin_module.h"
#include "host/run_options.h"
#include "host/text_encoding.h"
#include "host/wic.h"
#include "platform/win32.h"
#include "version.h"

#include <commctrl.h>

namespace {

struct Command {
    const char* name;
    int (*run)(const CommandArguments& arguments);
    const char* usage;
    void (*printHelp)(std::FILE* stream);  // the command's options; null: its usage says it all
};

int HelpCommand(const CommandArguments& arguments);

constexpr Command kCommands[] = {
    {"info", InfoCommand, kInfoUsage, nullptr},     // plug-in information and filter names
    {"run", RunCommand, kRunUsage, PrintRunHelp},   // one filter on one image or a batch
    {"setup", SetupCommand, kSetupUsage, nullptr},  // a filter's setup dialog over an image
    {"suggest", SuggestCommand, kSuggestUsage, PrintSuggestHelp},  // straightening settings
    {"help", HelpCommand, "kvhost help [COMMAND]", nullptr},
};

void PrintUsage(std::FILE* stream) {
    std::fputs("usage:\n", stream);
    for (const Command& command : kCommands) std::fprintf(stream, "  %s\n", command.usage);
    std::fputs(
        "  kvhost -h | --help\n"
        "  kvhost --version\n"
        "exit codes: 0 done, 1 kvhost's own error, 2 the plug-in refused the run, 3 suggest found\n"
        "  no straight lines\n",
        stream);
}

const Command* FindKnownCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

// A command's own help, or the general usage for no command or an unknown one.
int PrintHelpOf(const std::string& name) {
    const Command* command = FindKnownCommand(name);
    if (command != nullptr && command->printHelp != nullptr) {
        command->printHelp(stdout);
    } else if (command != nullptr && name != "help") {
        std::printf("usage: %s\n", command->usage);
    } else {
        PrintUsage(stdout);
    }
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

int HelpCommand(const CommandArguments& arguments) {
    if (arguments.size() > 2) throw UsageError("unexpected argument " + Quoted(arguments[2]));
    if (arguments.size() == 2 && FindKnownCommand(arguments[1]) == nullptr) {
        throw UsageError("no help on " + Quoted(arguments[1]) +
                         ": there is no such command (commands: " + CommandNames() + ")");
    }
    return PrintHelpOf(arguments.size() == 2 ? arguments[1] : std::string());
}

const Command& FindCommand(const std::string& name) {
    if (const Command* command = FindKnownCommand(name)) return *command;
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
    if (arguments[1] == "--version") {
        std::printf("kvhost %s\n", TRAPEZOID_VERSION);
        return kExitSuccess;
    }
    for (const std::string& argument : arguments) {
        if (argument == "-h" || argument == "--help") return PrintHelpOf(arguments[1]);
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
    const ComSession com;
    try {
        return Dispatch();
    } catch (const std::bad_alloc&) {
        WriteUtf8(stderr, "kvhost: error: out of memory\n");
        return kExitFailure;
    } catch (const std::exception& error) {
        WriteUtf8(stderr, std::string("kvhost: error: ") + error.what() + "\n");
        return kExitFailure;
    }
}
