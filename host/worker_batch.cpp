// kvhost's batch run N files at once, each in a worker process of its own.
#include "host/worker_batch.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/batch_results.h"
#include "cli/batch_run.h"
#include "cli/command_error.h"
#include "cli/interruption.h"
#include "host/host_error.h"
#include "host/image_file.h"
#include "host/memory_limit.h"
#include "host/text_encoding.h"
#include "platform/win32.h"

namespace {

constexpr char kWorkerOption[] = "--worker";
constexpr std::uint64_t kMiB = 1024 * 1024;
// How soon the batch reads its workers' lines, sees one end and notices an interruption.
constexpr DWORD kPollMilliseconds = 50;

// A handle closed once, by its owner.
class Handle {
   public:
    explicit Handle(HANDLE owned = nullptr) noexcept : handle(owned) {}
    ~Handle() { Close(); }
    Handle(Handle&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            Close();
            handle = std::exchange(other.handle, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    [[nodiscard]] HANDLE Get() const noexcept { return handle; }
    void Close() noexcept {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = nullptr;
    }

   private:
    HANDLE handle;
};

struct Worker {
    std::size_t index = 0;  // of its input in the batch
    std::uint64_t mib = 0;  // its picture's share of the machine's free memory
    bool waited = false;    // it started late, for the memory
    Handle process;
    Handle output;  // the read end of its stdout and stderr
    Handle input;   // the write end of its stdin: closed to stop it
    std::string lines;
};

// What a worker reads from stdin: the count of arguments, then each argument, every one in UTF-8
// and ended by a NUL (an argument may be empty; none holds a NUL).
std::string ArgumentBlock(const CommandArguments& arguments, std::size_t index) {
    const std::string own[] = {kWorkerOption, std::to_string(index)};
    std::string block = std::to_string(arguments.size() + 2) + '\0';
    for (const std::string& argument : arguments) block += argument + '\0';
    for (const std::string& argument : own) block += argument + '\0';
    return block;
}

// "C:\...\kvhost.exe" run --worker: the arguments come on stdin, so that a batch of any length
// fits.
std::wstring WorkerCommandLine() {
    std::vector<wchar_t> program(32768);
    const DWORD length =
        GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
    if (length == 0 || length >= program.size()) {
        throw HostError("cannot find kvhost's own file: " + SystemMessage(GetLastError()));
    }
    return L"\"" + std::wstring(program.data(), length) + L"\" run " + Utf8ToWide(kWorkerOption);
}

// A pipe; the end given to a worker is the only one it inherits, created for it alone (one
// thread starts the workers, and closes its copy once the worker has started).
struct Pipe {
    Handle ownEnd;
    Handle workerEnd;
};
Pipe MakePipe(bool workerReads, DWORD size) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inherited, size)) {
        throw HostError("cannot make a pipe for a worker: " + SystemMessage(GetLastError()));
    }
    Pipe pipe{Handle(workerReads ? write : read), Handle(workerReads ? read : write)};
    SetHandleInformation(pipe.ownEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

void WriteAll(HANDLE pipe, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(pipe, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr)) {
            throw HostError("cannot hand a worker its arguments: " + SystemMessage(GetLastError()));
        }
        done += written;
    }
}

// Starts the worker of input INDEX. Throws HostError.
Worker StartWorker(const CommandArguments& arguments, std::size_t index) {
    const std::string block = ArgumentBlock(arguments, index);
    Pipe output = MakePipe(/*workerReads=*/false, 0);
    // Room for the whole block, so that handing it over never waits for the worker.
    Pipe input = MakePipe(/*workerReads=*/true, static_cast<DWORD>(block.size()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.workerEnd.Get();
    startup.hStdOutput = output.workerEnd.Get();
    startup.hStdError = output.workerEnd.Get();
    std::wstring commandLine = WorkerCommandLine();
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, /*inherit=*/TRUE, 0,
                        nullptr, nullptr, &startup, &process)) {
        throw HostError("cannot start a worker: " + SystemMessage(GetLastError()));
    }
    CloseHandle(process.hThread);
    Worker worker;
    worker.index = index;
    worker.process = Handle(process.hProcess);
    worker.output = std::move(output.ownEnd);
    worker.input = std::move(input.ownEnd);
    WriteAll(worker.input.Get(), block);  // a worker that never reads it ends with its pipe
    return worker;
}

// Takes what the worker has written so far, without waiting.
void Drain(Worker& worker) {
    char buffer[4096];
    DWORD available = 0;
    while (PeekNamedPipe(worker.output.Get(), nullptr, 0, nullptr, &available, nullptr) &&
           available > 0) {
        DWORD got = 0;
        if (!ReadFile(worker.output.Get(), buffer, std::min<DWORD>(available, sizeof buffer), &got,
                      nullptr) ||
            got == 0) {
            return;
        }
        worker.lines.append(buffer, got);
    }
}

// An ended worker's lines and how its file ended, from its exit code: what a file's run in a
// batch of one job ends with (0 done, 1 failed, 130 cut short), or a crash, a failed file.
FileResult ResultOf(Worker& worker, const std::string& input) {
    Drain(worker);
    DWORD code = kExitFailure;
    GetExitCodeProcess(worker.process.Get(), &code);
    FileResult result;
    result.lines = std::move(worker.lines);
    result.cut = code == kExitInterrupted;
    result.failed = !result.cut && code != kExitSuccess;
    if (result.failed && code != kExitFailure) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", code);
        result.lines += "kvhost: error: " + Quoted(input) + ": its run ended with code " + hex + "\n";
    }
    // A worker that Ctrl+C reached first: the batch is interrupted too.
    if (result.cut) RecordInterruption();
    return result;
}

// In a worker: blocks on stdin until the batch closes it or ends, then records an interruption.
DWORD WINAPI StopWhenClosed(void* input) {
    char byte = 0;
    DWORD got = 0;
    while (ReadFile(static_cast<HANDLE>(input), &byte, 1, &got, nullptr) && got != 0) {
    }
    RecordInterruption();
    return 0;
}

// The batch's workers: started in input order while fewer than run.jobs run and the next file's
// picture fits in the free memory beside theirs (one alone always starts), their lines collected
// and printed in order as they end.
class WorkerBatch {
   public:
    WorkerBatch(const RunOptions& batchRun, const CommandArguments& batchArguments)
        : run(batchRun), arguments(batchArguments), results(batchRun.inputs.size()) {}

    int Run() {
        while (!running.empty() || (next < run.inputs.size() && !InterruptionRecorded())) {
            StartWhatFits();
            if (InterruptionRecorded()) {
                for (Worker& worker : running) worker.input.Close();
            }
            WaitForAny();
            CollectEnded();
        }
        return results.PrintSummary();
    }

   private:
    // Bytes a worker's run holds per pixel: the source and result, and a mask's byte.
    std::uint64_t NeededMiB(const std::string& input) const {
        const std::uint64_t pixels = PixelCount(input);
        return (pixels * RunBytesPerPixel(run.filter.maskPath.has_value()) + kMiB - 1) / kMiB;
    }

    void StartWhatFits() {
        while (!InterruptionRecorded() && next < run.inputs.size() && running.size() < run.jobs) {
            if (!nextMiB) nextMiB = NeededMiB(run.inputs[next]);
            if (!running.empty() && heldMiB + *nextMiB > freeMiB) {
                nextWaits = true;
                return;
            }
            try {
                running.push_back(StartWorker(arguments, next));
                running.back().mib = *nextMiB;
                running.back().waited = nextWaits;
                heldMiB += *nextMiB;
            } catch (const std::exception&) {
                results.Finish(next, StartFailure(run.inputs[next], next));
            }
            ++next;
            nextMiB.reset();
            nextWaits = false;
        }
    }

    // The lines of a file whose worker could not start, as its run would have printed them.
    FileResult StartFailure(const std::string& input, std::size_t index) const {
        FileResult result;
        if (!run.quiet) {
            result.lines = "kvhost: " + BatchLabel(index, run.inputs.size(), input) + "\n";
        }
        result.lines += "kvhost: " + FailureText(input) + "\n";
        result.failed = true;
        return result;
    }

    void WaitForAny() const {
        std::vector<HANDLE> processes;
        for (const Worker& worker : running) {
            if (processes.size() < MAXIMUM_WAIT_OBJECTS) processes.push_back(worker.process.Get());
        }
        if (processes.empty()) return;
        WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), FALSE,
                               kPollMilliseconds);
    }

    void CollectEnded() {
        for (auto worker = running.begin(); worker != running.end();) {
            Drain(*worker);
            if (WaitForSingleObject(worker->process.Get(), 0) != WAIT_OBJECT_0) {
                ++worker;
                continue;
            }
            FileResult result = ResultOf(*worker, run.inputs[worker->index]);
            if (worker->waited && !warned) {
                result.lines += "kvhost: warning: " + JobsMemoryWarning(run.jobs) + "\n";
                warned = true;
            }
            heldMiB -= worker->mib;
            results.Finish(worker->index, std::move(result));
            worker = running.erase(worker);
        }
    }

    const RunOptions& run;
    const CommandArguments& arguments;
    OrderedResults results;
    std::vector<Worker> running;
    std::size_t next = 0;                  // the next input to start
    std::optional<std::uint64_t> nextMiB;  // its picture's memory, once read
    bool nextWaits = false;                // it waits for memory
    bool warned = false;
    const std::uint64_t freeMiB = FreeMemoryMiB();
    std::uint64_t heldMiB = 0;
};

}  // namespace

bool IsWorkerStart(const CommandArguments& arguments) {
    return arguments.size() == 2 && arguments[1] == kWorkerOption;
}

CommandArguments ReadWorkerArguments() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    CommandArguments fields;  // the count first
    std::string field;
    std::size_t count = 0;
    char buffer[4096];
    while (fields.empty() || fields.size() < count + 1) {
        DWORD got = 0;
        if (!ReadFile(input, buffer, sizeof buffer, &got, nullptr) || got == 0) {
            throw HostError("a worker's arguments ended early");
        }
        for (DWORD i = 0; i < got; ++i) {
            if (buffer[i] != '\0') {
                field += buffer[i];
                continue;
            }
            fields.push_back(std::exchange(field, std::string()));
            if (fields.size() == 1) count = std::stoul(fields[0]);
        }
    }
    const HANDLE watcher = CreateThread(nullptr, 0, StopWhenClosed, input, 0, nullptr);
    if (watcher == nullptr) {
        throw HostError("cannot watch the batch: " + SystemMessage(GetLastError()));
    }
    CloseHandle(watcher);
    return CommandArguments(fields.begin() + 1, fields.end());
}

int RunInWorkers(const RunOptions& run, const CommandArguments& arguments) {
    return WorkerBatch(run, arguments).Run();
}
