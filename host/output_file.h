// An output file written in full beside its place and moved there only when complete, so that a
// failed write leaves any file already there as it was.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class OutputFile {
   public:
    // Creates the temporary file beside PATH. Throws HostError ("cannot open "PATH": ...").
    explicit OutputFile(const std::string& path);
    // Removes the temporary file unless Commit moved it into place.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes every byte, or throws HostError ("cannot write "PATH": the disk is full").
    void Write(const std::vector<std::uint8_t>& bytes);

    // Flushes and closes the temporary file and moves it over PATH. Throws HostError, leaving
    // PATH as it was.
    void Commit();

   private:
    [[noreturn]] void ThrowWriteFailed(DWORD error) const;

    std::string path;
    std::wstring temporaryPath;
    HANDLE file = INVALID_HANDLE_VALUE;
    bool committed = false;
};
