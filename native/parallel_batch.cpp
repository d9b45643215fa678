// A batch of the native command run on several threads.
#include "native/parallel_batch.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <new>
#include <thread>

#include "cli/batch_run.h"
#include "cli/interruption.h"
#include "native/picture_files.h"

namespace {

struct FileResult {
    std::string lines;
    bool failed = false;
    bool cut = false;  // interrupted: counted as not started
    bool done = false;
};

// The files' results, printed in input order as soon as every file before is printed.
class OrderedPrinter {
   public:
    explicit OrderedPrinter(std::size_t count) : results(count) {}

    void Finish(std::size_t index, FileResult result) {
        const std::lock_guard<std::mutex> lock(mutex);
        results[index] = std::move(result);
        results[index].done = true;
        for (; printed < results.size() && results[printed].done; ++printed) {
            std::fputs(results[printed].lines.c_str(), stderr);
            failed += results[printed].failed ? 1 : 0;
        }
    }
    [[nodiscard]] std::size_t Failed() const noexcept { return failed; }

    // After an interruption: the lines of the files that finished but wait for one that never
    // started, and the summary. Returns kExitInterrupted.
    int FinishInterrupted() {
        std::size_t done = 0;
        std::size_t failedAll = 0;
        for (const FileResult& result : results) {
            if (!result.done || result.cut) continue;
            (result.failed ? failedAll : done) += 1;
        }
        for (; printed < results.size(); ++printed) {
            if (results[printed].done) std::fputs(results[printed].lines.c_str(), stderr);
        }
        return PrintInterruptedSummary(done, failedAll, results.size() - done - failedAll);
    }

   private:
    std::mutex mutex;
    std::vector<FileResult> results;
    std::size_t printed = 0;
    std::size_t failed = 0;
};

}  // namespace

int RunInParallel(const std::vector<std::string>& inputs, unsigned jobs, bool announce,
                  const std::function<void(const std::string& input, const std::string& label,
                                           RunJob& job)>& runOne) {
    const std::size_t count = inputs.size();
    OrderedPrinter printer(count);
    MemoryBudget budget(AvailableMiB());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> warned{false};
    // The batch's threads are the jobs: fewer pictures than jobs split the rest between them.
    const auto passThreads =
        static_cast<unsigned>(jobs / std::clamp<std::size_t>(count, 1, std::max(jobs, 1u)));
    const auto work = [&]() {
        for (std::size_t i = next++; i < count && !InterruptionRecorded(); i = next++) {
            const std::string label = BatchLabel(i, count, inputs[i]);
            RunJob job(&budget, /*direct=*/false, passThreads);
            if (announce) job.Line(label);
            FileResult result;
            try {
                runOne(inputs[i], label, job);
            } catch (...) {
                result.cut = InterruptionRecorded();
                if (!result.cut) job.Line(FailureText(inputs[i]));
                result.failed = !result.cut;
            }
            job.ReleaseMemory();
            if (job.Waited() && !warned.exchange(true)) {
                job.Warning("--jobs " + std::to_string(jobs) +
                            ": the pictures do not all fit in memory at once; fewer run at a time");
            }
            result.lines = job.TakeLines();
            printer.Finish(i, std::move(result));
        }
    };
    std::vector<std::thread> threads;
    for (unsigned j = 1; j < jobs && j < count; ++j) threads.emplace_back(work);
    work();
    for (std::thread& thread : threads) thread.join();
    if (InterruptionRecorded()) return printer.FinishInterrupted();
    return PrintBatchSummary(count, printer.Failed());
}
