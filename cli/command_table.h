// A program's table of commands and what every command-line program of the project answers the
// same way: --version, -h or --help anywhere, help [COMMAND], and an unknown or missing command.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

using CommandArguments = std::vector<std::string>;

struct Command {
    const char* name;
    int (*run)(const CommandArguments& arguments);  // null for help, which Dispatch answers
    const char* usage;
    void (*printHelp)(std::FILE* stream);  // the command's options; null: its usage says it all
};

struct Program {
    const char* name;     // "kvhost", and the start of --version's line
    const char* version;  // VERSION
    std::vector<Command> commands;
    const char* exitCodes;  // the general usage's last lines
};

// One option's line of a command's help: "  --rect L,T,R,B    the selection rectangle...". An
// option of "" continues the text of the line before.
struct OptionHelp {
    const char* option;
    const char* text;
};
void PrintOptionLine(std::FILE* stream, const OptionHelp& help);

// The help of a run command: its two usages, its options one line each, what it says of pictures,
// the formats it reads (READS) and of them those it writes with alpha (WITH_ALPHA), and its exit
// codes (EXIT_CODES), each on one line.
template <std::size_t kOptions>
void PrintRunCommandHelp(std::FILE* stream, const char* usage, const char* batchUsage,
                         const OptionHelp (&options)[kOptions], const char* reads,
                         const char* withAlpha, const char* exitCodes) {
    std::fprintf(stream, "usage: %s\n       %s\noptions:\n", usage, batchUsage);
    for (const OptionHelp& help : options) PrintOptionLine(stream, help);
    std::fprintf(stream,
                 "pictures: read upright, as their EXIF orientation shows them to a viewer; "
                 "--rect and\n  --mask are in that upright picture, and the result is written "
                 "upright\nformats: reads %s;\n  writes by the output's extension: %s with alpha, "
                 ".jpg/.jpeg and .bmp without\nexit codes: %s\n",
                 reads, withAlpha, exitCodes);
}

// Runs the command that ARGUMENTS (program name first) name with the arguments after the
// program's name, or answers --version, help and -h itself. Throws UsageError for an unknown or
// missing command.
[[nodiscard]] int Dispatch(const Program& program, const CommandArguments& arguments);
