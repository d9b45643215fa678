// A batch's files checked before any is read: no input named twice, no two results written to
// one file, no result written over another input, outputs inside the output folder, which is
// created when missing.
#include "host/batch_plan.h"

#include <map>
#include <vector>

#include "host/host_error.h"
#include "host/text_encoding.h"
#include "platform/win32.h"

namespace {

// A path as the file system tells files apart: full, with its case folded, so that two spellings
// of one file ("a/x.png", "./A/X.PNG") compare equal.
std::wstring FileIdentity(const std::string& path) {
    const std::wstring wide = Utf8ToWide(path);
    std::vector<wchar_t> full(32768);
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    std::wstring identity =
        length == 0 || length >= full.size() ? wide : std::wstring(full.data(), length);
    if (!identity.empty()) {
        CharLowerBuffW(identity.data(), static_cast<DWORD>(identity.size()));
    }
    return identity;
}

// The suffix is part of a file name: a separator or ".." would put the output elsewhere.
void CheckSuffix(const std::string& suffix) {
    if (suffix.find_first_of("/\\:") != std::string::npos ||
        suffix.find("..") != std::string::npos) {
        throw UsageError("--suffix " + Quoted(suffix) +
                         " must not hold a path separator, a colon or \"..\": it is added to "
                         "each output's name");
    }
}

void CheckFiles(const RunOptions& run) {
    std::map<std::wstring, std::size_t> inputs;
    for (std::size_t i = 0; i < run.inputs.size(); ++i) {
        const auto [at, added] = inputs.emplace(FileIdentity(run.inputs[i]), i);
        if (!added) {
            throw UsageError("the batch names one file twice: " + Quoted(run.inputs[at->second]) +
                             " and " + Quoted(run.inputs[i]));
        }
    }
    std::map<std::wstring, std::size_t> outputs;
    for (std::size_t i = 0; i < run.inputs.size(); ++i) {
        const std::string output = BatchOutputPath(run, run.inputs[i]);
        const std::wstring identity = FileIdentity(output);
        const auto [at, added] = outputs.emplace(identity, i);
        if (!added) {
            throw UsageError(Quoted(run.inputs[at->second]) + " and " + Quoted(run.inputs[i]) +
                             " would both be written to " + Quoted(output));
        }
        const auto input = inputs.find(identity);
        if (input != inputs.end() && input->second != i) {
            throw UsageError("the result of " + Quoted(run.inputs[i]) +
                             " would be written over the input " +
                             Quoted(run.inputs[input->second]));
        }
    }
}

// The output folder: created when missing, its parent being there; refused when it is a file.
void MakeOutputFolder(const std::string& folder) {
    const std::wstring wide = Utf8ToWide(folder);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            throw UsageError("--out-dir " + Quoted(folder) + " is a file, not a folder");
        }
        return;
    }
    if (!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        throw HostError("cannot create the output folder " + Quoted(folder) + ": " +
                        SystemMessage(GetLastError()));
    }
}

}  // namespace

void PrepareBatch(const RunOptions& run) {
    if (!run.outDir) return;
    CheckSuffix(run.suffix);
    CheckFiles(run);
    MakeOutputFolder(*run.outDir);
}
