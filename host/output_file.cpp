// An output file written in full beside its place and moved there only when complete, so that a
// failed write leaves any file already there as it was.
#include "host/output_file.h"

#include <cstdint>
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

}  // namespace

OutputFile::OutputFile(const std::string& outputPath)
    : path(outputPath), temporaryPath(TemporaryPathFor(outputPath)) {
    RemoveStaleTemporaries(path);
    CheckResult(ImagingFactory().CreateStream(&stream), "cannot open " + Quoted(path));
    const HRESULT opened = stream->InitializeFromFilename(temporaryPath.c_str(), GENERIC_WRITE);
    if (opened == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)) {
        // A new file of the process's own name: the folder is what refused it.
        throw HostError("cannot write into " + Quoted(FolderOf(path)) + ": permission denied");
    }
    CheckResult(opened, "cannot open " + Quoted(path));
    checked = CheckedStream::Over(stream);
}

OutputFile::~OutputFile() {
    if (committed) return;
    checked.Reset();
    stream.Reset();  // closes the file
    DeleteFileW(temporaryPath.c_str());
}

void OutputFile::ThrowIfWriteFailed() const {
    CheckResult(checked->FirstFailure(), "cannot write " + Quoted(path));
}

void OutputFile::Commit() {
    const std::string what = "cannot write " + Quoted(path);
    ThrowIfInterrupted();                              // the destructor removes the temporary file
    static_cast<void>(checked->Commit(STGC_DEFAULT));  // a failure is recorded
    ThrowIfWriteFailed();
    STATSTG written{};
    CheckResult(stream->Stat(&written, STATFLAG_NONAME), what);
    checked.Reset();
    stream.Reset();  // closes the file
    // What reached the disk must be all that the stream holds: a write that failed unseen would
    // leave the file short.
    WIN32_FILE_ATTRIBUTE_DATA file{};
    if (!GetFileAttributesExW(temporaryPath.c_str(), GetFileExInfoStandard, &file)) {
        throw HostError(what + ": " + SystemMessage(GetLastError()));
    }
    const std::uint64_t size = std::uint64_t{file.nFileSizeHigh} << 32 | file.nFileSizeLow;
    if (size != written.cbSize.QuadPart) {
        throw HostError(what + ": the file came out " + std::to_string(size) + " bytes long, not " +
                        std::to_string(written.cbSize.QuadPart) + " (is the disk full?)");
    }
    ThrowIfInterrupted();
    if (!MoveFileExW(temporaryPath.c_str(), Utf8ToWide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw HostError(what + ": " + SystemMessage(GetLastError()));
    }
    committed = true;
}
