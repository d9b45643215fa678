// Why an image file could not be read, in plain words, from what its first bytes say it is: a
// file too short to be an image, a known format that is damaged, or a TIFF of a kind the imaging
// component does not read (its compression, bit depth, sample format or planes).
#include "host/file_kind.h"

#include <array>
#include <cstdint>
#include <vector>

namespace {

constexpr std::uint64_t kShortestImage = 26;  // a PNG, BMP or TIFF header needs this much

// Bytes at OFFSET of the stream; fewer (or none) past its end.
std::vector<std::uint8_t> ReadAt(IStream& stream, std::uint64_t offset, ULONG count) {
    std::vector<std::uint8_t> bytes(count);
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    ULONG read = 0;
    if (FAILED(stream.Seek(at, STREAM_SEEK_SET, nullptr)) ||
        FAILED(stream.Read(bytes.data(), count, &read))) {
        read = 0;
    }
    bytes.resize(read);
    return bytes;
}

// Numbers of a classic TIFF in its byte order.
struct TiffReader {
    bool bigEndian;
    [[nodiscard]] std::uint32_t Get(const std::vector<std::uint8_t>& bytes, std::size_t at,
                                    int size) const {
        std::uint32_t value = 0;
        for (int i = 0; i < size; ++i) {
            const std::uint8_t byte =
                bytes[at + static_cast<std::size_t>(bigEndian ? i : size - 1 - i)];
            value = value << 8 | byte;
        }
        return value;
    }
};

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

// The first directory's compression, bits per sample, sample format and planar configuration
// (the first value of each), each only when the entry holds its value in place.
std::string TiffReason(IStream& stream, bool bigEndian) {
    const TiffReader tiff{bigEndian};
    const std::vector<std::uint8_t> header = ReadAt(stream, 4, 4);
    if (header.size() < 4) return "the TIFF file is damaged or cut short";
    const std::uint32_t directory = tiff.Get(header, 0, 4);
    const std::vector<std::uint8_t> countBytes = ReadAt(stream, directory, 2);
    if (countBytes.size() < 2) return "the TIFF file is damaged or cut short";
    const std::uint32_t count = tiff.Get(countBytes, 0, 2);
    const std::vector<std::uint8_t> entries = ReadAt(stream, directory + 2, count * 12);
    std::uint32_t compression = 1, bits = 8, format = 1, planes = 1;
    for (std::size_t at = 0; at + 12 <= entries.size(); at += 12) {
        const std::uint32_t tag = tiff.Get(entries, at, 2);
        const std::uint32_t type = tiff.Get(entries, at + 2, 2);
        const std::uint32_t value =
            type == 3 ? tiff.Get(entries, at + 8, 2) : tiff.Get(entries, at + 8, 4);
        const std::uint32_t values = tiff.Get(entries, at + 4, 4);
        const bool inPlace = type == 3 ? values <= 2 : values <= 1;
        if (!inPlace && tag != 258) continue;
        if (tag == 259) compression = value;
        if (tag == 258 && inPlace) bits = value;
        if (tag == 258 && !inPlace) {  // one per sample, elsewhere in the file
            const std::vector<std::uint8_t> first = ReadAt(stream, tiff.Get(entries, at + 8, 4), 2);
            if (first.size() == 2) bits = tiff.Get(first, 0, 2);
        }
        if (tag == 339) format = value;
        if (tag == 284) planes = value;
    }
    if (const char* name = CompressionName(compression)) {
        return std::string("a TIFF compressed with ") + name + " is not supported";
    }
    if (format == 3) return "a TIFF of floating-point samples is not supported";
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) {
        return "a " + std::to_string(bits) + "-bit TIFF is not supported";
    }
    if (planes == 2) return "a TIFF whose colour planes are stored apart is not supported";
    return "the TIFF file is damaged or cut short, or of a kind that is not supported";
}

}  // namespace

std::optional<std::string> UnreadableReason(IStream& stream, std::uint64_t fileBytes) {
    if (fileBytes < kShortestImage) {
        return "the file is too short to be an image (" + std::to_string(fileBytes) + " bytes)";
    }
    const std::vector<std::uint8_t> start = ReadAt(stream, 0, 8);
    const auto startsWith = [&start](std::initializer_list<std::uint8_t> bytes) {
        return start.size() >= bytes.size() &&
               std::equal(bytes.begin(), bytes.end(), start.begin());
    };
    if (startsWith({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) {
        return "the PNG file is damaged or cut short";
    }
    if (startsWith({'B', 'M'})) return "the BMP file is damaged or cut short";
    if (startsWith({'I', 'I', 42, 0})) return TiffReason(stream, /*bigEndian=*/false);
    if (startsWith({'M', 'M', 0, 42})) return TiffReason(stream, /*bigEndian=*/true);
    return std::nullopt;
}
