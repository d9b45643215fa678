// An EXIF block read with every offset checked, and the one check of every directory a block
// passes before a result carries it.
#include "imageio/exif_block.h"

#include <utility>

namespace imageio {

std::uint32_t ExifTypeSize(std::uint32_t type) noexcept {
    // byte, ascii, short, long, rational, sbyte, undefined, sshort, slong, srational, float,
    // double, ifd
    constexpr std::uint8_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    static_assert(sizeof kSizes == 14);
    return type < sizeof kSizes ? kSizes[type] : 0;
}

bool DescribesPhotograph(std::uint16_t tag) noexcept {
    switch (tag) {
        case 0x010E:  // ImageDescription
        case 0x010F:  // Make
        case 0x0110:  // Model
        case 0x011A:  // XResolution
        case 0x011B:  // YResolution
        case 0x0128:  // ResolutionUnit
        case 0x0131:  // Software
        case 0x0132:  // DateTime
        case 0x013B:  // Artist
        case 0x8298:  // Copyright
            return true;
        default:
            return false;
    }
}

ExifView::ExifView(const std::uint8_t* data, std::size_t length) noexcept
    : bytes(data), size(data == nullptr ? 0 : length) {
    bigEndian = size >= 8 && bytes[0] == 'M';
    header = size >= 8 && bytes[0] == bytes[1] && (bytes[0] == 'I' || bytes[0] == 'M') &&
             Get(2, 2) == 42;
}

std::uint32_t ExifView::Get(std::size_t at, int bytesLong) const noexcept {
    if (!Fits(at, static_cast<std::uint64_t>(bytesLong))) return 0;
    std::uint32_t value = 0;
    for (int i = 0; i < bytesLong; ++i) {
        value =
            value << 8 | bytes[at + static_cast<std::size_t>(bigEndian ? i : bytesLong - 1 - i)];
    }
    return value;
}

std::optional<std::size_t> ExifView::Entries(std::size_t at) const noexcept {
    if (at < 8 || !Fits(at, 2)) return std::nullopt;
    const std::size_t count = Get(at, 2);
    if (!Fits(at + 2, count * kEntryBytes + 4)) return std::nullopt;
    return count;
}

ExifEntry ExifView::EntryAt(std::size_t directory, std::size_t index) const noexcept {
    ExifEntry entry;
    entry.at = directory + 2 + index * kEntryBytes;
    entry.tag = static_cast<std::uint16_t>(Get(entry.at, 2));
    entry.type = static_cast<std::uint16_t>(Get(entry.at + 2, 2));
    entry.count = Get(entry.at + 4, 4);
    entry.bytes = std::uint64_t{ExifTypeSize(entry.type)} * entry.count;
    entry.valuesAt = entry.bytes <= 4 ? entry.at + 8 : Get(entry.at + 8, 4);
    return entry;
}

std::optional<ExifEntry> ExifView::Find(std::size_t directory, std::uint16_t tag) const noexcept {
    const std::optional<std::size_t> count = Entries(directory);
    for (std::size_t i = 0; count && i < *count; ++i) {
        const ExifEntry entry = EntryAt(directory, i);
        if (entry.tag == tag) return entry;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ExifView::Value(const ExifEntry& entry) const noexcept {
    if (entry.count != 1 || (entry.type != kShort && entry.type != kLong)) return std::nullopt;
    return Get(entry.valuesAt, entry.type == kShort ? 2 : 4);
}

void PutNumber(std::vector<std::uint8_t>& block, bool bigEndian, std::size_t at, int bytesLong,
               std::uint32_t value) noexcept {
    if (at > block.size() || static_cast<std::size_t>(bytesLong) > block.size() - at) return;
    for (int i = 0; i < bytesLong; ++i) {
        const int shift = 8 * (bigEndian ? bytesLong - 1 - i : i);
        block[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> shift);
    }
}

namespace {

constexpr std::size_t kMostMakerNoteEntries = 512;
constexpr std::size_t kLongestSignature = 16;  // text before a maker note's directory

// A run of entries that reads as a directory: a sensible count, every type known.
bool LooksLikeDirectory(const ExifView& view, std::size_t at, std::size_t end) {
    const std::optional<std::size_t> count = view.Entries(at);
    if (!count || *count == 0 || *count > kMostMakerNoteEntries) return false;
    if (at + 2 + *count * kEntryBytes > end) return false;
    for (std::size_t i = 0; i < *count; ++i) {
        if (ExifTypeSize(view.EntryAt(at, i).type) == 0) return false;
    }
    return true;
}

// Where a directory may start in a maker note: at once, or after a signature of text ended by
// zeros, at the next even offset.
std::optional<std::size_t> MakerNoteStart(const ExifView& view, std::size_t note, std::size_t end) {
    if (LooksLikeDirectory(view, note, end)) return note;
    std::size_t text = 0;
    while (text < kLongestSignature && note + text < end) {
        const std::uint32_t c = view.Get(note + text, 1);
        if (c < 0x20 || c > 0x7E) break;
        ++text;
    }
    if (text < 3 || view.Get(note + text, 1) != 0) return std::nullopt;
    for (std::size_t at = (text + 2) & ~std::size_t{1}; at <= kLongestSignature; at += 2) {
        if (LooksLikeDirectory(view, note + at, end)) return note + at;
    }
    return std::nullopt;
}

// True when every out-of-line value of the directory at DIRECTORY lies in [low, high) once BASE
// is added to its offset.
bool ValuesWithin(const ExifView& view, std::size_t directory, std::uint64_t base,
                  std::uint64_t low, std::uint64_t high) {
    const std::size_t count = view.Entries(directory).value_or(0);
    for (std::size_t i = 0; i < count; ++i) {
        const ExifEntry entry = view.EntryAt(directory, i);
        if (entry.bytes <= 4) continue;
        const std::uint64_t start = base + entry.valuesAt;
        if (start < low || start > high || entry.bytes > high - start) return false;
    }
    return true;
}

// "II" then 42 little-endian, or "MM" then 42 big-endian, at AT.
bool HasTiffHeader(const ExifView& view, std::size_t at) {
    const std::uint32_t first = view.Get(at, 1);
    if (first != view.Get(at + 1, 1)) return false;
    if (first == 'I') return view.Get(at + 2, 1) == 42 && view.Get(at + 3, 1) == 0;
    return first == 'M' && view.Get(at + 2, 1) == 0 && view.Get(at + 3, 1) == 42;
}

}  // namespace

std::optional<MakerNoteLayout> MakerNoteDirectory(const ExifView& view,
                                                  const ExifEntry& entry) noexcept {
    const std::size_t note = entry.valuesAt;
    if (entry.bytes <= 4 || !view.Fits(note, entry.bytes)) return std::nullopt;
    const std::size_t end = note + static_cast<std::size_t>(entry.bytes);
    for (std::size_t at = note; at + 8 <= end && at <= note + kLongestSignature; ++at) {
        if (HasTiffHeader(view, at)) return std::nullopt;  // self-contained
    }
    const std::optional<std::size_t> directory = MakerNoteStart(view, note, end);
    if (!directory) return std::nullopt;
    // Offsets from the block's start whose values lie in the note, or from the note's own start;
    // else from the block's start anywhere in it.
    MakerNoteLayout layout{*directory, true, true};
    if (ValuesWithin(view, *directory, 0, note, end)) return layout;
    if (ValuesWithin(view, *directory, note, note, end)) {
        layout.blockRelative = false;
        return layout;
    }
    layout.valuesInside = false;
    return layout;
}

namespace {

// The walk of every directory of a block, each entry checked, each directory remembered so that
// no link leads back into one.
class ExifCheck {
   public:
    explicit ExifCheck(const ExifView& block) : view(block) {}

    std::string Run() {
        if (!view.HasHeader()) return "it has no TIFF header";
        // The first directory and the second (the thumbnail's, or a TIFF file's second page);
        // readers of EXIF look no further.
        std::size_t at = view.FirstDirectory();
        for (const char* name : {"first", "second"}) {
            if (std::string problem = Directory(at, name, 0); !problem.empty()) return problem;
            at = view.Get(view.NextLink(at), 4);
            if (at == 0) break;
        }
        return {};
    }

   private:
    static constexpr int kDeepest = 3;  // first, EXIF, interoperability

    std::string Directory(std::size_t at, const std::string& name, int depth) {
        const std::optional<std::size_t> count = view.Entries(at);
        if (!count) return "its " + name + " directory lies outside it";
        const std::size_t end = at + 2 + *count * kEntryBytes + 4;
        for (const auto& [start, stop] : visited) {
            if (at < stop && start < end) {
                return "its " + name + " directory leads back into a directory already read";
            }
        }
        if (depth > kDeepest) return "its directories nest too deep";
        visited.emplace_back(at, end);
        for (std::size_t i = 0; i < *count; ++i) {
            if (std::string problem = Entry(view.EntryAt(at, i), depth); !problem.empty()) {
                return problem;
            }
        }
        return Thumbnail(at);
    }

    std::string Entry(const ExifEntry& entry, int depth) {
        if (ExifTypeSize(entry.type) == 0) {
            return "an entry has the unknown type " + std::to_string(entry.type);
        }
        if (entry.count > 0x7FFFFFFF) {
            return "an entry counts " + std::to_string(entry.count) + " values";
        }
        if (entry.bytes > 0xFFFFFFFF) return "an entry's values take more than 4 GiB";
        if (!view.Fits(entry.valuesAt, entry.bytes)) return "an entry's values lie outside it";
        // A maker note is read where cameras put it: in the EXIF directory, linked from the first.
        if (entry.tag == kMakerNoteTag && depth == 1) return MakerNote(entry);
        const char* name = entry.tag == kExifIfdTag      ? "EXIF"
                           : entry.tag == kGpsIfdTag     ? "GPS"
                           : entry.tag == kInteropIfdTag ? "interoperability"
                                                         : nullptr;
        if (name == nullptr) return {};
        if (entry.count != 1 || (entry.type != kLong && entry.type != kIfd)) {
            return std::string("its link to the ") + name + " directory is not one offset";
        }
        return Directory(view.Get(entry.valuesAt, 4), name, depth + 1);
    }

    std::string MakerNote(const ExifEntry& entry) const {
        const std::optional<MakerNoteLayout> layout = MakerNoteDirectory(view, entry);
        if (!layout || layout->valuesInside ||
            ValuesWithin(view, layout->directory, 0, 0, view.Size())) {
            return {};
        }
        return "its maker note's values lie outside it";
    }

    // A directory's thumbnail: its offset and length, when both are there, inside the block.
    std::string Thumbnail(std::size_t at) const {
        const std::optional<ExifEntry> start = view.Find(at, kThumbnailOffsetTag);
        const std::optional<ExifEntry> length = view.Find(at, kThumbnailLengthTag);
        if (!start || !length) return {};
        const std::uint32_t offset = view.Value(*start).value_or(0);
        if (view.Fits(offset, view.Value(*length).value_or(0))) return {};
        return "its thumbnail lies outside it";
    }

    const ExifView& view;
    std::vector<std::pair<std::size_t, std::size_t>> visited;  // [start, end) of each directory
};

}  // namespace

std::string ExifProblem(const std::vector<std::uint8_t>& exif) {
    return ExifProblem(ExifView(exif));
}

std::string ExifProblem(const ExifView& view) { return ExifCheck(view).Run(); }

bool ShiftMakerNote(std::vector<std::uint8_t>& block, bool bigEndian, std::size_t directory,
                    std::int64_t delta) {
    const ExifView view(block);
    const std::size_t count = view.Entries(directory).value_or(0);
    for (int pass = 0; pass < 2; ++pass) {  // checked first, then changed
        for (std::size_t i = 0; i < count; ++i) {
            const ExifEntry entry = view.EntryAt(directory, i);
            if (entry.bytes <= 4) continue;
            const std::int64_t moved = static_cast<std::int64_t>(entry.valuesAt) + delta;
            if (moved < 0 || moved > 0xFFFFFFFF) return false;
            if (pass == 1) {
                PutNumber(block, bigEndian, entry.at + 8, 4, static_cast<std::uint32_t>(moved));
            }
        }
    }
    return true;
}

}  // namespace imageio
