// The tags a JPEG file's EXIF block must hold, added to a photograph's where it lacks them.
#include "imageio/exif_for_jpeg.h"

#include <algorithm>
#include <optional>

#include "imageio/exif_block.h"

namespace imageio {
namespace {

// An entry to add: its values as numbers of its type's size, in the block's order once written.
struct Added {
    std::uint16_t tag;
    std::uint16_t type;
    std::vector<std::uint32_t> numbers;  // a rational as its two numbers
};

std::vector<Added> FirstDirectoryTags() {
    return {{0x011A, kRational, {72, 1}},  // XResolution
            {0x011B, kRational, {72, 1}},  // YResolution
            {0x0128, kShort, {2}},         // ResolutionUnit: inches
            {0x0213, kShort, {1}}};        // YCbCrPositioning: centred, as libjpeg codes it
}

std::vector<Added> ExifDirectoryTags(std::uint32_t width, std::uint32_t height, bool withIcc) {
    return {{0x9000, kUndefined, {'0', '2', '3', '2'}},  // ExifVersion
            {0x9101, kUndefined, {1, 2, 3, 0}},          // ComponentsConfiguration: Y, Cb, Cr
            {0xA000, kUndefined, {'0', '1', '0', '0'}},  // FlashpixVersion
            {0xA001, kShort, {withIcc ? 0xFFFFu : 1u}},  // ColorSpace: sRGB, or uncalibrated
            {0xA002, kLong, {width}},                    // PixelXDimension
            {0xA003, kLong, {height}}};                  // PixelYDimension
}

std::vector<Added> GpsDirectoryTags() { return {{0x0000, kByte, {2, 3, 0, 0}}}; }  // GPSVersionID

// The bytes of ADDED's values in the block's order.
std::vector<std::uint8_t> ValuesOf(const Added& added, bool big) {
    const auto size = static_cast<int>(added.type == kRational ? 4 : ExifTypeSize(added.type));
    std::vector<std::uint8_t> bytes(added.numbers.size() * static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < added.numbers.size(); ++i) {
        PutNumber(bytes, big, i * static_cast<std::size_t>(size), size, added.numbers[i]);
    }
    return bytes;
}

// The directory at AT copied to the end of EXIF with those of WANTED it lacks added, sorted by
// tag; its new offset, or AT when it lacks none.
std::size_t WithTags(std::vector<std::uint8_t>& exif, std::size_t at, std::vector<Added> wanted) {
    const ExifView view(exif);
    const bool big = view.BigEndian();
    wanted.erase(std::remove_if(wanted.begin(), wanted.end(),
                                [&](const Added& a) { return view.Find(at, a.tag).has_value(); }),
                 wanted.end());
    if (wanted.empty()) return at;
    const std::size_t count = view.Entries(at).value_or(0);
    std::vector<std::vector<std::uint8_t>> entries;  // each entry's 12 bytes
    for (std::size_t i = 0; i < count; ++i) {
        const auto first = exif.begin() + static_cast<std::ptrdiff_t>(at + 2 + i * kEntryBytes);
        entries.emplace_back(first, first + kEntryBytes);
    }
    const std::uint32_t next = view.Get(view.NextLink(at), 4);
    // The block grows from here: VIEW is not read again.
    for (const Added& added : wanted) {
        std::vector<std::uint8_t> entry(kEntryBytes);
        std::vector<std::uint8_t> values = ValuesOf(added, big);
        const auto length = static_cast<std::uint32_t>(values.size());
        PutNumber(entry, big, 0, 2, added.tag);
        PutNumber(entry, big, 2, 2, added.type);
        PutNumber(entry, big, 4, 4,
                  added.type == kRational ? length / 8 : length / ExifTypeSize(added.type));
        if (values.size() <= 4) {
            std::copy(values.begin(), values.end(), entry.begin() + 8);
        } else {
            if (exif.size() % 2 != 0) exif.push_back(0);
            PutNumber(entry, big, 8, 4, static_cast<std::uint32_t>(exif.size()));
            exif.insert(exif.end(), values.begin(), values.end());
        }
        entries.push_back(entry);
    }
    const auto tagOf = [big](const std::vector<std::uint8_t>& entry) {
        return big ? entry[0] << 8 | entry[1] : entry[1] << 8 | entry[0];
    };
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const auto& a, const auto& b) { return tagOf(a) < tagOf(b); });
    if (exif.size() % 2 != 0) exif.push_back(0);
    const std::size_t moved = exif.size();
    exif.resize(moved + 2 + entries.size() * kEntryBytes + 4);
    PutNumber(exif, big, moved, 2, static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::copy(entries[i].begin(), entries[i].end(),
                  exif.begin() + static_cast<std::ptrdiff_t>(moved + 2 + i * kEntryBytes));
    }
    PutNumber(exif, big, moved + 2 + entries.size() * kEntryBytes, 4, next);
    return moved;
}

// The directory linked from the first directory's entry TAG given WANTED, its link moved.
void LinkedWithTags(std::vector<std::uint8_t>& exif, std::uint16_t tag, std::vector<Added> wanted) {
    const ExifView view(exif);
    const bool big = view.BigEndian();
    const std::optional<ExifEntry> link = view.Find(view.FirstDirectory(), tag);
    if (!link) return;
    const std::size_t linkAt = link->at + 8;
    const std::size_t directory = view.Get(linkAt, 4);
    // The block grows from here: VIEW is not read again.
    const std::size_t moved = WithTags(exif, directory, std::move(wanted));
    PutNumber(exif, big, linkAt, 4, static_cast<std::uint32_t>(moved));
}

}  // namespace

std::vector<std::uint8_t> ExifForJpeg(std::vector<std::uint8_t> exif, std::uint32_t width,
                                      std::uint32_t height, bool withIcc) {
    if (!ExifView(exif).HasHeader()) return exif;
    // The linked directories first: the first directory, copied last, takes their new links.
    LinkedWithTags(exif, kExifIfdTag, ExifDirectoryTags(width, height, withIcc));
    LinkedWithTags(exif, kGpsIfdTag, GpsDirectoryTags());
    const bool big = ExifView(exif).BigEndian();
    const std::size_t first = WithTags(exif, ExifView(exif).FirstDirectory(), FirstDirectoryTags());
    PutNumber(exif, big, 4, 4, static_cast<std::uint32_t>(first));
    return exif;
}

}  // namespace imageio
