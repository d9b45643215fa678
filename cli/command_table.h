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

// What run's help says of pictures and of the format written, the same for every command.
constexpr char kPicturesHelp[] =
    "pictures: read upright, as their EXIF orientation shows them to a viewer; --rect and\n"
    "  --mask are in that upright picture, and the result is written upright\n";
constexpr char kWrittenFormatsHelp[] =
    "  writes by the output's extension: .png and .tif with alpha, .jpg/.jpeg and .bmp without\n";

// Runs the command that ARGUMENTS (program name first) name with the arguments after the
// program's name, or answers --version, help and -h itself. Throws UsageError for an unknown or
// missing command.
[[nodiscard]] int Dispatch(const Program& program, const CommandArguments& arguments);
