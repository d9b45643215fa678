// One picture's run: its lines and its share of the batch's memory.
#include "native/run_job.h"

#include <cstdio>

bool MemoryBudget::Hold(std::uint64_t mib) {
    std::unique_lock<std::mutex> lock(mutex);
    bool waitedHere = false;
    while (held != 0 && held + mib > available) {
        waitedHere = true;
        released.wait(lock);
    }
    held += mib;
    return waitedHere;
}

void MemoryBudget::Release(std::uint64_t mib) {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        held -= mib;
    }
    released.notify_all();
}

void RunJob::Line(const std::string& text) {
    const std::string line = "trapezoid: " + text + "\n";
    if (direct) {
        std::fputs(line.c_str(), stderr);
    } else {
        lines += line;
    }
}

std::string RunJob::TakeLines() { return std::move(lines); }

void RunJob::HoldMemory(std::uint64_t mib) {
    if (budget == nullptr || mib <= heldMiB) return;
    waited = budget->Hold(mib - heldMiB) || waited;
    heldMiB = mib;
}

void RunJob::ReleaseMemory() {
    if (budget != nullptr && heldMiB != 0) budget->Release(heldMiB);
    heldMiB = 0;
}
