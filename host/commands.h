// Commands of kvhost: each takes its arguments (its own name first) and returns the exit code.
#pragma once

#include <string>
#include <vector>

using CommandArguments = std::vector<std::string>;

// kvhost info PLUGIN.dll
int InfoCommand(const CommandArguments& arguments);

// kvhost run PLUGIN.dll IN.png OUT.png [options]
int RunCommand(const CommandArguments& arguments);

// kvhost setup PLUGIN.dll IN.png [options]
int SetupCommand(const CommandArguments& arguments);

constexpr char kInfoUsage[] = "kvhost info PLUGIN.dll";
constexpr char kRunUsage[] =
    "kvhost run PLUGIN.dll IN.png OUT.png [--filter N] [--rect L,T,R,B] [--mask MASK.png] "
    "[--fg RRGGBB[AA]] [--bg RRGGBB[AA]] [--quiet] [--interactive]";
constexpr char kSetupUsage[] =
    "kvhost setup PLUGIN.dll IN.png [--filter N] [--mask MASK.png] [--fg RRGGBB[AA]] "
    "[--bg RRGGBB[AA]]";
