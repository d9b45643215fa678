// PNG chunks read here rather than through libpng: an EXIF block kept as hexadecimal text, and
// the ICC profile of an iCCP chunk that libpng refuses, to say why.
#include "imageio/png_chunks.h"

#include <zlib.h>

#include <cctype>
#include <cstring>

#include "imageio/codecs.h"

namespace imageio {

std::optional<std::vector<std::uint8_t>> RawProfileBytes(const std::string& text) {
    const std::size_t nameEnd = text.find('\n', text.find_first_not_of('\n'));
    const std::size_t lengthAt = text.find_first_not_of(" \t", nameEnd + 1);
    if (nameEnd == std::string::npos || lengthAt == std::string::npos) return std::nullopt;
    std::size_t length = 0;
    std::size_t at = lengthAt;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0; ++at) {
        length = length * 10 + static_cast<std::size_t>(text[at] - '0');
        if (length > text.size() / 2) return std::nullopt;  // more than its digits could hold
    }
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (; at < text.size() && bytes.size() < length; ++at) {
        const char c = text[at];
        if (c == '\n' || c == '\r' || c == ' ' || c == '\t') continue;
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
        const int digit = std::isdigit(static_cast<unsigned char>(c)) != 0
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (bytes.size() != length || length == 0) return std::nullopt;
    return bytes;
}

namespace {

constexpr std::size_t kMostProfileBytes = std::size_t{1} << 26;  // 64 MiB, far past any real one

// A zlib stream inflated, at most kMostProfileBytes of it; nothing when it does not inflate.
std::optional<std::vector<std::uint8_t>> Inflate(const std::uint8_t* data, std::size_t size) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    stream.next_in = const_cast<Bytef*>(data);  // zlib only reads its input
    stream.avail_in = static_cast<uInt>(size);
    std::vector<std::uint8_t> out;
    int status = Z_OK;
    while (status == Z_OK && out.size() < kMostProfileBytes) {
        const std::size_t at = out.size();
        out.resize(at + 65536);
        stream.next_out = out.data() + at;
        stream.avail_out = 65536;
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(at + 65536 - stream.avail_out);
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::vector<PngChunk>> PngChunks(ByteView file) {
    constexpr std::size_t kSignatureBytes = 8;
    constexpr std::size_t kChunkFrameBytes = 12;  // length, type, CRC
    std::vector<PngChunk> chunks;
    for (std::size_t at = kSignatureBytes; at + kChunkFrameBytes <= file.size;) {
        const std::uint8_t* chunk = file.data + at;
        const std::size_t length = BigEndian32(chunk);
        if (length > file.size - at - kChunkFrameBytes) return std::nullopt;
        chunks.push_back({chunk + 4, {chunk + 8, length}});
        if (std::memcmp(chunk + 4, "IEND", 4) == 0) break;
        at += kChunkFrameBytes + length;
    }
    return chunks;
}

std::optional<std::vector<std::uint8_t>> IccpChunkProfile(ByteView file) {
    for (const PngChunk& chunk : PngChunks(file).value_or(std::vector<PngChunk>())) {
        if (std::memcmp(chunk.type, "iCCP", 4) != 0) continue;
        // The profile's name, its zero, the compression method, then the zlib stream.
        const std::uint8_t* data = chunk.data.data;
        const std::size_t length = chunk.data.size;
        const auto* nameEnd = static_cast<const std::uint8_t*>(std::memchr(data, 0, length));
        if (nameEnd == nullptr || nameEnd + 2 > data + length) return std::vector<std::uint8_t>();
        return Inflate(nameEnd + 2, static_cast<std::size_t>(data + length - nameEnd - 2))
            .value_or(std::vector<std::uint8_t>());
    }
    return std::nullopt;
}

}  // namespace imageio
