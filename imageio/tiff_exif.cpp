// An EXIF block's directories written as a TIFF file's own through libtiff.
#include "imageio/tiff_exif.h"

#include <cstring>
#include <optional>

namespace imageio {
namespace {

constexpr std::uint16_t kExifPointer = 0x8769;
constexpr std::uint16_t kGpsPointer = 0x8825;
constexpr std::size_t kMostEntries = 1000;

// The block's numbers in its byte order, every read checked against its end.
class ExifBlock {
   public:
    explicit ExifBlock(const std::vector<std::uint8_t>& exif) : bytes(exif) {
        bigEndian = bytes.size() >= 8 && bytes[0] == 'M';
        valid = bytes.size() >= 8 && bytes[0] == bytes[1] && (bytes[0] == 'I' || bytes[0] == 'M') &&
                Number(2, 2) == 42;
    }
    [[nodiscard]] bool Valid() const noexcept { return valid; }
    [[nodiscard]] std::optional<std::uint32_t> Number(std::size_t at, int size) const noexcept {
        if (at + static_cast<std::size_t>(size) > bytes.size() || at > bytes.size()) return {};
        std::uint32_t value = 0;
        for (int i = 0; i < size; ++i) {
            const std::uint8_t byte =
                bytes[at + static_cast<std::size_t>(bigEndian ? i : size - 1 - i)];
            value = value << 8 | byte;
        }
        return value;
    }
    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const noexcept { return bytes; }

   private:
    const std::vector<std::uint8_t>& bytes;
    bool bigEndian = false;
    bool valid = false;
};

struct Entry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    std::size_t valuesAt;  // where its values are in the block
};

// Bytes of one value of a TIFF type; 0 for a type not known.
std::uint32_t TypeBytes(std::uint16_t type) noexcept {
    static constexpr std::uint8_t kBytes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < 13 ? kBytes[type] : 0;
}

// The entries of the directory at AT; nothing when it reaches outside the block.
std::optional<std::vector<Entry>> EntriesAt(const ExifBlock& block, std::uint32_t at) {
    const std::optional<std::uint32_t> count = block.Number(at, 2);
    if (!count || *count > kMostEntries) return {};
    std::vector<Entry> entries;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const std::size_t field = std::size_t{at} + 2 + 12 * std::size_t{i};
        const auto tag = block.Number(field, 2), type = block.Number(field + 2, 2),
                   values = block.Number(field + 4, 4), offset = block.Number(field + 8, 4);
        if (!offset) return {};
        const std::uint64_t bytes =
            std::uint64_t{TypeBytes(static_cast<std::uint16_t>(*type))} * *values;
        const std::size_t valuesAt = bytes <= 4 ? field + 8 : *offset;
        if (valuesAt + bytes > block.Bytes().size()) return {};
        entries.push_back({static_cast<std::uint16_t>(*tag), static_cast<std::uint16_t>(*type),
                           *values, valuesAt});
    }
    return entries;
}

// Value I of an entry as a number: a rational as its quotient.
double ValueOf(const ExifBlock& block, const Entry& entry, std::uint32_t i) {
    const std::uint32_t size = TypeBytes(entry.type);
    const std::size_t at = entry.valuesAt + std::size_t{size} * i;
    if (entry.type == TIFF_RATIONAL || entry.type == TIFF_SRATIONAL) {
        const std::uint32_t numerator = block.Number(at, 4).value_or(0);
        const std::uint32_t denominator = block.Number(at + 4, 4).value_or(1);
        if (denominator == 0) return 0;
        if (entry.type == TIFF_RATIONAL) return static_cast<double>(numerator) / denominator;
        return static_cast<double>(static_cast<std::int32_t>(numerator)) /
               static_cast<std::int32_t>(denominator);
    }
    const std::uint32_t value = block.Number(at, static_cast<int>(size)).value_or(0);
    if (entry.type == TIFF_SSHORT) return static_cast<std::int16_t>(value);
    if (entry.type == TIFF_SLONG) return static_cast<std::int32_t>(value);
    if (entry.type == TIFF_SBYTE) return static_cast<std::int8_t>(value);
    return value;
}

// The entry's values in the library's storage for FIELD: bytes, shorts, longs, floats or
// doubles, as many as the entry holds.
std::vector<std::uint8_t> Storage(const ExifBlock& block, const Entry& entry,
                                  const TIFFField* field) {
    const int size = TIFFFieldSetGetSize(field);
    const bool real =
        TIFFFieldDataType(field) == TIFF_RATIONAL || TIFFFieldDataType(field) == TIFF_SRATIONAL ||
        TIFFFieldDataType(field) == TIFF_FLOAT || TIFFFieldDataType(field) == TIFF_DOUBLE;
    std::vector<std::uint8_t> storage(std::size_t{entry.count} * static_cast<std::size_t>(size));
    for (std::uint32_t i = 0; i < entry.count; ++i) {
        std::uint8_t* at = storage.data() + std::size_t{i} * static_cast<std::size_t>(size);
        const double value = ValueOf(block, entry, i);
        if (real && size == 4) {
            const auto single = static_cast<float>(value);
            std::memcpy(at, &single, 4);
        } else if (real) {
            std::memcpy(at, &value, 8);
        } else if (size == 1) {
            at[0] = static_cast<std::uint8_t>(static_cast<std::int64_t>(value));
        } else if (size == 2) {
            const auto number = static_cast<std::uint16_t>(static_cast<std::int64_t>(value));
            std::memcpy(at, &number, 2);
        } else {
            const auto number = static_cast<std::uint32_t>(static_cast<std::int64_t>(value));
            std::memcpy(at, &number, 4);
        }
    }
    return storage;
}

// One entry set in the current directory as FIELD wants it; false when it does not fit.
bool SetEntry(TIFF* tiff, const ExifBlock& block, const Entry& entry, const TIFFField* field) {
    if (TypeBytes(entry.type) == 0 || entry.count == 0) return false;
    if (TIFFFieldDataType(field) == TIFF_ASCII) {
        if (entry.type != TIFF_ASCII) return false;
        const auto* text = reinterpret_cast<const char*>(block.Bytes().data() + entry.valuesAt);
        return TIFFSetField(tiff, entry.tag,
                            std::string(text, strnlen(text, entry.count)).c_str()) != 0;
    }
    const std::vector<std::uint8_t> values = Storage(block, entry, field);
    if (TIFFFieldPassCount(field) != 0) {
        if (TIFFFieldSetGetCountSize(field) == 2) {
            if (entry.count > 0xFFFF) return false;
            return TIFFSetField(tiff, entry.tag, static_cast<int>(entry.count), values.data()) != 0;
        }
        return TIFFSetField(tiff, entry.tag, entry.count, values.data()) != 0;
    }
    const int wanted = TIFFFieldReadCount(field);
    if (wanted > 1) {
        return entry.count == static_cast<std::uint32_t>(wanted) &&
               TIFFSetField(tiff, entry.tag, values.data()) != 0;
    }
    // One value, passed by value: promoted to int or double through the variable arguments.
    const int size = TIFFFieldSetGetSize(field);
    const bool real =
        values.size() == static_cast<std::size_t>(size) &&
        (TIFFFieldDataType(field) == TIFF_RATIONAL || TIFFFieldDataType(field) == TIFF_SRATIONAL ||
         TIFFFieldDataType(field) == TIFF_FLOAT || TIFFFieldDataType(field) == TIFF_DOUBLE);
    const double value = ValueOf(block, entry, 0);
    if (real) return TIFFSetField(tiff, entry.tag, value) != 0;
    if (size == 4) return TIFFSetField(tiff, entry.tag, static_cast<std::uint32_t>(value)) != 0;
    return TIFFSetField(tiff, entry.tag, static_cast<int>(value)) != 0;
}

// Every entry libtiff knows in the directory it has just created; nested links left out.
void SetEntries(TIFF* tiff, const ExifBlock& block, const std::vector<Entry>& entries) {
    for (const Entry& entry : entries) {
        const TIFFField* field = TIFFFindField(tiff, entry.tag, TIFF_ANY);
        if (field == nullptr || entry.tag == 0xA005) continue;  // interoperability link
        SetEntry(tiff, block, entry, field);
    }
}

// The directory the link TAG of the first directory names, written as a custom directory;
// its offset in the file, 0 when there is none.
std::uint64_t WriteLinked(TIFF* tiff, const ExifBlock& block, const std::vector<Entry>& first,
                          std::uint16_t tag, int (*create)(TIFF*), bool& damaged) {
    for (const Entry& entry : first) {
        if (entry.tag != tag) continue;
        const std::optional<std::vector<Entry>> entries =
            EntriesAt(block, block.Number(entry.valuesAt, 4).value_or(0));
        if (!entries) {
            damaged = true;
            return 0;
        }
        if (create(tiff) != 0) return 0;
        SetEntries(tiff, block, *entries);
        std::uint64_t at = 0;
        const bool written = TIFFWriteCustomDirectory(tiff, &at) != 0;
        // Its values, which neither writing it nor creating the next directory frees.
        TIFFFreeDirectory(tiff);
        return written ? at : 0;
    }
    return 0;
}

// The first directory's tags that describe the photograph rather than its pixels or thumbnail.
bool DescribesPhotograph(std::uint16_t tag) noexcept {
    switch (tag) {
        case TIFFTAG_IMAGEDESCRIPTION:
        case TIFFTAG_MAKE:
        case TIFFTAG_MODEL:
        case TIFFTAG_SOFTWARE:
        case TIFFTAG_DATETIME:
        case TIFFTAG_ARTIST:
        case TIFFTAG_COPYRIGHT:
            return true;
        default:
            return false;
    }
}

}  // namespace

void WriteExifDirectories(TIFF* tiff, const std::vector<std::uint8_t>& exif,
                          std::vector<std::string>& warnings) {
    if (exif.empty()) return;
    const ExifBlock block(exif);
    const std::optional<std::vector<Entry>> first =
        block.Valid() ? EntriesAt(block, block.Number(4, 4).value_or(0)) : std::nullopt;
    bool damaged = !first;
    std::uint64_t exifAt = 0;
    std::uint64_t gpsAt = 0;
    if (first) {
        exifAt = WriteLinked(tiff, block, *first, kExifPointer, TIFFCreateEXIFDirectory, damaged);
        gpsAt = WriteLinked(tiff, block, *first, kGpsPointer, TIFFCreateGPSDirectory, damaged);
    }
    if (damaged) {
        warnings.push_back(": the EXIF block is damaged and is left out");
        exifAt = gpsAt = 0;
    }
    TIFFCreateDirectory(tiff);
    if (damaged) return;
    for (const Entry& entry : *first) {
        const TIFFField* field = TIFFFindField(tiff, entry.tag, TIFF_ANY);
        if (field != nullptr && DescribesPhotograph(entry.tag)) SetEntry(tiff, block, entry, field);
    }
    if (exifAt != 0) TIFFSetField(tiff, TIFFTAG_EXIFIFD, exifAt);
    if (gpsAt != 0) TIFFSetField(tiff, TIFFTAG_GPSIFD, gpsAt);
}

}  // namespace imageio
