// The reporter of the benchmarks: the table as usual, and for each benchmark the least of a
// measure over all its runs (repetitions, interleaved with the others'), so that the ratios printed
// after the table are not decided by a busy neighbour on a shared machine.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class LeastReporter : public benchmark::ConsoleReporter {
   public:
    // MEASURE gives a run's value, or nothing to leave the run out. With aggregatesOnly the table
    // shows the aggregates of repeated benchmarks only, as --benchmark_report_aggregates_only
    // would, which would also hide the runs from this reporter.
    using Measure = std::function<std::optional<double>(const Run&)>;
    explicit LeastReporter(Measure measure, bool aggregatesOnly = false)
        : measureOf(std::move(measure)), onlyAggregates(aggregatesOnly) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        std::vector<Run> shown;
        for (const Run& run : runs) {
            if (!onlyAggregates || run.run_type == Run::RT_Aggregate || run.repetitions <= 1) {
                shown.push_back(run);
            }
            if (run.run_type != Run::RT_Iteration || run.iterations <= 0) continue;
            const std::optional<double> value = measureOf(run);
            if (!value) continue;
            const auto [at, added] = least.emplace(run.run_name.function_name, *value);
            if (!added && *value < at->second) at->second = *value;
        }
        ConsoleReporter::ReportRuns(shown);
    }

    // The least value of each benchmark measured, by name.
    std::map<std::string, double> least;

   private:
    Measure measureOf;
    bool onlyAggregates;
};

// A run's real time, adjusted per iteration, in nanoseconds.
[[nodiscard]] inline double RealNanoseconds(const benchmark::BenchmarkReporter::Run& run) {
    return run.GetAdjustedRealTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
}
