// An output file written in full beside its place and moved there only when complete, so that a
// failed write leaves any file already there as it was.
#include "host/output_file.h"

#include <cstdint>
#include <string>

#include "host/host_error.h"
#include "host/text_encoding.h"

namespace {

// "dir\name.png" -> "dir\name.png.kvhost-PID.tmp": the same directory, so the move is a rename,
// and a name no other running kvhost uses.
std::wstring TemporaryPathFor(const std::string& path) {
    return Utf8ToWide(path) + L".kvhost-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
}

}  // namespace

OutputFile::OutputFile(const std::string& outputPath)
    : path(outputPath), temporaryPath(TemporaryPathFor(outputPath)) {
    CheckResult(ImagingFactory().CreateStream(&stream), "cannot open " + Quoted(path));
    CheckResult(stream->InitializeFromFilename(temporaryPath.c_str(), GENERIC_WRITE),
                "cannot open " + Quoted(path));
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
    if (!MoveFileExW(temporaryPath.c_str(), Utf8ToWide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw HostError(what + ": " + SystemMessage(GetLastError()));
    }
    committed = true;
}
