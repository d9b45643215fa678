// An EXIF block (TIFF-structured, from its byte-order mark on) read with every offset checked: its
// numbers in its byte order, its directories and their entries, its maker note's directory, and
// the one check a block passes before any result carries it. Portable: no image library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace imageio {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kThumbnailOffsetTag = 0x0201;
constexpr std::uint16_t kThumbnailLengthTag = 0x0202;
constexpr std::uint16_t kExifIfdTag = 0x8769;
constexpr std::uint16_t kGpsIfdTag = 0x8825;
constexpr std::uint16_t kMakerNoteTag = 0x927C;
constexpr std::uint16_t kPixelXTag = 0xA002;
constexpr std::uint16_t kPixelYTag = 0xA003;
constexpr std::uint16_t kInteropIfdTag = 0xA005;
constexpr std::size_t kEntryBytes = 12;

// The value types an entry's values are read or written as.
constexpr std::uint16_t kByte = 1, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7, kIfd = 13;

// Bytes of one value of a TIFF type (1 to 13); 0 for a type not known.
[[nodiscard]] std::uint32_t ExifTypeSize(std::uint32_t type) noexcept;

// Whether a tag of a first directory describes the photograph (its description, maker, model,
// resolution, software, date, author, copyright) rather than the layout of its pixels or its
// thumbnail: what a TIFF file's own directory and a photograph's EXIF block have in common.
[[nodiscard]] bool DescribesPhotograph(std::uint16_t tag) noexcept;

struct ExifEntry {
    std::size_t at = 0;  // where its 12 bytes start
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::uint64_t bytes = 0;   // count x the type's size
    std::size_t valuesAt = 0;  // its own value field when the values fit there, else their offset
};

// The block's numbers in its byte order. Reads outside the block give 0; the view never reads
// outside it.
class ExifView {
   public:
    ExifView(const std::uint8_t* data, std::size_t size) noexcept;
    explicit ExifView(const std::vector<std::uint8_t>& data) noexcept
        : ExifView(data.data(), data.size()) {}

    // "II" or "MM", then 42.
    [[nodiscard]] bool HasHeader() const noexcept { return header; }
    [[nodiscard]] bool BigEndian() const noexcept { return bigEndian; }
    [[nodiscard]] std::size_t Size() const noexcept { return size; }
    [[nodiscard]] const std::uint8_t* Data() const noexcept { return bytes; }
    [[nodiscard]] bool Fits(std::uint64_t at, std::uint64_t count) const noexcept {
        return at <= size && count <= size - at;
    }
    [[nodiscard]] std::uint32_t Get(std::size_t at, int bytesLong) const noexcept;
    [[nodiscard]] std::size_t FirstDirectory() const noexcept { return Get(4, 4); }
    // The entries of the directory at AT, or nothing when it (its link to the next included)
    // reaches outside the block.
    [[nodiscard]] std::optional<std::size_t> Entries(std::size_t at) const noexcept;
    [[nodiscard]] ExifEntry EntryAt(std::size_t directory, std::size_t index) const noexcept;
    // The first entry of TAG in the directory at AT.
    [[nodiscard]] std::optional<ExifEntry> Find(std::size_t directory,
                                                std::uint16_t tag) const noexcept;
    // The value of an entry holding one short or long.
    [[nodiscard]] std::optional<std::uint32_t> Value(const ExifEntry& entry) const noexcept;
    // Where the link to the directory after the one at AT is.
    [[nodiscard]] std::size_t NextLink(std::size_t directory) const noexcept {
        return directory + 2 + Get(directory, 2) * kEntryBytes;
    }

   private:
    const std::uint8_t* bytes;
    std::size_t size;
    bool bigEndian = false;
    bool header = false;
};

// Writes VALUE as BYTES_LONG bytes at AT of BLOCK in its byte order; nothing outside it.
void PutNumber(std::vector<std::uint8_t>& block, bool bigEndian, std::size_t at, int bytesLong,
               std::uint32_t value) noexcept;

// A maker note laid out as a directory: where that directory is in the block, and what its
// entries' offsets count from.
struct MakerNoteLayout {
    std::size_t directory = 0;
    bool blockRelative = false;  // from the block's start: they move when the note moves
    bool valuesInside = false;   // every value it points at lies within the note itself
};

// The layout of the maker note ENTRY, nothing when it is not a directory or one with a TIFF
// header of its own (self-contained); MakerNoteProblem tells whether its values fit.
[[nodiscard]] std::optional<MakerNoteLayout> MakerNoteDirectory(const ExifView& view,
                                                                const ExifEntry& entry) noexcept;

// Why EXIF cannot be carried, in plain words ("an entry counts 2147483648 values"); empty when
// every directory (first, EXIF, GPS, interoperability, second) and the EXIF directory's maker
// note hold only entries of known types whose values, links and thumbnail lie inside the block,
// no link leading back into a directory already read.
[[nodiscard]] std::string ExifProblem(const std::vector<std::uint8_t>& exif);
[[nodiscard]] std::string ExifProblem(const ExifView& view);

// Adds DELTA to the offsets of the out-of-line values of the maker note directory at DIRECTORY of
// BLOCK: the note was moved by DELTA. False, and nothing changed, when one would leave 32 bits.
bool ShiftMakerNote(std::vector<std::uint8_t>& block, bool bigEndian, std::size_t directory,
                    std::int64_t delta);

}  // namespace imageio
