// A batch's files checked before any is read: no input named twice, no two results written to
// one file, no result written over another input, outputs inside the output folder, which is
// created when missing.
#pragma once

#include "host/run_options.h"

// Throws UsageError naming the pair of files (or the option) that would lose a file, and
// HostError when the output folder cannot be created.
void PrepareBatch(const RunOptions& run);
