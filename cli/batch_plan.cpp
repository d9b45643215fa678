// A batch's files checked before any is read.
#include "cli/batch_plan.h"

#include <map>

#include "cli/arguments.h"
#include "cli/command_error.h"

namespace {

// The suffix is part of a file name: a separator or ".." would put the output elsewhere.
void CheckSuffix(const std::string& suffix) {
    if (suffix.find_first_of("/\\:") != std::string::npos ||
        suffix.find("..") != std::string::npos) {
        throw UsageError("--suffix " + Quoted(suffix) +
                         " must not hold a path separator, a colon or \"..\": it is added to "
                         "each output's name");
    }
}

}  // namespace

std::string BatchOutputPath(const BatchFiles& files, const std::string& input) {
    const std::string name = FileNameOf(input);
    const std::size_t dot = name.find_last_of('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = files.extension            ? *files.extension
                                  : dot == std::string::npos ? std::string()
                                                             : name.substr(dot);
    std::string directory = files.outDir.empty() ? "." : files.outDir;
    if (directory.back() != '/' && directory.back() != '\\') directory += '/';
    return directory + stem + files.suffix + extension;
}

void CheckBatch(const BatchFiles& files, FileIdentityOf identity) {
    CheckSuffix(files.suffix);
    const std::vector<std::string>& inputs = files.inputs;
    std::map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const auto [at, added] = seen.emplace(identity(inputs[i]), i);
        if (!added) {
            throw UsageError("the batch names one file twice: " + Quoted(inputs[at->second]) +
                             " and " + Quoted(inputs[i]));
        }
    }
    std::map<std::string, std::size_t> outputs;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string output = BatchOutputPath(files, inputs[i]);
        const std::string id = identity(output);
        const auto [at, added] = outputs.emplace(id, i);
        if (!added) {
            throw UsageError(Quoted(inputs[at->second]) + " and " + Quoted(inputs[i]) +
                             " would both be written to " + Quoted(output));
        }
        const auto input = seen.find(id);
        if (input != seen.end() && input->second != i) {
            throw UsageError("the result of " + Quoted(inputs[i]) +
                             " would be written over the input " + Quoted(inputs[input->second]));
        }
        if (input != seen.end() && !files.inPlace) {
            throw UsageError("the result of " + Quoted(inputs[i]) +
                             " would replace it: give --in-place to replace the inputs, or "
                             "--suffix or another --out-dir to keep them");
        }
    }
}
