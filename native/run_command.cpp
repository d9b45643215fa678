// The native command's run and suggest: the engine called directly on pictures read and written
// through imageio, one at a time or a batch, with kvhost's messages, refusals and exit codes.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

#include "cli/batch_run.h"
#include "cli/command_error.h"
#include "native/commands.h"
#include "native/filter_options.h"
#include "native/parallel_batch.h"
#include "native/picture_run.h"

namespace {

void MakeOutputFolder(const std::string& folder) {
    struct stat status {};
    if (stat(folder.c_str(), &status) == 0) {
        if (!S_ISDIR(status.st_mode)) {
            throw UsageError("--out-dir " + Quoted(folder) + " is a file, not a folder");
        }
        return;
    }
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        throw HostError("cannot create the output folder " + Quoted(folder) + ": " +
                        std::strerror(errno));
    }
}

// One job: as kvhost runs a batch, on one thread. More: on as many threads, each file's lines
// kept until its turn, labelled rather than drawn as a bar.
int RunBatch(const FilterOptions& run) {
    if (run.jobs <= 1) {
        return RunEachInput(run.inputs, "trapezoid", !run.quiet && isatty(STDERR_FILENO) == 0,
                            [&](const std::string& input, const std::string& label) {
                                RunJob job(/*budget=*/nullptr, /*direct=*/true, /*threads=*/1);
                                RunOne(run, input, BatchOutputPath(*run.batch, input), label, job);
                            });
    }
    return RunInParallel(run.inputs, run.jobs, !run.quiet,
                         [&](const std::string& input, const std::string& label, RunJob& job) {
                             RunOne(run, input, BatchOutputPath(*run.batch, input), label, job);
                         });
}

}  // namespace

int RunCommand(const std::vector<std::string>& arguments) {
    const FilterOptions run = ParseFilterOptions(arguments, FilterCommand::kRun);
    if (run.batch) {
        CheckBatch(*run.batch, FileIdentity);  // before any file is read
        MakeOutputFolder(run.batch->outDir);
    }
    if (const std::optional<std::string> refusal = SettingsRefusal(run)) {
        std::fprintf(stderr, "trapezoid: %s\n", refusal->c_str());
        return kExitRefused;
    }
    if (run.batch) return RunBatch(run);
    try {
        // A picture alone has the processors to itself.
        RunJob job(/*budget=*/nullptr, /*direct=*/true,
                   std::max(1u, std::thread::hardware_concurrency()));
        return RunOne(run, run.inputs.front(), run.outputPath, std::string(), job);
    } catch (const std::bad_alloc&) {
        throw HostError(Quoted(run.inputs.front()) + ": out of memory");
    }
}

int SuggestCommand(const std::vector<std::string>& arguments) {
    const FilterOptions suggest = ParseFilterOptions(arguments, FilterCommand::kSuggest);
    RunJob job(/*budget=*/nullptr, /*direct=*/true);
    const std::optional<Straightening> found =
        Suggest(ReadSelected(suggest, suggest.inputs.front(), job), suggest);
    if (!found) {
        std::printf("trapezoid: no straight lines found\n");
        return kExitNoSuggestion;
    }
    std::printf("%s\n", SuggestionText(*found).c_str());
    return kExitSuccess;
}
