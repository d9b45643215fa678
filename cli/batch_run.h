// A batch run the same way by every command: each input in turn, "[3/120] name.jpg" before it,
// one error line for each that fails and the run going on, and "117 done, 3 failed" at the end.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// "[3/120] name.jpg": file INDEX (from 0) of COUNT.
[[nodiscard]] std::string BatchLabel(std::size_t index, std::size_t count,
                                     const std::string& input);

// Called while the failure of INPUT's run is handled: the text of its error line, "error: " and
// the HostError's message, or that it ran out of memory.
[[nodiscard]] std::string FailureText(const std::string& input);

// Prints "N done, F failed" on stdout; returns the exit code: 0 when none failed, else 1.
int PrintBatchSummary(std::size_t count, std::size_t failed);

// After an interruption: prints "N done, F failed, K not started" on stdout (a file whose run was
// cut short counts as not started: its output is as it was); returns kExitInterrupted.
int PrintInterruptedSummary(std::size_t done, std::size_t failed, std::size_t notStarted);

// How one file of a batch ended: done, failed (its error line printed), or cut short by an
// interruption (counted as not started: its output is as it was).
enum class FileOutcome { kDone, kFailed, kCut };

// Runs RUN_ONE(input, label) for input INDEX of INPUTS: its label line first with ANNOUNCE, and
// one error line when it fails, both on stderr. Each file of a batch on one thread runs through
// it, and each of a kvhost batch in worker processes, in the worker.
[[nodiscard]] FileOutcome RunBatchFile(
    const std::vector<std::string>& inputs, std::size_t index, const char* program, bool announce,
    const std::function<void(const std::string& input, const std::string& label)>& runOne);

// The warning text when a batch of JOBS at a time had to run fewer at once for memory.
[[nodiscard]] std::string JobsMemoryWarning(unsigned jobs);

// Runs RUN_ONE(input, label) for every input; it throws HostError (or std::bad_alloc) for a file
// that fails. PROGRAM starts each line ("kvhost"); with ANNOUNCE each input's label is printed
// on stderr before its run (a progress bar shows it otherwise). Returns the exit code; after an
// interruption no further file starts.
[[nodiscard]] int RunEachInput(
    const std::vector<std::string>& inputs, const char* program, bool announce,
    const std::function<void(const std::string& input, const std::string& label)>& runOne);
