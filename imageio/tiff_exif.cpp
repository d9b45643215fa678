// An EXIF block's directories written as a TIFF file's own through libtiff.
#include "imageio/tiff_exif.h"

#include <cstring>
#include <optional>

#include "imageio/exif_block.h"

namespace imageio {
namespace {

using Entry = ExifEntry;

// EXIF tags that describe how a JPEG file codes its pixels (its components, its bits a pixel):
// untrue of a TIFF file's, which TIFF does not allow them in. The pixel size stays: readers look
// for it there.
bool JpegOnly(std::uint16_t tag) noexcept { return tag == 0x9101 || tag == 0x9102; }

// The entries of the directory at AT; nothing when it reaches outside the block.
std::optional<std::vector<Entry>> EntriesAt(const ExifView& block, std::size_t at) {
    const std::optional<std::size_t> count = block.Entries(at);
    if (!count) return std::nullopt;
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < *count; ++i) {
        const Entry entry = block.EntryAt(at, i);
        if (ExifTypeSize(entry.type) == 0 || !block.Fits(entry.valuesAt, entry.bytes)) {
            return std::nullopt;
        }
        entries.push_back(entry);
    }
    return entries;
}

// Value I of an entry as a number: a rational as its quotient.
double ValueOf(const ExifView& block, const Entry& entry, std::uint32_t i) {
    const std::uint32_t size = ExifTypeSize(entry.type);
    const std::size_t at = entry.valuesAt + std::size_t{size} * i;
    if (entry.type == TIFF_RATIONAL || entry.type == TIFF_SRATIONAL) {
        const std::uint32_t numerator = block.Get(at, 4);
        const std::uint32_t denominator = block.Get(at + 4, 4);
        if (denominator == 0) return 0;
        if (entry.type == TIFF_RATIONAL) return static_cast<double>(numerator) / denominator;
        return static_cast<double>(static_cast<std::int32_t>(numerator)) /
               static_cast<std::int32_t>(denominator);
    }
    const std::uint32_t value = block.Get(at, static_cast<int>(size));
    if (entry.type == TIFF_SSHORT) return static_cast<std::int16_t>(value);
    if (entry.type == TIFF_SLONG) return static_cast<std::int32_t>(value);
    if (entry.type == TIFF_SBYTE) return static_cast<std::int8_t>(value);
    return value;
}

// The entry's values in the library's storage for FIELD: bytes, shorts, longs, floats or
// doubles, as many as the entry holds.
std::vector<std::uint8_t> Storage(const ExifView& block, const Entry& entry,
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
bool SetEntry(TIFF* tiff, const ExifView& block, const Entry& entry, const TIFFField* field) {
    if (ExifTypeSize(entry.type) == 0 || entry.count == 0) return false;
    if (TIFFFieldDataType(field) == TIFF_ASCII) {
        if (entry.type != TIFF_ASCII) return false;
        const auto* text = reinterpret_cast<const char*>(block.Data() + entry.valuesAt);
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

// Whether an entry goes into a TIFF file's directory: libtiff knows it, its link (to the
// interoperability directory) is not followed, JPEG keeps it to itself, or it is a maker note
// whose values would stay behind.
bool Carried(TIFF* tiff, const ExifView& block, const Entry& entry) {
    if (TIFFFindField(tiff, entry.tag, TIFF_ANY) == nullptr) return false;
    if (entry.tag == kInteropIfdTag || JpegOnly(entry.tag)) return false;
    if (entry.tag != kMakerNoteTag) return true;
    const std::optional<MakerNoteLayout> layout = MakerNoteDirectory(block, entry);
    return !layout || layout->valuesInside;
}

bool Holds(const std::vector<Entry>& entries, std::uint16_t tag) {
    for (const Entry& entry : entries) {
        if (entry.tag == tag) return true;
    }
    return false;
}

// What a TIFF file's EXIF and GPS directories must hold, where the block does not say: the
// versions of the formats they follow, and the colour space (sRGB unless a profile says
// otherwise).
void SetRequired(TIFF* tiff, const std::vector<Entry>& entries, std::uint16_t link, bool withIcc) {
    static std::uint8_t exifVersion[4] = {'0', '2', '3', '2'};
    static std::uint8_t flashpixVersion[4] = {'0', '1', '0', '0'};
    static std::uint8_t gpsVersion[4] = {2, 3, 0, 0};
    if (link == kGpsIfdTag) {
        if (!Holds(entries, GPSTAG_VERSIONID)) TIFFSetField(tiff, GPSTAG_VERSIONID, gpsVersion);
        return;
    }
    if (!Holds(entries, EXIFTAG_EXIFVERSION)) TIFFSetField(tiff, EXIFTAG_EXIFVERSION, exifVersion);
    if (!Holds(entries, EXIFTAG_FLASHPIXVERSION)) {
        TIFFSetField(tiff, EXIFTAG_FLASHPIXVERSION, flashpixVersion);
    }
    if (!Holds(entries, EXIFTAG_COLORSPACE)) {
        TIFFSetField(tiff, EXIFTAG_COLORSPACE, withIcc ? 0xFFFF : 1);
    }
}

// The directory the link TAG of the first directory names, written as a custom directory;
// its offset in the file, 0 when there is none.
std::uint64_t WriteLinked(TIFF* tiff, const ExifView& block, const std::vector<Entry>& first,
                          std::uint16_t tag, bool withIcc) {
    for (const Entry& link : first) {
        if (link.tag != tag) continue;
        const std::optional<std::vector<Entry>> entries =
            EntriesAt(block, block.Get(link.valuesAt, 4));
        const int created =
            tag == kExifIfdTag ? TIFFCreateEXIFDirectory(tiff) : TIFFCreateGPSDirectory(tiff);
        if (!entries || created != 0) return 0;
        for (const Entry& entry : *entries) {
            if (Carried(tiff, block, entry)) {
                SetEntry(tiff, block, entry, TIFFFindField(tiff, entry.tag, TIFF_ANY));
            }
        }
        SetRequired(tiff, *entries, tag, withIcc);
        std::uint64_t at = 0;
        const bool written = TIFFWriteCustomDirectory(tiff, &at) != 0;
        // Its values, which neither writing it nor creating the next directory frees.
        TIFFFreeDirectory(tiff);
        return written ? at : 0;
    }
    return 0;
}

// A rational of the first directory, or nothing when it is missing, not one value or 0.
std::optional<double> Positive(const ExifView& block, std::uint16_t tag) {
    const std::optional<Entry> entry = block.Find(block.FirstDirectory(), tag);
    if (!entry || entry->type != TIFF_RATIONAL || entry->count != 1) return std::nullopt;
    const double value = ValueOf(block, *entry, 0);
    return value > 0 ? std::optional<double>(value) : std::nullopt;
}

}  // namespace

std::uint64_t WriteExifDirectories(TIFF* tiff, const std::vector<std::uint8_t>& exif, bool withIcc,
                                   std::vector<std::string>& warnings) {
    if (exif.empty()) return 0;
    const ExifView block(exif);
    const std::string problem = ExifProblem(exif);
    if (!problem.empty()) {
        warnings.push_back(": its EXIF block is left out: " + problem);
        return 0;
    }
    const std::vector<Entry> first =
        EntriesAt(block, block.FirstDirectory()).value_or(std::vector<Entry>());
    const std::uint64_t exifAt = WriteLinked(tiff, block, first, kExifIfdTag, withIcc);
    const std::uint64_t gpsAt = WriteLinked(tiff, block, first, kGpsIfdTag, withIcc);
    TIFFCreateDirectory(tiff);
    for (const Entry& entry : first) {
        const TIFFField* field = TIFFFindField(tiff, entry.tag, TIFF_ANY);
        if (field != nullptr && DescribesPhotograph(entry.tag)) SetEntry(tiff, block, entry, field);
    }
    if (exifAt != 0) TIFFSetField(tiff, TIFFTAG_EXIFIFD, exifAt);
    if (gpsAt != 0) TIFFSetField(tiff, TIFFTAG_GPSIFD, gpsAt);
    return exifAt;
}

void SetResolution(TIFF* tiff, const std::vector<std::uint8_t>& exif) {
    const ExifView block(exif);
    const bool given = block.HasHeader() && ExifProblem(exif).empty();
    const std::optional<double> x = given ? Positive(block, TIFFTAG_XRESOLUTION) : std::nullopt;
    const std::optional<double> y = given ? Positive(block, TIFFTAG_YRESOLUTION) : std::nullopt;
    const std::optional<Entry> unitEntry =
        given ? block.Find(block.FirstDirectory(), TIFFTAG_RESOLUTIONUNIT) : std::nullopt;
    const std::uint32_t unit = unitEntry ? block.Value(*unitEntry).value_or(0) : RESUNIT_INCH;
    const bool ours = x && y && unit >= RESUNIT_NONE && unit <= RESUNIT_CENTIMETER;
    // 72 dots an inch: what readers assume of a picture that does not say.
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, ours ? *x : 72.0);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, ours ? *y : 72.0);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, ours ? unit : RESUNIT_INCH);
}

void PlaceMakerNote(std::vector<std::uint8_t>& file, std::uint64_t exifAt,
                    const std::vector<std::uint8_t>& exif) {
    const ExifView block(exif);
    const std::optional<Entry> link = block.Find(block.FirstDirectory(), kExifIfdTag);
    const std::optional<Entry> note =
        link ? block.Find(block.Get(link->valuesAt, 4), kMakerNoteTag) : std::nullopt;
    const std::optional<MakerNoteLayout> layout =
        note ? MakerNoteDirectory(block, *note) : std::nullopt;
    if (!layout || !layout->blockRelative || !layout->valuesInside || exifAt > file.size()) return;
    const ExifView written(file);
    const std::optional<Entry> placed =
        written.Find(static_cast<std::size_t>(exifAt), kMakerNoteTag);
    if (!placed || placed->bytes != note->bytes) return;
    const auto moved =
        static_cast<std::int64_t>(placed->valuesAt) - static_cast<std::int64_t>(note->valuesAt);
    ShiftMakerNote(file, written.BigEndian(),
                   placed->valuesAt + (layout->directory - note->valuesAt), moved);
}

}  // namespace imageio
