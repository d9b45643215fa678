// kvhost: command-line host that loads a filter plug-in as an image editor does and runs its
// filters on image files.
#include <cstdio>
#include <new>
#include <string>

#include "cli/command_table.h"
#include "cli/interruption.h"
#include "host/arguments.h"
#include "host/commands.h"
#include "host/host_error.h"
#include "host/plugin_module.h"
#include "host/run_options.h"
#include "host/text_encoding.h"
#include "platform/win32.h"
#include "version.h"

#include <commctrl.h>

namespace {

// Common controls the plug-ins' dialogs use (up-down buttons, trackbars), registered before any
// plug-in is loaded, as an editor has them.
void RegisterDialogControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_UPDOWN_CLASS | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
}

const Program& Kvhost() {
    static const Program kvhost{
        "kvhost",
        TRAPEZOID_VERSION,
        {
            {"info", InfoCommand, kInfoUsage, nullptr},     // plug-in information, filter names
            {"run", RunCommand, kRunUsage, PrintRunHelp},   // one filter on an image or a batch
            {"setup", SetupCommand, kSetupUsage, nullptr},  // a filter's dialog over an image
            {"suggest", SuggestCommand, kSuggestUsage, PrintSuggestHelp},  // straightening
            {"help", nullptr, "kvhost help [COMMAND]", nullptr},
        },
        "exit codes: 0 done, 1 kvhost's own error, 2 the plug-in refused the run, 3 suggest found\n"
        "  no straight lines, 130 interrupted (Ctrl+C)\n"
        "kvhost's messages are in English; the system's own text, in its language, only quoted\n"};
    return kvhost;
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

namespace {

// Ctrl+C, Ctrl+Break and SIGINT under Wine recorded for the run to notice at its next step.
BOOL WINAPI RecordBreak(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    RecordInterruption();
    return TRUE;
}

}  // namespace

int main() {
    BinaryStandardStreams();
    SetConsoleCtrlHandler(RecordBreak, TRUE);
    // Failures to find a file or a plug-in's dependency are reported here, not in a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    RegisterDialogControls();
    try {
        return Dispatch(Kvhost(), Utf8CommandLine());
    } catch (const std::exception& error) {
        // Whatever failed after an interruption failed because of it.
        if (InterruptionRecorded()) {
            WriteUtf8(stderr, "kvhost: interrupted\n");
            return kExitInterrupted;
        }
        const bool memory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr;
        WriteUtf8(stderr, std::string("kvhost: error: ") +
                              (memory ? "out of memory" : error.what()) + "\n");
        return kExitFailure;
    }
}
