// A batch's files checked before any is read.
#include "cli/batch_plan.h"

#include <cctype>
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

namespace {

// Two names that are not the same text but are when case is ignored (ASCII letters).
bool DifferInCaseOnly(const std::string& a, const std::string& b) {
    if (a == b || a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

void CheckBatch(const BatchFiles& files, FileIdentityOf identity) {
    CheckSuffix(files.suffix);
    const std::vector<std::string>& inputs = files.inputs;
    std::map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const auto [at, added] = seen.emplace(identity(inputs[i]), i);
        if (!added && DifferInCaseOnly(FileNameOf(inputs[at->second]), FileNameOf(inputs[i]))) {
            throw UsageError(Quoted(inputs[at->second]) + " and " + Quoted(inputs[i]) +
                             " are the same file on this drive, which ignores case");
        }
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

RunFiles ReadRunFiles(const cxxopts::ParseResult& result, const std::string& input,
                      const char* usage,
                      std::optional<std::string> (*extensionOf)(const std::string&),
                      const char* formatNames) {
    std::vector<std::string> more;
    if (result.count("more") != 0) more = result["more"].as<std::vector<std::string>>();
    RunFiles files{{input}, "", std::nullopt};
    if (result.count("out-dir") != 0) {
        files.inputs.insert(files.inputs.end(), more.begin(), more.end());
        BatchFiles batch{files.inputs, result["out-dir"].as<std::string>(), "", std::nullopt,
                         result["in-place"].as<bool>()};
        if (result.count("suffix") != 0) batch.suffix = result["suffix"].as<std::string>();
        if (result.count("format") != 0) {
            const std::string name = result["format"].as<std::string>();
            batch.extension = extensionOf(name);
            if (!batch.extension) {
                throw UsageError("invalid format " + Quoted(name) + ": expected " + formatNames);
            }
        }
        files.batch = std::move(batch);
        return files;
    }
    if (result.count("suffix") != 0 || result.count("format") != 0) {
        throw UsageError("--suffix and --format name batch outputs: they need --out-dir");
    }
    if (more.empty()) throw UsageError(std::string("missing output; usage: ") + usage);
    if (more.size() > 1) throw UsageError("unexpected argument " + Quoted(more[1]));
    files.outputPath = more[0];
    return files;
}
