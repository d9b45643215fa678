// The first directory of a TIFF file as kvhost reads it for itself: the values of the tags it
// needs, read straight from the file in its byte order, every offset checked against its size.
#include "host/tiff_directory.h"

#include <algorithm>
#include <set>

std::vector<std::uint8_t> ReadStreamAt(IStream& stream, std::uint64_t offset, std::uint32_t count) {
    std::vector<std::uint8_t> bytes(count);
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    ULONG read = 0;
    if (count == 0 || FAILED(stream.Seek(at, STREAM_SEEK_SET, nullptr)) ||
        FAILED(stream.Read(bytes.data(), count, &read))) {
        read = 0;
    }
    bytes.resize(read);
    return bytes;
}

std::uint32_t TiffNumber(const std::vector<std::uint8_t>& bytes, std::size_t at, int size,
                         bool bigEndian) noexcept {
    if (at + static_cast<std::size_t>(size) > bytes.size()) return 0;
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        value = value << 8 | bytes[at + static_cast<std::size_t>(bigEndian ? i : size - 1 - i)];
    }
    return value;
}

std::optional<TiffHeader> ReadTiffHeader(IStream& stream) {
    const std::vector<std::uint8_t> header = ReadStreamAt(stream, 0, 8);
    if (header.size() < 8 || header[0] != header[1] || (header[0] != 'I' && header[0] != 'M')) {
        return std::nullopt;
    }
    const bool bigEndian = header[0] == 'M';
    if (TiffNumber(header, 2, 2, bigEndian) != 42) return std::nullopt;
    return TiffHeader{bigEndian, TiffNumber(header, 4, 4, bigEndian)};
}

std::uint32_t TiffPageCount(IStream& stream) {
    const std::optional<TiffHeader> header = ReadTiffHeader(stream);
    if (!header) return 1;
    constexpr std::uint32_t kMostPages = 65536;
    std::set<std::uint64_t> seen;  // a link back to a directory already counted ends the chain
    std::uint32_t pages = 0;
    for (std::uint64_t at = header->firstDirectory;
         at != 0 && pages < kMostPages && seen.insert(at).second; ++pages) {
        const std::vector<std::uint8_t> count = ReadStreamAt(stream, at, 2);
        if (count.size() < 2) break;
        const std::vector<std::uint8_t> link =
            ReadStreamAt(stream, at + 2 + 12ull * TiffNumber(count, 0, 2, header->bigEndian), 4);
        at = link.size() == 4 ? TiffNumber(link, 0, 4, header->bigEndian) : 0;
    }
    return std::max<std::uint32_t>(pages, 1);
}

TiffDirectory::TiffDirectory(IStream& file) : stream(file) {
    const std::optional<TiffHeader> header = ReadTiffHeader(stream);
    if (!header) return;
    bigEndian = header->bigEndian;
    const std::uint32_t at = header->firstDirectory;
    const std::vector<std::uint8_t> countBytes = ReadStreamAt(stream, at, 2);
    if (countBytes.size() < 2) return;
    const std::uint32_t count = Get(countBytes, 0, 2);
    const std::vector<std::uint8_t> table = ReadStreamAt(stream, at + 2ull, count * 12);
    if (table.size() < count * 12) return;
    for (std::size_t i = 0; i < table.size(); i += 12) {
        const auto tag = static_cast<std::uint16_t>(Get(table, i, 2));
        entries[tag] = {static_cast<std::uint16_t>(Get(table, i + 2, 2)), Get(table, i + 4, 4),
                        Get(table, i + 8, 4), at + 2ull + i + 8};
    }
    valid = true;
}

std::uint32_t TiffDirectory::Get(const std::vector<std::uint8_t>& bytes, std::size_t at,
                                 int size) const noexcept {
    return TiffNumber(bytes, at, size, bigEndian);
}

std::optional<std::uint32_t> TiffDirectory::Number(std::uint16_t tag) const {
    const auto found = entries.find(tag);
    if (found == entries.end() || found->second.count == 0) return std::nullopt;
    const Entry& entry = found->second;
    const int size = entry.type == 3 ? 2 : entry.type == 4 ? 4 : 0;
    if (size == 0) return std::nullopt;
    // Values that fill more than the field lie elsewhere; the first is all that is wanted.
    const std::uint64_t at =
        entry.count * static_cast<std::uint32_t>(size) <= 4 ? entry.fieldAt : entry.value;
    const std::vector<std::uint8_t> bytes =
        ReadStreamAt(stream, at, static_cast<std::uint32_t>(size));
    if (bytes.size() < static_cast<std::size_t>(size)) return std::nullopt;
    return Get(bytes, 0, size);
}

std::vector<std::uint8_t> TiffDirectory::Bytes(std::uint16_t tag, std::uint32_t maxBytes) const {
    const auto found = entries.find(tag);
    if (found == entries.end()) return {};
    const Entry& entry = found->second;
    if ((entry.type != 1 && entry.type != 7) || entry.count == 0 || entry.count > maxBytes) {
        return {};
    }
    const std::uint64_t at = entry.count <= 4 ? entry.fieldAt : entry.value;
    std::vector<std::uint8_t> bytes = ReadStreamAt(stream, at, entry.count);
    if (bytes.size() < entry.count) return {};
    return bytes;
}
