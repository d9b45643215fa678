// Command-line arguments of the host: the UTF-8 argument list, with the parsing every command
// shares.
#pragma once

#include <string>
#include <vector>

#include "cli/arguments.h"

// The process's arguments in UTF-8, program name first (from the UTF-16 command line, so that
// file names outside the ANSI code page survive).
[[nodiscard]] std::vector<std::string> Utf8CommandLine();
