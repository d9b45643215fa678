// A batch of the native command run on several threads.
#include "native/parallel_batch.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <new>
#include <thread>

#include "cli/batch_results.h"
#include "cli/batch_run.h"
#include "cli/interruption.h"
#include "native/picture_files.h"

int RunInParallel(const std::vector<std::string>& inputs, unsigned jobs, bool announce,
                  const std::function<void(const std::string& input, const std::string& label,
                                           RunJob& job)>& runOne) {
    const std::size_t count = inputs.size();
    OrderedResults results(count);
    std::mutex printing;
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
                job.Warning(JobsMemoryWarning(jobs));
            }
            result.lines = job.TakeLines();
            const std::lock_guard<std::mutex> lock(printing);
            results.Finish(i, std::move(result));
        }
    };
    std::vector<std::thread> threads;
    for (unsigned j = 1; j < jobs && j < count; ++j) threads.emplace_back(work);
    work();
    for (std::thread& thread : threads) thread.join();
    return results.PrintSummary();
}
