// A worker's side of kvhost's batch run in worker processes.
#include "host/worker_process.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "cli/command_error.h"
#include "cli/interruption.h"
#include "host/host_error.h"
#include "host/text_encoding.h"
#include "platform/win32.h"

namespace {

// The worker's standard input: NUL-ended fields. The main thread reads the arguments; a thread
// then reads the files' indexes and the input's end, so that the end is seen while a file runs.
struct BatchInput {
    // Waits for the next field; nothing at the end of the input.
    std::optional<std::string> Next() {
        for (;;) {
            const std::size_t end = pending.find('\0');
            if (end != std::string::npos) {
                std::string field = pending.substr(0, end);
                pending.erase(0, end + 1);
                return field;
            }
            char buffer[4096];
            DWORD got = 0;
            if (!ReadFile(input, buffer, sizeof buffer, &got, nullptr) || got == 0) {
                return std::nullopt;
            }
            pending.append(buffer, got);
        }
    }

    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    HANDLE ready = CreateEventW(nullptr, /*manualReset=*/FALSE, FALSE, nullptr);  // file or end
    std::atomic<long long> file{-1};
    std::atomic<bool> closed{false};
};

// The process's one input, never destroyed: its thread may read it until the process ends.
BatchInput& TheBatchInput() {
    static BatchInput& input = *new BatchInput;
    return input;
}

DWORD WINAPI ReadFiles(void*) {
    BatchInput& input = TheBatchInput();
    while (const std::optional<std::string> field = input.Next()) {
        input.file.store(std::strtoll(field->c_str(), nullptr, 10));
        SetEvent(input.ready);
    }
    RecordInterruption();  // what the end means while a file runs; none runs otherwise
    input.closed.store(true);
    SetEvent(input.ready);
    return 0;
}

}  // namespace

std::string WorkerArgumentBlock(const CommandArguments& arguments) {
    std::string block = std::to_string(arguments.size()) + '\0';
    for (const std::string& argument : arguments) block += argument + '\0';
    return block;
}

bool IsWorkerStart(const CommandArguments& arguments) {
    return arguments.size() == 2 && arguments[1] == kWorkerOption;
}

CommandArguments ReadWorkerArguments() {
    BatchInput& input = TheBatchInput();
    const std::optional<std::string> count = input.Next();
    const long long wanted = count ? std::strtoll(count->c_str(), nullptr, 10) : -1;
    CommandArguments arguments;
    while (wanted >= 0 && arguments.size() < static_cast<unsigned long long>(wanted)) {
        std::optional<std::string> argument = input.Next();
        if (!argument) break;
        arguments.push_back(std::move(*argument));
    }
    if (wanted < 0 || arguments.size() != static_cast<unsigned long long>(wanted) ||
        input.ready == nullptr) {
        throw HostError("a worker's arguments ended early");
    }
    const HANDLE reader = CreateThread(nullptr, 0, ReadFiles, nullptr, 0, nullptr);
    if (reader == nullptr) {
        throw HostError("a worker cannot read its files: " + SystemMessage(GetLastError()));
    }
    CloseHandle(reader);
    return arguments;
}

std::optional<std::size_t> NextWorkerFile() {
    BatchInput& input = TheBatchInput();
    WaitForSingleObject(input.ready, INFINITE);
    if (input.closed.load()) return std::nullopt;
    const long long file = input.file.exchange(-1);
    if (file < 0) throw HostError("the batch sent a worker no file");
    return static_cast<std::size_t>(file);
}

void ReportWorkerFile(FileOutcome outcome) {
    std::fflush(stderr);
    const int code = outcome == FileOutcome::kDone     ? kExitSuccess
                     : outcome == FileOutcome::kFailed ? kExitFailure
                                                       : kExitInterrupted;
    const std::string line = std::to_string(code) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
}
