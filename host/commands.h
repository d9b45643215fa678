// Commands of kvhost: each takes its arguments (its own name first) and returns the exit code.
#pragma once

#include <cstdio>

#include "cli/command_table.h"

// kvhost info PLUGIN.dll
int InfoCommand(const CommandArguments& arguments);

// kvhost run PLUGIN.dll IN OUT [options], or IN... --out-dir DIR [options]
int RunCommand(const CommandArguments& arguments);

// kvhost setup PLUGIN.dll IN.png [options]
int SetupCommand(const CommandArguments& arguments);

// kvhost suggest PLUGIN.dll IN [options]
int SuggestCommand(const CommandArguments& arguments);
void PrintSuggestHelp(std::FILE* stream);  // its usage, options and exit codes

constexpr char kInfoUsage[] = "kvhost info PLUGIN.dll";
constexpr char kRunUsage[] =
    "kvhost run PLUGIN.dll IN OUT [--filter N] [--rect L,T,R,B] [--mask MASK] "
    "[--fg RRGGBB[AA]] [--bg RRGGBB[AA]] [--quality Q] [--strip] [--auto [--horizontal]] [--crop] "
    "[--quiet] [--interactive]";
constexpr char kRunBatchUsage[] =
    "kvhost run PLUGIN.dll IN... --out-dir DIR [--suffix TEXT] [--format png|jpg|tif|bmp] "
    "[--in-place] "
    "[--jobs N] [options]";
constexpr char kSetupUsage[] =
    "kvhost setup PLUGIN.dll IN [--filter N] [--mask MASK] [--fg RRGGBB[AA]] "
    "[--bg RRGGBB[AA]]";
constexpr char kSuggestUsage[] =
    "kvhost suggest PLUGIN.dll IN [--rect L,T,R,B] [--mask MASK] [--horizontal]";
