// A batch's files checked before any is read, by the rules every command shares, as Windows
// tells files apart; the output folder created when missing.
#include "host/batch_plan.h"

#include <vector>

#include "cli/batch_plan.h"
#include "host/host_error.h"
#include "host/text_encoding.h"
#include "platform/win32.h"

namespace {

// A path as the file system tells files apart: full, with its case folded, so that two spellings
// of one file ("a/x.png", "./A/X.PNG") compare equal.
std::string FileIdentity(const std::string& path) {
    const std::wstring wide = Utf8ToWide(path);
    std::vector<wchar_t> full(32768);
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    std::wstring identity =
        length == 0 || length >= full.size() ? wide : std::wstring(full.data(), length);
    if (!identity.empty()) {
        CharLowerBuffW(identity.data(), static_cast<DWORD>(identity.size()));
    }
    return WideToUtf8(identity);
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
    if (!run.batch) return;
    CheckBatch(*run.batch, FileIdentity);
    MakeOutputFolder(run.batch->outDir);
}
