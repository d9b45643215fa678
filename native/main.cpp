// trapezoid: the keystone-correction engine as a command, without Windows: pictures read and
// written through imageio, the engine called directly, kvhost's options, messages and exit codes.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command_error.h"
#include "native/commands.h"
#include "native/filter_options.h"
#include "native/picture_files.h"
#include "version.h"

namespace {

constexpr char kInfoUsage[] = "trapezoid info IN";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& arguments);
    const char* usage;
    void (*printHelp)(std::FILE* stream);  // the command's options; null: its usage says it all
};

int HelpCommand(const std::vector<std::string>& arguments);

constexpr Command kCommands[] = {
    {"run", RunCommand, kRunUsage, PrintRunHelp},  // the filter on one picture or a batch
    {"suggest", SuggestCommand, kSuggestUsage, PrintSuggestHelp},  // straightening settings
    {"info", InfoCommand, kInfoUsage, nullptr},  // a picture's size, format and metadata
    {"help", HelpCommand, "trapezoid help [COMMAND]", nullptr},
};

void PrintUsage(std::FILE* stream) {
    std::fputs("usage:\n", stream);
    for (const Command& command : kCommands) std::fprintf(stream, "  %s\n", command.usage);
    std::fputs(
        "  trapezoid -h | --help\n"
        "  trapezoid --version\n"
        "exit codes: 0 done, 1 trapezoid's own error, 2 the filter refused the settings, 3 "
        "suggest found\n  no straight lines\n",
        stream);
}

const Command* FindKnownCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

std::string CommandNames() {
    std::string names;
    for (const Command& command : kCommands) {
        names += (names.empty() ? "" : ", ") + std::string(command.name);
    }
    return names;
}

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

int HelpCommand(const std::vector<std::string>& arguments) {
    if (arguments.size() > 2) throw UsageError("unexpected argument " + Quoted(arguments[2]));
    if (arguments.size() == 2 && FindKnownCommand(arguments[1]) == nullptr) {
        throw UsageError("no help on " + Quoted(arguments[1]) +
                         ": there is no such command (commands: " + CommandNames() + ")");
    }
    return PrintHelpOf(arguments.size() == 2 ? arguments[1] : std::string());
}

int Dispatch(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2) {
        throw UsageError("no command given (commands: " + CommandNames() + ")");
    }
    if (arguments[1] == "--version") {
        std::printf("trapezoid %s\n", TRAPEZOID_VERSION);
        return kExitSuccess;
    }
    for (const std::string& argument : arguments) {
        if (argument == "-h" || argument == "--help") return PrintHelpOf(arguments[1]);
    }
    const Command* command = FindKnownCommand(arguments[1]);
    if (command == nullptr) {
        throw UsageError("unknown command " + Quoted(arguments[1]) +
                         " (commands: " + CommandNames() + ")");
    }
    return command->run(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
}

}  // namespace

int InfoCommand(const std::vector<std::string>& arguments) {
    cxxopts::Options options("trapezoid info");
    options.add_options()("input", "", cxxopts::value<std::string>());
    options.parse_positional({"input"});
    const std::string path = Positional(ParseArguments(options, arguments), "input", kInfoUsage);
    const RgbaImage image = ReadPicture(path, 4);
    const imageio::Codec* codec = imageio::CodecOfPath(path);
    std::printf("%s: %dx%d%s%s; EXIF %zu bytes, ICC profile %zu bytes, XMP %zu bytes\n",
                path.c_str(), image.width, image.height, codec != nullptr ? " " : "",
                codec != nullptr ? codec->title : "", image.metadata.exif.size(),
                image.metadata.icc.size(), image.metadata.xmp.size());
    return kExitSuccess;
}

int main(int argc, char** argv) {
    try {
        return Dispatch(std::vector<std::string>(argv, argv + argc));
    } catch (const std::bad_alloc&) {
        std::fputs("trapezoid: error: out of memory\n", stderr);
        return kExitFailure;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "trapezoid: error: %s\n", error.what());
        return kExitFailure;
    }
}
