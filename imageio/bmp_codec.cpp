// BMP through stb: read at 4, 8, 16, 24 and 32 bits per pixel (1-bit and run-length coded files
// first unpacked into an 8-bit one, bmp_unpack.h), written as 24-bit BGR without alpha.
#include <cstdlib>
#include <cstring>
#include <new>

#include "imageio/bmp_unpack.h"
#include "imageio/codecs.h"

// The library's single-file implementation, BMP only, without its warnings.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 0x7FFFFFFF
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#define STBIW_ONLY_BMP
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace imageio {
namespace {

constexpr char kDamaged[] = "the BMP file is damaged or cut short";

struct StbPixels {
    stbi_uc* data = nullptr;
    ~StbPixels() { stbi_image_free(data); }
};

int SizeOf(std::size_t bytes) {
    if (bytes > 0x7FFFFFFF) throw ImageError(kDamaged);
    return static_cast<int>(bytes);
}

std::uint32_t Little(const std::uint8_t* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
    return value;
}

// stb fills in the rows a cut-short file lacks: an uncompressed one must hold every row.
void CheckComplete(ByteView file, std::uint32_t width, std::uint32_t height) {
    if (file.size < 34 || Little(file.data + 14, 4) < 40) return;  // no BITMAPINFOHEADER
    const std::uint32_t compression = Little(file.data + 30, 4);
    if (compression != 0 && compression != 3) return;  // RLE: stb stops where the data ends
    const std::uint64_t rowBytes = (std::uint64_t{width} * Little(file.data + 28, 2) + 31) / 32 * 4;
    if (Little(file.data + 10, 4) + rowBytes * height > file.size) throw ImageError(kDamaged);
}

}  // namespace

bool IsBmp(ByteView start) {
    return start.size >= 2 && start.data[0] == 'B' && start.data[1] == 'M';
}

Decoded ReadBmp(ByteView original, const SizeCheck& check) {
    const std::optional<std::vector<std::uint8_t>> unpacked = UnpackBmp(original, check);
    const ByteView file = unpacked ? ByteView{unpacked->data(), unpacked->size()} : original;
    int width = 0;
    int height = 0;
    int channels = 0;
    const int size = SizeOf(file.size);
    if (stbi_info_from_memory(file.data, size, &width, &height, &channels) == 0) {
        throw ImageError(kDamaged);
    }
    // A negative height is a top-down file; a negative width, as the header's 32 bits say it, is
    // for the caller's message to name.
    height = std::abs(height);
    check(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    if (!unpacked) {
        CheckComplete(file, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    }
    StbPixels rgba;
    rgba.data = stbi_load_from_memory(file.data, size, &width, &height, &channels, 4);
    if (rgba.data == nullptr) {
        if (std::strcmp(stbi_failure_reason(), "outofmem") == 0) throw std::bad_alloc();
        throw ImageError(kDamaged);
    }
    Decoded decoded;
    RgbaImage& image = decoded.image;
    image.width = width;
    image.height = height;
    image.pixels = NewPixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const stbi_uc* at = rgba.data + 4 * i;
        image.pixels[i] = PackPixel(at[0], at[1], at[2], at[3]);
    }
    return decoded;
}

Encoded WriteBmp(const RgbaImage& image, const PhotoMetadata&, const EncodeOptions&) {
    const std::size_t count = image.pixels.size();
    std::vector<std::uint8_t> rgb(count * 3);
    ToRgbBytes(image.pixels.data(), count, /*withAlpha=*/false, rgb.data());
    Encoded encoded;
    const auto append = [](void* context, void* data, int size) {
        auto& bytes = *static_cast<std::vector<std::uint8_t>*>(context);
        const auto* first = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), first, first + size);
    };
    if (stbi_write_bmp_to_func(append, &encoded.bytes, image.width, image.height, 3, rgb.data()) ==
        0) {
        throw ImageError("the BMP encoder failed");
    }
    return encoded;
}

}  // namespace imageio
