// The results of a batch whose files run at once, printed as one job prints them.
#include "cli/batch_results.h"

#include <cstdio>
#include <utility>

#include "cli/batch_run.h"
#include "cli/interruption.h"

void OrderedResults::Finish(std::size_t index, FileResult result) {
    results[index] = std::move(result);
    finished[index] = true;
    for (; printed < results.size() && finished[printed]; ++printed) {
        std::fputs(results[printed].lines.c_str(), stderr);
        failed += results[printed].failed ? 1 : 0;
    }
}

int OrderedResults::PrintSummary() {
    if (!InterruptionRecorded()) return PrintBatchSummary(results.size(), failed);
    std::size_t done = 0;
    std::size_t failedAll = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!finished[i] || results[i].cut) continue;
        (results[i].failed ? failedAll : done) += 1;
    }
    for (; printed < results.size(); ++printed) {
        if (finished[printed]) std::fputs(results[printed].lines.c_str(), stderr);
    }
    return PrintInterruptedSummary(done, failedAll, results.size() - done - failedAll);
}
