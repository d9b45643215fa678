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

int RunEachInput(
    const std::vector<std::string>& inputs, const char* program, bool announce,
    const std::function<void(const std::string& input, const std::string& label)>& runOne) {
    std::size_t failed = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (InterruptionRecorded()) {
            return PrintInterruptedSummary(i - failed, failed, inputs.size() - i);
        }
        const std::string label = BatchLabel(i, inputs.size(), inputs[i]);
        if (announce) std::fprintf(stderr, "%s: %s\n", program, label.c_str());
        try {
            runOne(inputs[i], label);
        } catch (const std::exception&) {
            // Whatever failed after an interruption failed because of it.
            if (InterruptionRecorded()) {
                return PrintInterruptedSummary(i - failed, failed, inputs.size() - i);
            }
            std::fprintf(stderr, "%s: %s\n", program, FailureText(inputs[i]).c_str());
            ++failed;
        }
    }
    return PrintBatchSummary(inputs.size(), failed);
}
