// An output file written in full beside its place and moved there only when complete, so that a
// failed write leaves any file already there as it was.
#include "host/output_file.h"

#include <algorithm>

#include "host/host_error.h"
#include "host/text_encoding.h"

namespace {

// "dir\name.png" -> "dir\name.png.kvhost-PID.tmp": the same directory, so the move is a rename,
// and a name no other running kvhost uses.
std::wstring TemporaryPathFor(const std::string& path) {
    return Utf8ToWide(path) + L".kvhost-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
}

// Bytes handed to one WriteFile call.
constexpr std::size_t kChunkBytes = 1 << 24;

}  // namespace

OutputFile::OutputFile(const std::string& outputPath)
    : path(outputPath), temporaryPath(TemporaryPathFor(outputPath)) {
    file = CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw HostError("cannot open " + Quoted(path) + ": " + SystemMessage(GetLastError()));
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
    SetLastError(ERROR_SUCCESS);
    if (!FlushFileBuffers(file)) ThrowWriteFailed(GetLastError());
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    if (!MoveFileExW(temporaryPath.c_str(), Utf8ToWide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw HostError("cannot write " + Quoted(path) + ": " + SystemMessage(GetLastError()));
    }
    committed = true;
}
