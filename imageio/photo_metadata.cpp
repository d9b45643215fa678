// A photograph's orientation and lens read from its EXIF block, and the block made fit for an
// upright result.
#include "imageio/photo_metadata.h"

#include <cstddef>
#include <utility>

#include "imageio/exif_block.h"

namespace {

using imageio::ExifEntry;
using imageio::ExifView;
using imageio::kExifIfdTag;
using imageio::kLong;
using imageio::kOrientationTag;
using imageio::kPixelXTag;
using imageio::kPixelYTag;
using imageio::kShort;
using imageio::kThumbnailLengthTag;
using imageio::kThumbnailOffsetTag;

constexpr std::uint16_t kFocalIn35mmTag = 0xA405;

// Every entry of TAG in the directory at DIRECTORY set to VALUE, a short where it fits one.
void SetValues(std::vector<std::uint8_t>& exif, std::size_t directory, std::uint16_t tag,
               std::uint32_t value) {
    const ExifView view(exif);
    const bool big = view.BigEndian();
    const std::size_t count = view.Entries(directory).value_or(0);
    for (std::size_t i = 0; i < count; ++i) {
        const ExifEntry entry = view.EntryAt(directory, i);
        if (entry.tag != tag) continue;
        const bool asShort = value <= 0xFFFF && (entry.type == kShort || tag == kOrientationTag);
        imageio::PutNumber(exif, big, entry.at + 2, 2, asShort ? kShort : kLong);
        imageio::PutNumber(exif, big, entry.at + 4, 4, 1);
        imageio::PutNumber(exif, big, entry.at + 8, 4, 0);
        imageio::PutNumber(exif, big, entry.at + 8, asShort ? 2 : 4, value);
    }
}

// The second directory, which describes the thumbnail, unlinked; the thumbnail's image cut off
// when it ends the block, as it does in the files cameras write, and nothing else lies there.
void DropThumbnail(std::vector<std::uint8_t>& exif) {
    const ExifView view(exif);
    const std::size_t link = view.NextLink(view.FirstDirectory());
    const std::size_t thumbnail = view.Get(link, 4);
    std::size_t cut = exif.size();
    if (thumbnail != 0 && view.Entries(thumbnail)) {
        // A missing or odd entry reads as 0, which cuts nothing.
        const auto number = [&view, thumbnail](std::uint16_t tag) -> std::size_t {
            const std::optional<ExifEntry> entry = view.Find(thumbnail, tag);
            return entry ? view.Value(*entry).value_or(0) : 0;
        };
        const std::size_t start = number(kThumbnailOffsetTag);
        const std::size_t size = number(kThumbnailLengthTag);
        if (start > thumbnail && size > 0 && view.Fits(start, size) &&
            start + size == exif.size()) {
            cut = start;
        }
    }
    imageio::PutNumber(exif, view.BigEndian(), link, 4, 0);
    std::vector<std::uint8_t> shorter(exif.begin(),
                                      exif.begin() + static_cast<std::ptrdiff_t>(cut));
    if (imageio::ExifProblem(shorter).empty()) exif = std::move(shorter);
}

}  // namespace

std::optional<int> ExifOrientation(const std::vector<std::uint8_t>& exif) noexcept {
    const ExifView view(exif);
    if (!view.HasHeader() || !view.Entries(view.FirstDirectory())) return std::nullopt;
    const std::optional<ExifEntry> entry = view.Find(view.FirstDirectory(), kOrientationTag);
    const std::optional<std::uint32_t> value = entry ? view.Value(*entry) : std::nullopt;
    return value && *value >= 1 && *value <= 8 ? static_cast<int>(*value) : 1;
}

std::optional<int> ExifFocalIn35mm(const std::vector<std::uint8_t>& exif) noexcept {
    const ExifView view(exif);
    if (!view.HasHeader()) return std::nullopt;
    const std::optional<ExifEntry> link = view.Find(view.FirstDirectory(), kExifIfdTag);
    const std::optional<std::uint32_t> at = link ? view.Value(*link) : std::nullopt;
    if (!at) return std::nullopt;
    const std::optional<ExifEntry> entry = view.Find(*at, kFocalIn35mmTag);
    const std::optional<std::uint32_t> value = entry ? view.Value(*entry) : std::nullopt;
    // 0 says the focal length is unknown.
    if (!value || *value == 0) return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<std::vector<std::uint8_t>> ExifForResult(std::vector<std::uint8_t> exif,
                                                       std::uint32_t width, std::uint32_t height) {
    if (!imageio::ExifProblem(exif).empty()) return std::nullopt;
    const ExifView view(exif);
    const std::size_t first = view.FirstDirectory();
    // Every orientation entry: a reader that takes the last one sees the result upright too.
    SetValues(exif, first, kOrientationTag, 1);
    if (const std::optional<ExifEntry> link = view.Find(first, kExifIfdTag)) {
        const std::size_t at = view.Get(link->valuesAt, 4);
        SetValues(exif, at, kPixelXTag, width);
        SetValues(exif, at, kPixelYTag, height);
    }
    DropThumbnail(exif);
    return exif;
}
