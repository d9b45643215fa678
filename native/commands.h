// The commands of the native trapezoid program: each takes its arguments (its own name first)
// and returns the exit code.
#pragma once

#include "cli/command_table.h"

// trapezoid run IN OUT [options], or IN... --out-dir DIR [options]
int RunCommand(const CommandArguments& arguments);

// trapezoid suggest IN [options]
int SuggestCommand(const CommandArguments& arguments);

// trapezoid info IN: the picture's size, format and metadata, as the filter would see it
int InfoCommand(const CommandArguments& arguments);
