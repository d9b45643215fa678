// libtiff over a file in memory: read from the caller's bytes or written into a growing buffer,
// the library's errors and warnings kept per file rather than printed.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

#include "imageio/image_codec.h"

namespace imageio {

class TiffFile {
   public:
    // Opens FILE for reading; Get() is null when libtiff refuses it (Error() says why).
    explicit TiffFile(ByteView file);
    // Opens an empty file for writing, little-endian unless BIG_ENDIAN, into Finish()'s bytes.
    explicit TiffFile(bool bigEndian);
    ~TiffFile();
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;

    [[nodiscard]] TIFF* Get() const noexcept { return tiff; }
    // The first error libtiff reported; empty when none.
    [[nodiscard]] const std::string& Error() const noexcept { return error; }
    // Flushes and closes a file being written and hands over its bytes. Throws ImageError.
    [[nodiscard]] std::vector<std::uint8_t> Finish();

   private:
    static tmsize_t Read(thandle_t handle, void* data, tmsize_t size);
    static tmsize_t Write(thandle_t handle, void* data, tmsize_t size);
    static toff_t Seek(thandle_t handle, toff_t offset, int whence);
    static int Close(thandle_t handle);
    static toff_t Size(thandle_t handle);
    static int Report(TIFF* tiff, void* self, const char* module, const char* format,
                      va_list arguments);
    static int Ignore(TIFF* tiff, void* self, const char* module, const char* format,
                      va_list arguments);
    void Open(const char* mode);

    ByteView in{nullptr, 0};
    std::vector<std::uint8_t> out;
    bool writing = false;
    std::uint64_t at = 0;
    std::string error;
    TIFF* tiff = nullptr;
};

}  // namespace imageio
