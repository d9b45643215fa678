// An output file written in full beside its place and moved there only when complete, so that a
// failed write leaves any file already there as it was.
#include "host/output_file.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "cli/interruption.h"
#include "host/host_error.h"
#include "host/text_encoding.h"

namespace {

// "dir\name.png" -> "dir\name.png.kvhost-PID.tmp": the same directory, so the move is a rename,
// and a name no other running kvhost uses.
std::wstring TemporaryPathFor(const std::string& path) {
    return Utf8ToWide(TemporaryNameFor(path, "kvhost", GetCurrentProcessId()));
}

bool ProcessRunning(std::uint32_t pid) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// Temporary files of PATH left by runs of kvhost that were killed outright (their process is
// gone): removed, each with a warning.
void RemoveStaleTemporaries(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(Utf8ToWide(path + ".kvhost-*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = WideToUtf8(found.cFileName);
        const std::optional<std::uint32_t> owner = TemporaryOwner(name, FileNameOf(path), "kvhost");
        if (!owner || ProcessRunning(*owner)) continue;
        if (DeleteFileW(Utf8ToWide(folder + name).c_str())) {
            PrintWarning(StaleTemporaryText(folder + name));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Bytes handed to one WriteFile call.
constexpr std::size_t kChunkBytes = 1 << 24;

}  // namespace

OutputFile::OutputFile(const std::string& outputPath)
    : path(outputPath), temporaryPath(TemporaryPathFor(outputPath)) {
    RemoveStaleTemporaries(path);
    file = CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED) {
            // A new file of the process's own name: the folder is what refused it.
            throw HostError("cannot write into " + Quoted(FolderOf(path)) + ": permission denied");
        }
        throw HostError("cannot open " + Quoted(path) + ": " + SystemMessage(error));
    }
}

OutputFile::~OutputFile() {
    if (committed) return;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DeleteFileW(temporaryPath.c_str());
}

void OutputFile::ThrowWriteFailed(DWORD error) const {
    const bool full = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ||
                      error == ERROR_SUCCESS;  // a write that fell short without a reason
    throw HostError("cannot write " + Quoted(path) + ": " +
                    (full ? std::string("the disk is full") : SystemMessage(error)));
}

void OutputFile::Write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ThrowIfInterrupted();  // the destructor removes the temporary file
        const auto count = static_cast<DWORD>(std::min(bytes.size() - done, kChunkBytes));
        DWORD written = 0;
        SetLastError(ERROR_SUCCESS);
        if (!WriteFile(file, bytes.data() + done, count, &written, nullptr) || written == 0) {
            ThrowWriteFailed(GetLastError());
        }
        done += written;
    }
}

void OutputFile::Commit() {
    ThrowIfInterrupted();
    SetLastError(ERROR_SUCCESS);
    if (!FlushFileBuffers(file)) ThrowWriteFailed(GetLastError());
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    ThrowIfInterrupted();
    if (!MoveFileExW(temporaryPath.c_str(), Utf8ToWide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw HostError("cannot write " + Quoted(path) + ": " + SystemMessage(GetLastError()));
    }
    committed = true;
}
