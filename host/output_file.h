// An output file written in full beside its place and moved there only when complete, so that a
// failed write leaves any file already there as it was.
#pragma once

#include <string>

#include "host/checked_stream.h"
#include "host/wic.h"

class OutputFile {
   public:
    // Creates the temporary file beside PATH. Throws HostError ("cannot open "PATH": ...").
    explicit OutputFile(const std::string& path);
    // Removes the temporary file unless Commit moved it into place.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    [[nodiscard]] IStream& Stream() noexcept { return *checked.Get(); }

    // Throws HostError ("cannot write "PATH": the disk is full") when a write to the stream
    // failed or fell short, whether or not the encoder noticed.
    void ThrowIfWriteFailed() const;

    // Flushes and closes the temporary file, checks that it holds every byte written, and moves
    // it over PATH. Throws HostError, leaving PATH as it was.
    void Commit();

   private:
    std::string path;
    std::wstring temporaryPath;
    ComPtr<IWICStream> stream;
    ComPtr<CheckedStream> checked;
    bool committed = false;
};
