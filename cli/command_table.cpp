// A program's table of commands: dispatch, usage and help.
#include "cli/command_table.h"

#include "cli/command_error.h"

namespace {

void PrintUsage(const Program& program, std::FILE* stream) {
    std::fputs("usage:\n", stream);
    for (const Command& command : program.commands) std::fprintf(stream, "  %s\n", command.usage);
    std::fprintf(stream, "  %s -h | --help\n  %s --version\n%s", program.name, program.name,
                 program.exitCodes);
}

const Command* FindKnownCommand(const Program& program, const std::string& name) {
    for (const Command& command : program.commands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

// "info, run, ...", for the errors that name the commands.
std::string CommandNames(const Program& program) {
    std::string names;
    for (const Command& command : program.commands) {
        names += (names.empty() ? "" : ", ") + std::string(command.name);
    }
    return names;
}

// A command's own help, or the general usage for no command or an unknown one.
int PrintHelpOf(const Program& program, const std::string& name) {
    const Command* command = FindKnownCommand(program, name);
    if (command != nullptr && command->printHelp != nullptr) {
        command->printHelp(stdout);
    } else if (command != nullptr && command->run != nullptr) {
        std::printf("usage: %s\n", command->usage);
    } else {
        PrintUsage(program, stdout);
    }
    return kExitSuccess;
}

int HelpCommand(const Program& program, const CommandArguments& arguments) {
    if (arguments.size() > 3) throw UsageError("unexpected argument " + Quoted(arguments[3]));
    if (arguments.size() == 3 && FindKnownCommand(program, arguments[2]) == nullptr) {
        throw UsageError("no help on " + Quoted(arguments[2]) +
                         ": there is no such command (commands: " + CommandNames(program) + ")");
    }
    return PrintHelpOf(program, arguments.size() == 3 ? arguments[2] : std::string());
}

}  // namespace

void PrintOptionLine(std::FILE* stream, const OptionHelp& help) {
    std::fprintf(stream, "  %-18s %s\n", help.option, help.text);
}

int Dispatch(const Program& program, const CommandArguments& arguments) {
    if (arguments.size() < 2) {
        throw UsageError("no command given (commands: " + CommandNames(program) + ")");
    }
    if (arguments[1] == "--version") {
        std::printf("%s %s\n", program.name, program.version);
        return kExitSuccess;
    }
    for (const std::string& argument : arguments) {
        if (argument == "-h" || argument == "--help") return PrintHelpOf(program, arguments[1]);
    }
    const Command* command = FindKnownCommand(program, arguments[1]);
    if (command == nullptr) {
        throw UsageError("unknown command " + Quoted(arguments[1]) +
                         " (commands: " + CommandNames(program) + ")");
    }
    if (command->run == nullptr) return HelpCommand(program, arguments);
    return command->run(CommandArguments(arguments.begin() + 1, arguments.end()));
}
