// A photograph's metadata as kvhost carries it from the file it reads to the file it writes: the
// EXIF block (TIFF-structured, as JPEG's APP1 and PNG's eXIf hold it), the ICC profile and the
// XMP packet, and the orientation at which a viewer shows the stored pixels. Portable: no
// windows.h. Only as much of EXIF is parsed as that needs, every offset checked.
#include "imageio/photo_metadata.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kExifIfdTag = 0x8769;
constexpr std::uint16_t kFocalIn35mmTag = 0xA405;
constexpr std::uint16_t kPixelXTag = 0xA002;
constexpr std::uint16_t kPixelYTag = 0xA003;
constexpr std::uint16_t kThumbnailOffsetTag = 0x0201;
constexpr std::uint16_t kThumbnailLengthTag = 0x0202;
constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;
constexpr std::size_t kEntryBytes = 12;
constexpr std::uint16_t kGpsIfdTag = 0x8825;
constexpr std::uint16_t kInteropIfdTag = 0xA005;

// Bytes of one value of a TIFF type; 0 for a type unknown.
std::uint32_t TypeSize(std::uint32_t type) {
    constexpr std::uint8_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < sizeof kSizes ? kSizes[type] : 0;
}

// Tags of a first directory that describe a file's pixels or its thumbnail, or that a TIFF
// writer gives values of its own: not carried over from a photograph's EXIF.
bool DescribesLayout(std::uint32_t tag) {
    return (tag >= 254 && tag <= 262) || (tag >= 273 && tag <= 279) || tag == 284 || tag == 338 ||
           tag == 339 || tag == 513 || tag == 514 || tag == 700 || tag == 34675;
}

// The block's numbers in its byte order; every read checked against its size.
class ExifBlock {
   public:
    explicit ExifBlock(std::vector<std::uint8_t>& data) noexcept : bytes(data) {
        if (bytes.size() >= 8 && bytes[0] == 'I' && bytes[1] == 'I') bigEndian = false;
        valid = bytes.size() >= 8 && bytes[0] == bytes[1] && (bytes[0] == 'I' || bytes[0] == 'M') &&
                Get(2, 2) == 42;
    }

    [[nodiscard]] bool Valid() const noexcept { return valid; }
    [[nodiscard]] bool Fits(std::size_t at, std::size_t count) const noexcept {
        return at <= bytes.size() && count <= bytes.size() - at;
    }
    [[nodiscard]] std::uint32_t Get(std::size_t at, int size) const noexcept {
        if (!Fits(at, static_cast<std::size_t>(size))) return 0;
        std::uint32_t value = 0;
        for (int i = 0; i < size; ++i) {
            value = value << 8 | bytes[at + static_cast<std::size_t>(bigEndian ? i : size - 1 - i)];
        }
        return value;
    }
    void Put(std::size_t at, int size, std::uint32_t value) noexcept {
        if (!Fits(at, static_cast<std::size_t>(size))) return;
        for (int i = 0; i < size; ++i) {
            const int shift = 8 * (bigEndian ? size - 1 - i : i);
            bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> shift);
        }
    }
    // VALUE as a 4-byte value field in the block's order.
    void Field(std::uint32_t value, std::uint8_t field[4]) const noexcept {
        for (int i = 0; i < 4; ++i) {
            field[i] = static_cast<std::uint8_t>(value >> (8 * (bigEndian ? 3 - i : i)));
        }
    }
    // A directory at AT: where its entries start and how many, or nothing when it does not fit
    // (its next-directory link included).
    [[nodiscard]] std::optional<std::size_t> Entries(std::size_t at) const noexcept {
        if (at < 8 || !Fits(at, 2)) return std::nullopt;
        const std::size_t count = Get(at, 2);
        if (!Fits(at + 2, count * kEntryBytes + 4)) return std::nullopt;
        return count;
    }
    // The entry of TAG in the directory at AT, or nothing.
    [[nodiscard]] std::optional<std::size_t> Find(std::size_t at, std::uint16_t tag) const {
        const std::optional<std::size_t> count = Entries(at);
        for (std::size_t i = 0; count && i < *count; ++i) {
            const std::size_t entry = at + 2 + i * kEntryBytes;
            if (Get(entry, 2) == tag) return entry;
        }
        return std::nullopt;
    }
    // A short or long value held in an entry of one value.
    [[nodiscard]] std::optional<std::uint32_t> Value(std::size_t entry) const noexcept {
        const std::uint32_t type = Get(entry + 2, 2);
        if (Get(entry + 4, 4) != 1 || (type != kShort && type != kLong)) return std::nullopt;
        return Get(entry + 8, type == kShort ? 2 : 4);
    }
    void SetValue(std::size_t entry, std::uint32_t value) noexcept {
        const bool fitsShort = value <= 0xFFFF && Get(entry + 2, 2) == kShort;
        Put(entry + 2, 2, fitsShort ? kShort : kLong);
        Put(entry + 4, 4, 1);
        Put(entry + 8, 4, 0);
        Put(entry + 8, fitsShort ? 2 : 4, value);
    }
    [[nodiscard]] std::size_t FirstDirectory() const noexcept { return Get(4, 4); }
    // Where the link to the directory after the one at AT is.
    [[nodiscard]] std::size_t NextLink(std::size_t at) const noexcept {
        return at + 2 + Get(at, 2) * kEntryBytes;
    }

   private:
    std::vector<std::uint8_t>& bytes;
    bool bigEndian = true;
    bool valid = false;
};

}  // namespace

std::optional<int> ExifOrientation(const std::vector<std::uint8_t>& exif) noexcept {
    std::vector<std::uint8_t> copy = exif;
    const ExifBlock block(copy);
    if (!block.Valid() || !block.Entries(block.FirstDirectory())) return std::nullopt;
    const std::optional<std::size_t> entry = block.Find(block.FirstDirectory(), kOrientationTag);
    const std::optional<std::uint32_t> value = entry ? block.Value(*entry) : std::nullopt;
    return value && *value >= 1 && *value <= 8 ? static_cast<int>(*value) : 1;
}

std::optional<int> ExifFocalIn35mm(const std::vector<std::uint8_t>& exif) noexcept {
    std::vector<std::uint8_t> copy = exif;
    const ExifBlock block(copy);
    if (!block.Valid()) return std::nullopt;
    const std::optional<std::size_t> link = block.Find(block.FirstDirectory(), kExifIfdTag);
    const std::optional<std::uint32_t> at = link ? block.Value(*link) : std::nullopt;
    if (!at) return std::nullopt;
    const std::optional<std::size_t> entry = block.Find(*at, kFocalIn35mmTag);
    const std::optional<std::uint32_t> value = entry ? block.Value(*entry) : std::nullopt;
    // 0 says the focal length is unknown.
    if (!value || *value == 0) return std::nullopt;
    return static_cast<int>(*value);
}

namespace {

// Moves the out-of-line values of the directory at DIRECTORY, and the directories it links to,
// by AT; false when anything lies outside the block or the links go round.
bool MoveDirectory(ExifBlock& block, std::size_t directory, std::uint32_t at, int depth) {
    const std::optional<std::size_t> count = block.Entries(directory);
    if (!count || depth > 3) return false;
    for (std::size_t i = 0; i < *count; ++i) {
        const std::size_t entry = directory + 2 + i * kEntryBytes;
        const std::uint32_t tag = block.Get(entry, 2);
        const std::uint64_t bytes =
            std::uint64_t{TypeSize(block.Get(entry + 2, 2))} * block.Get(entry + 4, 4);
        const std::uint32_t value = block.Get(entry + 8, 4);
        const bool link = tag == kExifIfdTag || tag == kGpsIfdTag || tag == kInteropIfdTag;
        if (link && !MoveDirectory(block, value, at, depth + 1)) return false;
        if (link || bytes > 4) {
            if (!block.Fits(value, static_cast<std::size_t>(bytes)) ||
                std::uint64_t{value} + at > UINT32_MAX) {
                return false;
            }
            block.Put(entry + 8, 4, value + at);
        }
    }
    return true;
}

}  // namespace

std::optional<PlacedExif> PlaceExifInTiff(const std::vector<std::uint8_t>& exif, std::uint32_t at) {
    PlacedExif placed{exif.size() >= 2 && exif[0] == 'M', exif, {}};
    ExifBlock block(placed.block);
    const std::size_t first = block.FirstDirectory();
    const std::optional<std::size_t> count = block.Entries(first);
    if (!block.Valid() || !count) return std::nullopt;
    // The first directory itself stays where it is in the block, unread: its entries are copied
    // out, their values and links moved like those of the directories below.
    for (std::size_t i = 0; i < *count; ++i) {
        const std::size_t entry = first + 2 + i * kEntryBytes;
        const std::uint32_t tag = block.Get(entry, 2);
        if (DescribesLayout(tag) || tag == kOrientationTag) continue;
        const std::uint64_t bytes =
            std::uint64_t{TypeSize(block.Get(entry + 2, 2))} * block.Get(entry + 4, 4);
        const std::uint32_t value = block.Get(entry + 8, 4);
        const bool link = tag == kExifIfdTag || tag == kGpsIfdTag;
        if (link && !MoveDirectory(block, value, at, 1)) return std::nullopt;
        TiffEntry copied{static_cast<std::uint16_t>(tag),
                         static_cast<std::uint16_t>(block.Get(entry + 2, 2)),
                         block.Get(entry + 4, 4),
                         {}};
        for (std::size_t b = 0; b < 4; ++b) copied.field[b] = placed.block[entry + 8 + b];
        if (link || bytes > 4) {
            if (!block.Fits(value, static_cast<std::size_t>(bytes)) ||
                std::uint64_t{value} + at > UINT32_MAX) {
                return std::nullopt;
            }
            block.Field(value + at, copied.field);
        }
        placed.firstDirectory.push_back(copied);
    }
    return placed;
}

std::optional<std::vector<std::uint8_t>> ExifForResult(std::vector<std::uint8_t> exif,
                                                       std::uint32_t width, std::uint32_t height) {
    ExifBlock block(exif);
    const std::size_t first = block.FirstDirectory();
    if (!block.Valid() || !block.Entries(first)) return std::nullopt;
    if (const std::optional<std::size_t> entry = block.Find(first, kOrientationTag)) {
        block.SetValue(*entry, 1);
    }
    if (const std::optional<std::size_t> link = block.Find(first, kExifIfdTag)) {
        const std::optional<std::uint32_t> at = block.Value(*link);
        if (!at || !block.Entries(*at)) return std::nullopt;
        for (const auto& [tag, value] :
             {std::pair{kPixelXTag, width}, std::pair{kPixelYTag, height}}) {
            if (const std::optional<std::size_t> entry = block.Find(*at, tag)) {
                block.SetValue(*entry, value);
            }
        }
    }
    // The second directory describes the thumbnail: unlinked, and its image cut off when it ends
    // the block, as it does in the files cameras write.
    const std::size_t link = block.NextLink(first);
    const std::size_t thumbnail = block.Get(link, 4);
    block.Put(link, 4, 0);
    if (thumbnail != 0 && block.Entries(thumbnail)) {
        // A missing or odd entry reads as 0, which cuts nothing.
        const auto number = [&block, thumbnail](std::uint16_t tag) -> std::size_t {
            const std::optional<std::size_t> entry = block.Find(thumbnail, tag);
            return entry ? block.Value(*entry).value_or(0) : 0;
        };
        const std::size_t start = number(kThumbnailOffsetTag);
        const std::size_t size = number(kThumbnailLengthTag);
        if (start > thumbnail && size > 0 && block.Fits(start, size) &&
            start + size == exif.size()) {
            exif.resize(start);
        }
    }
    return exif;
}
