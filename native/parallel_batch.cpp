// A batch of the native command run on several threads.
#include "native/parallel_batch.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <new>
#include <thread>

#include "cli/batch_run.h"
#include "native/picture_files.h"

namespace {

struct FileResult {
    std::string lines;
    bool failed = false;
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
    const auto work = [&]() {
        for (std::size_t i = next++; i < count; i = next++) {
            const std::string label = BatchLabel(i, count, inputs[i]);
            RunJob job(&budget, /*direct=*/false);
            if (announce) job.Line(label);
            FileResult result;
            try {
                runOne(inputs[i], label, job);
            } catch (...) {
                job.Line(FailureText(inputs[i]));
                result.failed = true;
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
    return PrintBatchSummary(count, printer.Failed());
}
