// 1-bit and run-length coded BMP files unpacked into 8-bit ones, every read checked against the
// file's end.
#include "imageio/bmp_unpack.h"

#include <cstring>

namespace imageio {
namespace {

constexpr char kDamaged[] = "the BMP file is damaged or cut short";
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::size_t kInfoAt = 14;  // the info header, after the file header

std::uint32_t Little(ByteView file, std::size_t at, int size) {
    if (at + static_cast<std::size_t>(size) > file.size) throw ImageError(kDamaged);
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | file.data[at + static_cast<std::size_t>(i)];
    return value;
}

void PutLittle(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct Header {
    std::uint32_t width;
    std::uint32_t height;  // rows, whichever way they are stored
    std::uint32_t bits;
    std::uint32_t compression;
    std::size_t paletteAt;  // after the info header
    std::size_t pixelsAt;
};

// Rows of 8-bit indices, bottom row first as the file stores them, each padded to 4 bytes.
class IndexRows {
   public:
    IndexRows(std::uint32_t width, std::uint32_t height)
        : stride((std::size_t{width} + 3) / 4 * 4),
          columns(width),
          rows(height),
          bytes(stride * height) {}
    void Set(std::uint32_t x, std::uint32_t y, std::uint8_t index) {
        if (x < columns && y < rows) bytes[stride * y + x] = index;
    }
    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const noexcept { return bytes; }

   private:
    std::size_t stride;
    std::uint32_t columns;
    std::uint32_t rows;
    std::vector<std::uint8_t> bytes;
};

void UnpackBits(ByteView file, const Header& header, IndexRows& rows) {
    const std::size_t stride = (std::size_t{header.width} + 31) / 32 * 4;
    if (header.pixelsAt + stride * header.height > file.size) throw ImageError(kDamaged);
    for (std::uint32_t y = 0; y < header.height; ++y) {
        const std::uint8_t* row = file.data + header.pixelsAt + stride * y;
        for (std::uint32_t x = 0; x < header.width; ++x) {
            rows.Set(x, y, static_cast<std::uint8_t>(row[x / 8] >> (7 - x % 8) & 1));
        }
    }
}

// Runs of pairs (count, index or two nibbles), escapes after a zero count: 0 the end of a line,
// 1 the end of the picture, 2 a move right and up, others a run of literal indices.
void UnpackRuns(ByteView file, const Header& header, IndexRows& rows) {
    const bool nibbles = header.compression == kRle4;
    std::size_t at = header.pixelsAt;
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    const auto next = [&]() { return static_cast<std::uint8_t>(Little(file, at++, 1)); };
    const auto index = [nibbles](std::uint8_t value, std::uint32_t i) {
        return nibbles ? static_cast<std::uint8_t>(i % 2 == 0 ? value >> 4 : value & 15) : value;
    };
    while (y < header.height) {
        const std::uint8_t count = next();
        const std::uint8_t value = next();
        if (count > 0) {
            for (std::uint32_t i = 0; i < count; ++i) rows.Set(x++, y, index(value, i));
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            x += next();
            y += next();
        } else {
            const std::uint32_t bytes = nibbles ? (value + 1u) / 2 : value;
            const std::size_t start = at;
            for (std::uint32_t i = 0; i < value; ++i) {
                rows.Set(
                    x++, y,
                    index(static_cast<std::uint8_t>(Little(file, start + (nibbles ? i / 2 : i), 1)),
                          i));
            }
            at = start + (bytes + 1) / 2 * 2;  // literal runs end on a 2-byte boundary
        }
    }
}

}  // namespace

std::optional<std::vector<std::uint8_t>> UnpackBmp(ByteView file, const SizeCheck& check) {
    const std::uint32_t infoBytes = Little(file, kInfoAt, 4);
    if (infoBytes < 40) return std::nullopt;
    Header header{};
    header.width = Little(file, kInfoAt + 4, 4);
    const auto height = static_cast<std::int32_t>(Little(file, kInfoAt + 8, 4));
    header.bits = Little(file, kInfoAt + 14, 2);
    header.compression = Little(file, kInfoAt + 16, 4);
    const bool runs = (header.compression == kRle8 && header.bits == 8) ||
                      (header.compression == kRle4 && header.bits == 4);
    if (!runs && !(header.compression == 0 && header.bits == 1)) return std::nullopt;
    // Run-length coded rows are stored bottom-up only.
    if (static_cast<std::int32_t>(header.width) <= 0 || height == 0 || (runs && height < 0)) {
        throw ImageError(kDamaged);
    }
    header.height =
        height < 0 ? 0u - static_cast<std::uint32_t>(height) : static_cast<std::uint32_t>(height);
    check(header.width, header.height);
    header.paletteAt = kInfoAt + infoBytes;
    header.pixelsAt = Little(file, 10, 4);
    if (header.pixelsAt < header.paletteAt || header.pixelsAt > file.size)
        throw ImageError(kDamaged);
    IndexRows rows(header.width, header.height);
    if (runs) {
        UnpackRuns(file, header, rows);
    } else {
        UnpackBits(file, header, rows);
    }
    // The same headers and palette, the pixels now 8-bit and uncompressed.
    std::vector<std::uint8_t> unpacked(file.data, file.data + header.pixelsAt);
    unpacked.insert(unpacked.end(), rows.Bytes().begin(), rows.Bytes().end());
    PutLittle(unpacked, 2,
              static_cast<std::uint32_t>(std::min<std::size_t>(unpacked.size(), 0xFFFFFFFF)));
    unpacked[kInfoAt + 14] = 8;
    unpacked[kInfoAt + 15] = 0;
    PutLittle(unpacked, kInfoAt + 16, 0);
    PutLittle(unpacked, kInfoAt + 20, 0);
    return unpacked;
}

}  // namespace imageio
