// A worker's side of kvhost's batch run in worker processes (host/worker_batch.h). A worker is
// started as "kvhost.exe run --worker"; on its standard input come the batch's arguments, then
// the index of each file it is to run, one at a time; its standard error carries each file's
// lines and its standard output a line with the file's exit code once they are all written. The
// batch closes a worker's standard input when it has no more files for it, and when it is
// interrupted.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "cli/batch_run.h"
#include "cli/command_table.h"

constexpr char kWorkerOption[] = "--worker";

// What the batch writes first on a worker's standard input: the count of ARGUMENTS, then each,
// every one in UTF-8 and ended by a NUL (an argument may be empty; none holds a NUL).
[[nodiscard]] std::string WorkerArgumentBlock(const CommandArguments& arguments);

// Whether the run command's ARGUMENTS ("run --worker") start a worker.
[[nodiscard]] bool IsWorkerStart(const CommandArguments& arguments);

// In a worker: the batch's arguments, read from standard input. Throws HostError.
[[nodiscard]] CommandArguments ReadWorkerArguments();

// In a worker: waits for the index of the next file; nothing once the batch closed standard
// input. Closed while a file runs, it is the batch's interruption, recorded as the worker's own.
// Throws HostError.
[[nodiscard]] std::optional<std::size_t> NextWorkerFile();

// In a worker: tells the batch how the file's run ended, once its lines are all written.
void ReportWorkerFile(FileOutcome outcome);
