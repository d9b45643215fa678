// Errors and exit codes of the command-line host: those every command shares.
#pragma once

#include "cli/command_error.h"
