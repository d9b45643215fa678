// The results of a batch whose files run at once (on threads, or in worker processes), printed
// as one job prints them: each file's lines in input order, as soon as every file before it is
// printed, then the count.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct FileResult {
    std::string lines;  // what the file's run printed on stderr, its label line first
    bool failed = false;
    bool cut = false;  // interrupted: counted as not started, its output as it was
};

class OrderedResults {
   public:
    explicit OrderedResults(std::size_t count) : results(count), finished(count, false) {}

    // Records file INDEX's result and prints the lines now due. Callers on several threads
    // serialise their calls.
    void Finish(std::size_t index, FileResult result);

    // "117 done, 3 failed" on stdout and the exit code, 0 or 1. After an interruption, first the
    // lines of the files that finished but wait for one that never started, then "12 done,
    // 0 failed, 18 not started", and kExitInterrupted.
    int PrintSummary();

   private:
    std::vector<FileResult> results;
    std::vector<bool> finished;
    std::size_t printed = 0;
    std::size_t failed = 0;
};
