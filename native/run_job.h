// What one picture's run carries through the native command: the lines it prints on stderr,
// kept until its turn when several pictures run at once, and its share of the memory that the
// runs of a batch hold between them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

// The memory the runs of a batch hold, counted against what the system had available when the
// batch began: a run whose pictures would not fit beside the others' waits until they finish,
// so that fewer run at a time; one alone always goes on, to be checked against the system.
class MemoryBudget {
   public:
    explicit MemoryBudget(std::uint64_t availableMiB) : available(availableMiB) {}

    // Waits until MIB fit beside what the other runs hold (or none holds any), then holds them.
    // True when it had to wait.
    bool Hold(std::uint64_t mib);
    void Release(std::uint64_t mib);

   private:
    std::mutex mutex;
    std::condition_variable released;
    std::uint64_t available;
    std::uint64_t held = 0;
};

class RunJob {
   public:
    // BUDGET: null for a run alone. DIRECT: lines go straight to stderr rather than waiting.
    // THREADS: the threads the pass may split the picture's rows between.
    RunJob(MemoryBudget* batchBudget, bool linesDirect, unsigned threads = 1)
        : budget(batchBudget), direct(linesDirect), passThreads(threads) {}
    ~RunJob() { ReleaseMemory(); }
    RunJob(const RunJob&) = delete;
    RunJob& operator=(const RunJob&) = delete;

    // A line "trapezoid: TEXT" (a warning: "trapezoid: warning: TEXT").
    void Line(const std::string& text);
    void Warning(const std::string& text) { Line("warning: " + text); }
    // The lines kept so far, handed over once.
    [[nodiscard]] std::string TakeLines();

    // Holds at least MIB of the batch's budget for the rest of the run (nothing without one).
    void HoldMemory(std::uint64_t mib);
    void ReleaseMemory();
    // Whether its lines go straight to stderr: a run alone, which may draw a progress bar.
    [[nodiscard]] bool Direct() const noexcept { return direct; }
    // Whether holding memory ever had to wait for another run.
    [[nodiscard]] bool Waited() const noexcept { return waited; }
    [[nodiscard]] unsigned PassThreads() const noexcept { return passThreads; }

   private:
    MemoryBudget* budget;
    bool direct;
    unsigned passThreads;
    std::string lines;
    std::uint64_t heldMiB = 0;
    bool waited = false;
};
