// kvhost's batch run N files at once in worker processes.
#include "host/worker_batch.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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
#include "host/worker_process.h"
#include "platform/win32.h"

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
// How soon the batch sees that a worker is done with its file and gives it the next (a worker
// idles that long at most), reads the workers' lines and notices an interruption.
constexpr DWORD kPollMilliseconds = 5;

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
    Handle process;
    Handle input;    // the write end of its stdin: closed when it has no more files, or to stop it
    Handle lines;    // the read end of its stderr
    Handle results;  // the read end of its stdout: a line with each file's exit code
    std::string linesRead;
    std::string resultsRead;
    std::optional<std::size_t> file;  // the index of the file it runs
    std::uint64_t mib = 0;            // that file's picture's share of the free memory
    bool waited = false;              // that file started late, for the memory
};

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

// A pipe; the end given to a worker is the only one it inherits, made for it alone (one thread
// starts the workers, and closes its copy once the worker has started).
struct Pipe {
    Handle ownEnd;
    Handle workerEnd;
};
Pipe MakePipe(bool workerReads) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inherited, 0)) {
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
            throw HostError("cannot reach a worker: " + SystemMessage(GetLastError()));
        }
        done += written;
    }
}

// Starts a worker and hands it the batch's arguments. Throws HostError.
Worker StartWorker(const CommandArguments& arguments) {
    Pipe input = MakePipe(/*workerReads=*/true);
    Pipe lines = MakePipe(/*workerReads=*/false);
    Pipe results = MakePipe(/*workerReads=*/false);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.workerEnd.Get();
    startup.hStdOutput = results.workerEnd.Get();
    startup.hStdError = lines.workerEnd.Get();
    std::wstring commandLine = WorkerCommandLine();
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, /*inherit=*/TRUE, 0,
                        nullptr, nullptr, &startup, &process)) {
        throw HostError("cannot start a worker: " + SystemMessage(GetLastError()));
    }
    CloseHandle(process.hThread);
    Worker worker;
    worker.process = Handle(process.hProcess);
    worker.input = std::move(input.ownEnd);
    worker.lines = std::move(lines.ownEnd);
    worker.results = std::move(results.ownEnd);
    WriteAll(worker.input.Get(), WorkerArgumentBlock(arguments));
    return worker;
}

// Appends what PIPE holds now to TEXT, without waiting.
void Drain(const Handle& pipe, std::string& text) {
    char buffer[4096];
    DWORD available = 0;
    while (PeekNamedPipe(pipe.Get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe.Get(), buffer, std::min<DWORD>(available, sizeof buffer), &got,
                      nullptr) ||
            got == 0) {
            return;
        }
        text.append(buffer, got);
    }
}

// The first line of TEXT, taken from it, when a whole one is there.
std::optional<std::string> TakeLine(std::string& text) {
    const std::size_t end = text.find('\n');
    if (end == std::string::npos) return std::nullopt;
    std::string line = text.substr(0, end);
    text.erase(0, end + 1);
    return line;
}

// A file's result from the exit code of its run in a worker: what a file's run in a batch of one
// job ends with (0 done, 1 failed, 130 cut short), or, from a worker that ended without saying,
// its own exit code: a crash, a failed file with a line saying so.
FileResult ResultOf(std::string lines, DWORD code, bool said, const std::string& input) {
    FileResult result;
    result.lines = std::move(lines);
    result.cut = code == kExitInterrupted;
    result.failed = !result.cut && (code != kExitSuccess || !said);
    if (result.failed && code != kExitFailure) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", code);
        result.lines += "kvhost: error: " + Quoted(input) + ": its run ended with code " + hex + "\n";
    }
    // A worker that Ctrl+C reached first: the batch is interrupted too.
    if (result.cut) RecordInterruption();
    return result;
}

// The batch's workers, started as files need them, up to run.jobs; each file given to an idle
// worker in input order while its picture fits in the free memory beside those running (one
// alone always starts), its lines printed in order once its worker says it is done.
class WorkerBatch {
   public:
    WorkerBatch(const RunOptions& batchRun, const CommandArguments& batchArguments)
        : run(batchRun), arguments(batchArguments), results(batchRun.inputs.size()) {}

    int Run() {
        for (;;) {
            GiveWhatFits();
            CloseWhatIsDone();
            if (workers.empty() && (next == run.inputs.size() || InterruptionRecorded())) break;
            WaitForAny();
            Collect();
        }
        return results.PrintSummary();
    }

   private:
    // Bytes a file's run holds per pixel: the source and result, and a mask's byte.
    [[nodiscard]] std::uint64_t NeededMiB(const std::string& input) const {
        const std::uint64_t pixels = PixelCount(input);
        return (pixels * RunBytesPerPixel(run.filter.maskPath.has_value()) + kMiB - 1) / kMiB;
    }

    Worker* IdleWorker() {
        for (Worker& worker : workers) {
            if (!worker.file && worker.input.Get() != nullptr) return &worker;
        }
        if (workers.size() >= run.jobs) return nullptr;
        return &workers.emplace_back(StartWorker(arguments));
    }

    [[nodiscard]] bool Fits(std::uint64_t mib) const {
        const bool busy = std::any_of(workers.begin(), workers.end(),
                                      [](const Worker& worker) { return worker.file.has_value(); });
        return !busy || heldMiB + mib <= freeMiB;
    }

    void GiveWhatFits() {
        while (!InterruptionRecorded() && next < run.inputs.size()) {
            if (!nextMiB) nextMiB = NeededMiB(run.inputs[next]);
            if (!Fits(*nextMiB)) {
                nextWaits = true;
                return;
            }
            try {
                Worker* worker = IdleWorker();
                if (worker == nullptr) return;
                WriteAll(worker->input.Get(), std::to_string(next) + '\0');
                worker->file = next;
                worker->mib = *nextMiB;
                worker->waited = nextWaits;
                heldMiB += *nextMiB;
            } catch (const std::exception&) {
                results.Finish(next, StartFailure(run.inputs[next], next));
            }
            ++next;
            nextMiB.reset();
            nextWaits = false;
        }
    }

    // The lines of a file no worker could take, as its run would have printed them.
    [[nodiscard]] FileResult StartFailure(const std::string& input, std::size_t index) const {
        FileResult result;
        if (!run.quiet) {
            result.lines = "kvhost: " + BatchLabel(index, run.inputs.size(), input) + "\n";
        }
        result.lines += "kvhost: " + FailureText(input) + "\n";
        result.failed = true;
        return result;
    }

    // Idle workers end once no file is left for them; every worker stops on an interruption.
    void CloseWhatIsDone() {
        const bool stop = InterruptionRecorded();
        for (Worker& worker : workers) {
            if (stop || (!worker.file && next == run.inputs.size())) worker.input.Close();
        }
    }

    void WaitForAny() const {
        std::vector<HANDLE> processes;
        for (const Worker& worker : workers) {
            if (processes.size() < MAXIMUM_WAIT_OBJECTS) processes.push_back(worker.process.Get());
        }
        if (processes.empty()) return;
        WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), FALSE,
                               kPollMilliseconds);
    }

    void Collect() {
        for (auto worker = workers.begin(); worker != workers.end();) {
            const bool ended = WaitForSingleObject(worker->process.Get(), 0) == WAIT_OBJECT_0;
            Drain(worker->lines, worker->linesRead);
            Drain(worker->results, worker->resultsRead);
            while (const std::optional<std::string> code = TakeLine(worker->resultsRead)) {
                Finish(*worker, static_cast<DWORD>(std::strtoul(code->c_str(), nullptr, 10)),
                       /*said=*/true);
            }
            if (!ended) {
                ++worker;
                continue;
            }
            DWORD code = kExitFailure;
            GetExitCodeProcess(worker->process.Get(), &code);
            if (worker->file) {
                Finish(*worker, InterruptionRecorded() ? kExitInterrupted : code, /*said=*/false);
            }
            worker = workers.erase(worker);
        }
    }

    void Finish(Worker& worker, DWORD code, bool said) {
        if (!worker.file) return;
        const std::size_t index = *worker.file;
        FileResult result =
            ResultOf(std::exchange(worker.linesRead, std::string()), code, said, run.inputs[index]);
        if (worker.waited && !warned) {
            result.lines += "kvhost: warning: " + JobsMemoryWarning(run.jobs) + "\n";
            warned = true;
        }
        heldMiB -= worker.mib;
        worker.file.reset();
        results.Finish(index, std::move(result));
    }

    const RunOptions& run;
    const CommandArguments& arguments;
    OrderedResults results;
    std::vector<Worker> workers;
    std::size_t next = 0;                  // the next input to give a worker
    std::optional<std::uint64_t> nextMiB;  // its picture's memory, once read
    bool nextWaits = false;                // it waits for memory
    bool warned = false;
    const std::uint64_t freeMiB = FreeMemoryMiB();
    std::uint64_t heldMiB = 0;
};

}  // namespace

int RunInWorkers(const RunOptions& run, const CommandArguments& arguments) {
    return WorkerBatch(run, arguments).Run();
}
