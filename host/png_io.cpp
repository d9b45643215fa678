// PNG files of the test tools: screenshots written as RGBA PNG.
#include "host/png_io.h"

#include <cstdio>
#include <memory>

#include "host/host_error.h"
#include "host/text_encoding.h"

// The tools write files themselves (wide-character paths), so the image library only encodes.
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

void WriteChunk(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<unsigned char>*>(context);
    const auto* first = static_cast<const unsigned char*>(data);
    bytes->insert(bytes->end(), first, first + size);
}

std::vector<unsigned char> RgbaBytes(const RgbaImage& image) {
    std::vector<unsigned char> bytes;
    bytes.reserve(image.pixels.size() * 4);
    for (const Pixel32 pixel : image.pixels) {
        for (const int channel : {2, 1, 0, 3}) {  // red, green, blue, alpha
            bytes.push_back(static_cast<unsigned char>(Channel(pixel, channel)));
        }
    }
    return bytes;
}

}  // namespace

void WriteRgbaPng(const std::string& path, const RgbaImage& image) {
    const std::vector<unsigned char> rgba = RgbaBytes(image);
    std::vector<unsigned char> png;
    if (!stbi_write_png_to_func(WriteChunk, &png, image.width, image.height, 4, rgba.data(),
                                image.width * 4)) {
        throw HostError("cannot encode " + Quoted(path));
    }
    FilePointer file(_wfopen(Utf8ToWide(path).c_str(), L"wb"));
    if (!file) throw HostError("cannot open " + Quoted(path));
    const bool written = std::fwrite(png.data(), 1, png.size(), file.get()) == png.size();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        _wremove(Utf8ToWide(path).c_str());
        throw HostError("cannot write " + Quoted(path));
    }
}
