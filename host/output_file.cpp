// An output file written in full beside its place and moved there only when complete, so that a
// failed write leaves any file already there as it was.
#include "host/output_file.h"

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
}

OutputFile::~OutputFile() {
    if (committed) return;
    stream.Reset();  // closes the file
    DeleteFileW(temporaryPath.c_str());
}

void OutputFile::Commit() {
    HRESULT flushed = stream->Commit(STGC_DEFAULT);
    if (flushed == E_NOTIMPL) flushed = S_OK;  // a stream without a cache of its own
    stream.Reset();
    CheckResult(flushed, "cannot write " + Quoted(path));
    if (!MoveFileExW(temporaryPath.c_str(), Utf8ToWide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw HostError("cannot write " + Quoted(path) + ": " + SystemMessage(GetLastError()));
    }
    committed = true;
}
