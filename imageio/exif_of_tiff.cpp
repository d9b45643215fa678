// The EXIF block of a TIFF photograph, gathered from its own directories.
#include "imageio/exif_of_tiff.h"

#include <algorithm>
#include <optional>

namespace imageio {
namespace {

bool IsLink(std::uint16_t tag) {
    return tag == kExifIfdTag || tag == kGpsIfdTag || tag == kInteropIfdTag;
}

// A new block in the file's byte order, its directories copied from the file one after another,
// each followed by its values.
class BlockWriter {
   public:
    explicit BlockWriter(const ExifView& file) : view(file), big(file.BigEndian()) {
        const std::uint8_t mark = big ? 'M' : 'I';
        block = {mark, mark, 0, 0, 0, 0, 0, 0};
        PutNumber(block, big, 2, 2, 42);
        PutNumber(block, big, 4, 4, 8);
    }

    // ENTRIES written as a directory, the directories they link to after it; where it starts.
    std::size_t Directory(std::vector<ExifEntry> entries) {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const ExifEntry& a, const ExifEntry& b) { return a.tag < b.tag; });
        const std::size_t at = Align();
        block.resize(at + 2 + entries.size() * kEntryBytes + 4);
        PutNumber(block, big, at, 2, static_cast<std::uint32_t>(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i)
            Entry(at + 2 + i * kEntryBytes, entries[i]);
        return at;
    }

    std::vector<std::uint8_t> Take() { return std::move(block); }

   private:
    std::size_t Align() {
        if (block.size() % 2 != 0) block.push_back(0);
        return block.size();
    }

    void Entry(std::size_t at, const ExifEntry& entry) {
        PutNumber(block, big, at, 2, entry.tag);
        PutNumber(block, big, at + 2, 2, entry.type);
        PutNumber(block, big, at + 4, 4, entry.count);
        if (IsLink(entry.tag)) {
            const std::size_t linked = Directory(All(view.Get(entry.valuesAt, 4)));
            PutNumber(block, big, at + 8, 4, static_cast<std::uint32_t>(linked));
            return;
        }
        const std::uint8_t* values = view.Data() + entry.valuesAt;
        if (entry.bytes <= 4) {
            std::copy_n(values, entry.bytes, block.begin() + static_cast<std::ptrdiff_t>(at + 8));
            return;
        }
        const std::size_t copied = Align();
        block.insert(block.end(), values, values + entry.bytes);
        PutNumber(block, big, at + 8, 4, static_cast<std::uint32_t>(copied));
        if (entry.tag != kMakerNoteTag) return;
        // Kept only when its values move with it (Carried): its offsets move as far as it did.
        const std::optional<MakerNoteLayout> layout = MakerNoteDirectory(view, entry);
        if (layout && layout->blockRelative) {
            ShiftMakerNote(
                block, big, copied + (layout->directory - entry.valuesAt),
                static_cast<std::int64_t>(copied) - static_cast<std::int64_t>(entry.valuesAt));
        }
    }

    // Every entry of the directory at AT but a maker note whose values would stay behind.
    std::vector<ExifEntry> All(std::size_t at) const {
        std::vector<ExifEntry> entries;
        const std::size_t count = view.Entries(at).value_or(0);
        for (std::size_t i = 0; i < count; ++i) {
            const ExifEntry entry = view.EntryAt(at, i);
            const std::optional<MakerNoteLayout> layout =
                entry.tag == kMakerNoteTag ? MakerNoteDirectory(view, entry) : std::nullopt;
            if (!layout || layout->valuesInside) entries.push_back(entry);
        }
        return entries;
    }

    const ExifView& view;
    bool big;
    std::vector<std::uint8_t> block;
};

}  // namespace

std::vector<std::uint8_t> ExifOfTiff(const ExifView& file, std::string& problem) {
    std::vector<ExifEntry> first;
    bool telling = false;  // more than the resolution, which alone is no photograph's EXIF
    const std::size_t count = file.Entries(file.FirstDirectory()).value_or(0);
    for (std::size_t i = 0; i < count; ++i) {
        const ExifEntry entry = file.EntryAt(file.FirstDirectory(), i);
        if (DescribesPhotograph(entry.tag) || entry.tag == kExifIfdTag ||
            entry.tag == kGpsIfdTag) {
            first.push_back(entry);
            telling = telling || entry.tag < 0x011A || entry.tag > 0x0128;
        }
    }
    if (!telling) return {};
    problem = ExifProblem(file);
    if (!problem.empty()) return {};
    BlockWriter writer(file);
    writer.Directory(first);
    return writer.Take();
}

}  // namespace imageio
