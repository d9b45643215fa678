// An output file written in full beside its place and moved there only when complete, so that a
// failed write leaves any file already there as it was.
#pragma once

#include <string>

#include "host/wic.h"

class OutputFile {
   public:
    // Creates the temporary file beside PATH. Throws HostError ("cannot open "PATH": ...").
    explicit OutputFile(const std::string& path);
    // Removes the temporary file unless Commit moved it into place.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    [[nodiscard]] IStream& Stream() noexcept { return *stream.Get(); }

    // Closes the temporary file and moves it over PATH. Throws HostError.
    void Commit();

   private:
    std::string path;
    std::wstring temporaryPath;
    ComPtr<IWICStream> stream;
    bool committed = false;
};
