// libtiff over a file in memory.
#include "imageio/tiff_memory.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace imageio {

TiffFile::TiffFile(ByteView file) : in(file) { Open("rm"); }

TiffFile::TiffFile(bool bigEndian) : writing(true) { Open(bigEndian ? "wb" : "wl"); }

TiffFile::~TiffFile() {
    if (tiff != nullptr) TIFFClose(tiff);
}

void TiffFile::Open(const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return;
    TIFFOpenOptionsSetErrorHandlerExtR(options, Report, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Ignore, this);
    tiff = TIFFClientOpenExt("image", mode, this, Read, Write, Seek, Close, Size, nullptr, nullptr,
                             options);
    TIFFOpenOptionsFree(options);
}

std::vector<std::uint8_t> TiffFile::Finish() {
    TIFF* open = tiff;
    tiff = nullptr;
    const bool flushed = TIFFFlush(open) != 0;
    TIFFClose(open);
    if (!flushed || !error.empty()) throw ImageError("the TIFF encoder failed: " + error);
    return std::move(out);
}

tmsize_t TiffFile::Read(thandle_t handle, void* data, tmsize_t size) {
    auto& file = *static_cast<TiffFile*>(handle);
    const std::uint8_t* bytes = file.writing ? file.out.data() : file.in.data;
    const std::uint64_t end = file.writing ? file.out.size() : file.in.size;
    if (size < 0 || file.at >= end) return 0;
    // Within END, which is a size in memory.
    const auto count = static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(size), end - file.at));
    std::memcpy(data, bytes + file.at, count);
    file.at += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t TiffFile::Write(thandle_t handle, void* data, tmsize_t size) {
    auto& file = *static_cast<TiffFile*>(handle);
    if (!file.writing || size < 0) return 0;
    const auto count = static_cast<std::uint64_t>(size);
    // A 32-bit build's memory ends before libtiff's offsets do.
    if (file.at + count > file.out.max_size()) return 0;
    if (file.out.size() < file.at + count) {
        file.out.resize(static_cast<std::size_t>(file.at + count));
    }
    std::memcpy(file.out.data() + file.at, data, static_cast<std::size_t>(count));
    file.at += count;
    return size;
}

toff_t TiffFile::Seek(thandle_t handle, toff_t offset, int whence) {
    auto& file = *static_cast<TiffFile*>(handle);
    const std::uint64_t end = file.writing ? file.out.size() : file.in.size;
    const std::uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file.at : end;
    file.at = base + offset;  // offsets are unsigned; a seek back wraps round, as libtiff means
    return file.at;
}

int TiffFile::Close(thandle_t) { return 0; }

toff_t TiffFile::Size(thandle_t handle) {
    const auto& file = *static_cast<TiffFile*>(handle);
    return file.writing ? file.out.size() : file.in.size;
}

int TiffFile::Report(TIFF*, void* self, const char*, const char* format, va_list arguments) {
    auto& file = *static_cast<TiffFile*>(self);
    if (file.error.empty()) {
        char text[256] = {};
        std::vsnprintf(text, sizeof text, format, arguments);
        file.error = text[0] != '\0' ? text : "error";
    }
    return 1;  // handled: nothing printed
}

int TiffFile::Ignore(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace imageio
