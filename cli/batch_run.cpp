// A batch run the same way by every command.
#include "cli/batch_run.h"

#include <cstdio>
#include <new>

#include "cli/arguments.h"
#include "cli/command_error.h"
#include "cli/interruption.h"

std::string BatchLabel(std::size_t index, std::size_t count, const std::string& input) {
    return "[" + std::to_string(index + 1) + "/" + std::to_string(count) + "] " + FileNameOf(input);
}

std::string FailureText(const std::string& input) {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return "error: " + Quoted(input) + ": out of memory";
    } catch (const std::exception& error) {
        return std::string("error: ") + error.what();
    }
}

int PrintBatchSummary(std::size_t count, std::size_t failed) {
    std::printf("%zu done, %zu failed\n", count - failed, failed);
    return failed == 0 ? kExitSuccess : kExitFailure;
}

int PrintInterruptedSummary(std::size_t done, std::size_t failed, std::size_t notStarted) {
    std::printf("%zu done, %zu failed, %zu not started\n", done, failed, notStarted);
    return kExitInterrupted;
}

FileOutcome RunBatchFile(
    const std::vector<std::string>& inputs, std::size_t index, const char* program, bool announce,
    const std::function<void(const std::string& input, const std::string& label)>& runOne) {
    const std::string label = BatchLabel(index, inputs.size(), inputs[index]);
    if (announce) std::fprintf(stderr, "%s: %s\n", program, label.c_str());
    try {
        runOne(inputs[index], label);
        return FileOutcome::kDone;
    } catch (const std::exception&) {
        // Whatever failed after an interruption failed because of it.
        if (InterruptionRecorded()) return FileOutcome::kCut;
        std::fprintf(stderr, "%s: %s\n", program, FailureText(inputs[index]).c_str());
        return FileOutcome::kFailed;
    }
}

std::string JobsMemoryWarning(unsigned jobs) {
    return "--jobs " + std::to_string(jobs) +
           ": the pictures do not all fit in memory at once; fewer run at a time";
}

int RunEachInput(
    const std::vector<std::string>& inputs, const char* program, bool announce,
    const std::function<void(const std::string& input, const std::string& label)>& runOne) {
    std::size_t failed = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const FileOutcome outcome = InterruptionRecorded()
                                        ? FileOutcome::kCut
                                        : RunBatchFile(inputs, i, program, announce, runOne);
        if (outcome == FileOutcome::kCut) {
            return PrintInterruptedSummary(i - failed, failed, inputs.size() - i);
        }
        if (outcome == FileOutcome::kFailed) ++failed;
    }
    return PrintBatchSummary(inputs.size(), failed);
}
