// kvhost's batch run N files at once: the plug-in is single-threaded and keeps state, so the files
// run in N kvhost processes, workers, each running one file after another as a batch of one job
// does (host/worker_process.h). What the batch prints is what one job prints: each file's lines
// in input order, then the count. An interruption stops every worker at its next step.
#pragma once

#include "cli/command_table.h"
#include "host/run_options.h"

// Runs RUN's batch (ARGUMENTS: the run command's) in run.jobs workers, with no more files at
// once than the machine's free memory holds, said in a warning line. Returns the exit code.
[[nodiscard]] int RunInWorkers(const RunOptions& run, const CommandArguments& arguments);
