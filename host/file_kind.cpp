// Why an image file could not be read, in plain words, from what its first bytes say it is: a
// file too short to be an image, a known format that is damaged, or a TIFF of a kind the imaging
// component does not read (its compression, bit depth, sample format or planes).
#include "host/file_kind.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "host/tiff_directory.h"

namespace {

constexpr std::uint64_t kShortestImage = 26;  // a PNG, BMP or TIFF header needs this much

// The name of a compression the component's TIFF decoder may lack.
const char* CompressionName(std::uint32_t compression) {
    switch (compression) {
        case 6:
        case 7:
            return "JPEG";
        case 34712:
            return "JPEG 2000";
        case 34925:
            return "LZMA";
        case 50000:
            return "ZSTD";
        case 50001:
            return "WebP";
        default:
            return nullptr;
    }
}

// What the first directory says of the compression, bits per sample, sample format and
// planar configuration.
std::string TiffReason(IStream& stream) {
    const TiffDirectory directory(stream);
    if (!directory.Valid()) return "the TIFF file is damaged or cut short";
    if (const char* name = CompressionName(directory.Number(259).value_or(1))) {
        return std::string("a TIFF compressed with ") + name + " is not supported";
    }
    if (directory.Number(339).value_or(1) == 3) {
        return "a TIFF of floating-point samples is not supported";
    }
    const std::uint32_t bits = directory.Number(258).value_or(1);
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) {
        return "a " + std::to_string(bits) + "-bit TIFF is not supported";
    }
    if (directory.Number(284).value_or(1) == 2) {
        return "a TIFF whose colour planes are stored apart is not supported";
    }
    return "the TIFF file is damaged or cut short, or of a kind that is not supported";
}

}  // namespace

std::optional<std::string> UnreadableReason(IStream& stream, std::uint64_t fileBytes) {
    if (fileBytes < kShortestImage) {
        return "the file is too short to be an image (" + std::to_string(fileBytes) + " bytes)";
    }
    const std::vector<std::uint8_t> start = ReadStreamAt(stream, 0, 8);
    const auto startsWith = [&start](std::initializer_list<std::uint8_t> bytes) {
        return start.size() >= bytes.size() &&
               std::equal(bytes.begin(), bytes.end(), start.begin());
    };
    if (startsWith({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) {
        return "the PNG file is damaged or cut short";
    }
    if (startsWith({'B', 'M'})) return "the BMP file is damaged or cut short";
    if (startsWith({'I', 'I', 42, 0}) || startsWith({'M', 'M', 0, 42})) return TiffReason(stream);
    return std::nullopt;
}
