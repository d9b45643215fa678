// The metadata of PNG and TIFF files, read from the file itself (the imaging component's readers
// of it differ between implementations): EXIF, ICC profile, XMP and orientation.
#include "host/metadata_read.h"

#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/tiff_directory.h"

namespace {

constexpr std::uint32_t kMostMetadataBytes = 16 << 20;  // no real block comes near
constexpr char kXmpKeyword[] = "XML:com.adobe.xmp";

std::uint32_t BigEndian32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
           bytes[at + 3];
}

// Zlib data inflated, at most kMostMetadataBytes; empty when it is damaged.
std::vector<std::uint8_t> Inflate(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> out;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return out;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    std::uint8_t block[1 << 14];
    int status = Z_OK;
    while (status == Z_OK && out.size() <= kMostMetadataBytes) {
        z.next_out = block;
        z.avail_out = sizeof block;
        status = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), block, block + (sizeof block - z.avail_out));
        if (status == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END) out.clear();
    return out;
}

// The text after a zero-ended field at AT, or nothing.
std::size_t AfterField(const std::vector<std::uint8_t>& data, std::size_t at) {
    const auto* end = static_cast<const std::uint8_t*>(
        std::memchr(data.data() + at, 0, data.size() - std::min(at, data.size())));
    return end == nullptr ? data.size() + 1 : static_cast<std::size_t>(end - data.data()) + 1;
}

void TakePngChunk(const std::string& type, const std::vector<std::uint8_t>& data,
                  PhotoMetadata& found) {
    if (type == "eXIf") {
        found.exif = data;
    } else if (type == "iCCP") {
        const std::size_t method = AfterField(data, 0);  // after the profile's name
        if (method < data.size() && data[method] == 0) {
            found.icc = Inflate(data.data() + method + 1, data.size() - method - 1);
        }
    } else if (type == "iTXt" && data.size() > sizeof kXmpKeyword + 2 &&
               std::memcmp(data.data(), kXmpKeyword, sizeof kXmpKeyword) == 0) {
        const std::size_t flags = sizeof kXmpKeyword;  // compressed?, then its method
        const std::size_t text = AfterField(data, AfterField(data, flags + 2));  // language, key
        if (text > data.size()) return;
        const std::vector<std::uint8_t> xml =
            data[flags] == 0 ? std::vector<std::uint8_t>(data.begin() + text, data.end())
                             : Inflate(data.data() + text, data.size() - text);
        found.xmp.assign(xml.begin(), xml.end());
    }
}

}  // namespace

PhotoMetadata ReadPngMetadata(IStream& stream) {
    PhotoMetadata found;
    std::uint64_t at = 8;
    while (true) {
        const std::vector<std::uint8_t> head = ReadStreamAt(stream, at, 8);
        if (head.size() < 8) break;
        const std::uint32_t length = BigEndian32(head, 0);
        const std::string type(head.begin() + 4, head.end());
        if (type == "IEND") break;
        if ((type == "eXIf" || type == "iCCP" || type == "iTXt") && length <= kMostMetadataBytes) {
            const std::vector<std::uint8_t> data = ReadStreamAt(stream, at + 8, length);
            if (data.size() == length) TakePngChunk(type, data, found);
        }
        at += 12ull + length;
    }
    found.orientation = ExifOrientation(found.exif).value_or(1);
    return found;
}

PhotoMetadata ReadTiffMetadata(IStream& stream) {
    PhotoMetadata found;
    const TiffDirectory directory(stream);
    if (!directory.Valid()) return found;
    const std::uint32_t orientation = directory.Number(274).value_or(1);
    found.orientation = orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation) : 1;
    found.icc = directory.Bytes(34675, kMostMetadataBytes);
    const std::vector<std::uint8_t> xmp = directory.Bytes(700, kMostMetadataBytes);
    found.xmp.assign(xmp.begin(), xmp.end());
    found.exifLeftBehind = directory.Number(34665).has_value();  // a link to an EXIF directory
    return found;
}
