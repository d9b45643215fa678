// Fuzz target: an image file of any format, damaged in any way, read by every decoder of the
// table, not only the one its first bytes name. Each reads it or says why not, never outside it;
// an image read is written by every encoder with its metadata and reads back at its size.
#include <algorithm>
#include <cstdint>
#include <new>

#include "fuzz/fuzz_input.h"
#include "imageio/image_codec.h"

namespace {

// Pictures of at most a quarter megapixel: larger ones are refused as a host refuses what it
// cannot hold. Only the smallest are written again, which keeps the runs fast.
struct TooLarge {};
const imageio::SizeCheck kSmall = [](std::uint64_t width, std::uint64_t height) {
    if (width * height > (1u << 18) || width == 0 || height == 0) throw TooLarge{};
};
constexpr std::size_t kMostWrittenPixels = 4096;

void WriteEveryFormat(const RgbaImage& image) {
    for (const imageio::Codec& codec : imageio::Codecs()) {
        if (static_cast<std::uint32_t>(std::max(image.width, image.height)) > codec.maxSide) {
            continue;
        }
        const imageio::Encoded encoded = imageio::EncodeFor(codec.format, image, {});
        const imageio::Decoded back =
            imageio::Decode({encoded.bytes.data(), encoded.bytes.size()}, kSmall);
        FuzzCheck(back.image.width == image.width && back.image.height == image.height,
                  "written and read back at its size");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const imageio::ByteView file{data, size};
    for (const imageio::Codec& codec : imageio::Codecs()) {
        try {
            const imageio::Decoded decoded = codec.read(file, kSmall);
            FuzzCheck(
                decoded.image.pixels.size() == static_cast<std::size_t>(decoded.image.width) *
                                                   static_cast<std::size_t>(decoded.image.height),
                "as many pixels as its size");
            if (codec.sniff(file) && decoded.image.pixels.size() <= kMostWrittenPixels) {
                WriteEveryFormat(decoded.image);
            }
        } catch (const imageio::ImageError&) {
        } catch (const TooLarge&) {
        } catch (const std::bad_alloc&) {
        }
    }
    return 0;
}
