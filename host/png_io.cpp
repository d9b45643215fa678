// PNG files of the host: 8-bit images read into Pixel32 words or grey bytes, written back as RGBA.
#include "host/png_io.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "host/host_error.h"
#include "host/text_encoding.h"

// The host reads files itself (wide-character paths), so the image library only decodes memory.
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

struct StbFree {
    void operator()(unsigned char* data) const noexcept { stbi_image_free(data); }
};
using DecodedPixels = std::unique_ptr<unsigned char, StbFree>;

FilePointer OpenFile(const std::string& path, const wchar_t* mode) {
    FilePointer file(_wfopen(Utf8ToWide(path).c_str(), mode));
    if (!file) throw HostError("cannot open " + Quoted(path) + ": " + std::strerror(errno));
    return file;
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    const FilePointer file = OpenFile(path, L"rb");
    std::vector<unsigned char> bytes;
    unsigned char block[65536];
    std::size_t count = 0;
    while ((count = std::fread(block, 1, sizeof block, file.get())) > 0) {
        bytes.insert(bytes.end(), block, block + count);
        if (bytes.size() > INT_MAX) throw HostError(Quoted(path) + " is too large");
    }
    if (std::ferror(file.get())) throw HostError("cannot read " + Quoted(path));
    return bytes;
}

// Decodes an 8-bit PNG file with the given number of channels per pixel.
DecodedPixels DecodePng(const std::string& path, int channels, int& width, int& height) {
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    if (bytes.size() < sizeof kPngSignature ||
        std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) != 0) {
        throw HostError(Quoted(path) + " is not a PNG file");
    }
    const int length = static_cast<int>(bytes.size());
    if (stbi_is_16_bit_from_memory(bytes.data(), length)) {
        throw HostError(Quoted(path) + " has 16 bits per channel; only 8-bit PNG is supported");
    }
    int fileChannels = 0;
    DecodedPixels data(
        stbi_load_from_memory(bytes.data(), length, &width, &height, &fileChannels, channels));
    if (!data) throw HostError("cannot decode " + Quoted(path) + ": " + stbi_failure_reason());
    return data;
}

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

RgbaImage ReadRgbaPng(const std::string& path) {
    int width = 0;
    int height = 0;
    const DecodedPixels data = DecodePng(path, 4, width, height);
    RgbaImage image{width, height, {}};
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    image.pixels.resize(count);
    const unsigned char* rgba = data.get();
    for (std::size_t i = 0; i < count; ++i, rgba += 4) {
        image.pixels[i] = PackPixel(rgba[0], rgba[1], rgba[2], rgba[3]);
    }
    return image;
}

GreyImage ReadGreyPng(const std::string& path) {
    int width = 0;
    int height = 0;
    const DecodedPixels data = DecodePng(path, 1, width, height);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return GreyImage{width, height, std::vector<std::uint8_t>(data.get(), data.get() + count)};
}

void WriteRgbaPng(const std::string& path, const RgbaImage& image) {
    const std::vector<unsigned char> rgba = RgbaBytes(image);
    std::vector<unsigned char> png;
    if (!stbi_write_png_to_func(WriteChunk, &png, image.width, image.height, 4, rgba.data(),
                                image.width * 4)) {
        throw HostError("cannot encode " + Quoted(path));
    }
    FilePointer file = OpenFile(path, L"wb");
    const bool written = std::fwrite(png.data(), 1, png.size(), file.get()) == png.size();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        _wremove(Utf8ToWide(path).c_str());
        throw HostError("cannot write " + Quoted(path));
    }
}
