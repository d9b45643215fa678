// A batch of the native command run on several threads: the engine keeps no global state, so
// pictures can be read, run and written at once. What it prints is what one job prints: each
// file's lines in input order, and "117 done, 3 failed" at the end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "native/run_job.h"

// Runs RUN_ONE(input, label, job) for every input, JOBS at a time, JOBS threads in all (with
// fewer inputs, each job's pass gets a share of the rest); it throws HostError (or
// std::bad_alloc) for a file that fails. With ANNOUNCE each file's label line comes first in its
// lines. Returns the exit code: 0 when every file was done, 1 when any failed.
[[nodiscard]] int RunInParallel(
    const std::vector<std::string>& inputs, unsigned jobs, bool announce,
    const std::function<void(const std::string& input, const std::string& label, RunJob& job)>&
        runOne);
