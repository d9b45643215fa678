// kvhost's batch run N files at once: the plug-in is single-threaded and keeps state, so each file
// runs in a kvhost process of its own, a worker, started for it with the batch's arguments. What
// the batch prints is what one job prints: each file's lines in input order, then the count. An
// interruption stops every worker at its next step.
#pragma once

#include "cli/command_table.h"
#include "host/run_options.h"

// Whether the run command's ARGUMENTS ("run --worker") start a worker, which reads the batch's
// arguments from its standard input.
[[nodiscard]] bool IsWorkerStart(const CommandArguments& arguments);

// In a worker: the batch's arguments, with "--worker INDEX", read from standard input. The rest
// of it is then watched: the batch closes it when interrupted (the process ends when the batch's
// does), and the worker records that as its own interruption. Throws HostError.
[[nodiscard]] CommandArguments ReadWorkerArguments();

// Runs RUN's batch (ARGUMENTS: the run command's) in workers, run.jobs at a time, and no more at
// once than the machine's free memory holds, said in a warning line. Returns the exit code.
[[nodiscard]] int RunInWorkers(const RunOptions& run, const CommandArguments& arguments);
